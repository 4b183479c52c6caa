#include "BoardView.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

namespace {

// Lengths of the 506-pixel view, scaled with the layout when drawn.
constexpr int CapturedRowHeight = 27;
constexpr int SmallPieceSize = 25;

// Where each side's header goes: king icon, the left and right ends of the highlight, name and
// clock, and the right end of the word.
struct THeaderLayout {
    int IconX;
    int HighlightLeft;
    int HighlightRight;
    int TextX;
    int WordRight;
};

// The highlights cover x 66 .. 233 and 286 .. 449, y 4 .. 49 at 506 pixels.
const THeaderLayout HeaderLayouts[2] = {
    { 22, 66, 234, 70, 230 },
    { 242, 286, 450, 290, 446 },
};

constexpr int HighlightTop = 4;
constexpr int HighlightBottom = 50;
constexpr int IconSize = 40;
constexpr int IconY = 8;
constexpr int NameY = 8;
constexpr int HeaderBaseline = 48;
constexpr int TextPixels = 13;
// 12 points at 96 dots per inch.
constexpr int NamePixels = 16;

bool IsSet(TPoint square) {
    return square.X > 0 && square.Y > 0;
}

// Text with its top-left corner at (x, y), on the painter's background.
void DrawTextAt(QPainter& painter, int x, int y, int ascent, const QString& text) {
    painter.drawText(QPoint(x, y + ascent), text);
}

// The header word of a game that ended without check: the rule that ended it.
const QString& DrawWord(const TBoardSnapshot& snapshot) {
    switch (snapshot.DrawReason) {
    case geRepetition:
        return snapshot.Words[5];
    case geFiftyMoves:
        return snapshot.Words[6];
    case geBareKings:
    case geInsufficientMaterial:
        return snapshot.Words[7];
    default:
        return snapshot.Words[4];
    }
}

} // namespace

// The header word of a side: check, checkmate and the rule of a drawn game, or in a network game
// that is not running, whether the player is ready. Black's readiness shows only before a game
// starts or after it ended, not while it is paused.
const QString* HeaderWord(const TBoardSnapshot& snapshot, uint8_t colour) {
    const TSnapshotPlayer& player = snapshot.Players[colour];
    switch (player.Status) {
    case 1:
        return &snapshot.Words[2];
    case 2:
        return &DrawWord(snapshot);
    case 3:
        return &snapshot.Words[3];
    case 0:
        break;
    default:
        return nullptr;
    }
    if (snapshot.GameKind == gkLocal || !snapshot.NetworkActive)
        return nullptr;
    const bool showReadiness = colour == pcWhite
        ? snapshot.GameState != gsPlaying
        : snapshot.GameState == gsIdle || snapshot.GameState == gsStopped;
    if (!showReadiness)
        return nullptr;
    return &snapshot.Words[player.Ready ? 1 : 0];
}

TBoardView::TBoardView() {
    const QString family = QFontDatabase::hasFamily(QStringLiteral("Verdana"))
        ? QStringLiteral("Verdana")
        : QStringLiteral("DejaVu Sans");
    m_Font = QFont(family);
    m_Font.setWeight(QFont::Normal);
    m_NameFont = m_Font;
    m_NameFont.setWeight(QFont::Bold);
    for (int i = 0; i < 8; ++i) {
        m_Digits[i] = QString(QLatin1Char('1' + i));
        m_Letters[i] = QString(QLatin1Char('A' + i));
    }
    m_Layout.ViewSize = 0;
    SetViewSize(BoardGeometry::ViewSize);
}

void TBoardView::SetViewSize(int viewSize) {
    const TBoardLayout layout = TBoardLayout::ForSize(viewSize);
    if (layout == m_Layout)
        return;
    m_Layout = layout;
    m_Font.setPixelSize(layout.Scaled(TextPixels));
    m_NameFont.setPixelSize(layout.Scaled(NamePixels));
    const QFontMetrics text(m_Font);
    m_TextAscent = text.ascent();
    m_TextHeight = text.height();
    // Labels are placed by the width of "8", whatever they read.
    m_LabelWidth = text.horizontalAdvance(QLatin1Char('8'));
    m_NameAscent = QFontMetrics(m_NameFont).ascent();
}

