// Reading a typed or written move: every spelling the move entry and the PGN reader accept, and
// the reason given for each kind of text that names no single legal move.

#include "Fen.h"
#include "MoveInput.h"
#include "RulesTestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr const char* Start = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";
// White can castle both ways; only the c3 knight reaches d1; no white bishop.
constexpr const char* Castles = "r3k2r/pppq1ppp/2np1n2/4p3/4P3/2NP1N2/PPPQ1PPP/R3K2R w KQkq - 0 1";
// Knights on b1 and f1 both reach d2; rooks on a3 and a5 both reach a4; no pawns.
constexpr const char* Twins = "4k3/8/8/R7/8/R7/8/1N2KN2 w - - 0 1";
// White's e5 pawn may take d6 en passant after ...d7-d5.
constexpr const char* Passant = "4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1";
// A white pawn about to promote on b8, or by taking on a8 or c8.
constexpr const char* Promote = "r1n1k3/1P6/8/8/8/8/8/4K2R w - - 0 1";

struct TInputRow {
    const char* Name;
    const char* Fen;
    const char* Text;
    TMoveInputError Error;
    const char* From; // "" when no move is expected
    const char* To;
    uint8_t Promotion;
    const char* Pieces = "PNRBQK";
    friend void PrintTo(const TInputRow& row, std::ostream* os) { *os << row.Name; }
};

class MoveInputTable : public testing::TestWithParam<TInputRow> { };

TEST_P(MoveInputTable, ReadsTheMoveOrSaysWhyNot) {
    const TInputRow& row = GetParam();
    TChessBoard board;
    const TPieceColour side = LoadFen(board, row.Fen);
    const TMoveInputResult result = ReadMoveInput(board, side, row.Text, row.Pieces);
    EXPECT_EQ(result.Error, row.Error) << row.Text;
    if (row.Error == miNone) {
        EXPECT_EQ(result.Move.From, Sq(row.From)) << row.Text;
        EXPECT_EQ(result.Move.To, Sq(row.To)) << row.Text;
        EXPECT_EQ(result.Move.Promotion, row.Promotion) << row.Text;
    }
}

