#include "RulesTestSupport.h"
#include "StreamIO.h"

#include <functional>
#include <gtest/gtest.h>

namespace {

// A game with captures on both sides, castling and a fresh double step: every part of the board
// section holds something.
void PlayOpening(TChessBoard& board, TMoveList* moves = nullptr) {
    for (const char* move : { "e2e4", "d7d5", "e4d5", "d8d5", "g1f3", "d5a2", "f1e2", "a2b2",
             "e1g1", "b2c1", "d1c1", "c7c5" }) {
        const TPoint from = Sq(std::string(move).substr(0, 2));
        const TPoint to = Sq(std::string(move).substr(2, 2));
        const TMoveResult flags = board.MovePiece(from, to, true);
        ASSERT_EQ(flags & mrInvalid, 0) << move;
        if (moves)
            moves->Add(board.PieceAt(to)->Kind, from, to, 0, flags);
    }
}

// Offset of square or captured entry `entry` (0..93) in a board section.
size_t EntryOffset(const std::string& bytes, int entry) {
    size_t offset = 0;
    for (int i = 0; i < entry; ++i)
        offset += bytes[offset] ? 7 : 1;
    return offset;
}

int SquareEntry(const std::string& name) {
    return (name[0] - 'a') * 8 + (name[1] - '1');
}

void PutI32(std::string& bytes, size_t offset, int32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes[offset + i] = char(uint32_t(value) >> (8 * i));
}

void EmptyEntry(std::string& bytes, int entry) {
    const size_t offset = EntryOffset(bytes, entry);
    ASSERT_EQ(bytes[offset], 1);
    bytes.replace(offset, 7, std::string(1, '\0'));
}

// Replaces an empty entry by a piece record.
void FillEntry(std::string& bytes, int entry, TPieceKind kind, TPieceColour colour) {
    const size_t offset = EntryOffset(bytes, entry);
    ASSERT_EQ(bytes[offset], 0);
    bytes.replace(offset, 1, std::string { 1, char(kind), char(colour), 0, 0, 0, 0 });
}

constexpr int FirstCapturedByWhite = 64;
constexpr int FirstCapturedByBlack = 79;
constexpr size_t TailSize = 33;

std::string StartSection() {
    return Snapshot(TChessBoard());
}

} // namespace

TEST(BoardSection, StartPositionLayout) {
    const std::string bytes = StartSection();
    ASSERT_EQ(bytes.size(), 319u);
    EXPECT_EQ(bytes.substr(0, 7), std::string("\x01\x01\x00\x00\x00\x00\x00", 7)) << "a1 rook";
    EXPECT_EQ(bytes.substr(7, 7), std::string("\x01\x00\x00\x00\x00\x00\x00", 7)) << "a2 pawn";
    EXPECT_EQ(bytes[14], 0) << "a3 empty";
    EXPECT_EQ(bytes.substr(EntryOffset(bytes, SquareEntry("e8")), 3), "\x01\x05\x01");
    const std::string tail = bytes.substr(bytes.size() - TailSize);
    EXPECT_EQ(tail,
        std::string("\0\0\0\0\0\0\0\0"
                    "\x05\0\0\0\x01\0\0\0"
                    "\x05\0\0\0\x08\0\0\0"
                    "\0"
                    "\0\0\0\0\0\0\0\0",
            TailSize));
}

TEST(BoardSection, ReloadedBoardEqualsTheOriginal) {
    TChessBoard board;
    PlayOpening(board);
    const std::string bytes = Snapshot(board);
    EXPECT_EQ(bytes.size(), 319u) << "32 pieces on the squares or captured";

    TChessBoard loaded;
    loaded.Modified = true;
    LoadSnapshot(loaded, bytes);
    EXPECT_EQ(Snapshot(loaded), bytes);
    EXPECT_FALSE(loaded.Modified);
    EXPECT_EQ(loaded.CapturedCount(pcWhite), 2);
    EXPECT_EQ(loaded.Captured(pcWhite, 2)->Kind, pkQueen);
    EXPECT_EQ(loaded.CapturedCount(pcBlack), 4);
    EXPECT_EQ(loaded.Captured(pcBlack, 4)->Kind, pkBishop);
    EXPECT_EQ(loaded.WhiteKing, Sq("g1"));
    EXPECT_EQ(loaded.PieceAt(Sq("g1"))->MoveCount, 1);
    EXPECT_EQ(loaded.PieceAt(Sq("f1"))->MoveCount, 1);
    EXPECT_TRUE(loaded.EnPassant);
    EXPECT_EQ(loaded.LastMoveTo, Sq("c5"));
}

