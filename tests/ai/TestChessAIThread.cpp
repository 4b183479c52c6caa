// The computer player's worker thread: one search and one OnMoveFound per Think, hand-over on the
// owner's thread, cancelling, destruction, and the random choice among near-best moves.

#include "Fen.h"
#include "MainQueue.h"
#include "Perft.h"
#include "UnitChessAI.h"

#include <gtest/gtest.h>

#include <set>

using namespace std::chrono_literals;

namespace {

const char* const Kiwipete = "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1";
// White is in check and only the rook can block it.
const char* const OneLegalMove = "2R5/8/k7/8/8/8/r7/1r5K w - - 0 1";

// Keeps posted hand-overs until the test runs them, to stage what happens while one is pending.
struct THeldPosts {
    std::mutex Mutex;
    std::vector<std::function<void()>> Posted;

    TChessAI::TPoster Poster() {
        return [this](std::function<void()> f) {
            std::lock_guard lock(Mutex);
            Posted.push_back(std::move(f));
        };
    }
    size_t Count() {
        std::lock_guard lock(Mutex);
        return Posted.size();
    }
    bool WaitFor(size_t count, std::chrono::milliseconds limit) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (Count() < count) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(1ms);
        }
        return true;
    }
    void RunAll() {
        std::vector<std::function<void()>> posted;
        {
            std::lock_guard lock(Mutex);
            posted.swap(Posted);
        }
        for (auto& f : posted)
            f();
    }
};

double MillisecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

TMoveRecord ExpectedChoice(TChessBoard& board, TPieceColour colour, int depth, int level,
    TPoint lastFrom, std::mt19937& rng) {
    TMoveList candidates;
    ScoreCandidates(board, colour, depth, lastFrom, candidates);
    return ChooseMove(candidates, level, rng);
}

TEST(ChessAIThread, StartsAsleepWithDepthThreeAndNoMove) {
    TChessBoard board;
    TMainQueue queue;
    TChessAI ai(board, queue.Poster());
    EXPECT_EQ(ai.Depth(), 3);
    EXPECT_FALSE(ai.IsThinking());
    EXPECT_EQ(ai.BestMove().From, TPoint {});
    EXPECT_EQ(ai.BestMove().To, TPoint {});
    EXPECT_EQ(ai.BestMove().Score, 0);
}

TEST(ChessAIThread, OneMoveFoundPerThinkOnTheOwnersThread) {
    TChessBoard board;
    board.MovePiece(MakePoint(5, 2), MakePoint(5, 4), true);
    TMainQueue queue;
    TChessAI ai(board, queue.Poster());
    ai.SetDepth(1);
    int found = 0;
    std::thread::id foundOn;
    ai.OnMoveFound = [&](TChessAI& sender) {
        EXPECT_EQ(&sender, &ai);
        EXPECT_FALSE(ai.IsThinking());
        foundOn = std::this_thread::get_id();
        ++found;
    };
    ai.Think(pcBlack, 2);
    EXPECT_TRUE(ai.IsThinking());
    ASSERT_TRUE(queue.RunUntil([&] { return found == 1; }, 20s));
    queue.RunUntil([] { return false; }, 100ms);
    EXPECT_EQ(found, 1);
    EXPECT_EQ(foundOn, std::this_thread::get_id());
    EXPECT_FALSE(ai.IsThinking());
    const TMoveRecord move = ai.BestMove();
    const TPiece* mover = board.PieceAt(move.From);
    ASSERT_NE(mover, nullptr);
    EXPECT_EQ(mover->Colour, pcBlack);
    EXPECT_TRUE(board.IsLegalMove(move.From, move.To));
    EXPECT_EQ(LegalMoves(board, pcBlack).size(), 20u);
    EXPECT_EQ(ai.ProgressTotal(), 20);
    EXPECT_EQ(ai.ProgressDone(), 20);
}

// The handler plays the move and asks for the other side's, as the game controller does.
TEST(ChessAIThread, PlaysAComputerAgainstComputerGameOnOneWorker) {
    TChessBoard board;
    TMainQueue queue;
    TChessAI ai(board, queue.Poster());
    ai.SetDepth(1);
    ai.Seed(5);
    TPieceColour toMove = pcWhite;
    int moves = 0;
    bool over = false;
    ai.OnMoveFound = [&](TChessAI& sender) {
        const TMoveRecord move = sender.BestMove();
        ASSERT_TRUE(board.PieceAt(move.From) && board.PieceAt(move.From)->Colour == toMove)
            << "move " << moves;
        TMoveResult flags = board.MovePiece(move.From, move.To, true);
        ASSERT_FALSE(flags & mrInvalid) << "move " << moves;
        if (flags & mrPromotion)
            flags |= board.Promote(move.To, pkQueen);
        ++moves;
        toMove = Opponent(toMove);
        over = (flags & mrGameOver) != 0;
        if (!over && moves < 40)
            sender.Think(toMove, 1);
    };
    ai.Think(pcWhite, 1);
    ASSERT_TRUE(queue.RunUntil([&] { return over || moves == 40; }, 60s)) << moves << " moves";
    queue.RunUntil([] { return false; }, 100ms);
    EXPECT_TRUE(over || moves == 40);
    EXPECT_FALSE(ai.IsThinking());
}

