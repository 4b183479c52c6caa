// The chat and moves windows docked in the main window and floating beside it: the main window's
// size, the board's place, the rectangles an undocked window floats at, and the short-screen rule.

#include "Docking.h"
#include "FormAbout.h"
#include "FormChat.h"
#include "FormGame.h"
#include "FormMain.h"
#include "FormMoves.h"
#include "RecordingPresenter.h"
#include "UnitMessages.h"

#include <QDockWidget>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace {

constexpr int ChatHeight = 150;
// The moves window's width of old; it is wider when the font needs it.
constexpr int MovesMinimumWidth = 170;

class DockingTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_Home.isValid());
        qputenv("WINTERMOOT_HOME", m_Home.path().toLocal8Bit());
        SetMessagePresenter(std::make_unique<TRecordingPresenter>());
        Main = std::make_unique<TfrmMain>();
        Moves = Main->findChild<TfrmMoves*>("frmMoves");
        Chat = Main->findChild<TfrmChat*>("frmChat");
        Main->show();
        Main->move(300, 300);
        Chat->resize(510, ChatHeight);
        Moves->resize(MovesMinimumWidth, 400);
        MovesWidth = Moves->width();
        ASSERT_GE(MovesWidth, MovesMinimumWidth);
    }

    void TearDown() override {
        Main.reset();
        SetMessagePresenter(nullptr);
    }

    // The client area is the main window below its menu bar.
    int MenuHeight() const { return Main->menuBar()->height(); }
    QSize Client() const { return Main->size() - QSize(0, MenuHeight()); }
    QPoint Board() const { return Main->Board().pos() - QPoint(0, MenuHeight()); }
    QDockWidget* Dock(const char* name) const {
        return Main->findChild<QDockWidget*>(QString::fromLatin1(name));
    }
    QSize FrameExtra() const { return Main->frameGeometry().size() - Main->size(); }

    QTemporaryDir m_Home;
    std::unique_ptr<TfrmMain> Main;
    TfrmMoves* Moves = nullptr;
    TfrmChat* Chat = nullptr;
    int MovesWidth = 0;
};

struct TDockCase {
    const char* Name;
    bool Chat;
    uint8_t Align;
    // Whether the board moves by the docked window's height (chat) or width (moves).
    bool MovesTheBoard;
};

void PrintTo(const TDockCase& c, std::ostream* out) {
    *out << c.Name;
}

class DockSideTest : public DockingTest, public testing::WithParamInterface<TDockCase> { };

TEST_P(DockSideTest, TheWindowGrowsByTheDockedWindowAndTheBoardKeepsItsSize) {
    const TDockCase& c = GetParam();
    const QSize client = c.Chat ? QSize(510, 510 + ChatHeight) : QSize(510 + MovesWidth, 510);
    const QPoint board = !c.MovesTheBoard ? QPoint(0, 0)
        : c.Chat                          ? QPoint(0, ChatHeight)
                                          : QPoint(MovesWidth, 0);
    QWidget* window = c.Chat ? static_cast<QWidget*>(Chat) : Moves;
    if (c.Chat) {
        Main->Docking().ChatAlign = c.Align;
        Main->Docking().ShowChat();
        Main->Docking().DockChat();
    } else {
        Main->Docking().MovesAlign = c.Align;
        Main->Docking().ShowMoves();
        Main->Docking().DockMoves();
    }
    EXPECT_FALSE(window->isWindow());
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(c.Chat ? Main->Docking().ChatDocked() : Main->Docking().MovesDocked(), true);
    EXPECT_EQ(Client(), client);
    EXPECT_EQ(Main->Board().size(), QSize(510, 510));
    EXPECT_EQ(Board(), board);
    // The docked window fills the rest of the client area.
    const QRect docked(
        window->mapTo(Main.get(), QPoint(0, 0)) - QPoint(0, MenuHeight()), window->size());
    EXPECT_FALSE(docked.intersects(QRect(Board(), QSize(510, 510))));
    EXPECT_EQ(docked.width() * docked.height(), client.width() * client.height() - 510 * 510);
}

INSTANTIATE_TEST_SUITE_P(Sides, DockSideTest,
    testing::Values(TDockCase { "TopChatMovesTheBoardDown", true, 1, true },
        TDockCase { "BottomChatLeavesTheBoardAtTheTop", true, 2, false },
        TDockCase { "AnUnknownChatSideIsTheBottom", true, 7, false },
        TDockCase { "LeftMovesMoveTheBoardRight", false, 3, true },
        TDockCase { "RightMovesLeaveTheBoardAtTheLeft", false, 4, false },
        TDockCase { "AnUnknownMovesSideIsTheRight", false, 0, false }),
    [](const testing::TestParamInfo<TDockCase>& info) { return std::string(info.param.Name); });

