#include "RulesTestSupport.h"

#include <functional>
#include <gtest/gtest.h>

namespace {

int CountPieces(const TChessBoard& board) {
    int n = 0;
    for (int x = 1; x <= 8; ++x)
        for (int y = 1; y <= 8; ++y)
            n += board.PieceAt(x, y) != nullptr;
    return n;
}

} // namespace

TEST(BoardReset, SetsUpTheInitialPosition) {
    TChessBoard board;
    EXPECT_EQ(CountPieces(board), 32);
    for (int x = 1; x <= 8; ++x) {
        for (int y : { 1, 2, 7, 8 })
            EXPECT_EQ(board.PieceAt(x, y)->MoveCount, 0);
        EXPECT_EQ(board.PieceAt(x, 2)->Kind, pkPawn);
        EXPECT_EQ(board.PieceAt(x, 7)->Colour, pcBlack);
    }
    EXPECT_EQ(board.PieceAt(4, 1)->Kind, pkQueen);
    EXPECT_EQ(board.PieceAt(4, 1)->Colour, pcWhite);
    EXPECT_EQ(board.PieceAt(4, 8)->Kind, pkQueen);
    EXPECT_EQ(board.PieceAt(4, 8)->Colour, pcBlack);
    EXPECT_EQ(board.PieceAt(5, 8)->Kind, pkKing);
    EXPECT_EQ(board.WhiteKing, MakePoint(5, 1));
    EXPECT_EQ(board.BlackKing, MakePoint(5, 8));
    EXPECT_EQ(board.CapturedCount(pcWhite), 0);
    EXPECT_EQ(board.CapturedCount(pcBlack), 0);
    EXPECT_FALSE(board.Modified);
}

TEST(BoardPieces, PutPieceReplacesTheOccupantAndRefusesNone) {
    TChessBoard board;
    EXPECT_TRUE(board.PutPiece(4, 1, std::make_unique<TPiece>(pkKnight, pcBlack)));
    EXPECT_EQ(board.PieceAt(4, 1)->Kind, pkKnight);
    EXPECT_EQ(board.PieceAt(4, 1)->Colour, pcBlack);
    EXPECT_TRUE(board.Modified);

    board.Modified = false;
    EXPECT_FALSE(board.PutPiece(3, 1, nullptr));
    EXPECT_EQ(board.PieceAt(3, 1)->Kind, pkBishop);
    EXPECT_FALSE(board.Modified);

    auto piece = std::make_unique<TPiece>(pkRook, pcWhite);
    EXPECT_THROW(board.PutPiece(0, 4, std::move(piece)), ERangeError);
    ASSERT_NE(piece, nullptr) << "a refused piece stays with the caller";
}

TEST(BoardPieces, TakePieceHandsOverThePieceAndEmptySquareChangesNothing) {
    TChessBoard board;
    EXPECT_EQ(board.TakePiece(5, 4), nullptr);
    EXPECT_FALSE(board.Modified);
    auto knight = board.TakePiece(2, 1);
    ASSERT_NE(knight, nullptr);
    EXPECT_EQ(knight->Kind, pkKnight);
    EXPECT_EQ(board.PieceAt(2, 1), nullptr);
    EXPECT_TRUE(board.Modified);
}

TEST(BoardPieces, PlacingAKingMovesTheKingCache) {
    TChessBoard board;
    board.PutPiece(5, 3, board.TakePiece(5, 1));
    EXPECT_EQ(board.WhiteKing, MakePoint(5, 3));
    board.PutPiece(4, 6, board.TakePiece(5, 8));
    EXPECT_EQ(board.BlackKing, MakePoint(4, 6));
}

TEST(BoardCaptured, PiecesGoToTheListOfTheSideThatTookThem) {
    TChessBoard board;
    auto knight = std::make_unique<TPiece>(pkKnight, pcBlack);
    const TPiece* knightAddress = knight.get();
    EXPECT_TRUE(board.AddCaptured(knight));
    EXPECT_EQ(knight, nullptr);
    EXPECT_EQ(board.CapturedCount(pcWhite), 1);
    EXPECT_EQ(board.CapturedCount(pcBlack), 0);
    EXPECT_EQ(board.Captured(pcWhite, 1), knightAddress);

    auto back = board.PopCaptured(pcWhite);
    EXPECT_EQ(back.get(), knightAddress);
    EXPECT_EQ(board.CapturedCount(pcWhite), 0);
    EXPECT_EQ(board.PopCaptured(pcWhite), nullptr);
    std::unique_ptr<TPiece> none;
    EXPECT_FALSE(board.AddCaptured(none));
}

