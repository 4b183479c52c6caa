// Two main windows in one process, a host and a client on loopback: joining, readiness, moves
// by the mouse, chat, an undo request, forfeit and closing with the link open.

#include "BoardGeometry.h"
#include "FakeHttpServer.h"
#include "FormAbout.h"
#include "FormChat.h"
#include "FormGame.h"
#include "FormMain.h"
#include "FormMoves.h"
#include "UnitMessages.h"
#include "WindowTestSupport.h"

#include "LanguagePack.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <ostream>
#include <string>

namespace {

// Every question in these tests is answered Yes.
const int Yes = idYes;

// One copy of the program's windows.
struct TCopy {
    TCopy() {
        Main = std::make_unique<TfrmMain>();
        Chat = Main->findChild<TfrmChat*>("frmChat");
        Moves = Main->findChild<TfrmMoves*>("frmMoves");
        Main->Seams().PlaySound = nullptr;
        Main->show();
    }
    QPoint Centre(const char* square) const {
        const TPoint o = BoardGeometry::SquareOrigin(
            { square[0] - 'a' + 1, square[1] - '0' }, Main->Board().Switched);
        return { o.X + 27, o.Y + 27 };
    }
    void Drag(const char* from, const char* to) {
        QTest::mousePress(Main->Board().pbBoard, Qt::LeftButton, {}, Centre(from));
        QTest::mouseRelease(Main->Board().pbBoard, Qt::LeftButton, {}, Centre(to));
    }
    // Opens the new-game dialog from the menu and runs the actions inside it; a dialog still
    // open after them is cancelled.
    void NewGame(const std::function<void(TfrmGame&)>& actions) {
        TfrmGame& dialog = *Main->findChild<TfrmGame*>("frmGame");
        QTimer::singleShot(0, &dialog, [&dialog, actions] {
            actions(dialog);
            if (dialog.isVisible())
                dialog.reject();
        });
        Main->findChild<QAction*>("Menu_Game_New")->trigger();
    }
    std::unique_ptr<TfrmMain> Main;
    TfrmChat* Chat = nullptr;
    TfrmMoves* Moves = nullptr;
};

// A port on which nobody listens: a moment ago it was free.
uint16_t FreePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// Runs the event loop for a while, so that whatever is still on its way arrives.
void RunFor(int milliseconds) {
    WaitFor([] { return false; }, milliseconds);
}

class NetworkWindowsTest : public testing::Test {
protected:
    void SetUp() override {
        qputenv("WINTERMOOT_HOME", m_Home.path().toLocal8Bit());
        SetMessagePresenter(std::make_unique<TRecordingPresenter>(Boxes, Yes));
        Host = std::make_unique<TCopy>();
        Client = std::make_unique<TCopy>();

        TChessGame& host = Host->Main->Game();
        host.GameKind = gkHost;
        host.HostColour = pcWhite;
        host.WhitePlayer.Name = "Hanna";
        setenv("WINTERMOOT_PORT", "0", 1);
        ASSERT_TRUE(host.Connect(""));
        setenv("WINTERMOOT_PORT", std::to_string(host.ListeningPort()).c_str(), 1);
        TChessGame& client = Client->Main->Game();
        client.GameKind = gkClient;
        client.BlackPlayer.Name = "Carl";
        ASSERT_TRUE(client.Connect("127.0.0.1"));
        unsetenv("WINTERMOOT_PORT");
        ASSERT_TRUE(WaitFor([&] {
            return Host->Main->Board().pnlReady->isVisible()
                && Client->Main->Board().pnlReady->isVisible();
        }));
    }

    void TearDown() override {
        Client.reset();
        Host.reset();
        SetMessagePresenter(nullptr);
    }

    void StartGame() {
        Host->Main->Board().btnReady->click();
        Client->Main->Board().btnReady->click();
        ASSERT_TRUE(WaitFor([&] {
            return Host->Main->Game().GameState == gsPlaying
                && Client->Main->Game().GameState == gsPlaying;
        }));
    }

    bool Shown(const char* fragment) const { return ::Shown(Boxes, fragment); }
    int Count(const char* fragment) const {
        return int(std::count_if(Boxes.begin(), Boxes.end(),
            [&](const std::string& text) { return text.find(fragment) != std::string::npos; }));
    }

