#include "Commands.h"
#include "Fen.h"
#include "ReferenceSearch.h"
#include "ReplySearch.h"
#include "TestPositions.h"
#include "TranspositionTable.h"
#include "UnitChessAI.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <memory>
#include <sys/resource.h>
#include <thread>

const std::vector<TBenchPosition>& BenchPositions() {
    static const std::vector<TBenchPosition> positions = {
        { "opening", "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1" },
        { "italian", "r1bqk1nr/pppp1ppp/2n5/2b1p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 4 4" },
        { "kiwipete-w", "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1" },
        { "kiwipete-b", "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R b KQkq - 0 1" },
        { "middlegame", "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1" },
        { "promotion", "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8" },
        { "rook-ending", "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1" },
        { "pawn-ending", "8/5k2/3p4/1p1Pp2p/pP2Pp1P/P4P1K/8/8 b - - 0 1" },
    };
    return positions;
}

namespace {

double Seconds(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// How long Cancel and destruction take while the worker is deep in a depth-8 search.
void MeasureStopping() {
    std::printf("\nstopping a depth-8 search after 300 ms:\n");
    for (const TBenchPosition& position : BenchPositions()) {
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

namespace {

constexpr int TableMegabytesLimit = 4096;

std::unique_ptr<TTranspositionTable> MakeTable(int megabytes) {
    if (megabytes == 0)
        return nullptr;
    return std::make_unique<TTranspositionTable>(size_t(megabytes) << 20);
}

// Splits the leading arguments that are not options from the "--name value" pairs after them.
TArgs TakePositional(const TArgs& args, TArgs& options) {
    TArgs positional;
    size_t i = 0;
    for (; i < args.size() && args[i].rfind("--", 0) != 0; ++i)
        positional.push_back(args[i]);
    options.assign(args.begin() + long(i), args.end());
    return positional;
}

// Removes a flag without a value; answers whether it was there.
bool TakeFlag(TArgs& options, const std::string& flag) {
    const auto found = std::find(options.begin(), options.end(), flag);
    if (found == options.end())
        return false;
    options.erase(found);
    return true;
}

bool SameList(const TMoveList& a, const TMoveList& b) {
    bool same = a.Count() == b.Count();
    for (const TMoveRecord *x = a.First(), *y = b.First(); same && x && y; x = x->Next, y = y->Next)
        same = x->From == y->From && x->To == y->To && x->Score == y->Score;
    return same;
}

long PeakResidentKilobytes() {
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

struct TTimedSearch {
    TMoveList Candidates;
    TSearchStats Stats;
    double Milliseconds = 0;
};

// One search with a table emptied beforehand, so that no run profits from an earlier one.
void TimeSearch(const TChessBoard& board, TPieceColour side, int depth, int threads,
    TTranspositionTable* table, TTimedSearch& result) {
    if (table)
        table->Clear();
    TSearchControl control;
    control.Threads = threads;
    control.Table = table;
    control.Stats = &result.Stats;
    const auto start = std::chrono::steady_clock::now();
    ScoreCandidates(board, side, depth, TPoint {}, result.Candidates, control);
    result.Milliseconds = Seconds(start) * 1000;
}

std::string HitRate(const TSearchStats& stats) {
    char text[32];
    if (stats.TableProbes == 0)
        return "-";
    std::snprintf(text, sizeof text, "%.1f%%", 100.0 * stats.TableHits / stats.TableProbes);
    return text;
}

} // namespace

int CmdSearch(const TArgs& args) {
    TArgs options;
    const TArgs positional = TakePositional(args, options);
    if (positional.size() < 2 || positional.size() > 3)
        throw EUsageError("usage: wintermoot-cli search FEN DEPTH [LASTFROM] [--threads N] "
                          "[--table-mb M] [--stats]");
    const bool printStats = TakeFlag(options, "--stats");
    int threads = 1;
    int tableMegabytes = 0;
    ParseIntOptions(options,
        { { "--threads", &threads, 0, 256 },
            { "--table-mb", &tableMegabytes, 0, TableMegabytesLimit } });
    TChessBoard board;
    const TPieceColour side = SetUpFen(board, positional[0]);
    const int depth = ParseInt(positional[1], "DEPTH", 0, 10);
    const TPoint lastFrom = positional.size() == 3 ? ParseSquare(positional[2]) : TPoint {};
    const std::unique_ptr<TTranspositionTable> table = MakeTable(tableMegabytes);
    TMoveList candidates;
    TSearchStats stats;
    TSearchControl control;
    control.Threads = threads;
    control.Table = table.get();
    control.Stats = &stats;
    const auto start = std::chrono::steady_clock::now();
    ScoreCandidates(board, side, depth, lastFrom, candidates, control);
    const double milliseconds = Seconds(start) * 1000;
    for (const TMoveRecord* m = candidates.First(); m; m = m->Next)
        std::cout << MoveText(m->From, m->To) << ' ' << m->Score << '\n';
    std::cout << "count " << candidates.Count() << '\n';
    if (printStats) {
        std::printf("time %.3f ms, threads %d, nodes %lld, table %d MB, probes %lld, hits %lld "
                    "(%s), peak resident %ld KB\n",
            milliseconds, threads > 0 ? threads : HardwareThreads(), stats.Nodes, tableMegabytes,
            stats.TableProbes, stats.TableHits, HitRate(stats).c_str(), PeakResidentKilobytes());
    }
    return 0;
}

int CmdBench(const TArgs& args) {
    int referenceMaxDepth = 5;
    int maxDepth = 8;
    int minDepth = 3;
    int threads = HardwareThreads();
    int tableMegabytes = int(TTranspositionTable::DefaultBytes >> 20);
    int untabledMaxDepth = 8;
    ParseIntOptions(args,
        { { "--min-depth", &minDepth, 0, 12 }, { "--max-depth", &maxDepth, 0, 12 },
            { "--reference-max-depth", &referenceMaxDepth, -1, 12 },
            { "--untabled-max-depth", &untabledMaxDepth, -1, 12 },
            { "--threads", &threads, 1, 256 },
            { "--table-mb", &tableMegabytes, 0, TableMegabytesLimit } });
    const std::unique_ptr<TTranspositionTable> table = MakeTable(tableMegabytes);

    std::printf("threads %d, table %d MB from depth %d on; times in ms; \"plain\" is the reference "
                "algorithm, \"untabled\" this search on one thread without the table\n",
        threads, tableMegabytes, TTranspositionTable::MinSearchDepth);
    const std::string manyThreads = std::to_string(threads) + " threads";
    std::printf("%-12s %5s %11s %11s %11s %11s %8s %8s %7s %11s %7s %5s\n", "position", "depth",
        "plain", "untabled", "1 thread", manyThreads.c_str(), "x plain", "x untab", "x thr",
        "nodes", "hits", "same");
    bool allSame = true;
    for (const TBenchPosition& position : BenchPositions()) {
        for (int depth = minDepth; depth <= maxDepth; ++depth) {
            TChessBoard board;
            const TPieceColour side = LoadFen(board, position.Fen);
            // The table only where the computer player uses it.
            TTranspositionTable* const used
                = depth >= TTranspositionTable::MinSearchDepth ? table.get() : nullptr;
            TTimedSearch one, many;
            TimeSearch(board, side, depth, 1, used, one);
            TimeSearch(board, side, depth, threads, used, many);
            bool same = SameList(one.Candidates, many.Candidates);
            std::string plainText = "-", untabledText = "-", plainRatio = "-", untabledRatio = "-";
            char text[32];
            if (depth <= untabledMaxDepth) {
                TTimedSearch untabled;
                TimeSearch(board, side, depth, 1, nullptr, untabled);
                same = same && SameList(one.Candidates, untabled.Candidates);
                std::snprintf(text, sizeof text, "%.3f", untabled.Milliseconds);
                untabledText = text;
                std::snprintf(text, sizeof text, "%.1f", untabled.Milliseconds / one.Milliseconds);
                untabledRatio = text;
            }
            if (depth <= referenceMaxDepth) {
                TMoveList reference;
                const auto start = std::chrono::steady_clock::now();
                ReferenceCandidates(board, side, depth, TPoint {}, reference);
                const double referenceMs = Seconds(start) * 1000;
                same = same && SameList(one.Candidates, reference);
                std::snprintf(text, sizeof text, "%.3f", referenceMs);
                plainText = text;
                std::snprintf(text, sizeof text, "%.1f", referenceMs / one.Milliseconds);
                plainRatio = text;
            }
            allSame = allSame && same;
            std::printf("%-12s %5d %11s %11s %11.3f %11.3f %8s %8s %7.2f %11lld %7s %5s\n",
                position.Name, depth, plainText.c_str(), untabledText.c_str(), one.Milliseconds,
                many.Milliseconds, plainRatio.c_str(), untabledRatio.c_str(),
                one.Milliseconds / many.Milliseconds, one.Stats.Nodes, HitRate(one.Stats).c_str(),
                same ? "yes" : "NO");
            std::fflush(stdout);
        }
    }
    std::printf("peak resident %ld KB\n", PeakResidentKilobytes());
    MeasureStopping();
    if (!allSame) {
        std::printf("the searches' answers differ\n");
        return 1;
    }
    return 0;
}

int CmdVerify(const TArgs& args) {
    int count = 20000;
    int maxDepth = 2;
    int seed = 1;
    int threads = 1;
    int tableKilobytes = 0;
    ParseIntOptions(args,
        { { "--positions", &count, 1, 1000000 }, { "--max-depth", &maxDepth, 0, 6 },
            { "--seed", &seed, 0, 2147483647 }, { "--threads", &threads, 0, 256 },
            { "--table-kb", &tableKilobytes, 0, TableMegabytesLimit << 10 } });
    const std::vector<TTestPosition> positions = MakeTestPositions(count, uint32_t(seed));
    // One table for the whole run: its entries stay true from one position to the next, so the
    // run also checks that nothing stale is ever answered.
    std::unique_ptr<TTranspositionTable> table;
    if (tableKilobytes > 0)
        table = std::make_unique<TTranspositionTable>(size_t(tableKilobytes) << 10);
    long long compared = 0;
    int differing = 0;
    TSearchStats stats;
    for (size_t i = 0; i < positions.size(); ++i) {
        TChessBoard& board = *positions[i].Board;
        // Every other search follows a previous move that started on the square in the middle.
        const TPoint lastFrom
            = i % 2 ? MakePoint(4 + int(i / 2) % 2, 4 + int(i / 4) % 2) : TPoint {};
        for (int depth = 0; depth <= maxDepth; ++depth) {
            TMoveList reference;
            TMoveList product;
            ReferenceCandidates(board, positions[i].ToMove, depth, lastFrom, reference);
            TSearchControl control;
            control.Threads = threads;
            control.Table = table.get();
            control.Stats = &stats;
            ScoreCandidates(board, positions[i].ToMove, depth, lastFrom, product, control);
            ++compared;
            if (!SameList(reference, product)) {
                ++differing;
                std::printf("differs at depth %d: %s\n", depth, Describe(positions[i]).c_str());
            }
        }
        if ((i + 1) % 1000 == 0) {
            std::printf("%zu positions\n", i + 1);
            std::fflush(stdout);
        }
    }
    std::printf("%lld searches compared, %d differ (threads %d, table %d KB, probes %lld, hits "
                "%lld)\n",
        compared, differing, threads > 0 ? threads : HardwareThreads(), tableKilobytes,
        stats.TableProbes, stats.TableHits);
    return differing ? 1 : 0;
}
