#include "Perft.h"
#include "RulesTestSupport.h"

#include <gtest/gtest.h>

TEST(LegalMoves, StartPositionHasTwentyMovesInGenerationOrder) {
    TChessBoard board;
    std::string moves;
    for (const TMoveSquares& m : LegalMoves(board, pcWhite))
        moves += SquareName(m.From) + SquareName(m.To) + ' ';
    EXPECT_EQ(moves,
        "a2a3 a2a4 b1a3 b1c3 b2b3 b2b4 c2c3 c2c4 d2d3 d2d4 e2e3 e2e4 f2f3 f2f4 g1f3 g1h3 g2g3 "
        "g2g4 h2h3 h2h4 ");
}

struct LegalityRow {
    std::string Name;
    friend void PrintTo(const LegalityRow& row, std::ostream* os) { *os << row.Name; }
    std::string Fen;
    std::string Move;
    bool Legal;
};

class LegalityTest : public testing::TestWithParam<LegalityRow> { };

TEST_P(LegalityTest, MoveIsJudgedAndRefusalChangesNothing) {
    const LegalityRow& row = GetParam();
    TChessBoard board;
    LoadFen(board, row.Fen);
    const std::string before = Snapshot(board);
    EXPECT_EQ(Legal(board, row.Move), row.Legal);
    EXPECT_EQ(Snapshot(board), before) << "the legality trial puts everything back";
    if (!row.Legal) {
        EXPECT_EQ(Play(board, row.Move), mrInvalid);
        EXPECT_EQ(Snapshot(board), before);
    }
}

INSTANTIATE_TEST_SUITE_P(Rules, LegalityTest,
    testing::Values(LegalityRow { "PawnTakesStraightAhead", "4k3/8/8/8/8/4n3/4P3/4K3 w - - 0 1",
                        "e2e3", false },
        LegalityRow {
            "PawnDoubleStepsOverAPiece", "4k3/8/8/8/8/4n3/4P3/4K3 w - - 0 1", "e2e4", false },
        LegalityRow {
            "PawnDoubleStepsOntoAPiece", "4k3/8/8/8/4n3/8/4P3/4K3 w - - 0 1", "e2e4", false },
        LegalityRow { "PawnMovesDiagonallyToEmptySquare", StartFen, "e2d3", false },
        LegalityRow { "PawnTakesDiagonally", "4k3/8/8/8/8/3n4/4P3/4K3 w - - 0 1", "e2d3", true },
        LegalityRow { "MoverTakesOwnPiece", StartFen, "d1d2", false },
        LegalityRow { "RookJumpsOverAPiece", StartFen, "a1a3", false },
        LegalityRow { "KnightJumpsOverPieces", StartFen, "g1f3", true },
        LegalityRow { "PinnedPieceMoves", "4k3/4r3/8/8/8/8/4N3/4K3 w - - 0 1", "e2c3", false },
        LegalityRow { "KingStepsIntoCheck", "4k3/3r4/8/8/8/8/8/4K3 w - - 0 1", "e1d1", false },
        LegalityRow { "KingStepsNextToKing", "8/8/8/3k4/8/3K4/8/8 w - - 0 1", "d3d4", false },
        LegalityRow {
            "CheckIgnoredByOtherMove", "4k3/4r3/8/8/8/8/P7/4K3 w - - 0 1", "a2a3", false },
        LegalityRow { "CheckBlocked", "4k3/4r3/8/8/8/8/8/2B1K3 w - - 0 1", "c1e3", true },
        LegalityRow {
            "EnPassantRemovingTheCheckingPawn", "4k3/8/8/3pP3/4K3/8/8/8 w - d6 0 1", "e5d6", true },
        LegalityRow {
            "EnPassantExposingKingAlongRank", "4k3/8/8/KPp4r/8/8/8/8 w - c6 0 1", "b5c6", false },
        LegalityRow { "EnPassantByBlack", "4k3/8/8/8/3Pp3/8/8/4K3 b - d3 0 1", "e4d3", true },
        LegalityRow { "EnPassantOnWrongFile", "4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1", "e5f6", false },
        LegalityRow { "CastlesKingside", "4k3/8/8/8/8/8/8/4K2R w K - 0 1", "e1g1", true },
        LegalityRow {
            "CastlesQueensideWithB1Attacked", "1r2k3/8/8/8/8/8/8/R3K3 w Q - 0 1", "e1c1", true },
        LegalityRow { "CastlesWithRookAttacked", "4k2r/8/8/8/8/8/8/4K2R w K - 0 1", "e1g1", true },
        LegalityRow { "CastlesWithoutRight", "4k3/8/8/8/8/8/8/4K2R w - - 0 1", "e1g1", false },
        LegalityRow { "CastlesOutOfCheck", "4k3/4r3/8/8/8/8/8/4K2R w K - 0 1", "e1g1", false },
        LegalityRow {
            "CastlesThroughRookAttack", "4kr2/8/8/8/8/8/8/4K2R w K - 0 1", "e1g1", false },
        LegalityRow {
            "CastlesThroughPawnAttackOnF1", "4k3/8/8/8/8/8/6p1/4K2R w K - 0 1", "e1g1", false },
        LegalityRow {
            "CastlesThroughPawnAttackOnD1", "4k3/8/8/8/8/8/4p3/R3K3 w Q - 0 1", "e1c1", false },
        LegalityRow { "BlackCastlesThroughPawnAttackOnF8", "4k2r/4P3/8/8/8/8/8/4K3 b k - 0 1",
            "e8g8", false },
        LegalityRow { "BlackCastlesThroughPawnAttackOnD8", "r3k3/4P3/8/8/8/8/8/4K3 b q - 0 1",
            "e8c8", false },
        LegalityRow { "CastlesIntoCheck", "4k1r1/8/8/8/8/8/8/4K2R w K - 0 1", "e1g1", false },
        LegalityRow { "CastlesOverKnight", "4k3/8/8/8/8/8/8/RN2K3 w Q - 0 1", "e1c1", false },
        LegalityRow { "CastlesOntoPiece", "4k3/8/8/8/8/8/8/4K1NR w K - 0 1", "e1g1", false }),
    RowName());

