// The search shared out over threads and answered in part from the transposition table: the
// candidate lists must stay those of the plain reference for every thread count and table size,
// including a table so small that every store replaces another node, and a table kept from one
// position to the next.

#include "Fen.h"
#include "ReferenceSearch.h"
#include "ReplySearch.h"
#include "TestPositions.h"
#include "TranspositionTable.h"
#include "UnitChessAI.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <thread>

namespace {

#ifdef WINTERMOOT_SANITIZE_BUILD
constexpr int PositionCount = 30;
#else
constexpr int PositionCount = 150;
#endif

std::string Search(TChessBoard& board, TPieceColour colour, int depth, TPoint lastFrom, int threads,
    TTranspositionTable* table, TSearchStats* stats = nullptr) {
    TSearchControl control;
    control.Threads = threads;
    control.Table = table;
    control.Stats = stats;
    TMoveList candidates;
    EXPECT_TRUE(ScoreCandidates(board, colour, depth, lastFrom, candidates, control));
    return CandidateText(candidates);
}

std::string Reference(TChessBoard& board, TPieceColour colour, int depth, TPoint lastFrom) {
    TMoveList candidates;
    ReferenceCandidates(board, colour, depth, lastFrom, candidates);
    return CandidateText(candidates);
}

struct TSharingRow {
    const char* Name;
    int Threads;
    size_t TableBytes;
    friend void PrintTo(const TSharingRow& row, std::ostream* os) { *os << row.Name; }
};

class SharedSearchMatchesReference : public testing::TestWithParam<TSharingRow> { };

// One table serves every position of the run, so a value that leaked from one position, en
// passant state or depth into another would show as a difference.
TEST_P(SharedSearchMatchesReference, OnSampledPositionsAtDepthsOneToThree) {
    const TSharingRow& row = GetParam();
    const auto table = row.TableBytes ? std::make_unique<TTranspositionTable>(row.TableBytes)
                                      : std::unique_ptr<TTranspositionTable>();
    const std::vector<TTestPosition> positions = MakeTestPositions(PositionCount, 77);
    for (size_t i = 0; i < positions.size(); ++i) {
        TChessBoard& board = *positions[i].Board;
        const TPoint lastFrom = i % 3 ? TPoint {} : MakePoint(1 + int(i) % 8, 3 + int(i) % 4);
        for (int depth = 1; depth <= (i % 10 == 0 ? 3 : 2); ++depth) {
            ASSERT_EQ(Search(board, positions[i].ToMove, depth, lastFrom, row.Threads, table.get()),
                Reference(board, positions[i].ToMove, depth, lastFrom))
                << "depth " << depth << ", " << Describe(positions[i]);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(ThreadsAndTables, SharedSearchMatchesReference,
    testing::Values(TSharingRow { "OneThreadNoTable", 1, 0 },
        TSharingRow { "TwoThreadsNoTable", 2, 0 }, TSharingRow { "OneThreadOneBucket", 1, 1 },
        TSharingRow { "ThreeThreadsOneBucket", 3, 1 },
        TSharingRow { "TwoThreadsSixteenKilobytes", 2, 16 << 10 },
        TSharingRow { "FourThreadsOneMegabyte", 4, 1 << 20 }),
    [](const testing::TestParamInfo<TSharingRow>& info) { return std::string(info.param.Name); });

// Deeper searches, where transpositions and early returns are frequent, against the search on one
// thread without a table (itself checked against the reference at lower depths and by the bench).
TEST(SharedSearch, DeepSearchesAgreeForEveryThreadCountAndTableSize) {
#ifdef WINTERMOOT_SANITIZE_BUILD
    const int depth = 5;
#else
    const int depth = 6;
#endif
    TTranspositionTable small(4 << 10);
    TTranspositionTable large(8 << 20);
    for (int i = 0; i < PublishedFenCount; ++i) {
        TChessBoard board;
        const TPieceColour side = LoadFen(board, PublishedFens[i]);
        const std::string plain = Search(board, side, depth, {}, 1, nullptr);
        EXPECT_EQ(Search(board, side, depth, {}, 2, nullptr), plain) << PublishedFens[i];
        EXPECT_EQ(Search(board, side, depth, {}, 1, &small), plain) << PublishedFens[i];
        EXPECT_EQ(Search(board, side, depth, {}, 3, &small), plain) << PublishedFens[i];
        EXPECT_EQ(Search(board, side, depth, {}, 2, &large), plain) << PublishedFens[i];
        // The same search again, answered largely from the table this time.
        EXPECT_EQ(Search(board, side, depth, {}, 2, &large), plain) << PublishedFens[i];
    }
}

// The same placement with and without an en passant capture available, searched through one
// table in both orders: the capture changes the values, so neither may answer for the other.
TEST(SharedSearch, KeepsPositionsApartThatDifferOnlyInEnPassant) {
    const char* const withCapture = "rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPP1PPP/RNBQKBNR w KQkq f6 0 3";
    const char* const without = "rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPP1PPP/RNBQKBNR w KQkq - 0 3";
    for (bool capturesFirst : { true, false }) {
        TTranspositionTable table(1 << 20);
        for (const char* fen : capturesFirst ? std::vector { withCapture, without }
                                             : std::vector { without, withCapture }) {
            TChessBoard board;
            const TPieceColour side = LoadFen(board, fen);
            EXPECT_EQ(Search(board, side, 3, {}, 2, &table), Reference(board, side, 3, {})) << fen;
        }
    }
    TChessBoard a, b;
    LoadFen(a, withCapture);
    LoadFen(b, without);
    EXPECT_NE(Reference(a, pcWhite, 1, {}), Reference(b, pcWhite, 1, {}));
}

TEST(SharedSearch, CountsNodesAndTableUse) {
    TChessBoard board;
    const TPieceColour side = LoadFen(board, PublishedFens[1]);
    TTranspositionTable table(1 << 20);
    TSearchStats first, second;
    Search(board, side, 4, {}, 2, &table, &first);
    Search(board, side, 4, {}, 2, &table, &second);
    EXPECT_GT(first.Nodes, 1000);
    EXPECT_GT(first.TableProbes, 0);
    EXPECT_LE(first.TableHits, first.TableProbes);
    // The second search finds the root replies themselves in the table.
    EXPECT_LT(second.Nodes, first.Nodes / 4);
    EXPECT_GT(second.TableHits, 0);
}

// Nodes of random play, each with a value that is a function of its packed form.
struct TKnownNode {
    TTranspositionTable::TNode Node;
    int Value;
};

std::vector<TKnownNode> KnownNodes(int count) {
    std::vector<TKnownNode> nodes;
    std::mt19937 rng(3);
    const std::vector<TTestPosition> positions = MakeTestPositions(count, 11);
    for (const TTestPosition& position : positions) {
        const TFastBoard fast(*position.Board);
        const int depth = 1 + int(rng() % TTranspositionTable::MaxDepth);
        TKnownNode known { TTranspositionTable::Pack(fast, position.ToMove, depth), 0 };
        known.Value = int(known.Node.Pieces[0] % 20011) - 10000 + depth;
        nodes.push_back(known);
    }
    return nodes;
}

TEST(TranspositionTable, AnswersOnlyForTheVeryNodeStored) {
    TChessBoard board;
    LoadFen(board, PublishedFens[1]);
    const TFastBoard fast(board);
    TTranspositionTable table(1);
    const auto node = TTranspositionTable::Pack(fast, pcWhite, 4);
    ASSERT_TRUE(node.Storable);
    table.Store(node, { -123, true });
    TTranspositionTable::TValue value;
    ASSERT_TRUE(table.Probe(node, value));
    EXPECT_EQ(value.Value, -123);
    EXPECT_TRUE(value.Exact);
    // Same placement and bucket, other colour or depth: not the same node.
    EXPECT_FALSE(table.Probe(TTranspositionTable::Pack(fast, pcBlack, 4), value));
    EXPECT_FALSE(table.Probe(TTranspositionTable::Pack(fast, pcWhite, 5), value));
    // A piece that has moved differs from one that has not, even on the same square.
    TChessBoard moved;
    LoadFen(moved, PublishedFens[1]);
    moved.MovePiece(MakePoint(1, 1), MakePoint(2, 1), true);
    moved.MovePiece(MakePoint(1, 7), MakePoint(1, 6), true);
    moved.MovePiece(MakePoint(2, 1), MakePoint(1, 1), true);
    EXPECT_FALSE(table.Probe(TTranspositionTable::Pack(TFastBoard(moved), pcWhite, 4), value));
    table.Store(node, { 57, false });
    ASSERT_TRUE(table.Probe(node, value));
    EXPECT_EQ(value.Value, 57);
    EXPECT_FALSE(value.Exact);
    EXPECT_FALSE(TTranspositionTable::Pack(fast, pcWhite, 0).Storable);
    EXPECT_FALSE(
        TTranspositionTable::Pack(fast, pcWhite, TTranspositionTable::MaxDepth + 1).Storable);
}

// Threads store and probe the same small table at once; every answer must be the value stored
// for exactly that node, never a mix of two entries written at the same time.
TEST(TranspositionTable, ConcurrentStoresNeverGiveAWrongValue) {
    const std::vector<TKnownNode> nodes = KnownNodes(300);
    TTranspositionTable table(8 << 10);
    std::atomic<long long> wrong { 0 }, hits { 0 };
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            std::mt19937 rng(t);
            for (int i = 0; i < 40000; ++i) {
                const TKnownNode& known = nodes[rng() % nodes.size()];
                TTranspositionTable::TValue value;
                if (rng() % 2) {
                    table.Store(known.Node, { known.Value, true });
                } else if (table.Probe(known.Node, value)) {
                    ++hits;
                    if (value.Value != known.Value || !value.Exact)
                        ++wrong;
                }
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_GT(hits.load(), 0);
}

} // namespace
