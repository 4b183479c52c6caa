// Playing from the keyboard in the real main window: moves typed into the move entry and moves
// made with the square cursor reach the game through the board's own signals, promotions
// included, and refused entries play nothing.

#include "FormMain.h"
#include "MainMenu.h"
#include "RecordingPresenter.h"
#include "UnitMessages.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace {

TPoint Sq(const char* name) {
    return { name[0] - 'a' + 1, name[1] - '0' };
}

class BoardKeysTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_Home.isValid());
        qputenv("WINTERMOOT_HOME", m_Home.path().toLocal8Bit());
        SetMessagePresenter(std::make_unique<TRecordingPresenter>(Boxes));
        Main = std::make_unique<TfrmMain>();
        Main->Seams().PlaySound = nullptr;
        Main->show();
        Main->Game().WhitePlayer = TPlayer { 2, true, "Alice", false, 0, 0 };
        Main->Game().BlackPlayer = TPlayer { 2, true, "Bob", false, 0, 0 };
        Main->Game().GameKind = gkLocal;
        Main->Game().StartGame();
    }

    void TearDown() override {
        Main->Game().StopGame();
        Main.reset();
        SetMessagePresenter(nullptr);
    }

    TBoardWidget& Board() { return Main->Board(); }
    // Keys go where the keyboard is: the entry while it is open, the board otherwise.
    QWidget* Target() {
        return Board().edtMove->isVisible() ? static_cast<QWidget*>(Board().edtMove) : &Board();
    }
    void Key(Qt::Key key) { QTest::keyClick(Target(), key); }
    void Type(const QString& text) {
        for (const QChar c : text)
            QTest::keyClick(Target(), c.toLatin1());
    }
    // Types a move on the board and presses Enter.
    void Enter(const QString& move) {
        Type(move);
        Key(Qt::Key_Return);
    }
    const TPiece* At(const char* square) { return Main->Game().Board.PieceAt(Sq(square)); }
    // A new game with these moves typed.
    template <size_t N> void RestartAndType(const char* (&moves)[N]) {
        Main->Game().StopGame();
        Main->Game().StartGame();
        for (const char* move : moves)
            Enter(QString::fromLatin1(move));
    }
    // The pawn on h7 taken to g8 with the cursor, which offers the promotion choice.
    void PromoteOnG8ByCursor() {
        Board().CursorSquare = Sq("h7");
        Key(Qt::Key_Space);
        Key(Qt::Key_Up);
        Key(Qt::Key_Left);
        Key(Qt::Key_Space);
    }

    QTemporaryDir m_Home;
    std::vector<std::string> Boxes;
    std::unique_ptr<TfrmMain> Main;
};

TEST_F(BoardKeysTest, AGameTypedIntoTheEntryEndsInCheckmate) {
    EXPECT_EQ(Main->focusWidget(), &Board());
    Type(QStringLiteral("f"));
    ASSERT_TRUE(Board().pnlMove->isVisible());
    EXPECT_EQ(Board().edtMove->text(), QStringLiteral("f"));
    Type(QStringLiteral("3"));
    Key(Qt::Key_Return);
    EXPECT_FALSE(Board().pnlMove->isVisible());
    EXPECT_EQ(Main->focusWidget(), &Board());
    Enter(QStringLiteral("e7e5"));
    Enter(QStringLiteral("g4"));
    Enter(QStringLiteral("Qh4#"));
    EXPECT_EQ(Main->Game().Moves.Count(), 4);
    EXPECT_NE(Main->Game().GameState, gsPlaying);
    ASSERT_NE(At("h4"), nullptr);
    EXPECT_EQ(At("h4")->Kind, pkQueen);
    // With the game over, typing opens nothing.
    Type(QStringLiteral("e"));
    EXPECT_FALSE(Board().pnlMove->isVisible());
}

TEST_F(BoardKeysTest, ARefusedEntrySaysWhyAndPlaysNothing) {
    for (const char* move : { "d4", "d5", "Nf3", "Nf6" })
        Enter(QString::fromLatin1(move));
    ASSERT_EQ(Main->Game().Moves.Count(), 4);
    const struct {
        const char* Text;
        QLabel* Why;
    } rows[] = {
        { "Nd2", Board().lblMoveAmbiguous },
        { "Ke3", Board().lblMoveIllegal },
        { "O-O-O", Board().lblMoveIllegal },
        { "xyz", Board().lblMoveNotAMove },
        { "d5", Board().lblMoveIllegal },
    };
    for (const auto& row : rows) {
        Type(QString::fromLatin1(row.Text));
        Key(Qt::Key_Return);
        SCOPED_TRACE(row.Text);
        EXPECT_TRUE(Board().pnlMove->isVisible());
        EXPECT_TRUE(row.Why->isVisible());
        for (QLabel* other : { Board().lblMoveNotAMove, Board().lblMoveIllegal,
                 Board().lblMoveAmbiguous, Board().lblMovePromotion })
            EXPECT_EQ(other->isVisible(), other == row.Why);
        EXPECT_EQ(Main->Game().Moves.Count(), 4);
        // The refused text is selected, so that typing replaces it.
        EXPECT_EQ(Board().edtMove->selectedText(), QString::fromLatin1(row.Text));
    }
    // Editing the text takes the reason away; Escape closes the entry and gives the board
    // the keyboard again.
    Type(QStringLiteral("N"));
    EXPECT_FALSE(Board().lblMoveIllegal->isVisible());
    Key(Qt::Key_Escape);
    EXPECT_FALSE(Board().pnlMove->isVisible());
    EXPECT_EQ(Main->focusWidget(), &Board());
    Enter(QStringLiteral("Nbd2"));
    EXPECT_EQ(Main->Game().Moves.Count(), 5);
    EXPECT_EQ(At("d2")->Kind, pkKnight);
}

