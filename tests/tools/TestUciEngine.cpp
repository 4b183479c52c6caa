// The UCI engine's protocol logic driven in-process: the answers to each command, the moves of a
// "position" command, refusals that leave the position as it was, and the search's stopping.

#include "Fen.h"
#include "Perft.h"
#include "UciEngine.h"
#include "UnitChessAI.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.rfind(prefix, 0) == 0;
}

// Collects the engine's output lines and waits for the ones a test expects.
class TEngineHarness {
public:
    void Send(const std::string& line) { Engine.HandleLine(line); }

    // The next line from the last one read on that starts with `prefix`, or "" after `timeout`.
    std::string WaitFor(const std::string& prefix, std::chrono::milliseconds timeout = 30s) {
        std::unique_lock lock(m_Mutex);
        std::string found;
        m_Added.wait_for(lock, timeout, [&] {
            for (; m_Read < m_Lines.size(); ++m_Read) {
                if (StartsWith(m_Lines[m_Read], prefix)) {
                    found = m_Lines[m_Read++];
                    return true;
                }
            }
            return false;
        });
        return found;
    }

    std::vector<std::string> Lines() {
        std::lock_guard lock(m_Mutex);
        return m_Lines;
    }

    int Count(const std::string& prefix) {
        int count = 0;
        for (const std::string& line : Lines())
            count += StartsWith(line, prefix);
        return count;
    }

private:
    std::mutex m_Mutex;
    std::condition_variable m_Added;
    std::vector<std::string> m_Lines;
    size_t m_Read = 0;

public:
    // Last, so that it is destroyed first, while the lines it writes to still exist.
    TUciEngine Engine { [this](const std::string& line) {
        {
            std::lock_guard lock(m_Mutex);
            m_Lines.push_back(line);
        }
        m_Added.notify_all();
    } };
};

std::string BestMoveOf(const std::string& line) {
    return StartsWith(line, "bestmove ") ? line.substr(9) : "";
}

// Whether the move (long algebraic, a queen promotion spelt with its "q") is legal in the FEN.
bool IsLegalIn(const std::string& fen, const std::string& move) {
    TChessBoard board;
    const TPieceColour side = LoadFen(board, fen);
    for (const TMoveSquares& m : LegalMoves(board, side)) {
        std::string name = SquareName(m.From) + SquareName(m.To);
        const TPiece* piece = board.PieceAt(m.From);
        if (piece->Kind == pkPawn && (m.To.Y == 8 || m.To.Y == 1))
            name += 'q';
        if (name == move)
            return true;
    }
    return false;
}

// The first three fields: placement, side to move and castling rights.
std::string Placement(const std::string& fen) {
    size_t end = 0;
    for (int spaces = 0; spaces < 3 && end != std::string::npos; ++spaces)
        end = fen.find(' ', end + 1);
    return fen.substr(0, end);
}

TEST(UciEngine, AnswersUciWithItsNameOptionsAndUciok) {
    TEngineHarness h;
    h.Send("uci");
    ASSERT_EQ(h.WaitFor("uciok"), "uciok");
    const std::vector<std::string> lines = h.Lines();
    EXPECT_TRUE(StartsWith(lines.front(), "id name Wintermoot "));
    EXPECT_EQ(lines[1], "id author The Wintermoot developers");
    EXPECT_EQ(lines[2],
        "option name Level type combo default expert var novice var skilled var "
        "expert");
    EXPECT_EQ(lines[3], "option name Depth type spin default 3 min 1 max 15");
    EXPECT_TRUE(StartsWith(lines[4], "option name Threads type spin default "));
    EXPECT_EQ(lines[5], "option name Hash type spin default 64 min 1 max 4096");
    EXPECT_EQ(lines[6], "option name Ponder type check default false");
    h.Send("isready");
    EXPECT_EQ(h.WaitFor("readyok"), "readyok");
    // Unknown words before a command are skipped.
    h.Send("joho isready");
    EXPECT_EQ(h.WaitFor("readyok"), "readyok");
}