TEST(BoardSection, EveryTruncationIsRefusedAndChangesNothing) {
    TChessBoard source;
    PlayOpening(source);
    const std::string bytes = Snapshot(source);
    TChessBoard board;
    Play(board, "e2e4");
    const std::string before = Snapshot(board);
    for (size_t size = 0; size < bytes.size(); ++size) {
        EXPECT_THROW(LoadSnapshot(board, bytes.substr(0, size)), EStreamError) << size;
        ASSERT_EQ(Snapshot(board), before) << size;
    }
    EXPECT_TRUE(board.Modified);
}

struct DamageRow {
    std::string Name;
    friend void PrintTo(const DamageRow& row, std::ostream* os) { *os << row.Name; }
    std::function<void(std::string&)> Damage;
};

class DamagedBoardSectionTest : public testing::TestWithParam<DamageRow> { };

TEST_P(DamagedBoardSectionTest, IsRefusedAndChangesNothing) {
    std::string bytes = StartSection();
    GetParam().Damage(bytes);
    TChessBoard board;
    Play(board, "d2d4");
    const std::string before = Snapshot(board);
    EXPECT_THROW(LoadSnapshot(board, bytes), EStreamError);
    EXPECT_EQ(Snapshot(board), before);
    EXPECT_EQ(board.UndoMove(Sq("d2"), Sq("d4"), 0) & mrInvalid, 0)
        << "the board's memory of its last move is intact";
}

INSTANTIATE_TEST_SUITE_P(Damage, DamagedBoardSectionTest,
    testing::Values(DamageRow { "PresenceByteTwo", [](std::string& b) { b[0] = 2; } },
        DamageRow { "KindSix", [](std::string& b) { b[1] = 6; } },
        DamageRow { "ColourTwo", [](std::string& b) { b[2] = 2; } },
        DamageRow { "MoveCountNegative", [](std::string& b) { PutI32(b, 3, INT32_MIN); } },
        DamageRow { "MoveCountAbove65535", [](std::string& b) { PutI32(b, 3, 65536); } },
        DamageRow { "MoveCountMaximal", [](std::string& b) { PutI32(b, 3, INT32_MAX); } },
        DamageRow {
            "CapturedCountSixteen", [](std::string& b) { PutI32(b, b.size() - TailSize, 16); } },
        DamageRow { "CapturedCountNegative",
            [](std::string& b) { PutI32(b, b.size() - TailSize + 4, -1); } },
        DamageRow { "CapturedCountWithoutPieces",
            [](std::string& b) { PutI32(b, b.size() - TailSize, 1); } },
        DamageRow { "CapturedPieceBeyondCount",
            [](std::string& b) {
                EmptyEntry(b, SquareEntry("a7"));
                FillEntry(b, FirstCapturedByWhite, pkPawn, pcBlack);
            } },
        DamageRow { "OwnPieceInCapturedList",
            [](std::string& b) {
                EmptyEntry(b, SquareEntry("a2"));
                FillEntry(b, FirstCapturedByWhite, pkPawn, pcWhite);
                PutI32(b, b.size() - TailSize, 1);
            } },
        DamageRow { "KingInCapturedList",
            [](std::string& b) {
                EmptyEntry(b, SquareEntry("a2"));
                FillEntry(b, FirstCapturedByBlack, pkKing, pcWhite);
                PutI32(b, b.size() - TailSize + 4, 1);
            } },
        DamageRow { "SeventeenWhitePieces",
            [](std::string& b) {
                FillEntry(b, FirstCapturedByBlack, pkQueen, pcWhite);
                PutI32(b, b.size() - TailSize + 4, 1);
            } },
        DamageRow { "TwoWhiteKings", [](std::string& b) { b[1] = pkKing; } },
        DamageRow { "NoBlackKing",
            [](std::string& b) { b[EntryOffset(b, SquareEntry("e8")) + 1] = pkQueen; } },
        DamageRow {
            "WhiteKingSquareWrong", [](std::string& b) { PutI32(b, b.size() - TailSize + 8, 4); } },
        DamageRow { "BlackKingSquareOffBoard",
            [](std::string& b) { PutI32(b, b.size() - TailSize + 20, 9); } },
        DamageRow { "EnPassantByteTwo", [](std::string& b) { b[b.size() - 9] = 2; } },
        DamageRow { "EnPassantWithoutLastMove", [](std::string& b) { b[b.size() - 9] = 1; } },
        DamageRow { "LastMoveToOffBoard", [](std::string& b) { PutI32(b, b.size() - 8, 9); } }),
    RowName());

