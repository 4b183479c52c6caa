// The new-game dialog and the about box, driven through their real widgets. Each dialog runs
// modally: the test's actions are queued before Execute and run inside its event loop.

#include "FormAbout.h"
#include "FormGame.h"
#include "MessageBoxPresenter.h"
#include "RecordingPresenter.h"
#include "UnitChessGame.h"
#include "UnitMessages.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

class GameDialogTest : public testing::Test {
protected:
    void SetUp() override {
        m_Previous = SetMessagePresenter(std::make_unique<TRecordingPresenter>(Shown));
        Dialog.SettingsPath = Dir.filePath(QStringLiteral("Wintermoot.ini"));
    }
    void TearDown() override { SetMessagePresenter(std::move(m_Previous)); }

    // Runs the dialog with the actions queued inside its modal loop; a dialog still open after
    // them is cancelled, so that a test never hangs.
    bool Run(bool loadedGame, const std::function<void()>& actions) {
        QTimer::singleShot(0, &Dialog, [this, actions] {
            actions();
            if (Dialog.isVisible())
                Dialog.reject();
        });
        return Dialog.Execute(loadedGame);
    }

    // The message keys shown, in order, as E-keys of the table's default texts.
    std::vector<std::string> ShownKeys() const {
        std::vector<std::string> keys;
        for (const std::string& text : Shown) {
            QString key = QStringLiteral("?");
            for (unsigned n = 1; n <= LastError; ++n) {
                const QString candidate = QStringLiteral("E%1").arg(n);
                if (Messages().Text(candidate.toStdString()) == text)
                    key = candidate;
            }
            keys.push_back(key.toStdString());
        }
        return keys;
    }

    QString Remembered(const char* key) const {
        QSettings ini(Dialog.SettingsPath, QSettings::IniFormat);
        return ini.value(QStringLiteral("Game/") + QLatin1String(key)).toString();
    }

    QTemporaryDir Dir;
    std::vector<std::string> Shown;
    TChessGame Game;
    TfrmGame Dialog { Game };

private:
    std::unique_ptr<TMessagePresenter> m_Previous;
};

using Strings = std::vector<std::string>;

TEST_F(GameDialogTest, ControlsCarryTheirNamesCaptionsAndDefaults) {
    EXPECT_EQ(Dialog.objectName(), "frmGame");
    EXPECT_EQ(Dialog.windowTitle(), "Game");
    for (const char* name :
        { "pgcGame", "tbsLocal", "tbsClient", "tbsHost", "cmbWhitePlayer", "cmbBlackPlayer",
            "edtWhitePlayerName", "edtBlackPlayerName", "edtClientName", "stgHosts", "chkHostIp",
            "edtHostIp", "edtHostName", "cmbHostColor", "chkListGame", "lstIpAddresses", "btnOk",
            "btnCancel", "lblWhitePlayer", "lblBlackPlayer", "lblHostColor", "lblIpAddresses" })
        EXPECT_NE(Dialog.findChild<QWidget*>(QLatin1String(name)), nullptr) << name;
    EXPECT_EQ(Dialog.pgcGame->currentWidget(), Dialog.tbsLocal);
    EXPECT_EQ(Dialog.pgcGame->tabText(1), "Join an online game");
    EXPECT_EQ(Dialog.cmbBlackPlayer->itemText(3), "Computer expert");
    EXPECT_EQ(Dialog.stgHosts->columnCount(), 2);
    EXPECT_EQ(Dialog.stgHosts->columnWidth(0), 229);
    EXPECT_GE(Dialog.stgHosts->columnWidth(1), 107);
    EXPECT_FALSE(Dialog.edtHostIp->isEnabled());
    Dialog.chkHostIp->setChecked(true);
    EXPECT_TRUE(Dialog.edtHostIp->isEnabled());
    EXPECT_TRUE(Dialog.chkListGame->isChecked());
    EXPECT_TRUE(Dialog.btnOk->isDefault());
    EXPECT_EQ(Dialog.popHosts_Refresh->shortcut(), QKeySequence(Qt::Key_F5));
    EXPECT_EQ(Dialog.popAddresses_Copy->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_C));
}