QRegion TBoardView::Changes(const TBoardSnapshot& before, const TBoardSnapshot& after) const {
    const TBoardLayout& l = m_Layout;
    const QRect whole(0, 0, l.ViewSize, l.ViewSize);
    if (!(before.Theme == after.Theme) || before.Enhanced != after.Enhanced
        || before.Switched != after.Switched || before.Words != after.Words)
        return whole;
    QRegion region;
    // The headers, down to the board's frame: each side's half when only its player changed.
    const int headerHeight = l.Top - l.Scaled(2);
    const int middle = l.Scaled(238);
    if (before.Turn != after.Turn || before.GameKind != after.GameKind
        || before.GameState != after.GameState || before.NetworkActive != after.NetworkActive)
        region += QRect(0, 0, l.ViewSize, headerHeight);
    else {
        if (before.Players[pcWhite] != after.Players[pcWhite])
            region += QRect(0, 0, middle, headerHeight);
        if (before.Players[pcBlack] != after.Players[pcBlack])
            region += QRect(middle, 0, l.ViewSize - middle, headerHeight);
    }
    for (int i = 1; i <= 8; ++i) {
        for (int j = 1; j <= 8; ++j) {
            if (SquareLook(before, { i, j }) != SquareLook(after, { i, j })) {
                const TPoint origin = l.SquareOrigin({ i, j }, after.Switched);
                region += QRect(origin.X, origin.Y, l.SquareSize, l.SquareSize);
            }
        }
    }
    // The keyboard's cursor: the squares it left and went to.
    if (before.CursorSquare != after.CursorSquare) {
        for (const TPoint cursor : { before.CursorSquare, after.CursorSquare }) {
            if (OnBoard(cursor)) {
                const TPoint origin = l.SquareOrigin(cursor, after.Switched);
                region += QRect(origin.X, origin.Y, l.SquareSize, l.SquareSize);
            }
        }
    }
    if (before.CapturedByWhite != after.CapturedByWhite
        || before.CapturedByBlack != after.CapturedByBlack
        || before.CapturedByWhiteCount != after.CapturedByWhiteCount
        || before.CapturedByBlackCount != after.CapturedByBlackCount)
        region += QRect(l.Right() + 1, l.Top, l.ViewSize - l.Right() - 1, l.Bottom() - l.Top);
    const QRect draggedBefore = DraggedRect(before);
    const QRect draggedAfter = DraggedRect(after);
    if (draggedBefore != draggedAfter
        || (draggedAfter.isValid()
            && before.At(before.HeldSquare.X, before.HeldSquare.Y)
                != after.At(after.HeldSquare.X, after.HeldSquare.Y))) {
        region += draggedBefore;
        region += draggedAfter;
    }
    return region;
}

QRegion TBoardView::DrawBoard(const TBoardSnapshot& snapshot, QImage& buffer,
    qreal devicePixelRatio, int viewSize, const TBoardSnapshot* previous) {
    const bool sameLayout = TBoardLayout::ForSize(viewSize) == m_Layout;
    SetViewSize(viewSize);
    const TBoardLayout& l = m_Layout;
    const int side = qRound(l.ViewSize * devicePixelRatio);
    const QRect whole(0, 0, l.ViewSize, l.ViewSize);
    m_Dirty = QRegion();
    if (buffer.width() != side || buffer.height() != side || buffer.format() != QImage::Format_RGB32
        || buffer.devicePixelRatio() != devicePixelRatio) {
        buffer = QImage(side, side, QImage::Format_RGB32);
        previous = nullptr;
    }
    buffer.setDevicePixelRatio(devicePixelRatio);
    if (previous && sameLayout) {
        m_Dirty = Changes(*previous, snapshot);
        if (m_Dirty.isEmpty())
            return m_Dirty;
    }
    const QRegion drawn = m_Dirty.isEmpty() ? QRegion(whole) : m_Dirty;

    const TTheme& theme = snapshot.Theme;
    QPainter painter(&buffer);
    if (!m_Dirty.isEmpty())
        painter.setClipRegion(m_Dirty);
    painter.fillRect(0, 0, l.ViewSize, l.ViewSize, ToQColor(theme.Board));
    painter.setFont(m_Font);
    painter.setBackgroundMode(Qt::OpaqueMode);

    DrawHeader(painter, snapshot, pcWhite);
    DrawHeader(painter, snapshot, pcBlack);
    // The traditional style's frame: the squares cover all of it but its ring.
    if (!snapshot.Enhanced) {
        const int ring = l.Scaled(2);
        painter.fillRect(l.Left - ring, l.Top - ring, l.Right() - l.Left + 2 * ring,
            l.Bottom() - l.Top + 2 * ring, ToQColor(theme.Border));
    }
    DrawSquares(painter, snapshot);
    DrawLabels(painter, snapshot);
    DrawCaptured(painter, snapshot);
    DrawCursor(painter, snapshot);
    DrawDragged(painter, snapshot);
    m_Dirty = QRegion();
    return drawn;
}

bool TBoardView::Drawn(const QRect& rect) const {
    return m_Dirty.isEmpty() || m_Dirty.intersects(rect);
}

