#include "GameTestSupport.h"
#include "StreamIO.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

namespace {

constexpr size_t HeaderSize = 20;
constexpr size_t BoardSize = 319;
constexpr size_t FreshFileSize = 880;
constexpr size_t MoveSize = 19;
// Offsets in a file of a game without moves.
constexpr size_t CapturedByWhiteCountAt = HeaderSize + 94 + 32 * 6;
constexpr size_t WhiteKingAt = CapturedByWhiteCountAt + 8;
constexpr size_t EnPassantAt = WhiteKingAt + 16;
constexpr size_t MoveCountAt = HeaderSize + BoardSize;
constexpr size_t WhitePlayerAt = MoveCountAt + 4;
constexpr size_t TurnAt = WhitePlayerAt + 2 * PlayerRecordSize;

std::string ReadFile(const QString& name) {
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray data = file.readAll();
    return std::string(data.constData(), size_t(data.size()));
}

void WriteFile(const QString& name, const std::string& bytes) {
    QFile file(name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes.data(), qint64(bytes.size()));
}

void PutI32(std::string& bytes, size_t at, int32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = char(uint32_t(value) >> (8 * i));
}

std::string Body(const TChessGame& game) {
    std::ostringstream out;
    game.WriteGame(out);
    return out.str();
}

// Everything a load could change, to compare before and after.
std::string Snapshot(const TChessGame& game) {
    return Body(game) + SaveFen(game.SearchBoard, game.Turn) + char('0' + game.GameState)
        + char('0' + game.GameLoaded);
}

class GameFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Dir.isValid());
        Game.WhitePlayer = TPlayer { 0, true, "Anna" };
        Game.BlackPlayer = TPlayer { 0, true, "Bo" };
    }

    QString Path(const char* name) const { return Dir.filePath(name); }

    void Play(const char* from, const char* to) {
        ASSERT_FALSE(Game.PlayMove(Sq(from), Sq(to)) & mrInvalid) << from << to;
    }

    // A file of a game just started, or with the given moves played.
    std::string SavedBytes(std::initializer_list<std::pair<const char*, const char*>> moves = {}) {
        TChessGame game;
        game.WhitePlayer = Game.WhitePlayer;
        game.BlackPlayer = Game.BlackPlayer;
        game.StartGame();
        for (const auto& [from, to] : moves)
            EXPECT_FALSE(game.PlayMove(Sq(from), Sq(to)) & mrInvalid);
        EXPECT_TRUE(game.SaveGame(Path("made.wtg")));
        return ReadFile(Path("made.wtg"));
    }

    QTemporaryDir Dir;
    TChessGame Game;
};

TEST_F(GameFileTest, AFreshGameIs880BytesAndEachMoveAdds19) {
    const std::string fresh = SavedBytes();
    ASSERT_EQ(fresh.size(), FreshFileSize);
    EXPECT_EQ(fresh.substr(0, 20), std::string("\x0E\0\0\0WintermootGame\x65\0", 20));
    EXPECT_EQ(SavedBytes({ { "e2", "e4" }, { "e7", "e5" } }).size(), FreshFileSize + 2 * MoveSize);
}

TEST_F(GameFileTest, PlayerRecordsHaveTheirFixedLayout) {
    Game.WhitePlayer = TPlayer { 2, false, "Anna", true, 0x01020304, 1 };
    std::ostringstream out;
    WritePlayer(out, Game.WhitePlayer);
    const std::string record = out.str();
    ASSERT_EQ(record.size(), PlayerRecordSize);
    EXPECT_EQ(record.substr(0, 8),
        std::string("\x02\0\0\x04"
                    "Anna",
            8));
    EXPECT_EQ(record.substr(8, 251), std::string(251, '\0'));
    EXPECT_EQ(record.substr(259, 9), std::string("\x01\x04\x03\x02\x01\x01\0\0\0", 9));
}

TEST_F(GameFileTest, NothingIsSavedUnlessPlayingOrPaused) {
    EXPECT_FALSE(Game.SaveGame(Path("idle.wtg")));
    Game.StartGame();
    Game.StopGame();
    EXPECT_FALSE(Game.SaveGame(Path("stopped.wtg")));
    EXPECT_FALSE(QFile::exists(Path("idle.wtg")));
    EXPECT_FALSE(QFile::exists(Path("stopped.wtg")));
}

