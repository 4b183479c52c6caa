#include "FormAbout.h"

#include "AppPaths.h"
#include "Settings.h"

#include <QDesktopServices>
#include <QFile>
#include <QFont>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QRegularExpression>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const char* const LicenceText
    = "Wintermoot is free software: you can redistribute it and/or modify it under the terms of "
      "the GNU General Public License as published by the Free Software Foundation, either "
      "version 3 of the License, or (at your option) any later version "
      "(GPL-3.0-or-later).\n\n"
      "It is distributed in the hope that it will be useful, but WITHOUT ANY WARRANTY; without "
      "even the implied warranty of MERCHANTABILITY or FITNESS FOR A PARTICULAR PURPOSE.\n\n"
      "Piece sets: see the credits file.";

// Shown when the credits file of the piece sets is not installed.
const char* const PieceCreditsText
    = "The piece sets are rendered from freely licensed artwork: chess pieces by Colin M. L. "
      "Burnett; chess fonts by Piet Tutelaers and by Elmar Bartel; Symbola by George Douros; "
      "DejaVu fonts; GNU FreeFont; Google Noto fonts; GNU Unifont; Font Awesome Free by "
      "Fonticons, Inc. (CC BY 4.0); Material Design Icons by Pictogrammers (Apache-2.0); Lucide "
      "Icons (ISC); Tabler Icons by Paweł Kuna (MIT); OpenMoji (CC BY-SA 4.0).";

} // namespace

const char* const TfrmAbout::WebAddress = DefaultGameServer;

TfrmAbout::TfrmAbout(QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(tr("About"));

    imgIcon = new QLabel;
    imgIcon->setObjectName(QStringLiteral("imgIcon"));
    imgIcon->setAlignment(Qt::AlignCenter);
    const QPixmap icon(QStringLiteral(":/icons/wintermoot-64.png"));
    if (icon.isNull())
        imgIcon->hide();
    else
        imgIcon->setPixmap(icon);

    lblProduct = new QLabel(QStringLiteral("Wintermoot"));
    lblProduct->setObjectName(QStringLiteral("lblProduct"));
    QFont productFont = lblProduct->font();
    productFont.setPointSizeF(productFont.pointSizeF() * 1.8);
    productFont.setBold(true);
    lblProduct->setFont(productFont);
    lblProduct->setAlignment(Qt::AlignCenter);

    lblVersion = new QLabel;
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    lblVersion->setAlignment(Qt::AlignCenter);

    lblWebsite = new QLabel(QStringLiteral("<a href=\"%1\">%1</a>")
                                .arg(QString::fromLatin1(WebAddress).toHtmlEscaped()));
    lblWebsite->setObjectName(QStringLiteral("lblWebsite"));
    lblWebsite->setAlignment(Qt::AlignCenter);
    lblWebsite->setTextFormat(Qt::RichText);
    lblWebsite->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    lblWebsite->setCursor(Qt::PointingHandCursor);
    connect(lblWebsite, &QLabel::linkActivated, this,
        [](const QString& link) { QDesktopServices::openUrl(QUrl(link)); });

    memCredits = new QTextBrowser;
    memCredits->setObjectName(QStringLiteral("memCredits"));
    memCredits->setOpenExternalLinks(true);
    memCredits->setMinimumSize(600, 300);
    memCredits->setMarkdown(CreditsText());

    btnOk = new QPushButton(tr("Ok"));
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setDefault(true);
    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOk);
    buttons->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(imgIcon);
    layout->addWidget(lblProduct);
    layout->addWidget(lblVersion);
    layout->addWidget(lblWebsite);
    layout->addSpacing(8);
    layout->addWidget(memCredits, 1);
    layout->addLayout(buttons);
}

void TfrmAbout::Execute(const QString& version) {
    lblVersion->setText(version);
    exec();
}

