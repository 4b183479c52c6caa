#include "Commands.h"
#include "Fen.h"
#include "ReplySearch.h"
#include "TranspositionTable.h"
#include "UciEngine.h"
#include "UnitChessAI.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <unistd.h>

namespace {

using TClock = std::chrono::steady_clock;

double MillisecondsSince(TClock::time_point start) {
    return std::chrono::duration<double, std::milli>(TClock::now() - start).count();
}

// An engine in this process whose output lines are kept with the time each was written.
class TTimedEngine {
public:
    explicit TTimedEngine(int threads) {
        Engine.HandleLine("setoption name Threads value " + std::to_string(threads));
    }

    // Waits for the next line starting with `prefix`; false after `timeoutMs`.
    bool WaitFor(const std::string& prefix, double timeoutMs, TClock::time_point* when = nullptr,
        std::string* text = nullptr) {
        std::unique_lock lock(m_Mutex);
        const bool found
            = m_Added.wait_for(lock, std::chrono::microseconds((long long)(timeoutMs * 1000)), [&] {
                  for (; m_Read < m_Lines.size(); ++m_Read) {
                      if (m_Lines[m_Read].rfind(prefix, 0) == 0)
                          return true;
                  }
                  return false;
              });
        if (found) {
            if (when)
                *when = m_Times[m_Read];
            if (text)
                *text = m_Lines[m_Read];
            ++m_Read;
        }
        return found;
    }

private:
    std::mutex m_Mutex;
    std::condition_variable m_Added;
    std::vector<std::string> m_Lines;
    std::vector<TClock::time_point> m_Times;
    size_t m_Read = 0;

public:
    TUciEngine Engine { [this](const std::string& line) {
        {
            std::lock_guard lock(m_Mutex);
            m_Lines.push_back(line);
            m_Times.push_back(TClock::now());
        }
        m_Added.notify_all();
    } };
};

long long NodesOf(const std::string& info) {
    const size_t at = info.find(" nodes ");
    return at == std::string::npos ? 0 : std::stoll(info.substr(at + 7));
}

} // namespace

int CmdUci(const TArgs& args) {
    if (!args.empty())
        throw EUsageError("usage: wintermoot-cli uci");
    return RunUciLoop(STDIN_FILENO, stdout);
}

int CmdBenchEngine(const TArgs& args) {
    int threads = 1;
    int maxDepth = 6;
    int stopMaxDepth = 8;
    int repeat = 5;
    ParseIntOptions(args,
        { { "--threads", &threads, 1, TUciEngine::MaxThreads }, { "--repeat", &repeat, 1, 100 },
            { "--max-depth", &maxDepth, 1, 10 }, { "--stop-max-depth", &stopMaxDepth, 2, 10 } });

    std::printf(
        "threads %d; times in ms; \"search\" is one search of that depth as wintermoot-cli "
        "search runs it, \"go depth\" the engine's answer to it (depth 1, then that depth); "
        "the fastest of %d runs\n",
        threads, repeat);
    std::printf("%-12s %5s %11s %11s %8s %12s %11s\n", "position", "depth", "search", "go depth",
        "ratio", "nodes", "nps");
    double totalSearch = 0, totalGo = 0;
    for (const TBenchPosition& position : BenchPositions()) {
        for (int depth = 3; depth <= maxDepth; ++depth) {
            // The fastest of several runs, each with a table of its own where one is used, so
            // that neither side profits from an earlier run or suffers from other processes.
            double searchMs = 1e300, goMs = 1e300;
            long long nodes = 0;
            for (int run = 0; run < repeat; ++run) {
                TChessBoard board;
                const TPieceColour side = LoadFen(board, position.Fen);
                std::unique_ptr<TTranspositionTable> table;
                if (depth >= TTranspositionTable::MinSearchDepth)
                    table = std::make_unique<TTranspositionTable>();
                TMoveList candidates;
                TSearchControl control;
                control.Threads = threads;
                control.Table = table.get();
                auto start = TClock::now();
                ScoreCandidates(board, side, depth, TPoint {}, candidates, control);
                searchMs = std::min(searchMs, MillisecondsSince(start));

                TTimedEngine engine(threads);
                engine.Engine.HandleLine(std::string("position fen ") + position.Fen);
                start = TClock::now();
                engine.Engine.HandleLine("go depth " + std::to_string(depth));
                TClock::time_point answered;
                std::string info;
                engine.WaitFor("info depth " + std::to_string(depth) + " ", 600000, nullptr, &info);
                engine.WaitFor("bestmove", 600000, &answered);
                goMs = std::min(
                    goMs, std::chrono::duration<double, std::milli>(answered - start).count());
                nodes = NodesOf(info);
            }
            totalSearch += searchMs;
            totalGo += goMs;
            std::printf("%-12s %5d %11.3f %11.3f %8.3f %12lld %11.0f\n", position.Name, depth,
                searchMs, goMs, goMs / searchMs, nodes, nodes / std::max(goMs, 1e-3) * 1000);
            std::fflush(stdout);
        }
    }
    std::printf("all positions: search %.1f ms, go depth %.1f ms, ratio %.3f\n", totalSearch,
        totalGo, totalGo / totalSearch);

    std::printf("\nstop -> bestmove while the given depth is being searched (go infinite, stop "
                "once the depth before it is reported):\n");
    std::printf("%-12s %5s %11s\n", "position", "depth", "latency");
    double worst = 0;
    for (const TBenchPosition& position : BenchPositions()) {
        for (int depth = 2; depth <= stopMaxDepth; depth += 2) {
            TTimedEngine engine(threads);
            engine.Engine.HandleLine(std::string("position fen ") + position.Fen);
            engine.Engine.HandleLine("go infinite");
            if (!engine.WaitFor("info depth " + std::to_string(depth - 1) + " ", 60000)) {
                engine.Engine.HandleLine("stop");
                std::printf("%-12s %5d %11s\n", position.Name, depth, "(too slow)");
                continue;
            }
            // Into the depth, but not so far that a shallow one has ended.
            usleep(2000);
            const auto start = TClock::now();
            engine.Engine.HandleLine("stop");
            TClock::time_point answered;
            engine.WaitFor("bestmove", 10000, &answered);
            const double latency
                = std::chrono::duration<double, std::milli>(answered - start).count();
            worst = std::max(worst, latency);
            std::printf("%-12s %5d %11.3f\n", position.Name, depth, latency);
            std::fflush(stdout);
        }
    }
    std::printf("worst stop latency %.3f ms (goal under 50 ms)\n", worst);
    return 0;
}
