#pragma once

// The board area of the main window: the board view with its mouse input, the promotion choice
// and the panels shown over the board (status, ready, paused). It reads the game and never calls
// it: what the user asks for leaves as a signal, which the main window passes to the game.

#include "BoardView.h"
#include "ValueList.h"

#include <QFrame>
#include <QImage>
#include <QLabel>

class QLineEdit;
class QPushButton;
class QTimer;
class TBoardWidget;
class TChessGame;
struct TSettings;

// The paint box of the board view: shows the board widget's buffer and passes the mouse on.
class TBoardPaintBox : public QWidget {
    Q_OBJECT

public:
    TBoardPaintBox(TBoardWidget& owner, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    TBoardWidget& m_Owner;
};

// One of the four promotion images; a click chooses its piece.
class TPromotionImage : public QLabel {
    Q_OBJECT

public:
    TPromotionImage(uint8_t kind, QWidget* parent);
    uint8_t Kind() const { return m_Kind; }

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    uint8_t m_Kind;
};

// The board area of a window: as large a square as fits, 510 pixels and up, centred, with its
// 2-pixel frame; the board view inside scales with it, and the window's background shows
// around it.
class TBoardWidget : public QFrame {
    Q_OBJECT

public:
    // The game, the view, the settings and the display texts are read for every frame; all must
    // outlive the widget.
    TBoardWidget(const TChessGame& game, TBoardView& view, const TSettings& settings,
        const TValueList& values, QWidget* parent);

    // Board input.
    void pbBoardMouseDown(Qt::MouseButton button, int x, int y);
    void pbBoardMouseMove(int x, int y);
    void pbBoardMouseUp(Qt::MouseButton button, int x, int y);
    void imgPromotesClick(TPromotionImage* sender);
    // Offers the choice of the promotion piece to the person who moved, or tells that the
    // opponent chooses.
    void ShowPromotion();
    void HidePromotion();
    // Puts a picked-up piece back and gives the mouse its cursor again.
    void ClearHeldSquare();
    // The input rule: the side to move is played by a person at this machine.
    bool InputAllowed() const;

    // Keyboard input. The square cursor: shown (at the side to move's e-pawn square) by the first
    // arrow key, moved by the next ones in the direction seen on the screen, hidden by a mouse
    // click on the board. A click at the cursor picks up the piece under it or puts the held one
    // down there, as the mouse does.
    void MoveCursor(int right, int up);
    void ClickAtCursor();
    void HideCursor();
    // The move entry over the header of the side not to move: opened with the first character typed
    // on the board; Enter plays the move it names, Escape closes it.
    void OpenMoveEntry(const QString& text);
    void CloseMoveEntry();
    // Plays the move the entry names through the same signals as the mouse, a promotion's piece
    // included, and closes the entry; an entry that names no single legal move shows why and
    // plays nothing. Answers whether the move was asked for.
    bool EnterMove();
    // Shows one of the reasons below the entry, or with none hides the reason panel.
    void ShowMoveError(QLabel* why);
    // While the promotion choice is offered: the piece a letter names (English or the
    // notation's), chosen as a click on its image would. Answers whether the letter chose one.
    bool ChoosePromotionByLetter(const QString& letter);

    // Shows one of the status texts of the display texts, with a note on a line of its own
    // below it when one is given.
    void ShowStatus(TStatusText text, const QString& note = {});
    void HideStatus();
    void ShowReady();
    void HideReady();
    void ShowPaused();
    void HidePaused();
    // Sizes the promotion, status, ready and paused panels over the board to their texts, at
    // the view's scale.
    void FitPanels();
    // The layout of the view at the widget's present size.
    const TBoardLayout& Layout() const { return m_Layout; }
    // The framed square in the widget.
    QRect Square() const { return frameRect(); }
    QSize sizeHint() const override { return minimumSize(); }

    // Draws the view into the buffer when anything it shows changed; answers whether it drew.
    bool DrawBoard();
    // Makes the next frame draw the view again (its pieces or texts changed).
    void Redraw() { m_HasDrawn = false; }
    const QImage& Buffer() const { return m_Buffer; }
    // The part of the view the last DrawBoard drew.
    const QRegion& DrawnRegion() const { return m_DrawnRegion; }
    // What the view shows now.
    TBoardSnapshot MakeSnapshot();

    // The board seen from black's side.
    bool Switched = false;
    TPoint HoverSquare { -1, -1 };
    TPoint HeldSquare;
    TPoint MousePos;
    TPoint GrabOffset;
    // The keyboard's square cursor; (0, 0) while hidden.
    TPoint CursorSquare;

    TBoardPaintBox* pbBoard = nullptr;
    QFrame* pnlPromotion = nullptr;
    QLabel* lblPromote = nullptr;
    QLabel* lblPromote2 = nullptr;
    TPromotionImage* imgPromoteRook = nullptr;
    TPromotionImage* imgPromoteKnight = nullptr;
    TPromotionImage* imgPromoteBishop = nullptr;
    TPromotionImage* imgPromoteQueen = nullptr;
    QFrame* pnlStatus = nullptr;
    QLabel* lblStatus = nullptr;
    QFrame* pnlReady = nullptr;
    QLabel* lblReady = nullptr;
    QPushButton* btnReady = nullptr;
    QFrame* pnlPaused = nullptr;
    QLabel* lblPaused = nullptr;
    QFrame* pnlMove = nullptr;
    QLabel* lblMove = nullptr;
    QLineEdit* edtMove = nullptr;
    // Below the entry, over the board's top edge, while a typed move's refusal is shown: why it
    // was refused, one reason at a time.
    QFrame* pnlMoveReason = nullptr;
    QLabel* lblMoveNotAMove = nullptr;
    QLabel* lblMoveIllegal = nullptr;
    QLabel* lblMoveAmbiguous = nullptr;
    QLabel* lblMovePromotion = nullptr;
    // Copies the state into a snapshot every 30 ms and redraws when it changed.
    QTimer* Timer = nullptr;

signals:
    // A held piece was put down on another square.
    void moveRequested(TPoint from, TPoint to);
    void promotionChosen(uint8_t kind);
    void readyClicked();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreatePanels();
    // Follows a new view size: the panels' fonts and places, and a new frame.
    void ApplyLayout();
    void CreateMoveEntry();
    void FitMoveEntry();
    void SetGrabCursor(bool grab);
    void TimerTimer();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    const TChessGame& m_Game;
    TBoardView& m_View;
    const TSettings& m_Settings;
    const TValueList& m_Values;
    TChessBoard m_Scratch;
    QImage m_Buffer;
    TBoardSnapshot m_Drawn;
    QRegion m_DrawnRegion;
    bool m_HasDrawn = false;
    bool m_GrabCursor = false;
    TBoardLayout m_Layout;
    // The side to move when the entry was placed: it covers the other side's header.
    uint8_t m_EntrySide = pcWhite;
    // The panels' fonts as made, which each scale is applied to.
    QFont m_PanelFont;
    QFont m_ButtonFont;
    QFont m_PausedFont;
};
