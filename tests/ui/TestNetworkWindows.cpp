// Two main windows in one process, a host and a client on loopback: joining, readiness, moves
// by the mouse, chat, an undo request, forfeit and closing with the link open.

#include "BoardGeometry.h"
#include "FormAbout.h"
#include "FormChat.h"
#include "FormGame.h"
#include "FormMain.h"
#include "FormMoves.h"
#include "UnitMessages.h"
#include "WindowTestSupport.h"

#include <QAction>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QLineEdit>
#include <QPushButton>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

namespace {

// Every question in these tests is answered Yes.
const int Yes = idYes;

// One copy of the program's windows.
struct TCopy {
    TCopy() {
        Main = std::make_unique<TfrmMain>();
        auto* about = new TfrmAbout(Main.get());
        Chat = new TfrmChat(Main.get());
        auto* dialog = new TfrmGame(Main->Game, Main.get());
        Moves = new TfrmMoves(Main.get());
        Main->SetForms(about, dialog, Moves, Chat);
        Main->PlaySound = nullptr;
        Main->show();
    }
    QPoint Centre(const char* square) const {
        const TPoint o
            = BoardGeometry::SquareOrigin({ square[0] - 'a' + 1, square[1] - '0' }, Main->Switched);
        return { o.X + 27, o.Y + 27 };
    }
    void Drag(const char* from, const char* to) {
        QTest::mousePress(Main->pbBoard, Qt::LeftButton, {}, Centre(from));
        QTest::mouseRelease(Main->pbBoard, Qt::LeftButton, {}, Centre(to));
    }
    std::unique_ptr<TfrmMain> Main;
    TfrmChat* Chat = nullptr;
    TfrmMoves* Moves = nullptr;
};

class NetworkWindowsTest : public testing::Test {
protected:
    void SetUp() override {
        qputenv("WINTERMOOT_HOME", m_Home.path().toLocal8Bit());
        SetMessagePresenter(std::make_unique<TRecordingPresenter>(Boxes, Yes));
        Host = std::make_unique<TCopy>();
        Client = std::make_unique<TCopy>();

        TChessGame& host = Host->Main->Game;
        host.GameKind = gkHost;
        host.HostColour = pcWhite;
        host.WhitePlayer.Name = "Hanna";
        setenv("WINTERMOOT_PORT", "0", 1);
        ASSERT_TRUE(host.Connect(""));
        setenv("WINTERMOOT_PORT", std::to_string(host.ListeningPort()).c_str(), 1);
        TChessGame& client = Client->Main->Game;
        client.GameKind = gkClient;
        client.BlackPlayer.Name = "Carl";
        ASSERT_TRUE(client.Connect("127.0.0.1"));
        unsetenv("WINTERMOOT_PORT");
        ASSERT_TRUE(WaitFor([&] {
            return Host->Main->pnlReady->isVisible() && Client->Main->pnlReady->isVisible();
        }));
    }

    void TearDown() override {
        Client.reset();
        Host.reset();
        SetMessagePresenter(nullptr);
    }

    void StartGame() {
        Host->Main->btnReady->click();
        Client->Main->btnReady->click();
        ASSERT_TRUE(WaitFor([&] {
            return Host->Main->Game.GameState == gsPlaying
                && Client->Main->Game.GameState == gsPlaying;
        }));
    }

    bool Shown(const char* fragment) const { return ::Shown(Boxes, fragment); }

    QTemporaryDir m_Home;
    std::vector<std::string> Boxes;
    std::unique_ptr<TCopy> Host;
    std::unique_ptr<TCopy> Client;
};

TEST_F(NetworkWindowsTest, JoiningTurnsTheClientsBoardAndSwapsTheNames) {
    EXPECT_FALSE(Host->Main->Switched);
    EXPECT_TRUE(Client->Main->Switched);
    EXPECT_EQ(Client->Main->Game.WhitePlayer.Name, "Hanna");
    EXPECT_EQ(Host->Main->Game.BlackPlayer.Name, "Carl");
    EXPECT_TRUE(Host->Chat->edtMessage->isEnabled());
    EXPECT_TRUE(Client->Chat->edtMessage->isEnabled());
}

TEST_F(NetworkWindowsTest, MovesByTheMouseReachTheOtherSideAndItsMovesWindow) {
    StartGame();
    // The client may not touch the host's pieces, nor move out of turn.
    Client->Drag("e7", "e5");
    EXPECT_EQ(Client->Main->Game.Moves.Count(), 0);
    Host->Drag("e2", "e4");
    ASSERT_TRUE(WaitFor([&] { return Client->Main->Game.Moves.Count() == 1; }));
    Client->Drag("e7", "e5");
    ASSERT_TRUE(WaitFor([&] { return Host->Main->Game.Moves.Count() == 2; }));
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
    ASSERT_TRUE(WaitFor([&] { return Client->Main->Game.Moves.Count() == 1; }));
    // The client cannot take back the host's move.
    Client->Main->Menu_Game_Undo->trigger();
    EXPECT_TRUE(Shown("You cannot undo one of your opponent's move!"));
    Host->Main->Menu_Game_Undo->trigger();
    EXPECT_TRUE(Host->Main->pnlStatus->isVisible());
    ASSERT_TRUE(WaitFor([&] {
        return Host->Main->Game.Moves.Count() == 0 && Client->Main->Game.Moves.Count() == 0;
    }));
    EXPECT_EQ(Client->Moves->Cell(1, 1), QString());
}

TEST_F(NetworkWindowsTest, ForfeitDuringTheOpponentsTurnRecordsTheLocalPlayer) {
    StartGame();
    // White (the host) is to move; the client, playing black, forfeits.
    Client->Main->Menu_Game_Forfeit->trigger();
    EXPECT_TRUE(Shown("You have forfeited the game."));
    ASSERT_EQ(Client->Main->History.Count(), 1);
    EXPECT_EQ(Client->Main->History.Last()->Result, grBlackForfeited);
    ASSERT_TRUE(WaitFor([&] { return Host->Main->Game.GameState == gsStopped; }));
    // The link stays open: both sides offer the next game.
    EXPECT_TRUE(Host->Main->pnlReady->isVisible());
}

TEST_F(NetworkWindowsTest, ClosingWithTheLinkOpenDisconnectsFirstThenCloses) {
    EXPECT_FALSE(Host->Main->close());
    EXPECT_TRUE(Host->Main->Closing);
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
        TChessGame& game = host.Main->Game;
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
            WaitFor([&] { return Shown(boxes, "An error occured on the network!"); }, 10000));
        EXPECT_TRUE(host.Main->pnlStatus->isVisible());
        EXPECT_EQ(host.Main->lblStatus->text(), host.Main->Values.Value(QStringLiteral("Stat03")));
        EXPECT_FALSE(host.Chat->edtMessage->isEnabled());
    }
    SetMessagePresenter(nullptr);
}

} // namespace
