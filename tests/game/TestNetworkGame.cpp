// Two controllers playing over a real connection on 127.0.0.1, and controllers talking to a raw
// socket that sends exactly the bytes a test chooses.

#include "GameTestSupport.h"
#include "NetworkMessages.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/socket.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>
#include <ostream>
#include <sstream>

namespace {

constexpr int Patience = 10000;

void UsePort(uint16_t port) {
    setenv("WINTERMOOT_PORT", std::to_string(port).c_str(), 1);
}

std::string Bytes(std::initializer_list<int> values) {
    std::string bytes;
    for (int v : values)
        bytes += char(v);
    return bytes;
}

// A peer that writes and reads raw bytes.
struct TRawPeer {
    QTcpSocket Socket;
    std::string Received;

    bool ConnectTo(uint16_t port) {
        Socket.connectToHost(QStringLiteral("127.0.0.1"), port);
        return WaitUntil(
            [&] { return Socket.state() == QAbstractSocket::ConnectedState; }, Patience);
    }
    void Send(const std::string& bytes) {
        Socket.write(bytes.data(), qint64(bytes.size()));
        Socket.flush();
    }
    // The next `count` bytes from the peer.
    std::string Take(size_t count) {
        WaitUntil(
            [&] {
                const QByteArray data = Socket.readAll();
                Received.append(data.constData(), size_t(data.size()));
                return Received.size() >= count;
            },
            Patience);
        const std::string taken = Received.substr(0, count);
        Received.erase(0, taken.size());
        return taken;
    }
    bool WaitClosed() {
        return WaitUntil(
            [&] { return Socket.state() == QAbstractSocket::UnconnectedState; }, Patience);
    }
};

class NetworkGameTest : public ::testing::Test {
protected:
    NetworkGameTest()
        : HostLog(Host)
        , ClientLog(Client) { }

    void SetUp() override {
        Host.GameKind = gkHost;
        Client.GameKind = gkClient;
    }

    // Names as the new-game dialog leaves them: the host's under its colour, the client's in
    // the black record.
    void Name(uint8_t hostColour) {
        Host.HostColour = hostColour;
        Host.WhitePlayer = TPlayer { 0, true, hostColour == pcWhite ? "Hana" : "" };
        Host.BlackPlayer = TPlayer { 0, true, hostColour == pcBlack ? "Hana" : "" };
        Client.WhitePlayer = TPlayer { 0, true, "" };
        Client.BlackPlayer = TPlayer { 0, true, "Carl" };
    }

    void Listen() {
        UsePort(0);
        ASSERT_TRUE(Host.Connect(""));
        Port = Host.ListeningPort();
        ASSERT_NE(Port, 0);
        UsePort(Port);
    }

    void Join(uint8_t hostColour = pcWhite) {
        Name(hostColour);
        Listen();
        ASSERT_TRUE(Client.Connect("127.0.0.1"));
        ASSERT_TRUE(WaitUntil(
            [&] {
                return HostLog.Count("OpponentJoined") == 1
                    && ClientLog.Count("OpponentJoined") == 1;
            },
            Patience));
    }

    void Start(uint8_t hostColour = pcWhite) {
        Join(hostColour);
        Host.SetReady();
        Client.SetReady();
        ASSERT_TRUE(
            WaitUntil([&] { return Host.GameState == gsPlaying && Client.GameState == gsPlaying; },
                Patience));
    }

    // The controller at whose machine the side to move sits.
    TChessGame& Mover() {
        const bool hostMoves = Host.Turn == Host.HostColour;
        return hostMoves ? Host : Client;
    }
    TChessGame& Waiter() { return &Mover() == &Host ? Client : Host; }

    // Plays a move where it belongs and waits until the other side has it too.
    void Move(const char* from, const char* to) {
        TChessGame& mover = Mover();
        TChessGame& waiter = Waiter();
        const uint16_t count = mover.Moves.Count();
        const TMoveResult flags = mover.PlayMove(Sq(from), Sq(to));
        ASSERT_FALSE(flags & mrInvalid) << from << to;
        ASSERT_EQ(mover.Moves.Count(), count + 1) << from << to;
        ASSERT_TRUE(
            WaitUntil([&] { return waiter.Moves.Count() == mover.Moves.Count(); }, Patience));
    }

    bool InStep() {
        return WaitUntil(
            [&] {
                return Position(Host) == Position(Client)
                    && Host.Moves.Count() == Client.Moves.Count();
            },
            Patience);
    }