TEST_F(GameDialogTest, ChoosingAComputerFillsAndLocksTheNameAndSetsItsLevel) {
    const bool ok = Run(false, [this] {
        Dialog.edtWhitePlayerName->setText(QStringLiteral("Alice"));
        Dialog.cmbBlackPlayer->setCurrentIndex(3);
        EXPECT_EQ(Dialog.edtBlackPlayerName->text(), "Computer expert");
        EXPECT_FALSE(Dialog.edtBlackPlayerName->isEnabled());
        Dialog.btnOk->click();
    });
    EXPECT_TRUE(ok);
    EXPECT_TRUE(Shown.empty());
    EXPECT_TRUE(Game.WhitePlayer.Human);
    EXPECT_FALSE(Game.BlackPlayer.Human);
    EXPECT_EQ(Game.BlackPlayer.Level, 0);
    EXPECT_EQ(Game.BlackPlayer.Name, "Computer expert");
    EXPECT_EQ(Game.WhitePlayer.Name, "Alice");
    EXPECT_EQ(Game.GameKind, gkLocal);
    EXPECT_EQ(Game.GameState, gsPlaying);

    // Back to a person: the box opens again with the side's name, as no person played black.
    Dialog.cmbBlackPlayer->setCurrentIndex(0);
    EXPECT_EQ(Dialog.edtBlackPlayerName->text(), "Black");
    EXPECT_TRUE(Dialog.edtBlackPlayerName->isEnabled());
}

// Names are offered wherever they are known: the last name a person used for each side, the
// side's name when none is known, and on the network pages the name used last.
TEST_F(GameDialogTest, PersonsAreOfferedTheNamesUsedLast) {
    Run(false, [this] {
        EXPECT_EQ(Dialog.edtWhitePlayerName->text(), "White");
        EXPECT_EQ(Dialog.edtBlackPlayerName->text(), "Black");
        EXPECT_EQ(Dialog.edtHostName->text(), "");
        Dialog.edtWhitePlayerName->setText(QStringLiteral("Ann"));
        Dialog.cmbBlackPlayer->setCurrentIndex(3);
        Dialog.cmbBlackPlayer->setCurrentIndex(0);
        EXPECT_EQ(Dialog.edtBlackPlayerName->text(), "Black");
        Dialog.edtBlackPlayerName->setText(QStringLiteral("Ben"));
        Dialog.btnOk->click();
    });
    EXPECT_TRUE(Shown.empty());
    Game.StopGame();
    Run(false, [this] {
        // A side given to the computer and back to a person gets its person's name again.
        Dialog.cmbWhitePlayer->setCurrentIndex(2);
        EXPECT_EQ(Dialog.edtWhitePlayerName->text(), "Computer skilled");
        Dialog.cmbWhitePlayer->setCurrentIndex(0);
        EXPECT_EQ(Dialog.edtWhitePlayerName->text(), "Ann");
        Dialog.cmbBlackPlayer->setCurrentIndex(1);
        Dialog.cmbBlackPlayer->setCurrentIndex(0);
        EXPECT_EQ(Dialog.edtBlackPlayerName->text(), "Ben");
        EXPECT_EQ(Dialog.edtHostName->text(), "Ann");
        EXPECT_EQ(Dialog.edtClientName->text(), "Ann");
        Dialog.pgcGame->setCurrentWidget(Dialog.tbsHost);
        Dialog.edtHostName->setText(QStringLiteral("Hugo"));
        Dialog.btnOk->click();
    });
    Run(false, [this] {
        EXPECT_EQ(Dialog.edtClientName->text(), "Hugo");
        EXPECT_EQ(Dialog.edtWhitePlayerName->text(), "Ann");
    });
}

// A loaded game without names (a PGN game of unknown players, a pasted position) is not refused
// for want of names: its persons are offered the names used last, or the sides' names.
TEST_F(GameDialogTest, ALoadedGameWithoutNamesOffersNames) {
    Game.WhitePlayer = TPlayer { 0, true, "", false, 0, 0 };
    Game.BlackPlayer = TPlayer { 0, true, "", false, 0, 0 };
    const bool ok = Run(true, [this] {
        EXPECT_EQ(Dialog.edtWhitePlayerName->text(), "White");
        EXPECT_EQ(Dialog.edtBlackPlayerName->text(), "Black");
        EXPECT_EQ(Dialog.edtHostName->text(), "White");
        Dialog.btnOk->click();
    });
    EXPECT_TRUE(ok);
    EXPECT_TRUE(Shown.empty());
    EXPECT_EQ(Game.WhitePlayer.Name, "White");
    EXPECT_EQ(Game.BlackPlayer.Name, "Black");
    // The names a loaded game was played under are remembered too.
    EXPECT_EQ(Remembered("WhitePersonName"), "White");
    EXPECT_EQ(Remembered("LastName"), "White");
}