TEST_F(GameFileTest, ASaveThatCannotBeWrittenFailsAndLeavesNoFile) {
    Game.StartGame();
    EXPECT_FALSE(Game.SaveGame(Path("missing-folder/game.wtg")));
    EXPECT_FALSE(Game.SaveGame(Dir.path()));
    EXPECT_TRUE(Game.SaveGame(Path("game.wtg")));
    EXPECT_EQ(QDir(Dir.path()).entryList(QDir::Files), QStringList { "game.wtg" });
}

TEST_F(GameFileTest, ASavedGameContinuesWhereItStood) {
    Game.StartGame();
    Play("e2", "e4");
    Play("d7", "d5");
    Play("e4", "d5");
    Play("g8", "f6");
    Game.ClockTick();
    Game.PauseGame();
    ASSERT_TRUE(Game.SaveGame(Path("game.wtg")));

    TChessGame loaded;
    TEventLog log(loaded);
    ASSERT_TRUE(loaded.LoadGame(Path("game.wtg")));
    EXPECT_TRUE(loaded.GameLoaded);
    EXPECT_FALSE(loaded.Board.Modified);
    EXPECT_EQ(Position(loaded), Position(Game));
    EXPECT_EQ(SaveFen(loaded.SearchBoard, loaded.Turn), Position(Game));
    EXPECT_EQ(Body(loaded), Body(Game));
    EXPECT_EQ(loaded.WhitePlayer.Name, "Anna");
    EXPECT_EQ(loaded.WhitePlayer.Time, 1);
    EXPECT_EQ(loaded.Moves.Item(2)->Flags, mrCapture);
    EXPECT_EQ(loaded.Board.CapturedCount(pcWhite), 1);

    loaded.StartGame();
    EXPECT_EQ(loaded.Moves.Count(), 4);
    EXPECT_EQ(loaded.WhitePlayer.Time, 1);
    EXPECT_FALSE(loaded.PlayMove(Sq("f1"), Sq("b5")) & mrInvalid);
    EXPECT_EQ(loaded.Moves.Count(), 5);
    EXPECT_EQ(loaded.Moves.Last()->From, Sq("f1"));
    EXPECT_EQ(loaded.BlackPlayer.Status, 1);
}

// The loaded board did not make the capture itself; only the move before it tells that it was
// taken en passant.
TEST_F(GameFileTest, UndoAfterALoadPutsAPawnTakenEnPassantBack) {
    Game.StartGame();
    Play("e2", "e4");
    Play("a7", "a6");
    Play("e4", "e5");
    Play("d7", "d5");
    Play("e5", "d6");
    ASSERT_TRUE(Game.SaveGame(Path("game.wtg")));
    TChessGame loaded;
    ASSERT_TRUE(loaded.LoadGame(Path("game.wtg")));
    loaded.StartGame();
    loaded.UndoMove();
    EXPECT_EQ(loaded.Turn, pcWhite);
    ASSERT_NE(loaded.Board.PieceAt(Sq("d5")), nullptr);
    EXPECT_EQ(loaded.Board.PieceAt(Sq("d5"))->Colour, pcBlack);
    EXPECT_EQ(loaded.Board.PieceAt(Sq("d6")), nullptr);
    EXPECT_EQ(loaded.Board.PieceAt(Sq("e5"))->Colour, pcWhite);
    EXPECT_EQ(loaded.PlayMove(Sq("e5"), Sq("d6")), mrCapture);
    EXPECT_EQ(SaveFen(loaded.SearchBoard, loaded.Turn), Position(loaded));
}