TEST_F(BoardKeysTest, TheCursorPicksUpAndPutsDownInTheViewsDirections) {
    EXPECT_EQ(Board().CursorSquare, TPoint {});
    Key(Qt::Key_Up);
    // The first arrow shows the cursor in front of the king of the side to move.
    EXPECT_EQ(Board().CursorSquare, Sq("e2"));
    EXPECT_EQ(Board().MakeSnapshot().CursorSquare, Sq("e2"));
    Key(Qt::Key_Space);
    EXPECT_EQ(Board().HeldSquare, Sq("e2"));
    Key(Qt::Key_Up);
    Key(Qt::Key_Up);
    // The held piece follows the cursor, and learn mode judges the square under it.
    EXPECT_EQ(Board().HoverSquare, Sq("e4"));
    EXPECT_TRUE(Board().MakeSnapshot().HeldMoveLegal);
    Key(Qt::Key_Return);
    ASSERT_EQ(Main->Game().Moves.Count(), 1);
    EXPECT_EQ(At("e4")->Kind, pkPawn);
    EXPECT_EQ(Board().HeldSquare, TPoint {});

    // Seen from black's side, up is towards rank 1 and right towards the a-file.
    Main->findChild<QAction*>(QStringLiteral("Menu_View_Switch"))->trigger();
    ASSERT_TRUE(Board().Switched);
    Key(Qt::Key_Right);
    EXPECT_EQ(Board().CursorSquare, Sq("d4"));
    for (int i = 0; i < 3; ++i)
        Key(Qt::Key_Down);
    Key(Qt::Key_Left);
    EXPECT_EQ(Board().CursorSquare, Sq("e7"));
    Key(Qt::Key_Space);
    // Space on the held piece puts it back, as a second click does.
    Key(Qt::Key_Space);
    EXPECT_EQ(Board().HeldSquare, TPoint {});
    Key(Qt::Key_Space);
    Key(Qt::Key_Up);
    Key(Qt::Key_Up);
    Key(Qt::Key_Space);
    ASSERT_EQ(Main->Game().Moves.Count(), 2);
    EXPECT_EQ(At("e5")->Kind, pkPawn);
    // The cursor stops at the board's edge and hides on a mouse click.
    for (int i = 0; i < 10; ++i)
        Key(Qt::Key_Left);
    EXPECT_EQ(Board().CursorSquare, Sq("h5"));
    QTest::mouseClick(Board().pbBoard, Qt::LeftButton, {}, QPoint(100, 100));
    EXPECT_EQ(Board().CursorSquare, TPoint {});
    Board().ClearHeldSquare();
    // It is not drawn over a game that has ended.
    Key(Qt::Key_Left);
    EXPECT_NE(Board().MakeSnapshot().CursorSquare, TPoint {});
    Main->Game().StopGame();
    EXPECT_EQ(Board().MakeSnapshot().CursorSquare, TPoint {});
}

TEST_F(BoardKeysTest, PromotionsByEntryAndByTheirLetters) {
    const char* moves[] = { "h4", "g5", "hxg5", "h6", "gxh6", "Nc6", "h7", "Nb8" };
    for (const char* move : moves)
        Enter(QString::fromLatin1(move));
    ASSERT_EQ(Main->Game().Moves.Count(), 8);
    // Without the piece the entry refuses; with it the pawn is promoted at once.
    Enter(QStringLiteral("hxg8"));
    EXPECT_TRUE(Board().lblMovePromotion->isVisible());
    Key(Qt::Key_Escape);
    Enter(QStringLiteral("hxg8=Q+"));
    EXPECT_FALSE(Board().pnlPromotion->isVisible());
    EXPECT_FALSE(Main->Game().PromotionPending());
    ASSERT_NE(At("g8"), nullptr);
    EXPECT_EQ(At("g8")->Kind, pkQueen);
    EXPECT_EQ(Main->Game().Turn, pcBlack);

    // A pawn moved by the cursor offers the panel; a letter chooses, here in French notation.
    RestartAndType(moves);
    Main->Values().SetValue(QStringLiteral("Pieces"), QStringLiteral("PCTFDR"));
    PromoteOnG8ByCursor();
    ASSERT_TRUE(Board().pnlPromotion->isVisible());
    // Typing opens no entry while the choice waits; a letter that names no piece does nothing.
    Type(QStringLiteral("K"));
    EXPECT_FALSE(Board().pnlMove->isVisible());
    EXPECT_TRUE(Board().pnlPromotion->isVisible());
    Type(QStringLiteral("C"));
    EXPECT_FALSE(Board().pnlPromotion->isVisible());
    ASSERT_NE(At("g8"), nullptr);
    EXPECT_EQ(At("g8")->Kind, pkKnight);
    EXPECT_EQ(Main->Game().Turn, pcBlack);

    // Space does not choose for the player; Enter takes the queen.
    RestartAndType(moves);
    PromoteOnG8ByCursor();
    ASSERT_TRUE(Board().pnlPromotion->isVisible());
    Key(Qt::Key_Space);
    EXPECT_TRUE(Board().pnlPromotion->isVisible());
    Key(Qt::Key_Return);
    EXPECT_FALSE(Board().pnlPromotion->isVisible());
    ASSERT_NE(At("g8"), nullptr);
    EXPECT_EQ(At("g8")->Kind, pkQueen);
}

} // namespace