TEST(EnPassant, CaptureTakesThePawnBesideAndTheRightLastsOneMove) {
    TChessBoard board;
    for (const char* move : { "e2e4", "a7a6", "e4e5", "d7d5" })
        ASSERT_EQ(Play(board, move) & mrInvalid, 0) << move;
    EXPECT_TRUE(board.EnPassant);
    EXPECT_EQ(board.LastMoveTo, Sq("d5"));
    TChessBoard later;
    later.Assign(board);

    EXPECT_EQ(Play(board, "e5d6"), mrCapture);
    EXPECT_EQ(board.PieceAt(Sq("d5")), nullptr);
    EXPECT_EQ(board.PieceAt(Sq("d6"))->Colour, pcWhite);
    ASSERT_EQ(board.CapturedCount(pcWhite), 1);
    EXPECT_EQ(board.Captured(pcWhite, 1)->Kind, pkPawn);

    Play(later, "a2a3");
    Play(later, "a6a5");
    EXPECT_FALSE(Legal(later, "e5d6"));
}

TEST(EnPassant, NotAfterTwoSingleSteps) {
    TChessBoard board;
    for (const char* move : { "e2e4", "d7d6", "e4e5", "d6d5" })
        ASSERT_EQ(Play(board, move) & mrInvalid, 0) << move;
    EXPECT_FALSE(board.EnPassant);
    EXPECT_FALSE(Legal(board, "e5d6"));
}

