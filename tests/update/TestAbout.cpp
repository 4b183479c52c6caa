// The about box shows the program's icon under its short caption.

#include "FormAbout.h"
#include "Settings.h"

#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

TEST(AboutBoxIcon, ShowsTheIconUnderTheCaptionAbout) {
    TfrmAbout about;
    QTimer::singleShot(0, &about, [&] { about.btnOk->click(); });
    about.Execute(QStringLiteral("v3.2.4"));
    EXPECT_EQ(about.windowTitle(), "About");
    ASSERT_NE(about.findChild<QLabel*>("imgIcon"), nullptr);
    EXPECT_FALSE(about.imgIcon->isHidden());
    EXPECT_EQ(about.imgIcon->pixmap().size(), QSize(64, 64));
    EXPECT_EQ(about.lblVersion->text(), "v3.2.4");
}

TEST(AboutBoxIcon, TheWebAddressIsTheProjectServerOfTheBuild) {
    TfrmAbout about;
    EXPECT_STREQ(TfrmAbout::WebAddress, DefaultGameServer);
    EXPECT_TRUE(about.lblWebsite->text().contains(QLatin1String(DefaultGameServer)));
    EXPECT_FALSE(about.lblWebsite->text().contains(QLatin1String("example.org")));
}

} // namespace