    QTemporaryDir m_Home;
    std::vector<std::string> Boxes;
    std::unique_ptr<TCopy> Host;
    std::unique_ptr<TCopy> Client;
};

const char* const OpponentLeft = "Your opponent disconnected from the game.";
const char* const ConnectionLost = "The connection to the game has been lost.";

TEST_F(NetworkWindowsTest, JoiningTurnsTheClientsBoardAndSwapsTheNames) {
    EXPECT_FALSE(Host->Main->Board().Switched);
    EXPECT_TRUE(Client->Main->Board().Switched);
    EXPECT_EQ(Client->Main->Game().WhitePlayer.Name, "Hanna");
    EXPECT_EQ(Host->Main->Game().BlackPlayer.Name, "Carl");
    EXPECT_TRUE(Host->Chat->edtMessage->isEnabled());
    EXPECT_TRUE(Client->Chat->edtMessage->isEnabled());
}

TEST_F(NetworkWindowsTest, MovesByTheMouseReachTheOtherSideAndItsMovesWindow) {
    StartGame();
    // The client may not touch the host's pieces, nor move out of turn.
    Client->Drag("e7", "e5");
    EXPECT_EQ(Client->Main->Game().Moves.Count(), 0);
    Host->Drag("e2", "e4");
    ASSERT_TRUE(WaitFor([&] { return Client->Main->Game().Moves.Count() == 1; }));
    Client->Drag("e7", "e5");
    ASSERT_TRUE(WaitFor([&] { return Host->Main->Game().Moves.Count() == 2; }));
    EXPECT_EQ(Host->Moves->Cell(1, 2), QStringLiteral("e7-e5"));
    EXPECT_EQ(Client->Moves->Cell(1, 1), QStringLiteral("e2-e4"));
}

TEST_F(NetworkWindowsTest, ChatLinesReachTheOtherSideUnderTheSendersName) {
    Client->Chat->edtMessage->setText(QStringLiteral("good luck"));
    Client->Chat->btnSend->click();
    ASSERT_TRUE(WaitFor([&] { return Host->Chat->isVisible(); }));
    EXPECT_TRUE(Host->Chat->rdtChat->toPlainText().contains(QStringLiteral("Carl: good luck")));
    EXPECT_TRUE(Client->Chat->rdtChat->toPlainText().contains(QStringLiteral("Carl: good luck")));
}

TEST_F(NetworkWindowsTest, AnAcceptedUndoRequestTakesTheMoveBackOnBothSides) {
    StartGame();
    Host->Drag("e2", "e4");
    ASSERT_TRUE(WaitFor([&] { return Client->Main->Game().Moves.Count() == 1; }));
    // The client cannot take back the host's move.
    Client->Main->findChild<QAction*>("Menu_Game_Undo")->trigger();
    EXPECT_TRUE(Shown("You cannot undo one of your opponent's moves!"));
    Host->Main->findChild<QAction*>("Menu_Game_Undo")->trigger();
    EXPECT_TRUE(Host->Main->Board().pnlStatus->isVisible());
    ASSERT_TRUE(WaitFor([&] {
        return Host->Main->Game().Moves.Count() == 0 && Client->Main->Game().Moves.Count() == 0;
    }));
    EXPECT_EQ(Client->Moves->Cell(1, 1), QString());
}

TEST_F(NetworkWindowsTest, ForfeitDuringTheOpponentsTurnRecordsTheLocalPlayer) {
    StartGame();
    // White (the host) is to move; the client, playing black, forfeits.
    Client->Main->findChild<QAction*>("Menu_Game_Forfeit")->trigger();
    EXPECT_TRUE(Shown("You have forfeited the game."));
    ASSERT_EQ(Client->Main->History().Count(), 1);
    EXPECT_EQ(Client->Main->History().Last()->Result, grBlackForfeited);
    ASSERT_TRUE(WaitFor([&] { return Host->Main->Game().GameState == gsStopped; }));
    // The link stays open: both sides offer the next game.
    EXPECT_TRUE(Host->Main->Board().pnlReady->isVisible());
}

TEST_F(NetworkWindowsTest, TheOpponentLeavingPutsBackTheHeldPiece) {
    StartGame();
    QTest::mousePress(Host->Main->Board().pbBoard, Qt::LeftButton, {}, Host->Centre("e2"));
    ASSERT_EQ(Host->Main->Board().HeldSquare, (TPoint { 5, 2 }));
    Client->Main->Game().Disconnect();
    ASSERT_TRUE(WaitFor([&] { return Host->Main->Game().GameState == gsStopped; }));
    EXPECT_EQ(Host->Main->Board().HeldSquare, TPoint {});
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(NetworkWindowsTest, TheOpponentsWaitingPromotionIsListedOnce) {
    const QString language = m_Home.filePath(QStringLiteral("Test.lang"));
    TLangPack pack;
    pack.LanguageName = "Test";
    pack.AddText("values", "Stat01", "Connecting...");
    ASSERT_TRUE(pack.SaveToFile(language.toStdString()));
    StartGame();
    int count = 0;
    for (auto [from, to] :
        { std::pair { "h2", "h4" }, { "g7", "g5" }, { "h4", "g5" }, { "h7", "h6" }, { "g5", "h6" },
            { "b8", "c6" }, { "h6", "h7" }, { "c6", "b8" }, { "h7", "g8" } }) {
        (++count % 2 ? Host : Client)->Drag(from, to);
        ASSERT_TRUE(WaitFor([&] {
            return Host->Main->Game().Moves.Count() == count
                && Client->Main->Game().Moves.Count() == count;
        }));
    }
    ASSERT_TRUE(Client->Main->Board().pnlStatus->isVisible());
    // A language change on the waiting side lists the game's moves again.
    ASSERT_TRUE(Client->Main->LoadLanguage(language));
    EXPECT_EQ(Client->Moves->RowCount(), 4);
    QTest::mouseClick(Host->Main->Board().imgPromoteQueen, Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return Client->Main->Game().Turn == pcBlack; }));
    EXPECT_EQ(Client->Moves->RowCount(), 5);
    EXPECT_EQ(Client->Moves->Cell(5, 1), QStringLiteral("h7-g8"));
    EXPECT_EQ(Host->Moves->RowCount(), 5);
}

