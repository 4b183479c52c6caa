#pragma once

// Showing, hiding and docking the chat and moves windows inside the main window.
//
// A floating window is a tool window of its own. A docked one is the content of a dock widget of
// the main window: the chat at the top or bottom, spanning the width, and the moves window at the
// left or right, spanning the height below or above a docked chat. After every change the main
// window is resized so that its central widget (the board) keeps its size and the window grows by
// the docked windows that are shown; its smallest size is the board's smallest plus theirs. Whether
// a window is shown is its own state (isHidden); the dock that holds it follows it, whoever shows
// or hides it.

#include "MovesHost.h"

#include <QObject>
#include <QPointer>
#include <QSize>

#include <cstdint>

class QDockWidget;
class QPoint;
class QMainWindow;
class QRect;
class QWidget;

// It also lends the moves window to the history window and takes it back.
class TDocking : public QObject, public TMovesHost {
    Q_OBJECT

public:
    // The docks and the main window's docking style are made on first use.
    explicit TDocking(QMainWindow& main);

    // The windows it shows and docks; the calls for a missing one do nothing.
    void SetWindows(QWidget* chat, QWidget* moves);

    void ShowChat();
    void HideChat();
    void ShowMoves();
    void HideMoves();
    // Docks the window at the side of ChatAlign or MovesAlign, or moves it there when docked.
    void DockChat();
    void UndockChat();
    void DockMoves();
    void UndockMoves();
    bool ChatDocked() const { return m_ChatDocked; }
    bool MovesDocked() const { return m_MovesDocked; }
    // The moves window has no place of its own yet (a first start): the first time it is shown
    // floating, it opens beside the main window, where it covers nothing of it.
    void PlaceMovesBesideMain() { m_PlaceMovesBeside = true; }
    bool LendMoves() override;
    void ReturnMoves(bool docked, bool shown, int height) override;

    // The sides the next dock takes. Chat: 1 top, anything else the bottom (2). Moves: 3 left,
    // anything else the right (4).
    uint8_t ChatAlign = 2;
    uint8_t MovesAlign = 4;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Prepare();
    bool Holds(const QDockWidget* dock, const QWidget* window) const;
    void Dock(QDockWidget* dock, QWidget* window, Qt::DockWidgetArea area);
    void PlaceDock(QDockWidget* dock, Qt::DockWidgetArea area);
    void Undock(QDockWidget* dock, QWidget* window, const QRect& outer);
    void SetShown(QDockWidget* dock, QWidget* window, bool shown);
    // Sizes the main window to the board's room plus the docked windows that are shown (unless
    // it is maximised), and lays it out at once so that the board's place is right when this
    // returns.
    void FitMainWindow(QSize room);
    // Where a floating window's frame goes to stand beside the main window: to its right, else to
    // its left, else as far right as the screen allows; level with its top.
    QPoint BesideMain(const QWidget& window) const;
    // The board's room now, taken before a change so that the board keeps it.
    QSize BoardRoom() const;

    QMainWindow& m_Main;
    QPointer<QWidget> m_Chat;
    QPointer<QWidget> m_Moves;
    QDockWidget* m_ChatDock = nullptr;
    QDockWidget* m_MovesDock = nullptr;
    // The height of the docked chat window and the width of the docked moves window.
    int m_ChatHeight = 0;
    int m_MovesWidth = 0;
    bool m_ChatDocked = false;
    bool m_MovesDocked = false;
    bool m_PlaceMovesBeside = false;
    // Set while this object shows or hides a docked window itself.
    bool m_Changing = false;
};
