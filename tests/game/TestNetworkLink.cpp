// The network link alone, without a game: two links on 127.0.0.1, or a link and a raw socket that
// sends exactly the bytes a test chooses.

#include "GameTestSupport.h"
#include "NetworkLink.h"

#include <QTcpServer>
#include <QTcpSocket>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int Patience = 10000;

std::string Bytes(std::initializer_list<int> values) {
    std::string bytes;
    for (int v : values)
        bytes += char(v);
    return bytes;
}

std::string Point(TPoint p) {
    return std::to_string(p.X) + "," + std::to_string(p.Y);
}

// Every signal of a link, in the order it was emitted, with its decoded values.
struct TLinkLog {
    explicit TLinkLog(TNetworkLink& link) {
        auto note = [this](std::string name) { return [this, name] { Add(name); }; };
        QObject::connect(&link, &TNetworkLink::greetingStarted, &Context, note("greeting"));
        QObject::connect(&link, &TNetworkLink::peerJoined, &Context,
            [this](const std::string& name) { Add("joined " + name); });
        QObject::connect(&link, &TNetworkLink::hostColourArrived, &Context,
            [this](uint8_t colour) { Add("colour " + std::to_string(colour)); });
        QObject::connect(&link, &TNetworkLink::nameArrived, &Context,
            [this](const std::string& name) { Add("name " + name); });
        QObject::connect(&link, &TNetworkLink::gameStateArrived, &Context,
            [this](const std::string& body) { Add("state " + std::to_string(body.size())); });
        QObject::connect(&link, &TNetworkLink::timeArrived, &Context,
            [this](int32_t seconds) { Add("time " + std::to_string(seconds)); });
        QObject::connect(&link, &TNetworkLink::moveArrived, &Context,
            [this](TPoint from, TPoint to) { Add("move " + Point(from) + " " + Point(to)); });
        QObject::connect(&link, &TNetworkLink::promotionArrived, &Context,
            [this](uint8_t kind) { Add("promotion " + std::to_string(kind)); });
        QObject::connect(&link, &TNetworkLink::undoRequestArrived, &Context, note("undo request"));
        QObject::connect(&link, &TNetworkLink::undoArrived, &Context, note("undo"));
        QObject::connect(&link, &TNetworkLink::commandArrived, &Context,
            [this](TNetCommand command) { Add("command " + std::to_string(command)); });
        QObject::connect(&link, &TNetworkLink::chatArrived, &Context,
            [this](const std::string& text) { Add("chat " + text); });
        QObject::connect(&link, &TNetworkLink::connectFailed, &Context, note("connect failed"));
        QObject::connect(&link, &TNetworkLink::peerLeft, &Context, note("left"));
        QObject::connect(&link, &TNetworkLink::failed, &Context, note("failed"));
        QObject::connect(&link, &TNetworkLink::peerNotReady, &Context, note("not ready"));
        QObject::connect(&link, &TNetworkLink::networkError, &Context, note("error"));
    }

    void Add(const std::string& event) {
        Events.push_back(event);
        if (React)
            React(event);
    }
    size_t Count(const std::string& event) const {
        return size_t(std::count(Events.begin(), Events.end(), event));
    }
    bool WaitFor(const std::string& event, size_t times = 1) const {
        return WaitUntil([&] { return Count(event) >= times; }, Patience);
    }

    QObject Context;
    std::vector<std::string> Events;
    // Called with each event as it is noted, as a receiver of the link would act on it.
    std::function<void(const std::string&)> React;
};

// A host link and a client link, greeted as a host's and a client's controllers would.
class LinkPairTest : public ::testing::Test {
protected:
    LinkPairTest()
        : HostLog(Host)
        , ClientLog(Client) { }

    void Greet() {
        ASSERT_TRUE(Host.Listen(0));
        ClientLog.React = [this](const std::string& event) {
            if (event == "command 1")
                Client.SendName("Carl");
        };
        HostLog.React = [this](const std::string& event) {
            if (event == "joined Carl") {
                Host.SendHostColour(pcBlack);
                Host.SendName("Hana");
            }
        };
        ASSERT_TRUE(Client.ConnectTo("127.0.0.1", Host.ListeningPort()));
        ASSERT_TRUE(ClientLog.WaitFor("name Hana"));
        ClientLog.React = nullptr;
        HostLog.React = nullptr;
        HostLog.Events.clear();
        ClientLog.Events.clear();
    }

    TNetworkLink Host;
    TNetworkLink Client;
    TLinkLog HostLog;
    TLinkLog ClientLog;
};