TEST(UciEngine, GoDepthReportsItsDepthsAndPlaysTheBuiltInSearchsBestMove) {
    TEngineHarness h;
    h.Send("position startpos moves e2e4 e7e5");
    h.Send("go depth 4");
    const std::string best = BestMoveOf(h.WaitFor("bestmove"));

    // The built-in search of the same position, with the return penalty for White's own
    // previous move from e2.
    TChessBoard board;
    LoadFen(board, "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq - 0 2");
    TMoveList candidates;
    ScoreCandidates(board, pcWhite, 4, MakePoint(5, 2), candidates);
    const TMoveRecord* first = candidates.First();
    EXPECT_EQ(best, SquareName(first->From) + SquareName(first->To));

    std::vector<std::string> infos;
    for (const std::string& line : h.Lines()) {
        if (StartsWith(line, "info depth"))
            infos.push_back(line);
    }
    // The first depth, which gives a move to a stop at once, then the depth asked for.
    ASSERT_EQ(infos.size(), 2u);
    EXPECT_TRUE(StartsWith(infos.front(), "info depth 1 score cp "));
    // The score is the value of the move played, from White's view.
    const TSearchValue value = ValueOfCandidate(board, pcWhite, 4, MakePoint(5, 2), *first);
    EXPECT_TRUE(StartsWith(
        infos.back(), "info depth 4 score cp " + std::to_string(value.Centipawns) + " nodes "));
    EXPECT_NE(infos.back().find(" pv " + best), std::string::npos);

    // The same commands give the same move at the expert level.
    h.Send("go depth 4");
    EXPECT_EQ(BestMoveOf(h.WaitFor("bestmove")), best);
}

struct TScoreRow {
    const char* Name;
    const char* Fen;
    int Depth;
    // "mate N" for a mate, otherwise the centipawns lie from Low to High.
    const char* Mate;
    int Low;
    int High;
};

class UciScore : public testing::TestWithParam<TScoreRow> { };

// The score is the position's value for the side to move: the material at the end of the line
// and the position's own terms in centipawns, or the moves to a mate found.
TEST_P(UciScore, IsThePositionsValueForTheSideToMove) {
    const TScoreRow& row = GetParam();
    TEngineHarness h;
    h.Send(std::string("position fen ") + row.Fen);
    h.Send("go depth " + std::to_string(row.Depth));
    h.WaitFor("bestmove");
    int reports = 0;
    for (const std::string& line : h.Lines()) {
        if (!StartsWith(line, "info depth " + std::to_string(row.Depth) + " "))
            continue;
        ++reports;
        if (row.Mate) {
            EXPECT_TRUE(StartsWith(line.substr(line.find(" score ") + 7), row.Mate)) << line;
            continue;
        }
        const size_t at = line.find(" score cp ");
        ASSERT_NE(at, std::string::npos) << line;
        const int cp = std::stoi(line.substr(at + 10));
        EXPECT_GE(cp, row.Low) << line;
        EXPECT_LE(cp, row.High) << line;
    }
    EXPECT_EQ(reports, 1);
}

INSTANTIATE_TEST_SUITE_P(Positions, UciScore,
    testing::Values(
        TScoreRow { "StartPositionIsEven",
            "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", 4, nullptr, -50, 50 },
        TScoreRow { "QueenDownIsNineHundredWorse",
            "rnb1kbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b KQkq - 0 1", 4, nullptr, -1050, -800 },
        TScoreRow { "QueenUpIsNineHundredBetter",
            "rnb1kbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", 4, nullptr, 800, 1050 },
        TScoreRow { "MateInOne", "k7/3Q4/8/8/7K/8/rR6/8 w - - 0 1", 3, "mate 1 ", 0, 0 },
        TScoreRow { "MateInTwo", "k1K5/3r4/8/8/3Q4/8/6R1/8 w - - 0 1", 3, "mate 2 ", 0, 0 },
        TScoreRow { "MatedInOne", "k1K5/3r4/8/8/3Q4/8/R7/8 b - - 0 1", 3, "mate -1 ", 0, 0 }),
    [](const testing::TestParamInfo<TScoreRow>& info) { return std::string(info.param.Name); });

TEST(UciEngine, TimedSearchReportsEveryDepthInTurn) {
    TEngineHarness h;
    h.Send("position fen 8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1");
    h.Send("go movetime 300");
    h.WaitFor("bestmove");
    int expected = 1;
    for (const std::string& line : h.Lines()) {
        if (StartsWith(line, "info depth ")) {
            EXPECT_TRUE(StartsWith(line, "info depth " + std::to_string(expected++) + " ")) << line;
        }
    }
    EXPECT_GE(expected, 3);
}

struct TMovesCase {
    const char* Name;
    const char* Position;
    const char* ExpectedFen; // placement, side and castling rights
};

class UciPositionMoves : public testing::TestWithParam<TMovesCase> { };

