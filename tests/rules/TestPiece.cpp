#include "RulesTestSupport.h"
#include "StreamIO.h"

#include <gtest/gtest.h>

TEST(SquareName, WritesFileLetterAndRankDigit) {
    EXPECT_EQ(SquareName(MakePoint(1, 1)), "a1");
    EXPECT_EQ(SquareName(MakePoint(8, 8)), "h8");
    EXPECT_EQ(SquareName(MakePoint(5, 4)), "e4");
    EXPECT_EQ(SquareName(MakePoint(0, 0)), "??");
    EXPECT_EQ(SquareName(MakePoint(9, 1)), "??");
}

TEST(Opponent, SwapsColours) {
    EXPECT_EQ(Opponent(pcWhite), pcBlack);
    EXPECT_EQ(Opponent(pcBlack), pcWhite);
}

struct PatternRow {
    std::string Name;
    friend void PrintTo(const PatternRow& row, std::ostream* os) { *os << row.Name; }
    TPieceKind Kind;
    TPieceColour Colour;
    TPoint From;
    TPoint To;
    bool Matches;
};

class MatchesPatternTest : public testing::TestWithParam<PatternRow> { };

TEST_P(MatchesPatternTest, ShapeOfTheMove) {
    const PatternRow& row = GetParam();
    const TPiece piece(row.Kind, row.Colour);
    EXPECT_EQ(MatchesPattern(piece, row.From, row.To), row.Matches);
}

INSTANTIATE_TEST_SUITE_P(Shapes, MatchesPatternTest,
    testing::Values(PatternRow { "WhitePawnStepsUp", pkPawn, pcWhite, Sq("e2"), Sq("e3"), true },
        PatternRow { "WhitePawnNeverStepsBack", pkPawn, pcWhite, Sq("e3"), Sq("e2"), false },
        PatternRow { "WhitePawnDoubleStepFromRank2", pkPawn, pcWhite, Sq("e2"), Sq("e4"), true },
        PatternRow {
            "WhitePawnDoubleStepOnlyFromRank2", pkPawn, pcWhite, Sq("e3"), Sq("e5"), false },
        PatternRow { "WhitePawnCapturesDiagonallyUp", pkPawn, pcWhite, Sq("e4"), Sq("d5"), true },
        PatternRow { "BlackPawnStepsDown", pkPawn, pcBlack, Sq("e7"), Sq("e6"), true },
        PatternRow { "BlackPawnDoubleStepFromRank7", pkPawn, pcBlack, Sq("e7"), Sq("e5"), true },
        PatternRow {
            "BlackPawnDoubleStepOnlyFromRank7", pkPawn, pcBlack, Sq("e6"), Sq("e4"), false },
        PatternRow { "BlackPawnNeverStepsUp", pkPawn, pcBlack, Sq("e4"), Sq("d5"), false },
        PatternRow { "KnightJumpsL", pkKnight, pcWhite, Sq("g1"), Sq("f3"), true },
        PatternRow { "KnightNotDiagonal", pkKnight, pcWhite, Sq("g1"), Sq("h2"), false },
        PatternRow { "BishopDiagonal", pkBishop, pcBlack, Sq("c8"), Sq("h3"), true },
        PatternRow { "BishopNotStraight", pkBishop, pcBlack, Sq("c8"), Sq("c3"), false },
        PatternRow { "RookNotDiagonal", pkRook, pcWhite, Sq("a1"), Sq("b2"), false },
        PatternRow { "QueenStraight", pkQueen, pcWhite, Sq("d1"), Sq("d8"), true },
        PatternRow { "QueenNotKnightJump", pkQueen, pcWhite, Sq("d1"), Sq("e3"), false },
        PatternRow { "KingOneStep", pkKing, pcWhite, Sq("e1"), Sq("f2"), true },
        PatternRow { "KingNotTwoStepsForward", pkKing, pcWhite, Sq("e1"), Sq("e3"), false },
        PatternRow { "WhiteKingCastlingShape", pkKing, pcWhite, Sq("e1"), Sq("c1"), true },
        PatternRow { "BlackKingCastlingShape", pkKing, pcBlack, Sq("e8"), Sq("g8"), true },
        PatternRow {
            "CastlingShapeOnlyFromHomeSquare", pkKing, pcWhite, Sq("d1"), Sq("f1"), false },
        PatternRow { "CastlingShapeOnlyOnOwnRank", pkKing, pcBlack, Sq("e1"), Sq("g1"), false },
        PatternRow {
            "OffBoardDestinationNeverMatches", pkRook, pcWhite, Sq("a1"), MakePoint(0, 1), false },
        PatternRow {
            "OffBoardOriginNeverMatches", pkQueen, pcWhite, MakePoint(9, 9), Sq("h8"), false }),
    RowName());

TEST(MatchesPattern, UnknownKindNeverMatches) {
    TPiece piece(pkPawn, pcWhite);
    piece.Kind = static_cast<TPieceKind>(6);
    EXPECT_FALSE(MatchesPattern(piece, Sq("e2"), Sq("e3")));
}

TEST(PieceStream, SixBytesRoundTrip) {
    TPiece piece(pkKnight, pcBlack);
    piece.MoveCount = 0xA1B2;
    std::ostringstream out;
    piece.SaveToStream(out);
    EXPECT_EQ(out.str(), std::string("\x02\x01\xB2\xA1\x00\x00", 6));

    TPiece copy(pkPawn, pcWhite);
    std::istringstream in(out.str());
    copy.LoadFromStream(in);
    EXPECT_EQ(copy.Kind, pkKnight);
    EXPECT_EQ(copy.Colour, pcBlack);
    EXPECT_EQ(copy.MoveCount, 0xA1B2);
}

TEST(PieceStream, BadKindOrColourIsRefusedAndPieceKept) {
    for (const std::string& bytes : { std::string("\x06\x00\x00\x00\x00\x00", 6),
             std::string("\x01\x02\x00\x00\x00\x00", 6), std::string("\x01\x01\x00", 3) }) {
        TPiece piece(pkQueen, pcWhite);
        piece.MoveCount = 3;
        std::istringstream in(bytes);
        EXPECT_THROW(piece.LoadFromStream(in), EStreamError);
        EXPECT_EQ(piece.Kind, pkQueen);
        EXPECT_EQ(piece.Colour, pcWhite);
        EXPECT_EQ(piece.MoveCount, 3);
    }
}

TEST(PieceStream, MoveCountOutsideWhatAGameCanHoldIsRefused) {
    const auto bytesWithCount = [](int32_t count) {
        std::string bytes("\x01\x00", 2);
        for (int i = 0; i < 4; ++i)
            bytes += char(uint32_t(count) >> (8 * i));
        return bytes;
    };
    for (const int32_t count : { -1, 65536, INT32_MIN, INT32_MAX }) {
        TPiece piece(pkQueen, pcWhite);
        piece.MoveCount = 3;
        std::istringstream in(bytesWithCount(count));
        EXPECT_THROW(piece.LoadFromStream(in), EStreamError) << count;
        EXPECT_EQ(piece.MoveCount, 3) << count;
    }
    TPiece piece(pkQueen, pcWhite);
    std::istringstream in(bytesWithCount(65535));
    piece.LoadFromStream(in);
    EXPECT_EQ(piece.Kind, pkRook);
    EXPECT_EQ(piece.MoveCount, 65535);
}
