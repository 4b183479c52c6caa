// The Help menu through the real windows: the help page in the program's own help window, its
// links, and the update check asked for by the user when the server cannot be reached.

#include "AppPaths.h"
#include "FakeHttpServer.h"
#include "FormAbout.h"
#include "FormGame.h"
#include "FormHelp.h"
#include "FormMain.h"
#include "FormMoves.h"
#include "UnitMessages.h"
#include "WindowTestSupport.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>

#include <gtest/gtest.h>

#include <memory>

using namespace std::chrono_literals;

namespace {

const char* const E4 = "Could not access the game's version information on the server!";

// The main window as the program makes it, on a fresh home folder, not yet shown.
class HelpMenuTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_Home.isValid());
        qputenv("WINTERMOOT_HOME", m_Home.path().toLocal8Bit());
        SetMessagePresenter(std::make_unique<TRecordingPresenter>(Boxes, Answer));
        Main = std::make_unique<TfrmMain>();
        Main->Seams().PlaySound = nullptr;
        Main->Seams().UpdateAddress
            = QStringLiteral("http://127.0.0.1:%1/versions.inf").arg(ClosedLocalPort());
        Main->Updater().OnRetry = [this](std::chrono::milliseconds) { ++Retries; };
        Help = Main->findChild<TfrmHelp*>("frmHelp");
        ASSERT_NE(Help, nullptr);
        Help->OpenExternal = [this](const QUrl& url) { Opened.push_back(url); };
    }

    void TearDown() override {
        Main.reset();
        SetMessagePresenter(nullptr);
    }

    // Moves the keyboard focus of the help page along its links to the one with this address and
    // follows it with Return, as a user of the keyboard does.
    bool FollowLink(const QString& href) {
        Help->memHelp->setFocus();
        for (int i = 0; i < 60; ++i) {
            QTest::keyClick(Help->memHelp, Qt::Key_Tab);
            if (Help->memHelp->textCursor().charFormat().anchorHref() == href) {
                QTest::keyClick(Help->memHelp, Qt::Key_Return);
                return true;
            }
        }
        return false;
    }

    QString WritePage(const char* name, const QByteArray& html) {
        QFile file(m_Home.filePath(QString::fromLatin1(name)));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(html);
        return file.fileName();
    }

    int Count(const char* fragment) const {
        int count = 0;
        for (const std::string& text : Boxes)
            count += text.find(fragment) != std::string::npos;
        return count;
    }

    QTemporaryDir m_Home;
    std::vector<std::string> Boxes;
    int Answer = idNo;
    std::unique_ptr<TfrmMain> Main;
    TfrmHelp* Help = nullptr;
    std::vector<QUrl> Opened;
    int Retries = 0;
};

TEST_F(HelpMenuTest, HelpShowsTheShippedPageInsideTheProgram) {
    ASSERT_FALSE(AppPaths::FindShared(QStringLiteral("Help.html")).isEmpty());
    Main->findChild<QAction*>("Menu_Help_Help")->trigger();
    EXPECT_TRUE(Help->isVisible());
    EXPECT_EQ(Help->objectName(), "frmHelp");
    EXPECT_EQ(Help->windowTitle(), "Help");
    EXPECT_EQ(Help->memHelp->source().fileName(), "Help.html");
    EXPECT_TRUE(Help->memHelp->toPlainText().contains(QLatin1String("The Help menu")));
    EXPECT_TRUE(Help->lblMissing->isHidden());
    EXPECT_TRUE(Opened.empty()) << "no web browser is needed";
}