// A damaged file whose move list names a knight that never moved: taking that move back is
// refused, and the game still saves to a file that loads.
TEST_F(GameFileTest, AMoveThatDoesNotFitTheBoardIsNotTakenBack) {
    std::string bytes = SavedBytes({ { "e2", "e4" } });
    const size_t move = MoveCountAt + 4;
    PutI32(bytes, move + 2, 5);
    PutI32(bytes, move + 6, 3);
    PutI32(bytes, move + 10, 2);
    PutI32(bytes, move + 14, 1);
    WriteFile(Path("damaged.wtg"), bytes);
    ASSERT_TRUE(Game.LoadGame(Path("damaged.wtg")));
    Game.StartGame();
    Game.UndoMove();
    EXPECT_EQ(Game.Moves.Count(), 1);
    EXPECT_EQ(Game.Board.PieceAt(Sq("b1"))->MoveCount, 0);
    EXPECT_EQ(SaveFen(Game.SearchBoard, Game.Turn), Position(Game));
    ASSERT_TRUE(Game.SaveGame(Path("again.wtg")));
    TChessGame reloaded;
    EXPECT_TRUE(reloaded.LoadGame(Path("again.wtg")));
}

TEST_F(GameFileTest, ASuccessfulLoadStopsTheRunningGame) {
    const std::string bytes = SavedBytes({ { "d2", "d4" } });
    WriteFile(Path("game.wtg"), bytes);
    Game.StartGame();
    TEventLog log(Game);
    ASSERT_TRUE(Game.LoadGame(Path("game.wtg")));
    EXPECT_EQ(log.Events, (std::vector<std::string> { "GameStopped" }));
    EXPECT_EQ(Game.GameState, gsStopped);
    EXPECT_EQ(Game.Moves.Count(), 1);
    EXPECT_EQ(Game.Turn, pcBlack);
}

// The oldest form: moves without their kind bytes.
std::string ToVersion100(std::string bytes, size_t moves) {
    bytes[18] = 100;
    for (size_t i = moves; i-- > 0;)
        bytes.erase(MoveCountAt + 4 + i * MoveSize, 2);
    return bytes;
}

TEST_F(GameFileTest, Version100FilesWithShortMovesLoad) {
    WriteFile(Path("old.wtg"), ToVersion100(SavedBytes({ { "g1", "f3" }, { "b8", "c6" } }), 2));
    ASSERT_TRUE(Game.LoadGame(Path("old.wtg")));
    ASSERT_EQ(Game.Moves.Count(), 2);
    EXPECT_EQ(Game.Moves.Item(1)->From, Sq("b8"));
    EXPECT_EQ(Game.Moves.Item(1)->To, Sq("c6"));
    EXPECT_EQ(Game.Moves.Item(1)->Kind, 0);
    EXPECT_EQ(Game.Turn, pcWhite);
}

TEST_F(GameFileTest, AFileWithoutTheMagicIsReadAsABareBodyOfTheOldestForm) {
    const std::string old = ToVersion100(SavedBytes({ { "g1", "f3" } }), 1);
    WriteFile(Path("bare.wtg"), old.substr(HeaderSize));
    ASSERT_TRUE(Game.LoadGame(Path("bare.wtg")));
    ASSERT_EQ(Game.Moves.Count(), 1);
    EXPECT_EQ(Game.Moves.Last()->To, Sq("f3"));
    EXPECT_EQ(Game.Turn, pcBlack);
}

struct TDamage {
    const char* Name;
    std::function<void(std::string&)> Apply;
    friend void PrintTo(const TDamage& row, std::ostream* os) { *os << row.Name; }
};

class DamagedFileTest : public GameFileTest, public ::testing::WithParamInterface<TDamage> { };

TEST_P(DamagedFileTest, IsRefusedAndTheCurrentGameStaysAsItWas) {
    std::string bytes = SavedBytes();
    GetParam().Apply(bytes);
    WriteFile(Path("bad.wtg"), bytes);
    Game.StartGame();
    Play("e2", "e4");
    const std::string before = Snapshot(Game);
    EXPECT_FALSE(Game.LoadGame(Path("bad.wtg")));
    EXPECT_EQ(Snapshot(Game), before);
    EXPECT_EQ(Game.GameState, gsPlaying);
    Play("e7", "e5");
}

