// The board widget on its own, without a main window: what the mouse asks for leaves as signals
// and the game is never changed by the widget itself.

#include "BoardGeometry.h"
#include "BoardWidget.h"
#include "Settings.h"
#include "UnitChessGame.h"
#include "ValueList.h"

#include <QApplication>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

TPoint Sq(const char* name) {
    return { name[0] - 'a' + 1, name[1] - '0' };
}

class BoardWidgetTest : public testing::Test {
protected:
    void SetUp() override {
        Game.WhitePlayer = TPlayer { 2, true, "Alice", false, 0, 0 };
        Game.BlackPlayer = TPlayer { 2, true, "Bob", false, 0, 0 };
        Board.show();
    }
    void TearDown() override { Game.StopGame(); }

    QPoint Centre(const char* square) const {
        const TPoint o = BoardGeometry::SquareOrigin(Sq(square), Board.Switched);
        return { o.X + 27, o.Y + 27 };
    }
    void Drag(const char* from, const char* to) {
        QTest::mousePress(Board.pbBoard, Qt::LeftButton, {}, Centre(from));
        QTest::mouseRelease(Board.pbBoard, Qt::LeftButton, {}, Centre(to));
    }

    TChessGame Game;
    TBoardView View;
    TSettings Settings;
    TValueList Values;
    TBoardWidget Board { Game, View, Settings, Values, nullptr };
};

TEST_F(BoardWidgetTest, ADragAsksForTheMoveAndLeavesTheGameAlone) {
    Game.StartGame();
    QSignalSpy requested(&Board, &TBoardWidget::moveRequested);
    Drag("e2", "e4");
    ASSERT_EQ(requested.count(), 1);
    EXPECT_EQ(requested[0][0].value<TPoint>(), Sq("e2"));
    EXPECT_EQ(requested[0][1].value<TPoint>(), Sq("e4"));
    EXPECT_EQ(Game.Moves.Count(), 0);
    // Nobody played the move, so the piece stays held until it is put back.
    EXPECT_EQ(Board.HeldSquare, Sq("e2"));
    Board.ClearHeldSquare();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    // Seen from black's side the same drag names the same squares.
    Board.Switched = true;
    Drag("e2", "e4");
    ASSERT_EQ(requested.count(), 2);
    EXPECT_EQ(requested[1][0].value<TPoint>(), Sq("e2"));
    EXPECT_EQ(requested[1][1].value<TPoint>(), Sq("e4"));
    Board.ClearHeldSquare();
}

TEST_F(BoardWidgetTest, NoMoveIsAskedForWhenInputIsNotAllowed) {
    QSignalSpy requested(&Board, &TBoardWidget::moveRequested);
    // No game yet.
    Drag("e2", "e4");
    // The opponent's piece, and a piece put down on its own square.
    Game.StartGame();
    Drag("e7", "e5");
    Drag("e2", "e2");
    Board.ClearHeldSquare();
    // The computer's side, and a network opponent's side.
    Game.WhitePlayer.Human = false;
    Drag("e2", "e4");
    Game.WhitePlayer.Human = true;
    Game.GameKind = gkClient;
    Game.HostColour = pcWhite;
    EXPECT_FALSE(Board.InputAllowed());
    Drag("e2", "e4");
    Game.GameKind = gkLocal;
    EXPECT_EQ(requested.count(), 0);
    EXPECT_EQ(Board.HeldSquare, TPoint {});
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(BoardWidgetTest, ThePanelsAnswerWithTheirSignalsAndCloseThemselves) {
    Game.StartGame();
    QSignalSpy chosen(&Board, &TBoardWidget::promotionChosen);
    Board.ShowPromotion();
    ASSERT_TRUE(Board.pnlPromotion->isVisible());
    QTest::mouseClick(Board.imgPromoteBishop, Qt::LeftButton);
    ASSERT_EQ(chosen.count(), 1);
    EXPECT_EQ(chosen[0][0].value<uint8_t>(), pkBishop);
    EXPECT_FALSE(Board.pnlPromotion->isVisible());

    QSignalSpy ready(&Board, &TBoardWidget::readyClicked);
    Board.ShowReady();
    Board.btnReady->click();
    EXPECT_EQ(ready.count(), 1);
    EXPECT_FALSE(Board.pnlReady->isVisible());

    // A status hides the ready panel it replaces.
    Board.ShowReady();
    Board.ShowStatus(stWaitingForPlayer);
    EXPECT_FALSE(Board.pnlReady->isVisible());
    EXPECT_TRUE(Board.pnlStatus->isVisible());
    EXPECT_EQ(Board.lblStatus->text(), Values.Value(QStringLiteral("Stat03")));
}

} // namespace