TEST_F(GameDialogTest, LocalGameMapsEveryKindAndKeepsAPersonsLevel) {
    Game.WhitePlayer.Level = 2;
    Run(false, [this] {
        Dialog.edtWhitePlayerName->setText(QStringLiteral("Wendy"));
        Dialog.cmbBlackPlayer->setCurrentIndex(1);
        Dialog.btnOk->click();
    });
    EXPECT_TRUE(Game.WhitePlayer.Human);
    EXPECT_EQ(Game.WhitePlayer.Level, 2);
    EXPECT_FALSE(Game.BlackPlayer.Human);
    EXPECT_EQ(Game.BlackPlayer.Level, 2);
    EXPECT_EQ(Game.BlackPlayer.Name, "Computer novice");

    Game.StopGame();
    Run(false, [this] {
        Dialog.cmbBlackPlayer->setCurrentIndex(2);
        Dialog.btnOk->click();
    });
    EXPECT_EQ(Game.BlackPlayer.Level, 1);
}

TEST_F(GameDialogTest, EmptyNameIsRefusedAndChangesNothing) {
    Game.GameKind = gkClient;
    Game.WhitePlayer.Name = "Old";
    Dialog.GameListed = true;
    bool stayedOpen = false;
    const bool ok = Run(false, [this, &stayedOpen] {
        Dialog.chkListGame->setChecked(false);
        Dialog.edtWhitePlayerName->setText(QStringLiteral("Alice"));
        Dialog.edtBlackPlayerName->clear();
        Dialog.btnOk->click();
        stayedOpen = Dialog.isVisible();
    });
    EXPECT_TRUE(stayedOpen);
    EXPECT_FALSE(ok);
    EXPECT_EQ(ShownKeys(), Strings { "E6" });
    EXPECT_EQ(Game.GameState, gsIdle);
    EXPECT_EQ(Game.GameKind, gkClient);
    EXPECT_EQ(Game.WhitePlayer.Name, "Old");
    EXPECT_TRUE(Dialog.GameListed);
}

// The program's own presenter shows the refusal as a real box: an error, with the error icon.
TEST_F(GameDialogTest, MissingNameIsShownAsAnErrorBox) {
    auto previous = SetMessagePresenter(std::make_unique<TMessageBoxPresenter>(&Dialog));
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        box->button(QMessageBox::Ok)->click();
    });
    Run(false, [&] {
        Dialog.edtWhitePlayerName->clear();
        poll.start(10);
        Dialog.btnOk->click();
        poll.stop();
    });
    SetMessagePresenter(std::move(previous));
    EXPECT_EQ(title, "Error");
    EXPECT_EQ(text, "You must enter your name(s)!");
    EXPECT_EQ(icon, QMessageBox::Critical);
}

TEST_F(GameDialogTest, LongNamesAreCutAtACharacterBoundary) {
    // 200 two-byte letters: 400 bytes, cut to the 127 letters that fit in 255 bytes.
    const QString longName(200, QChar(0x00E9));
    Run(false, [&] {
        Dialog.edtWhitePlayerName->setText(longName);
        Dialog.edtBlackPlayerName->setText(QStringLiteral("Bob"));
        Dialog.btnOk->click();
    });
    EXPECT_EQ(Game.WhitePlayer.Name.size(), 254u);
    EXPECT_EQ(QString::fromStdString(Game.WhitePlayer.Name), QString(127, QChar(0x00E9)));
}