TEST_P(UciPositionMoves, AreAppliedAsTheKingsMoveOrWithTheirPromotionPiece) {
    TEngineHarness h;
    h.Send(GetParam().Position);
    EXPECT_EQ(Placement(h.Engine.PositionFen()), GetParam().ExpectedFen);
    EXPECT_EQ(h.Count("info string"), 0);
}

INSTANTIATE_TEST_SUITE_P(UciEngine, UciPositionMoves,
    testing::Values(TMovesCase { "WhiteCastlesKingside",
                        "position startpos moves e2e4 e7e5 g1f3 b8c6 f1c4 g8f6 e1g1",
                        "r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQ1RK1 b kq" },
        TMovesCase { "BlackCastlesQueenside",
            "position fen r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1 moves e8c8",
            "2kr3r/8/8/8/8/8/8/R3K2R w KQ" },
        TMovesCase { "EnPassantRemovesThePawnThatPassed",
            "position startpos moves e2e4 a7a6 e4e5 d7d5 e5d6",
            "rnbqkbnr/1pp1pppp/p2P4/8/8/8/PPPP1PPP/RNBQKBNR b KQkq" },
        TMovesCase { "UnderpromotionToAKnight",
            "position fen 4k3/P7/8/8/8/8/8/4K3 w - - 0 1 moves a7a8n", "N3k3/8/8/8/8/8/8/4K3 b -" },
        TMovesCase { "BlackPromotesWithACapture",
            "position fen 4k3/8/8/8/8/8/p7/1R2K3 b - - 0 1 moves a2b1r",
            "4k3/8/8/8/8/8/8/1r2K3 w -" },
        TMovesCase { "UppercasePromotionLetter",
            "position fen 4k3/P7/8/8/8/8/8/4K3 w - - 0 1 moves a7a8Q",
            "Q3k3/8/8/8/8/8/8/4K3 b -" }),
    [](const testing::TestParamInfo<TMovesCase>& info) { return info.param.Name; });

class UciRefusedPosition : public testing::TestWithParam<TMovesCase> { };

TEST_P(UciRefusedPosition, IsNamedInAnInfoStringAndTheOldPositionStays) {
    TEngineHarness h;
    h.Send("position startpos moves d2d4");
    const std::string before = h.Engine.PositionFen();
    h.Send(GetParam().Position);
    const std::string info = h.WaitFor("info string", 1s);
    EXPECT_NE(info.find(GetParam().ExpectedFen), std::string::npos) << info;
    EXPECT_EQ(h.Engine.PositionFen(), before);
    // The search after it plays from the old position.
    h.Send("go depth 1");
    EXPECT_TRUE(IsLegalIn(before, BestMoveOf(h.WaitFor("bestmove"))));
}

INSTANTIATE_TEST_SUITE_P(UciEngine, UciRefusedPosition,
    testing::Values(
        TMovesCase { "IllegalMove", "position startpos moves e2e4 e7e5 e1e3", "'e1e3'" },
        TMovesCase { "MoveOfTheWrongSide", "position startpos moves e7e5", "'e7e5'" },
        TMovesCase { "UnreadableMove", "position startpos moves e2e4 xx99", "'xx99'" },
        TMovesCase { "NullMove", "position startpos moves 0000", "'0000'" },
        TMovesCase { "PromotionWithoutItsPiece",
            "position fen 4k3/P7/8/8/8/8/8/4K3 w - - 0 1 moves a7a8", "needs a promotion piece" },
        TMovesCase {
            "PromotionLetterOnAnOrdinaryMove", "position startpos moves e2e4q", "not a promotion" },
        TMovesCase { "BadPromotionLetter",
            "position fen 4k3/P7/8/8/8/8/8/4K3 w - - 0 1 moves a7a8k", "unreadable" },
        TMovesCase { "UnreadableFen", "position fen rnbqkbnr/pppp w KQkq - 0 1", "invalid FEN" },
        TMovesCase { "KingMissing", "position fen 8/8/8/8/8/8/8/8 w - - 0 1", "invalid FEN" },
        TMovesCase { "NoStartposOrFen", "position", "startpos" },
        TMovesCase { "MovesWithoutTheirKeyword", "position startpos e2e4", "'moves'" }),
    [](const testing::TestParamInfo<TMovesCase>& info) { return info.param.Name; });