TEST(ChessAIThread, ReturnsTheOnlyLegalMoveAtEveryLevel) {
    for (int level = 0; level <= 2; ++level) {
        TChessBoard board;
        const TPieceColour side = LoadFen(board, OneLegalMove);
        ASSERT_EQ(LegalMoves(board, side).size(), 1u);
        TMainQueue queue;
        TChessAI ai(board, queue.Poster());
        ai.SetDepth(2);
        bool found = false;
        ai.OnMoveFound = [&](TChessAI&) { found = true; };
        ai.Think(side, level);
        ASSERT_TRUE(queue.RunUntil([&] { return found; }, 20s));
        EXPECT_EQ(ai.BestMove().From, MakePoint(3, 8)) << "level " << level;
        EXPECT_EQ(ai.BestMove().To, MakePoint(3, 1)) << "level " << level;
    }
}

// The worker draws from its seeded generator exactly as ChooseMove does, and the origin of each
// move found feeds the return penalty of the next search; a new depth applies to the next search.
TEST(ChessAIThread, SearchesWithTheSeedThePreviousMoveAndTheCurrentDepth) {
    TChessBoard board;
    const TPieceColour side = LoadFen(board, Kiwipete);
    TMainQueue queue;
    TChessAI ai(board, queue.Poster());
    ai.Seed(99);
    ai.SetDepth(1);
    std::mt19937 rng(99);
    int found = 0;
    ai.OnMoveFound = [&](TChessAI&) { ++found; };

    const TMoveRecord first = ExpectedChoice(board, side, 1, 2, {}, rng);
    ai.Think(side, 2);
    ASSERT_TRUE(queue.RunUntil([&] { return found == 1; }, 20s));
    EXPECT_EQ(ai.BestMove().From, first.From);
    EXPECT_EQ(ai.BestMove().To, first.To);
    EXPECT_EQ(ai.BestMove().Score, first.Score);

    ai.SetDepth(0);
    const TMoveRecord second = ExpectedChoice(board, side, 0, 2, first.From, rng);
    ai.Think(side, 2);
    ASSERT_TRUE(queue.RunUntil([&] { return found == 2; }, 20s));
    EXPECT_EQ(ai.BestMove().From, second.From);
    EXPECT_EQ(ai.BestMove().To, second.To);
    EXPECT_EQ(ai.BestMove().Score, second.Score);
}

// A game played by one worker, whose threads and table are kept from move to move (en passant
// states, castling rights and captures change on the way), must choose exactly the moves that the
// plain single-threaded search without a table leads to with the same random draws.
TEST(ChessAIThread, KeepsItsTableAndThreadsExactOverAWholeGame) {
    TChessBoard board;
    LoadFen(board, "rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPP1PPP/RNBQKBNR w KQkq f6 0 3");
    TMainQueue queue;
    TChessAI ai(board, queue.Poster());
    ai.SetThreads(3);
    ai.SetDepth(4);
    ai.Seed(7);
    std::mt19937 rng(7);
    TPieceColour toMove = pcWhite;
    TPoint lastFrom {};
    int moves = 0;
    bool over = false;
    TMoveRecord expected = ExpectedChoice(board, toMove, 4, 1, lastFrom, rng);
    ai.OnMoveFound = [&](TChessAI& sender) {
        const TMoveRecord move = sender.BestMove();
        ASSERT_EQ(move.From, expected.From) << "move " << moves;
        ASSERT_EQ(move.To, expected.To) << "move " << moves;
        ASSERT_EQ(move.Score, expected.Score) << "move " << moves;
        TMoveResult flags = board.MovePiece(move.From, move.To, true);
        if (flags & mrPromotion)
            flags |= board.Promote(move.To, pkQueen);
        ++moves;
        lastFrom = move.From;
        toMove = Opponent(toMove);
        over = (flags & mrGameOver) != 0;
        if (!over && moves < 30) {
            expected = ExpectedChoice(board, toMove, 4, 1, lastFrom, rng);
            sender.Think(toMove, 1);
        }
    };
    ai.Think(toMove, 1);
    ASSERT_TRUE(queue.RunUntil([&] { return over || moves == 30; }, 120s)) << moves << " moves";
}