TEST_F(HelpMenuTest, ALinkInsideThePageIsFollowedInPlaceAndBackReturns) {
    Main->findChild<QAction*>("Menu_Help_Help")->trigger();
    const QUrl page = Help->memHelp->source();
    QScrollBar* scroll = Help->memHelp->verticalScrollBar();
    ASSERT_EQ(scroll->value(), 0);
    EXPECT_FALSE(Help->btnBack->isEnabled());

    ASSERT_TRUE(FollowLink(QStringLiteral("#files")));
    EXPECT_EQ(Help->memHelp->source().adjusted(QUrl::RemoveFragment), page);
    EXPECT_EQ(Help->memHelp->source().fragment(), "files");
    EXPECT_GT(scroll->value(), 0) << "the page scrolled to the section";
    EXPECT_TRUE(Opened.empty());

    ASSERT_TRUE(Help->btnBack->isEnabled());
    QTest::mouseClick(Help->btnBack, Qt::LeftButton);
    EXPECT_EQ(Help->memHelp->source(), page);
    EXPECT_TRUE(Help->btnForward->isEnabled());
}

TEST_F(HelpMenuTest, OnlyWebAndMailAddressesGoToTheSystemsOpener) {
    WritePage("second.html", "<html><body><h1>Second page</h1></body></html>");
    const QString first = WritePage("first.html",
        "<html><body><p><a href=\"https://example.org/rules\">web</a> "
        "<a href=\"mailto:someone@example.org\">mail</a> "
        "<a href=\"javascript:alert(1)\">script</a> "
        "<a href=\"file:///etc/passwd\">file</a> "
        "<a href=\"second.html\">second</a></p></body></html>");
    ASSERT_TRUE(Help->LoadPage(first));
    Help->show();

    ASSERT_TRUE(FollowLink(QStringLiteral("https://example.org/rules")));
    ASSERT_TRUE(FollowLink(QStringLiteral("mailto:someone@example.org")));
    ASSERT_TRUE(FollowLink(QStringLiteral("javascript:alert(1)")));
    ASSERT_TRUE(FollowLink(QStringLiteral("file:///etc/passwd")));
    EXPECT_EQ(Opened,
        (std::vector<QUrl> {
            QUrl("https://example.org/rules"), QUrl("mailto:someone@example.org") }));
    EXPECT_EQ(Help->memHelp->source().fileName(), "first.html") << "nothing else was opened";

    ASSERT_TRUE(FollowLink(QStringLiteral("second.html")));
    EXPECT_EQ(Help->memHelp->source().fileName(), "second.html");
    EXPECT_TRUE(Help->memHelp->toPlainText().contains(QLatin1String("Second page")));
    EXPECT_EQ(Opened.size(), 2u);

    QTest::mouseClick(Help->btnHome, Qt::LeftButton);
    EXPECT_EQ(Help->memHelp->source().fileName(), "first.html");
}

TEST_F(HelpMenuTest, AMissingPageIsSaidInTheWindow) {
    EXPECT_FALSE(Help->LoadPage(QString()));
    EXPECT_FALSE(Help->LoadPage(m_Home.filePath(QStringLiteral("nothing.html"))));
    Help->show();
    EXPECT_TRUE(Help->lblMissing->isVisible());
    EXPECT_EQ(Help->lblMissing->text(), "The help page could not be found.");
    EXPECT_FALSE(Help->btnHome->isEnabled());
    EXPECT_TRUE(Help->memHelp->toPlainText().isEmpty());
}

TEST_F(HelpMenuTest, AManualUpdateCheckReportsAnUnreachableServerOnceTheStartUpCheckNever) {
    Main->Updater().RetryFirst = Main->Updater().RetryMax = 5ms;
    ASSERT_TRUE(Main->Settings().AutoUpdate);
    Main->show();
    ASSERT_TRUE(WaitFor([this] { return Retries >= 3; }, 10000)) << "the start-up check ran";
    EXPECT_EQ(Count(E4), 0) << "the start-up check stays quiet";

    // A manual check gives up within the request's time limit and says so once; it then keeps
    // trying quietly.
    Main->Updater().RequestTimeout = 3s;
    Main->findChild<QAction*>("Menu_Help_Update")->trigger();
    ASSERT_TRUE(WaitFor([this] { return Count(E4) == 1; }, 3000 + 2000));
    const int seen = Retries;
    ASSERT_TRUE(WaitFor([&] { return Retries >= seen + 3; }, 10000));
    EXPECT_EQ(Count(E4), 1);
    EXPECT_EQ(Boxes.size(), 1u);
}

} // namespace