TEST_F(GameDialogTest, CancelRemembersEntriesForANewGameOnly) {
    Run(false, [this] {
        Dialog.edtWhitePlayerName->setText(QStringLiteral("Ann"));
        Dialog.cmbBlackPlayer->setCurrentIndex(2);
        Dialog.edtClientName->setText(QStringLiteral("Cleo"));
        Dialog.edtHostIp->setText(QStringLiteral("10.1.2.3"));
        Dialog.edtHostName->setText(QStringLiteral("Hugo"));
        Dialog.cmbHostColor->setCurrentIndex(1);
        Dialog.chkListGame->setChecked(false);
        Dialog.btnCancel->click();
    });
    EXPECT_EQ(Remembered("WhitePlayerName"), "Ann");
    EXPECT_EQ(Remembered("WhitePlayerType"), "0");
    EXPECT_EQ(Remembered("BlackPlayerName"), "Computer skilled");
    EXPECT_EQ(Remembered("BlackPlayerType"), "2");
    EXPECT_EQ(Remembered("ClientName"), "Cleo");
    EXPECT_EQ(Remembered("HostIp"), "10.1.2.3");
    EXPECT_EQ(Remembered("HostName"), "Hugo");
    EXPECT_EQ(Remembered("HostColor"), "1");
    EXPECT_EQ(Remembered("ListGame"), "0");
    EXPECT_EQ(Game.GameState, gsIdle);

    Run(true, [this] {
        Dialog.edtHostName->setText(QStringLiteral("Changed"));
        Dialog.btnCancel->click();
    });
    EXPECT_EQ(Remembered("HostName"), "Hugo");
    EXPECT_EQ(Game.GameState, gsIdle);
}

TEST_F(GameDialogTest, RememberedEntriesReadBackAtTheNextShow) {
    Run(false, [this] {
        Dialog.edtWhitePlayerName->setText(QStringLiteral("Zoë"));
        Dialog.cmbBlackPlayer->setCurrentIndex(3);
        Dialog.edtHostName->setText(QStringLiteral("Hugo"));
        Dialog.chkListGame->setChecked(false);
        Dialog.btnCancel->click();
    });
    Dialog.edtWhitePlayerName->setText(QStringLiteral("scratch"));
    Dialog.cmbBlackPlayer->setCurrentIndex(0);
    Dialog.chkListGame->setChecked(true);
    Run(false, [this] {
        EXPECT_EQ(Dialog.edtWhitePlayerName->text(), "Zoë");
        EXPECT_TRUE(Dialog.edtWhitePlayerName->isEnabled());
        EXPECT_EQ(Dialog.cmbBlackPlayer->currentIndex(), 3);
        EXPECT_EQ(Dialog.edtBlackPlayerName->text(), "Computer expert");
        EXPECT_FALSE(Dialog.edtBlackPlayerName->isEnabled());
        EXPECT_EQ(Dialog.edtHostName->text(), "Hugo");
        EXPECT_FALSE(Dialog.chkListGame->isChecked());
    });
}

TEST_F(GameDialogTest, BadRememberedValuesFallBackToDefaults) {
    {
        QSettings ini(Dialog.SettingsPath, QSettings::IniFormat);
        ini.setValue(QStringLiteral("Game/WhitePlayerType"), 7);
        ini.setValue(QStringLiteral("Game/BlackPlayerType"), 2);
        ini.setValue(QStringLiteral("Game/BlackPlayerName"), QString());
        ini.setValue(QStringLiteral("Game/HostColor"), QStringLiteral("black"));
        ini.setValue(QStringLiteral("Game/ListGame"), QStringLiteral("maybe"));
    }
    Run(false, [this] {
        EXPECT_EQ(Dialog.cmbWhitePlayer->currentIndex(), 0);
        EXPECT_EQ(Dialog.cmbHostColor->currentIndex(), 0);
        EXPECT_TRUE(Dialog.chkListGame->isChecked());
        // A computer is never left without a name in a box the user cannot type into.
        EXPECT_EQ(Dialog.cmbBlackPlayer->currentIndex(), 2);
        EXPECT_EQ(Dialog.edtBlackPlayerName->text(), "Computer skilled");
    });
}