struct TChoiceRow {
    const char* Name;
    int Level;
    int Choices;
    friend void PrintTo(const TChoiceRow& row, std::ostream* os) { *os << row.Name; }
};

class ChooseMoveTolerance : public testing::TestWithParam<TChoiceRow> { };

// Scores 50 50 40 31 30 29: level 0 picks only the two best, level 1 those within 10, level 2
// those within 20.
TEST_P(ChooseMoveTolerance, DrawsUniformlyFromTheMovesWithinTheTolerance) {
    const TChoiceRow row = GetParam();
    TMoveList sorted;
    const int scores[] = { 50, 50, 40, 31, 30, 29 };
    for (int i = 0; i < 6; ++i)
        sorted.Add(pkPawn, MakePoint(i + 1, 2), MakePoint(i + 1, 3), scores[i], 0);
    std::mt19937 rng(1);
    std::vector<int> hits(6, 0);
    for (int draw = 0; draw < 3000; ++draw) {
        const TMoveRecord chosen = ChooseMove(sorted, row.Level, rng);
        ++hits[chosen.From.X - 1];
        EXPECT_EQ(chosen.Next, nullptr);
    }
    for (int i = 0; i < 6; ++i) {
        if (i < row.Choices)
            EXPECT_GT(hits[i], 3000 / row.Choices / 2) << "candidate " << i;
        else
            EXPECT_EQ(hits[i], 0) << "candidate " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Levels, ChooseMoveTolerance,
    testing::Values(TChoiceRow { "ExpertOnlyAmongTheBest", 0, 2 },
        TChoiceRow { "SkilledWithinTen", 1, 3 }, TChoiceRow { "NoviceWithinTwenty", 2, 5 }),
    [](const testing::TestParamInfo<TChoiceRow>& info) { return std::string(info.param.Name); });

TEST(ChooseMove, GivesTheNoMoveRecordForAnEmptyList) {
    TMoveList empty;
    std::mt19937 rng(1);
    const TMoveRecord chosen = ChooseMove(empty, 2, rng);
    EXPECT_EQ(chosen.From, TPoint {});
    EXPECT_EQ(chosen.To, TPoint {});
    EXPECT_EQ(chosen.Score, -5000);
}

TEST(ChessAIThread, ExpertPlaysOnlyBestScoredMoves) {
    TChessBoard board;
    const TPieceColour side = LoadFen(board, StartFen);
    TMoveList candidates;
    ScoreCandidates(board, side, 1, {}, candidates);
    const int bestScore = candidates.First()->Score;
    std::set<std::pair<int, int>> best;
    for (const TMoveRecord* m = candidates.First(); m && m->Score == bestScore; m = m->Next)
        best.insert({ m->From.X * 10 + m->From.Y, m->To.X * 10 + m->To.Y });
    TMainQueue queue;
    TChessAI ai(board, queue.Poster());
    ai.SetDepth(1);
    int found = 0;
    ai.OnMoveFound = [&](TChessAI& sender) {
        const TMoveRecord m = sender.BestMove();
        EXPECT_TRUE(best.count({ m.From.X * 10 + m.From.Y, m.To.X * 10 + m.To.Y }))
            << SquareName(m.From) << SquareName(m.To) << " scores " << m.Score;
        if (++found < 10)
            sender.Think(side, 0);
    };
    ai.Think(side, 0);
    ASSERT_TRUE(queue.RunUntil([&] { return found == 10; }, 30s));
}

// A depth-8 search would run for minutes; stopping it must not wait for it.
TEST(ChessAIThread, CancelStopsADeepSearchAtOnceAndDropsItsMove) {
    TChessBoard board;
    const TPieceColour side = LoadFen(board, Kiwipete);
    TMainQueue queue;
    TChessAI ai(board, queue.Poster());
    ai.SetDepth(8);
    int found = 0;
    ai.OnMoveFound = [&](TChessAI&) { ++found; };
    ai.Think(side, 0);
    std::this_thread::sleep_for(200ms);
    EXPECT_TRUE(ai.IsThinking());
    EXPECT_GT(ai.ProgressTotal(), 0);
    const std::string before = SaveFen(board, side);
    const auto start = std::chrono::steady_clock::now();
    ai.Cancel();
    const double ms = MillisecondsSince(start);
    RecordProperty("CancelMilliseconds", std::to_string(ms));
    EXPECT_LT(ms, 2000.0);
    EXPECT_FALSE(ai.IsThinking());
    EXPECT_EQ(SaveFen(board, side), before);
    queue.RunUntil([] { return false; }, 100ms);
    EXPECT_EQ(found, 0);

    // The worker takes the next request as usual.
    ai.SetDepth(0);
    ai.Think(side, 0);
    ASSERT_TRUE(queue.RunUntil([&] { return found == 1; }, 20s));
}

TEST(ChessAIThread, DestructionDuringADeepSearchReturnsAndNeverCallsBack) {
    TChessBoard board;
    const TPieceColour side = LoadFen(board, Kiwipete);
    THeldPosts posts;
    int found = 0;
    auto ai = std::make_unique<TChessAI>(board, posts.Poster());
    ai->SetDepth(8);
    ai->OnMoveFound = [&](TChessAI&) { ++found; };
    ai->Think(side, 0);
    std::this_thread::sleep_for(200ms);
    const auto start = std::chrono::steady_clock::now();
    ai.reset();
    const double ms = MillisecondsSince(start);
    RecordProperty("DestroyMilliseconds", std::to_string(ms));
    EXPECT_LT(ms, 2000.0);
    posts.RunAll();
    EXPECT_EQ(found, 0);
}

TEST(ChessAIThread, ThinkWhileSearchingReplacesTheSearch) {
    TChessBoard board;
    const TPieceColour side = LoadFen(board, Kiwipete);
    TMainQueue queue;
    TChessAI ai(board, queue.Poster());
    ai.SetDepth(8);
    std::vector<TPieceColour> found;
    ai.OnMoveFound
        = [&](TChessAI& sender) { found.push_back(board.PieceAt(sender.BestMove().From)->Colour); };
    ai.Think(side, 0);
    std::this_thread::sleep_for(100ms);
    ai.SetDepth(0);
    ai.Think(Opponent(side), 0);
    ASSERT_TRUE(queue.RunUntil([&] { return found.size() == 1; }, 20s));
    queue.RunUntil([] { return false; }, 100ms);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0], Opponent(side));
}

