#pragma once

// Geometry of the board view: the paint box, the squares and the mapping between pixels and
// squares, shared by the drawing and the mouse input.

#include "UnitChessPiece.h"

namespace BoardGeometry {

constexpr int ViewSize = 506;
constexpr int SquareSize = 54;
constexpr int Left = 18;
constexpr int Top = 56;
constexpr int Right = Left + 8 * SquareSize; // 450
constexpr int Bottom = Top + 8 * SquareSize; // 488
constexpr int PieceSize = 50;

// The square under a point of the view: (-1, -1) outside the board area, otherwise file and rank,
// where a point on the bottom edge (y = 488) gives rank 0, which is no square.
inline TPoint SquareAt(int x, int y, bool switched) {
    if (x < Left || x > Right || y < Top || y > Bottom)
        return { -1, -1 };
    int file = (x - Left) / SquareSize + 1;
    int rank = 8 - (y - Top) / SquareSize;
    if (file > 8)
        file = 8;
    if (rank > 8)
        rank = 8;
    if (switched) {
        file = 9 - file;
        rank = 9 - rank;
    }
    return { file, rank };
}

// Top-left corner of a square in the view.
inline TPoint SquareOrigin(TPoint square, bool switched) {
    if (switched)
        return { Left + (8 - square.X) * SquareSize, Top + (square.Y - 1) * SquareSize };
    return { Left + (square.X - 1) * SquareSize, Top + (8 - square.Y) * SquareSize };
}

} // namespace BoardGeometry
