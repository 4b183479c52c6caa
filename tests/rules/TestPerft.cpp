#include "Perft.h"
#include "RulesTestSupport.h"

#include <gtest/gtest.h>

struct PerftRow {
    std::string Name;
    friend void PrintTo(const PerftRow& row, std::ostream* os) { *os << row.Name; }
    std::string Fen;
    // Published leaf counts for depth 1, 2, ...
    std::vector<uint64_t> Counts;
};

class PerftTest : public testing::TestWithParam<PerftRow> { };

// The counts prove move generation, castling, en passant and promotion; the unchanged board after
// each run proves that UndoMove restores every position it passed through.
TEST_P(PerftTest, MatchesPublishedCountsAndRestoresTheBoard) {
    TChessBoard board;
    const TPieceColour side = LoadFen(board, GetParam().Fen);
    const std::string before = Snapshot(board);
    for (size_t depth = 1; depth <= GetParam().Counts.size(); ++depth) {
        EXPECT_EQ(Perft(board, side, int(depth)), GetParam().Counts[depth - 1])
            << "depth " << depth;
        ASSERT_EQ(Snapshot(board), before) << "depth " << depth;
    }
}

INSTANTIATE_TEST_SUITE_P(Published, PerftTest,
    testing::Values(PerftRow { "StartPosition", StartFen, { 20, 400, 8902, 197281 } },
        PerftRow { "Kiwipete",
            "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
            { 48, 2039, 97862 } },
        PerftRow { "Position3EnPassantPins", "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
            { 14, 191, 2812, 43238 } },
        PerftRow { "Position4Promotions",
            "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1", { 6, 264, 9467 } },
        PerftRow { "Position5PromotionWithCheck",
            "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8", { 44, 1486, 62379 } },
        PerftRow { "Position6Middlegame",
            "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10",
            { 46, 2079, 89890 } }),
    RowName());

TEST(Perft, DepthZeroIsOneLeaf) {
    TChessBoard board;
    EXPECT_EQ(Perft(board, pcWhite, 0), 1u);
}
