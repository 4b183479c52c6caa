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
#include <QRegion>
#include <QStringList>

#include <utility>

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
    // One piece filling the square `target`, leaving the painter in plain (source-over) mode; a
    // kind above 5 draws nothing. One-bit pieces are drawn with their mask (AND) and drawing
    // (XOR), the 50-pixel art enlarged or reduced without smoothing to the target's size in
    // device pixels, which keeps its one-bit look; smooth pieces are drawn at the target's size.
    // Nothing is drawn before a set is loaded.
    void DrawPiece(QPainter& painter, const QRect& target, uint8_t colour, uint8_t kind) const;
    // The same at 50 x 50.
    void DrawPiece(QPainter& painter, int x, int y, uint8_t colour, uint8_t kind) const {
        DrawPiece(
            painter, QRect(x, y, BoardGeometry::PieceSize, BoardGeometry::PieceSize), colour, kind);
    }
    // A piece in a square box: smooth pieces as large as the box, centred in it, on whole device
    // pixels; one-bit pieces at their own 50 x 50, centred.
    void DrawPiece(QPainter& painter, const QRectF& target, uint8_t colour, uint8_t kind) const;
    // A small piece filling the square `target`: one-bit pieces composed on the background and
    // smoothed (at 25 x 25 a plain copy of one piece of SmallPieces), smooth pieces at the
    // target's size. A kind above 5 draws nothing.
    void DrawSmallPiece(QPainter& painter, const QRect& target, uint8_t colour, uint8_t kind) const;
    void DrawSmallPiece(QPainter& painter, int x, int y, uint8_t colour, uint8_t kind) const {
        DrawSmallPiece(painter, QRect(x, y, 25, 25), colour, kind);
    }
    // The king of a side for a player's header, filling the square `target`; for one-bit pieces
    // at 40 x 40 a plain copy from KingIcons.
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
    // The strips enlarged or reduced without smoothing to another cell size, so that the raster
    // operations run one-to-one on the target's device pixels. Made when a piece is first drawn
    // at such a size, for the last size drawn at.
    struct TScaledStrips {
        int Cell = 0;
        QImage Pieces;
        QImage Masks;
    };
    const TScaledStrips& ScaledFor(int cell) const;
    // All twelve pieces composed on the background at one cell size (small pieces, king icons),
    // for the last size asked for.
    struct TComposedStrip {
        int Cell = 0;
        QImage Image;
    };
    const QImage& ComposedFor(TComposedStrip& cache, int cell) const;
    // Copies the cell of the piece from a composed strip into `target`, in device pixels.
    void DrawComposed(QPainter& painter, TComposedStrip& cache, const QRect& target, uint8_t colour,
        uint8_t kind) const;

    QImage m_Pieces;
    QImage m_Masks;
    mutable TScaledStrips m_Scaled;
    mutable TComposedStrip m_SmallAt;
    mutable TComposedStrip m_IconAt;
    QImage m_SmallPieces;
    QImage m_KingIcons;
    QRgb m_Background = 0;
    TSmoothPieces m_Smooth;
    int m_ChessSet = 0;
};

// The display names of the 20 sets, in set order, from the resources' names.txt (one a line);
// "Set N" for a name it lacks.
QStringList PieceSetNames();

// The word a side's header shows beside its clock (check, checkmate, the rule of a drawn game,
// readiness), or none.
const QString* HeaderWord(const TBoardSnapshot& snapshot, uint8_t colour);

class TBoardView {
public:
    // Needs a QGuiApplication (it measures its fonts).
    TBoardView();

    // Draws the whole view of the snapshot, `viewSize` pixels square (506 .. MaxViewSize, kept
    // within), into `buffer`. A buffer of another size or format is replaced by a Format_RGB32
    // image of the view's size times the device pixel ratio, which it then carries; a matching
    // one is drawn over in place. With the snapshot last drawn into a matching buffer at the
    // same size as `previous`, only what differs from it is drawn again. Answers the part of the
    // view drawn, empty when nothing changed.
    QRegion DrawBoard(const TBoardSnapshot& snapshot, QImage& buffer, qreal devicePixelRatio = 1.0,
        int viewSize = BoardGeometry::ViewSize, const TBoardSnapshot* previous = nullptr);
    // The layout of the last view drawn (the default one before any).
    const TBoardLayout& Layout() const { return m_Layout; }

    // The typeface of all texts: Verdana where the system has it, DejaVu Sans otherwise.
    const QFont& TextFont() const { return m_Font; }
    const QFont& NameFont() const { return m_NameFont; }

    TPieceImages Pieces;

private:
    // Takes the layout of a view of the given side, with fonts and metrics to match.
    void SetViewSize(int viewSize);
    // The part of the view whose pixels may differ between two snapshots, in the present layout.
    QRegion Changes(const TBoardSnapshot& before, const TBoardSnapshot& after) const;
    // A square's colour and the piece shown on it (NoPiece for none).
    static std::pair<TColor, int8_t> SquareLook(const TBoardSnapshot& snapshot, TPoint square);
    // Where the held piece is drawn; an invalid rectangle when none is held.
    QRect DraggedRect(const TBoardSnapshot& snapshot) const;
    // Whether the rectangle is in the part of the view being drawn.
    bool Drawn(const QRect& rect) const;
    void DrawHeader(QPainter& painter, const TBoardSnapshot& snapshot, uint8_t colour);
    void DrawSquares(QPainter& painter, const TBoardSnapshot& snapshot) const;
    void DrawLabels(QPainter& painter, const TBoardSnapshot& snapshot) const;
    void DrawCaptured(QPainter& painter, const TBoardSnapshot& snapshot) const;
    void DrawCursor(QPainter& painter, const TBoardSnapshot& snapshot) const;
    void DrawDragged(QPainter& painter, const TBoardSnapshot& snapshot) const;

    TBoardLayout m_Layout;
    // The part being drawn by an update; empty while the whole view is drawn.
    QRegion m_Dirty;
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