    TChessGame Host;
    TChessGame Client;
    TEventLog HostLog;
    TEventLog ClientLog;
    uint16_t Port = 0;
};

class WholeGameTest : public NetworkGameTest, public ::testing::WithParamInterface<uint8_t> { };

TEST_P(WholeGameTest, BothSidesPlayTheSameGameToCheckmate) {
    const uint8_t hostColour = GetParam();
    ASSERT_NO_FATAL_FAILURE(Start(hostColour));
    // The client sees its own name under its colour and the host's under the other.
    const TPieceColour clientColour = Opponent(TPieceColour(hostColour));
    EXPECT_EQ(Client.GetPlayer(clientColour)->Name, "Carl");
    EXPECT_EQ(Client.GetPlayer(hostColour)->Name, "Hana");
    EXPECT_EQ(Host.GetPlayer(clientColour)->Name, "Carl");
    EXPECT_EQ(Host.GetPlayer(hostColour)->Name, "Hana");
    EXPECT_EQ(Client.HostColour, hostColour);

    ASSERT_NO_FATAL_FAILURE(Move("f2", "f3"));
    ASSERT_NO_FATAL_FAILURE(Move("e7", "e5"));
    ASSERT_NO_FATAL_FAILURE(Move("g2", "g4"));
    ASSERT_NO_FATAL_FAILURE(Move("d8", "h4"));
    ASSERT_TRUE(InStep());
    for (TChessGame* game : { &Host, &Client }) {
        EXPECT_EQ(game->GameState, gsStopped);
        EXPECT_EQ(game->WhitePlayer.Status, 3);
        EXPECT_EQ(game->Turn, pcBlack);
    }
    RunEventsFor(100);
    EXPECT_EQ(HostLog.Count("GameStopped"), 1u);
    EXPECT_EQ(ClientLog.Count("GameStopped"), 1u);
    EXPECT_EQ(HostLog.Count("NetworkError") + ClientLog.Count("NetworkError"), 0u);

    // Ready again starts the next game over the same link, from the initial position.
    Host.SetReady();
    Client.SetReady();
    ASSERT_TRUE(WaitUntil(
        [&] { return Host.GameState == gsPlaying && Client.GameState == gsPlaying; }, Patience));
    EXPECT_EQ(Host.Moves.Count(), 0);
    EXPECT_TRUE(InStep());
}

INSTANTIATE_TEST_SUITE_P(HostColour, WholeGameTest, ::testing::Values(pcWhite, pcBlack),
    [](const auto& info) { return info.param == pcWhite ? "HostWhite" : "HostBlack"; });

TEST_F(NetworkGameTest, EachSidePromotesAndTheWaitingSideKeepsTheTurnUntilThePieceArrives) {
    Name(pcWhite);
    // The host resumes a loaded position with a pawn of each side one step from promotion.
    SetUpPosition(Host, "4k3/1P6/8/8/8/8/6p1/4K3 w - - 0 1");
    Host.GameLoaded = true;
    Listen();
    ASSERT_TRUE(Client.Connect("127.0.0.1"));
    ASSERT_TRUE(WaitUntil([&] { return ClientLog.Count("OpponentJoined") == 1; }, Patience));
    EXPECT_EQ(Position(Client), Position(Host));
    Host.SetReady();
    Client.SetReady();
    ASSERT_TRUE(WaitUntil([&] { return Client.GameState == gsPlaying; }, Patience));

    ASSERT_NO_FATAL_FAILURE(Move("b7", "b8"));
    EXPECT_TRUE(Client.PromotionPending());
    EXPECT_EQ(Client.Turn, pcWhite);
    Host.Promote(pkKnight);
    ASSERT_TRUE(WaitUntil([&] { return Client.Turn == pcBlack; }, Patience));
    EXPECT_EQ(Client.Board.PieceAt(Sq("b8"))->Kind, pkKnight);

    ASSERT_NO_FATAL_FAILURE(Move("g2", "g1"));
    EXPECT_TRUE(Host.PromotionPending());
    EXPECT_EQ(Host.Turn, pcBlack);
    Client.Promote(pkRook);
    ASSERT_TRUE(WaitUntil([&] { return Host.Turn == pcWhite; }, Patience));
    EXPECT_EQ(Host.Board.PieceAt(Sq("g1"))->Kind, pkRook);
    EXPECT_TRUE(InStep());
    EXPECT_EQ(Host.Moves.Last()->PromotionKind, pkRook);
    EXPECT_EQ(Client.Moves.Last()->PromotionKind, pkRook);
}

TEST_F(NetworkGameTest, AnAcceptedUndoTakesTheMoveBackOnBothSides) {
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_NO_FATAL_FAILURE(Move("e2", "e4"));
    Host.RequestUndo();
    ASSERT_TRUE(WaitUntil([&] { return ClientLog.Count("UndoRequested") == 1; }, Patience));
    Client.AcceptUndo();
    ASSERT_TRUE(WaitUntil([&] { return Host.Moves.Count() == 0; }, Patience));
    EXPECT_TRUE(InStep());
    EXPECT_EQ(Host.Turn, pcWhite);
    EXPECT_EQ(Client.Turn, pcWhite);
}

TEST_F(NetworkGameTest, ARefusedUndoSendsNothingAndTheGameGoesOn) {
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_NO_FATAL_FAILURE(Move("e2", "e4"));
    Host.RequestUndo();
    ASSERT_TRUE(WaitUntil([&] { return ClientLog.Count("UndoRequested") == 1; }, Patience));
    RunEventsFor(200);
    EXPECT_EQ(Host.Moves.Count(), 1);
    EXPECT_EQ(Client.Moves.Count(), 1);
    ASSERT_NO_FATAL_FAILURE(Move("e7", "e5"));
    EXPECT_TRUE(InStep());
}

TEST_F(NetworkGameTest, PauseResumeAndStopReachTheOtherSideAndTheirEchoesEnd) {
    ASSERT_NO_FATAL_FAILURE(Start());
    Host.PauseGame();
    ASSERT_TRUE(WaitUntil([&] { return Client.GameState == gsPaused; }, Patience));
    RunEventsFor(200);
    EXPECT_EQ(Host.GameState, gsPaused);
    EXPECT_EQ(HostLog.Count("GamePaused"), 1u);
    EXPECT_EQ(ClientLog.Count("GamePaused"), 1u);

    Client.ResumeGame();
    ASSERT_TRUE(WaitUntil([&] { return Host.GameState == gsPlaying; }, Patience));
    RunEventsFor(200);
    EXPECT_EQ(Client.GameState, gsPlaying);
    EXPECT_EQ(HostLog.Count("GameResumed"), 1u);
    EXPECT_EQ(ClientLog.Count("GameResumed"), 1u);

    Client.StopGame();
    ASSERT_TRUE(WaitUntil([&] { return Host.GameState == gsStopped; }, Patience));
    RunEventsFor(200);
    EXPECT_EQ(HostLog.Count("GameStopped"), 1u);
    EXPECT_EQ(ClientLog.Count("GameStopped"), 1u);
    EXPECT_TRUE(Host.PeerConnected());
}

// The opponent's move was on its way when this side paused: it is played on resume, not lost.
TEST_F(NetworkGameTest, AMoveArrivingDuringAPauseIsPlayedOnResume) {
    ASSERT_NO_FATAL_FAILURE(Start());
    Host.PlayMove(Sq("e2"), Sq("e4"));
    Client.PauseGame();
    ASSERT_TRUE(WaitUntil([&] { return Host.GameState == gsPaused; }, Patience));
    RunEventsFor(200);
    EXPECT_EQ(Client.Moves.Count(), 0);
    Client.ResumeGame();
    ASSERT_TRUE(InStep());
    EXPECT_EQ(Client.Moves.Count(), 1);
    EXPECT_EQ(Client.Turn, pcBlack);
    ASSERT_NO_FATAL_FAILURE(Move("e7", "e5"));
    EXPECT_TRUE(InStep());
}

TEST_F(NetworkGameTest, ChatTravelsBothWaysCutToAShortString) {
    ASSERT_NO_FATAL_FAILURE(Join());
    std::vector<std::string> atHost;
    std::vector<std::string> atClient;
    QObject::connect(
        &Host, &TChessGame::chatReceived, [&](const std::string& text) { atHost.push_back(text); });
    QObject::connect(&Client, &TChessGame::chatReceived,
        [&](const std::string& text) { atClient.push_back(text); });
    Host.SendChat("hello Carl");
    std::string longText;
    for (int i = 0; i < 100; ++i)
        longText += "\xe2\x82\xac"; // the euro sign, three bytes
    Client.SendChat(longText);
    ASSERT_TRUE(WaitUntil([&] { return !atHost.empty() && !atClient.empty(); }, Patience));
    EXPECT_EQ(atClient, std::vector<std::string> { "hello Carl" });
    EXPECT_EQ(atHost, std::vector<std::string> { longText.substr(0, 255) });
}

TEST_F(NetworkGameTest, TheHostsClockReachesTheClient) {
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_TRUE(WaitUntil([&] { return Client.WhitePlayer.Time >= 1; }, Patience));
    EXPECT_GE(ClientLog.Count("ClockTick"), 1u);
    EXPECT_FALSE(Client.Clock().isActive());
    EXPECT_EQ(Client.BlackPlayer.Time, 0);
}

TEST_F(NetworkGameTest, ALoadedGameOfTwoHundredMovesResumesOnTheClient) {
    Name(pcWhite);
    {
        TChessGame local;
        SetPlayers(local, true, true);
        local.StartGame();
        const char* cycle[4][2]
            = { { "g1", "f3" }, { "g8", "f6" }, { "f3", "g1" }, { "f6", "g8" } };
        for (int i = 0; i < 200; ++i)
            local.PlayMove(Sq(cycle[i % 4][0]), Sq(cycle[i % 4][1]));
        ASSERT_EQ(local.Moves.Count(), 200);
        local.WhitePlayer.Time = 321;
        local.BlackPlayer.Time = 123;
        local.WhitePlayer.Name = "Hana";
        std::stringstream body;
        local.WriteGame(body);
        ASSERT_GT(body.str().size(), 4096u);
        Host.ReadGame(body, TChessGame::FileVersion);
        Host.GameLoaded = true;
    }
    Listen();
    ASSERT_TRUE(Client.Connect("127.0.0.1"));
    ASSERT_TRUE(WaitUntil([&] { return ClientLog.Count("OpponentJoined") == 1; }, Patience));
    EXPECT_EQ(Client.Moves.Count(), 200);
    EXPECT_EQ(Position(Client), Position(Host));
    EXPECT_EQ(Client.WhitePlayer.Time, 321);
    EXPECT_EQ(Client.BlackPlayer.Time, 123);
    EXPECT_EQ(Client.BlackPlayer.Name, "Carl");
    EXPECT_EQ(Client.WhitePlayer.Name, "Hana");

    Host.SetReady();
    Client.SetReady();
    ASSERT_TRUE(WaitUntil([&] { return Client.GameState == gsPlaying; }, Patience));
    ASSERT_NO_FATAL_FAILURE(Move("e2", "e4"));
    EXPECT_EQ(Client.Moves.Count(), 201);
    EXPECT_TRUE(InStep());
}

TEST_F(NetworkGameTest, ASecondClientIsRefusedWhileTheFirstPlaysOn) {
    ASSERT_NO_FATAL_FAILURE(Start());
    // Closed by the host, possibly before its connection was even reported as made.
    QTcpSocket intruder;
    intruder.connectToHost(QStringLiteral("127.0.0.1"), Port);
    EXPECT_TRUE(WaitUntil(
        [&] {
            return intruder.state() == QAbstractSocket::UnconnectedState
                && intruder.error() == QAbstractSocket::RemoteHostClosedError;
        },
        Patience));
    EXPECT_TRUE(Host.PeerConnected());
    ASSERT_NO_FATAL_FAILURE(Move("d2", "d4"));
    EXPECT_TRUE(InStep());
    EXPECT_EQ(HostLog.Count("NetworkError"), 0u);
}

class DisconnectTest : public NetworkGameTest, public ::testing::WithParamInterface<bool> { };

TEST_P(DisconnectTest, BothSidesEndAndTheReceiverIsTold) {
    ASSERT_NO_FATAL_FAILURE(Start());
    const bool hostLeaves = GetParam();
    TChessGame& leaver = hostLeaves ? Host : Client;
    TChessGame& stayer = hostLeaves ? Client : Host;
    TEventLog& leaverLog = hostLeaves ? HostLog : ClientLog;
    TEventLog& stayerLog = hostLeaves ? ClientLog : HostLog;
    leaver.Disconnect();
    EXPECT_FALSE(leaver.NetworkActive);
    EXPECT_EQ(leaverLog.Count("Disconnected"), 1u);
    ASSERT_TRUE(WaitUntil(
        [&] {
            return stayerLog.Count("Disconnected") == 1 && !stayer.PeerConnected()
                && !leaver.PeerConnected() && stayer.GameState == gsStopped
                && leaver.GameState == gsStopped;
        },
        Patience));
    RunEventsFor(100);
    EXPECT_FALSE(stayer.NetworkActive);
    EXPECT_EQ(leaverLog.Count("Disconnected"), 1u);
    EXPECT_EQ(stayerLog.Count("Disconnected"), 1u);
    EXPECT_EQ(HostLog.Count("NetworkError") + ClientLog.Count("NetworkError"), 0u);
    // A host whose opponent left still waits for the next one; one that left listens no more.
    EXPECT_EQ(Host.ListeningPort() != 0, !hostLeaves);
}

INSTANTIATE_TEST_SUITE_P(Initiator, DisconnectTest, ::testing::Bool(),
    [](const auto& info) { return info.param ? "HostLeaves" : "ClientLeaves"; });

TEST_F(NetworkGameTest, ANewLinkLeavesTheOldOneTellingOnlyThePeer) {
    ASSERT_NO_FATAL_FAILURE(Start());
    // The client goes on to host a game of its own.
    Client.GameKind = gkHost;
    UsePort(0);
    ASSERT_TRUE(Client.Connect(""));
    EXPECT_EQ(Client.GameState, gsStopped);
    EXPECT_FALSE(Client.PeerConnected());
    EXPECT_NE(Client.ListeningPort(), 0);
    ASSERT_TRUE(WaitUntil(
        [&] {
            return HostLog.Count("Disconnected") == 1 && Host.GameState == gsStopped
                && !Host.PeerConnected();
        },
        Patience));
    RunEventsFor(100);
    EXPECT_EQ(ClientLog.Count("Disconnected"), 0u);
    EXPECT_EQ(HostLog.Count("NetworkError") + ClientLog.Count("NetworkError"), 0u);
}

TEST_F(NetworkGameTest, ALinkThatCannotOpenIsReportedOnceAndOnlyAsSuch) {
    Name(pcWhite);
    QTcpServer taken;
    ASSERT_TRUE(taken.listen(QHostAddress::Any, 0));
    UsePort(taken.serverPort());
    // The caller of a Connect that answers false reports it; no event doubles the report.
    EXPECT_FALSE(Host.Connect(""));
    EXPECT_FALSE(Host.NetworkActive);
    EXPECT_FALSE(Client.Connect("  "));
    EXPECT_FALSE(Client.NetworkActive);
    // Nobody listens on the port once it is let go: the refusal comes through the event loop.
    taken.close();
    ASSERT_TRUE(Client.Connect("127.0.0.1"));
    ASSERT_TRUE(WaitUntil([&] { return ClientLog.Count("ConnectFailed") == 1; }, Patience));
    RunEventsFor(100);
    EXPECT_EQ(ClientLog.Events, std::vector<std::string> { "ConnectFailed" });
    EXPECT_TRUE(HostLog.Events.empty());
    EXPECT_FALSE(Client.NetworkActive);
    EXPECT_FALSE(Client.PeerConnected());
}

class RawClientTest : public NetworkGameTest {
protected:
    void SetUp() override {
        NetworkGameTest::SetUp();
        Name(pcBlack);
        ASSERT_NO_FATAL_FAILURE(Listen());
        ASSERT_TRUE(Peer.ConnectTo(Port));
    }