TEST_F(DockingTest, ChatSpansTheWidthAndMovesTheHeightBelowIt) {
    Main->Docking().ChatAlign = 1;
    Main->Docking().MovesAlign = 3;
    Main->Docking().DockChat();
    Main->Docking().DockMoves();
    Main->Docking().ShowChat();
    Main->Docking().ShowMoves();
    EXPECT_EQ(Client(), QSize(510 + MovesWidth, 510 + ChatHeight));
    EXPECT_EQ(Board(), QPoint(MovesWidth, ChatHeight));
    EXPECT_EQ(Chat->size(), QSize(510 + MovesWidth, ChatHeight));
    EXPECT_EQ(Moves->size(), QSize(MovesWidth, 510));

    Main->Docking().HideChat();
    EXPECT_EQ(Client(), QSize(510 + MovesWidth, 510));
    EXPECT_EQ(Board(), QPoint(MovesWidth, 0));
    Main->Docking().HideMoves();
    EXPECT_EQ(Client(), QSize(510, 510));
    EXPECT_EQ(Board(), QPoint(0, 0));
    EXPECT_FALSE(Dock("dckChat")->isVisible());
    Main->Docking().ShowChat();
    EXPECT_EQ(Client(), QSize(510, 510 + ChatHeight));
    EXPECT_EQ(Board(), QPoint(0, ChatHeight));
}

TEST_F(DockingTest, EscapeInTheDockedChatHidesItAndGivesTheRoomBack) {
    Main->Docking().ChatAlign = 1;
    Main->Docking().DockChat();
    Main->Docking().ShowChat();
    Chat->EnableInput();
    QTest::keyClick(Chat->edtMessage, Qt::Key_Escape);
    EXPECT_TRUE(Chat->isHidden());
    EXPECT_FALSE(Dock("dckChat")->isVisible());
    EXPECT_EQ(Client(), QSize(510, 510));
    EXPECT_EQ(Board(), QPoint(0, 0));
    // Shown again directly, it takes its dock along.
    Chat->show();
    EXPECT_TRUE(Dock("dckChat")->isVisible());
    EXPECT_EQ(Client(), QSize(510, 510 + ChatHeight));
}

TEST_F(DockingTest, DockingAHiddenWindowChangesNothingUntilItIsShown) {
    Main->Docking().ChatAlign = 1;
    Main->Docking().MovesAlign = 3;
    Main->Docking().DockChat();
    Main->Docking().DockMoves();
    EXPECT_TRUE(Main->Docking().ChatDocked());
    EXPECT_TRUE(Main->Docking().MovesDocked());
    EXPECT_TRUE(Chat->isHidden());
    EXPECT_TRUE(Moves->isHidden());
    EXPECT_EQ(Client(), QSize(510, 510));
    EXPECT_EQ(Board(), QPoint(0, 0));
    Main->Docking().ShowMoves();
    EXPECT_EQ(Client(), QSize(510 + MovesWidth, 510));
    EXPECT_EQ(Board(), QPoint(MovesWidth, 0));
}

TEST_F(DockingTest, AChangeOfSideTakesEffectThroughTheNextDock) {
    Main->Docking().ChatAlign = 1;
    Main->Docking().DockChat();
    Main->Docking().ShowChat();
    Main->Docking().ChatAlign = 2;
    EXPECT_EQ(Board(), QPoint(0, ChatHeight));
    Main->Docking().DockChat();
    EXPECT_EQ(Board(), QPoint(0, 0));
    EXPECT_EQ(Chat->mapTo(Main.get(), QPoint(0, 0)).y(), MenuHeight() + 510);
    EXPECT_EQ(Client(), QSize(510, 510 + ChatHeight));
}

TEST_F(DockingTest, UndockingTheChatFloatsItAboveOrBelowTheMainWindow) {
    for (uint8_t align : { 1, 2 }) {
        Main->Docking().ChatAlign = align;
        Main->Docking().DockChat();
        Main->Docking().ShowChat();
        const QRect main = Main->frameGeometry();
        const QSize extra = FrameExtra();
        Main->Docking().UndockChat();
        SCOPED_TRACE(align);
        EXPECT_FALSE(Main->Docking().ChatDocked());
        EXPECT_TRUE(Chat->isWindow());
        EXPECT_TRUE(Chat->isVisible());
        EXPECT_EQ(Client(), QSize(510, 510));
        EXPECT_EQ(Board(), QPoint(0, 0));
        EXPECT_EQ(Chat->height(), ChatHeight);
        const int outerHeight = ChatHeight + extra.height();
        if (align == 1) {
            EXPECT_EQ(Chat->pos(), QPoint(main.left(), main.top() - outerHeight));
            EXPECT_EQ(Chat->width(), 510);
        } else {
            EXPECT_EQ(Chat->pos(), QPoint(main.left(), main.bottom() + 1 - outerHeight));
            EXPECT_EQ(Chat->width(), main.width() - extra.width());
        }
    }
}

