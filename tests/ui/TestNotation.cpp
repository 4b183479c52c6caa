#include "MoveNotation.h"

#include <gtest/gtest.h>

namespace {

TPoint At(const char* square) {
    return MakePoint(square[0] - 'a' + 1, square[1] - '0');
}

TMoveRecord Move(
    uint8_t kind, const char* from, const char* to, TMoveResult flags = 0, uint8_t promotion = 0) {
    TMoveRecord move;
    move.Kind = kind;
    move.From = At(from);
    move.To = At(to);
    move.Flags = flags;
    move.PromotionKind = promotion;
    return move;
}

struct NotationRow {
    std::string Name;
    TMoveRecord Move;
    std::string Pieces;
    std::string Algebraic;
    std::string Mixed;
    std::string Simplified;
    friend void PrintTo(const NotationRow& row, std::ostream* os) { *os << row.Name; }
};

class NotationTest : public testing::TestWithParam<NotationRow> { };

TEST_P(NotationTest, WritesEachStyle) {
    const NotationRow& row = GetParam();
    EXPECT_EQ(MoveText(row.Move, nsAlgebraic, row.Pieces), row.Algebraic);
    EXPECT_EQ(MoveText(row.Move, nsMixed, row.Pieces), row.Mixed);
    EXPECT_EQ(MoveText(row.Move, nsSimplified, row.Pieces), row.Simplified);
}

const std::string Default = DefaultPieceLetters;

INSTANTIATE_TEST_SUITE_P(Moves, NotationTest,
    testing::Values(NotationRow { "KnightLetterNotRook", Move(pkKnight, "g1", "f3"), Default, "Nf3",
                        "g1-f3", "g1-f3" },
        NotationRow {
            "RookLetterNotKnight", Move(pkRook, "a1", "a8"), Default, "Ra8", "a1-a8", "a1-a8" },
        NotationRow { "PawnCaptureKeepsPawnLetter", Move(pkPawn, "e5", "d6", mrCapture), Default,
            "Pxd6", "e5xd6", "e5-d6" },
        NotationRow { "PromotionWithCheck",
            Move(pkPawn, "e7", "e8", mrPromotion | mrCheck, pkQueen), Default, "Pe8=Q+", "e7-e8=Q+",
            "e7-e8" },
        NotationRow { "MateIsHashOnlyInAlgebraic", Move(pkQueen, "h5", "h7", mrCheck | mrGameOver),
            Default, "Qh7#", "h5-h7+", "h5-h7" },
        NotationRow { "CastlingKingside", Move(pkKing, "e1", "g1", mrCastling), Default, "O-O",
            "O-O", "O-O" },
        NotationRow { "CastlingQueensideWithCheckHasNoMark",
            Move(pkKing, "e8", "c8", mrCastling | mrCheck), Default, "O-O-O", "O-O-O", "O-O-O" },
        NotationRow { "CapturePromotionToKnight",
            Move(pkPawn, "e7", "d8", mrCapture | mrPromotion, pkKnight), Default, "Pxd8=N",
            "e7xd8=N", "e7-d8" },
        NotationRow { "PromotionKindOutOfRangeHasNoLetter",
            Move(pkPawn, "b7", "b8", mrPromotion, 7), Default, "Pb8=", "b7-b8=", "b7-b8" },
        NotationRow { "KindOutOfRangeHasNoLetter", Move(9, "c2", "c4", mrCheck), Default, "c4+",
            "c2-c4+", "c2-c4" },
        NotationRow { "ShortPiecesKeepTheLettersTheyHave", Move(pkBishop, "f1", "b5", mrCheck),
            "BSTL", "Lb5+", "f1-b5+", "f1-b5" },
        NotationRow { "ShortPiecesFallBackToDefaultLetters",
            Move(pkPawn, "a7", "a8", mrPromotion, pkQueen), "BSTL", "Ba8=Q", "a7-a8=Q", "a7-a8" },
        NotationRow { "EmptyPiecesFallBackToDefaultLetters", Move(pkKing, "e1", "e2"), "", "Ke2",
            "e1-e2", "e1-e2" },
        NotationRow { "PiecesAreCharactersNotBytes",
            Move(pkRook, "h1", "h8", mrPromotion, pkKnight), "ПКЛСФК", "Лh8=К", "h1-h8=К",
            "h1-h8" },
        NotationRow { "NonAsciiLetterBeforeACutOne", Move(pkQueen, "d1", "d7"), "ПКЛСФ\xD0", "Фd7",
            "d1-d7", "d1-d7" },
        NotationRow { "LetterCutShortFallsBack", Move(pkKing, "e1", "f1"), "ПКЛСФ\xD0", "Kf1",
            "e1-f1", "e1-f1" },
        NotationRow { "StrayContinuationByteFallsBack", Move(pkKnight, "b1", "c3"), "P\x80", "Nc3",
            "b1-c3", "b1-c3" }),
    [](const testing::TestParamInfo<NotationRow>& info) { return info.param.Name; });

TEST(Notation, UnknownStyleIsWrittenSimplified) {
    EXPECT_EQ(MoveText(Move(pkPawn, "e2", "e4", mrCheck), 5, Default), "e2-e4");
}

} // namespace