TEST_F(NetworkWindowsTest, HostingAgainLeavesTheOldLinkQuietlyAndListsOnlyWhatWasAsked) {
    // A game-list server that answers every request with an empty page.
    TFakeHttpServer server;
    Host->Main->GameList().SetBaseUrl(server.Url());
    // The game hosted before was listed; the new one is not to be.
    Host->Main->SetGameListed(true);
    setenv("WINTERMOOT_PORT", "0", 1);
    Host->NewGame([](TfrmGame& dialog) {
        dialog.pgcGame->setCurrentWidget(dialog.tbsHost);
        dialog.edtHostName->setText(QStringLiteral("Hanna"));
        dialog.chkListGame->setChecked(false);
        dialog.btnOk->click();
    });
    unsetenv("WINTERMOOT_PORT");
    TChessGame& host = Host->Main->Game();
    EXPECT_TRUE(host.NetworkActive);
    EXPECT_NE(host.ListeningPort(), 0);
    EXPECT_FALSE(host.PeerConnected());
    EXPECT_EQ(Host->Main->Board().lblStatus->text(),
        Host->Main->Values().Value(QStringLiteral("Stat03")));
    // The old opponent is told and loses its link; the host's user, who left, is not told.
    ASSERT_TRUE(WaitFor([&] { return Shown(ConnectionLost); }));
    RunFor(200);
    EXPECT_FALSE(Shown(OpponentLeft));
    // The old listing is taken off, and the new game is never listed.
    EXPECT_EQ(server.Count("action=remove"), 1);
    EXPECT_EQ(server.Count("action=add"), 0);
    EXPECT_FALSE(Host->Main->GameListed());
    EXPECT_FALSE(Host->Main->findChild<QTimer*>("RepublishTimer")->isActive());
}

TEST_F(NetworkWindowsTest, ALocalGameFromTheDialogClosesTheOldLink) {
    Client->NewGame([](TfrmGame& dialog) {
        dialog.pgcGame->setCurrentWidget(dialog.tbsLocal);
        dialog.cmbWhitePlayer->setCurrentIndex(0);
        dialog.cmbBlackPlayer->setCurrentIndex(0);
        dialog.edtWhitePlayerName->setText(QStringLiteral("Ann"));
        dialog.edtBlackPlayerName->setText(QStringLiteral("Ben"));
        dialog.btnOk->click();
    });
    TChessGame& client = Client->Main->Game();
    ASSERT_EQ(client.GameState, gsPlaying);
    EXPECT_FALSE(client.NetworkActive);
    EXPECT_FALSE(client.PeerConnected());
    // The host learns that its opponent left; the one who left hears nothing of it, and the end
    // of the host later does not reach the local game.
    ASSERT_TRUE(WaitFor([&] { return Shown(OpponentLeft); }));
    Host.reset();
    RunFor(300);
    EXPECT_FALSE(Shown(ConnectionLost));
    EXPECT_EQ(client.GameState, gsPlaying);
    EXPECT_EQ(client.GameKind, gkLocal);
}

