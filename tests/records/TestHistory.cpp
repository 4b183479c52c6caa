#include "RecordsTestSupport.h"
#include "UnitHistory.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <new>
#include <optional>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

// The largest single allocation since the last reset, so that tests can check that a hostile
// length in a file does not make the reader ask for memory the file cannot back.
static std::atomic<size_t> LargestAllocation { 0 };

void* operator new(size_t size) {
    size_t seen = LargestAllocation.load();
    while (size > seen && !LargestAllocation.compare_exchange_weak(seen, size)) { }
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}

void operator delete(void* p) noexcept {
    std::free(p);
}

void operator delete(void* p, size_t) noexcept {
    std::free(p);
}

namespace {

std::string I32(int32_t value) {
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[i] = char(uint32_t(value) >> (8 * i));
    return bytes;
}

std::string U16(uint16_t value) {
    return { char(value & 0xFF), char(value >> 8) };
}

std::string DateBytes(double date) {
    uint64_t bits = 0;
    std::memcpy(&bits, &date, 8);
    std::string bytes(8, '\0');
    for (int i = 0; i < 8; ++i)
        bytes[i] = char(bits >> (8 * i));
    return bytes;
}

std::string TextItem(const std::string& text) {
    return I32(int32_t(text.size())) + text;
}

std::string Header(uint16_t version, int32_t count) {
    return TextItem("WintermootGames") + U16(version) + I32(count);
}

std::string Move17(TPoint from, TPoint to, uint8_t flags) {
    return I32(from.X) + I32(from.Y) + I32(to.X) + I32(to.Y) + char(flags);
}

std::string Move19(uint8_t kind, uint8_t promotion, TPoint from, TPoint to, uint8_t flags) {
    return std::string { char(kind), char(promotion) } + Move17(from, to, flags);
}

// A game entry whose move-list section is `moves` holding `count` moves.
std::string Entry(double date, const std::string& white, const std::string& black,
    int32_t whiteTime, int32_t blackTime, uint8_t result, int32_t count, const std::string& moves) {
    return DateBytes(date) + TextItem(white) + TextItem(black) + I32(whiteTime) + I32(blackTime)
        + char(result) + I32(count) + moves;
}

uint64_t Bits(double value) {
    uint64_t bits = 0;
    std::memcpy(&bits, &value, 8);
    return bits;
}

double FromBits(uint64_t bits) {
    double value = 0;
    std::memcpy(&value, &bits, 8);
    return value;
}

std::string MoveBytes(const TMoveList& list) {
    std::string bytes;
    for (const TMoveRecord* r = list.First(); r; r = r->Next)
        bytes += Move19(r->Kind, r->PromotionKind, r->From, r->To, r->Flags);
    return bytes;
}

class HistoryTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(Dir.isValid()); }

    QString Path(const char* name = "history.dat") const { return Dir.filePath(name); }

    std::string ReadBytes(const QString& name) const {
        QFile file(name);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        const QByteArray data = file.readAll();
        return std::string(data.constData(), size_t(data.size()));
    }

    void WriteBytes(const std::string& bytes, const QString& name) const {
        QFile file(name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(bytes.data(), qint64(bytes.size())), qint64(bytes.size()));
    }

    // Three games of different shapes: a mate, a game with a promotion and castling, no moves.
    void AddSampleGames(THistory& history) {
        TMoveList mate;
        Record(mate, { "e2e4", "f7f6", "d2d4", "g7g5", "d1h5" });
        ASSERT_TRUE(history.AddGame("Anna", "Bo", 38420.604166666664, 75, 9, grWhiteWon, mate));
        TMoveList promotion;
        Record(promotion,
            { "e2e4", "d7d5", "e4d5", "c7c6", "d5c6", "d8b6", "c6b7", "e8d8", "b7c8n", "b6b2" });
        ASSERT_TRUE(history.AddGame(
            "Zoë Ærø", "Ünal \"the\" 😀", -1.25, 600, 3600, grUnfinished, promotion));
        ASSERT_TRUE(history.AddGame("", "Computer", 0.0, 0, 0, grWhiteForfeited, TMoveList()));
    }

    QTemporaryDir Dir;
};