// A cancel that comes after the worker posted its hand-over, but before the owner's thread ran
// it, must not deliver the move, and must not wait for the hand-over either.
TEST(ChessAIThread, CancelWithAPendingHandOverDropsTheMove) {
    TChessBoard board;
    THeldPosts posts;
    TChessAI ai(board, posts.Poster());
    ai.SetDepth(0);
    int found = 0;
    ai.OnMoveFound = [&](TChessAI&) { ++found; };
    ai.Think(pcWhite, 0);
    ASSERT_TRUE(posts.WaitFor(1, 20s));
    EXPECT_TRUE(ai.IsThinking());
    ai.Cancel();
    EXPECT_FALSE(ai.IsThinking());
    posts.RunAll();
    EXPECT_EQ(found, 0);

    ai.Think(pcWhite, 0);
    ASSERT_TRUE(posts.WaitFor(1, 20s));
    posts.RunAll();
    EXPECT_EQ(found, 1);
}

TEST(ChessAIThread, DestructionWithAPendingHandOverNeverCallsBack) {
    TChessBoard board;
    THeldPosts posts;
    int found = 0;
    {
        TChessAI ai(board, posts.Poster());
        ai.SetDepth(0);
        ai.OnMoveFound = [&](TChessAI&) { ++found; };
        ai.Think(pcWhite, 0);
        ASSERT_TRUE(posts.WaitFor(1, 20s));
    }
    posts.RunAll();
    EXPECT_EQ(found, 0);
}

TEST(ChessAIThread, DestructionInsideOnMoveFoundDoesNotHang) {
    TChessBoard board;
    TMainQueue queue;
    auto ai = std::make_unique<TChessAI>(board, queue.Poster());
    ai->SetDepth(0);
    bool found = false;
    ai->OnMoveFound = [&](TChessAI&) {
        found = true;
        ai.reset();
    };
    ai->Think(pcWhite, 0);
    ASSERT_TRUE(queue.RunUntil([&] { return found; }, 20s));
    EXPECT_EQ(ai, nullptr);
}

TEST(ChessAIThread, AThrowingHandlerDoesNotStallTheWorker) {
    TChessBoard board;
    THeldPosts posts;
    TChessAI ai(board, posts.Poster());
    ai.SetDepth(0);
    int found = 0;
    ai.OnMoveFound = [&](TChessAI&) {
        if (++found == 1)
            throw std::runtime_error("handler failed");
    };
    ai.Think(pcWhite, 0);
    ASSERT_TRUE(posts.WaitFor(1, 20s));
    EXPECT_THROW(posts.RunAll(), std::runtime_error);
    ai.Think(pcWhite, 0);
    ASSERT_TRUE(posts.WaitFor(1, 20s));
    posts.RunAll();
    EXPECT_EQ(found, 2);
}

} // namespace
