#include "FormMoves.h"
#include "MoveNotation.h"
#include "PgnGame.h"
#include "Settings.h"
#include "UnitChessGame.h"
#include "UnitMoveList.h"
#include "ValueList.h"

#include <QHeaderView>
#include <QStyle>
#include <QTableWidget>

#include <gtest/gtest.h>

namespace {

TPoint At(const char* square) {
    return MakePoint(square[0] - 'a' + 1, square[1] - '0');
}

TMoveRecord Move(uint8_t kind, const char* from, const char* to, TMoveResult flags = 0) {
    TMoveRecord move;
    move.Kind = kind;
    move.From = At(from);
    move.To = At(to);
    move.Flags = flags;
    return move;
}

// The grid's data rows as "number|white|black" lines.
std::vector<std::string> Rows(const TfrmMoves& form) {
    std::vector<std::string> rows;
    for (int row = 1; row <= form.RowCount(); ++row)
        rows.push_back(
            (form.Cell(row, 0) + "|" + form.Cell(row, 1) + "|" + form.Cell(row, 2)).toStdString());
    return rows;
}

using Lines = std::vector<std::string>;

class MovesWindowTest : public testing::Test {
protected:
    void SetUp() override { Form.SetNotation(nsSimplified, DefaultPieceLetters); }

    // Adds moves the way the main window does: White's when the game's move count is odd.
    void AddMoves(std::initializer_list<std::pair<const char*, const char*>> moves) {
        for (const auto& [from, to] : moves)
            Form.AddMove(Move(pkPawn, from, to), ++Played % 2 == 1);
    }

    // Takes back the last move: White's when the remaining move count is even.
    void Undo() { Form.UndoLastMove(--Played % 2 == 0); }

    int CurrentColumn() const { return Form.stgMoves->currentColumn(); }
    int CurrentRow() const { return Form.stgMoves->currentRow(); }