TEST_F(LinkPairTest, TheGreetingRunsVersionNameColourAndName) {
    ASSERT_TRUE(Host.Listen(0));
    ClientLog.React = [this](const std::string& event) {
        if (event == "command 1")
            Client.SendName("Carl");
    };
    HostLog.React = [this](const std::string& event) {
        if (event == "joined Carl") {
            EXPECT_EQ(Host.GreetingsUnderWay(), 0);
            EXPECT_TRUE(Host.PeerConnected());
            Host.SendHostColour(pcBlack);
            Host.SendName("Hana");
        }
    };
    ASSERT_TRUE(Client.ConnectTo(" 127.0.0.1 ", Host.ListeningPort()));
    ASSERT_TRUE(ClientLog.WaitFor("name Hana"));
    EXPECT_EQ(HostLog.Events, (std::vector<std::string> { "greeting", "joined Carl" }));
    EXPECT_EQ(
        ClientLog.Events, (std::vector<std::string> { "command 1", "colour 1", "name Hana" }));
}

TEST_F(LinkPairTest, EachMessageArrivesDecodedOnce) {
    ASSERT_NO_FATAL_FAILURE(Greet());
    TMoveRecord record;
    record.From = Sq("e2");
    record.To = Sq("e4");
    TChessGame game;
    std::ostringstream body;
    game.WriteGame(body);

    Host.SendTime(75);
    Host.SendMove(Sq("e7"), Sq("e5"));
    Host.SendPromotion(pkKnight);
    Host.SendUndoRequest(record);
    Host.SendUndo(record);
    Host.SendCommand(cmPause);
    Host.SendChat(std::string(300, 'x'));
    Host.SendHostColour(pcWhite);
    Host.SendGameState(body.str());
    ASSERT_TRUE(ClientLog.WaitFor("state " + std::to_string(body.str().size())));
    EXPECT_EQ(ClientLog.Events,
        (std::vector<std::string> { "time 75", "move 5,7 5,5", "promotion 2", "undo request",
            "undo", "command 5", "chat " + std::string(255, 'x'), "colour 0",
            "state " + std::to_string(body.str().size()) }));

    Client.SendMove(Sq("a7"), Sq("a8"));
    Client.SendPromotion(pkQueen);
    Client.SendCommand(cmReady);
    Client.SendChat("hi");
    ASSERT_TRUE(HostLog.WaitFor("chat hi"));
    EXPECT_EQ(HostLog.Events,
        (std::vector<std::string> { "move 1,7 1,8", "promotion 4", "command 3", "chat hi" }));
}

TEST_F(LinkPairTest, ADisconnectSentWaitsForThePeerAndSendsNothingMore) {
    ASSERT_NO_FATAL_FAILURE(Greet());
    EXPECT_TRUE(Host.SendDisconnect());
    Host.SendChat("after the disconnect");
    ASSERT_TRUE(ClientLog.WaitFor("command 2"));
    // The answer, and then the close, of the other side.
    EXPECT_TRUE(Client.SendDisconnect());
    ASSERT_TRUE(HostLog.WaitFor("command 2"));
    Client.Close();
    ASSERT_TRUE(HostLog.WaitFor("left"));
    RunEventsFor(100);
    EXPECT_EQ(ClientLog.Events, std::vector<std::string> { "command 2" });
    EXPECT_EQ(HostLog.Events, (std::vector<std::string> { "command 2", "left" }));
    EXPECT_FALSE(Host.PeerConnected());
    // The host listens on; without a peer a disconnect awaits no answer.
    EXPECT_NE(Host.ListeningPort(), 0);
    EXPECT_FALSE(Host.SendDisconnect());
}

TEST_F(LinkPairTest, APeerThatNeverAnswersTheDisconnectIsLetGoAsOneThatLeft) {
    ASSERT_NO_FATAL_FAILURE(Greet());
    Client.StallTimeout = 200;
    EXPECT_TRUE(Client.SendDisconnect());
    ASSERT_TRUE(ClientLog.WaitFor("left"));
    EXPECT_EQ(ClientLog.Events, std::vector<std::string> { "left" });
    EXPECT_FALSE(Client.PeerConnected());
}

TEST_F(LinkPairTest, ClosingAndAbortingEmitNothing) {
    ASSERT_NO_FATAL_FAILURE(Greet());
    Host.Close();
    Client.Abort();
    RunEventsFor(200);
    EXPECT_TRUE(HostLog.Events.empty());
    EXPECT_TRUE(ClientLog.Events.empty());
    EXPECT_FALSE(Host.IsOpen());
    EXPECT_FALSE(Client.IsOpen());
}

// A host link whose client is a raw socket, greeted by hand.
class RawClientLinkTest : public ::testing::Test {
protected:
    RawClientLinkTest()
        : Log(Host) { }

