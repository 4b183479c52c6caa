#include "FormAbout.h"

#include "AppPaths.h"

#include <QDesktopServices>
#include <QFile>
#include <QFont>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

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

TfrmAbout::TfrmAbout(QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(tr("About Wintermoot"));

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

    lblWebsite = new QLabel(QStringLiteral("<a href=\"%1\">%1</a>").arg(QLatin1String(WebAddress)));
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
    memCredits->setMinimumSize(460, 220);
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
    QString text = QString::fromLatin1(LicenceText) + QStringLiteral("\n\n");
    QFile credits(AppPaths::FindShared(QStringLiteral("pieces/SOURCES.md")));
    if (!credits.fileName().isEmpty() && credits.open(QIODevice::ReadOnly))
        return text + QString::fromUtf8(credits.readAll());
    return text + QString::fromUtf8(PieceCreditsText);
}