TEST_F(NetworkWindowsTest, LeavingAGameForALocalOneDisconnectsWithoutAForfeit) {
    StartGame();
    Host->Drag("e2", "e4");
    ASSERT_TRUE(WaitFor([&] { return Client->Main->Game().Moves.Count() == 1; }));
    // The host asks first, then leaves for a local game: the client sees its opponent go.
    Host->NewGame([](TfrmGame& dialog) {
        dialog.pgcGame->setCurrentWidget(dialog.tbsLocal);
        dialog.cmbWhitePlayer->setCurrentIndex(0);
        dialog.cmbBlackPlayer->setCurrentIndex(0);
        dialog.edtWhitePlayerName->setText(QStringLiteral("Ann"));
        dialog.edtBlackPlayerName->setText(QStringLiteral("Ben"));
        dialog.btnOk->click();
    });
    EXPECT_EQ(Count("stop it without a result"), 1);
    TChessGame& host = Host->Main->Game();
    ASSERT_EQ(host.GameState, gsPlaying);
    EXPECT_EQ(host.GameKind, gkLocal);
    EXPECT_EQ(host.Moves.Count(), 0);
    EXPECT_FALSE(host.PeerConnected());
    ASSERT_TRUE(WaitFor([&] { return Shown(ConnectionLost); }));
    EXPECT_EQ(Client->Main->Game().GameState, gsStopped);
    EXPECT_FALSE(Shown("forfeited"));
    EXPECT_FALSE(Shown(OpponentLeft));
    EXPECT_EQ(Host->Main->History().Count(), 0);
    EXPECT_EQ(Client->Main->History().Count(), 0);
}

TEST_F(NetworkWindowsTest, AnOpponentKilledMidGameIsToldOnceAndTheGameIsListedAgain) {
    TFakeHttpServer server;
    Host->Main->GameList().SetBaseUrl(server.Url());
    Host->Main->SetGameListed(true);
    StartGame();
    Host->Drag("e2", "e4");
    ASSERT_TRUE(WaitFor([&] { return Client->Main->Game().Moves.Count() == 1; }));
    // The client's program goes without a word: its connection is dropped by the system.
    Client.reset();
    ASSERT_TRUE(WaitFor([&] { return Shown(OpponentLeft); }));
    RunFor(300);
    EXPECT_EQ(Count(OpponentLeft), 1);
    EXPECT_EQ(Boxes.size(), 1u);
    TChessGame& host = Host->Main->Game();
    EXPECT_EQ(host.GameState, gsStopped);
    EXPECT_EQ(host.BlackPlayer.Name, "");
    EXPECT_EQ(host.WhitePlayer.Name, "Hanna");
    // Nothing waits behind "I'm ready!" for the opponent that went: the host waits for the next.
    EXPECT_FALSE(Host->Main->Board().pnlReady->isVisible());
    EXPECT_TRUE(Host->Main->Board().pnlStatus->isVisible());
    EXPECT_EQ(Host->Main->Board().lblStatus->text(),
        Host->Main->Values().Value(QStringLiteral("Stat03")));
    EXPECT_EQ(server.Count("action=add"), 1);
    EXPECT_TRUE(Host->Main->findChild<QTimer*>("RepublishTimer")->isActive());
    EXPECT_FALSE(Host->Chat->edtMessage->isEnabled());
}

TEST_F(NetworkWindowsTest, ClosingWithTheLinkOpenDisconnectsFirstThenCloses) {
    EXPECT_FALSE(Host->Main->close());
    EXPECT_TRUE(Host->Main->Closing());
    ASSERT_TRUE(WaitFor([&] { return !Host->Main->isVisible(); }));
    ASSERT_TRUE(WaitFor([&] { return Shown("The connection to the game has been lost."); }));
    EXPECT_FALSE(Client->Chat->edtMessage->isEnabled());
}

} // namespace