    void SetUp() override {
        ASSERT_TRUE(Host.Listen(0));
        Peer.connectToHost(QStringLiteral("127.0.0.1"), Host.ListeningPort());
        ASSERT_TRUE(Peer.waitForConnected(Patience));
        Send(EncodeVersion(TNetworkLink::ProtocolVersion) + EncodeText(ncName, "Raw"));
        ASSERT_TRUE(Log.WaitFor("joined Raw"));
        Log.Events.clear();
    }

    void Send(const std::string& bytes) {
        Peer.write(bytes.data(), qint64(bytes.size()));
        Peer.flush();
    }

    void ExpectClosedWithOneError(const std::vector<std::string>& before = {}) {
        EXPECT_TRUE(
            WaitUntil([&] { return Peer.state() == QAbstractSocket::UnconnectedState; }, Patience));
        RunEventsFor(100);
        std::vector<std::string> expected = before;
        expected.insert(expected.end(), { "failed", "error" });
        EXPECT_EQ(Log.Events, expected);
        EXPECT_FALSE(Host.PeerConnected());
        EXPECT_NE(Host.ListeningPort(), 0);
    }

    TNetworkLink Host;
    TLinkLog Log;
    QTcpSocket Peer;
};

struct TBadRow {
    const char* Name;
    std::string Bytes;
};

class MalformedMessageTest : public RawClientLinkTest,
                             public ::testing::WithParamInterface<TBadRow> { };

// However much follows in the same write, the link fails once and reports once.
TEST_P(MalformedMessageTest, ClosesTheLinkWithOneError) {
    Send(GetParam().Bytes + GetParam().Bytes + EncodeText(ncChat, "after"));
    ExpectClosedWithOneError();
}

TMoveRecord Record(TPoint from, TPoint to) {
    TMoveRecord record;
    record.From = from;
    record.To = to;
    return record;
}

INSTANTIATE_TEST_SUITE_P(Rows, MalformedMessageTest,
    ::testing::Values(TBadRow { "CodeZero", Bytes({ 0 }) },
        TBadRow { "CommandEight", Bytes({ 1, 8 }) },
        TBadRow { "HostColourFromTheClient", Bytes({ 3, 0 }) },
        TBadRow { "SquareOffTheBoard",
            EncodeMoveRecord(ncMove, Record(MakePoint(9, 1), MakePoint(1, 1))) },
        TBadRow { "PromotionToAPawn", Bytes({ 7, 0 }) }),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(RawClientLinkTest, AReceiverRefusesOnlyTheConnectionItWasGiven) {
    const uint64_t first = Host.ConnectionId();
    Log.React = [&](const std::string& event) {
        if (event == "chat refuse me")
            Host.Refuse(first);
    };
    Send(EncodeText(ncChat, "refuse me") + EncodeText(ncChat, "never read"));
    ExpectClosedWithOneError({ "chat refuse me" });
    EXPECT_NE(Host.ConnectionId(), first);
    // A stale refusal leaves the next connection alone.
    QTcpSocket next;
    next.connectToHost(QStringLiteral("127.0.0.1"), Host.ListeningPort());
    ASSERT_TRUE(next.waitForConnected(Patience));
    const std::string greeting
        = EncodeVersion(TNetworkLink::ProtocolVersion) + EncodeText(ncName, "Next");
    next.write(greeting.data(), qint64(greeting.size()));
    ASSERT_TRUE(Log.WaitFor("joined Next"));
    Host.Refuse(first);
    EXPECT_TRUE(Host.PeerConnected());
}

TEST_F(RawClientLinkTest, ThePendingCodeFollowsAMessageUnderWay) {
    const std::string chat = EncodeText(ncChat, "slow");
    Send(chat.substr(0, 10));
    ASSERT_TRUE(WaitUntil([&] { return Host.PendingCode() == ncChat; }, Patience));
    Send(chat.substr(10));
    ASSERT_TRUE(Log.WaitFor("chat slow"));
    EXPECT_EQ(Host.PendingCode(), 0);
}

TEST(LinkGreetingTest, AHostClosesAnUnfinishedGreetingQuietlyAndAWrongVersionIsTurnedAway) {
    TNetworkLink host;
    TLinkLog log(host);
    host.GreetingTimeout = 1000;
    ASSERT_TRUE(host.Listen(0));
    QTcpSocket silent;
    QTcpSocket old;
    silent.connectToHost(QStringLiteral("127.0.0.1"), host.ListeningPort());
    old.connectToHost(QStringLiteral("127.0.0.1"), host.ListeningPort());
    ASSERT_TRUE(silent.waitForConnected(Patience) && old.waitForConnected(Patience));
    ASSERT_TRUE(WaitUntil([&] { return host.GreetingsUnderWay() == 2; }, Patience));
    const std::string version = EncodeVersion(int16_t(TNetworkLink::ProtocolVersion - 1));
    old.write(version.data(), qint64(version.size()));
    std::string toOld;
    EXPECT_TRUE(WaitUntil(
        [&] {
            toOld += old.readAll().toStdString();
            return toOld.size() >= 2;
        },
        Patience));
    EXPECT_EQ(toOld, EncodeCommand(cmDisconnect));
    for (QTcpSocket* socket : { &silent, &old })
        EXPECT_TRUE(WaitUntil(
            [&] { return socket->state() == QAbstractSocket::UnconnectedState; }, Patience));
    EXPECT_EQ(host.GreetingsUnderWay(), 0);
    EXPECT_EQ(log.Events, (std::vector<std::string> { "greeting", "greeting" }));
}

TEST(LinkGreetingTest, AClientWhoseHostDoesNotGreetInTimeFails) {
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
    TNetworkLink client;
    TLinkLog log(client);
    client.GreetingTimeout = 200;
    ASSERT_TRUE(client.ConnectTo("127.0.0.1", server.serverPort()));
    ASSERT_TRUE(log.WaitFor("error"));
    EXPECT_EQ(log.Events, (std::vector<std::string> { "failed", "error" }));
    EXPECT_FALSE(client.PeerConnected());
}

TEST(LinkGreetingTest, AClientThatCannotConnectSaysSoOnce) {
    uint16_t port = 0;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
        port = probe.serverPort();
    }
    TNetworkLink client;
    TLinkLog log(client);
    EXPECT_FALSE(client.ConnectTo("   ", port));
    EXPECT_FALSE(client.IsOpen());
    ASSERT_TRUE(client.ConnectTo("127.0.0.1", port));
    ASSERT_TRUE(log.WaitFor("connect failed"));
    RunEventsFor(100);
    EXPECT_EQ(log.Events, std::vector<std::string> { "connect failed" });
    EXPECT_FALSE(client.HasConnection());
}

} // namespace

