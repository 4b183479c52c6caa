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
#include <ostream>

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

// Where the move entry opens: over the header of the side not to move, so that the mover's name,
// clock and check word stay in sight, whichever way the board is turned and at any size; with
// its label, its edit and the reason for a refused text whole.
struct TEntryPlace {
    const char* Name;
    bool BlackToMove;
    bool Switched;
    bool Large;
    // The label's text, when not the English one.
    const char* Label;
};

void PrintTo(const TEntryPlace& row, std::ostream* out) {
    *out << row.Name;
}

class MoveEntryPlaceTest : public BoardKeysTest,
                           public testing::WithParamInterface<TEntryPlace> { };

// The rectangle of a child of the board in the view's pixels.
QRect InView(TBoardWidget& board, const QWidget* widget) {
    return QRect(board.pbBoard->mapFrom(&board, widget->pos()), widget->size());
}

TEST_P(MoveEntryPlaceTest, CoversOnlyTheOtherSidesHeader) {
    const TEntryPlace& row = GetParam();
    if (row.BlackToMove)
        Enter(QStringLiteral("e4"));
    ASSERT_EQ(Main->Game().Turn, row.BlackToMove ? pcBlack : pcWhite);
    if (row.Switched)
        Main->findChild<QAction*>(QStringLiteral("Menu_View_Switch"))->trigger();
    ASSERT_EQ(Board().Switched, row.Switched);
    if (row.Large) {
        Main->resize(1500, 1400);
        QApplication::processEvents();
        ASSERT_GT(Board().Layout().ViewSize, 800);
    }
    if (row.Label)
        Board().lblMove->setText(QString::fromUtf8(row.Label));
    Type(QStringLiteral("x"));
    ASSERT_TRUE(Board().pnlMove->isVisible());

    // The headers split at the same place whichever way the board is turned.
    const TBoardLayout& l = Board().Layout();
    const int middle = l.Scaled(238);
    const QRect mover = row.BlackToMove ? QRect(middle, 0, l.ViewSize - middle, l.Top)
                                        : QRect(0, 0, middle, l.Top);
    const QRect entry = InView(Board(), Board().pnlMove);
    EXPECT_FALSE(entry.intersects(mover)) << "entry " << entry.x() << " .. " << entry.right();
    EXPECT_TRUE(QRect(0, 0, l.ViewSize, l.ViewSize).contains(entry));

    // Label and edit whole inside the panel, the edit with room for the longest move text.
    const QRect inside = Board().pnlMove->contentsRect();
    const QLabel* label = Board().lblMove;
    const QLineEdit* edit = Board().edtMove;
    EXPECT_TRUE(inside.contains(edit->geometry()));
    EXPECT_TRUE(inside.contains(label->geometry()));
    EXPECT_FALSE(label->geometry().intersects(edit->geometry()));
    EXPECT_GE(label->width(), label->fontMetrics().horizontalAdvance(label->text()));
    const QFontMetrics metrics = edit->fontMetrics();
    const int margins = edit->sizeHint().width() - 17 * metrics.horizontalAdvance(QLatin1Char('x'));
    EXPECT_GE(edit->width(), metrics.horizontalAdvance(QStringLiteral("Qa1xh8=Q+")) + margins);

    // A refused text: its reason in a panel of its own below the entry, tall enough for the
    // whole wrapped text; editing the text takes it away.
    auto* reasons = Board().findChild<QFrame*>(QStringLiteral("pnlMoveReason"));
    ASSERT_NE(reasons, nullptr);
    EXPECT_FALSE(reasons->isVisible());
    Type(QStringLiteral("yz"));
    Key(Qt::Key_Return);
    ASSERT_TRUE(Board().lblMoveNotAMove->isVisible());
    EXPECT_TRUE(reasons->isVisible());
    EXPECT_EQ(Board().lblMoveNotAMove->parentWidget(), reasons);
    const QRect below = InView(Board(), reasons);
    EXPECT_GE(below.top(), entry.bottom());
    EXPECT_TRUE(QRect(0, 0, l.ViewSize, l.ViewSize).contains(below));
    const QLabel* why = Board().lblMoveNotAMove;
    EXPECT_TRUE(reasons->contentsRect().contains(why->geometry()));
    EXPECT_GE(why->height(), why->heightForWidth(why->width()));
    Type(QStringLiteral("N"));
    EXPECT_FALSE(reasons->isVisible());
    EXPECT_TRUE(Board().pnlMove->isVisible());
    Key(Qt::Key_Return);
    EXPECT_TRUE(reasons->isVisible());
    Key(Qt::Key_Escape);
    EXPECT_FALSE(reasons->isVisible());
    EXPECT_FALSE(Board().pnlMove->isVisible());
}

const TEntryPlace EntryPlaces[] = {
    { "WhiteToMove", false, false, false, nullptr },
    { "BlackToMove", true, false, false, nullptr },
    { "WhiteToMoveSwitched", false, true, false, nullptr },
    { "BlackToMoveSwitched", true, true, false, nullptr },
    { "WhiteToMoveLarge", false, false, true, nullptr },
    { "BlackToMoveSwitchedLarge", true, true, true, nullptr },
    { "WhiteToMoveFrench", false, false, false, "Votre coup :" },
    { "BlackToMoveSpanish", true, false, false, "Su jugada:" },
    { "BlackToMoveLongLabel", true, false, false, "Please type your move here:" },
};

INSTANTIATE_TEST_SUITE_P(Rows, MoveEntryPlaceTest, testing::ValuesIn(EntryPlaces),
    [](const testing::TestParamInfo<TEntryPlace>& info) { return std::string(info.param.Name); });

} // namespace
