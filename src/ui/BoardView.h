#pragma once

// The board view: the piece images of the current set, and the drawing of the whole view (both
// players' headers, the board with its coordinates, the captured pieces and the dragged piece)
// from a snapshot into an off-screen image. Main thread only (it draws text).

#include "BoardGeometry.h"
#include "BoardSnapshot.h"
#include "SmoothPieces.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QStringList>

class QPainter;

// A settings colour (0x00BBGGRR, red in the low byte) as Qt's 0xAARRGGBB, opaque.
inline QRgb ToQRgb(TColor colour) {
    return qRgb(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}
inline QColor ToQColor(TColor colour) {
    return QColor::fromRgb(ToQRgb(colour));
}

// Smooth bilinear scaling to 24 bits per pixel, in 16.16 fixed point; an image that already has
// the size is returned as it is.
QImage ResizeBitmap(const QImage& source, int width, int height);

class TPieceImages {
public:
    // Loads set n (1 .. PieceSetCount) from the program's resources and rebuilds the small pieces
    // and king icons on the background colour. "Colored" (pieceStyle 1) draws both armies with
    // the white drawing, tinted. A set without resources answers false and keeps the images.
    // A set number outside 1 .. PieceSetCount answers false too. With `smooth` the pieces are
    // drawn from the set's anti-aliased artwork (TSmoothPieces) at whatever size they take.
    bool LoadChessSet(int n, uint8_t pieceStyle, TColor whiteColor, TColor blackColor,
        TColor background, bool smooth = false);
    // The same from strips already in memory (any format, 600 x 50 each: a piece strip drawn on
    // black and a mask strip with black silhouettes on white). Strips of another size answer
    // false and keep the images. The pieces are one-bit afterwards.
    bool LoadFromImages(const QImage& pieces, const QImage& masks, int n, uint8_t pieceStyle,
        TColor whiteColor, TColor blackColor, TColor background);
    // One 50 x 50 piece with its mask (AND) and drawing (XOR), leaving the painter in plain
    // (source-over) mode; a kind above 5 draws nothing. Nothing is drawn before a set is loaded.
    // Smooth pieces fill the 50 x 50 square at (x, y).
    void DrawPiece(QPainter& painter, int x, int y, uint8_t colour, uint8_t kind) const;
    // A piece in a square box: smooth pieces as large as the box, centred in it, on whole device
    // pixels; one-bit pieces at their own 50 x 50, centred.
    void DrawPiece(QPainter& painter, const QRectF& target, uint8_t colour, uint8_t kind) const;
    // A plain copy of one 25 x 25 piece of SmallPieces (smooth pieces: drawn at 25 x 25); a kind
    // above 5 draws nothing.
    void DrawSmallPiece(QPainter& painter, int x, int y, uint8_t colour, uint8_t kind) const;
    // The king of a side for a player's header, in `target` (40 x 40 for the one-bit icons).
    void DrawKingIcon(QPainter& painter, const QRect& target, uint8_t colour) const;
    // Whether the smooth artwork draws the pieces.
    bool Smooth() const { return m_Smooth.IsLoaded(); }

    // 0 until a set is loaded.
    int ChessSet() const { return m_ChessSet; }
    // The strips in Format_RGB32, the composed small pieces (300 x 25) and king icons (80 x 40)
    // in the buffer's format; null until a set is loaded.
    const QImage& PiecesImage() const { return m_Pieces; }
    const QImage& MasksImage() const { return m_Masks; }
    const QImage& SmallPieces() const { return m_SmallPieces; }
    const QImage& KingIcons() const { return m_KingIcons; }

private:
    // The strips enlarged to a device pixel ratio other than 1 without smoothing, so that a
    // high-resolution canvas gets one-to-one raster operations. Made when a piece is first drawn
    // on such a canvas, for the last ratio drawn at.
    struct TScaledStrips {
        qreal Ratio = 0;
        int Cell = 0;
        QImage Pieces;
        QImage Masks;
    };
    const TScaledStrips& ScaledFor(qreal ratio) const;

    QImage m_Pieces;
    QImage m_Masks;
    mutable TScaledStrips m_Scaled;
    QImage m_SmallPieces;
    QImage m_KingIcons;
    TSmoothPieces m_Smooth;
    int m_ChessSet = 0;
};

// The display names of the 20 sets, in set order, from the resources' names.txt (one a line);
// "Set N" for a name it lacks.
QStringList PieceSetNames();

class TBoardView {
public:
    // Needs a QGuiApplication (it measures its fonts).
    TBoardView();

    // Draws the whole view of the snapshot into `buffer`. A buffer of another size or format is
    // replaced by a Format_RGB32 image of the view's size times the device pixel ratio, which
    // it then carries; a matching one is drawn over in place.
    void DrawBoard(const TBoardSnapshot& snapshot, QImage& buffer, qreal devicePixelRatio = 1.0);

    // The typeface of all texts: Verdana where the system has it, DejaVu Sans otherwise.
    const QFont& TextFont() const { return m_Font; }
    const QFont& NameFont() const { return m_NameFont; }

    TPieceImages Pieces;

private:
    void DrawHeader(QPainter& painter, const TBoardSnapshot& snapshot, uint8_t colour);
    void DrawSquares(QPainter& painter, const TBoardSnapshot& snapshot) const;
    void DrawLabels(QPainter& painter, const TBoardSnapshot& snapshot) const;
    void DrawCaptured(QPainter& painter, const TBoardSnapshot& snapshot) const;
    void DrawCursor(QPainter& painter, const TBoardSnapshot& snapshot) const;
    void DrawDragged(QPainter& painter, const TBoardSnapshot& snapshot) const;

    QFont m_Font;
    QFont m_NameFont;
    int m_TextAscent = 0;
    int m_TextHeight = 0;
    int m_NameAscent = 0;
    int m_LabelWidth = 0;
    std::array<QString, 8> m_Digits;
    std::array<QString, 8> m_Letters;
    // The clock texts of the last frame, rebuilt only when a clock changes.
    std::array<int32_t, 2> m_ClockTime { -1, -1 };
    std::array<QString, 2> m_ClockText;
};