    // The greeting of a well-behaved client named "Raw", answered by the host.
    void Greet() {
        Peer.Send(Bytes({ 2, 0x40, 1 }));
        ASSERT_EQ(Peer.Take(2), Bytes({ 1, 1 }));
        Peer.Send(EncodeText(ncName, "Raw"));
        ASSERT_EQ(Peer.Take(2), Bytes({ 3, 1 }));
        ASSERT_EQ(Peer.Take(257), EncodeText(ncName, "Hana"));
        ASSERT_TRUE(WaitUntil([&] { return HostLog.Count("OpponentJoined") == 1; }, Patience));
    }

    void StartGame() {
        ASSERT_NO_FATAL_FAILURE(Greet());
        Peer.Send(EncodeCommand(cmReady));
        ASSERT_TRUE(WaitUntil([&] { return Host.WhitePlayer.Ready; }, Patience));
        Host.SetReady();
        ASSERT_EQ(Peer.Take(4), Bytes({ 1, 3, 1, 4 }));
        ASSERT_EQ(Host.GameState, gsPlaying);
    }

    void ExpectRefused() {
        EXPECT_TRUE(Peer.WaitClosed());
        EXPECT_EQ(HostLog.Count("NetworkError"), 1u);
        EXPECT_FALSE(Host.PeerConnected());
        EXPECT_NE(Host.GameState, gsPlaying);
        // The host goes on waiting for an opponent.
        EXPECT_NE(Host.ListeningPort(), 0);
    }

    // A connection that broke the protocol before its greeting was complete is a stranger's: it
    // is let go without a word, and the host goes on waiting.
    void ExpectDroppedQuietly() {
        EXPECT_TRUE(Peer.WaitClosed());
        RunEventsFor(100);
        EXPECT_EQ(HostLog.Count("NetworkError"), 0u);
        EXPECT_EQ(HostLog.Count("OpponentJoined"), 0u);
        EXPECT_NE(Host.ListeningPort(), 0);
    }

    TRawPeer Peer;
};

TEST_F(RawClientTest, TheGreetingHasTheExactBytes) {
    ASSERT_NO_FATAL_FAILURE(StartGame());
    EXPECT_EQ(Host.WhitePlayer.Name, "Raw");
    EXPECT_EQ(Host.BlackPlayer.Name, "Hana");
}

TEST_F(RawClientTest, AWrongVersionIsToldToDisconnectAndTheHostWaitsOn) {
    Peer.Send(Bytes({ 2, 0x41, 1 }));
    EXPECT_EQ(Peer.Take(2), Bytes({ 1, 2 }));
    EXPECT_TRUE(Peer.WaitClosed());
    EXPECT_EQ(HostLog.Count("OpponentJoined"), 0u);
    UsePort(Port);
    ASSERT_TRUE(Client.Connect("127.0.0.1"));
    EXPECT_TRUE(WaitUntil([&] { return HostLog.Count("OpponentJoined") == 1; }, Patience));
}

// Sent a byte at a time with the event loop running in between, the host ends where it would with
// whole messages.
TEST_F(RawClientTest, MessagesSplitIntoSingleBytesAreGathered) {
    TMoveRecord move;
    move.From = Sq("e2");
    move.To = Sq("e4");
    const std::string stream = Bytes({ 2, 0x40, 1 }) + EncodeText(ncName, "Raw")
        + EncodeCommand(cmReady) + EncodeText(ncChat, "hi");
    std::vector<std::string> chat;
    QObject::connect(
        &Host, &TChessGame::chatReceived, [&](const std::string& text) { chat.push_back(text); });
    for (char c : stream) {
        Peer.Send(std::string(1, c));
        RunEventsFor(2);
    }
    ASSERT_TRUE(WaitUntil([&] { return !chat.empty(); }, Patience));
    EXPECT_EQ(Host.WhitePlayer.Name, "Raw");
    EXPECT_TRUE(Host.WhitePlayer.Ready);
    EXPECT_EQ(chat, std::vector<std::string> { "hi" });
    Host.SetReady();
    const std::string moveBytes = EncodeMoveRecord(ncMove, move);
    for (char c : moveBytes) {
        Peer.Send(std::string(1, c));
        RunEventsFor(2);
        if (Host.Moves.Count() == 0) {
            EXPECT_TRUE(Host.Link().PendingCode() == ncMove || Host.Link().PendingCode() == 0);
        }
    }
    ASSERT_TRUE(WaitUntil([&] { return Host.Moves.Count() == 1; }, Patience));
    EXPECT_EQ(Host.Link().PendingCode(), 0);
    EXPECT_EQ(HostLog.Count("NetworkError"), 0u);
}

struct TBadInputRow {
    const char* Name;
    std::string Bytes;
    bool AfterStart;
};

class BadClientInputTest : public RawClientTest,
                           public ::testing::WithParamInterface<TBadInputRow> { };

// An opponent's bad input ends the game with an error; a stranger's, before it has greeted, is
// dropped quietly.
TEST_P(BadClientInputTest, ClosesTheConnectionAndReportsOnlyAnOpponentsError) {
    if (GetParam().AfterStart) {
        ASSERT_NO_FATAL_FAILURE(StartGame());
    }
    const std::string before = Position(Host);
    Peer.Send(GetParam().Bytes);
    if (GetParam().AfterStart)
        ExpectRefused();
    else
        ExpectDroppedQuietly();
    EXPECT_EQ(Position(Host), before);
    // A proper client can join afterwards.
    UsePort(Port);
    ASSERT_TRUE(Client.Connect("127.0.0.1"));
    const size_t joined = GetParam().AfterStart ? 2 : 1;
    EXPECT_TRUE(WaitUntil([&] { return HostLog.Count("OpponentJoined") == joined; }, Patience));
}

std::string MoveBytes(TPoint from, TPoint to) {
    TMoveRecord move;
    move.From = from;
    move.To = to;
    return EncodeMoveRecord(ncMove, move);
}

INSTANTIATE_TEST_SUITE_P(Inputs, BadClientInputTest,
    ::testing::Values(TBadInputRow { "CodeZero", std::string(1, '\0'), false },
        TBadInputRow { "CodeTwelve", Bytes({ 12, 1, 2, 3 }), true },
        TBadInputRow { "GameStateFromTheClient", Bytes({ 11, 0 }), true },
        TBadInputRow { "TimeFromTheClient", EncodeTime(5), true },
        TBadInputRow { "UnknownCommand", Bytes({ 1, 9 }), true },
        TBadInputRow { "NameBeforeVersion", EncodeText(ncName, "x"), false },
        TBadInputRow { "FromOffTheBoard", MoveBytes(MakePoint(0, 7), MakePoint(1, 6)), true },
        TBadInputRow { "ToOffTheBoard", MoveBytes(MakePoint(1, 7), MakePoint(1, 9)), true },
        TBadInputRow { "PromotionToAKing", Bytes({ 7, 5 }), true },
        TBadInputRow { "PromotionWithNonePending", Bytes({ 7, 4 }), true },
        TBadInputRow { "ReadyBeforeVersion", EncodeCommand(cmReady), false },
        TBadInputRow { "ReadyBeforeName", Bytes({ 2, 0x40, 1, 1, 3 }), false },
        TBadInputRow { "VersionAgain", Bytes({ 2, 0x40, 1 }), true },
        TBadInputRow { "NameAgain", EncodeText(ncName, "again"), true }),
    [](const auto& info) { return std::string(info.param.Name); });

// A host made of raw bytes, for what a client does with what it receives.
class RawHostTest : public NetworkGameTest {
protected:
    void SetUp() override {
        NetworkGameTest::SetUp();
        Name(pcWhite);
        ASSERT_TRUE(Server.listen(QHostAddress::LocalHost, 0));
        UsePort(Server.serverPort());
        ASSERT_TRUE(Client.Connect("127.0.0.1"));
        ASSERT_TRUE(WaitUntil([&] { return Server.hasPendingConnections(); }, Patience));
        Peer.reset(Server.nextPendingConnection());
        ASSERT_EQ(Take(3), Bytes({ 2, 0x40, 1 }));
        Send(EncodeCommand(cmSendName));
        ASSERT_EQ(Take(257), EncodeText(ncName, "Carl"));
        Send(EncodeByteMessage(ncHostColour, pcWhite));
    }

