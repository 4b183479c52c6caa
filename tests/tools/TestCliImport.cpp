// wintermoot-cli import, run as a user would: a PGN game as a saved game that the controller
// loads, and a PGN file's games added to the history.

#include "Fen.h"
#include "Pgn.h"
#include "PgnFileReader.h"
#include "RandomGame.h"
#include "RunProgram.h"
#include "UnitChessGame.h"
#include "UnitHistory.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <random>

namespace {

// Game 1 whole, game 2 broken at its third ply, game 3 from a set-up position, game 4 drawn,
// game 5 unfinished, game 6 a black win with a Latin-1 name.
const char* const Sample
    = "[Event \"One\"]\n[White \"Anna\"]\n[Black \"Bo\"]\n[Date \"2024.03.09\"]\n"
      "[Result \"1-0\"]\n\n1. e4 e5 2. Qh5 Nc6 3. Bc4 Nf6 4. Qxf7# 1-0\n\n"
      "[White \"Carla\"]\n[Black \"Dan\"]\n\n1. d4 d5 2. Ke3 Nf6 0-1\n\n"
      "[White \"Eve\"]\n[Black \"Finn\"]\n[SetUp \"1\"]\n"
      "[FEN \"4k3/8/8/8/8/8/4P3/4K3 b - - 0 1\"]\n\n1... Kd7 2. e4 *\n\n"
      "[White \"G\"]\n[Black \"H\"]\n\n1. c4 c5 1/2-1/2\n\n"
      "[White \"I\"]\n[Black \"J\"]\n\n1. Nf3 *\n\n"
      "[White \"M\xFCller\"]\n[Black \"?\"]\n\n1. f3 e5 2. g4 Qh4# 0-1\n";

class CliImportTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Home.isValid());
        setenv("WINTERMOOT_HOME", Home.path().toLocal8Bit().constData(), 1);
        Write("games.pgn", Sample);
    }
    void TearDown() override { unsetenv("WINTERMOOT_HOME"); }

    std::string Path(const char* name) const { return Home.filePath(name).toStdString(); }
    void Write(const char* name, const std::string& text) const {
        std::ofstream(Path(name), std::ios::binary) << text;
    }
    static TProgramRun Cli(const std::vector<std::string>& args) {
        return RunProgram(WINTERMOOT_CLI, args);
    }

    QTemporaryDir Home;
};

TEST_F(CliImportTest, GameAsASavedGameThatLoads) {
    const TProgramRun run = Cli({ "import", Path("games.pgn"), Path("one.wtg") });
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(run.Out, "saved game 1 (Anna - Bo), 7 moves, to " + Path("one.wtg") + "\n");

    TChessGame game;
    ASSERT_TRUE(game.LoadGame(QString::fromStdString(Path("one.wtg"))));
    EXPECT_EQ(game.Moves.Count(), 7);
    EXPECT_EQ(game.WhitePlayer.Name, "Anna");
    EXPECT_EQ(game.BlackPlayer.Name, "Bo");
    EXPECT_TRUE(game.WhitePlayer.Human);
    EXPECT_TRUE(game.BlackPlayer.Human);
    EXPECT_EQ(game.Turn, pcBlack);
    // Black is mated, as the player record says.
    EXPECT_EQ(game.BlackPlayer.Status, 3);
    EXPECT_EQ(SaveFen(game.Board, game.Turn).substr(0, 45),
        "r1bqkb1r/pppp1Qpp/2n2n2/4p3/2B1P3/8/PPPP1PPP/");
    EXPECT_TRUE(game.Moves.Last()->Flags & mrGameOver);
}

TEST_F(CliImportTest, NamesInLatin1AndAnUnknownName) {
    const TProgramRun run = Cli({ "import", "--game", "6", Path("games.pgn"), Path("six.wtg") });
    EXPECT_EQ(run.Status, 0) << run.Err;
    TChessGame game;
    ASSERT_TRUE(game.LoadGame(QString::fromStdString(Path("six.wtg"))));
    EXPECT_EQ(game.WhitePlayer.Name, "M\xC3\xBCller");
    EXPECT_EQ(game.BlackPlayer.Name, "");
    EXPECT_EQ(game.WhitePlayer.Status, 3);
}