TEST(Castling, MovesTheRookAndUndoPutsBothHomeUnmoved) {
    TChessBoard board;
    LoadFen(board, "5k2/8/8/8/8/8/8/4K2R w K - 0 1");
    const std::string before = Snapshot(board);
    EXPECT_EQ(Play(board, "e1g1"), mrCastling | mrCheck);
    EXPECT_EQ(board.PieceAt(Sq("f1"))->Kind, pkRook);
    EXPECT_EQ(board.PieceAt(Sq("f1"))->MoveCount, 1);
    EXPECT_EQ(board.PieceAt(Sq("g1"))->MoveCount, 1);
    EXPECT_EQ(board.PieceAt(Sq("h1")), nullptr);
    EXPECT_EQ(board.WhiteKing, Sq("g1"));

    board.UndoMove(Sq("e1"), Sq("g1"), mrCastling | mrCheck);
    EXPECT_EQ(Snapshot(board), before);
}

TEST(Castling, RefusedOnceKingOrRookHasMovedEvenIfBack) {
    TChessBoard board;
    LoadFen(board, "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1");
    for (const char* move : { "h1h2", "e8d8", "h2h1", "d8e8" })
        ASSERT_EQ(Play(board, move) & mrInvalid, 0) << move;
    EXPECT_FALSE(Legal(board, "e1g1"));
    EXPECT_TRUE(Legal(board, "e1c1"));
    EXPECT_FALSE(board.CanCastle(pcBlack, false));
    EXPECT_FALSE(board.CanCastle(pcBlack, true));
}

TEST(CanCastle, AtTheStartKingsideTrueQueensideFalse) {
    TChessBoard board;
    EXPECT_TRUE(board.CanCastle(pcWhite, false));
    EXPECT_FALSE(board.CanCastle(pcWhite, true));
    EXPECT_TRUE(board.CanCastle(pcBlack, false));
    EXPECT_FALSE(board.CanCastle(pcBlack, true));
}

TEST(CanCastle, PawnAttackingThePassedSquareDiagonallyForbidsBothWings) {
    TChessBoard board;
    LoadFen(board, "4k3/8/8/8/8/8/4p3/R3K2R w KQ - 0 1");
    board.Modified = false;
    const std::string before = Snapshot(board);
    EXPECT_FALSE(board.CanCastle(pcWhite, false));
    EXPECT_FALSE(board.CanCastle(pcWhite, true));
    EXPECT_EQ(Snapshot(board), before);
    EXPECT_FALSE(board.IsAttacked(6, 1, pcWhite)) << "IsAttacked itself keeps its pawn rule";
}

TEST(IsAttacked, PawnAttacksOccupiedDiagonalAndEmptySquareAhead) {
    TChessBoard board;
    LoadFen(board, "4k3/8/8/4p3/8/8/8/4K3 w - - 0 1");
    EXPECT_FALSE(board.IsAttacked(4, 4, pcWhite)) << "empty square diagonally ahead";
    EXPECT_TRUE(board.IsAttacked(5, 4, pcWhite)) << "empty square straight ahead";
    board.PutPiece(4, 4, std::make_unique<TPiece>(pkKnight, pcWhite));
    EXPECT_TRUE(board.IsAttacked(4, 4, pcWhite));
    board.PutPiece(5, 4, std::make_unique<TPiece>(pkKnight, pcWhite));
    EXPECT_FALSE(board.IsAttacked(5, 4, pcWhite));
    EXPECT_FALSE(board.IsAttacked(5, 4, pcBlack)) << "only pieces of the other colour attack";
}

TEST(IsAttacked, PawnAttacksTheSquareItCouldTakeEnPassantOn) {
    TChessBoard board;
    LoadFen(board, "4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1");
    EXPECT_TRUE(board.IsAttacked(4, 6, pcBlack));
    EXPECT_FALSE(board.IsAttacked(6, 6, pcBlack));
}

