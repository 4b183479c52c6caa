#include "Commands.h"
#include "Fen.h"
#include "ReferenceSearch.h"
#include "TestPositions.h"
#include "UnitChessAI.h"

#include <chrono>
#include <cstdio>
#include <iostream>
#include <memory>
#include <thread>

namespace {

struct TBenchPosition {
    const char* Name;
    const char* Fen;
};

const TBenchPosition BenchPositions[] = {
    { "opening", "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1" },
    { "italian", "r1bqk1nr/pppp1ppp/2n5/2b1p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 4 4" },
    { "kiwipete-w", "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1" },
    { "kiwipete-b", "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R b KQkq - 0 1" },
    { "middlegame", "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1" },
    { "promotion", "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8" },
    { "rook-ending", "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1" },
    { "pawn-ending", "8/5k2/3p4/1p1Pp2p/pP2Pp1P/P4P1K/8/8 b - - 0 1" },
};

double Seconds(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// How long Cancel and destruction take while the worker is deep in a depth-8 search.
void MeasureStopping() {
    std::printf("\nstopping a depth-8 search after 300 ms:\n");
    for (const TBenchPosition& position : BenchPositions) {
        TChessBoard board;
        const TPieceColour side = LoadFen(board, position.Fen);
        double cancelMs = -1;
        double destroyMs = -1;
        for (bool destroy : { false, true }) {
            auto ai = std::make_unique<TChessAI>(board, [](std::function<void()>) {});
            ai->SetDepth(8);
            ai->Think(side, 0);
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            if (ai->ProgressTotal() == 0 || ai->ProgressDone() == ai->ProgressTotal())
                continue;
            const auto start = std::chrono::steady_clock::now();
            if (destroy)
                ai.reset();
            else
                ai->Cancel();
            (destroy ? destroyMs : cancelMs) = Seconds(start) * 1000;
        }
        if (cancelMs < 0 || destroyMs < 0)
            std::printf("%-12s the search ended before it could be stopped\n", position.Name);
        else
            std::printf(
                "%-12s cancel %.3f ms, destroy %.3f ms\n", position.Name, cancelMs, destroyMs);
    }
}

} // namespace

int CmdSearch(const TArgs& args) {
    if (args.size() < 2 || args.size() > 3)
        throw EUsageError("usage: wintermoot-cli search FEN DEPTH [LASTFROM]");
    TChessBoard board;
    const TPieceColour side = SetUpFen(board, args[0]);
    const int depth = ParseInt(args[1], "DEPTH", 0, 10);
    const TPoint lastFrom = args.size() == 3 ? ParseSquare(args[2]) : TPoint {};
    TMoveList candidates;
    ScoreCandidates(board, side, depth, lastFrom, candidates);
    for (const TMoveRecord* m = candidates.First(); m; m = m->Next)
        std::cout << MoveText(m->From, m->To) << ' ' << m->Score << '\n';
    std::cout << "count " << candidates.Count() << '\n';
    return 0;
}

int CmdBench(const TArgs& args) {
    int referenceMaxDepth = 5;
    int maxDepth = 8;
    int minDepth = 3;
    ParseIntOptions(args,
        { { "--min-depth", &minDepth, 0, 12 }, { "--max-depth", &maxDepth, 0, 12 },
            { "--reference-max-depth", &referenceMaxDepth, -1, 12 } });

    std::printf("%-12s %5s %14s %14s %8s %12s %12s %5s\n", "position", "depth", "reference ms",
        "product ms", "ratio", "nodes", "nodes/s", "same");
    bool allSame = true;
    for (const TBenchPosition& position : BenchPositions) {
        for (int depth = minDepth; depth <= maxDepth; ++depth) {
            TChessBoard board;
            const TPieceColour side = LoadFen(board, position.Fen);
            long long nodes = 0;
            TSearchControl control;
            control.Nodes = &nodes;
            TMoveList product;
            auto start = std::chrono::steady_clock::now();
            ScoreCandidates(board, side, depth, TPoint {}, product, control);
            const double productSeconds = Seconds(start);
            const double nodesPerSecond = productSeconds > 0 ? nodes / productSeconds : 0;
            if (depth > referenceMaxDepth) {
                std::printf("%-12s %5d %14s %14.3f %8s %12lld %12.0f %5s\n", position.Name, depth,
                    "-", productSeconds * 1000, "-", nodes, nodesPerSecond, "-");
                std::fflush(stdout);
                continue;
            }
            TMoveList reference;
            start = std::chrono::steady_clock::now();
            ReferenceCandidates(board, side, depth, TPoint {}, reference);
            const double referenceSeconds = Seconds(start);
            bool same = reference.Count() == product.Count();
            for (const TMoveRecord *a = reference.First(), *b = product.First(); same && a && b;
                 a = a->Next, b = b->Next)
                same = a->From == b->From && a->To == b->To && a->Score == b->Score;
            allSame = allSame && same;
            std::printf("%-12s %5d %14.3f %14.3f %8.1f %12lld %12.0f %5s\n", position.Name, depth,
                referenceSeconds * 1000, productSeconds * 1000,
                productSeconds > 0 ? referenceSeconds / productSeconds : 0.0, nodes, nodesPerSecond,
                same ? "yes" : "NO");
            std::fflush(stdout);
        }
    }
    MeasureStopping();
    if (!allSame) {
        std::printf("the product search differs from the reference\n");
        return 1;
    }
    return 0;
}

int CmdVerify(const TArgs& args) {
    int count = 20000;
    int maxDepth = 2;
    int seed = 1;
    ParseIntOptions(args,
        { { "--positions", &count, 1, 1000000 }, { "--max-depth", &maxDepth, 0, 6 },
            { "--seed", &seed, 0, 2147483647 } });
    const std::vector<TTestPosition> positions = MakeTestPositions(count, uint32_t(seed));
    long long compared = 0;
    int differing = 0;
    for (size_t i = 0; i < positions.size(); ++i) {
        TChessBoard& board = *positions[i].Board;
        // Every other search follows a previous move that started on the square in the middle.
        const TPoint lastFrom
            = i % 2 ? MakePoint(4 + int(i / 2) % 2, 4 + int(i / 4) % 2) : TPoint {};
        for (int depth = 0; depth <= maxDepth; ++depth) {
            TMoveList reference;
            TMoveList product;
            ReferenceCandidates(board, positions[i].ToMove, depth, lastFrom, reference);
            ScoreCandidates(board, positions[i].ToMove, depth, lastFrom, product);
            bool same = reference.Count() == product.Count();
            for (const TMoveRecord *a = reference.First(), *b = product.First(); same && a && b;
                 a = a->Next, b = b->Next)
                same = a->From == b->From && a->To == b->To && a->Score == b->Score;
            ++compared;
            if (!same) {
                ++differing;
                std::printf("differs at depth %d: %s\n", depth, Describe(positions[i]).c_str());
            }
        }
        if ((i + 1) % 1000 == 0) {
            std::printf("%zu positions\n", i + 1);
            std::fflush(stdout);
        }
    }
    std::printf("%lld searches compared, %d differ\n", compared, differing);
    return differing ? 1 : 0;
}
