#pragma once

// Colours, kinds, squares and the piece object shared by every part of the program.

#include <cstdint>
#include <iosfwd>
#include <stdexcept>
#include <string>

enum TPieceColour : uint8_t { pcWhite = 0, pcBlack = 1 };

enum TPieceKind : uint8_t {
    pkPawn = 0,
    pkRook = 1,
    pkKnight = 2,
    pkBishop = 3,
    pkQueen = 4,
    pkKing = 5
};

// Move-result flags: one byte, stored with every move and sent over the network.
using TMoveResult = uint8_t;
constexpr TMoveResult mrCheck = 1;
constexpr TMoveResult mrGameOver = 2;
constexpr TMoveResult mrInvalid = 4;
constexpr TMoveResult mrCapture = 8;
constexpr TMoveResult mrPromotion = 16;
constexpr TMoveResult mrCastling = 32;

// A square: X is the file (1 = a .. 8 = h), Y the rank (1 .. 8). (0,0) means no square.
struct TPoint {
    int32_t X = 0;
    int32_t Y = 0;
    friend bool operator==(const TPoint&, const TPoint&) = default;
};

// Raised by the board when it is given a square outside 1..8; the board is left unchanged.
class ERangeError : public std::out_of_range {
public:
    using std::out_of_range::out_of_range;
};

TPieceColour Opponent(TPieceColour colour);
TPoint MakePoint(int32_t x, int32_t y);
bool SamePoint(TPoint a, TPoint b);
bool OnBoard(TPoint p);
// "e4" for (5,4). Squares off the board give "??" rather than arbitrary characters.
std::string SquareName(TPoint p);

class TPiece {
public:
    TPiece(TPieceKind kind, TPieceColour colour)
        : Kind(kind)
        , Colour(colour) { }

    void Assign(const TPiece& source);
    // Six bytes: kind, colour, move count (i32). Loading refuses a kind above 5 or a colour
    // above 1 with EStreamError and leaves the piece unchanged.
    void LoadFromStream(std::istream& in);
    void SaveToStream(std::ostream& out) const;

    TPieceKind Kind;
    TPieceColour Colour;
    int32_t MoveCount = 0;
};

// The shape of a move for the piece's kind, ignoring the board. False for squares off the board.
bool MatchesPattern(const TPiece& piece, TPoint from, TPoint to);
