// wintermoot-cli history and export, run as a user would, on history files the tests write.

#include "GameExport.h"
#include "Pgn.h"
#include "RunProgram.h"
#include "UnitHistory.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

using CliResult = TProgramRun;

CliResult RunCli(const std::vector<std::string>& args) {
    return RunProgram(WINTERMOOT_CLI, args);
}

void AddMoves(TMoveList& list, std::initializer_list<const char*> moves) {
    for (const char* m : moves) {
        list.Add(pkPawn, MakePoint(m[0] - 'a' + 1, m[1] - '0'),
            MakePoint(m[2] - 'a' + 1, m[3] - '0'), 0, 0);
    }
}

// Every test runs with WINTERMOOT_HOME set to a fresh folder, so no real user file is read.
class CliHistoryTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Home.isValid());
        setenv("WINTERMOOT_HOME", Home.path().toLocal8Bit().constData(), 1);
        TMoveList mate;
        AddMoves(mate, { "e2e4", "f7f6", "d2d4", "g7g5" });
        mate.Add(pkQueen, MakePoint(4, 1), MakePoint(8, 5), 0, mrCheck | mrGameOver);
        Sample.AddGame("Anna", "Bo\tB", EncodeDate(QDateTime(QDate(2005, 3, 9), QTime(14, 30))), 75,
            9, grWhiteWon, mate);
        Sample.AddGame("Zoë", "Computer", EncodeDate(QDateTime(QDate(2024, 12, 31), QTime(23, 5))),
            0, 0, grBlackForfeited, TMoveList());
        ASSERT_TRUE(Sample.SaveToFile(QString::fromStdString(HistoryPath())));
    }

    void TearDown() override { unsetenv("WINTERMOOT_HOME"); }

    std::string HistoryPath() const { return Home.filePath("history.dat").toStdString(); }
    std::string Path(const char* name) const { return Home.filePath(name).toStdString(); }

    QTemporaryDir Home;
    THistory Sample;
};

const char* const SampleListing = "1\t2005-03-09 14:30\tAnna\tBo B\tWhite won\t5\n"
                                  "2\t2024-12-31 23:05\tZoë\tComputer\tBlack forfeited\t0\n";

TEST_F(CliHistoryTest, ListsTheGamesOfTheNamedFile) {
    ASSERT_TRUE(QFile::rename(Home.filePath("history.dat"), Home.filePath("other.dat")));
    const CliResult r = RunCli({ "history", Path("other.dat") });
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Out, SampleListing);
}

TEST_F(CliHistoryTest, DefaultFileIsInWintermootHome) {
    const CliResult r = RunCli({ "history" });
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Out, SampleListing);
}

TEST_F(CliHistoryTest, DefaultFileFollowsXdgDataHomeWithoutWintermootHome) {
    unsetenv("WINTERMOOT_HOME");
    ASSERT_TRUE(QDir(Home.path()).mkpath("data/Wintermoot"));
    ASSERT_TRUE(
        QFile::copy(Home.filePath("history.dat"), Home.filePath("data/Wintermoot/history.dat")));
    setenv("XDG_DATA_HOME", Home.filePath("data").toLocal8Bit().constData(), 1);
    const CliResult r = RunCli({ "history" });
    unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Out, SampleListing);
}

TEST_F(CliHistoryTest, DamagedFileListsTheCompleteGamesAndSaysWhere) {
    const std::string bytes = ReadFile(HistoryPath());
    std::ofstream(Path("cut.dat"), std::ios::binary) << bytes.substr(0, bytes.size() - 3);
    const CliResult r = RunCli({ "history", Path("cut.dat") });
    EXPECT_EQ(r.Status, 2);
    EXPECT_EQ(r.Out, "1\t2005-03-09 14:30\tAnna\tBo B\tWhite won\t5\n");
    EXPECT_NE(r.Err.find("history file damaged after game 1"), std::string::npos) << r.Err;
}

TEST_F(CliHistoryTest, ExportsTheTextOfOneGame) {
    const CliResult r = RunCli({ "export", "1", Path("game.txt") });
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(ReadFile(Path("game.txt")), GameExportText(*Sample.First()));
    EXPECT_NE(
        ReadFile(Path("game.txt")).find("1.Pe4 Pf6 2.Pd4 Pg5 3.Qh5# 1-0\r\n"), std::string::npos);
}

TEST_F(CliHistoryTest, ExportsPgnOfOneGameOrOfAll) {
    ASSERT_TRUE(QFile::rename(Home.filePath("history.dat"), Home.filePath("other.dat")));
    CliResult r
        = RunCli({ "export", "--pgn", "--history", Path("other.dat"), "2", Path("two.pgn") });
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(ReadFile(Path("two.pgn")), GamePgn(*Sample.Last()));
    r = RunCli({ "export", "--history", Path("other.dat"), "--pgn", "--all", Path("all.pgn") });
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(ReadFile(Path("all.pgn")), GamePgn(*Sample.First()) + "\n" + GamePgn(*Sample.Last()));
}

