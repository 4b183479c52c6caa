// How the search values the end of a line: a stalemate is a draw, which the side ahead avoids and
// the side behind seeks, and a shorter mate is worth more than a longer one. Each row holds for the
// product search and for the plain reference alike, and for the product search answered from a
// transposition table kept over every depth, as the engine's deepening keeps it.

#include "Fen.h"
#include "ReferenceSearch.h"
#include "TestPositions.h"
#include "TranspositionTable.h"
#include "UnitChessAI.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct TOutcomeRow {
    const char* Name;
    const char* Fen;
    int Depth;
    // The move that must come first, or null.
    const char* First;
    // A move that must not come first, or null.
    const char* NotFirst;
};

std::string FirstMove(const TMoveList& candidates) {
    const TMoveRecord* first = candidates.First();
    return first ? SquareName(first->From) + SquareName(first->To) : std::string();
}

void ExpectOutcome(const TOutcomeRow& row, const TMoveList& candidates, const char* search) {
    const std::string first = FirstMove(candidates);
    if (row.First) {
        EXPECT_EQ(first, row.First) << search << ":\n" << CandidateText(candidates);
    }
    if (row.NotFirst) {
        EXPECT_NE(first, row.NotFirst) << search << ":\n" << CandidateText(candidates);
    }
}

class SearchOutcome : public testing::TestWithParam<TOutcomeRow> { };

TEST_P(SearchOutcome, ProductSearchRanksTheLineByItsEnd) {
    const TOutcomeRow& row = GetParam();
    TChessBoard board;
    const TPieceColour side = LoadFen(board, row.Fen);
    TMoveList candidates;
    ASSERT_TRUE(ScoreCandidates(board, side, row.Depth, {}, candidates));
    ExpectOutcome(row, candidates, "search");
}

TEST_P(SearchOutcome, ReferenceSearchAgrees) {
    const TOutcomeRow& row = GetParam();
    if (row.Depth > 4)
        GTEST_SKIP() << "the plain search is too slow at this depth";
    TChessBoard board;
    const TPieceColour side = LoadFen(board, row.Fen);
    TMoveList reference;
    ReferenceCandidates(board, side, row.Depth, {}, reference);
    ExpectOutcome(row, reference, "reference");
    TMoveList candidates;
    ASSERT_TRUE(ScoreCandidates(board, side, row.Depth, {}, candidates));
    EXPECT_EQ(CandidateText(candidates), CandidateText(reference));
}

// One table through the depths 1 to the row's: a mate's value stored at one depth must not come
// back as another distance at the next, so every list equals the search without a table.
TEST_P(SearchOutcome, TableKeptOverTheDepthsChangesNothing) {
    const TOutcomeRow& row = GetParam();
    TChessBoard board;
    const TPieceColour side = LoadFen(board, row.Fen);
    TTranspositionTable table(1 << 20);
    for (int depth = 1; depth <= std::max(row.Depth, 6); ++depth) {
        TMoveList plain, tabled;
        ASSERT_TRUE(ScoreCandidates(board, side, depth, {}, plain));
        TSearchControl control;
        control.Table = &table;
        control.Threads = 2;
        ASSERT_TRUE(ScoreCandidates(board, side, depth, {}, tabled, control));
        ASSERT_EQ(CandidateText(tabled), CandidateText(plain)) << "depth " << depth;
    }
}

INSTANTIATE_TEST_SUITE_P(Endings, SearchOutcome,
    testing::Values(
        // The king's step to h6 leaves the lone king no move.
        TOutcomeRow { "QueenUpAvoidsStalemateByKingMove", "7k/8/6K1/8/8/8/8/6Q1 w - - 0 1", 1,
            nullptr, "g6h6" },
        TOutcomeRow { "QueenUpAvoidsStalemateAtDepthThree", "7k/8/6K1/8/8/8/8/6Q1 w - - 0 1", 3,
            nullptr, "g6h6" },
        // A game against an engine: 47. Ra5 stalemated with two rooks and a knight up.
        TOutcomeRow { "RooksUpAvoidStalemateAtDepthEight",
            "8/5R2/3kp3/4N3/8/1K2P1P1/R7/8 w - - 1 47", 8, nullptr, "a2a5" },
        // Taking the rook leaves the king no move; Ra2+ mates in two.
        TOutcomeRow { "CaptureThatStalematesLosesToMateInTwo", "k1K5/3r4/8/8/3Q4/8/6R1/8 w - - 0 1",
            2, "g2a2", "d4d7" },
        // Rxa2+ wins a rook and mates later; Qb7 mates at once.
        TOutcomeRow { "MateInOneBeforeMateInThreeThatWinsARook", "k7/3Q4/8/8/7K/8/rR6/8 w - - 0 1",
            2, "d7b7", "b2a2" },
        TOutcomeRow { "MateInOneBeforeMateInThreeAtDepthThree", "k7/3Q4/8/8/7K/8/rR6/8 w - - 0 1",
            3, "d7b7", "b2a2" },
        TOutcomeRow {
            "MateInTwoBeforeMateInFour", "k7/8/3N4/7R/6R1/8/8/7K w - - 0 1", 2, "g4g7", "g4a4" },
        // Black, a queen and a bishop down, offers the rook: Kxh3 stalemates.
        TOutcomeRow {
            "SideBehindSeeksStalemate", "8/3B4/8/8/8/1Q4K1/7r/k7 b - - 0 1", 2, "h2h3", nullptr },
        TOutcomeRow { "SideBehindSeeksStalemateByRookOffer", "k7/6R1/1R6/8/8/8/1K6/3r4 b - - 0 1",
            1, "d1b1", nullptr }),
    [](const testing::TestParamInfo<TOutcomeRow>& info) { return std::string(info.param.Name); });

} // namespace
