// wintermoot-engine run as a chess program runs it: commands on its standard input, answers on
// its standard output, and the end of the input or hostile bytes at any moment.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class TEngineProcess {
public:
    explicit TEngineProcess(
        const QStringList& arguments = {}, const char* program = WINTERMOOT_ENGINE) {
        m_Process.start(program, arguments);
        m_Started = m_Process.waitForStarted(10000);
    }
    ~TEngineProcess() {
        if (m_Process.state() != QProcess::NotRunning) {
            m_Process.kill();
            m_Process.waitForFinished(10000);
        }
    }

    bool Started() const { return m_Started; }
    void Send(const std::string& text) {
        m_Process.write(text.data(), qint64(text.size()));
        m_Process.waitForBytesWritten(10000);
    }
    void CloseInput() { m_Process.closeWriteChannel(); }

    // The next output line that starts with `prefix`; "" when none comes within 30 seconds.
    std::string WaitFor(const std::string& prefix) {
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() < 30000) {
            while (m_Process.canReadLine()) {
                const std::string line = m_Process.readLine().trimmed().toStdString();
                m_Lines.push_back(line);
                if (line.rfind(prefix, 0) == 0)
                    return line;
            }
            if (!m_Process.waitForReadyRead(100) && m_Process.state() == QProcess::NotRunning
                && !m_Process.canReadLine())
                break;
        }
        return {};
    }

    // Exit code once the program has ended by itself, -1 when it has not within 10 seconds.
    int WaitForExit() {
        if (!m_Process.waitForFinished(10000) || m_Process.exitStatus() != QProcess::NormalExit)
            return -1;
        return m_Process.exitCode();
    }

    const std::vector<std::string>& Lines() const { return m_Lines; }

private:
    QProcess m_Process;
    bool m_Started = false;
    std::vector<std::string> m_Lines;
};

TEST(EngineProgram, PlaysAWholeExchangeAndQuits) {
    TEngineProcess engine;
    ASSERT_TRUE(engine.Started());
    engine.Send("uci\n");
    EXPECT_EQ(engine.WaitFor("uciok"), "uciok");
    EXPECT_EQ(engine.Lines().front().rfind("id name Wintermoot ", 0), 0u);
    engine.Send("setoption name Threads value 1\nisready\n");
    EXPECT_EQ(engine.WaitFor("readyok"), "readyok");
    engine.Send("ucinewgame\nposition startpos moves e2e4 e7e5 g1f3\r\ngo depth 3\n");
    EXPECT_NE(engine.WaitFor("info depth 3 score cp "), "");
    const std::string best = engine.WaitFor("bestmove ");
    EXPECT_EQ(best.size(), 13u) << best;
    engine.Send("quit\n");
    EXPECT_EQ(engine.WaitForExit(), 0);
}

TEST(EngineProgram, MovetimeSearchAnswersAfterAboutThatTime) {
    TEngineProcess engine;
    engine.Send("position fen r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 "
                "1\ngo movetime 300\n");
    EXPECT_NE(engine.WaitFor("bestmove "), "");
    engine.Send("quit\n");
    EXPECT_EQ(engine.WaitForExit(), 0);
}

TEST(EngineProgram, EndOfInputDuringASearchEndsTheProgram) {
    TEngineProcess engine;
    engine.Send("go infinite\n");
    EXPECT_NE(engine.WaitFor("info depth 1 "), "");
    engine.CloseInput();
    EXPECT_EQ(engine.WaitForExit(), 0);
}

TEST(EngineProgram, EndOfInputInTheMiddleOfALineEndsTheProgram) {
    TEngineProcess engine;
    engine.Send("position startpos mov");
    engine.CloseInput();
    EXPECT_EQ(engine.WaitForExit(), 0);
}

TEST(EngineProgram, SurvivesLongLinesAndBinaryGarbage) {
    TEngineProcess engine;
    std::string garbage;
    for (int i = 0; i < 300000; ++i)
        garbage += char((i * 131 + 7) % 256);
    engine.Send(garbage + "\n");
    engine.Send(std::string(3 << 20, 'a') + "\n");
    engine.Send(std::string("\0\0\0\n", 4));
    engine.Send("isready\n");
    EXPECT_EQ(engine.WaitFor("readyok"), "readyok");
    bool refusedLong = false;
    for (const std::string& line : engine.Lines())
        refusedLong = refusedLong || line.find("line longer than") != std::string::npos;
    EXPECT_TRUE(refusedLong);
    // A go before any position searches the start position.
    engine.Send("go depth 2\n");
    EXPECT_EQ(engine.WaitFor("bestmove"), "bestmove e2e4");
    engine.Send("quit\n");
    EXPECT_EQ(engine.WaitForExit(), 0);
}

TEST(EngineProgram, CommandLineToolStartsTheSameEngine) {
    TEngineProcess engine({ "uci" }, WINTERMOOT_CLI);
    engine.Send("uci\n");
    EXPECT_EQ(engine.WaitFor("uciok"), "uciok");
    engine.Send("position fen 4k3/P7/8/8/8/8/8/4K3 w - - 0 1\ngo depth 1\n");
    EXPECT_EQ(engine.WaitFor("bestmove"), "bestmove a7a8q");
    engine.CloseInput();
    EXPECT_EQ(engine.WaitForExit(), 0);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