INSTANTIATE_TEST_SUITE_P(Faults, DamagedFileTest,
    ::testing::Values(TDamage { "Version102", [](std::string& b) { b[18] = 102; } },
        TDamage { "Version99", [](std::string& b) { b[18] = 99; } },
        TDamage { "PieceKindSix", [](std::string& b) { b[HeaderSize + 1] = 6; } },
        TDamage { "PieceColourTwo", [](std::string& b) { b[HeaderSize + 2] = 2; } },
        TDamage { "PieceMoveCountNegative",
            [](std::string& b) { PutI32(b, HeaderSize + 3, INT32_MIN); } },
        TDamage { "PresenceByteTwo", [](std::string& b) { b[HeaderSize + 14] = 2; } },
        TDamage { "TwoWhiteKings", [](std::string& b) { b[HeaderSize + 1] = pkKing; } },
        TDamage { "KingSquareNotTheKings", [](std::string& b) { PutI32(b, WhiteKingAt, 4); } },
        TDamage {
            "CapturedCountSixteen", [](std::string& b) { PutI32(b, CapturedByWhiteCountAt, 16); } },
        TDamage { "CapturedCountWithoutPieces",
            [](std::string& b) { PutI32(b, CapturedByWhiteCountAt, 1); } },
        TDamage { "EnPassantFlagTwo", [](std::string& b) { b[EnPassantAt] = 2; } },
        TDamage { "MovesBeyondTheEnd", [](std::string& b) { PutI32(b, MoveCountAt, 3); } },
        TDamage { "TurnTwo", [](std::string& b) { b[TurnAt] = 2; } },
        TDamage { "PlayerStatusFour", [](std::string& b) { b[WhitePlayerAt + 264] = 4; } },
        TDamage { "HumanFlagTwo", [](std::string& b) { b[WhitePlayerAt + 2] = 2; } },
        TDamage { "NegativeTime", [](std::string& b) { PutI32(b, WhitePlayerAt + 260, -1); } },
        TDamage { "ComputerLevelThree",
            [](std::string& b) {
                b[WhitePlayerAt] = 3;
                b[WhitePlayerAt + 2] = 0;
            } },
        TDamage { "TrailingByte", [](std::string& b) { b += '\0'; } },
        TDamage { "Empty", [](std::string& b) { b.clear(); } },
        TDamage { "MagicOnly", [](std::string& b) { b.resize(HeaderSize); } }),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(GameFileTest, AMoveSquareOffTheBoardIsRefused) {
    std::string bytes = SavedBytes({ { "e2", "e4" } });
    PutI32(bytes, MoveCountAt + 4 + 2, 9);
    WriteFile(Path("bad.wtg"), bytes);
    EXPECT_FALSE(Game.LoadGame(Path("bad.wtg")));
    EXPECT_EQ(Game.GameState, gsIdle);
    EXPECT_FALSE(Game.GameLoaded);
}

TEST_F(GameFileTest, AFileCutAtAnyByteIsRefused) {
    const std::string bytes = SavedBytes({ { "e2", "e4" }, { "d7", "d5" }, { "e4", "d5" } });
    Game.StartGame();
    Play("g1", "f3");
    const std::string before = Snapshot(Game);
    for (size_t size = 0; size < bytes.size(); ++size) {
        WriteFile(Path("cut.wtg"), bytes.substr(0, size));
        ASSERT_FALSE(Game.LoadGame(Path("cut.wtg"))) << "cut at " << size;
    }
    EXPECT_EQ(Snapshot(Game), before);
    WriteFile(Path("whole.wtg"), bytes);
    EXPECT_TRUE(Game.LoadGame(Path("whole.wtg")));
}

TEST_F(GameFileTest, AMissingFileIsRefused) {
    EXPECT_FALSE(Game.LoadGame(Path("none.wtg")));
    EXPECT_EQ(Game.GameState, gsIdle);
}

TEST_F(GameFileTest, NamesInSingleByteFilesAreReadAsWindows1252) {
    std::string bytes = SavedBytes();
    bytes[WhitePlayerAt + 3] = 5;
    std::memcpy(&bytes[WhitePlayerAt + 4], "J\xFCrg\x80", 5);
    WriteFile(Path("old.wtg"), bytes);
    ASSERT_TRUE(Game.LoadGame(Path("old.wtg")));
    EXPECT_EQ(Game.WhitePlayer.Name, "J\xC3\xBCrg\xE2\x82\xAC");
}

} // namespace
