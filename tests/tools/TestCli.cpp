#include "RunProgram.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

const char* const Start = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

using CliResult = TProgramRun;

CliResult RunCli(const std::vector<std::string>& args) {
    return RunProgram(WINTERMOOT_CLI, args);
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

} // namespace

TEST(Cli, HelpExitsZeroAndNamesTheCommands) {
    const CliResult r = RunCli({ "--help" });
    EXPECT_EQ(r.Status, 0);
    EXPECT_NE(r.Out.find("legal FEN"), std::string::npos) << r.Out;
    EXPECT_NE(r.Out.find("perft FEN DEPTH"), std::string::npos) << r.Out;
}

TEST(Cli, PerftOfTheStartPositionToDepth3) {
    const CliResult r = RunCli({ "perft", Start, "3" });
    EXPECT_EQ(r.Status, 0) << r.Err;
    const std::vector<std::string> lines = Lines(r.Out);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "8902");
}

TEST(Cli, LegalListsMovesByOriginFileThenRank) {
    const CliResult r = RunCli({ "legal", Start });
    EXPECT_EQ(r.Status, 0) << r.Err;
    const std::vector<std::string> expected { "a2a3", "a2a4", "b1a3", "b1c3", "b2b3", "b2b4",
        "c2c3", "c2c4", "d2d3", "d2d4", "e2e3", "e2e4", "f2f3", "f2f4", "g1f3", "g1h3", "g2g3",
        "g2g4", "h2h3", "h2h4" };
    EXPECT_EQ(Lines(r.Out), expected);
}

TEST(Cli, LegalHonoursTheSideToMove) {
    const CliResult r = RunCli({ "legal", "4k3/8/8/8/8/8/8/R3K3 b - - 0 1" });
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(Lines(r.Out), (std::vector<std::string> { "e8d7", "e8d8", "e8e7", "e8f7", "e8f8" }));
}

struct BadArgsRow {
    std::string Name;
    friend void PrintTo(const BadArgsRow& row, std::ostream* os) { *os << row.Name; }
    std::vector<std::string> Args;
    std::string Message;
};

class CliBadArgsTest : public testing::TestWithParam<BadArgsRow> { };

TEST_P(CliBadArgsTest, ExitsTwoWithAMessageAndNoOutput) {
    const CliResult r = RunCli(GetParam().Args);
    EXPECT_EQ(r.Status, 2);
    EXPECT_NE(r.Err.find(GetParam().Message), std::string::npos) << r.Err;
    EXPECT_EQ(r.Out, "");
}

INSTANTIATE_TEST_SUITE_P(Arguments, CliBadArgsTest,
    testing::Values(BadArgsRow { "NoCommand", {}, "Usage" },
        BadArgsRow { "UnknownCommand", { "bogus" }, "unknown command" },
        BadArgsRow { "PerftBadFen", { "perft", "rnbqkbnr/8 w - - 0 1", "3" }, "bad FEN" },
        BadArgsRow { "LegalBadFen", { "legal", "not a position" }, "bad FEN" },
        BadArgsRow { "PerftDepthNotANumber", { "perft", Start, "three" }, "DEPTH" },
        BadArgsRow { "PerftDepthNegative", { "perft", Start, "-1" }, "DEPTH" },
        BadArgsRow { "PerftDepthTrailingText", { "perft", Start, "3x" }, "DEPTH" },
        BadArgsRow { "PerftMissingDepth", { "perft", Start }, "usage" },
        BadArgsRow { "LegalExtraArgument", { "legal", Start, "3" }, "usage" }),
    [](const auto& info) { return info.param.Name; });