TEST_F(GameDialogTest, LoadedGameFillsFromTheControllerAndHidesTheJoinPage) {
    Game.WhitePlayer.Human = false;
    Game.WhitePlayer.Level = 1;
    Game.WhitePlayer.Name = "Computer skilled";
    Game.BlackPlayer.Name = "Bea";
    Game.HostColour = pcBlack;
    Dialog.pgcGame->setCurrentWidget(Dialog.tbsClient);
    Run(true, [this] {
        EXPECT_FALSE(Dialog.pgcGame->isTabVisible(Dialog.pgcGame->indexOf(Dialog.tbsClient)));
        EXPECT_EQ(Dialog.pgcGame->currentWidget(), Dialog.tbsLocal);
        EXPECT_EQ(Dialog.cmbWhitePlayer->currentIndex(), 2);
        EXPECT_FALSE(Dialog.edtWhitePlayerName->isEnabled());
        EXPECT_EQ(Dialog.cmbBlackPlayer->currentIndex(), 0);
        EXPECT_EQ(Dialog.edtBlackPlayerName->text(), "Bea");
        EXPECT_EQ(Dialog.edtHostName->text(), "Bea");
        EXPECT_EQ(Dialog.cmbHostColor->currentIndex(), 1);
    });
    Run(false, [this] {
        EXPECT_TRUE(Dialog.pgcGame->isTabVisible(Dialog.pgcGame->indexOf(Dialog.tbsClient)));
    });
}

TEST_F(GameDialogTest, HostPlayingBlackConnectsAndPublishes) {
    std::vector<QString> connected;
    std::vector<int> statuses;
    QStringList published;
    Dialog.Connect = [&](const QString& address) {
        connected.push_back(address);
        return true;
    };
    Dialog.ShowStatus = [&](int n) { statuses.push_back(n); };
    Dialog.PublishGame = [&](const QString& name) { published << name; };
    Game.WhitePlayer.Name = "Old";
    Game.WhitePlayer.Human = false;
    const bool ok = Run(false, [this] {
        Dialog.pgcGame->setCurrentWidget(Dialog.tbsHost);
        Dialog.edtHostName->setText(QStringLiteral("Hank"));
        Dialog.cmbHostColor->setCurrentIndex(1);
        Dialog.btnOk->click();
    });
    EXPECT_TRUE(ok);
    EXPECT_TRUE(Shown.empty());
    EXPECT_EQ(Game.BlackPlayer.Name, "Hank");
    EXPECT_EQ(Game.WhitePlayer.Name, "");
    EXPECT_TRUE(Game.WhitePlayer.Human);
    EXPECT_TRUE(Game.BlackPlayer.Human);
    EXPECT_EQ(Game.GameKind, gkHost);
    EXPECT_EQ(Game.HostColour, pcBlack);
    EXPECT_TRUE(Dialog.GameListed);
    EXPECT_EQ(connected, std::vector<QString> { QString() });
    EXPECT_EQ(statuses, std::vector<int> { 3 });
    EXPECT_EQ(published, QStringList { QStringLiteral("Hank") });
}

TEST_F(GameDialogTest, HostingAgainRemovesTheListedGameAndReportsAFailedConnection) {
    int removed = 0;
    bool published = false;
    Dialog.RemoveGame = [&] { ++removed; };
    Dialog.PublishGame = [&](const QString&) { published = true; };
    Game.GameKind = gkHost;
    const bool ok = Run(false, [this] {
        Dialog.pgcGame->setCurrentWidget(Dialog.tbsHost);
        Dialog.edtHostName->setText(QStringLiteral("Hank"));
        Dialog.btnOk->click();
    });
    // No connection: E2, nothing published, and the dialog still closes.
    EXPECT_TRUE(ok);
    EXPECT_EQ(ShownKeys(), Strings { "E2" });
    EXPECT_EQ(removed, 1);
    EXPECT_FALSE(published);
    EXPECT_EQ(Game.WhitePlayer.Name, "Hank");
}

TEST_F(GameDialogTest, JoiningRefusesAMissingAddressAndName) {
    Game.BlackPlayer.Name = "Keep";
    Run(false, [this] {
        Dialog.pgcGame->setCurrentWidget(Dialog.tbsClient);
        Dialog.edtClientName->clear();
        Dialog.btnOk->click();
        Dialog.edtClientName->setText(QStringLiteral("Jo"));
        Dialog.chkHostIp->setChecked(true);
        Dialog.edtHostIp->setText(QStringLiteral("  "));
        Dialog.btnOk->click();
        EXPECT_TRUE(Dialog.isVisible());
    });
    EXPECT_EQ(ShownKeys(), (Strings { "E6", "E7" }));
    EXPECT_EQ(Game.GameKind, gkLocal);
    EXPECT_EQ(Game.BlackPlayer.Name, "Keep");
}