void TBoardView::DrawHeader(QPainter& painter, const TBoardSnapshot& snapshot, uint8_t colour) {
    const THeaderLayout& layout = HeaderLayouts[colour];
    const TBoardLayout& l = m_Layout;
    if (!Drawn(QRect(0, 0, l.ViewSize, l.Top)))
        return;
    const TSnapshotPlayer& player = snapshot.Players[colour];
    const TTheme& theme = snapshot.Theme;
    const int textX = l.Scaled(layout.TextX);

    const int iconSize = l.Scaled(IconSize);
    Pieces.DrawKingIcon(
        painter, QRect(l.Scaled(layout.IconX), l.Scaled(IconY), iconSize, iconSize), colour);

    QColor background = ToQColor(theme.Board);
    if (snapshot.Turn == colour) {
        background = ToQColor(theme.Player);
        painter.setPen(background);
        painter.setBrush(background);
        // An outline drawn with a 1-pixel pen covers its rectangle's right and bottom edges too,
        // hence the sizes one short.
        const int left = l.Scaled(layout.HighlightLeft);
        const int top = l.Scaled(HighlightTop);
        const QRect highlight(left, top, l.Scaled(layout.HighlightRight) - left - 1,
            l.Scaled(HighlightBottom) - top - 1);
        const qreal radius = 4 * l.Scale();
        painter.drawRoundedRect(highlight, radius, radius);
        painter.setBrush(Qt::NoBrush);
    }
    painter.setBackground(background);
    painter.setPen(ToQColor(theme.Text));

    painter.setFont(m_NameFont);
    DrawTextAt(painter, textX, l.Scaled(NameY), m_NameAscent, player.Name);
    painter.setFont(m_Font);

    const int32_t time = std::max<int32_t>(player.Time, 0);
    if (time != m_ClockTime[colour]) {
        m_ClockTime[colour] = time;
        m_ClockText[colour]
            = QStringLiteral("%1:%2").arg(time / 60).arg(time % 60, 2, 10, QLatin1Char('0'));
    }
    const int lineY = l.Scaled(HeaderBaseline) - m_TextHeight;
    DrawTextAt(painter, textX, lineY, m_TextAscent, m_ClockText[colour]);

    const QString* word = HeaderWord(snapshot, colour);
    if (!word && !player.Activity.isEmpty())
        word = &player.Activity;
    if (word && !word->isEmpty()) {
        const int width = painter.fontMetrics().horizontalAdvance(*word);
        DrawTextAt(painter, l.Scaled(layout.WordRight) - width, lineY, m_TextAscent, *word);
    }
}

std::pair<TColor, int8_t> TBoardView::SquareLook(const TBoardSnapshot& snapshot, TPoint square) {
    const TTheme& theme = snapshot.Theme;
    const bool holding = IsSet(snapshot.HeldSquare);
    TColor colour;
    if (square == snapshot.HeldSquare)
        colour = theme.Selected;
    else if (square == snapshot.HoverSquare) {
        if (holding && snapshot.LearnMode)
            colour = snapshot.HeldMoveLegal ? theme.GoodMove : theme.BadMove;
        else
            colour = theme.Hover;
    } else if (snapshot.ShowLastMove && snapshot.HasLastMove
        && (square == snapshot.LastMoveTo
            || (snapshot.ShowLastMoveFrom && square == snapshot.LastMoveFrom)))
        colour = theme.LastMove;
    else if ((square.X - square.Y) % 2 != 0)
        colour = theme.Whites;
    else
        colour = theme.Blacks;
    int8_t piece = snapshot.At(square.X, square.Y);
    if (piece < 0 || piece >= 12 || square == snapshot.HeldSquare)
        piece = NoPiece;
    return { colour, piece };
}

QRect TBoardView::DraggedRect(const TBoardSnapshot& snapshot) const {
    const TPoint held = snapshot.HeldSquare;
    if (!OnBoard(held))
        return QRect();
    const int8_t piece = snapshot.At(held.X, held.Y);
    if (piece < 0 || piece >= 12)
        return QRect();
    const TBoardLayout& l = m_Layout;
    const int x = std::max(
        std::min(snapshot.MousePos.X - snapshot.GrabOffset.X + 1, l.ViewSize - l.PieceSize), 0);
    const int y = std::max(
        std::min(snapshot.MousePos.Y - snapshot.GrabOffset.Y + 1, l.ViewSize - l.PieceSize), 0);
    return QRect(x, y, l.PieceSize, l.PieceSize);
}