namespace {

struct TStrangerRow {
    const char* Name;
    std::string Bytes;
};

void PrintTo(const TStrangerRow& row, std::ostream* out) {
    *out << row.Name;
}

class StrangerGreetingTest : public ::testing::TestWithParam<TStrangerRow> { };

// Whatever a stranger sends before its greeting is complete, the host lets it go without a word
// and takes the next real opponent.
TEST_P(StrangerGreetingTest, IsDroppedQuietlyAndARealOpponentStillJoins) {
    TNetworkLink host;
    TLinkLog log(host);
    ASSERT_TRUE(host.Listen(0));
    QTcpSocket stranger;
    stranger.connectToHost(QStringLiteral("127.0.0.1"), host.ListeningPort());
    ASSERT_TRUE(stranger.waitForConnected(Patience));
    stranger.write(GetParam().Bytes.data(), qint64(GetParam().Bytes.size()));
    stranger.flush();
    EXPECT_TRUE(
        WaitUntil([&] { return stranger.state() == QAbstractSocket::UnconnectedState; }, Patience));
    RunEventsFor(100);
    EXPECT_EQ(log.Events, std::vector<std::string> { "greeting" });
    EXPECT_EQ(host.GreetingsUnderWay(), 0);
    ASSERT_NE(host.ListeningPort(), 0);

    TNetworkLink client;
    TLinkLog clientLog(client);
    clientLog.React = [&](const std::string& event) {
        if (event == "command 1")
            client.SendName("Carl");
    };
    ASSERT_TRUE(client.ConnectTo("127.0.0.1", host.ListeningPort()));
    EXPECT_TRUE(log.WaitFor("joined Carl"));
    EXPECT_EQ(log.Count("error"), 0u);
}

INSTANTIATE_TEST_SUITE_P(Probes, StrangerGreetingTest,
    ::testing::Values(TStrangerRow { "ReadyCommand", Bytes({ 1, 3 }) },
        TStrangerRow { "HttpRequest", "GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n" },
        TStrangerRow { "TlsHello", Bytes({ 0x16, 3, 1, 0, 0x2e, 1, 0, 0, 0x2a, 3, 3 }) },
        TStrangerRow { "CodeZero", Bytes({ 0 }) },
        TStrangerRow { "NameBeforeVersion", EncodeText(ncName, "x") },
        TStrangerRow {
            "ReadyAfterVersion", EncodeVersion(TNetworkLink::ProtocolVersion) + Bytes({ 1, 3 }) },
        TStrangerRow { "VersionTwice",
            EncodeVersion(TNetworkLink::ProtocolVersion)
                + EncodeVersion(TNetworkLink::ProtocolVersion) }),
    [](const auto& info) { return std::string(info.param.Name); });

} // namespace