TEST(UciEngine, AnswersNullMoveWhenMatedOrStalemated) {
    TEngineHarness h;
    // White is mated.
    h.Send("position startpos moves f2f3 e7e5 g2g4 d8h4");
    h.Send("go depth 3");
    EXPECT_EQ(h.WaitFor("bestmove"), "bestmove 0000");
    // Black is stalemated.
    h.Send("position fen 7k/5Q2/6K1/8/8/8/8/8 b - - 0 1");
    h.Send("go wtime 1000 btime 1000");
    EXPECT_EQ(h.WaitFor("bestmove"), "bestmove 0000");
    // An infinite search of a mate still waits for its stop.
    h.Send("go infinite");
    EXPECT_EQ(h.WaitFor("bestmove", 100ms), "");
    h.Send("stop");
    EXPECT_EQ(h.WaitFor("bestmove"), "bestmove 0000");
}

TEST(UciEngine, InfiniteSearchAnswersOnlyAfterStopAndStaysResponsive) {
    TEngineHarness h;
    const char* fen = "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1";
    h.Send(std::string("position fen ") + fen);
    h.Send("go infinite");
    EXPECT_EQ(h.WaitFor("bestmove", 300ms), "");
    EXPECT_TRUE(h.Engine.Searching());
    h.Send("isready");
    EXPECT_EQ(h.WaitFor("readyok", 1s), "readyok");
    h.Send("stop");
    EXPECT_FALSE(h.Engine.Searching());
    EXPECT_TRUE(IsLegalIn(fen, BestMoveOf(h.WaitFor("bestmove", 0ms))));
}

// A ponder search gives no bestmove before the ponder hit, even when its limit (here a few
// milliseconds, or the whole depth of a small position) is long past; after the hit it answers
// within its limit, and a stop answers at once.
TEST(UciEngine, PonderSearchAnswersOnlyAfterPonderhitOrStop) {
    TEngineHarness h;
    const char* fen = "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1";
    h.Send("setoption name Ponder value true");
    h.Send(std::string("position fen ") + fen);
    h.Send("go ponder movetime 20");
    EXPECT_EQ(h.WaitFor("bestmove", 500ms), "");
    EXPECT_TRUE(h.Engine.Searching());
    h.Send("ponderhit");
    EXPECT_TRUE(IsLegalIn(fen, BestMoveOf(h.WaitFor("bestmove", 5s))));

    h.Send("go ponder wtime 60000 btime 60000");
    EXPECT_EQ(h.WaitFor("bestmove", 300ms), "");
    h.Send("stop");
    EXPECT_TRUE(IsLegalIn(fen, BestMoveOf(h.WaitFor("bestmove", 0ms))));

    // A depth reached while pondering waits for the hit too.
    h.Send("go ponder depth 2");
    EXPECT_EQ(h.WaitFor("bestmove", 300ms), "");
    h.Send("ponderhit");
    EXPECT_TRUE(IsLegalIn(fen, BestMoveOf(h.WaitFor("bestmove", 5s))));
    EXPECT_EQ(h.Count("bestmove"), 3);
    EXPECT_EQ(h.Count("info string"), 0);
}

TEST(UciEngine, EachGoGetsOneBestMoveAndAGoStopsTheSearchBeforeIt) {
    TEngineHarness h;
    h.Send("go infinite");
    h.Send("go infinite");
    h.Send("go depth 2");
    h.WaitFor("bestmove");
    h.WaitFor("bestmove");
    EXPECT_EQ(h.WaitFor("bestmove"), "bestmove e2e4");
    h.Send("isready");
    h.WaitFor("readyok");
    EXPECT_EQ(h.Count("bestmove"), 3);
    for (const std::string& line : h.Lines()) {
        if (StartsWith(line, "bestmove")) {
            EXPECT_TRUE(IsLegalIn(StartFen, BestMoveOf(line))) << line;
        }
    }
}

TEST(UciEngine, TimedAndCountedSearchesAnswerWithALegalMove) {
    TEngineHarness h;
    const char* fen = "r1bqk1nr/pppp1ppp/2n5/2b1p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 4 4";
    h.Send(std::string("position fen ") + fen);
    for (const char* go : { "go movetime 100", "go wtime 2000 btime 2000 winc 10 binc 10",
             "go wtime 5 btime 5", "go btime 100 wtime 300 movestogo 1", "go nodes 2000",
             "go depth 2 searchmoves a2a3 h2h3", "go mate 2 depth 1", "go depth 99",
             "go movetime fast", "go depth nodes 500" }) {
        h.Send(go);
        const std::string best = BestMoveOf(h.WaitFor("bestmove"));
        EXPECT_TRUE(IsLegalIn(fen, best)) << go << ": " << best;
        if (std::string(go).find("searchmoves") != std::string::npos) {
            EXPECT_TRUE(best == "a2a3" || best == "h2h3") << best;
        }
    }
}

