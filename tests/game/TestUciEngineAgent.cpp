// An external UCI engine as the agent of a side: the project's own engine plays through the
// controller, and an engine that misbehaves (tests/tools/BadEngine.cpp) is killed and reported
// once, with the game stopped and its moves kept.

#include "ForkingEngine.h"
#include "GameTestSupport.h"
#include "UciEngineAgent.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

// Answers each turn with the next of its moves.
class TListAgent : public TPlayerAgent {
public:
    TListAgent(TPieceColour colour, std::vector<std::string> moves)
        : TPlayerAgent(colour)
        , m_Moves(std::move(moves)) { }

    void StartTurn(const TChessGame&) override {
        const int token = ++m_Token;
        QTimer::singleShot(10, this, [this, token] {
            if (token != m_Token || m_Next >= m_Moves.size())
                return;
            const std::string& move = m_Moves[m_Next++];
            emit moveChosen(Sq(move.substr(0, 2).c_str()), Sq(move.substr(2, 2).c_str()), 0);
        });
    }
    void Cancel() override { ++m_Token; }

private:
    std::vector<std::string> m_Moves;
    size_t m_Next = 0;
    int m_Token = 0;
};

struct TFailure {
    TPieceColour Colour;
    QString Reason;
};

class UciEngineAgentTest : public ::testing::Test {
protected:
    UciEngineAgentTest() {
        SetPlayers(Game, false, false);
        QObject::connect(&Game, &TChessGame::playerFailed, &Context,
            [this](TPieceColour colour, const QString& reason) {
                Failures.push_back({ colour, reason });
            });
    }

    // White is the engine; Black is the built-in computer, or a fixed list of moves.
    void Use(TUciEngineSetup setup, std::vector<std::string> blackMoves = {}) {
        Game.SetAgentFactory([this, setup, blackMoves](TPieceColour colour) {
            if (colour == pcWhite)
                return std::unique_ptr<TPlayerAgent>(new TUciEngineAgent(colour, setup));
            if (blackMoves.empty())
                return Game.MakeDefaultAgent(colour);
            return std::unique_ptr<TPlayerAgent>(new TListAgent(colour, blackMoves));
        });
    }

    TUciEngineAgent* Engine() const { return qobject_cast<TUciEngineAgent*>(Game.Agent(pcWhite)); }

    TChessGame Game;
    QObject Context;
    std::vector<TFailure> Failures;
};

TUciEngineSetup BadEngine(const char* mode) {
    TUciEngineSetup setup;
    setup.Name = "bad";
    setup.Command = BAD_ENGINE;
    setup.Arguments = { mode };
    setup.MoveTimeMs = 50;
    setup.ReadyTimeoutMs = 3000;
    setup.MoveMarginMs = 1500;
    return setup;
}

TEST_F(UciEngineAgentTest, OwnEnginePlaysAGameThroughTheController) {
    TUciEngineSetup setup;
    setup.Command = WINTERMOOT_ENGINE;
    setup.Options = { { "Depth", "1" } };
    setup.Depth = 1;
    Use(setup);
    Game.SetSearchDepth(1);
    int reports = 0;
    bool ended = false;
    QObject::connect(&Game, &TChessGame::gameEnded, &Context, [&] { ended = true; });
    Game.StartGame();
    ASSERT_NE(Engine(), nullptr);
    EXPECT_TRUE(Engine()->IsComputer());
    int deepest = 0;
    QObject::connect(Engine(), &TUciEngineAgent::thinkingChanged, &Context, [&] {
        ++reports;
        deepest = std::max(deepest, Engine()->LastDepth());
    });
    ASSERT_TRUE(WaitUntil([&] { return Game.Moves.Count() >= 12 || Game.GameState != gsPlaying; }));
    EXPECT_TRUE(Failures.empty()) << Failures.front().Reason.toStdString();
    // A short game may end in a mate first.
    EXPECT_TRUE(Game.Moves.Count() >= 12 || ended) << Game.Moves.Count();
    EXPECT_GT(reports, 0);
    EXPECT_EQ(deepest, 1);
    EXPECT_TRUE(Engine()->EngineName().startsWith("Wintermoot"))
        << Engine()->EngineName().toStdString();
    Game.StopGame();
}