// The saved game holds its board, so a set-up position is kept, with a note that the history
// could not hold it.
TEST_F(CliImportTest, SetUpPositionIsSavedWithANote) {
    const TProgramRun run = Cli({ "import", Path("games.pgn"), "--game", "3", Path("three.wtg") });
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_NE(run.Err.find("starts from a set-up position"), std::string::npos) << run.Err;
    TChessGame game;
    ASSERT_TRUE(game.LoadGame(QString::fromStdString(Path("three.wtg"))));
    EXPECT_EQ(game.Moves.Count(), 2);
    EXPECT_EQ(game.Turn, pcBlack);
    EXPECT_EQ(SaveFen(game.Board, game.Turn).substr(0, 23), "8/3k4/8/8/4P3/8/8/4K3 b");
}

TEST_F(CliImportTest, ImpossibleCastlingRightsAreDroppedWithAWarning) {
    Write("rights.pgn",
        "[White \"W\"]\n[Black \"B\"]\n[SetUp \"1\"]\n"
        "[FEN \"4k3/8/8/8/8/8/8/3K3R w K - 0 1\"]\n\n1. Rh8+ *\n");
    const TProgramRun run = Cli({ "import", Path("rights.pgn"), Path("rights.wtg") });
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_NE(
        run.Err.find("warning: game 1 (W - B): castling right \"K\" dropped"), std::string::npos)
        << run.Err;
    TChessGame game;
    ASSERT_TRUE(game.LoadGame(QString::fromStdString(Path("rights.wtg"))));
    EXPECT_EQ(game.Moves.Count(), 1);
}

TEST_F(CliImportTest, BrokenGameKeepsItsMovesAndSaysWhere) {
    TProgramRun run = Cli({ "import", Path("games.pgn"), "--game", "2", Path("two.wtg") });
    EXPECT_EQ(run.Status, 0);
    EXPECT_NE(run.Err.find("warning: game 2 (Carla - Dan), ply 3 (2. Ke3): no legal move matches "
                           "\"Ke3\"; the 2 moves before it are saved"),
        std::string::npos)
        << run.Err;
    TChessGame game;
    ASSERT_TRUE(game.LoadGame(QString::fromStdString(Path("two.wtg"))));
    EXPECT_EQ(game.Moves.Count(), 2);

    // Broken at its first move: nothing to save, and an existing file is left alone.
    Write("bad.pgn", "1. e5 *\n");
    Write("keep.wtg", "keep");
    run = Cli({ "import", Path("bad.pgn"), Path("keep.wtg") });
    EXPECT_EQ(run.Status, 1);
    EXPECT_NE(run.Err.find("no legal move matches \"e5\""), std::string::npos) << run.Err;
    EXPECT_EQ(ReadFile(Path("keep.wtg")), "keep");
}

TEST_F(CliImportTest, BadCommandLinesAndUnreadableFiles) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>> {
             { "import" },
             { "import", Path("games.pgn") },
             { "import", Path("games.pgn"), "--game", "0", Path("x.wtg") },
             { "import", Path("games.pgn"), "--game" },
             { "import", "--history", Path("games.pgn"), "--game", "2" },
             { "import", "--history" },
             { "import", "--fast", Path("games.pgn"), Path("x.wtg") },
         }) {
        const TProgramRun run = Cli(args);
        EXPECT_EQ(run.Status, 2) << args.size();
        EXPECT_NE(run.Err.find("usage: wintermoot-cli import"), std::string::npos) << run.Err;
    }
    TProgramRun run = Cli({ "import", Path("none.pgn"), Path("x.wtg") });
    EXPECT_EQ(run.Status, 1);
    EXPECT_EQ(run.Err, "wintermoot-cli import: no file " + Path("none.pgn") + "\n");
    run = Cli({ "import", Home.path().toStdString(), Path("x.wtg") });
    EXPECT_EQ(run.Status, 1);
    run = Cli({ "import", "--game", "7", Path("games.pgn"), Path("x.wtg") });
    EXPECT_EQ(run.Status, 1);
    EXPECT_NE(run.Err.find("holds no game 7"), std::string::npos);
    Write("empty.pgn", "\n{nothing}\n");
    run = Cli({ "import", "--history", Path("empty.pgn") });
    EXPECT_EQ(run.Status, 1);
    EXPECT_NE(run.Err.find("no game of"), std::string::npos);
    EXPECT_FALSE(QFile::exists(Home.filePath("x.wtg")));
    EXPECT_FALSE(QFile::exists(Home.filePath("history.dat")));
}