namespace {

// A host window whose client sends bytes no peer would send.
TEST(NetworkErrorWindowTest, AMalformedMessageEndsTheLinkWithE2AndTheHostWaitsAgain) {
    QTemporaryDir home;
    qputenv("WINTERMOOT_HOME", home.path().toLocal8Bit());
    std::vector<std::string> boxes;
    SetMessagePresenter(std::make_unique<TRecordingPresenter>(boxes, Yes));
    {
        TCopy host;
        TChessGame& game = host.Main->Game();
        game.GameKind = gkHost;
        game.WhitePlayer.Name = "Hanna";
        setenv("WINTERMOOT_PORT", "0", 1);
        ASSERT_TRUE(game.Connect(""));
        unsetenv("WINTERMOOT_PORT");
        QTcpSocket raw;
        raw.connectToHost(QHostAddress::LocalHost, game.ListeningPort());
        ASSERT_TRUE(raw.waitForConnected(5000));
        raw.write(QByteArray::fromHex("02400104"));
        raw.write(QByteArray(256, 'x'));
        raw.write(QByteArray::fromHex("63"));
        raw.flush();
        EXPECT_TRUE(
            WaitFor([&] { return Shown(boxes, "An error occurred on the network!"); }, 10000));
        EXPECT_TRUE(host.Main->Board().pnlStatus->isVisible());
        EXPECT_EQ(host.Main->Board().lblStatus->text(),
            host.Main->Values().Value(QStringLiteral("Stat03")));
        EXPECT_FALSE(host.Chat->edtMessage->isEnabled());
    }
    SetMessagePresenter(nullptr);
}

} // namespace

namespace {

// A host window and what connects to it from outside.
class HostWindowTest : public testing::Test {
protected:
    void SetUp() override {
        qputenv("WINTERMOOT_HOME", m_Home.path().toLocal8Bit());
        SetMessagePresenter(std::make_unique<TRecordingPresenter>(Boxes, Yes));
        Host = std::make_unique<TCopy>();
        Host->Main->GameList().SetBaseUrl(Server.Url());
        TChessGame& game = Host->Main->Game();
        game.GameKind = gkHost;
        game.WhitePlayer.Name = "Hanna";
        setenv("WINTERMOOT_PORT", "0", 1);
        ASSERT_TRUE(game.Connect(""));
        unsetenv("WINTERMOOT_PORT");
        Host->Main->Board().ShowStatus(stWaitingForPlayer);
    }
    void TearDown() override {
        Host.reset();
        SetMessagePresenter(nullptr);
    }
    // A raw connection to the host that sends the bytes.
    std::unique_ptr<QTcpSocket> Connect(const QByteArray& bytes) {
        auto socket = std::make_unique<QTcpSocket>();
        socket->connectToHost(QHostAddress::LocalHost, Host->Main->Game().ListeningPort());
        EXPECT_TRUE(socket->waitForConnected(5000));
        socket->write(bytes);
        socket->flush();
        return socket;
    }
    static QByteArray Greeting(const char* name) {
        QByteArray text(256, '\0');
        text[0] = char(qstrlen(name));
        text.replace(1, int(qstrlen(name)), name);
        return QByteArray::fromHex("02400104") + text;
    }
    int Count(const char* fragment) const {
        return int(std::count_if(Boxes.begin(), Boxes.end(),
            [&](const std::string& text) { return text.find(fragment) != std::string::npos; }));
    }