void ExpectSameGames(const THistory& a, const THistory& b) {
    ASSERT_EQ(a.Count(), b.Count());
    const TGameInfo* x = a.First();
    const TGameInfo* y = b.First();
    for (; x && y; x = x->Next, y = y->Next) {
        EXPECT_EQ(Bits(x->Date), Bits(y->Date));
        EXPECT_EQ(x->White, y->White);
        EXPECT_EQ(x->Black, y->Black);
        EXPECT_EQ(x->WhiteTime, y->WhiteTime);
        EXPECT_EQ(x->BlackTime, y->BlackTime);
        EXPECT_EQ(x->Result, y->Result);
        EXPECT_EQ(MoveBytes(x->Moves), MoveBytes(y->Moves));
        EXPECT_EQ(x->Moves.Count(), y->Moves.Count());
    }
    EXPECT_EQ(x, nullptr);
    EXPECT_EQ(y, nullptr);
}

TEST_F(HistoryTest, EmptyHistoryIsTheTwentyFiveByteHeader) {
    THistory history;
    ASSERT_TRUE(history.SaveToFile(Path()));
    EXPECT_EQ(ReadBytes(Path()), Header(101, 0));
    EXPECT_EQ(ReadBytes(Path()).size(), 25u);
}

TEST_F(HistoryTest, GameEntryLayout) {
    THistory history;
    TMoveList moves;
    Record(moves, { "e2e4", "e7e5" });
    ASSERT_TRUE(history.AddGame("Anna", "Bo", 38420.5, 75, -9, grTied, moves));
    ASSERT_TRUE(history.SaveToFile(Path()));
    const std::string expected = Header(101, 1)
        + Entry(38420.5, "Anna", "Bo", 75, -9, grTied, 2,
            Move19(pkPawn, 0, Sq("e2"), Sq("e4"), 0) + Move19(pkPawn, 0, Sq("e7"), Sq("e5"), 0));
    EXPECT_EQ(ReadBytes(Path()), expected);
    EXPECT_EQ(expected.size(), 25u + 8 + 4 + 4 + 4 + 2 + 4 + 4 + 1 + 4 + 19 * 2);
}

TEST_F(HistoryTest, RoundTripKeepsGamesOrderAndDateBits) {
    THistory history;
    AddSampleGames(history);
    for (uint64_t bits : { uint64_t(0x8000000000000000), uint64_t(0x7FF8000000000123),
             uint64_t(0x0000000000000001), uint64_t(0x7FF0000000000000) }) {
        ASSERT_TRUE(history.AddGame("x", "y", FromBits(bits), 1, 2, grTied, TMoveList()));
    }
    ASSERT_TRUE(history.SaveToFile(Path()));
    THistory loaded;
    bool damaged = true;
    ASSERT_TRUE(loaded.LoadFromFile(Path(), &damaged));
    EXPECT_FALSE(damaged);
    ExpectSameGames(history, loaded);
    ASSERT_TRUE(loaded.SaveToFile(Path("again.dat")));
    EXPECT_EQ(ReadBytes(Path("again.dat")), ReadBytes(Path()));
}

TEST_F(HistoryTest, LoadReplacesTheGamesHeld) {
    THistory history;
    AddSampleGames(history);
    THistory empty;
    ASSERT_TRUE(empty.SaveToFile(Path()));
    ASSERT_TRUE(history.LoadFromFile(Path()));
    EXPECT_EQ(history.Count(), 0);
    EXPECT_EQ(history.First(), nullptr);
    EXPECT_EQ(history.Last(), nullptr);
}

TEST_F(HistoryTest, VersionHundredIsReadAndWrittenBackAsHundredAndOne) {
    const std::string moves = Move17(Sq("e2"), Sq("e4"), 0) + Move17(Sq("f7"), Sq("f5"), 0)
        + Move17(Sq("e4"), Sq("f5"), mrCapture);
    WriteBytes(
        Header(100, 1) + Entry(38000.25, "Old", "Timer", 5, 6, grBlackWon, 3, moves), Path());
    THistory history;
    ASSERT_TRUE(history.LoadFromFile(Path()));
    ASSERT_EQ(history.Count(), 1);
    const TGameInfo* game = history.First();
    EXPECT_EQ(game->White, "Old");
    EXPECT_EQ(game->Black, "Timer");
    EXPECT_EQ(game->Result, grBlackWon);
    ASSERT_EQ(game->Moves.Count(), 3);
    EXPECT_EQ(game->Moves.Item(2)->From, Sq("e4"));
    EXPECT_EQ(game->Moves.Item(2)->To, Sq("f5"));
    EXPECT_EQ(game->Moves.Item(2)->Flags, mrCapture);

    ASSERT_TRUE(history.SaveToFile(Path("new.dat")));
    const std::string written = ReadBytes(Path("new.dat"));
    EXPECT_EQ(written.substr(19, 2), U16(101));
    EXPECT_EQ(written.size(), 25u + 8 + 4 + 3 + 4 + 5 + 4 + 4 + 1 + 4 + 19 * 3);
}