    TfrmMoves Form;
    int Played = 0;
};

TEST_F(MovesWindowTest, FormAndGridLayout) {
    EXPECT_EQ(Form.objectName(), "frmMoves");
    EXPECT_EQ(Form.windowTitle(), "Moves");
    EXPECT_TRUE(Form.windowFlags() & Qt::Tool);
    EXPECT_GE(Form.minimumWidth(), 170);
    EXPECT_EQ(Form.maximumWidth(), Form.minimumWidth());
    EXPECT_EQ(Form.minimumHeight(), 100);
    QTableWidget* grid = Form.findChild<QTableWidget*>("stgMoves");
    ASSERT_EQ(grid, Form.stgMoves);
    ASSERT_EQ(grid->columnCount(), 3);
    EXPECT_EQ(grid->horizontalHeaderItem(0)->text(), "");
    EXPECT_EQ(grid->horizontalHeaderItem(1)->text(), "White");
    EXPECT_EQ(grid->horizontalHeaderItem(2)->text(), "Black");
    // Move numbers up to three digits and moves such as "e7-e8=Q+" and "g7xf8=Q+" are shown
    // whole, whatever the font, and the three columns fit the fixed width beside the scroll bar.
    Form.ensurePolished();
    const QFontMetrics metrics(grid->font());
    EXPECT_GE(grid->columnWidth(0), metrics.horizontalAdvance(QStringLiteral("100")) + 6);
    EXPECT_GE(grid->columnWidth(1), metrics.horizontalAdvance(QStringLiteral("e7-e8=Q+")) + 6);
    EXPECT_GE(grid->columnWidth(1), metrics.horizontalAdvance(QStringLiteral("g7xf8=Q+")) + 6);
    EXPECT_EQ(grid->columnWidth(2), grid->columnWidth(1));
    const int scrollBar = grid->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, grid);
    EXPECT_LE(grid->columnWidth(0) + 2 * grid->columnWidth(1) + scrollBar + 2 * grid->frameWidth(),
        Form.width());
    EXPECT_EQ(grid->textElideMode(), Qt::ElideNone);
    EXPECT_EQ(grid->rowHeight(0), 18);
    EXPECT_FALSE(grid->verticalHeader()->isVisibleTo(&Form));
    EXPECT_EQ(grid->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_EQ(grid->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_EQ(grid->horizontalHeader()->sectionResizeMode(1), QHeaderView::Interactive);
}

TEST_F(MovesWindowTest, EmptyGridHasOneEmptyDataRow) {
    EXPECT_EQ(Rows(Form), (Lines { "||" }));
    EXPECT_EQ(Form.Cell(0, 1), "") << "the header is not a data row";
    EXPECT_EQ(Form.Cell(2, 1), "");
}

TEST_F(MovesWindowTest, FirstWhiteMoveFillsRowOneWithoutAddingARow) {
    AddMoves({ { "e2", "e4" } });
    EXPECT_EQ(Rows(Form), (Lines { "1|e2-e4|" }));
    EXPECT_EQ(CurrentColumn(), 1);
}

TEST_F(MovesWindowTest, WhiteAfterBlackStartsTheNextNumberedRow) {
    AddMoves({ { "e2", "e4" }, { "e7", "e5" } });
    EXPECT_EQ(Rows(Form), (Lines { "1|e2-e4|e7-e5" }));
    EXPECT_EQ(CurrentColumn(), 2);
    AddMoves({ { "d2", "d4" } });
    EXPECT_EQ(Rows(Form), (Lines { "1|e2-e4|e7-e5", "2|d2-d4|" }));
    EXPECT_EQ(CurrentRow(), 1) << "the last row is selected";
    EXPECT_EQ(CurrentColumn(), 1);
}

TEST_F(MovesWindowTest, UndoOfBlackEmptiesOnlyItsColumn) {
    AddMoves({ { "e2", "e4" }, { "e7", "e5" }, { "d2", "d4" }, { "d7", "d5" } });
    Undo();
    EXPECT_EQ(Rows(Form), (Lines { "1|e2-e4|e7-e5", "2|d2-d4|" }));
    EXPECT_EQ(CurrentColumn(), 1);
}

TEST_F(MovesWindowTest, UndoOfWhiteRemovesItsRow) {
    AddMoves({ { "e2", "e4" }, { "e7", "e5" }, { "d2", "d4" } });
    Undo();
    EXPECT_EQ(Rows(Form), (Lines { "1|e2-e4|e7-e5" }));
    EXPECT_EQ(CurrentColumn(), 2);
    AddMoves({ { "g1", "f3" } });
    EXPECT_EQ(Rows(Form), (Lines { "1|e2-e4|e7-e5", "2|g1-f3|" }));
}

TEST_F(MovesWindowTest, UndoOfTheFirstMoveEmptiesRowOneAndKeepsIt) {
    AddMoves({ { "e2", "e4" } });
    Undo();
    EXPECT_EQ(Rows(Form), (Lines { "||" }));
    AddMoves({ { "d2", "d4" } });
    EXPECT_EQ(Rows(Form), (Lines { "1|d2-d4|" })) << "row 1 is reused, not a second row";
}

TEST_F(MovesWindowTest, ClearLeavesOneEmptyRow) {
    AddMoves({ { "e2", "e4" }, { "e7", "e5" }, { "d2", "d4" } });
    Form.ClearMoves();
    EXPECT_EQ(Rows(Form), (Lines { "||" }));
    EXPECT_EQ(CurrentColumn(), 1);
}

TEST_F(MovesWindowTest, LoadMovesRewritesEveryMoveInTheCurrentStyle) {
    TMoveList moves;
    moves.Add(pkPawn, At("e2"), At("e4"), 0, 0);
    moves.Add(pkPawn, At("d7"), At("d5"), 0, 0);
    moves.Add(pkPawn, At("e4"), At("d5"), 0, mrCapture);
    moves.Add(pkQueen, At("d8"), At("d5"), 0, mrCapture);
    moves.Add(pkKnight, At("b1"), At("c3"), 0, 0);
    Form.AddMove(Move(pkPawn, "a2", "a3"), true);
    Form.LoadMoves(moves);
    EXPECT_EQ(Rows(Form), (Lines { "1|e2-e4|d7-d5", "2|e4-d5|d8-d5", "3|b1-c3|" }));

    Form.SetNotation(nsAlgebraic, QStringLiteral("BSTLDK"));
    Form.LoadMoves(moves);
    EXPECT_EQ(Rows(Form), (Lines { "1|Be4|Bd5", "2|Bxd5|Dxd5", "3|Sc3|" }));
    EXPECT_EQ(CurrentRow(), 2);

    Form.SetNotation(nsMixed, DefaultPieceLetters);
    TMoveList empty;
    Form.LoadMoves(empty);
    EXPECT_EQ(Rows(Form), (Lines { "||" }));
}

TEST_F(MovesWindowTest, SetNotationAppliesToLaterMovesOnly) {
    Form.AddMove(Move(pkKnight, "g1", "f3"), true);
    Form.SetNotation(nsAlgebraic, QStringLiteral("ПКЛСФК"));
    Form.AddMove(Move(pkKnight, "g8", "f6"), false);
    EXPECT_EQ(Rows(Form), (Lines { "1|g1-f3|Кf6" }));
}

// The moves window given the controller: it lists the game as it is played, on its own.
class FollowingMovesWindowTest : public testing::Test {
protected:
    void SetUp() override {
        Game.WhitePlayer = TPlayer { 2, true, "Ann", false, 0, 0 };
        Game.BlackPlayer = TPlayer { 2, true, "Bob", false, 0, 0 };
        Game.GameKind = gkLocal;
        Form.SetGame(Game, Settings, Values);
        Game.StartGame();
    }
    void TearDown() override { Game.StopGame(); }

    void Play(std::initializer_list<std::pair<const char*, const char*>> moves) {
        for (const auto& [from, to] : moves)
            ASSERT_FALSE(Game.PlayMove(At(from), At(to)) & mrInvalid) << from << to;
    }

    TChessGame Game;
    TSettings Settings;
    TValueList Values;
    TfrmMoves Form;
};

TEST_F(FollowingMovesWindowTest, PlayedMovesAreListedAndATakeBackRemovesExactlyWhatWent) {
    Play({ { "e2", "e4" }, { "e7", "e5" }, { "g1", "f3" } });
    EXPECT_EQ(Rows(Form), (Lines { "1|e2-e4|e7-e5", "2|g1-f3|" }));
    Game.UndoMove();
    EXPECT_EQ(Rows(Form), (Lines { "1|e2-e4|e7-e5" }));
    Game.UndoMove();
    EXPECT_EQ(Rows(Form), (Lines { "1|e2-e4|" }));
    Play({ { "d7", "d5" } });
    EXPECT_EQ(Rows(Form), (Lines { "1|e2-e4|d7-d5" }));
}

TEST_F(FollowingMovesWindowTest, AWaitingPromotionIsListedOnceItsPieceIsChosen) {
    Play({ { "h2", "h4" }, { "g7", "g5" }, { "h4", "g5" }, { "h7", "h6" }, { "g5", "h6" },
        { "b8", "c6" }, { "h6", "h7" }, { "c6", "b8" }, { "h7", "g8" } });
    ASSERT_TRUE(Game.PromotionPending());
    EXPECT_EQ(Form.RowCount(), 4);
    // Another game shown in the window meanwhile, then the current one again.
    TMoveList other;
    other.Add(pkPawn, At("a2"), At("a3"), 0, 0);
    Form.LoadMoves(other);
    Form.ReloadMoves();
    EXPECT_EQ(Form.RowCount(), 4);
    EXPECT_EQ(Form.Cell(4, 2), QStringLiteral("c6-b8"));
    Game.Promote(pkQueen);
    Form.ReloadMoves();
    ASSERT_EQ(Form.RowCount(), 5);
    EXPECT_EQ(Rows(Form).back(), "5|h7-g8|");
    Play({ { "e7", "e6" } });
    EXPECT_EQ(Rows(Form).back(), "5|h7-g8|e7-e6");
}

TEST_F(FollowingMovesWindowTest, ANewGameStartsEmptyInTheNotationOfTheSettings) {
    Play({ { "g1", "f3" } });
    Game.StopGame();
    Settings.Notation = nsAlgebraic;
    Game.StartGame();
    EXPECT_EQ(Rows(Form), (Lines { "||" }));
    Play({ { "g1", "f3" } });
    EXPECT_EQ(Rows(Form), (Lines { "1|Nf3|" }));
}

TEST_F(FollowingMovesWindowTest, StandardNotationWritesTheSanOfPgnFromTheGamesOwnStart) {
    TPgnGameRecord record;
    std::string error;
    ASSERT_TRUE(PgnRecordFromFen("5k2/1P6/8/8/8/8/8/R3K2R w KQ - 0 1", record, error)) << error;
    ASSERT_TRUE(LoadPgnGame(record, Game));
    Settings.Notation = nsStandard;
    Game.StartGame();
    // Castling with check, a promotion chosen by the person, a rook named by its file.
    Play({ { "e1", "g1" }, { "f8", "e7" }, { "b7", "b8" } });
    EXPECT_EQ(Rows(Form), (Lines { "1|O-O+|Ke7" }));
    Game.Promote(pkKnight);
    Play({ { "e7", "e6" }, { "a1", "e1" } });
    EXPECT_EQ(Rows(Form), (Lines { "1|O-O+|Ke7", "2|b8=N|Ke6", "3|Rae1+|" }));
    // Listed again (another notation and back) and after a take-back, the same texts.
    Settings.Notation = nsSimplified;
    Form.ApplyNotation();
    Form.ReloadMoves();
    EXPECT_EQ(Rows(Form).front(), "1|O-O|f8-e7");
    Settings.Notation = nsStandard;
    Form.ApplyNotation();
    Form.ReloadMoves();
    EXPECT_EQ(Rows(Form), (Lines { "1|O-O+|Ke7", "2|b8=N|Ke6", "3|Rae1+|" }));
    Game.UndoMove();
    Play({ { "f1", "e1" } });
    EXPECT_EQ(Rows(Form).back(), "3|Rfe1+|");
}

TEST_F(MovesWindowTest, StandardNotationOfAListFromTheInitialPositionEndsWithTheMate) {
    TMoveList moves;
    moves.Add(pkPawn, At("f2"), At("f3"), 0, 0);
    moves.Add(pkPawn, At("e7"), At("e5"), 0, 0);
    moves.Add(pkPawn, At("g2"), At("g4"), 0, 0);
    moves.Add(pkQueen, At("d8"), At("h4"), 0, mrCheck | mrGameOver);
    Form.SetNotation(nsStandard, QStringLiteral("BSTLDK"));
    Form.LoadMoves(moves);
    EXPECT_EQ(Rows(Form), (Lines { "1|f3|e5", "2|g4|Qh4#" }));
    // A move without its position is written as Algebraic in the letters of PGN.
    Form.AddMove(Move(pkKnight, "g1", "f3"), true);
    EXPECT_EQ(Rows(Form).back(), "3|Nf3|");
}

} // namespace