TEST(BoardSection, EnPassantFlagWithoutItsPawnIsReadAsClear) {
    // A taken-back double step whose flag was kept: e4 is empty again.
    std::string bytes = StartSection();
    bytes[bytes.size() - 9] = 1;
    PutI32(bytes, bytes.size() - 8, 5);
    PutI32(bytes, bytes.size() - 4, 4);
    TChessBoard board;
    LoadSnapshot(board, bytes);
    EXPECT_FALSE(board.EnPassant);
    EXPECT_EQ(board.LastMoveTo, Sq("e4"));

    LoadFen(board, "4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1");
    TChessBoard reloaded;
    LoadSnapshot(reloaded, Snapshot(board));
    EXPECT_TRUE(reloaded.EnPassant);
    EXPECT_TRUE(reloaded.IsLegalMove(Sq("e5"), Sq("d6")));
}

TEST(MoveListSection, ReloadedListEqualsTheOriginalWithScoresZero) {
    TChessBoard board;
    TMoveList moves;
    PlayOpening(board, &moves);
    moves.Add(pkPawn, Sq("b7"), Sq("b8"), 33, mrPromotion | mrCheck);
    moves.Last()->PromotionKind = pkQueen;
    std::ostringstream out;
    moves.SaveToStream(out);
    const std::string bytes = out.str();
    ASSERT_EQ(bytes.size(), 4u + 19u * moves.Count());
    EXPECT_EQ(bytes.substr(0, 4), std::string("\x0d\0\0\0", 4));
    EXPECT_EQ(bytes.substr(bytes.size() - 19),
        std::string("\x00\x04\x02\0\0\0\x07\0\0\0\x02\0\0\0\x08\0\0\0\x11", 19));

    TMoveList loaded;
    loaded.Add(pkKing, Sq("e1"), Sq("e2"), 0, 0);
    std::istringstream in(bytes);
    loaded.LoadFromStream(in, 101);
    ASSERT_EQ(loaded.Count(), moves.Count());
    for (uint16_t i = 0; i < moves.Count(); ++i) {
        const TMoveRecord* a = moves.Item(i);
        const TMoveRecord* b = loaded.Item(i);
        EXPECT_EQ(b->Kind, a->Kind);
        EXPECT_EQ(b->PromotionKind, a->PromotionKind);
        EXPECT_EQ(b->From, a->From);
        EXPECT_EQ(b->To, a->To);
        EXPECT_EQ(b->Flags, a->Flags);
        EXPECT_EQ(b->Score, 0);
    }
    std::ostringstream again;
    loaded.SaveToStream(again);
    EXPECT_EQ(again.str(), bytes);
}

TEST(MoveListSection, Version100ReadsSeventeenByteMoves) {
    // Two moves, e2e4 and d7d5 (with a check flag to tell them apart); the count's upper half is
    // ignored.
    const std::string bytes("\x02\0\x07\0"
                            "\x05\0\0\0\x02\0\0\0\x05\0\0\0\x04\0\0\0\x00"
                            "\x04\0\0\0\x07\0\0\0\x04\0\0\0\x05\0\0\0\x01",
        4 + 2 * 17);
    TMoveList list;
    std::istringstream in(bytes);
    list.LoadFromStream(in, 100);
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.First()->From, Sq("e2"));
    EXPECT_EQ(list.First()->To, Sq("e4"));
    EXPECT_EQ(list.Last()->From, Sq("d7"));
    EXPECT_EQ(list.Last()->Flags, mrCheck);
    EXPECT_EQ(list.Last()->Kind, 0);
    EXPECT_EQ(list.Last()->PromotionKind, 0);
    EXPECT_EQ(in.tellg(), std::streampos(bytes.size()));
}

TEST(MoveListSection, DamagedSectionsAreRefusedAndChangeNothing) {
    TMoveList good;
    good.Add(pkPawn, Sq("e2"), Sq("e4"), 0, 0);
    good.Add(pkPawn, Sq("a7"), Sq("a8"), 0, mrPromotion);
    good.Last()->PromotionKind = pkRook;
    std::ostringstream out;
    good.SaveToStream(out);
    const std::string bytes = out.str();

    std::vector<std::pair<std::string, std::string>> damaged;
    for (size_t size = 0; size < bytes.size(); ++size)
        damaged.emplace_back("truncated to " + std::to_string(size), bytes.substr(0, size));
    auto patched = [&](const char* name, size_t offset, char value) {
        std::string b = bytes;
        b[offset] = value;
        damaged.emplace_back(name, b);
    };
    patched("from file 9", 6, 9);
    patched("to rank 0", 18, 0);
    patched("kind 6", 4, 6);
    patched("promotion kind 5", 24, 5);
    patched("count above the moves", 0, 3);

    TMoveList list;
    list.Add(pkQueen, Sq("d1"), Sq("h5"), 7, mrCheck);
    for (const auto& [name, data] : damaged) {
        std::istringstream in(data);
        EXPECT_THROW(list.LoadFromStream(in, 101), EStreamError) << name;
        ASSERT_EQ(list.Count(), 1) << name;
        EXPECT_EQ(list.First()->Score, 7) << name;
    }
}