    QTemporaryDir m_Home;
    std::vector<std::string> Boxes;
    TFakeHttpServer Server;
    std::unique_ptr<TCopy> Host;
};

// Port scanners and web browsers find every listening port: the host lets them go without a box
// and a real opponent joins afterwards.
TEST_F(HostWindowTest, StrangersProbingTheHostAreDroppedWithoutABox) {
    std::vector<std::unique_ptr<QTcpSocket>> strangers;
    strangers.push_back(Connect(QByteArray::fromHex("0103")));
    strangers.push_back(Connect("GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"));
    strangers.push_back(Connect(QByteArray::fromHex("0240010103")));
    for (const auto& stranger : strangers)
        EXPECT_TRUE(
            WaitFor([&] { return stranger->state() == QAbstractSocket::UnconnectedState; }, 5000));
    RunFor(100);
    EXPECT_TRUE(Boxes.empty());
    EXPECT_EQ(Host->Main->Board().lblStatus->text(),
        Host->Main->Values().Value(QStringLiteral("Stat03")));

    TCopy client;
    TChessGame& game = client.Main->Game();
    game.GameKind = gkClient;
    game.BlackPlayer.Name = "Carl";
    setenv("WINTERMOOT_PORT", std::to_string(Host->Main->Game().ListeningPort()).c_str(), 1);
    ASSERT_TRUE(game.Connect("127.0.0.1"));
    unsetenv("WINTERMOOT_PORT");
    ASSERT_TRUE(WaitFor([&] { return Host->Main->Board().pnlReady->isVisible(); }));
    EXPECT_EQ(Host->Main->Game().BlackPlayer.Name, "Carl");
    EXPECT_TRUE(Boxes.empty());
}

TEST_F(HostWindowTest, AnOpponentThatIsNeverReadyIsLetGoWithANoticeAndTheGameListedAgain) {
    Host->Main->SetGameListed(true);
    Host->Main->Game().Link().ReadyTimeout = 300;
    const auto opponent = Connect(Greeting("Idle"));
    ASSERT_TRUE(WaitFor([&] { return Host->Main->Board().pnlReady->isVisible(); }));
    EXPECT_EQ(Host->Main->Game().BlackPlayer.Name, "Idle");
    ASSERT_TRUE(WaitFor([&] { return Count("in time and was disconnected") == 1; }));
    EXPECT_TRUE(
        WaitFor([&] { return opponent->state() == QAbstractSocket::UnconnectedState; }, 5000));
    RunFor(100);
    EXPECT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Host->Main->Game().BlackPlayer.Name, "");
    EXPECT_FALSE(Host->Main->Board().pnlReady->isVisible());
    EXPECT_EQ(Host->Main->Board().lblStatus->text(),
        Host->Main->Values().Value(QStringLiteral("Stat03")));
    // Taken off the list when it joined, listed again when it was let go.
    EXPECT_EQ(Server.Count("action=remove"), 1);
    EXPECT_EQ(Server.Count("action=add"), 1);
    EXPECT_TRUE(Host->Main->GameListed());
}

} // namespace

namespace {

// One copy of the program starting a network game from its dialog, whatever the network does.
class NetworkStartTest : public testing::Test {
protected:
    void SetUp() override {
        qputenv("WINTERMOOT_HOME", m_Home.path().toLocal8Bit());
        SetMessagePresenter(std::make_unique<TRecordingPresenter>(Boxes, Yes));
        Copy = std::make_unique<TCopy>();
        // No game-list server answers: the dialog's pages get nothing from it.
        Copy->Main->GameList().SetBaseUrl(QStringLiteral("http://127.0.0.1:%1").arg(FreePort()));
    }
    void TearDown() override {
        unsetenv("WINTERMOOT_PORT");
        Copy.reset();
        SetMessagePresenter(nullptr);
    }
    int Count(const char* fragment) const {
        return int(std::count_if(Boxes.begin(), Boxes.end(),
            [&](const std::string& text) { return text.find(fragment) != std::string::npos; }));
    }

