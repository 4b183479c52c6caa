#pragma once

// Geometry of the board view: the paint box, the squares and the mapping between pixels and
// squares, shared by the drawing and the mouse input. The view is a square of any side from
// 506 pixels up; every length scales with it from the 506-pixel layout, which TBoardLayout's
// default value is exactly.

#include "UnitChessPiece.h"

#include <algorithm>

namespace BoardGeometry {

// The default (smallest) layout.
constexpr int ViewSize = 506;
constexpr int SquareSize = 54;
constexpr int Left = 18;
constexpr int Top = 56;
constexpr int Right = Left + 8 * SquareSize; // 450
constexpr int Bottom = Top + 8 * SquareSize; // 488
constexpr int PieceSize = 50;
// The largest view side drawn.
constexpr int MaxViewSize = 8192;

} // namespace BoardGeometry

struct TBoardLayout {
    int ViewSize = BoardGeometry::ViewSize;
    int SquareSize = BoardGeometry::SquareSize;
    int Left = BoardGeometry::Left;
    int Top = BoardGeometry::Top;
    // A piece stands Inset pixels inside its square, which leaves room for the enhanced style's
    // ring.
    int Inset = 2;
    int PieceSize = BoardGeometry::PieceSize;

    // The layout of a view of `side` pixels, kept within 506 .. MaxViewSize. Squares have whole
    // pixels, rounded down so that the board never outgrows its place.
    static constexpr TBoardLayout ForSize(int side) {
        side = std::clamp(side, BoardGeometry::ViewSize, BoardGeometry::MaxViewSize);
        TBoardLayout layout;
        layout.ViewSize = side;
        layout.SquareSize = BoardGeometry::SquareSize * side / BoardGeometry::ViewSize;
        layout.Left = layout.Scaled(BoardGeometry::Left);
        layout.Top = layout.Scaled(BoardGeometry::Top);
        layout.Inset = layout.Scaled(2);
        layout.PieceSize = layout.SquareSize - 2 * layout.Inset;
        return layout;
    }

    // A length of the 506-pixel layout in this one, rounded to the nearest pixel.
    constexpr int Scaled(int length) const {
        return (length * ViewSize + BoardGeometry::ViewSize / 2) / BoardGeometry::ViewSize;
    }
    constexpr double Scale() const { return double(ViewSize) / BoardGeometry::ViewSize; }
    constexpr int Right() const { return Left + 8 * SquareSize; }
    constexpr int Bottom() const { return Top + 8 * SquareSize; }
    constexpr bool operator==(const TBoardLayout&) const = default;

    // The square under a point of the view: (-1, -1) outside the board area, otherwise file and
    // rank, where a point on the bottom edge gives rank 0, which is no square.
    TPoint SquareAt(int x, int y, bool switched) const {
        if (x < Left || x > Right() || y < Top || y > Bottom())
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
    TPoint SquareOrigin(TPoint square, bool switched) const {
        if (switched)
            return { Left + (8 - square.X) * SquareSize, Top + (square.Y - 1) * SquareSize };
        return { Left + (square.X - 1) * SquareSize, Top + (8 - square.Y) * SquareSize };
    }
};

namespace BoardGeometry {

// The mapping of the default layout.
inline TPoint SquareAt(int x, int y, bool switched) {
    return TBoardLayout().SquareAt(x, y, switched);
}
inline TPoint SquareOrigin(TPoint square, bool switched) {
    return TBoardLayout().SquareOrigin(square, switched);
}

} // namespace BoardGeometry