INSTANTIATE_TEST_SUITE_P(Spellings, MoveInputTable,
    testing::Values(TInputRow { "PawnPush", Start, "e4", miNone, "e2", "e4", 0 },
        TInputRow { "KnightSan", Start, "Nf3", miNone, "g1", "f3", 0 },
        TInputRow { "SanWithMarks", Start, "Nf3+!?", miNone, "g1", "f3", 0 },
        TInputRow { "CoordinatesOfAKnight", Start, "g1f3", miNone, "g1", "f3", 0 },
        TInputRow { "CoordinatesWithDash", Start, "g1-f3", miNone, "g1", "f3", 0 },
        TInputRow { "LongSan", Start, "Ng1-f3", miNone, "g1", "f3", 0 },
        TInputRow { "PawnCapture", Passant, "exd6", miNone, "e5", "d6", 0 },
        TInputRow { "EnPassantMarked", Passant, "exd6 e.p.", miNone, "e5", "d6", 0 },
        TInputRow { "EnPassantMarkGlued", Passant, "exd6ep", miNone, "e5", "d6", 0 },
        TInputRow { "EnPassantCoordinates", Passant, "e5d6", miNone, "e5", "d6", 0 },
        TInputRow { "ShortCastling", Castles, "O-O", miNone, "e1", "g1", 0 },
        TInputRow { "LongCastlingWithZeros", Castles, "0-0-0", miNone, "e1", "c1", 0 },
        TInputRow { "CastlingAsKingCoordinates", Castles, "e1g1", miNone, "e1", "g1", 0 },
        TInputRow { "CastlingNotAllowedAtTheStart", Start, "O-O", miCastlingIllegal, "", "", 0 },
        TInputRow { "AmbiguousKnight", Twins, "Nd2", miAmbiguous, "", "", 0 },
        TInputRow { "KnightByFile", Twins, "Nbd2", miNone, "b1", "d2", 0 },
        TInputRow { "AmbiguousRook", Twins, "Ra4", miAmbiguous, "", "", 0 },
        TInputRow { "RookByRank", Twins, "R5a4", miNone, "a5", "a4", 0 },
        TInputRow { "IllegalKnightMove", Start, "Nf4", miNoLegalMove, "", "", 0 },
        TInputRow { "NoPawnThere", Twins, "a4", miNoLegalMove, "", "", 0 },
        TInputRow { "OpponentsPiece", Start, "e7e5", miNoLegalMove, "", "", 0 },
        TInputRow { "EmptySquare", Start, "e4e5", miNoLegalMove, "", "", 0 },
        TInputRow { "PromotionWithEquals", Promote, "b8=Q", miNone, "b7", "b8", pkQueen },
        TInputRow { "PromotionGlued", Promote, "b8N", miNone, "b7", "b8", pkKnight },
        TInputRow { "PromotionCoordinates", Promote, "b7b8q", miNone, "b7", "b8", pkQueen },
        TInputRow { "PromotionCoordinatesEquals", Promote, "b7-b8=R", miNone, "b7", "b8", pkRook },
        TInputRow { "UnderPromotionToBishop", Promote, "b7b8b", miNone, "b7", "b8", pkBishop },
        TInputRow { "CapturePromotion", Promote, "bxc8=Q#", miNone, "b7", "c8", pkQueen },
        TInputRow { "PromotionWithoutPiece", Promote, "b8", miPromotionMissing, "", "", 0 },
        TInputRow { "PieceNamedForAPlainMove", Start, "e4=Q", miNotAPromotion, "", "", 0 },
        TInputRow { "BlackPromotes", "4k3/8/8/8/8/8/6p1/4K3 b - - 0 1", "g1=N", miNone, "g2", "g1",
            pkKnight },
        TInputRow { "Empty", Start, "", miNotAMove, "", "", 0 },
        TInputRow { "OnlyMarks", Start, "+!", miNotAMove, "", "", 0 },
        TInputRow { "Junk", Start, "hello", miNotAMove, "", "", 0 },
        TInputRow { "OffTheBoard", Start, "e9", miNotAMove, "", "", 0 },
        TInputRow { "TooManySquares", Start, "e2e3e4", miNotAMove, "", "", 0 },
        TInputRow { "FourCastlingLetters", Castles, "O-O-O-O", miNotAMove, "", "", 0 },
        TInputRow { "FrenchKnight", Start, "Cf3", miNone, "g1", "f3", 0, "PCTFDR" },
        TInputRow { "FrenchKingIsNotARook", Castles, "Rf1", miNone, "e1", "f1", 0, "PCTFDR" },
        TInputRow {
            "FrenchQueenPromotion", Promote, "b8=D", miNone, "b7", "b8", pkQueen, "PCTFDR" },
        TInputRow { "GermanKnight", Castles, "Sd1", miNone, "c3", "d1", 0, "BSTLDK" },
        TInputRow { "EnglishLettersStillRead", Start, "Nf3", miNone, "g1", "f3", 0, "BSTLDK" }),
    [](const testing::TestParamInfo<TInputRow>& info) { return std::string(info.param.Name); });

TEST(MoveInput, ReadingLeavesThePositionAsItWas) {
    TChessBoard board;
    LoadFen(board, Castles);
    const std::string before = Snapshot(board);
    for (const char* text : { "O-O", "Nd5", "Qxh7", "zz", "e1c1", "a2a4" })
        ReadMoveInput(board, pcWhite, text);
    EXPECT_EQ(Snapshot(board), before);
}

TEST(MoveInput, PromotionLettersOfEitherLanguage) {
    EXPECT_EQ(PromotionOfLetter("Q"), pkQueen);
    EXPECT_EQ(PromotionOfLetter("n"), pkKnight);
    EXPECT_EQ(PromotionOfLetter("K"), 0);
    EXPECT_EQ(PromotionOfLetter(""), 0);
    EXPECT_EQ(PromotionOfLetter("QQ"), 0);
    // French: D(ame), T(our), F(ou), C(avalier); R is their king, so it is the English rook.
    EXPECT_EQ(PromotionOfLetter("D", "PCTFDR"), pkQueen);
    EXPECT_EQ(PromotionOfLetter("T", "PCTFDR"), pkRook);
    EXPECT_EQ(PromotionOfLetter("F", "PCTFDR"), pkBishop);
    EXPECT_EQ(PromotionOfLetter("C", "PCTFDR"), pkKnight);
    EXPECT_EQ(PromotionOfLetter("R", "PCTFDR"), pkRook);
}

} // namespace
