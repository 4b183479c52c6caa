// The board view's mouse input, the promotion choice and the drawing of the view.

#include "BoardGeometry.h"
#include "FormMain.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>

namespace {

bool IsSquare(TPoint p) {
    return p.X >= 1 && p.X <= 8 && p.Y >= 1 && p.Y <= 8;
}

} // namespace

TBoardPaintBox::TBoardPaintBox(TfrmMain& owner, QWidget* parent)
    : QWidget(parent)
    , m_Owner(owner) {
    setMouseTracking(true);
    setCursor(Qt::OpenHandCursor);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TBoardPaintBox::paintEvent(QPaintEvent* event) {
    // A paint of part of the view (under a panel that was hidden) may bring a new frame; the rest
    // of the view must follow, since the timer will find nothing new to show.
    if (m_Owner.DrawBoard() && event->rect() != rect())
        update();
    QPainter painter(this);
    painter.drawImage(QPoint(0, 0), m_Owner.Buffer());
}

void TBoardPaintBox::mousePressEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    m_Owner.pbBoardMouseMove(p.x(), p.y());
    m_Owner.pbBoardMouseDown(event->button(), p.x(), p.y());
}

void TBoardPaintBox::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    m_Owner.pbBoardMouseMove(p.x(), p.y());
}

void TBoardPaintBox::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    m_Owner.pbBoardMouseMove(p.x(), p.y());
    m_Owner.pbBoardMouseUp(event->button(), p.x(), p.y());
}

void TBoardPaintBox::leaveEvent(QEvent*) {
    // A mouse that left the view is over no square.
    m_Owner.HoverSquare = { -1, -1 };
}

TPromotionImage::TPromotionImage(uint8_t kind, QWidget* parent)
    : QLabel(parent)
    , m_Kind(kind) {
    setCursor(Qt::PointingHandCursor);
}

void TPromotionImage::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        emit clicked();
}

bool TfrmMain::InputAllowed() const {
    if (Game.GameState != gsPlaying)
        return false;
    switch (Game.GameKind) {
    case gkLocal:
        return Game.GetPlayer(Game.Turn)->Human;
    case gkHost:
        return Game.Turn == Game.HostColour;
    case gkClient:
        return Game.Turn != Game.HostColour;
    }
    return false;
}

void TfrmMain::pbBoardMouseMove(int x, int y) {
    const TPoint square = BoardGeometry::SquareAt(x, y, Switched);
    if (!(square == HoverSquare))
        HoverSquare = square;
    MousePos = { x, y };
}

void TfrmMain::pbBoardMouseDown(Qt::MouseButton, int x, int y) {
    if (!IsSquare(HoverSquare) || !InputAllowed())
        return;
    if (HeldSquare == HoverSquare) {
        ClearHeldSquare();
        return;
    }
    if (IsSquare(HeldSquare))
        return;
    const TPiece* piece = Game.Board.PieceAt(HoverSquare);
    if (!piece || piece->Colour != Game.Turn)
        return;
    HeldSquare = HoverSquare;
    const TPoint origin = BoardGeometry::SquareOrigin(HeldSquare, Switched);
    GrabOffset = { x - origin.X, y - origin.Y };
    SetGrabCursor(true);
}

void TfrmMain::pbBoardMouseUp(Qt::MouseButton, int, int) {
    if (!IsSquare(HoverSquare) || !IsSquare(HeldSquare) || HoverSquare == HeldSquare)
        return;
    // A refused move keeps the piece held; a played one clears it through the move's event.
    Game.PlayMove(HeldSquare, HoverSquare);
    SetGrabCursor(false);
}

void TfrmMain::ClearHeldSquare() {
    HeldSquare = {};
    SetGrabCursor(false);
}

void TfrmMain::SetGrabCursor(bool grab) {
    if (grab == m_GrabCursor)
        return;
    m_GrabCursor = grab;
    if (grab)
        QApplication::setOverrideCursor(Qt::ClosedHandCursor);
    else
        QApplication::restoreOverrideCursor();
}

void TfrmMain::ShowPromotion() {
    if (!InputAllowed()) {
        ShowStatus(4);
        return;
    }
    const uint8_t colour = Game.Turn;
    for (TPromotionImage* image :
        { imgPromoteRook, imgPromoteKnight, imgPromoteBishop, imgPromoteQueen }) {
        QImage canvas(BoardGeometry::PieceSize, BoardGeometry::PieceSize, QImage::Format_RGB32);
        canvas.fill(palette().color(QPalette::Button));
        QPainter painter(&canvas);
        View.Pieces.DrawPiece(painter, 0, 0, colour, image->Kind());
        painter.end();
        image->setPixmap(QPixmap::fromImage(canvas));
    }
    pnlPromotion->show();
    pnlPromotion->raise();
}

void TfrmMain::imgPromotesClick(TPromotionImage* sender) {
    Game.Promote(sender->Kind());
    pnlPromotion->hide();
}

TBoardSnapshot TfrmMain::MakeSnapshot() {
    TBoardSnapshot snapshot;
    snapshot.HoverSquare = HoverSquare;
    snapshot.HeldSquare = HeldSquare;
    snapshot.MousePos = MousePos;
    snapshot.GrabOffset = GrabOffset;
    snapshot.Theme = Settings.Theme;
    snapshot.Enhanced = Settings.Enhanced;
    snapshot.LearnMode = Settings.LearnMode;
    snapshot.ShowLastMove = Settings.ShowLastMove;
    snapshot.Switched = Switched;
    for (int i = 0; i < 5; ++i)
        snapshot.Words[i] = Values.Value(QStringLiteral("Res0") + QString::number(i + 1));
    SnapshotGame(Game, m_Scratch, snapshot);
    // The side the computer plays shows how far its search has come.
    TChessAI& ai = Game.ComputerPlayer();
    if (Game.GameState == gsPlaying && !Game.GetPlayer(Game.Turn)->Human && ai.IsThinking()) {
        snapshot.Players[Game.Turn].Activity = QStringLiteral("%1 %2/%3")
                                                   .arg(Values.Value(QStringLiteral("Val12")))
                                                   .arg(ai.ProgressDone())
                                                   .arg(ai.ProgressTotal());
    }
    return snapshot;
}

bool TfrmMain::DrawBoard() {
    const qreal ratio = pbBoard->devicePixelRatioF();
    TBoardSnapshot snapshot = MakeSnapshot();
    if (m_HasDrawn && snapshot == m_Drawn && m_Buffer.devicePixelRatio() == ratio)
        return false;
    View.DrawBoard(snapshot, m_Buffer, ratio);
    m_Drawn = std::move(snapshot);
    m_HasDrawn = true;
    return true;
}

void TfrmMain::TimerTimer() {
    // The view is drawn from the current state at every tick; the screen is only touched when
    // something it shows has changed.
    if (DrawBoard())
        pbBoard->update();
}