TEST_F(GameDialogTest, JoiningUsesTheChosenHostedGame) {
    std::vector<QString> connected;
    std::vector<int> statuses;
    Dialog.Connect = [&](const QString& address) {
        connected.push_back(address);
        return true;
    };
    Dialog.ShowStatus = [&](int n) { statuses.push_back(n); };
    Dialog.FetchHostedGames = [] {
        return std::optional<QStringList>(
            { QStringLiteral("Ann|10.0.0.5"), QStringLiteral("Bob|x|10.0.0.6") });
    };
    Game.WhitePlayer.Name = "Old";
    const bool ok = Run(false, [this] {
        Dialog.pgcGame->setCurrentWidget(Dialog.tbsClient);
        ASSERT_EQ(Dialog.stgHosts->rowCount(), 2);
        EXPECT_EQ(Dialog.stgHosts->item(1, 0)->text(), "Bob");
        EXPECT_EQ(Dialog.stgHosts->item(1, 1)->text(), "x|10.0.0.6");
        Dialog.stgHosts->selectRow(0);
        Dialog.edtClientName->setText(QStringLiteral("Jo"));
        Dialog.btnOk->click();
    });
    EXPECT_TRUE(ok);
    EXPECT_EQ(connected, std::vector<QString> { QStringLiteral("10.0.0.5") });
    EXPECT_EQ(statuses, std::vector<int> { 1 });
    EXPECT_EQ(Game.GameKind, gkClient);
    EXPECT_EQ(Game.WhitePlayer.Name, "");
    EXPECT_EQ(Game.BlackPlayer.Name, "Jo");
    EXPECT_TRUE(Shown.empty());
}