TEST(IsDefended, PieceCountsAsDefendedWhenAnOwnPieceCouldReachItsSquare) {
    TChessBoard board;
    LoadFen(board, "4k3/8/8/8/4N3/8/8/4RK2 w - - 0 1");
    EXPECT_TRUE(board.IsDefended(5, 4, pcWhite));
    EXPECT_FALSE(board.IsDefended(5, 4, pcBlack));
    const std::string before = Snapshot(board);
    board.PutPiece(5, 2, std::make_unique<TPiece>(pkBishop, pcBlack));
    EXPECT_FALSE(board.IsDefended(5, 4, pcWhite)) << "a blocked line does not defend";
    board.TakePiece(5, 2);
    EXPECT_EQ(Snapshot(board), before) << "the defended piece is put back";
}

TEST(IsDefended, KeepsThePawnRuleOfTheMoveTest) {
    TChessBoard board;
    LoadFen(board, "4k3/8/8/8/4N3/3P4/8/4K3 w - - 0 1");
    EXPECT_FALSE(board.IsDefended(5, 4, pcWhite)) << "diagonal to an emptied square";
    LoadFen(board, "4k3/8/8/8/4N3/4P3/8/K7 w - - 0 1");
    EXPECT_TRUE(board.IsDefended(5, 4, pcWhite)) << "straight ahead to an emptied square";
}

TEST(Promotion, CaptureOnLastRankPromotesAndUndoRestoresPawnAndVictim) {
    TChessBoard board;
    LoadFen(board, "3rk3/2P5/8/8/8/8/8/4K3 w - - 0 1");
    const std::string before = Snapshot(board);
    const TMoveResult moved = Play(board, "c7d8");
    EXPECT_EQ(moved, mrCapture | mrPromotion);
    EXPECT_EQ(board.PieceAt(Sq("d8"))->Kind, pkPawn) << "a pawn until Promote";
    const TMoveResult promoted = board.Promote(Sq("d8"), pkQueen);
    EXPECT_EQ(board.PieceAt(Sq("d8"))->Kind, pkQueen);
    EXPECT_EQ(promoted, mrCheck);

    board.UndoMove(Sq("c7"), Sq("d8"), moved | promoted);
    EXPECT_EQ(Snapshot(board), before);
    EXPECT_EQ(board.PieceAt(Sq("c7"))->Kind, pkPawn);
    EXPECT_EQ(board.PieceAt(Sq("d8"))->Kind, pkRook);
}

TEST(Promotion, KindOutsideRookToQueenChangesNothingButReportsFlags) {
    TChessBoard board;
    LoadFen(board, "8/R1P4k/8/8/8/8/8/4K3 w - - 0 1");
    EXPECT_EQ(Play(board, "c7c8"), mrPromotion | mrCheck);
    for (uint8_t kind : { uint8_t(pkPawn), uint8_t(pkKing), uint8_t(200) }) {
        EXPECT_EQ(board.Promote(Sq("c8"), kind), mrCheck);
        EXPECT_EQ(board.PieceAt(Sq("c8"))->Kind, pkPawn);
    }
    EXPECT_EQ(board.Promote(Sq("c8"), pkKnight), mrCheck);
    EXPECT_EQ(board.PieceAt(Sq("c8"))->Kind, pkKnight);
}

TEST(GameEnd, CheckmateStalemateAndPlainCheck) {
    TChessBoard board;
    for (const char* move : { "f2f3", "e7e5", "g2g4" })
        Play(board, move);
    EXPECT_EQ(Play(board, "d8h4"), mrCheck | mrGameOver);

    LoadFen(board, "k7/8/8/2Q5/8/8/8/4K3 w - - 0 1");
    EXPECT_EQ(Play(board, "c5b6"), mrGameOver);
    EXPECT_TRUE(board.HasNoLegalMove(pcBlack));
    EXPECT_FALSE(board.InCheck(pcBlack));

    LoadFen(board, "k7/8/8/2Q5/8/8/8/4K3 w - - 0 1");
    EXPECT_EQ(Play(board, "c5c8"), mrCheck);
}