TEST_F(HistoryTest, FileWithoutMagicIsReadAsBareGamesWithShortMoves) {
    WriteBytes(
        I32(1) + Entry(1.5, "A", "B", 1, 2, grTied, 1, Move17(Sq("g1"), Sq("f3"), 0)), Path());
    THistory history;
    ASSERT_TRUE(history.LoadFromFile(Path()));
    ASSERT_EQ(history.Count(), 1);
    EXPECT_EQ(history.First()->Moves.Item(0)->To, Sq("f3"));
}

TEST_F(HistoryTest, SingleByteNamesAreReadAsWindows1252) {
    WriteBytes(Header(101, 1) + Entry(1, "Jos\xe9", "\x80uro", 0, 0, 0, 0, ""), Path());
    THistory history;
    ASSERT_TRUE(history.LoadFromFile(Path()));
    ASSERT_EQ(history.Count(), 1);
    EXPECT_EQ(history.First()->White, "José");
    EXPECT_EQ(history.First()->Black, "€uro");
}

TEST_F(HistoryTest, VersionsOutsideTheReadRangeAreRefused) {
    for (uint16_t version : { 99, 102 }) {
        WriteBytes(Header(version, 0), Path());
        THistory history;
        AddSampleGames(history);
        bool damaged = true;
        EXPECT_FALSE(history.LoadFromFile(Path(), &damaged)) << version;
        EXPECT_FALSE(damaged);
        EXPECT_EQ(history.Count(), 0);
    }
}

TEST_F(HistoryTest, MissingFileLeavesAnEmptyHistory) {
    THistory history;
    AddSampleGames(history);
    bool damaged = true;
    EXPECT_FALSE(history.LoadFromFile(Path("absent.dat"), &damaged));
    EXPECT_FALSE(damaged);
    EXPECT_EQ(history.Count(), 0);
}

struct LoadRow {
    const char* Name;
    // The file's bytes; none for no file at all.
    std::optional<std::string> Bytes;
    THistoryLoad Status;
    int32_t GamesKept;
    friend void PrintTo(const LoadRow& row, std::ostream* os) { *os << row.Name; }
};

class HistoryLoadTest : public HistoryTest, public ::testing::WithParamInterface<LoadRow> { };

// What a load finds, for the files a user's folder may hold in place of the history.
TEST_P(HistoryLoadTest, TellsWhatItFound) {
    const LoadRow& row = GetParam();
    if (row.Bytes)
        WriteBytes(*row.Bytes, Path());
    THistory history;
    AddSampleGames(history);
    EXPECT_EQ(history.Load(Path()), row.Status);
    EXPECT_EQ(history.Count(), row.GamesKept);
}

const std::string GoodEntry = Entry(1.5, "A", "B", 1, 2, grTied, 1, Move17(Sq("g1"), Sq("f3"), 0));
const std::string GoodEntry19
    = Entry(1.5, "A", "B", 1, 2, grTied, 1, Move19(pkKnight, 0, Sq("g1"), Sq("f3"), 0));
const std::string Png = std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x10\0\0\0\x10", 24);
const std::string Elf = std::string("\x7f"
                                    "ELF\x02\x01\x01\0",
                            8)
    + std::string(8, '\0') + std::string("\x02\0\x3e\0\x01\0\0\0", 8) + std::string(40, '\0');
// A saved game opens with a text item of its own magic.
const std::string SavedGame = TextItem("WintermootGame") + U16(100) + std::string(600, '\0');

