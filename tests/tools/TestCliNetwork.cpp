// wintermoot-cli host and join as two processes playing one game over 127.0.0.1.

#include "UnitChessGame.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QProcess>
#include <QStringList>
#include <QTcpSocket>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

constexpr int Patience = 120000;

QStringList Lines(QProcess& process) {
    return QString::fromUtf8(process.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
}

QStringList Starting(const QStringList& lines, const QString& prefix) {
    QStringList found;
    for (const QString& line : lines) {
        if (line.startsWith(prefix))
            found << line;
    }
    return found;
}

TEST(CliNetworkTest, HostAndJoinPlayAWholeGameAndBothExitCleanly) {
    QProcess host;
    host.start(WINTERMOOT_CLI,
        { "host", "--port", "0", "--colour", "black", "--name", "Hana", "--depth", "1",
            "--max-moves", "160" });
    ASSERT_TRUE(host.waitForStarted());
    ASSERT_TRUE(host.waitForReadyRead(Patience));
    const QString first = QString::fromUtf8(host.readLine()).trimmed();
    ASSERT_TRUE(first.startsWith("listening on ")) << first.toStdString();
    const QString port = first.mid(13);
    ASSERT_GT(port.toInt(), 0);

    QProcess join;
    join.start(WINTERMOOT_CLI,
        { "join", "127.0.0.1", "--port", port, "--name", "Carl", "--depth", "1", "--level", "2" });
    ASSERT_TRUE(join.waitForFinished(Patience));
    ASSERT_TRUE(host.waitForFinished(Patience));
    EXPECT_EQ(host.exitCode(), 0) << host.readAllStandardError().toStdString();
    EXPECT_EQ(join.exitCode(), 0) << join.readAllStandardError().toStdString();

    const QStringList hostLines = Lines(host);
    const QStringList joinLines = Lines(join);
    EXPECT_EQ(Starting(hostLines, "joined"), QStringList { "joined Carl" });
    EXPECT_EQ(Starting(joinLines, "joined"), QStringList { "joined Hana" });
    EXPECT_EQ(Starting(hostLines, "started").size(), 1);
    EXPECT_EQ(Starting(joinLines, "started").size(), 1);
    EXPECT_EQ(Starting(hostLines, "ready").size(), 2);
    const QStringList moves = Starting(hostLines, "move ");
    EXPECT_FALSE(moves.isEmpty());
    // The host stops on its own turn, at most one move past the limit.
    EXPECT_LE(moves.size(), 161);
    EXPECT_EQ(Starting(joinLines, "move "), moves);
    const QStringList result = Starting(hostLines, "result: ");
    ASSERT_EQ(result.size(), 1);
    EXPECT_NE(result[0], "result: unfinished");
    EXPECT_EQ(Starting(joinLines, "result: "), result);
    EXPECT_EQ(joinLines.last(), "disconnected");
}

bool WaitUntil(const std::function<bool()>& done) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > 10000)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