TEST_F(CliImportTest, HistoryGetsTheGamesThatReadWhole) {
    THistory before;
    TMoveList one;
    one.Add(pkPawn, MakePoint(5, 2), MakePoint(5, 4), 0, 0);
    before.AddGame("Old", "Game", 40000, 1, 2, grBlackForfeited, one);
    ASSERT_TRUE(before.SaveToFile(Home.filePath("history.dat")));

    TProgramRun run = Cli({ "import", "--history", Path("games.pgn") });
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(run.Out,
        "added game 1 (Anna - Bo), 1-0, 7 moves\n"
        "skipped game 2 (Carla - Dan), ply 3 (2. Ke3): no legal move matches \"Ke3\"\n"
        "skipped game 3 (Eve - Finn): starts from a set-up position, which the history cannot "
        "hold\n"
        "added game 4 (G - H), 1/2-1/2, 2 moves\n"
        "added game 5 (I - J), *, 1 move\n"
        "added game 6 (M\xC3\xBCller - ?), 0-1, 4 moves\n"
        "4 games added to "
            + Path("history.dat") + ", 2 skipped\n");

    THistory history;
    ASSERT_EQ(history.Load(Home.filePath("history.dat")), hlLoaded);
    ASSERT_EQ(history.Count(), 5);
    EXPECT_EQ(history.GetGame(1)->White, "Old");
    const TGameInfo* anna = history.GetGame(2);
    EXPECT_EQ(anna->White, "Anna");
    EXPECT_EQ(anna->Result, grWhiteWon);
    EXPECT_EQ(anna->Moves.Count(), 7);
    EXPECT_EQ(DecodeDate(anna->Date), QDateTime(QDate(2024, 3, 9), QTime(0, 0)));
    EXPECT_EQ(history.GetGame(3)->Result, grTied);
    EXPECT_EQ(history.GetGame(4)->Result, grUnfinished);
    EXPECT_EQ(history.GetGame(5)->Result, grBlackWon);
    EXPECT_EQ(history.GetGame(5)->Black, "");

    // A second import adds nothing twice.
    run = Cli({ "import", "--history", Path("games.pgn") });
    EXPECT_EQ(run.Status, 0);
    EXPECT_NE(
        run.Out.find("skipped game 1 (Anna - Bo): already in the history"), std::string::npos);
    EXPECT_NE(run.Out.find("0 games added"), std::string::npos);
    ASSERT_EQ(history.Load(Home.filePath("history.dat")), hlLoaded);
    EXPECT_EQ(history.Count(), 5);
}

// A history file that does not read whole is not saved over: the games it still holds would be
// lost.
TEST_F(CliImportTest, DamagedHistoryIsLeftAlone) {
    THistory before;
    TMoveList none;
    before.AddGame("A", "B", 40000, 0, 0, grTied, none);
    before.AddGame("C", "D", 40001, 0, 0, grTied, none);
    ASSERT_TRUE(before.SaveToFile(Home.filePath("history.dat")));
    std::string bytes = ReadFile(Path("history.dat"));
    bytes.resize(bytes.size() - 3);
    Write("history.dat", bytes);

    const TProgramRun run = Cli({ "import", "--history", Path("games.pgn") });
    EXPECT_EQ(run.Status, 1);
    EXPECT_NE(run.Err.find("cannot be read whole; nothing added"), std::string::npos) << run.Err;
    EXPECT_EQ(ReadFile(Path("history.dat")), bytes);
}

// The history's own PGN export, imported into an empty history, gives the same games back.
TEST_F(CliImportTest, ExportedHistoryImportsBack) {
    ASSERT_EQ(Cli({ "import", "--history", Path("games.pgn") }).Status, 0);
    ASSERT_EQ(Cli({ "export", "--pgn", "--all", Path("all.pgn") }).Status, 0);
    ASSERT_TRUE(QFile::rename(Home.filePath("history.dat"), Home.filePath("first.dat")));
    const TProgramRun run = Cli({ "import", "--history", Path("all.pgn") });
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_NE(run.Out.find("4 games added"), std::string::npos) << run.Out;

    THistory first;
    THistory second;
    ASSERT_EQ(first.Load(Home.filePath("first.dat")), hlLoaded);
    ASSERT_EQ(second.Load(Home.filePath("history.dat")), hlLoaded);
    ASSERT_EQ(first.Count(), second.Count());
    for (const TGameInfo *a = first.First(), *b = second.First(); a && b;
         a = a->Next, b = b->Next) {
        EXPECT_EQ(a->White, b->White);
        EXPECT_EQ(a->Result, b->Result);
        ASSERT_EQ(a->Moves.Count(), b->Moves.Count());
        for (const TMoveRecord *m = a->Moves.First(), *n = b->Moves.First(); m && n;
             m = m->Next, n = n->Next) {
            EXPECT_EQ(m->From, n->From);
            EXPECT_EQ(m->To, n->To);
            EXPECT_EQ(m->Flags, n->Flags);
        }
    }
}