// A program the engine started (here a sleeper) ends with the engine, both when the engine fails
// and is killed and when its agent goes with the game.
TEST_F(UciEngineAgentTest, AnEnginesChildrenEndWithIt) {
    QTemporaryDir dir;
    for (const bool fails : { false, true }) {
        const std::string script = dir.filePath(fails ? "failing.sh" : "engine.sh").toStdString();
        const std::string pidFile = script + ".pid";
        // The failing one crashes at its third search; the other plays on until replaced.
        ASSERT_TRUE(WriteForkingEngine(script, pidFile,
            "exec '" + std::string(fails ? BAD_ENGINE : WINTERMOOT_ENGINE) + "' "
                + (fails ? "crash" : "")));
        TUciEngineSetup setup;
        setup.Command = QString::fromStdString(script);
        setup.MoveTimeMs = 50;
        setup.MoveMarginMs = 3000;
        Use(setup, { "e7e5", "b8c6", "g8f6" });
        Game.StartGame();
        ASSERT_TRUE(WaitUntil([&] { return Game.Moves.Count() >= 2 || !Failures.empty(); }));
        const pid_t sleeper = ReadSleeperPid(pidFile);
        ASSERT_GT(sleeper, 0);
        if (fails) {
            ASSERT_TRUE(WaitUntil([&] { return !Failures.empty(); }));
        } else {
            // A new game with the built-in player on both sides leaves the engine's agent behind.
            Game.StopGame();
            Game.SetAgentFactory(nullptr);
            Game.StartGame();
            Game.StopGame();
        }
        // The replaced agent is deleted later, from the event loop.
        const auto pump = [] {
            RunEventsFor(10);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        };
        EXPECT_TRUE(WaitForProcessEnd(sleeper, 5000, pump))
            << (fails ? "after a failure" : "after the game") << ", the engine's child lives";
        if (!ProcessEnded(sleeper))
            ::kill(sleeper, SIGKILL);
        Failures.clear();
    }
}

// The window gives an engine that offers Threads its default number of threads, within the
// option's bounds, unless the user chose a number; an engine without the option gets none.
TEST_F(UciEngineAgentTest, DefaultThreadsAreSentOnlyForAnOfferedOptionTheUserLeftAlone) {
    QTemporaryDir dir;
    struct TRun {
        const char* Engine;
        QVector<QPair<QString, QString>> Options;
        const char* Expected;
    };
    const TRun runs[] = {
        { WINTERMOOT_ENGINE, {}, "setoption name Threads value 3\n" },
        { WINTERMOOT_ENGINE, { { "Threads", "2" } }, "setoption name Threads value 2\n" },
        { BAD_ENGINE, {}, "" },
    };
    int index = 0;
    for (const TRun& run : runs) {
        const QString log = dir.filePath(QString("input%1.txt").arg(++index));
        const QString script = dir.filePath(QString("engine%1.sh").arg(index));
        QFile file(script);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(("#!/bin/sh\ntee '" + log + "' | '" + run.Engine + "'\n").toUtf8());
        file.close();
        file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
        TUciEngineSetup setup;
        setup.Command = script;
        setup.Options = run.Options;
        setup.DefaultThreads = 3;
        setup.MoveTimeMs = 50;
        Use(setup, { "e7e5" });
        Game.StartGame();
        ASSERT_TRUE(WaitUntil([&] { return Game.Moves.Count() >= 1 || !Failures.empty(); }));
        EXPECT_TRUE(Failures.empty());
        Game.StopGame();
        QFile input(log);
        ASSERT_TRUE(input.open(QIODevice::ReadOnly));
        QByteArray threads;
        for (const QByteArray& line : input.readAll().split('\n')) {
            if (line.startsWith("setoption name Threads"))
                threads += line + '\n';
        }
        EXPECT_EQ(threads.toStdString(), run.Expected) << run.Engine;
    }
}

// A mate score is kept as the moves to the mate, in place of centipawns.
TEST_F(UciEngineAgentTest, MateReportsAreKeptAsTheMovesToTheMate) {
    Use(BadEngine("mate"), { "e7e5", "b8c6" });
    std::vector<int> mates;
    Game.StartGame();
    QObject::connect(Engine(), &TUciEngineAgent::thinkingChanged, &Context, [&] {
        if (Engine()->LastDepth() > 0) {
            EXPECT_FALSE(Engine()->LastScore().has_value());
            mates.push_back(Engine()->LastMate().value_or(0));
        }
    });
    ASSERT_TRUE(WaitUntil([&] { return Game.Moves.Count() >= 3; }));
    EXPECT_TRUE(Failures.empty());
    EXPECT_EQ(mates, (std::vector<int> { -1, 2 }));
    Game.StopGame();
}

TEST_F(UciEngineAgentTest, PositionTextGivesCastlingAsTheKingsMoveAndThePromotionPiece) {
    TMoveList moves;
    moves.Add(pkKing, Sq("e1"), Sq("g1"), 0, mrCastling);
    moves.Add(pkQueen, Sq("b7"), Sq("a8"), 0, mrPromotion | mrCapture);
    moves.Item(1)->PromotionKind = pkKnight;
    EXPECT_EQ(TUciEngineAgent::MovesText(moves).toStdString(), "e1g1 b7a8n");
}

TEST_F(UciEngineAgentTest, CancelledSearchsMoveIsDropped) {
    TUciEngineSetup setup;
    setup.Command = WINTERMOOT_ENGINE;
    setup.MoveTimeMs = 300;
    Use(setup, { "e7e5" });
    Game.StartGame();
    ASSERT_TRUE(WaitUntil([&] { return Engine()->LastDepth() > 0; }));
    Game.StopGame();
    RunEventsFor(600);
    EXPECT_EQ(Game.Moves.Count(), 0);
    EXPECT_TRUE(Failures.empty());
    EXPECT_FALSE(Engine()->HasFailed());
}

