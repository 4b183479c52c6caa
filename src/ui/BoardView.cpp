#include "BoardView.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

using namespace BoardGeometry;

namespace {

constexpr int CapturedRowHeight = 27;
constexpr int SmallPieceSize = 25;

// Where each side's header goes: king icon, highlight, name and clock, and the right end of
// the word.
struct THeaderLayout {
    int IconX;
    QRect Highlight;
    int TextX;
    int WordRight;
};

// The highlights cover x 66 .. 233 and 286 .. 449, y 4 .. 49; an outline drawn with a 1-pixel
// pen covers its rectangle's right and bottom edges too, hence the widths one short.
const THeaderLayout HeaderLayouts[2] = {
    { 22, QRect(66, 4, 234 - 66 - 1, 50 - 4 - 1), 70, 230 },
    { 242, QRect(286, 4, 450 - 286 - 1, 50 - 4 - 1), 290, 446 },
};

constexpr int IconSize = 40;
constexpr int IconY = 8;
constexpr int NameY = 8;
constexpr int HeaderBaseline = 48;

bool IsSet(TPoint square) {
    return square.X > 0 && square.Y > 0;
}

// Text with its top-left corner at (x, y), on the painter's background.
void DrawTextAt(QPainter& painter, int x, int y, int ascent, const QString& text) {
    painter.drawText(QPoint(x, y + ascent), text);
}

// The header word of a side: check, stalemate and checkmate, or in a network game that is not
// running, whether the player is ready. Black's readiness shows only before a game starts or
// after it ended, not while it is paused.
const QString* HeaderWord(const TBoardSnapshot& snapshot, uint8_t colour) {
    const TSnapshotPlayer& player = snapshot.Players[colour];
    switch (player.Status) {
    case 1:
        return &snapshot.Words[2];
    case 2:
        return &snapshot.Words[4];
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

} // namespace

TBoardView::TBoardView() {
    const QString family = QFontDatabase::hasFamily(QStringLiteral("Verdana"))
        ? QStringLiteral("Verdana")
        : QStringLiteral("DejaVu Sans");
    m_Font = QFont(family);
    m_Font.setPixelSize(13);
    m_Font.setWeight(QFont::Normal);
    m_NameFont = m_Font;
    // 12 points at 96 dots per inch.
    m_NameFont.setPixelSize(16);
    m_NameFont.setWeight(QFont::Bold);

    const QFontMetrics text(m_Font);
    m_TextAscent = text.ascent();
    m_TextHeight = text.height();
    // Labels are placed by the width of "8", whatever they read.
    m_LabelWidth = text.horizontalAdvance(QLatin1Char('8'));
    m_NameAscent = QFontMetrics(m_NameFont).ascent();
    for (int i = 0; i < 8; ++i) {
        m_Digits[i] = QString(QLatin1Char('1' + i));
        m_Letters[i] = QString(QLatin1Char('A' + i));
    }
}

void TBoardView::DrawBoard(const TBoardSnapshot& snapshot, QImage& buffer, qreal devicePixelRatio) {
    const int side = qRound(ViewSize * devicePixelRatio);
    if (buffer.width() != side || buffer.height() != side
        || buffer.format() != QImage::Format_RGB32)
        buffer = QImage(side, side, QImage::Format_RGB32);
    buffer.setDevicePixelRatio(devicePixelRatio);

    const TTheme& theme = snapshot.Theme;
    QPainter painter(&buffer);
    painter.fillRect(0, 0, ViewSize, ViewSize, ToQColor(theme.Board));
    painter.setFont(m_Font);
    painter.setBackgroundMode(Qt::OpaqueMode);

    DrawHeader(painter, snapshot, pcWhite);
    DrawHeader(painter, snapshot, pcBlack);
    // The traditional style's 2-pixel frame: the squares cover all of it but its ring.
    if (!snapshot.Enhanced)
        painter.fillRect(
            Left - 2, Top - 2, Right - Left + 4, Bottom - Top + 4, ToQColor(theme.Border));
    DrawSquares(painter, snapshot);
    DrawLabels(painter, snapshot);
    DrawCaptured(painter, snapshot);
    DrawCursor(painter, snapshot);
    DrawDragged(painter, snapshot);
}

void TBoardView::DrawHeader(QPainter& painter, const TBoardSnapshot& snapshot, uint8_t colour) {
    const THeaderLayout& layout = HeaderLayouts[colour];
    const TSnapshotPlayer& player = snapshot.Players[colour];
    const TTheme& theme = snapshot.Theme;

    Pieces.DrawKingIcon(painter, QRect(layout.IconX, IconY, IconSize, IconSize), colour);

    QColor background = ToQColor(theme.Board);
    if (snapshot.Turn == colour) {
        background = ToQColor(theme.Player);
        painter.setPen(background);
        painter.setBrush(background);
        painter.drawRoundedRect(layout.Highlight, 4, 4);
        painter.setBrush(Qt::NoBrush);
    }
    painter.setBackground(background);
    painter.setPen(ToQColor(theme.Text));

    painter.setFont(m_NameFont);
    DrawTextAt(painter, layout.TextX, NameY, m_NameAscent, player.Name);
    painter.setFont(m_Font);

    const int32_t time = std::max<int32_t>(player.Time, 0);
    if (time != m_ClockTime[colour]) {
        m_ClockTime[colour] = time;
        m_ClockText[colour]
            = QStringLiteral("%1:%2").arg(time / 60).arg(time % 60, 2, 10, QLatin1Char('0'));
    }
    const int lineY = HeaderBaseline - m_TextHeight;
    DrawTextAt(painter, layout.TextX, lineY, m_TextAscent, m_ClockText[colour]);

    const QString* word = HeaderWord(snapshot, colour);
    if (!word && !player.Activity.isEmpty())
        word = &player.Activity;
    if (word && !word->isEmpty()) {
        const int width = painter.fontMetrics().horizontalAdvance(*word);
        DrawTextAt(painter, layout.WordRight - width, lineY, m_TextAscent, *word);
    }
}

void TBoardView::DrawSquares(QPainter& painter, const TBoardSnapshot& snapshot) const {
    const TTheme& theme = snapshot.Theme;
    const QColor border = ToQColor(theme.Border);
    const bool holding = IsSet(snapshot.HeldSquare);
    for (int i = 1; i <= 8; ++i) {
        for (int j = 1; j <= 8; ++j) {
            const TPoint square { i, j };
            const TPoint origin = SquareOrigin(square, snapshot.Switched);
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
            else if ((i - j) % 2 != 0)
                colour = theme.Whites;
            else
                colour = theme.Blacks;

            if (snapshot.Enhanced) {
                painter.fillRect(
                    origin.X + 1, origin.Y + 1, SquareSize - 2, SquareSize - 2, border);
                painter.fillRect(
                    origin.X + 2, origin.Y + 2, SquareSize - 4, SquareSize - 4, ToQColor(colour));
            } else {
                painter.fillRect(origin.X, origin.Y, SquareSize, SquareSize, ToQColor(colour));
            }

            const int8_t piece = snapshot.At(i, j);
            if (piece >= 0 && piece < 12 && square != snapshot.HeldSquare)
                Pieces.DrawPiece(painter, origin.X + 2, origin.Y + 2, piece / 6, piece % 6);
        }
    }
}

void TBoardView::DrawLabels(QPainter& painter, const TBoardSnapshot& snapshot) const {
    painter.setBackground(ToQColor(snapshot.Theme.Board));
    const int rankX = Left - 6 - m_LabelWidth;
    for (int i = 1; i <= 8; ++i) {
        const int y = Top + 2 + (8 - i) * SquareSize + (SquareSize - m_TextHeight) / 2;
        DrawTextAt(painter, rankX, y, m_TextAscent, m_Digits[snapshot.Switched ? 8 - i : i - 1]);
    }
    for (int j = 1; j <= 8; ++j) {
        const int x = Left + 2 + (j - 1) * SquareSize + (SquareSize - m_LabelWidth) / 2;
        DrawTextAt(
            painter, x, Bottom + 2, m_TextAscent, m_Letters[snapshot.Switched ? 8 - j : j - 1]);
    }
}

void TBoardView::DrawCaptured(QPainter& painter, const TBoardSnapshot& snapshot) const {
    const int whiteCount = std::clamp(snapshot.CapturedByWhiteCount, 0, 15);
    for (int k = 0; k < whiteCount; ++k) {
        const int8_t kind = snapshot.CapturedByWhite[k];
        if (kind >= 0)
            Pieces.DrawSmallPiece(painter, Right + 3, Top + CapturedRowHeight * k, pcBlack, kind);
    }
    const int blackCount = std::clamp(snapshot.CapturedByBlackCount, 0, 15);
    for (int k = 0; k < blackCount; ++k) {
        const int8_t kind = snapshot.CapturedByBlack[k];
        if (kind >= 0)
            Pieces.DrawSmallPiece(painter, Right + 3 + SmallPieceSize + 2,
                Top + CapturedRowHeight * k, pcWhite, kind);
    }
}

void TBoardView::DrawCursor(QPainter& painter, const TBoardSnapshot& snapshot) const {
    if (!OnBoard(snapshot.CursorSquare))
        return;
    // A black ring with a white one inside it, inside the square's edge: it shows on light and
    // dark squares of every theme, and beside the fills of the held, hover and last-move squares.
    const TPoint origin = SquareOrigin(snapshot.CursorSquare, snapshot.Switched);
    const QRect square(origin.X, origin.Y, SquareSize, SquareSize);
    painter.save();
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(Qt::black, 2, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    painter.drawRect(QRectF(square).adjusted(3, 3, -3, -3));
    painter.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    painter.drawRect(QRectF(square).adjusted(5, 5, -5, -5));
    painter.restore();
}

void TBoardView::DrawDragged(QPainter& painter, const TBoardSnapshot& snapshot) const {
    const TPoint held = snapshot.HeldSquare;
    if (!OnBoard(held))
        return;
    const int8_t piece = snapshot.At(held.X, held.Y);
    if (piece < 0 || piece >= 12)
        return;
    const int x = std::max(
        std::min(snapshot.MousePos.X - snapshot.GrabOffset.X + 1, ViewSize - PieceSize), 0);
    const int y = std::max(
        std::min(snapshot.MousePos.Y - snapshot.GrabOffset.Y + 1, ViewSize - PieceSize), 0);
    Pieces.DrawPiece(painter, x, y, piece / 6, piece % 6);
}