void TBoardView::DrawSquares(QPainter& painter, const TBoardSnapshot& snapshot) const {
    const TTheme& theme = snapshot.Theme;
    const QColor border = ToQColor(theme.Border);
    const TBoardLayout& l = m_Layout;
    const int size = l.SquareSize;
    const int ring = l.Scaled(1);
    for (int i = 1; i <= 8; ++i) {
        for (int j = 1; j <= 8; ++j) {
            const TPoint square { i, j };
            const TPoint origin = l.SquareOrigin(square, snapshot.Switched);
            if (!Drawn(QRect(origin.X, origin.Y, size, size)))
                continue;
            const auto [colour, piece] = SquareLook(snapshot, square);

            if (snapshot.Enhanced) {
                painter.fillRect(
                    origin.X + ring, origin.Y + ring, size - 2 * ring, size - 2 * ring, border);
                painter.fillRect(origin.X + l.Inset, origin.Y + l.Inset, size - 2 * l.Inset,
                    size - 2 * l.Inset, ToQColor(colour));
            } else {
                painter.fillRect(origin.X, origin.Y, size, size, ToQColor(colour));
            }

            if (piece != NoPiece)
                Pieces.DrawPiece(painter,
                    QRect(origin.X + l.Inset, origin.Y + l.Inset, l.PieceSize, l.PieceSize),
                    piece / 6, piece % 6);
        }
    }
}

void TBoardView::DrawLabels(QPainter& painter, const TBoardSnapshot& snapshot) const {
    painter.setBackground(ToQColor(snapshot.Theme.Board));
    const TBoardLayout& l = m_Layout;
    const int size = l.SquareSize;
    const int gap = l.Scaled(2);
    const int rankX = l.Left - l.Scaled(6) - m_LabelWidth;
    for (int i = 1; i <= 8; ++i) {
        const int y = l.Top + gap + (8 - i) * size + (size - m_TextHeight) / 2;
        DrawTextAt(painter, rankX, y, m_TextAscent, m_Digits[snapshot.Switched ? 8 - i : i - 1]);
    }
    for (int j = 1; j <= 8; ++j) {
        const int x = l.Left + gap + (j - 1) * size + (size - m_LabelWidth) / 2;
        DrawTextAt(painter, x, l.Bottom() + gap, m_TextAscent,
            m_Letters[snapshot.Switched ? 8 - j : j - 1]);
    }
}

void TBoardView::DrawCaptured(QPainter& painter, const TBoardSnapshot& snapshot) const {
    const TBoardLayout& l = m_Layout;
    if (!Drawn(QRect(l.Right() + 1, l.Top, l.ViewSize - l.Right() - 1, l.Bottom() - l.Top)))
        return;
    const int size = l.Scaled(SmallPieceSize);
    // Each row's place is scaled on its own, so that rounding never adds up down the column.
    const auto rowTop = [&](int k) { return l.Scaled(BoardGeometry::Top + CapturedRowHeight * k); };
    const int whiteX = l.Right() + l.Scaled(3);
    const int blackX = l.Right() + l.Scaled(3 + SmallPieceSize + 2);
    const int whiteCount = std::clamp(snapshot.CapturedByWhiteCount, 0, 15);
    for (int k = 0; k < whiteCount; ++k) {
        const int8_t kind = snapshot.CapturedByWhite[k];
        if (kind >= 0)
            Pieces.DrawSmallPiece(painter, QRect(whiteX, rowTop(k), size, size), pcBlack, kind);
    }
    const int blackCount = std::clamp(snapshot.CapturedByBlackCount, 0, 15);
    for (int k = 0; k < blackCount; ++k) {
        const int8_t kind = snapshot.CapturedByBlack[k];
        if (kind >= 0)
            Pieces.DrawSmallPiece(painter, QRect(blackX, rowTop(k), size, size), pcWhite, kind);
    }
}

void TBoardView::DrawCursor(QPainter& painter, const TBoardSnapshot& snapshot) const {
    if (!OnBoard(snapshot.CursorSquare))
        return;
    // A black ring with a white one inside it, inside the square's edge: it shows on light and
    // dark squares of every theme, and beside the fills of the held, hover and last-move squares.
    const TBoardLayout& l = m_Layout;
    const TPoint origin = l.SquareOrigin(snapshot.CursorSquare, snapshot.Switched);
    const QRect square(origin.X, origin.Y, l.SquareSize, l.SquareSize);
    if (!Drawn(square))
        return;
    const int pen = l.Scaled(2);
    const int outer = l.Scaled(3);
    const int inner = l.Scaled(5);
    painter.save();
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(Qt::black, pen, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    painter.drawRect(QRectF(square).adjusted(outer, outer, -outer, -outer));
    painter.setPen(QPen(Qt::white, pen, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    painter.drawRect(QRectF(square).adjusted(inner, inner, -inner, -inner));
    painter.restore();
}

void TBoardView::DrawDragged(QPainter& painter, const TBoardSnapshot& snapshot) const {
    const QRect rect = DraggedRect(snapshot);
    if (!rect.isValid() || !Drawn(rect))
        return;
    const int8_t piece = snapshot.At(snapshot.HeldSquare.X, snapshot.HeldSquare.Y);
    Pieces.DrawPiece(painter, rect, piece / 6, piece % 6);
}