INSTANTIATE_TEST_SUITE_P(Files, HistoryLoadTest,
    ::testing::Values(LoadRow { "Missing", std::nullopt, hlMissing, 0 },
        LoadRow { "Whole", Header(101, 1) + GoodEntry19, hlLoaded, 1 },
        LoadRow { "EmptyFile", std::string(), hlNotHistory, 0 },
        LoadRow { "PngImage", Png, hlNotHistory, 0 }, LoadRow { "Program", Elf, hlNotHistory, 0 },
        LoadRow { "SavedGame", SavedGame, hlNotHistory, 0 },
        LoadRow { "PlainText", "Hello, this is no history.\n", hlNotHistory, 0 },
        LoadRow { "ZeroCountFollowedByMore", I32(0) + Png, hlNotHistory, 0 },
        LoadRow { "NegativeCountWithoutHeader", I32(-5) + GoodEntry, hlNotHistory, 0 },
        LoadRow { "FewerBytesThanACount", std::string("\x01\x02", 2), hlNotHistory, 0 },
        LoadRow { "HeaderlessWithoutGames", I32(0), hlLoaded, 0 },
        LoadRow { "HeaderlessGames", I32(2) + GoodEntry + GoodEntry, hlLoaded, 2 },
        LoadRow { "HeaderlessBrokenAfterItsFirstGame", I32(2) + GoodEntry + "\x01", hlDamaged, 1 },
        LoadRow { "CutInsideTheMagic", TextItem("WintermootGames").substr(0, 9), hlDamaged, 0 },
        LoadRow { "CutBeforeTheVersion", TextItem("WintermootGames"), hlDamaged, 0 },
        LoadRow { "NewerVersion", Header(102, 1) + GoodEntry19, hlNewerVersion, 0 },
        LoadRow { "OlderVersion", Header(99, 0), hlOldVersion, 0 },
        LoadRow { "DamagedLengthInTheFirstGame",
            Header(101, 1) + GoodEntry19.substr(0, 8) + I32(1000) + GoodEntry19.substr(12),
            hlDamaged, 0 },
        LoadRow { "CutInsideTheLastGame", Header(101, 2) + GoodEntry19 + GoodEntry19.substr(0, 20),
            hlDamaged, 1 }),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(HistoryTest, AFolderInPlaceOfTheFileIsUnreadable) {
    ASSERT_TRUE(QDir(Dir.path()).mkdir(QStringLiteral("history.dat")));
    THistory history;
    EXPECT_EQ(history.Load(Path()), hlUnreadable);
    bool damaged = true;
    EXPECT_FALSE(history.LoadFromFile(Path(), &damaged));
    EXPECT_FALSE(damaged);
}

TEST_F(HistoryTest, PositionsBeyond255) {
    THistory history;
    for (int i = 1; i <= 300; ++i)
        ASSERT_TRUE(history.AddGame("W", "B", i, i, 0, grTied, TMoveList()));
    ASSERT_TRUE(history.SaveToFile(Path()));
    THistory loaded;
    ASSERT_TRUE(loaded.LoadFromFile(Path()));
    for (uint16_t position : { 1, 255, 256, 257, 300 }) {
        ASSERT_NE(loaded.GetGame(position), nullptr) << position;
        EXPECT_EQ(loaded.GetGame(position)->WhiteTime, position);
    }
    EXPECT_EQ(loaded.GetGame(301), nullptr);
    EXPECT_EQ(loaded.GetGame(0), nullptr);
    EXPECT_TRUE(loaded.DeleteGame(300));
    EXPECT_TRUE(loaded.DeleteGame(256));
    EXPECT_EQ(loaded.Count(), 298);
    EXPECT_EQ(loaded.GetGame(256)->WhiteTime, 257);
    EXPECT_EQ(loaded.Last()->WhiteTime, 299);
}

TEST_F(HistoryTest, DeleteKeepsTheChainInOrder) {
    THistory history;
    for (int i = 1; i <= 4; ++i)
        history.AddGame("W", "B", 0, i, 0, grTied, TMoveList());
    EXPECT_FALSE(history.DeleteGame(0));
    EXPECT_FALSE(history.DeleteGame(5));
    EXPECT_EQ(history.Count(), 4);
    EXPECT_TRUE(history.DeleteGame(1));
    EXPECT_TRUE(history.DeleteGame(3));
    ASSERT_EQ(history.Count(), 2);
    EXPECT_EQ(history.First()->WhiteTime, 2);
    EXPECT_EQ(history.Last()->WhiteTime, 3);
    EXPECT_EQ(history.First()->Next, history.Last());
    EXPECT_EQ(history.Last()->Prev, history.First());
    EXPECT_EQ(history.First()->Prev, nullptr);
    EXPECT_EQ(history.Last()->Next, nullptr);
    EXPECT_TRUE(history.DeleteGame(2));
    EXPECT_TRUE(history.DeleteGame(1));
    EXPECT_EQ(history.Count(), 0);
    EXPECT_EQ(history.First(), nullptr);
    EXPECT_EQ(history.Last(), nullptr);
}

TEST_F(HistoryTest, AddedGameOwnsACopyOfTheMoves) {
    THistory history;
    TMoveList moves;
    Record(moves, { "e2e4", "e7e5" });
    ASSERT_TRUE(history.AddGame("W", "B", 0, 0, 0, grTied, moves));
    moves.Clear();
    Record(moves, { "d2d4" });
    ASSERT_EQ(history.First()->Moves.Count(), 2);
    EXPECT_EQ(history.First()->Moves.Item(1)->To, Sq("e5"));
}

TEST_F(HistoryTest, GameWithAnUnreadableMoveIsNotAdded) {
    THistory history;
    TMoveList moves;
    Record(moves, { "e2e4" });
    moves.Add(pkPawn, Sq("e7"), MakePoint(5, 9), 0, 0);
    EXPECT_FALSE(history.AddGame("W", "B", 0, 0, 0, grTied, moves));
    moves.Delete(1);
    moves.Add(7, Sq("e7"), Sq("e5"), 0, 0);
    EXPECT_FALSE(history.AddGame("W", "B", 0, 0, 0, grTied, moves));
    EXPECT_EQ(history.Count(), 0);
}

TEST_F(HistoryTest, EveryTruncationKeepsTheCompleteGames) {
    THistory history;
    AddSampleGames(history);
    // The file of the first k games ends where game k ends in the file of all of them.
    std::vector<size_t> gameEnds;
    {
        THistory prefix;
        for (const TGameInfo* g = history.First(); g; g = g->Next) {
            prefix.AddGame(
                g->White, g->Black, g->Date, g->WhiteTime, g->BlackTime, g->Result, g->Moves);
            ASSERT_TRUE(prefix.SaveToFile(Path("prefix.dat")));
            gameEnds.push_back(ReadBytes(Path("prefix.dat")).size());
        }
    }
    ASSERT_TRUE(history.SaveToFile(Path()));
    const std::string full = ReadBytes(Path());
    ASSERT_EQ(full.size(), gameEnds.back());

    for (size_t length = 0; length < full.size(); ++length) {
        WriteBytes(full.substr(0, length), Path("cut.dat"));
        THistory loaded;
        bool damaged = false;
        EXPECT_FALSE(loaded.LoadFromFile(Path("cut.dat"), &damaged)) << length;
        EXPECT_TRUE(damaged) << length;
        int32_t complete = 0;
        while (complete < int32_t(gameEnds.size()) && gameEnds[complete] <= length)
            ++complete;
        ASSERT_EQ(loaded.Count(), complete) << length;
        const TGameInfo* original = history.First();
        for (const TGameInfo* g = loaded.First(); g; g = g->Next, original = original->Next) {
            EXPECT_EQ(g->White, original->White);
            EXPECT_EQ(MoveBytes(g->Moves), MoveBytes(original->Moves));
        }
    }
}

struct HostileRow {
    const char* Name;
    // Offset from the start of the second game's entry (or the file when negative: the count).
    int Offset;
    int32_t Value;
    int32_t GamesKept;
    friend void PrintTo(const HostileRow& row, std::ostream* os) { *os << row.Name; }
};

class HostileFileTest : public HistoryTest, public ::testing::WithParamInterface<HostileRow> { };

// Two games, "Anna" - "Bo" with two moves each; the rows damage the second one.
TEST_P(HostileFileTest, RefusedWithoutCrashOrLargeAllocation) {
    const HostileRow& row = GetParam();
    const std::string moves
        = Move19(pkPawn, 0, Sq("e2"), Sq("e4"), 0) + Move19(pkPawn, 0, Sq("e7"), Sq("e5"), 0);
    const std::string entry = Entry(1, "Anna", "Bo", 1, 2, grTied, 2, moves);
    std::string bytes = Header(101, 2) + entry + entry;
    const size_t at = row.Offset < 0 ? 21 : 25 + entry.size() + size_t(row.Offset);
    bytes.replace(at, 4, I32(row.Value));
    WriteBytes(bytes, Path());

    THistory history;
    bool damaged = false;
    LargestAllocation = 0;
    EXPECT_FALSE(history.LoadFromFile(Path(), &damaged));
    EXPECT_LT(LargestAllocation.load(), 4096u);
    EXPECT_TRUE(damaged);
    EXPECT_EQ(history.Count(), row.GamesKept);
}

// Entry offsets: date 0, white length 8, black length 16, times 22 and 26, result 30, move count
// 31, first move 35 (kind, promotion, from x at 37, from y 41, to x 45, to y 49, flags 53).
INSTANTIATE_TEST_SUITE_P(Damage, HostileFileTest,
    ::testing::Values(HostileRow { "NameLengthOfTwoGigabytes", 8, 0x7FFFFFFF, 1 },
        HostileRow { "NameLengthBeyondTheData", 16, 1000, 1 },
        HostileRow { "MoveCountLargerThanTheData", 31, 0xFFFF, 1 },
        HostileRow { "OriginFileOffTheBoard", 37, 9, 1 },
        HostileRow { "DestinationRankHugeNegative", 49, INT32_MIN, 1 },
        HostileRow { "PieceKindOutOfRange", 35, 0x09, 1 },
        HostileRow { "NegativeGameCount", -1, -1, 0 },
        HostileRow { "GameCountLargerThanTheData", -1, 0x7FFFFFFF, 2 }),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(HistoryTest, DateConversions) {
    const QDateTime noon(QDate(2005, 3, 9), QTime(12, 0), Qt::LocalTime);
    EXPECT_EQ(EncodeDate(noon), 38420.5);
    EXPECT_EQ(DecodeDate(38420.5), noon);
    const QDateTime beforeEpoch(QDate(1899, 12, 29), QTime(6, 0), Qt::LocalTime);
    EXPECT_EQ(EncodeDate(beforeEpoch), -1.25);
    EXPECT_EQ(DecodeDate(-1.25), beforeEpoch);
    EXPECT_EQ(DecodeDate(0), QDateTime(QDate(1899, 12, 30), QTime(0, 0), Qt::LocalTime));
    const QDateTime late(QDate(2024, 2, 29), QTime(23, 59, 59, 999), Qt::LocalTime);
    EXPECT_EQ(DecodeDate(EncodeDate(late)), late);
    for (double bad : { std::nan(""), HUGE_VAL, -HUGE_VAL, 1e300, -1e7 })
        EXPECT_FALSE(DecodeDate(bad).isValid()) << bad;
}

struct SaveFailureRow {
    const char* Name;
    // Makes the save fail; runs in a child process, which answers through its exit status.
    bool (*Save)(const THistory& history, const QString& target);
    friend void PrintTo(const SaveFailureRow& row, std::ostream* os) { *os << row.Name; }
};

class SaveFailureTest : public HistoryTest,
                        public ::testing::WithParamInterface<SaveFailureRow> { };

// A failed save reports false and leaves the previous file and nothing else in its folder.
TEST_P(SaveFailureTest, PreviousFileStaysIntact) {
    THistory old;
    AddSampleGames(old);
    ASSERT_TRUE(old.SaveToFile(Path()));
    const std::string before = ReadBytes(Path());

    THistory bigger;
    TMoveList moves;
    for (int i = 0; i < 100; ++i)
        Record(moves, { "g1f3", "g8f6", "f3g1", "f6g8" });
    bigger.AddGame("W", "B", 0, 0, 0, grTied, moves);

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0)
        _exit(GetParam().Save(bigger, Path()) ? 1 : 0);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the save reported success";
    EXPECT_EQ(ReadBytes(Path()), before);
    EXPECT_EQ(QDir(Dir.path()).entryList(QDir::Files), QStringList { "history.dat" });
}

INSTANTIATE_TEST_SUITE_P(Failures, SaveFailureTest,
    ::testing::Values(SaveFailureRow { "DiskFull",
                          [](const THistory& history, const QString& target) {
                              std::signal(SIGXFSZ, SIG_IGN);
                              const rlimit limit { 512, 512 };
                              setrlimit(RLIMIT_FSIZE, &limit);
                              return history.SaveToFile(target);
                          } },
        SaveFailureRow { "ReadOnlyFolder",
            [](const THistory& history, const QString& target) {
                // Root writes into read-only folders, so the save runs as an unprivileged user.
                QFile::setPermissions(QFileInfo(target).path(),
                    QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadOther
                        | QFileDevice::ExeOther);
                if (geteuid() == 0 && setuid(65534) != 0)
                    return true;
                return history.SaveToFile(target);
            } }),
    [](const auto& info) { return std::string(info.param.Name); });

} // namespace