// A person hosting in this process against the tool: the tool echoes chat, agrees to an undo and
// follows a pause.
TEST(CliNetworkTest, TheJoiningToolEchoesChatAcceptsUndoAndFollowsAPause) {
    TChessGame game;
    game.GameKind = gkHost;
    game.WhitePlayer = TPlayer { 0, true, "Hana" };
    game.BlackPlayer = TPlayer { 0, true, "" };
    std::vector<std::string> chat;
    int undoneCount = 0;
    QObject::connect(
        &game, &TChessGame::chatReceived, [&](const std::string& text) { chat.push_back(text); });
    QObject::connect(&game, &TChessGame::moveUndone, [&](TMoveResult) { ++undoneCount; });
    setenv("WINTERMOOT_PORT", "0", 1);
    ASSERT_TRUE(game.Connect(""));

    QProcess join;
    join.start(WINTERMOOT_CLI,
        { "join", "127.0.0.1", "--port", QString::number(game.ListeningPort()), "--name", "Carl",
            "--depth", "1" });
    ASSERT_TRUE(WaitUntil([&] { return game.BlackPlayer.Ready; }));
    EXPECT_EQ(game.BlackPlayer.Name, "Carl");
    game.SetReady();
    ASSERT_EQ(game.GameState, gsPlaying);

    game.SendChat("hi there");
    ASSERT_TRUE(WaitUntil([&] { return !chat.empty(); }));
    EXPECT_EQ(chat, std::vector<std::string> { "echo: hi there" });

    game.PlayMove(MakePoint(5, 2), MakePoint(5, 4));
    ASSERT_TRUE(WaitUntil([&] { return game.Moves.Count() == 2; }));
    game.PauseGame();
    game.ResumeGame();
    game.PlayMove(MakePoint(4, 2), MakePoint(4, 4));
    game.RequestUndo();
    // Taken back is whichever move was last when the tool answered: d2-d4, or the tool's reply,
    // which the tool may then have played again.
    ASSERT_TRUE(WaitUntil([&] { return undoneCount == 1; }));
    EXPECT_GE(game.Moves.Count(), 2);
    EXPECT_LE(game.Moves.Count(), 4);
    game.StopGame();
    game.Disconnect();
    ASSERT_TRUE(WaitUntil([&] { return join.state() == QProcess::NotRunning; }));
    EXPECT_EQ(join.exitCode(), 0);
    const QStringList lines = Lines(join);
    EXPECT_TRUE(lines.contains("joined Hana"));
    EXPECT_TRUE(lines.contains("chat: hi there"));
    EXPECT_TRUE(lines.contains("paused"));
    EXPECT_TRUE(lines.contains("resumed"));
    EXPECT_TRUE(lines.contains("undo requested"));
    EXPECT_TRUE(lines.contains("undone"));
    EXPECT_TRUE(lines.contains("move e2-e4"));
    // The tool may have answered once more before the stop reached it.
    EXPECT_EQ(Starting(lines, "result: stopped after ").size(), 1)
        << lines.join('\n').toStdString();
}

// A listening host is found by port scanners and web browsers before its opponent: it lets them
// go and plays the game with the opponent that comes after them.
TEST(CliNetworkTest, AHostProbedByStrangersStillPlaysItsOpponent) {
    QProcess host;
    host.start(WINTERMOOT_CLI,
        { "host", "--port", "0", "--name", "Hana", "--depth", "1", "--max-moves", "6" });
    ASSERT_TRUE(host.waitForStarted());
    ASSERT_TRUE(host.waitForReadyRead(Patience));
    const QString port = QString::fromUtf8(host.readLine()).trimmed().mid(13);
    ASSERT_GT(port.toInt(), 0);
    for (const QByteArray& probe :
        { QByteArray::fromHex("0103"), QByteArray("GET / HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n") }) {
        QTcpSocket stranger;
        stranger.connectToHost(QHostAddress::LocalHost, quint16(port.toInt()));
        ASSERT_TRUE(stranger.waitForConnected(5000));
        stranger.write(probe);
        ASSERT_TRUE(stranger.waitForDisconnected(5000));
    }
    QProcess join;
    join.start(
        WINTERMOOT_CLI, { "join", "127.0.0.1", "--port", port, "--name", "Carl", "--depth", "1" });
    ASSERT_TRUE(join.waitForFinished(Patience));
    ASSERT_TRUE(host.waitForFinished(Patience));
    const QStringList hostLines = Lines(host);
    EXPECT_EQ(host.exitCode(), 0) << hostLines.join('\n').toStdString();
    EXPECT_EQ(join.exitCode(), 0);
    EXPECT_FALSE(hostLines.contains("network error"));
    EXPECT_EQ(Starting(hostLines, "joined"), QStringList { "joined Carl" });
    EXPECT_EQ(Starting(hostLines, "started").size(), 1);
}

