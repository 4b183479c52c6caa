#include "UnitChessPiece.h"

#include "StreamIO.h"

#include <cstdlib>

namespace {

// A game holds at most 65535 moves, so no piece can have moved more often; a larger or negative
// count in a file would overflow when the piece's move is made or taken back.
constexpr int32_t MaxPieceMoveCount = 65535;

} // namespace

TPieceColour Opponent(TPieceColour colour) {
    return colour == pcWhite ? pcBlack : pcWhite;
}

TPoint MakePoint(int32_t x, int32_t y) {
    return TPoint { x, y };
}

bool SamePoint(TPoint a, TPoint b) {
    return a == b;
}

bool OnBoard(TPoint p) {
    return p.X >= 1 && p.X <= 8 && p.Y >= 1 && p.Y <= 8;
}

std::string SquareName(TPoint p) {
    if (!OnBoard(p))
        return "??";
    return { char('a' + p.X - 1), char('0' + p.Y) };
}

void TPiece::Assign(const TPiece& source) {
    Kind = source.Kind;
    Colour = source.Colour;
    MoveCount = source.MoveCount;
}

void TPiece::LoadFromStream(std::istream& in) {
    const uint8_t kind = ReadByte(in);
    const uint8_t colour = ReadByte(in);
    const int32_t moveCount = ReadI32(in);
    if (kind > pkKing)
        throw EStreamError("bad piece kind");
    if (colour > pcBlack)
        throw EStreamError("bad piece colour");
    if (moveCount < 0 || moveCount > MaxPieceMoveCount)
        throw EStreamError("bad piece move count");
    Kind = static_cast<TPieceKind>(kind);
    Colour = static_cast<TPieceColour>(colour);
    MoveCount = moveCount;
}

void TPiece::SaveToStream(std::ostream& out) const {
    WriteByte(out, Kind);
    WriteByte(out, Colour);
    WriteI32(out, MoveCount);
}

bool MatchesPattern(const TPiece& piece, TPoint from, TPoint to) {
    if (!OnBoard(from) || !OnBoard(to))
        return false;
    const int dx = to.X - from.X;
    const int dy = to.Y - from.Y;
    const int adx = std::abs(dx);
    const int ady = std::abs(dy);
    switch (piece.Kind) {
    case pkPawn:
        if (piece.Colour == pcWhite)
            return (dx == 0 && dy == 1) || (dx == 0 && dy == 2 && from.Y == 2)
                || (adx == 1 && dy == 1);
        return (dx == 0 && dy == -1) || (dx == 0 && dy == -2 && from.Y == 7)
            || (adx == 1 && dy == -1);
    case pkRook:
        return dx == 0 || dy == 0;
    case pkKnight:
        return (adx == 1 && ady == 2) || (adx == 2 && ady == 1);
    case pkBishop:
        return adx == ady;
    case pkQueen:
        return adx == ady || dx == 0 || dy == 0;
    case pkKing: {
        if (adx <= 1 && ady <= 1 && (adx | ady) != 0)
            return true;
        const int homeRank = piece.Colour == pcWhite ? 1 : 8;
        return dy == 0 && adx == 2 && from.X == 5 && from.Y == homeRank && (to.X == 3 || to.X == 7);
    }
    }
    return false;
}
