#pragma once

// The board view: the piece images of the current set, and the drawing of the whole view (both
// players' headers, the board with its coordinates, the captured pieces and the dragged piece)
// from a snapshot into an off-screen image. Main thread only (it draws text).

#include "BoardSnapshot.h"

#include <QFont>
#include <QImage>

class QPainter;

// Smooth bilinear scaling to 24 bits per pixel, in 16.16 fixed point; an image that already has
// the size is returned as it is.
QImage ResizeBitmap(const QImage& source, int width, int height);

class TPieceImages {
public:
    // Loads set n (1 .. PieceSetCount) from the program's resources and rebuilds the small pieces
    // and king icons on the background colour. "Colored" (pieceStyle 1) draws both armies with
    // the white drawing, tinted. A set without resources answers false and keeps the images.
    bool LoadChessSet(int n, uint8_t pieceStyle, TColor whiteColor, TColor blackColor,
        TColor background);
    // One 50 x 50 piece with its mask (AND) and drawing (XOR); a kind above 5 draws nothing.
    void DrawPiece(QPainter& painter, int x, int y, uint8_t colour, uint8_t kind) const;
    void DrawSmallPiece(QPainter& painter, int x, int y, uint8_t colour, uint8_t kind) const;

    int ChessSet() const { return m_ChessSet; }
    const QImage& PiecesImage() const { return m_Pieces; }
    const QImage& MasksImage() const { return m_Masks; }
    const QImage& SmallPieces() const { return m_SmallPieces; }
    const QImage& KingIcons() const { return m_KingIcons; }

private:
    QImage m_Pieces;
    QImage m_Masks;
    QImage m_SmallPieces;
    QImage m_KingIcons;
    int m_ChessSet = 0;
};

// The display names of the 20 sets, in set order.
QStringList PieceSetNames();

class TBoardView {
public:
    TBoardView();

    // Draws the whole view of the snapshot into `buffer`, which is resized to the view's size
    // times the device pixel ratio.
    void DrawBoard(const TBoardSnapshot& snapshot, QImage& buffer, qreal devicePixelRatio = 1.0);

    TPieceImages Pieces;

private:
    QFont m_Font;
    QFont m_NameFont;
};