TEST(UciEngine, OptionsChangeOnlyWithGoodValues) {
    TEngineHarness h;
    for (const char* bad : { "setoption name Depth value 0", "setoption name Depth value 16",
             "setoption name Depth value three", "setoption name Level value grandmaster",
             "setoption name Threads value -1", "setoption name Hash value 99999999999999999999",
             "setoption name Colour value red", "setoption value 3" }) {
        h.Send(bad);
        EXPECT_NE(h.WaitFor("info string", 1s), "") << bad;
    }
    // The Depth option still is 3: a plain "go" searches to it.
    h.Send("go");
    h.WaitFor("bestmove");
    EXPECT_EQ(h.Count("info depth 3 "), 1);
    EXPECT_EQ(h.Count("info depth 4 "), 0);

    h.Send("setoption name depth value 2");
    h.Send("setoption name Threads value 1");
    h.Send("setoption name Hash value 1");
    h.Send("go");
    h.WaitFor("bestmove");
    EXPECT_EQ(h.Count("info depth 3 "), 1);
    EXPECT_EQ(h.Count("info string"), 8);
}

TEST(UciEngine, NoviceChoosesAmongTheNearBestMoves) {
    const char* fen = "r1bqk1nr/pppp1ppp/2n5/2b1p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 4 4";
    TChessBoard board;
    LoadFen(board, fen);
    TMoveList candidates;
    ScoreCandidates(board, pcWhite, 2, TPoint {}, candidates);
    TEngineHarness h;
    h.Engine.Seed(7);
    h.Send("setoption name Level value NOVICE");
    h.Send(std::string("position fen ") + fen);
    for (int i = 0; i < 10; ++i) {
        h.Send("go depth 2");
        const std::string best = BestMoveOf(h.WaitFor("bestmove"));
        const TMoveRecord* found = nullptr;
        for (const TMoveRecord* m = candidates.First(); m; m = m->Next) {
            if (SquareName(m->From) + SquareName(m->To) == best)
                found = m;
        }
        ASSERT_NE(found, nullptr) << best;
        EXPECT_GE(found->Score + 20, candidates.First()->Score) << best;
    }
}

TEST(UciEngine, UnreadableLinesAreIgnoredWithAnInfoString) {
    TEngineHarness h;
    h.Send(std::string("\x01\x02\xff garbage\0more", 17));
    const std::string info = h.WaitFor("info string", 1s);
    EXPECT_TRUE(StartsWith(info, "info string unknown command '"));
    for (const char c : info)
        EXPECT_TRUE(c >= 0x20 && c < 0x7f) << int(c);
    h.Send(std::string(100000, 'x'));
    EXPECT_LT(h.WaitFor("info string", 1s).size(), 200u);
    h.Send("go depth 1 sideways");
    EXPECT_NE(h.WaitFor("info string go: unknown parameter 'sideways'", 1s), "");
    EXPECT_TRUE(IsLegalIn(StartFen, BestMoveOf(h.WaitFor("bestmove"))));
    h.Send("   ");
    h.Send("isready");
    h.WaitFor("readyok");
    EXPECT_EQ(h.Count("info string"), 3);
}

TEST(UciEngine, QuitStopsTheSearch) {
    TEngineHarness h;
    h.Send("go infinite");
    EXPECT_FALSE(h.Engine.HandleLine("quit"));
    EXPECT_FALSE(h.Engine.Searching());
}

TEST(UciEngine, ClockShareLeavesAMarginOfTheRemainingTime) {
    EXPECT_EQ(AllottedMilliseconds(60000, 0, 0), 2000);
    EXPECT_EQ(AllottedMilliseconds(60000, 1000, 0), 2750);
    EXPECT_EQ(AllottedMilliseconds(10000, 0, 1), 9950);
    EXPECT_EQ(AllottedMilliseconds(100, 5000, 1), 75);
    EXPECT_EQ(AllottedMilliseconds(0, 0, 0), 1);
    EXPECT_EQ(AllottedMilliseconds(-500, -5, 0), 1);
}

} // namespace