TEST(GameEnd, TakingTheLastPieceLeavesBareKings) {
    TChessBoard board;
    board.Clear();
    board.PutPiece(5, 1, std::make_unique<TPiece>(pkKing, pcWhite));
    board.PutPiece(5, 8, std::make_unique<TPiece>(pkKing, pcBlack));
    board.PutPiece(4, 2, std::make_unique<TPiece>(pkQueen, pcBlack));
    for (int i = 0; i < 15; ++i) {
        auto white = std::make_unique<TPiece>(pkPawn, pcWhite);
        ASSERT_TRUE(board.AddCaptured(white));
        if (i < 14) {
            auto black = std::make_unique<TPiece>(pkPawn, pcBlack);
            ASSERT_TRUE(board.AddCaptured(black));
        }
    }
    EXPECT_TRUE(board.InCheck(pcWhite));
    EXPECT_EQ(Play(board, "e1d2"), mrCapture | mrGameOver);
    EXPECT_EQ(board.CapturedCount(pcWhite), 15);
}

TEST(CanMove, FindsAMoveOrNone) {
    TChessBoard board;
    EXPECT_TRUE(board.CanMove(2, 1));
    EXPECT_FALSE(board.CanMove(1, 1));
    EXPECT_FALSE(board.CanMove(4, 4));
    EXPECT_FALSE(board.HasNoLegalMove(pcWhite));
}

TEST(Undo, EnPassantPutsThePawnBackBesideAndRestoresTheRight) {
    TChessBoard board;
    TMoveList moves;
    for (const char* move : { "e2e4", "a7a6", "e4e5", "d7d5" }) {
        const TMoveResult flags = Play(board, move);
        moves.Add(board.PieceAt(Sq(std::string(move).substr(2)))->Kind, Sq(move),
            Sq(std::string(move).substr(2)), 0, flags);
    }
    const std::string before = Snapshot(board);
    const TMoveResult flags = Play(board, "e5d6");
    ASSERT_EQ(flags, mrCapture);
    const std::string after = Snapshot(board);

    board.UndoMove(Sq("e5"), Sq("d6"), flags);
    EXPECT_EQ(Snapshot(board), before);
    EXPECT_EQ(board.PieceAt(Sq("d6")), nullptr);
    EXPECT_EQ(board.PieceAt(Sq("d5"))->Colour, pcBlack);
    EXPECT_TRUE(board.EnPassant);
    EXPECT_EQ(board.LastMoveTo, Sq("d5"));

    // A board that did not play the move itself learns the same from the move before it.
    TChessBoard loaded;
    LoadSnapshot(loaded, after);
    loaded.UndoMove(Sq("e5"), Sq("d6"), flags, moves.Last());
    EXPECT_EQ(Snapshot(loaded), before);

    TChessBoard copy;
    copy.Assign(loaded);
    copy.UndoMove(Sq("d7"), Sq("d5"), moves.Last()->Flags, moves.Item(2));
    board.UndoMove(Sq("d7"), Sq("d5"), 0);
    EXPECT_EQ(Snapshot(copy), Snapshot(board));
    EXPECT_FALSE(copy.EnPassant);
    EXPECT_EQ(copy.LastMoveTo, Sq("e5"));
}

TEST(Undo, QuietMoveAfterADoubleStepRestoresTheRight) {
    TChessBoard board;
    TMoveList moves;
    Play(board, "e2e4");
    moves.Add(pkPawn, Sq("e2"), Sq("e4"), 0, 0);
    const std::string before = Snapshot(board);
    const TMoveResult flags = Play(board, "g8f6");
    const std::string after = Snapshot(board);

    board.UndoMove(Sq("g8"), Sq("f6"), flags);
    EXPECT_EQ(Snapshot(board), before);
    EXPECT_TRUE(board.EnPassant);

    TChessBoard loaded;
    LoadSnapshot(loaded, after);
    loaded.UndoMove(Sq("g8"), Sq("f6"), flags, moves.Last());
    EXPECT_EQ(Snapshot(loaded), before);

    loaded.UndoMove(Sq("e2"), Sq("e4"), 0, nullptr);
    EXPECT_EQ(Snapshot(loaded), Snapshot(TChessBoard()));
}
