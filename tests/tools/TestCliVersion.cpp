// The addresses the program was built with, as wintermoot-cli shows them.

#include "RunProgram.h"

#include <gtest/gtest.h>

namespace {

const std::string Server = WINTERMOOT_SERVER_URL;

TEST(CliVersionTest, VersionNamesTheProgramAndTheServerAddressesOfTheBuild) {
    const TProgramRun run = RunProgram(WINTERMOOT_CLI, { "--version" });
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(run.Out,
        "wintermoot-cli (Wintermoot 3.2.4)\n"
        "Game server (default of the GameServer setting): "
            + Server
            + "\n"
              "Version file of the update check: "
            + Server + "/versions.inf\n");
}

TEST(CliVersionTest, HelpEndsWithTheServerAddressesOfTheBuild) {
    const TProgramRun run = RunProgram(WINTERMOOT_CLI, { "--help" });
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_NE(run.Out.find("  --version "), std::string::npos);
    const std::string tail = "Game server (default of the GameServer setting): " + Server
        + "\nVersion file of the update check: " + Server + "/versions.inf\n";
    ASSERT_GE(run.Out.size(), tail.size());
    EXPECT_EQ(run.Out.substr(run.Out.size() - tail.size()), tail);
}

} // namespace