TEST(BoardCaptured, SixteenthPieceIsRefusedAndCountStaysAtFifteen) {
    TChessBoard board;
    for (int i = 0; i < 15; ++i) {
        auto pawn = std::make_unique<TPiece>(pkPawn, pcWhite);
        pawn->MoveCount = i;
        ASSERT_TRUE(board.AddCaptured(pawn));
    }
    auto extra = std::make_unique<TPiece>(pkQueen, pcWhite);
    EXPECT_FALSE(board.AddCaptured(extra));
    ASSERT_NE(extra, nullptr) << "a refused piece stays with the caller";
    EXPECT_EQ(board.CapturedCount(pcBlack), 15);
    EXPECT_EQ(board.Captured(pcBlack, 15)->MoveCount, 14);
    EXPECT_EQ(board.Captured(pcBlack, 16), nullptr);
    EXPECT_EQ(board.PopCaptured(pcBlack)->MoveCount, 14);
    EXPECT_EQ(board.CapturedCount(pcBlack), 14);
}

TEST(BoardAssign, CopyHasItsOwnPiecesAndAllCapturedEntries) {
    TChessBoard source;
    for (int x = 1; x <= 8; ++x) {
        for (int y : { 1, 2 }) {
            if (x != 5 && source.CapturedCount(pcBlack) < 12) {
                auto piece = source.TakePiece(x, y);
                ASSERT_TRUE(source.AddCaptured(piece));
            }
        }
    }
    source.EnPassant = true;
    source.LastMoveTo = MakePoint(4, 5);
    TChessBoard copy;
    copy.Modified = true;
    copy.Assign(source);

    EXPECT_EQ(Snapshot(copy), Snapshot(source));
    EXPECT_EQ(copy.CapturedCount(pcBlack), 12);
    EXPECT_FALSE(copy.Modified);
    for (int slot = 1; slot <= 12; ++slot)
        EXPECT_NE(copy.Captured(pcBlack, slot), source.Captured(pcBlack, slot));
    EXPECT_NE(copy.PieceAt(5, 8), source.PieceAt(5, 8));

    copy.PieceAt(5, 8)->MoveCount = 7;
    EXPECT_EQ(source.PieceAt(5, 8)->MoveCount, 0);
    copy.PutPiece(4, 4, std::make_unique<TPiece>(pkQueen, pcBlack));
    EXPECT_EQ(source.PieceAt(4, 4), nullptr);
}

TEST(BoardAssign, EmptiesSquaresThatAreEmptyInTheSource) {
    TChessBoard source;
    source.Clear();
    source.PutPiece(1, 1, std::make_unique<TPiece>(pkKing, pcWhite));
    source.PutPiece(8, 8, std::make_unique<TPiece>(pkKing, pcBlack));
    TChessBoard copy;
    copy.Assign(source);
    EXPECT_EQ(CountPieces(copy), 2);
    EXPECT_EQ(copy.WhiteKing, MakePoint(1, 1));
}

TEST(BoardClear, KeepsKingSquaresAndEnPassantState) {
    TChessBoard board;
    Play(board, "e2e4");
    board.Clear();
    EXPECT_EQ(CountPieces(board), 0);
    EXPECT_EQ(board.WhiteKing, MakePoint(5, 1));
    EXPECT_EQ(board.BlackKing, MakePoint(5, 8));
    EXPECT_TRUE(board.EnPassant);
    EXPECT_EQ(board.LastMoveTo, Sq("e4"));
    EXPECT_FALSE(board.Modified);

    board.PutPiece(1, 1, std::make_unique<TPiece>(pkKing, pcWhite));
    board.Reset();
    EXPECT_EQ(board.WhiteKing, MakePoint(5, 1));
}

TEST(BoardModified, TrialMovesSetItAndCopiesClearIt) {
    TChessBoard board;
    EXPECT_TRUE(Legal(board, "e2e4"));
    EXPECT_TRUE(board.Modified) << "the legality trial lifts and puts back pieces";
    TChessBoard copy;
    copy.Assign(board);
    EXPECT_FALSE(copy.Modified);
    LoadSnapshot(board, Snapshot(copy));
    EXPECT_FALSE(board.Modified);
}

struct OffBoardRow {
    std::string Name;
    friend void PrintTo(const OffBoardRow& row, std::ostream* os) { *os << row.Name; }
    std::function<void(TChessBoard&)> Call;
};

struct UnfitUndoRow {
    std::string Name;
    std::string Fen;
    const char* From;
    const char* To;
    TMoveResult Flags;
    friend void PrintTo(const UnfitUndoRow& row, std::ostream* os) { *os << row.Name; }
};

class UnfitUndoTest : public testing::TestWithParam<UnfitUndoRow> { };

// A move list that does not fit the board (a damaged file) asks to take back moves that no game
// made. Each is refused with the board unchanged: taking it back would leave a position that no
// file can hold, so the game could no longer be saved.
TEST_P(UnfitUndoTest, IsRefusedAndChangesNothing) {
    TChessBoard board;
    LoadFen(board, GetParam().Fen);
    const std::string before = Snapshot(board);
    EXPECT_EQ(board.UndoMove(Sq(GetParam().From), Sq(GetParam().To), GetParam().Flags), mrInvalid);
    EXPECT_EQ(Snapshot(board), before);
}