// The peer's name and chat lines reach the terminal as printable text: their terminal commands
// (clear the screen, set the window title, ring the bell) are shown as "?" and the rest.
TEST(CliNetworkTest, ThePeersNameAndChatArePrintedWithoutControlCharacters) {
    TChessGame game;
    game.GameKind = gkHost;
    game.WhitePlayer = TPlayer { 0, true, "Eve\x1b]0;owned\x07" };
    game.BlackPlayer = TPlayer { 0, true, "" };
    std::vector<std::string> chat;
    QObject::connect(
        &game, &TChessGame::chatReceived, [&](const std::string& text) { chat.push_back(text); });
    setenv("WINTERMOOT_PORT", "0", 1);
    ASSERT_TRUE(game.Connect(""));
    QProcess join;
    join.start(WINTERMOOT_CLI,
        { "join", "127.0.0.1", "--port", QString::number(game.ListeningPort()), "--name", "Carl",
            "--depth", "1" });
    ASSERT_TRUE(WaitUntil([&] { return game.BlackPlayer.Ready; }));
    game.SetReady();
    game.SendChat("hi\x1b[2J there\r");
    ASSERT_TRUE(WaitUntil([&] { return !chat.empty(); }));
    game.StopGame();
    game.Disconnect();
    ASSERT_TRUE(WaitUntil([&] { return join.state() == QProcess::NotRunning; }));
    const QByteArray output = join.readAllStandardOutput();
    EXPECT_FALSE(output.contains('\x1b')) << output.toStdString();
    EXPECT_FALSE(output.contains('\x07')) << output.toStdString();
    EXPECT_FALSE(output.contains('\r')) << output.toStdString();
    const QStringList lines = QString::fromUtf8(output).split('\n', Qt::SkipEmptyParts);
    EXPECT_TRUE(lines.contains("joined Eve?]0;owned?")) << output.toStdString();
    EXPECT_TRUE(lines.contains("chat: hi?[2J there?")) << output.toStdString();
}

TEST(CliNetworkTest, BadArgumentsExitWithStatusTwo) {
    const QStringList bad[] = {
        { "host", "--port", "70000" },
        { "host", "--port", "-1" },
        { "host", "--colour", "green" },
        { "host", "--level", "3" },
        { "host", "--depth", "9" },
        { "host", "--name" },
        { "host", "--bogus", "1" },
        { "join" },
        { "join", "--port", "2570" },
        { "join", "127.0.0.1", "--port", "0" },
        { "join", "127.0.0.1", "--colour", "white" },
        { "join", "127.0.0.1", "--max-moves", "5" },
    };
    for (const QStringList& arguments : bad) {
        QProcess process;
        process.start(WINTERMOOT_CLI, arguments);
        ASSERT_TRUE(process.waitForFinished(Patience));
        EXPECT_EQ(process.exitCode(), 2) << arguments.join(' ').toStdString();
        EXPECT_TRUE(process.readAllStandardOutput().isEmpty());
        EXPECT_TRUE(process.readAllStandardError().startsWith("wintermoot-cli "));
    }
}

TEST(CliNetworkTest, JoiningWhereNobodyHostsIsANetworkError) {
    // A port that was free a moment ago: listen on it, learn it and let it go.
    QProcess host;
    host.start(WINTERMOOT_CLI, { "host", "--port", "0" });
    ASSERT_TRUE(host.waitForReadyRead(Patience));
    const QString port = QString::fromUtf8(host.readLine()).trimmed().mid(13);
    host.kill();
    host.waitForFinished(Patience);

    QProcess join;
    join.start(WINTERMOOT_CLI, { "join", "127.0.0.1", "--port", port });
    ASSERT_TRUE(join.waitForFinished(Patience));
    EXPECT_EQ(join.exitCode(), 1);
    EXPECT_TRUE(Lines(join).contains("network error"));
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