TEST_F(GameDialogTest, HostedGamesListKeepsItsRowsWhenTheServerFails) {
    std::optional<QStringList> answer = QStringList { QStringLiteral("Ann|10.0.0.5") };
    Dialog.FetchHostedGames = [&] { return answer; };
    Run(false, [&] {
        Dialog.pgcGame->setCurrentWidget(Dialog.tbsClient);
        answer.reset();
        Dialog.popHosts_Refresh->trigger();
        ASSERT_EQ(Dialog.stgHosts->rowCount(), 1);
        EXPECT_EQ(Dialog.stgHosts->item(0, 0)->text(), "Ann");
        answer = QStringList {};
        Dialog.popHosts_Refresh->trigger();
        EXPECT_EQ(Dialog.stgHosts->rowCount(), 1);
        EXPECT_EQ(Dialog.stgHosts->item(0, 0), nullptr);
    });
    EXPECT_EQ(ShownKeys(), Strings { "E8" });
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(GameDialogTest, OpeningTheJoinPageShowsAFailedListInThePageAndARefreshAsksAgain) {
    std::optional<QStringList> answer;
    Dialog.FetchHostedGames = [&] { return answer; };
    Run(false, [&] {
        Dialog.pgcGame->setCurrentWidget(Dialog.tbsClient);
        // No box on opening: the page says it, with a button to try again.
        EXPECT_TRUE(Shown.empty());
        EXPECT_TRUE(Dialog.lblHostsFailed->isVisible());
        EXPECT_TRUE(Dialog.btnRefreshHosts->isVisible());
        // A refresh the user asks for that fails again says so in a box as well.
        Dialog.btnRefreshHosts->click();
        EXPECT_EQ(ShownKeys(), Strings { "E8" });
        EXPECT_TRUE(Dialog.lblHostsFailed->isVisible());
        answer = QStringList { QStringLiteral("Ann|10.0.0.5") };
        Dialog.btnRefreshHosts->click();
        EXPECT_FALSE(Dialog.lblHostsFailed->isVisible());
        ASSERT_EQ(Dialog.stgHosts->rowCount(), 1);
        EXPECT_EQ(Dialog.stgHosts->item(0, 0)->text(), "Ann");
    });
    EXPECT_EQ(ShownKeys(), Strings { "E8" });
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(GameDialogTest, AddressListOffersOnlyAddressesAnotherMachineCouldUse) {
    for (const char* useless : { "0.0.0.0", "127.0.0.1", "::1", "::", "255.255.255.255",
             "224.0.0.1", "not an address", "" }) {
        SCOPED_TRACE(useless);
        Dialog.FetchPublicAddress = [useless] { return QString::fromLatin1(useless); };
        Run(false, [this] {
            Dialog.pgcGame->setCurrentWidget(Dialog.tbsHost);
            for (int i = 0; i < Dialog.lstIpAddresses->count(); ++i) {
                const QString text = Dialog.lstIpAddresses->item(i)->text();
                EXPECT_EQ(text, TfrmGame::LocalAddress());
                EXPECT_NE(text, QStringLiteral("0.0.0.0"));
            }
            EXPECT_LE(Dialog.lstIpAddresses->count(), 1);
        });
        Dialog.pgcGame->setCurrentWidget(Dialog.tbsLocal);
    }
}

TEST_F(GameDialogTest, AddressListHoldsThePublicAddressAndCopiesTheSelection) {
    Dialog.FetchPublicAddress = [] { return QStringLiteral("203.0.113.7"); };
    Run(false, [this] {
        Dialog.pgcGame->setCurrentWidget(Dialog.tbsHost);
        const int count = Dialog.lstIpAddresses->count();
        ASSERT_GE(count, 1);
        QListWidgetItem* last = Dialog.lstIpAddresses->item(count - 1);
        EXPECT_EQ(last->text(), "203.0.113.7");
        EXPECT_EQ(count, TfrmGame::LocalAddress().isEmpty() ? 1 : 2);
        Dialog.lstIpAddresses->setCurrentItem(last);
        Dialog.popAddresses_Copy->trigger();
        EXPECT_EQ(QApplication::clipboard()->text(), "203.0.113.7");
    });
}

TEST(AboutBox, ShowsVersionAddressAndCredits) {
    TfrmAbout about;
    QTimer::singleShot(0, &about, [&] { about.btnOk->click(); });
    about.Execute(QStringLiteral("v3.2.4"));
    EXPECT_EQ(about.objectName(), "frmAbout");
    EXPECT_EQ(about.windowTitle(), "About");
    EXPECT_EQ(about.lblVersion->text(), "v3.2.4");
    EXPECT_TRUE(about.lblWebsite->text().contains(QLatin1String(TfrmAbout::WebAddress)));
    const QString credits = about.memCredits->toPlainText();
    EXPECT_TRUE(credits.contains(QLatin1String("GPL-3.0-or-later")));
    EXPECT_TRUE(credits.contains(QLatin1String("Piece sets: see the credits file")));
    EXPECT_TRUE(credits.contains(QLatin1String("Burnett")));
}

} // namespace

namespace {

TEST(AboutBox, CreditsListEachPieceSetAndKeepTheNotices) {
    const QString sources
        = QStringLiteral("# Sources\n\nIntro.\n\n"
                         "| # | Name | Source | Licence of the art | Attribution |\n"
                         "|---|---|---|---|---|\n"
                         "| 1 | Classic | pkg | GPL-2.0-or-later | Pieces by A. Artist |\n"
                         "| 2 | Bold | same | same | same |\n\n"
                         "More prose.\n\n## Notices\n\n### MIT\n\n```\n# not a heading\n```\n");
    const QString credits = TfrmAbout::CreditsText(sources);
    EXPECT_TRUE(credits.contains(
        QLatin1String("**1 Classic**: Pieces by A. Artist (licence: GPL-2.0-or-later)")));
    EXPECT_TRUE(credits.contains(
        QLatin1String("**2 Bold**: Pieces by A. Artist (licence: GPL-2.0-or-later)")));
    EXPECT_TRUE(credits.contains(QLatin1String("##### MIT")));
    EXPECT_TRUE(credits.contains(QLatin1String("\n# not a heading\n")));
    EXPECT_FALSE(credits.contains(QLatin1String("More prose")));

    // A file in another shape is shown as it is; none at all gives the built-in summary.
    EXPECT_TRUE(TfrmAbout::CreditsText(QStringLiteral("Just text.")).endsWith("Just text."));
    EXPECT_TRUE(TfrmAbout::CreditsText(QString()).contains(QLatin1String("Burnett")));
}

} // namespace