INSTANTIATE_TEST_SUITE_P(Moves, UnfitUndoTest,
    testing::Values(UnfitUndoRow { "PieceThatNeverMoved", StartFen, "c3", "b1", 0 },
        UnfitUndoRow { "PromotionToAKing", "4K3/8/8/8/8/8/8/4k3 w - - 0 1", "e2", "e1",
            mrPromotion | mrCapture },
        UnfitUndoRow { "PromotionAwayFromTheLastRank", "4k3/8/8/8/3P4/8/8/4K3 w - - 0 1", "d3",
            "d4", mrPromotion },
        UnfitUndoRow {
            "CastlingOfARook", "4k3/8/8/8/8/8/8/R3K3 w - - 0 1", "b1", "a1", mrCastling }),
    [](const testing::TestParamInfo<UnfitUndoRow>& info) { return info.param.Name; });

TEST(UndoMoveTest, CastlingTakenBackLeavesAPieceThatIsNotItsRookWhereItStands) {
    TChessBoard board;
    board.Clear();
    auto white = std::make_unique<TPiece>(pkKing, pcWhite);
    white->MoveCount = 1;
    board.PutPiece(7, 1, std::move(white));
    board.PutPiece(6, 1, std::make_unique<TPiece>(pkKing, pcBlack));
    EXPECT_EQ(board.UndoMove(Sq("e1"), Sq("g1"), mrCastling) & mrInvalid, 0);
    ASSERT_NE(board.PieceAt(Sq("f1")), nullptr);
    EXPECT_EQ(board.PieceAt(Sq("f1"))->Colour, pcBlack);
    EXPECT_EQ(board.KingSquare(pcWhite), Sq("e1"));
    EXPECT_EQ(board.KingSquare(pcBlack), Sq("f1"));
}

class OffBoardTest : public testing::TestWithParam<OffBoardRow> { };

// Every operation given a square outside 1..8 throws ERangeError and leaves the board as it was,
// Modified flag included.
TEST_P(OffBoardTest, ThrowsRangeErrorAndChangesNothing) {
    TChessBoard board;
    Play(board, "e2e4");
    board.Modified = false;
    const std::string before = Snapshot(board);
    EXPECT_THROW(GetParam().Call(board), ERangeError);
    EXPECT_EQ(Snapshot(board), before);
    EXPECT_FALSE(board.Modified);
    EXPECT_EQ(board.UndoMove(Sq("e2"), Sq("e4"), 0) & mrInvalid, 0)
        << "the board's memory of its last move is intact";
}

INSTANTIATE_TEST_SUITE_P(Operations, OffBoardTest,
    testing::Values(OffBoardRow { "PieceAtFileZero", [](TChessBoard& b) { b.PieceAt(0, 1); } },
        OffBoardRow { "PieceAtRankNine", [](TChessBoard& b) { b.PieceAt(1, 9); } },
        OffBoardRow { "PutPieceFileNine",
            [](TChessBoard& b) { b.PutPiece(9, 1, std::make_unique<TPiece>(pkKing, pcWhite)); } },
        OffBoardRow { "PutPieceNegativeRank",
            [](TChessBoard& b) { b.PutPiece(1, -1, std::make_unique<TPiece>(pkPawn, pcBlack)); } },
        OffBoardRow { "TakePieceRankZero", [](TChessBoard& b) { b.TakePiece(5, 0); } },
        OffBoardRow { "CanReachToOffBoard",
            [](TChessBoard& b) {
                b.CanReach(Sq("a1"), { 0, 1 });
            } },
        OffBoardRow { "IsLegalMoveFromOffBoard",
            [](TChessBoard& b) {
                b.IsLegalMove({ 5, 0 }, Sq("e1"));
            } },
        OffBoardRow { "IsLegalMoveToOffBoard",
            [](TChessBoard& b) {
                b.IsLegalMove(Sq("d1"), { 4, 9 });
            } },
        OffBoardRow { "IsAttackedFileNine", [](TChessBoard& b) { b.IsAttacked(9, 4, pcWhite); } },
        OffBoardRow { "IsDefendedRankZero", [](TChessBoard& b) { b.IsDefended(4, 0, pcBlack); } },
        OffBoardRow { "CanMoveFileZero", [](TChessBoard& b) { b.CanMove(0, 2); } },
        OffBoardRow { "ValidatedMoveToOffBoard",
            [](TChessBoard& b) {
                b.MovePiece(Sq("d1"), { 4, 9 }, true);
            } },
        OffBoardRow { "UnvalidatedMoveToOffBoard",
            [](TChessBoard& b) {
                b.MovePiece(Sq("d1"), { 4, 9 }, false);
            } },
        OffBoardRow { "UnvalidatedMoveFromOffBoard",
            [](TChessBoard& b) {
                b.MovePiece({ -3, 100 }, Sq("d4"), false);
            } },
        OffBoardRow { "PromoteOffBoard",
            [](TChessBoard& b) {
                b.Promote({ 1, 9 }, pkQueen);
            } },
        OffBoardRow { "UndoMoveToOffBoard",
            [](TChessBoard& b) {
                b.UndoMove(Sq("e2"), { 5, 9 }, 0);
            } },
        OffBoardRow { "UndoMoveFromOffBoard",
            [](TChessBoard& b) {
                b.UndoMove({ 0, 0 }, Sq("e4"), mrCapture);
            } }),
    RowName());
