// wintermoot-cli match: games between the built-in computer and UCI engines through the
// controller, their score, their PGN, and its refusal of bad command lines.

#include "ForkingEngine.h"
#include "RunProgram.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

size_t Occurrences(const std::string& text, const std::string& what) {
    size_t count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++count;
    return count;
}

std::string TempPgn(const char* name) {
    const std::string path = testing::TempDir() + name;
    std::remove(path.c_str());
    return path;
}

} // namespace

// An engine that starts a program of its own: the program ends with the match.
TEST(CliMatch, AnEnginesChildrenEndWithTheMatch) {
    const std::string script = testing::TempDir() + "wm-forking-engine.sh";
    const std::string pidFile = testing::TempDir() + "wm-forking-engine.pid";
    std::remove(pidFile.c_str());
    ASSERT_TRUE(WriteForkingEngine(script, pidFile, std::string("exec ") + WINTERMOOT_ENGINE));
    const TProgramRun r = RunProgram(WINTERMOOT_CLI,
        { "match", "builtin:novice:1", "uci:" + script + ",Depth=1", "--games", "1", "--depth", "1",
            "--max-moves", "6" });
    EXPECT_EQ(r.Status, 0) << r.Err;
    const pid_t sleeper = ReadSleeperPid(pidFile);
    ASSERT_GT(sleeper, 0);
    EXPECT_TRUE(WaitForProcessEnd(sleeper)) << "the engine's child " << sleeper << " outlived it";
    if (!ProcessEnded(sleeper))
        ::kill(sleeper, SIGKILL);
    std::remove(script.c_str());
    std::remove(pidFile.c_str());
}

// An engine's "id name" with terminal commands in it (colour, window title, bell) reaches the
// terminal as printable text when the match names the engine.
TEST(CliMatch, AnEnginesNameIsPrintedWithoutItsControlCharacters) {
    const std::string script = testing::TempDir() + "wm-escape-engine.sh";
    const std::string pidFile = testing::TempDir() + "wm-escape-engine.pid";
    ASSERT_TRUE(WriteForkingEngine(script, pidFile,
        "while read line; do case \"$line\" in\n"
        "uci) printf 'id name Evil\\033[31mRed\\033]0;owned\\007\\nuciok\\n' ;;\n"
        "isready) echo readyok ;;\n"
        "go*) exit 3 ;;\n"
        "quit) exit 0 ;;\n"
        "esac; done"));
    const TProgramRun r = RunProgram(WINTERMOOT_CLI,
        { "match", "uci:" + script, "builtin:novice:1", "--games", "1", "--depth", "1" });
    EXPECT_EQ(r.Status, 1) << r.Out << r.Err;
    EXPECT_NE(r.Err.find("wintermoot-cli match: Evil?[31mRed?]0;owned?: exited with code 3"),
        std::string::npos)
        << r.Err;
    const std::string all = r.Out + r.Err;
    EXPECT_EQ(all.find_first_of("\x1b\x07"), std::string::npos) << all;
    if (const pid_t sleeper = ReadSleeperPid(pidFile, 1000); sleeper > 0 && !ProcessEnded(sleeper))
        ::kill(sleeper, SIGKILL);
    std::remove(script.c_str());
    std::remove(pidFile.c_str());
}

TEST(CliMatch, BuiltinAgainstTheEnginePlaysTwoGamesAndWritesThem) {
    const std::string pgn = TempPgn("wm-match.pgn");
    const TProgramRun r = RunProgram(WINTERMOOT_CLI,
        { "match", "builtin:novice:1", std::string("uci:") + WINTERMOOT_ENGINE + ",Depth=1",
            "--games", "2", "--depth", "1", "--pgn", pgn });
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(Occurrences(r.Out, "game "), 2u) << r.Out;
    EXPECT_NE(r.Out.find("game 2/2: uci:"), std::string::npos) << r.Out;
    EXPECT_NE(r.Out.find("score of builtin:novice:1 vs uci:"), std::string::npos) << r.Out;
    EXPECT_NE(r.Out.find("of 2 games)\nElo difference: "), std::string::npos) << r.Out;
    const std::string games = ReadFile(pgn);
    EXPECT_EQ(Occurrences(games, "[Event "), 2u) << games;
    EXPECT_EQ(Occurrences(games, "[White \"builtin:novice:1\"]"), 1u) << games;
    std::remove(pgn.c_str());
}