    void Send(const std::string& bytes) {
        Peer->write(bytes.data(), qint64(bytes.size()));
        Peer->flush();
    }
    std::string Take(size_t count) {
        std::string received;
        WaitUntil(
            [&] {
                const QByteArray data = Peer->read(qint64(count - received.size()));
                received.append(data.constData(), size_t(data.size()));
                return received.size() >= count;
            },
            Patience);
        return received;
    }

    std::string LoadedBody() {
        TChessGame game;
        SetPlayers(game, true, true);
        SetUpPosition(game, "4k3/8/8/8/8/8/8/R3K3 b - - 0 1");
        std::ostringstream out;
        game.WriteGame(out);
        return out.str();
    }

    QTcpServer Server;
    std::unique_ptr<QTcpSocket> Peer;
};

TEST_F(RawHostTest, ATruncatedGameStateFollowedByACloseChangesNothing) {
    const std::string before = Position(Client);
    const std::string body = LoadedBody();
    Send(EncodeMessage(ncGameState, body.substr(0, body.size() / 2)));
    EXPECT_TRUE(WaitUntil([&] { return Client.Link().PendingCode() == ncGameState; }, Patience));
    Peer->close();
    ASSERT_TRUE(WaitUntil([&] { return !Client.PeerConnected(); }, Patience));
    RunEventsFor(50);
    EXPECT_EQ(Position(Client), before);
    EXPECT_EQ(ClientLog.Count("OpponentJoined"), 0u);
    EXPECT_EQ(ClientLog.Count("Disconnected"), 1u);
    EXPECT_FALSE(Client.NetworkActive);
}

TEST_F(RawHostTest, AGameStateThatWouldNotLoadIsRefused) {
    const std::string before = Position(Client);
    std::string body = LoadedBody();
    body.back() = 7; // no such colour to move
    Send(EncodeMessage(ncGameState, body));
    ASSERT_TRUE(WaitUntil([&] { return ClientLog.Count("NetworkError") == 1; }, Patience));
    EXPECT_EQ(Position(Client), before);
    EXPECT_EQ(ClientLog.Count("OpponentJoined"), 0u);
    EXPECT_TRUE(
        WaitUntil([&] { return Peer->state() == QAbstractSocket::UnconnectedState; }, Patience));
    EXPECT_FALSE(Client.PeerConnected());
}

TEST_F(RawHostTest, AGameStateSplitAcrossReadsLoads) {
    const std::string message = EncodeMessage(ncGameState, LoadedBody());
    for (size_t at = 0; at < message.size(); at += 100) {
        Send(message.substr(at, 100));
        RunEventsFor(2);
    }
    ASSERT_TRUE(WaitUntil([&] { return ClientLog.Count("OpponentJoined") == 1; }, Patience));
    EXPECT_EQ(Client.Turn, pcBlack);
    EXPECT_EQ(Position(Client), "4k3/8/8/8/8/8/8/R3K3 b - - 0 1");
}

TEST_F(RawHostTest, AMoveOffTheBoardFromTheHostEndsTheClientsGame) {
    Send(EncodeText(ncName, "Raw"));
    ASSERT_TRUE(WaitUntil([&] { return ClientLog.Count("OpponentJoined") == 1; }, Patience));
    Client.SetReady();
    ASSERT_EQ(Take(2), Bytes({ 1, 3 }));
    Send(EncodeCommand(cmReady) + EncodeCommand(cmStart));
    ASSERT_TRUE(WaitUntil([&] { return Client.GameState == gsPlaying; }, Patience));
    Send(MoveBytes(MakePoint(5, 2), MakePoint(5, 0)));
    ASSERT_TRUE(WaitUntil([&] { return ClientLog.Count("NetworkError") == 1; }, Patience));
    EXPECT_EQ(Client.GameState, gsStopped);
    EXPECT_FALSE(Client.PeerConnected());
    EXPECT_EQ(Client.Moves.Count(), 0);
}

std::string Repeated(const std::string& bytes, size_t count) {
    std::string all;
    all.reserve(bytes.size() * count);
    for (size_t i = 0; i < count; ++i)
        all += bytes;
    return all;
}

std::string RecordBytes(TNetCode code) {
    return EncodeMoveRecord(code, TMoveRecord {});
}

// Peers that send more than a real opponent could, or too little, or never read: each is refused
// or let go, and the host stays open to a real opponent.
class HostilePeerTest : public RawClientTest {
protected:
    // The peer plays white; the host's player pauses before white's first move.
    void StartPaused() {
        ASSERT_NO_FATAL_FAILURE(StartGame());
        Host.PauseGame();
        ASSERT_EQ(Host.GameState, gsPaused);
    }

    // Sends the bytes and a chat line, and waits until the host has read up to the chat line.
    void SendAndSettle(const std::string& bytes) {
        const size_t chats = HostLog.Count("ChatReceived");
        Peer.Send(bytes + EncodeText(ncChat, "settled"));
        ASSERT_TRUE(
            WaitUntil([&] { return HostLog.Count("ChatReceived") == chats + 1; }, Patience));
    }

    // The host's end of the peer's connection.
    QTcpSocket* HostSocket() {
        for (QTcpSocket* socket : Host.findChildren<QTcpSocket*>()) {
            if (socket->state() == QAbstractSocket::ConnectedState
                && socket->peerPort() == Peer.Socket.localPort())
                return socket;
        }
        return nullptr;
    }