// An export that reads nothing leaves an existing OUT as it was; one that reads part of a
// damaged history writes those games and says so.
TEST_F(CliHistoryTest, AnExportThatReadsNothingLeavesOutUntouched) {
    std::ofstream(Path("out.pgn"), std::ios::binary) << "kept";
    const std::string bytes = ReadFile(HistoryPath());
    // The first game's white name length (after the 25-byte header and the 8-byte date).
    std::string damaged = bytes;
    damaged.replace(33, 4, std::string("\xe8\x03\0\0", 4));
    std::ofstream(Path("damaged.dat"), std::ios::binary) << damaged;
    std::ofstream(Path("image.png"), std::ios::binary)
        << std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x10\0\0\0\x10", 24);
    std::ofstream(Path("zeros.dat"), std::ios::binary) << std::string(64, '\0');
    std::ofstream(Path("empty.dat"), std::ios::binary);

    for (const char* file : { "damaged.dat", "image.png", "zeros.dat", "empty.dat" }) {
        for (const std::vector<std::string>& args :
            { std::vector<std::string> {
                  "export", "--pgn", "--history", Path(file), "--all", Path("out.pgn") },
                std::vector<std::string> {
                    "export", "--history", Path(file), "1", Path("out.pgn") } }) {
            const CliResult r = RunCli(args);
            EXPECT_EQ(r.Status, 2) << file;
            EXPECT_EQ(ReadFile(Path("out.pgn")), "kept") << file << '\n' << r.Err;
        }
    }
    for (const char* file : { "image.png", "zeros.dat", "empty.dat" }) {
        const CliResult r = RunCli({ "history", Path(file) });
        EXPECT_EQ(r.Status, 2) << file;
        EXPECT_EQ(r.Out, "") << file;
        EXPECT_NE(r.Err.find("is not a history file"), std::string::npos) << file << ": " << r.Err;
    }
    const CliResult r
        = RunCli({ "export", "--pgn", "--history", Path("damaged.dat"), "--all", Path("out.pgn") });
    EXPECT_NE(r.Err.find("no game could be read"), std::string::npos) << r.Err;
}

TEST_F(CliHistoryTest, APartialExportSaysWhatItWrote) {
    const std::string bytes = ReadFile(HistoryPath());
    std::ofstream(Path("cut.dat"), std::ios::binary) << bytes.substr(0, bytes.size() - 3);
    CliResult r
        = RunCli({ "export", "--pgn", "--history", Path("cut.dat"), "--all", Path("all.pgn") });
    EXPECT_EQ(r.Status, 2);
    EXPECT_EQ(ReadFile(Path("all.pgn")), GamePgn(*Sample.First()));
    EXPECT_NE(r.Err.find("history file damaged after game 1"), std::string::npos) << r.Err;
    EXPECT_NE(
        r.Err.find("wrote the 1 game before the damage to " + Path("all.pgn")), std::string::npos)
        << r.Err;
    r = RunCli({ "export", "--history", Path("cut.dat"), "1", Path("one.txt") });
    EXPECT_EQ(r.Status, 2);
    EXPECT_EQ(ReadFile(Path("one.txt")), GameExportText(*Sample.First()));
    EXPECT_NE(r.Err.find("wrote game 1 to " + Path("one.txt")), std::string::npos) << r.Err;
}

struct FailureRow {
    const char* Name;
    std::vector<std::string> Args; // "@" stands for the test's folder
    const char* Message;
    friend void PrintTo(const FailureRow& row, std::ostream* os) { *os << row.Name; }
};

class CliHistoryFailureTest : public CliHistoryTest,
                              public ::testing::WithParamInterface<FailureRow> { };

TEST_P(CliHistoryFailureTest, ClearMessageAndStatusTwo) {
    std::ofstream(Path("foreign.dat"), std::ios::binary)
        << std::string("\x0f\0\0\0WintermootGames\x66\0\0\0\0\0", 25);
    std::vector<std::string> args;
    for (std::string arg : GetParam().Args) {
        if (arg.rfind("@", 0) == 0)
            arg = Home.path().toStdString() + arg.substr(1);
        args.push_back(arg);
    }
    const CliResult r = RunCli(args);
    EXPECT_EQ(r.Status, 2);
    EXPECT_NE(r.Err.find(GetParam().Message), std::string::npos) << r.Err;
    EXPECT_FALSE(QFile::exists(Home.filePath("out")));
}

INSTANTIATE_TEST_SUITE_P(Failures, CliHistoryFailureTest,
    ::testing::Values(
        FailureRow { "MissingHistory", { "history", "@/absent.dat" }, "no history file" },
        FailureRow { "VersionNotRead", { "history", "@/foreign.dat" }, "not a game history" },
        FailureRow { "FolderAsHistory", { "history", "@" }, "cannot read" },
        FailureRow {
            "IndexAboveCount", { "export", "3", "@/out" }, "no game 3: the history holds 2" },
        FailureRow { "IndexZero", { "export", "0", "@/out" }, "INDEX must be a whole number" },
        FailureRow { "IndexNotANumber", { "export", "two", "@/out" }, "INDEX must be" },
        FailureRow { "AllWithoutPgn", { "export", "--all", "@/out" }, "add --pgn" },
        FailureRow { "MissingOut", { "export", "1" }, "usage" },
        FailureRow { "UnwritableOut", { "export", "1", "@/no/such/folder" }, "cannot write" },
        FailureRow {
            "UnwritablePgnOut", { "export", "--pgn", "--all", "@/no/folder" }, "cannot write" },
        FailureRow { "MissingHistoryForExport", { "export", "--history", "@/absent", "1", "@/out" },
            "no history file" }),
    [](const auto& info) { return std::string(info.param.Name); });

} // namespace