QString TfrmAbout::CreditsText() {
    QFile credits(AppPaths::FindShared(QStringLiteral("pieces/SOURCES.md")));
    QString sources;
    if (!credits.fileName().isEmpty() && credits.open(QIODevice::ReadOnly))
        sources = QString::fromUtf8(credits.readAll());
    return CreditsText(sources);
}

namespace {

QStringList TableCells(const QString& line) {
    QStringList cells = line.trimmed().split(QLatin1Char('|'));
    if (!cells.isEmpty() && cells.front().trimmed().isEmpty())
        cells.removeFirst();
    if (!cells.isEmpty() && cells.back().trimmed().isEmpty())
        cells.removeLast();
    for (QString& cell : cells)
        cell = cell.trimmed();
    return cells;
}

bool IsSeparatorRow(const QStringList& cells) {
    static const QRegularExpression rule(QStringLiteral("^:?-+:?$"));
    return std::all_of(cells.begin(), cells.end(),
        [](const QString& cell) { return rule.match(cell).hasMatch(); });
}

// One line per piece set from the table of the credits file: its number, name, attribution and
// licence. A cell reading "same" repeats the row above.
QString AttributionList(const QStringList& lines) {
    qsizetype header = -1;
    for (qsizetype i = 0; i < lines.size() && header < 0; ++i) {
        if (lines[i].trimmed().startsWith(QLatin1Char('|'))
            && lines[i].contains(QLatin1String("Attribution")))
            header = i;
    }
    if (header < 0)
        return {};
    const QStringList titles = TableCells(lines[header]);
    const auto column = [&titles](const char* title) {
        for (qsizetype i = 0; i < titles.size(); ++i) {
            if (titles[i].startsWith(QLatin1String(title), Qt::CaseInsensitive))
                return i;
        }
        return qsizetype(-1);
    };
    const qsizetype number = column("#"), name = column("Name"), licence = column("Licence"),
                    attribution = column("Attribution");
    QString list;
    QStringList previous(titles.size());
    for (qsizetype i = header + 1; i < lines.size(); ++i) {
        if (!lines[i].trimmed().startsWith(QLatin1Char('|')))
            break;
        QStringList cells = TableCells(lines[i]);
        if (IsSeparatorRow(cells))
            continue;
        cells.resize(titles.size());
        for (qsizetype c = 0; c < cells.size(); ++c) {
            if (cells[c].compare(QLatin1String("same"), Qt::CaseInsensitive) == 0)
                cells[c] = previous[c];
        }
        previous = cells;
        const auto cell = [&cells](qsizetype c) { return c < 0 ? QString() : cells[c]; };
        list += QStringLiteral("- **%1 %2**: %3").arg(cell(number), cell(name), cell(attribution));
        if (!cell(licence).isEmpty())
            list += QStringLiteral(" (licence: %1)").arg(cell(licence));
        list += QLatin1Char('\n');
    }
    return list;
}

// The rest of the file from its notices on, with the headings made smaller to fit the box.
QString Notices(const QStringList& lines) {
    QString text;
    bool inNotices = false, inCode = false;
    for (const QString& line : lines) {
        if (!inNotices && line.startsWith(QLatin1String("## Notices")))
            inNotices = true;
        if (!inNotices)
            continue;
        if (line.startsWith(QLatin1String("```")))
            inCode = !inCode;
        text += !inCode && line.startsWith(QLatin1Char('#')) ? QStringLiteral("##") + line : line;
        text += QLatin1Char('\n');
    }
    return text;
}

} // namespace

QString TfrmAbout::CreditsText(const QString& sources) {
    QString text = QString::fromLatin1(LicenceText) + QStringLiteral("\n\n");
    if (sources.trimmed().isEmpty())
        return text + QString::fromUtf8(PieceCreditsText);
    const QStringList lines = sources.split(QLatin1Char('\n'));
    const QString list = AttributionList(lines);
    if (list.isEmpty())
        return text + sources;
    return text + QStringLiteral("#### Piece sets\n\n") + list + QLatin1Char('\n') + Notices(lines);
}