TEST_F(UciEngineAgentTest, PositionSetUpWithoutItsMovesIsSentAsItsBoard) {
    TUciEngineSetup setup;
    setup.Command = WINTERMOOT_ENGINE;
    setup.Depth = 2;
    Use(setup, { "e8d8" });
    SetUpPosition(Game, "4k3/8/8/8/8/8/8/Q3K3 w - - 0 1");
    Game.StartGame();
    ASSERT_TRUE(WaitUntil([&] { return Game.Moves.Count() >= 1 || !Failures.empty(); }));
    EXPECT_TRUE(Failures.empty()) << Failures.front().Reason.toStdString();
    EXPECT_EQ(Game.Moves.Count(), 1);
    Game.StopGame();
}

struct TBadCase {
    const char* Mode;
    const char* Cause;
    uint16_t MovesKept;
};

class BadEngineTest : public UciEngineAgentTest, public ::testing::WithParamInterface<TBadCase> { };

TEST_P(BadEngineTest, EndsWithOneFailureNamingTheCause) {
    const TBadCase& bad = GetParam();
    Use(BadEngine(bad.Mode), { "e7e5", "b8c6", "g8f6" });
    Game.StartGame();
    ASSERT_TRUE(WaitUntil([&] { return !Failures.empty(); }, 15000));
    RunEventsFor(200);
    ASSERT_EQ(Failures.size(), 1u);
    EXPECT_EQ(Failures[0].Colour, pcWhite);
    const std::string reason = Failures[0].Reason.toStdString();
    EXPECT_TRUE(reason.find(bad.Cause) != std::string::npos) << reason;
    EXPECT_TRUE(reason.rfind("BadEngine", 0) == 0 || reason.rfind("bad:", 0) == 0) << reason;
    EXPECT_EQ(Game.GameState, gsStopped);
    EXPECT_EQ(Game.Moves.Count(), bad.MovesKept);
    ASSERT_NE(Engine(), nullptr);
    EXPECT_TRUE(Engine()->HasFailed());
    EXPECT_EQ(Engine()->findChild<QProcess*>()->state(), QProcess::NotRunning);
    // The event loop still runs.
    bool fired = false;
    QTimer::singleShot(0, &Context, [&] { fired = true; });
    EXPECT_TRUE(WaitUntil([&] { return fired; }, 1000));
}

INSTANTIATE_TEST_SUITE_P(Modes, BadEngineTest,
    ::testing::Values(TBadCase { "no-uciok", "did not answer uci", 0 },
        TBadCase { "crash", "crashed", 4 }, TBadCase { "hang", "did not answer go", 4 },
        TBadCase { "illegal", "illegal move 'e1e8'", 4 },
        TBadCase { "malformed", "malformed move 'xyzzy'", 4 },
        TBadCase { "flood", "MB a second", 4 }, TBadCase { "long-line", "longer than 64 KB", 4 }),
    [](const auto& info) {
        std::string name = info.param.Mode;
        std::erase(name, '-');
        return name;
    });

TEST_F(UciEngineAgentTest, MissingEngineFailsWithoutStopping) {
    TUciEngineSetup setup;
    setup.Command = "/nonexistent/engine";
    Use(setup);
    Game.StartGame();
    ASSERT_TRUE(WaitUntil([&] { return !Failures.empty(); }, 5000));
    RunEventsFor(100);
    ASSERT_EQ(Failures.size(), 1u);
    EXPECT_TRUE(Failures[0].Reason.startsWith("engine: could not be started"))
        << Failures[0].Reason.toStdString();
    EXPECT_EQ(Game.GameState, gsStopped);
}

TEST_F(UciEngineAgentTest, TakeBackAfterTheEnginesReplyTakesBackTwoMoves) {
    TUciEngineSetup setup = BadEngine("good");
    SetPlayers(Game, false, true);
    Game.SetAgentFactory([&](TPieceColour colour) {
        if (colour == pcWhite)
            return std::unique_ptr<TPlayerAgent>(new TUciEngineAgent(colour, setup));
        return Game.MakeDefaultAgent(colour);
    });
    Game.StartGame();
    ASSERT_TRUE(WaitUntil([&] { return Game.Moves.Count() == 1; }));
    ASSERT_FALSE(Game.PlayMove(Sq("e7"), Sq("e5")) & mrInvalid);
    ASSERT_TRUE(WaitUntil([&] { return Game.Moves.Count() == 3; }));
    Game.UndoMove();
    EXPECT_EQ(Game.Moves.Count(), 1);
    EXPECT_EQ(Game.Turn, pcBlack);
    Game.StopGame();
}

} // namespace