    // Every message the host has sent so far, in order.
    std::vector<TNetMessage> Drain() {
        RunEventsFor(50);
        const QByteArray data = Peer.Socket.readAll();
        TMessageReader reader;
        reader.Feed(Peer.Received);
        reader.Feed(std::string_view(data.constData(), size_t(data.size())));
        Peer.Received.clear();
        std::vector<TNetMessage> messages;
        TNetMessage message;
        while (reader.Next(message) == TMessageReader::Message)
            messages.push_back(message);
        EXPECT_EQ(reader.Buffered(), 0u);
        return messages;
    }
};

struct TFloodRow {
    const char* Name;
    std::string Bytes;
};

class PausedFloodTest : public HostilePeerTest, public ::testing::WithParamInterface<TFloodRow> { };

TEST_P(PausedFloodTest, MoreThanAnOpponentCouldSendDuringAPauseIsRefused) {
    ASSERT_NO_FATAL_FAILURE(StartPaused());
    Peer.Send(GetParam().Bytes);
    ExpectRefused();
    EXPECT_EQ(Host.Moves.Count(), 0);
}

INSTANTIATE_TEST_SUITE_P(Floods, PausedFloodTest,
    ::testing::Values(
        TFloodRow { "TwoMoves", MoveBytes(Sq("e2"), Sq("e4")) + MoveBytes(Sq("d2"), Sq("d4")) },
        TFloodRow { "PromotionAfterAPawnStep", MoveBytes(Sq("e2"), Sq("e4")) + Bytes({ 7, 4 }) },
        TFloodRow { "HundredThousandPromotions", Repeated(Bytes({ 7, 4 }), 100000) },
        TFloodRow { "HundredThousandMoves", Repeated(MoveBytes(Sq("e2"), Sq("e4")), 100000) }),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(HostilePeerTest, APauseHoldsOneMoveAndOneRequestHoweverOftenTheyAreSent) {
    ASSERT_NO_FATAL_FAILURE(StartPaused());
    ASSERT_NO_FATAL_FAILURE(SendAndSettle(MoveBytes(Sq("e2"), Sq("e4"))
        + Repeated(RecordBytes(ncUndoRequest), 1000) + Repeated(RecordBytes(ncUndo), 1000)));
    EXPECT_EQ(Host.Moves.Count(), 0);
    Host.ResumeGame();
    ASSERT_TRUE(WaitUntil([&] { return Host.Moves.Count() == 1; }, Patience));
    RunEventsFor(100);
    EXPECT_EQ(HostLog.Count("UndoRequested"), 1u);
    EXPECT_EQ(HostLog.Count("MoveUndone"), 0u);
    EXPECT_EQ(HostLog.Count("NetworkError"), 0u);
    EXPECT_EQ(Host.GameState, gsPlaying);
    EXPECT_TRUE(Host.PeerConnected());
}

TEST_F(HostilePeerTest, AnUndoIsTakenOnlyAsTheAnswerToThisSidesRequestAndOnlyOnce) {
    ASSERT_NO_FATAL_FAILURE(StartGame());
    ASSERT_NO_FATAL_FAILURE(SendAndSettle(MoveBytes(Sq("e2"), Sq("e4"))));
    ASSERT_FALSE(Host.PlayMove(Sq("e7"), Sq("e5")) & mrInvalid);
    ASSERT_EQ(Host.Moves.Count(), 2);
    ASSERT_NO_FATAL_FAILURE(SendAndSettle(Repeated(RecordBytes(ncUndo), 5)));
    EXPECT_EQ(Host.Moves.Count(), 2);
    Host.RequestUndo();
    ASSERT_NO_FATAL_FAILURE(SendAndSettle(Repeated(RecordBytes(ncUndo), 3)));
    EXPECT_EQ(Host.Moves.Count(), 1);
    EXPECT_EQ(HostLog.Count("MoveUndone"), 1u);
    EXPECT_EQ(HostLog.Count("NetworkError"), 0u);
}

TEST_F(HostilePeerTest, APeerThatDoesNotReadIsDroppedOnceItsOutputPassesTheLimit) {
    ASSERT_NO_FATAL_FAILURE(StartGame());
    Host.Link().OutputLimit = 64 * 1024;
    // Small buffers at both ends, so that the unread output stays with the host.
    const int small = 4096;
    QTcpSocket* own = HostSocket();
    ASSERT_NE(own, nullptr);
    setsockopt(int(own->socketDescriptor()), SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
    setsockopt(int(Peer.Socket.socketDescriptor()), SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
    Peer.Socket.setReadBufferSize(1);
    // Each pause and resume is answered in kind.
    Peer.Send(Repeated(EncodeCommand(cmPause) + EncodeCommand(cmResume), 100000));
    ASSERT_TRUE(WaitUntil([&] { return HostLog.Count("NetworkError") == 1; }, Patience));
    EXPECT_FALSE(Host.PeerConnected());
    EXPECT_NE(Host.ListeningPort(), 0);
}

TEST_F(HostilePeerTest, AMessageThatStallsHalfwayEndsTheGame) {
    ASSERT_NO_FATAL_FAILURE(StartGame());
    Host.Link().StallTimeout = 300;
    // A byte of a chat line every 50 ms: always something arriving, the line never complete.
    const std::string chat = EncodeText(ncChat, "slow");
    for (size_t i = 0; i < 80 && Host.PeerConnected(); ++i) {
        Peer.Send(chat.substr(i, 1));
        RunEventsFor(50);
    }
    ExpectRefused();
}

TEST_F(HostilePeerTest, AReadyGoesWithItsConnection) {
    ASSERT_NO_FATAL_FAILURE(Greet());
    Peer.Send(EncodeCommand(cmReady));
    ASSERT_TRUE(WaitUntil([&] { return Host.WhitePlayer.Ready; }, Patience));
    Peer.Socket.abort();
    ASSERT_TRUE(WaitUntil([&] { return !Host.PeerConnected(); }, Patience));
    EXPECT_FALSE(Host.WhitePlayer.Ready);
    UsePort(Port);
    ASSERT_TRUE(Client.Connect("127.0.0.1"));
    ASSERT_TRUE(WaitUntil([&] { return HostLog.Count("OpponentJoined") == 2; }, Patience));
    Host.SetReady();
    RunEventsFor(200);
    EXPECT_EQ(Host.GameState, gsIdle);
    EXPECT_EQ(Client.GameState, gsIdle);
    Client.SetReady();
    EXPECT_TRUE(WaitUntil(
        [&] { return Host.GameState == gsPlaying && Client.GameState == gsPlaying; }, Patience));
}

TEST_F(HostilePeerTest, AfterItsDisconnectReplyTheHostSendsNothingAndClosesInTime) {
    ASSERT_NO_FATAL_FAILURE(StartGame());
    Host.Link().StallTimeout = 1500;
    ASSERT_NO_FATAL_FAILURE(SendAndSettle(MoveBytes(Sq("e2"), Sq("e4"))));
    Peer.Send(EncodeCommand(cmDisconnect));
    ASSERT_TRUE(WaitUntil([&] { return HostLog.Count("Disconnected") == 1; }, Patience));
    // The game goes on at the host until the link closes: its move and its clock stay home.
    Host.PlayMove(Sq("e7"), Sq("e5"));
    RunEventsFor(1200);
    const std::vector<TNetMessage> sent = Drain();
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent.back().Code, ncCommand);
    EXPECT_EQ(sent.back().Payload, std::string(1, char(cmDisconnect)));
    // The peer never closes: the host lets it go and takes the next opponent.
    EXPECT_TRUE(Peer.WaitClosed());
    EXPECT_FALSE(Host.PeerConnected());
    UsePort(Port);
    ASSERT_TRUE(Client.Connect("127.0.0.1"));
    EXPECT_TRUE(WaitUntil([&] { return HostLog.Count("OpponentJoined") == 2; }, Patience));
}

// A handler that asks the user runs the event loop until answered; what arrives meanwhile must
// not open a second question over the first, and a request repeated is not asked again.
TEST_F(HostilePeerTest, QuestionsAndErrorsThatArriveWhileTheUserIsAskedAreNotStacked) {
    ASSERT_NO_FATAL_FAILURE(StartGame());
    ASSERT_NO_FATAL_FAILURE(SendAndSettle(MoveBytes(Sq("e2"), Sq("e4"))));
    ASSERT_FALSE(Host.PlayMove(Sq("e7"), Sq("e5")) & mrInvalid);
    int depth = 0;
    int deepest = 0;
    int asked = 0;
    const auto modal = [&] {
        ++asked;
        deepest = std::max(deepest, ++depth);
        RunEventsFor(200);
        --depth;
    };
    QObject::connect(&Host, &TChessGame::undoRequested, modal);
    // The same request again and again, for a position already asked about, is asked once.
    Peer.Send(Repeated(RecordBytes(ncUndoRequest), 50));
    RunEventsFor(500);
    EXPECT_EQ(deepest, 1);
    EXPECT_EQ(asked, 1);

    // Opponents that greet and then send garbage, each refused while the last refusal is shown.
    Peer.Socket.abort();
    ASSERT_TRUE(WaitUntil([&] { return !Host.PeerConnected(); }, Patience));
    deepest = 0;
    QObject::connect(&Host, &TChessGame::networkError, modal);
    std::vector<std::unique_ptr<TRawPeer>> garbage;
    for (int i = 0; i < 10; ++i) {
        garbage.push_back(std::make_unique<TRawPeer>());
        ASSERT_TRUE(garbage.back()->ConnectTo(Port));
        garbage.back()->Send(
            Bytes({ 2, 0x40, 1 }) + EncodeText(ncName, "Bad") + std::string(1, '\0'));
        RunEventsFor(20);
    }
    for (const auto& peer : garbage)
        EXPECT_TRUE(peer->WaitClosed());
    EXPECT_EQ(deepest, 1);
}

TEST_F(NetworkGameTest, IdleAndHalfGreetedConnectionsDoNotKeepARealOpponentOut) {
    Name(pcWhite);
    Host.Link().MaxGreetings = 16;
    ASSERT_NO_FATAL_FAILURE(Listen());
    const std::string halves[]
        = { "", Bytes({ 2 }), Bytes({ 2, 0x40, 1 }) + EncodeText(ncName, "x").substr(0, 100) };
    std::vector<std::unique_ptr<TRawPeer>> idle;
    for (int i = 0; i < 30; ++i) {
        idle.push_back(std::make_unique<TRawPeer>());
        ASSERT_TRUE(idle.back()->ConnectTo(Port));
        idle.back()->Send(halves[i % 3]);
    }
    RunEventsFor(100);
    EXPECT_EQ(Host.GreetingsUnderWay(), 16);
    ASSERT_TRUE(Client.Connect("127.0.0.1"));
    ASSERT_TRUE(WaitUntil(
        [&] {
            return HostLog.Count("OpponentJoined") == 1 && ClientLog.Count("OpponentJoined") == 1;
        },
        Patience));
    // With its opponent found, the host lets the others go.
    for (const auto& peer : idle)
        EXPECT_TRUE(peer->WaitClosed());
    EXPECT_EQ(Host.GreetingsUnderWay(), 0);
    EXPECT_EQ(HostLog.Count("NetworkError"), 0u);
}

TEST_F(NetworkGameTest, AGreetingThatIsNotCompleteInTimeIsClosedQuietly) {
    Name(pcWhite);
    Host.Link().GreetingTimeout = 300;
    ASSERT_NO_FATAL_FAILURE(Listen());
    TRawPeer silent;
    TRawPeer half;
    TRawPeer slow;
    ASSERT_TRUE(silent.ConnectTo(Port));
    ASSERT_TRUE(half.ConnectTo(Port));
    ASSERT_TRUE(slow.ConnectTo(Port));
    half.Send(Bytes({ 2, 0x40 }));
    slow.Send(Bytes({ 2, 0x40, 1 }));
    ASSERT_EQ(slow.Take(2), Bytes({ 1, 1 }));
    // The name a byte at a time, never late by much but late in all.
    const std::string name = EncodeText(ncName, "slow");
    for (size_t i = 0; i < 80 && slow.Socket.state() == QAbstractSocket::ConnectedState; ++i) {
        slow.Send(name.substr(i, 1));
        RunEventsFor(25);
    }
    EXPECT_TRUE(silent.WaitClosed());
    EXPECT_TRUE(half.WaitClosed());
    EXPECT_TRUE(slow.WaitClosed());
    EXPECT_EQ(HostLog.Count("OpponentJoined"), 0u);
    EXPECT_EQ(HostLog.Count("NetworkError"), 0u);
    ASSERT_TRUE(Client.Connect("127.0.0.1"));
    EXPECT_TRUE(WaitUntil([&] { return HostLog.Count("OpponentJoined") == 1; }, Patience));
}

TEST_F(NetworkGameTest, AClientGivesUpOnAHostThatDoesNotCompleteItsGreeting) {
    Name(pcWhite);
    Client.Link().GreetingTimeout = 300;
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    UsePort(server.serverPort());
    TChessGame loaded;
    SetPlayers(loaded, true, true);
    std::ostringstream body;
    loaded.WriteGame(body);
    // A host that says nothing, and one that sends half of a game state.
    const std::string answers[] = { "",
        EncodeCommand(cmSendName) + EncodeByteMessage(ncHostColour, pcWhite)
            + EncodeMessage(ncGameState, body.str().substr(0, 300)) };
    for (const std::string& answer : answers) {
        const size_t errors = ClientLog.Count("NetworkError");
        ASSERT_TRUE(Client.Connect("127.0.0.1"));
        ASSERT_TRUE(WaitUntil([&] { return server.hasPendingConnections(); }, Patience));
        std::unique_ptr<QTcpSocket> peer(server.nextPendingConnection());
        peer->write(answer.data(), qint64(answer.size()));
        EXPECT_TRUE(
            WaitUntil([&] { return ClientLog.Count("NetworkError") == errors + 1; }, Patience));
        EXPECT_FALSE(Client.PeerConnected());
        EXPECT_FALSE(Client.NetworkActive);
        EXPECT_EQ(ClientLog.Count("OpponentJoined"), 0u);
    }
}

// A body of the initial position whose move list holds `count` placeholder moves.
std::string BodyWithMoves(uint32_t count) {
    TChessGame game;
    SetPlayers(game, true, true);
    for (uint32_t i = 0; i < count; ++i)
        game.Moves.Add(pkKnight, Sq("g1"), Sq("f3"), 0, 0);
    std::ostringstream out;
    game.WriteGame(out);
    return out.str();
}

class EarlyHostMessageTest : public RawHostTest,
                             public ::testing::WithParamInterface<TFloodRow> { };

// The host has sent its colour but not yet its name: nothing of a game may come before it.
TEST_P(EarlyHostMessageTest, IsRefusedBeforeTheHostHasGreeted) {
    Send(GetParam().Bytes);
    ASSERT_TRUE(WaitUntil([&] { return ClientLog.Count("NetworkError") == 1; }, Patience));
    EXPECT_EQ(ClientLog.Count("OpponentJoined"), 0u);
    EXPECT_EQ(ClientLog.Count("ReadyChanged"), 0u);
    EXPECT_NE(Client.GameState, gsPlaying);
    EXPECT_FALSE(Client.PeerConnected());
}

INSTANTIATE_TEST_SUITE_P(Messages, EarlyHostMessageTest,
    ::testing::Values(TFloodRow { "Ready", EncodeCommand(cmReady) },
        TFloodRow { "Start", EncodeCommand(cmStart) },
        TFloodRow { "Move", MoveBytes(Sq("e2"), Sq("e4")) }, TFloodRow { "Time", EncodeTime(3) },
        TFloodRow { "Chat", EncodeText(ncChat, "early") }),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(RawHostTest, AGameStateWithAFullMoveListIsRefused) {
    Send(EncodeMessage(ncGameState, BodyWithMoves(TChessGame::MaxMoves)));
    ASSERT_TRUE(WaitUntil([&] { return ClientLog.Count("NetworkError") == 1; }, Patience));
    EXPECT_EQ(ClientLog.Count("OpponentJoined"), 0u);
    EXPECT_EQ(Client.Moves.Count(), 0);
    EXPECT_FALSE(Client.PeerConnected());
}

TEST_F(RawHostTest, AGameThatFillsTheMoveListEndsWithTheBoardAndTheListInStep) {
    Send(EncodeMessage(ncGameState, BodyWithMoves(TChessGame::MaxMoves - 2)));
    ASSERT_TRUE(WaitUntil([&] { return ClientLog.Count("OpponentJoined") == 1; }, Patience));
    Client.SetReady();
    ASSERT_EQ(Take(2), Bytes({ 1, 3 }));
    Send(EncodeCommand(cmReady) + EncodeCommand(cmStart));
    ASSERT_TRUE(WaitUntil([&] { return Client.GameState == gsPlaying; }, Patience));
    Send(MoveBytes(Sq("e2"), Sq("e4")));
    ASSERT_TRUE(
        WaitUntil([&] { return Client.Moves.Count() == TChessGame::MaxMoves - 1; }, Patience));
    ASSERT_FALSE(Client.PlayMove(Sq("e7"), Sq("e5")) & mrInvalid);
    EXPECT_EQ(Client.Moves.Count(), TChessGame::MaxMoves);
    EXPECT_EQ(Client.GameState, gsStopped);
    // Nothing more is played: the list could not record it.
    Send(MoveBytes(Sq("d2"), Sq("d4")));
    RunEventsFor(100);
    EXPECT_EQ(Client.Moves.Count(), TChessGame::MaxMoves);
    EXPECT_EQ(Position(Client), "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e6 0 1");
    EXPECT_EQ(ClientLog.Count("NetworkError"), 0u);
}

TEST(NetworkPortTest, ThePortComesFromTheEnvironmentOrIs2570) {
    const std::pair<const char*, uint16_t> rows[]
        = { { "2571", 2571 }, { "0", 0 }, { "65535", 65535 }, { "65536", 2570 }, { "-1", 2570 },
              { "12a", 2570 }, { "", 2570 }, { " 80", 2570 }, { "000080", 2570 } };
    for (const auto& [text, port] : rows) {
        setenv("WINTERMOOT_PORT", text, 1);
        EXPECT_EQ(TChessGame::NetworkPort(), port) << text;
    }
    unsetenv("WINTERMOOT_PORT");
    EXPECT_EQ(TChessGame::NetworkPort(), 2570);
}

TEST(NetworkLocalTest, ALocalGameOpensNothingAndSendsNothing) {
    TChessGame game;
    EXPECT_FALSE(game.Connect("127.0.0.1"));
    EXPECT_FALSE(game.NetworkActive);
    EXPECT_EQ(game.ListeningPort(), 0);
    game.SendChat("nobody hears this");
    game.SetReady();
    EXPECT_FALSE(game.WhitePlayer.Ready);
    game.Disconnect();
}

// How the joined opponent's connection ends.
enum TLoss { lsClosed, lsReset, lsStalled };

struct TLossRow {
    const char* Name;
    TLoss Loss;
    // During a game, or after the host's user pressed "I'm ready!" and before the game.
    bool InGame;
};

void PrintTo(const TLossRow& row, std::ostream* out) {
    *out << row.Name;
}

class PeerLossTest : public RawClientTest, public ::testing::WithParamInterface<TLossRow> { };

// However the opponent's connection ends, the host's user hears of it once, the opponent's name
// and readiness go with it, and the host waits for the next opponent.
TEST_P(PeerLossTest, IsToldOnceAndTheHostWaitsAgain) {
    const TLossRow& row = GetParam();
    if (row.InGame) {
        ASSERT_NO_FATAL_FAILURE(StartGame());
    } else {
        ASSERT_NO_FATAL_FAILURE(Greet());
        Host.SetReady();
        ASSERT_TRUE(Host.BlackPlayer.Ready);
    }
    ASSERT_EQ(Host.WhitePlayer.Name, "Raw");
    switch (row.Loss) {
    case lsClosed:
        Peer.Socket.disconnectFromHost();
        break;
    case lsReset: {
        // Closing with a zero linger time resets the connection, as a killed program's may.
        const linger reset { 1, 0 };
        setsockopt(
            int(Peer.Socket.socketDescriptor()), SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
        Peer.Socket.abort();
        break;
    }
    case lsStalled:
        Host.Link().StallTimeout = 300;
        Peer.Send(EncodeText(ncChat, "never ends").substr(0, 20));
        break;
    }
    ASSERT_TRUE(WaitUntil([&] { return !Host.PeerConnected(); }, Patience));
    RunEventsFor(200);
    if (row.Loss == lsStalled) {
        EXPECT_EQ(HostLog.Count("NetworkError"), 1u);
        EXPECT_EQ(HostLog.Count("Disconnected"), 0u);
    } else {
        EXPECT_EQ(HostLog.Count("Disconnected"), 1u);
        EXPECT_EQ(HostLog.Count("NetworkError"), 0u);
        EXPECT_EQ(Host.DisconnectCause(), dcPeerLeft);
    }
    EXPECT_EQ(Host.WhitePlayer.Name, "");
    EXPECT_EQ(Host.BlackPlayer.Name, "Hana");
    EXPECT_FALSE(Host.WhitePlayer.Ready);
    EXPECT_FALSE(Host.BlackPlayer.Ready);
    EXPECT_NE(Host.GameState, gsPlaying);
    EXPECT_TRUE(Host.NetworkActive);
    ASSERT_NE(Host.ListeningPort(), 0);
    UsePort(Port);
    ASSERT_TRUE(Client.Connect("127.0.0.1"));
    EXPECT_TRUE(WaitUntil([&] { return HostLog.Count("OpponentJoined") == 2; }, Patience));
}

INSTANTIATE_TEST_SUITE_P(Losses, PeerLossTest,
    ::testing::Values(TLossRow { "ClosedInGame", lsClosed, true },
        TLossRow { "ResetInGame", lsReset, true }, TLossRow { "StalledInGame", lsStalled, true },
        TLossRow { "ClosedAfterHostsReady", lsClosed, false },
        TLossRow { "ResetAfterHostsReady", lsReset, false }),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(RawClientTest, AnOpponentThatIsNeverReadyIsLetGoAndTheNextJoins) {
    Host.Link().ReadyTimeout = 300;
    ASSERT_NO_FATAL_FAILURE(Greet());
    // Told to disconnect, and closed.
    EXPECT_EQ(Peer.Take(2), EncodeCommand(cmDisconnect));
    EXPECT_TRUE(Peer.WaitClosed());
    EXPECT_EQ(HostLog.Count("Disconnected"), 1u);
    EXPECT_EQ(Host.DisconnectCause(), dcPeerNotReady);
    EXPECT_EQ(HostLog.Count("NetworkError"), 0u);
    EXPECT_EQ(Host.WhitePlayer.Name, "");
    EXPECT_TRUE(Host.NetworkActive);

    // A real opponent that is ready in time plays; after the game it is to be ready again.
    UsePort(Port);
    ASSERT_TRUE(Client.Connect("127.0.0.1"));
    ASSERT_TRUE(WaitUntil([&] { return HostLog.Count("OpponentJoined") == 2; }, Patience));
    Client.SetReady();
    Host.SetReady();
    ASSERT_TRUE(WaitUntil([&] { return Client.GameState == gsPlaying; }, Patience));
    RunEventsFor(500);
    EXPECT_TRUE(Host.PeerConnected());
    Host.StopGame();
    ASSERT_TRUE(WaitUntil([&] { return HostLog.Count("Disconnected") == 2; }, Patience));
    EXPECT_EQ(Host.DisconnectCause(), dcPeerNotReady);
    EXPECT_TRUE(WaitUntil([&] { return ClientLog.Count("Disconnected") == 1; }, Patience));
}

// A game on the board before hosting, made as the user would have made it.
struct TPreviousGameRow {
    const char* Name;
    // Prepares the host and the client; the file holds a saved game of two moves (e4 e5).
    std::function<void(TChessGame& host, TChessGame& client, const QString& file)> Prepare;
    // The host continues the loaded game rather than starting a new one.
    bool Continues;
};

void PrintTo(const TPreviousGameRow& row, std::ostream* out) {
    *out << row.Name;
}

const char* const AfterE4E5 = "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq";
const char* const Initial = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq";

// The pieces, the side to move and the castling rights. A reset board keeps the en passant state
// of the game before it, which no first move can use and every first move replaces.
std::string Placement(const TChessGame& game) {
    const std::string fen = Position(game);
    size_t end = 0;
    for (int field = 0; field < 3 && end != std::string::npos; ++field)
        end = fen.find(' ', end + 1);
    return fen.substr(0, end);
}

// A local game played on after it was loaded, then left: the state a game against the computer or
// an engine, continued from a file, a pasted game or the kept game, leaves behind.
void PlayOnLoadedGame(TChessGame& game, const QString& file) {
    ASSERT_TRUE(game.LoadGame(file));
    game.GameKind = gkLocal;
    SetPlayers(game, true, true);
    game.StartGame();
    ASSERT_FALSE(game.PlayMove(Sq("g1"), Sq("f3")) & mrInvalid);
    game.StopGame();
}

class PreviousGameTest : public NetworkGameTest,
                         public ::testing::WithParamInterface<TPreviousGameRow> { };

TEST_P(PreviousGameTest, TheHostSendsThePositionOfTheGameItHosts) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("two-moves.wtg"));
    {
        TChessGame saved;
        SetPlayers(saved, true, true);
        saved.StartGame();
        ASSERT_FALSE(saved.PlayMove(Sq("e2"), Sq("e4")) & mrInvalid);
        ASSERT_FALSE(saved.PlayMove(Sq("e7"), Sq("e5")) & mrInvalid);
        ASSERT_TRUE(saved.SaveGame(file));
    }
    ASSERT_NO_FATAL_FAILURE(GetParam().Prepare(Host, Client, file));
    Host.GameKind = gkHost;
    Client.GameKind = gkClient;
    ASSERT_NO_FATAL_FAILURE(Join());
    const std::string expected = GetParam().Continues ? AfterE4E5 : Initial;
    // Before anyone is ready both show the game to be played, and start it in step.
    EXPECT_EQ(Placement(Host), expected);
    EXPECT_EQ(Placement(Client), expected);
    EXPECT_EQ(Client.Moves.Count(), Host.Moves.Count());
    Host.SetReady();
    Client.SetReady();
    ASSERT_TRUE(WaitUntil(
        [&] { return Host.GameState == gsPlaying && Client.GameState == gsPlaying; }, Patience));
    EXPECT_EQ(Placement(Host), expected);
    EXPECT_EQ(Placement(Client), expected);
    ASSERT_NO_FATAL_FAILURE(Move("d2", "d4"));
    EXPECT_TRUE(InStep());
}

INSTANTIATE_TEST_SUITE_P(Previous, PreviousGameTest,
    ::testing::Values(
        TPreviousGameRow { "None", [](TChessGame&, TChessGame&, const QString&) {}, false },
        TPreviousGameRow { "LoadedGamePlayedOnByTheHost",
            [](TChessGame& host, TChessGame&, const QString& file) {
                PlayOnLoadedGame(host, file);
            },
            false },
        TPreviousGameRow { "LocalGameStoppedAndHeld",
            [](TChessGame& host, TChessGame&, const QString&) {
                SetPlayers(host, true, true);
                host.StartGame();
                ASSERT_FALSE(host.PlayMove(Sq("d2"), Sq("d4")) & mrInvalid);
                host.StopGame();
            },
            false },
        TPreviousGameRow { "LoadedGameHosted",
            [](TChessGame& host, TChessGame&, const QString& file) {
                ASSERT_TRUE(host.LoadGame(file));
            },
            true },
        TPreviousGameRow { "LoadedGameHeldByTheClient",
            [](TChessGame&, TChessGame& client, const QString& file) {
                ASSERT_TRUE(client.LoadGame(file));
            },
            false },
        TPreviousGameRow { "LoadedGamePlayedOnByTheClient",
            [](TChessGame&, TChessGame& client, const QString& file) {
                PlayOnLoadedGame(client, file);
            },
            false }),
    [](const auto& info) { return std::string(info.param.Name); });

// A host whose machine goes away says nothing more: no close, no reset. Its clock ticks every
// second of a game, so a client that hears nothing for StallTimeout while playing has lost it.
TEST_F(RawHostTest, AHostThatFallsSilentDuringAGameIsLost) {
    Client.Link().StallTimeout = 400;
    Send(EncodeText(ncName, "Raw"));
    ASSERT_TRUE(WaitUntil([&] { return ClientLog.Count("OpponentJoined") == 1; }, Patience));
    Client.SetReady();
    Send(EncodeCommand(cmReady) + EncodeCommand(cmStart));
    ASSERT_TRUE(WaitUntil([&] { return Client.GameState == gsPlaying; }, Patience));
    // Ticks keep the game, and so does a pause, however long.
    for (int32_t second = 1; second <= 8; ++second) {
        Send(EncodeTime(second));
        RunEventsFor(100);
    }
    Send(EncodeCommand(cmPause));
    RunEventsFor(1000);
    EXPECT_TRUE(Client.PeerConnected());
    Send(EncodeCommand(cmResume));
    ASSERT_TRUE(WaitUntil([&] { return Client.GameState == gsPlaying; }, Patience));
    EXPECT_EQ(ClientLog.Count("Disconnected"), 0u);
    // Then the host is silent.
    ASSERT_TRUE(WaitUntil([&] { return ClientLog.Count("Disconnected") == 1; }, Patience));
    EXPECT_EQ(Client.GameState, gsStopped);
    EXPECT_FALSE(Client.PeerConnected());
    EXPECT_FALSE(Client.NetworkActive);
    RunEventsFor(100);
    EXPECT_EQ(ClientLog.Count("Disconnected"), 1u);
    EXPECT_EQ(ClientLog.Count("NetworkError"), 0u);
}

// A host whose hosted loaded game was started once sends a new game to its next opponent.
TEST_F(NetworkGameTest, ALoadedGamePlayedOverTheLinkIsNotSentToTheNextOpponent) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("loaded.wtg"));
    {
        TChessGame saved;
        SetPlayers(saved, true, true);
        saved.StartGame();
        ASSERT_FALSE(saved.PlayMove(Sq("e2"), Sq("e4")) & mrInvalid);
        ASSERT_TRUE(saved.SaveGame(file));
    }
    ASSERT_TRUE(Host.LoadGame(file));
    Host.GameKind = gkHost;
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_NO_FATAL_FAILURE(Move("e7", "e5"));
    Client.Disconnect();
    ASSERT_TRUE(WaitUntil([&] { return !Host.PeerConnected(); }, Patience));
    TChessGame next;
    TEventLog nextLog(next);
    next.GameKind = gkClient;
    next.BlackPlayer = TPlayer { 0, true, "Nina" };
    UsePort(Port);
    ASSERT_TRUE(next.Connect("127.0.0.1"));
    ASSERT_TRUE(WaitUntil([&] { return nextLog.Count("OpponentJoined") == 1; }, Patience));
    EXPECT_EQ(next.Moves.Count(), 0);
    EXPECT_EQ(Placement(next), Initial);
    EXPECT_EQ(Placement(Host), Initial);
    EXPECT_EQ(Host.Moves.Count(), 0);
}

// Something that starts or stops the host's clock, or passes the turn.
struct TClockRow {
    const char* Name;
    std::function<void(TChessGame& host, TChessGame& client)> Event;
};

void PrintTo(const TClockRow& row, std::ostream* out) {
    *out << row.Name;
}

class ClockSyncTest : public NetworkGameTest, public ::testing::WithParamInterface<TClockRow> { };

// The client's clock of the side to move shows the host's as soon as the clock starts or stops
// or the turn passes, not at the next tick (which, in this test, never comes).
TEST_P(ClockSyncTest, TheClientShowsTheHostsTime) {
    Host.Clock().setInterval(3600 * 1000);
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_NO_FATAL_FAILURE(Move("e2", "e4"));
    Host.WhitePlayer.Time = 37;
    Host.BlackPlayer.Time = 23;
    GetParam().Event(Host, Client);
    const TPieceColour turn = Host.Turn;
    ASSERT_TRUE(WaitUntil([&] { return Client.Turn == turn; }, Patience));
    EXPECT_TRUE(WaitUntil(
        [&] { return Client.GetPlayer(turn)->Time == Host.GetPlayer(turn)->Time; }, Patience))
        << "host " << Host.GetPlayer(turn)->Time << ", client " << Client.GetPlayer(turn)->Time;
}

INSTANTIATE_TEST_SUITE_P(Events, ClockSyncTest,
    ::testing::Values(
        TClockRow { "HostPauses", [](TChessGame& host, TChessGame&) { host.PauseGame(); } },
        TClockRow { "ClientPauses", [](TChessGame&, TChessGame& client) { client.PauseGame(); } },
        TClockRow { "HostResumes",
            [](TChessGame& host, TChessGame& client) {
                client.PauseGame();
                ASSERT_TRUE(WaitUntil([&] { return host.GameState == gsPaused; }, Patience));
                host.BlackPlayer.Time = 29;
                host.ResumeGame();
            } },
        TClockRow { "HostStops", [](TChessGame& host, TChessGame&) { host.StopGame(); } },
        TClockRow { "ClientStops", [](TChessGame&, TChessGame& client) { client.StopGame(); } },
        TClockRow {
            "HostAsksForAnUndo", [](TChessGame& host, TChessGame&) { host.RequestUndo(); } },
        TClockRow { "ClientAcceptsAnUndo",
            [](TChessGame& host, TChessGame& client) {
                host.RequestUndo();
                ASSERT_TRUE(WaitUntil([&] { return client.Moves.Count() == 1; }, Patience));
                RunEventsFor(100);
                client.AcceptUndo();
                ASSERT_TRUE(WaitUntil([&] { return host.Moves.Count() == 0; }, Patience));
            } },
        TClockRow { "ClientMoves",
            [](TChessGame& host, TChessGame& client) {
                ASSERT_FALSE(client.PlayMove(Sq("e7"), Sq("e5")) & mrInvalid);
                ASSERT_TRUE(WaitUntil([&] { return host.Moves.Count() == 2; }, Patience));
            } }),
    [](const auto& info) { return std::string(info.param.Name); });

} // namespace