TEST(CliMatch, GamesPastTheMoveLimitAreDraws) {
    // No game can end within two half-moves.
    const TProgramRun r = RunProgram(WINTERMOOT_CLI,
        { "match", "builtin:expert:1", "builtin:skilled:1", "--games", "2", "--max-moves", "2" });
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(Occurrences(r.Out, "1/2-1/2 (adjudicated at the move limit, 2 half-moves)"), 2u)
        << r.Out;
    EXPECT_NE(r.Out.find("0 wins, 2 draws, 0 losses (50.0% of 2 games)"), std::string::npos)
        << r.Out;
    EXPECT_NE(r.Out.find("Elo difference: +0.0 +/- 0.0 (95%)"), std::string::npos) << r.Out;
}

TEST(CliMatch, ARepeatedPositionEndsTheGameAsADrawNamingTheRule) {
    // Both engines play their king's knight out and back: the start position comes back a third
    // time after eight half-moves, long before the move limit.
    const std::string pgn = TempPgn("wm-match-repetition.pgn");
    setenv("WM_BAD_ENGINE_MODE", "shuffle", 1);
    const std::string engine = std::string("uci:") + BAD_ENGINE;
    const TProgramRun r = RunProgram(
        WINTERMOOT_CLI, { "match", engine, engine, "--games", "2", "--depth", "1", "--pgn", pgn });
    unsetenv("WM_BAD_ENGINE_MODE");
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(Occurrences(r.Out, "1/2-1/2 (threefold repetition, 8 half-moves)"), 2u) << r.Out;
    EXPECT_NE(r.Out.find("0 wins, 2 draws, 0 losses"), std::string::npos) << r.Out;
    const std::string games = ReadFile(pgn);
    EXPECT_EQ(Occurrences(games, "[Result \"1/2-1/2\"]"), 2u) << games;
    std::remove(pgn.c_str());
}

TEST(CliMatch, AnEngineThatCrashesEndsTheMatchWithItsGameKept) {
    const std::string pgn = TempPgn("wm-match-crash.pgn");
    setenv("WM_BAD_ENGINE_MODE", "crash", 1);
    const TProgramRun r = RunProgram(WINTERMOOT_CLI,
        { "match", std::string("uci:") + BAD_ENGINE, "builtin:novice:1", "--movetime", "50",
            "--pgn", pgn });
    unsetenv("WM_BAD_ENGINE_MODE");
    EXPECT_EQ(r.Status, 1) << r.Err;
    EXPECT_NE(r.Err.find("BadEngine crash: crashed"), std::string::npos) << r.Err;
    EXPECT_NE(r.Out.find("game 1/2:"), std::string::npos) << r.Out;
    const std::string games = ReadFile(pgn);
    EXPECT_EQ(Occurrences(games, "[Event "), 1u) << games;
    EXPECT_NE(games.find("[PlyCount \"4\"]"), std::string::npos) << games;
    std::remove(pgn.c_str());
}

TEST(CliMatch, BadCommandLinesExitWithStatus2) {
    const std::string engine = std::string("uci:") + WINTERMOOT_ENGINE;
    const std::vector<std::vector<std::string>> bad = {
        { "match" },
        { "match", "builtin:novice" },
        { "match", "builtin:novice", "human" },
        { "match", "builtin:grandmaster", engine },
        { "match", "builtin:novice:x", engine },
        { "match", "builtin:novice:1:2", engine },
        { "match", "builtin:novice", "uci:/nonexistent/engine" },
        { "match", "builtin:novice", "uci:" },
        { "match", "builtin:novice", engine + ",Depth" },
        { "match", "builtin:novice", engine, "--games", "0" },
        { "match", "builtin:novice", engine, "--games", "two" },
        { "match", "builtin:novice", engine, "--movetime", "-5" },
        { "match", "builtin:novice", engine, "--movetime", "100", "--depth", "2" },
        { "match", "builtin:novice", engine, "--max-moves" },
        { "match", "builtin:novice", engine, "--colour", "white" },
    };
    for (const std::vector<std::string>& args : bad) {
        const TProgramRun r = RunProgram(WINTERMOOT_CLI, args);
        std::string shown;
        for (const std::string& a : args)
            shown += a + ' ';
        EXPECT_EQ(r.Status, 2) << shown << r.Err;
        EXPECT_NE(r.Err.find("wintermoot-cli match: "), std::string::npos) << shown << r.Err;
        EXPECT_EQ(r.Out, "") << shown;
    }
}

TEST(CliMatch, HelpDescribesTheCommandAndItsDefaults) {
    const TProgramRun r = RunProgram(WINTERMOOT_CLI, { "--help" });
    EXPECT_EQ(r.Status, 0);
    EXPECT_NE(r.Out.find("match PLAYER1 PLAYER2"), std::string::npos) << r.Out;
    EXPECT_NE(r.Out.find("(--max-moves, 200)"), std::string::npos) << r.Out;
}