TEST_F(DockingTest, UndockingTheMovesFloatsThemLeftOfOrOverTheRightOfTheMainWindow) {
    for (uint8_t align : { 3, 4 }) {
        Main->Docking().MovesAlign = align;
        Main->Docking().DockMoves();
        Main->Docking().ShowMoves();
        const QRect main = Main->frameGeometry();
        const QSize extra = FrameExtra();
        const int dockedHeight = Moves->height();
        Main->Docking().UndockMoves();
        SCOPED_TRACE(align);
        EXPECT_FALSE(Main->Docking().MovesDocked());
        EXPECT_TRUE(Moves->isWindow());
        EXPECT_TRUE(Moves->isVisible());
        EXPECT_EQ(Client(), QSize(510, 510));
        EXPECT_EQ(Board(), QPoint(0, 0));
        EXPECT_EQ(Moves->width(), MovesWidth);
        const int outerWidth = MovesWidth + extra.width();
        if (align == 3) {
            EXPECT_EQ(Moves->pos(), QPoint(main.left() - outerWidth, main.top()));
            EXPECT_EQ(Moves->height(), dockedHeight);
        } else {
            EXPECT_EQ(Moves->pos(), QPoint(main.right() + 1 - outerWidth, main.top()));
            EXPECT_EQ(Moves->height(), main.height() - extra.height());
        }
    }
}

TEST_F(DockingTest, UndockingAHiddenWindowKeepsItHiddenAndUndockingTwiceDoesNothing) {
    Main->Docking().DockMoves();
    Main->Docking().UndockMoves();
    EXPECT_TRUE(Moves->isWindow());
    EXPECT_TRUE(Moves->isHidden());
    const QPoint floating = Moves->pos();
    Main->Docking().UndockMoves();
    Main->Docking().UndockChat();
    EXPECT_EQ(Moves->pos(), floating);
    EXPECT_TRUE(Chat->isWindow());
    EXPECT_EQ(Client(), QSize(510, 510));
    Main->Docking().ShowMoves();
    EXPECT_TRUE(Moves->isVisible());
    EXPECT_EQ(Client(), QSize(510, 510));
}

TEST_F(DockingTest, AChatTooTallForTheScreenShrinksToFitBelowTheMainWindow) {
    const int screen = QGuiApplication::primaryScreen()->availableGeometry().height();
    const int main = Main->frameGeometry().height();
    // The offscreen screen leaves room for more than the chat's minimum below the main window.
    ASSERT_GT(screen - main, Chat->minimumHeight() + 10);
    Chat->resize(510, screen - main + 60);
    Main->Docking().DockChat();
    Main->Docking().ShowChat();
    EXPECT_EQ(Chat->height(), screen - main);
    EXPECT_EQ(Client(), QSize(510, 510 + screen - main));

    // Never below its minimum, however short the screen.
    Main->Docking().UndockChat();
    Main->move(300, 300);
    Chat->resize(510, 2 * screen);
    Main->setFixedHeight(screen);
    Main->Docking().DockChat();
    EXPECT_EQ(Chat->height(), Chat->minimumHeight());
}

// The docking object on a plain main window, without the program's other windows.
TEST(DockingAloneTest, DockUndockAndDockAgainAtTheOtherSides) {
    QMainWindow main;
    auto* board = new QWidget;
    board->setFixedSize(510, 510);
    main.setCentralWidget(board);
    auto* chat = new QWidget(&main, Qt::Tool);
    chat->resize(510, 100);
    auto* moves = new QWidget(&main, Qt::Tool);
    moves->setFixedSize(170, 400);
    TDocking docking(main);
    docking.SetWindows(chat, moves);
    main.show();
    docking.ShowChat();
    docking.ShowMoves();

    docking.ChatAlign = 1;
    docking.MovesAlign = 3;
    docking.DockChat();
    docking.DockMoves();
    EXPECT_TRUE(docking.ChatDocked());
    EXPECT_TRUE(docking.MovesDocked());
    EXPECT_EQ(main.size(), QSize(510 + 170, 510 + 100));
    EXPECT_EQ(board->pos(), QPoint(170, 100));

    docking.UndockChat();
    docking.UndockMoves();
    EXPECT_FALSE(docking.ChatDocked());
    EXPECT_FALSE(docking.MovesDocked());
    EXPECT_TRUE(chat->isWindow() && chat->isVisible());
    EXPECT_TRUE(moves->isWindow() && moves->isVisible());
    EXPECT_EQ(main.size(), QSize(510, 510));

    docking.ChatAlign = 2;
    docking.MovesAlign = 4;
    docking.DockChat();
    docking.DockMoves();
    EXPECT_EQ(main.size(), QSize(510 + 170, 510 + 100));
    EXPECT_EQ(board->pos(), QPoint(0, 0));
    docking.HideChat();
    docking.HideMoves();
    EXPECT_EQ(main.size(), QSize(510, 510));
    EXPECT_TRUE(docking.ChatDocked() && docking.MovesDocked());
}

TEST(DockingAloneTest, WithoutItsWindowsEveryCallDoesNothing) {
    QMainWindow main;
    main.setCentralWidget(new QWidget);
    TDocking docking(main);
    docking.DockChat();
    docking.DockMoves();
    docking.ShowChat();
    docking.HideMoves();
    EXPECT_FALSE(docking.ChatDocked());
    EXPECT_FALSE(docking.MovesDocked());
    EXPECT_EQ(main.findChild<QDockWidget*>(), nullptr);
}

} // namespace
