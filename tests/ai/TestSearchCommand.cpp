// wintermoot-cli search, run as a user would: the candidate list of the plain reference search
// in its final order, and a clean refusal of bad arguments.

#include "Fen.h"
#include "ReferenceSearch.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <sys/wait.h>

namespace {

struct TRun {
    int Status = -1;
    std::string Out;
};

// Runs the tool through the shell with the given argument text; standard error is dropped
// unless `withErrors`, which merges it into the output.
TRun RunCli(const std::string& arguments, bool withErrors = false) {
    const std::string command
        = std::string(WINTERMOOT_CLI) + " " + arguments + (withErrors ? " 2>&1" : " 2>/dev/null");
    TRun run;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return run;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        run.Out.append(buffer, n);
    const int status = pclose(pipe);
    run.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

std::string Expected(const char* fen, int depth, TPoint lastFrom) {
    TChessBoard board;
    const TPieceColour side = LoadFen(board, fen);
    TMoveList candidates;
    ReferenceCandidates(board, side, depth, lastFrom, candidates);
    std::ostringstream out;
    for (const TMoveRecord* m = candidates.First(); m; m = m->Next)
        out << SquareName(m->From) << SquareName(m->To) << ' ' << m->Score << '\n';
    out << "count " << candidates.Count() << '\n';
    return out.str();
}

TEST(SearchCommand, PrintsTheSortedCandidatesAndTheirCount) {
    const char* fen = "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R b KQkq - 0 1";
    const TRun run = RunCli(std::string("search '") + fen + "' 1");
    EXPECT_EQ(run.Status, 0);
    EXPECT_EQ(run.Out, Expected(fen, 1, {}));
}

TEST(SearchCommand, AppliesTheReturnPenaltyForLastFrom) {
    const TRun run = RunCli(std::string("search '") + StartFen + "' 2 e4");
    EXPECT_EQ(run.Status, 0);
    EXPECT_EQ(run.Out, Expected(StartFen, 2, MakePoint(5, 4)));
    EXPECT_NE(run.Out, Expected(StartFen, 2, {}));
}

TEST(SearchCommand, GivesTheSameListOnEveryThreadCountAndTableSize) {
    const char* fen = "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1";
    const std::string expected = Expected(fen, 3, MakePoint(5, 5));
    for (const char* options : { "--threads 1", "--threads 3 --table-mb 1", "--table-mb 0",
             "--threads 0 --table-mb 64" }) {
        const TRun run = RunCli(std::string("search '") + fen + "' 3 e5 " + options);
        EXPECT_EQ(run.Status, 0) << options;
        EXPECT_EQ(run.Out, expected) << options;
    }
}

TEST(SearchCommand, ReportsTimeNodesTableUseAndMemoryOnRequest) {
    const TRun run
        = RunCli(std::string("search '") + StartFen + "' 4 --threads 2 --table-mb 4 --stats");
    EXPECT_EQ(run.Status, 0);
    const size_t stats = run.Out.rfind("time ");
    ASSERT_NE(stats, std::string::npos) << run.Out;
    const std::string line = run.Out.substr(stats);
    for (const char* part : { " ms, threads 2, nodes ", "table 4 MB, probes ", "peak resident " })
        EXPECT_NE(line.find(part), std::string::npos) << line;
    EXPECT_EQ(run.Out.substr(0, stats), Expected(StartFen, 4, {}));
}

TEST(SearchCommand, ListsNothingForASideWithoutMoves) {
    const TRun run = RunCli("search '7k/5Q2/6K1/8/8/8/8/8 b - - 0 1' 2");
    EXPECT_EQ(run.Status, 0);
    EXPECT_EQ(run.Out, "count 0\n");
}

struct TBadRow {
    const char* Name;
    const char* Arguments;
    friend void PrintTo(const TBadRow& row, std::ostream* os) { *os << row.Name; }
};

class CommandRefuses : public testing::TestWithParam<TBadRow> { };

TEST_P(CommandRefuses, WithStatusTwoAndAMessageNamingIt) {
    const TRun quiet = RunCli(GetParam().Arguments);
    EXPECT_EQ(quiet.Status, 2);
    EXPECT_EQ(quiet.Out, "");
    const TRun loud = RunCli(GetParam().Arguments, true);
    const std::string command
        = std::string(GetParam().Arguments).substr(0, std::string(GetParam().Arguments).find(' '));
    EXPECT_NE(loud.Out.find("wintermoot-cli " + command + ": "), std::string::npos) << loud.Out;
}

INSTANTIATE_TEST_SUITE_P(BadArguments, CommandRefuses,
    testing::Values(TBadRow { "NoArguments", "search" },
        TBadRow { "MissingDepth", "search '8/8/8/8/8/8/8/K6k w - - 0 1'" },
        TBadRow { "MalformedFen", "search 'rnbqkbnr/pppp w' 2" },
        TBadRow { "DepthNotANumber", "search '8/8/8/8/8/8/8/K6k w - - 0 1' two" },
        TBadRow { "NegativeDepth", "search '8/8/8/8/8/8/8/K6k w - - 0 1' -1" },
        TBadRow { "DepthTooLarge", "search '8/8/8/8/8/8/8/K6k w - - 0 1' 99" },
        TBadRow { "LastFromOffTheBoard", "search '8/8/8/8/8/8/8/K6k w - - 0 1' 2 i9" },
        TBadRow { "ExtraArgument", "search '8/8/8/8/8/8/8/K6k w - - 0 1' 2 e2 e4" },
        TBadRow { "BenchUnknownOption", "bench --fast" },
        TBadRow { "BenchOptionWithoutValue", "bench --max-depth" },
        TBadRow { "VerifyBadCount", "verify --positions 0" },
        TBadRow { "NegativeThreads", "search '8/8/8/8/8/8/8/K6k w - - 0 1' 2 --threads -1" },
        TBadRow { "TableTooLarge", "search '8/8/8/8/8/8/8/K6k w - - 0 1' 2 --table-mb 99999" },
        TBadRow { "SearchUnknownOption", "search '8/8/8/8/8/8/8/K6k w - - 0 1' 2 --deep 3" },
        TBadRow { "OptionBeforeDepth", "search '8/8/8/8/8/8/8/K6k w - - 0 1' --threads 2 3" },
        TBadRow { "BenchZeroThreads", "bench --threads 0" },
        TBadRow { "VerifyBadTable", "verify --table-kb lots" }),
    [](const testing::TestParamInfo<TBadRow>& info) { return std::string(info.param.Name); });

} // namespace