TEST_F(CliImportTest, BenchmarkPrintsItsFigures) {
    const TProgramRun run = Cli({ "bench-pgn", "--games", "20", "--repeat", "1" });
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_NE(run.Out.find("games: 20 (0 with an error)"), std::string::npos) << run.Out;
    EXPECT_NE(run.Out.find("games/s"), std::string::npos);
    EXPECT_NE(run.Out.find("MB/s"), std::string::npos);
}

// Many games of every kind through the program both ways: the history as `export --pgn --all`
// writes it is read back by the reader to the same moves, tags and results, and imported into an
// empty history by `import --history` it gives a history that exports to the same PGN.
TEST_F(CliImportTest, ExportedHistoryReadsBackAndImportsBackTheSame) {
    std::mt19937 random(11);
    THistory source;
    const int count = 500;
    const char* const names[] = { "Anna", "O\"Brien", "back\\slash", "J\xC3\xBCrgen", "",
        "\xE6\x9D\x8E \xE5\x9B\x9B", "a b  c" };
    for (int g = 0; g < count; ++g) {
        TMoveList moves;
        TChessBoard board;
        const int plies = 1 + int(random() % 300);
        PlayRandomGame(board, pcWhite, moves, plies, random);
        // Whole days from 1990 on, so that the Date tag carries the whole date.
        const double date = 32874 + g * 3;
        ASSERT_TRUE(source.AddGame(names[g % 7], names[(g / 7) % 7], date, int32_t(random() % 7200),
            int32_t(random() % 7200), uint8_t(g % 6), moves));
    }
    ASSERT_TRUE(source.SaveToFile(Home.filePath("source.dat")));

    TProgramRun run
        = Cli({ "export", "--pgn", "--history", Path("source.dat"), "--all", Path("all.pgn") });
    ASSERT_EQ(run.Status, 0) << run.Err;

    // Read back: the same moves (flags and kinds too), names, date, clocks and result.
    int g = 0;
    const TGameInfo* original = source.First();
    const std::string error = ReadPgnFile(Path("all.pgn"), [&](const TPgnGameRecord& game) {
        EXPECT_TRUE(game.Error.empty()) << game.Error;
        EXPECT_EQ(PgnPlayerName(game, "White"), original->White) << g;
        EXPECT_EQ(PgnPlayerName(game, "Black"), original->Black) << g;
        EXPECT_EQ(game.Result, game.Tag("Result")) << g;
        EXPECT_EQ(PgnSeconds(game, "WhiteTime"), original->WhiteTime) << g;
        EXPECT_EQ(PgnSeconds(game, "BlackTime"), original->BlackTime) << g;
        EXPECT_EQ(game.Moves.Count(), original->Moves.Count()) << g;
        const TMoveRecord* a = game.Moves.First();
        for (const TMoveRecord* b = original->Moves.First(); a && b; a = a->Next, b = b->Next) {
            EXPECT_TRUE(a->From == b->From && a->To == b->To && a->Flags == b->Flags
                && a->Kind == b->Kind && a->PromotionKind == b->PromotionKind)
                << g;
        }
        original = original->Next;
        ++g;
        return !HasFailure();
    });
    EXPECT_EQ(error, "");
    ASSERT_EQ(g, count);

    run = Cli({ "import", "--history", Path("all.pgn") });
    ASSERT_EQ(run.Status, 0) << run.Err;
    THistory imported;
    ASSERT_EQ(imported.Load(Home.filePath("history.dat")), hlLoaded);
    ASSERT_EQ(imported.Count(), count);
    const TGameInfo* back = imported.First();
    for (const TGameInfo* game = source.First(); game && back; game = game->Next, back = back->Next)
        ASSERT_EQ(GamePgn(*back), GamePgn(*game));
}

} // namespace
