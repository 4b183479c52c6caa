#include "FormHelp.h"

#include "AppPaths.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace {

bool IsOutsideAddress(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("mailto"))
        return !url.path().isEmpty();
    return (scheme == QLatin1String("http") || scheme == QLatin1String("https"))
        && !url.host().isEmpty();
}

// A readable local HTML page, which the help window shows itself.
bool IsLocalPage(const QUrl& url) {
    if (!url.isLocalFile())
        return false;
    const QFileInfo file(url.toLocalFile());
    const QString suffix = file.suffix().toLower();
    return file.isFile() && file.isReadable()
        && (suffix == QLatin1String("html") || suffix == QLatin1String("htm"));
}

} // namespace

TfrmHelp::TfrmHelp(QWidget* parent)
    : QDialog(parent, Qt::Window) {
    setObjectName(QStringLiteral("frmHelp"));
    setWindowTitle(tr("Help"));
    OpenExternal = [](const QUrl& url) { QDesktopServices::openUrl(url); };

    memHelp = new QTextBrowser;
    memHelp->setObjectName(QStringLiteral("memHelp"));
    // Every link passes through memHelpAnchorClicked, which decides where it goes.
    memHelp->setOpenLinks(false);
    memHelp->setOpenExternalLinks(false);
    connect(memHelp, &QTextBrowser::anchorClicked, this, &TfrmHelp::memHelpAnchorClicked);

    lblMissing = new QLabel(tr("The help page could not be found."));
    lblMissing->setObjectName(QStringLiteral("lblMissing"));
    lblMissing->setWordWrap(true);
    lblMissing->hide();

    const auto button = [this](const char* name, const QString& text) {
        auto* result = new QPushButton(text);
        result->setObjectName(QString::fromLatin1(name));
        result->setAutoDefault(false);
        return result;
    };
    btnBack = button("btnBack", tr("Back"));
    btnForward = button("btnForward", tr("Forward"));
    btnHome = button("btnHome", tr("Contents"));
    btnClose = button("btnClose", tr("Close"));
    btnBack->setEnabled(false);
    btnForward->setEnabled(false);
    connect(btnBack, &QPushButton::clicked, memHelp, &QTextBrowser::backward);
    connect(btnForward, &QPushButton::clicked, memHelp, &QTextBrowser::forward);
    connect(memHelp, &QTextBrowser::backwardAvailable, btnBack, &QPushButton::setEnabled);
    connect(memHelp, &QTextBrowser::forwardAvailable, btnForward, &QPushButton::setEnabled);
    connect(btnHome, &QPushButton::clicked, this, [this] {
        if (m_Home.isValid())
            memHelp->setSource(m_Home);
    });
    connect(btnClose, &QPushButton::clicked, this, &QDialog::close);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnBack);
    buttons->addWidget(btnForward);
    buttons->addWidget(btnHome);
    buttons->addStretch();
    buttons->addWidget(btnClose);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(lblMissing);
    layout->addWidget(memHelp, 1);
    resize(760, 620);
}

void TfrmHelp::ShowHelp() {
    if (!m_Home.isValid())
        LoadPage(AppPaths::FindShared(QStringLiteral("Help.html")));
    show();
    raise();
    activateWindow();
}

bool TfrmHelp::LoadPage(const QString& fileName) {
    const QUrl page = fileName.isEmpty() ? QUrl() : QUrl::fromLocalFile(fileName);
    const bool found = page.isValid() && IsLocalPage(page);
    m_Home = found ? page : QUrl();
    memHelp->clearHistory();
    if (found)
        memHelp->setSource(page);
    else
        memHelp->clear();
    lblMissing->setVisible(!found);
    btnHome->setEnabled(found);
    return found;
}

void TfrmHelp::memHelpAnchorClicked(const QUrl& link) {
    const QUrl target = memHelp->source().resolved(link);
    if (IsOutsideAddress(target)) {
        if (OpenExternal)
            OpenExternal(target);
        return;
    }
    // A place in this page, or another page of the help beside it.
    QUrl page = target;
    page.setFragment(QString());
    if (IsLocalPage(page))
        memHelp->setSource(target);
}