    QTemporaryDir m_Home;
    std::vector<std::string> Boxes;
    std::unique_ptr<TCopy> Copy;
};

const char* const CannotConnect = "Cannot connect to the remote game!";
const char* const NetworkError = "An error occurred on the network!";

TEST_F(NetworkStartTest, AHostThatCannotListenSaysSoOnceAndWaitsForNobody) {
    QTcpServer taken;
    ASSERT_TRUE(taken.listen(QHostAddress::Any, 0));
    setenv("WINTERMOOT_PORT", std::to_string(taken.serverPort()).c_str(), 1);
    Copy->NewGame([](TfrmGame& dialog) {
        dialog.pgcGame->setCurrentWidget(dialog.tbsHost);
        dialog.edtHostName->setText(QStringLiteral("Hanna"));
        dialog.btnOk->click();
    });
    RunFor(100);
    EXPECT_EQ(Count(NetworkError), 1);
    EXPECT_FALSE(Copy->Main->Board().pnlStatus->isVisible());
    EXPECT_FALSE(Copy->Main->Game().NetworkActive);
    EXPECT_EQ(Copy->Main->Game().ListeningPort(), 0);
    EXPECT_FALSE(Copy->Main->GameListed());
}

TEST_F(NetworkStartTest, AListServerThatCannotBeReachedIsToldOnceInTheStatusLine) {
    setenv("WINTERMOOT_PORT", "0", 1);
    Copy->NewGame([](TfrmGame& dialog) {
        dialog.pgcGame->setCurrentWidget(dialog.tbsHost);
        dialog.edtHostName->setText(QStringLiteral("Hanna"));
        dialog.chkListGame->setChecked(true);
        dialog.btnOk->click();
    });
    TChessGame& game = Copy->Main->Game();
    ASSERT_NE(game.ListeningPort(), 0);
    EXPECT_TRUE(Boxes.empty());
    EXPECT_FALSE(Copy->Main->GameListed());
    EXPECT_FALSE(Copy->Main->findChild<QTimer*>("RepublishTimer")->isActive());
    const QString status = Copy->Main->Board().lblStatus->text();
    EXPECT_TRUE(status.startsWith(Copy->Main->Values().Value(QStringLiteral("Stat03"))));
    EXPECT_TRUE(status.contains(QStringLiteral("Could not add/remove the game")))
        << status.toStdString();

    // An opponent joins and goes: the game that was never listed is neither taken off the list
    // nor listed again, and only the opponent's leaving is told.
    QTcpSocket opponent;
    opponent.connectToHost(QHostAddress::LocalHost, game.ListeningPort());
    ASSERT_TRUE(opponent.waitForConnected(5000));
    QByteArray name(256, '\0');
    name[0] = 3;
    name.replace(1, 3, "Ray");
    opponent.write(QByteArray::fromHex("02400104") + name);
    opponent.flush();
    ASSERT_TRUE(WaitFor([&] { return game.PeerConnected(); }));
    RunFor(100);
    opponent.disconnectFromHost();
    ASSERT_TRUE(WaitFor([&] { return Count("Your opponent disconnected") == 1; }));
    RunFor(100);
    EXPECT_EQ(Boxes.size(), 1u);
    EXPECT_TRUE(Copy->Main->Board().lblStatus->text().contains(
        QStringLiteral("Could not add/remove the game")));
}

struct TJoinCase {
    const char* Name;
    // The address typed in the dialog; none joins the (empty) selected row of the game list.
    const char* Address;
};

void PrintTo(const TJoinCase& row, std::ostream* out) {
    *out << row.Name;
}

class JoinFailureTest : public NetworkStartTest,
                        public ::testing::WithParamInterface<TJoinCase> { };

// Each failure shows E1 once and nothing else; an unknown host within the connection's time
// limit, however long the resolver takes.
TEST_P(JoinFailureTest, ShowsE1AndLeavesNoConnectionBehind) {
    setenv("WINTERMOOT_PORT", std::to_string(FreePort()).c_str(), 1);
    const char* address = GetParam().Address;
    Copy->NewGame([address](TfrmGame& dialog) {
        dialog.pgcGame->setCurrentWidget(dialog.tbsClient);
        dialog.edtClientName->setText(QStringLiteral("Carl"));
        dialog.chkHostIp->setChecked(address != nullptr);
        if (address)
            dialog.edtHostIp->setText(QString::fromLatin1(address));
        dialog.btnOk->click();
    });
    ASSERT_TRUE(
        WaitFor([&] { return Count(CannotConnect) > 0; }, TChessGame::ConnectTimeout + 5000));
    RunFor(100);
    EXPECT_EQ(Count(CannotConnect), 1);
    EXPECT_EQ(Count(NetworkError), 0);
    EXPECT_EQ(Boxes.size(), 1u);
    EXPECT_FALSE(Copy->Main->Board().pnlStatus->isVisible());
    EXPECT_FALSE(Copy->Main->Game().NetworkActive);
    EXPECT_FALSE(Copy->Main->Game().PeerConnected());
}

INSTANTIATE_TEST_SUITE_P(Addresses, JoinFailureTest,
    ::testing::Values(TJoinCase { "RefusedConnection", "127.0.0.1" },
        TJoinCase { "UnknownHost", "no-such-host.wintermoot.invalid" },
        TJoinCase { "NoGameChosen", nullptr }),
    [](const auto& info) { return std::string(info.param.Name); });

} // namespace
