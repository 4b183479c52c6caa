#pragma once

// A compact copy of a TChessBoard for the search: a 0x88 mailbox of one-byte pieces with the
// same king cache and en passant state, and the board's move rules reproduced exactly,
// including their quirks (a pawn "attacks" the empty square ahead of it, a king square that no
// longer holds the king after it was taken inside the search, castling judged from the move
// counts of the original position). Moves are made by lifting and putting pieces, as the search
// does on the real board: no move counts change, a castling king moves alone, an en passant
// capture takes nothing and a pawn on the last rank stays a pawn.

#include "UnitChessBoard.h"

#include <cstdint>

class TFastBoard {
public:
    // Square numbers are 0x88: file x (1..8) and rank y (1..8) give (x - 1) + 16 * (y - 1).
    static constexpr int NoSquare = -1;
    static int Square(int x, int y) { return (x - 1) + 16 * (y - 1); }
    static int FileOf(int sq) { return (sq & 7) + 1; }
    static int RankOf(int sq) { return (sq >> 4) + 1; }
    static bool OnBoard(int sq) { return (sq & ~0x77) == 0; }
    // Index in the board's generation order: file by file, within a file rank by rank.
    static int OrderIndex(int sq) { return (sq & 7) * 8 + (sq >> 4); }

    // Piece bytes: 0 for an empty square, otherwise kind + 1, the colour in bit 3 and bit 4 set
    // while the piece has never moved (MoveCount 0).
    static constexpr uint8_t ColourBit = 8;
    static constexpr uint8_t UnmovedBit = 16;
    static constexpr uint8_t KindMask = 7;
    static uint8_t Code(TPieceKind kind, TPieceColour colour) {
        return uint8_t(kind + 1) | (colour == pcBlack ? ColourBit : 0);
    }
    static TPieceKind KindOf(uint8_t piece) { return TPieceKind((piece & KindMask) - 1); }
    static TPieceColour ColourOf(uint8_t piece) { return (piece & ColourBit) ? pcBlack : pcWhite; }

    explicit TFastBoard(const TChessBoard& board);

    uint8_t At(int sq) const { return m_Squares[sq]; }
    int KingSquare(TPieceColour colour) const { return m_King[colour]; }

    // The same answers as TChessBoard's operations of these names.
    bool IsAttacked(int target, TPieceColour colour) const;
    bool InCheck(TPieceColour colour) const;
    bool CanCastle(TPieceColour colour, bool queenside) const;

    // Moves are packed as (value << 12) | (OrderIndex(from) << 6) | OrderIndex(to), so that
    // sorting them in descending order gives the search's order: the biggest capture first,
    // equal values in reverse generation order.
    static int MoveFrom(uint32_t move) { return OrderSquare[(move >> 6) & 63]; }
    static int MoveTo(uint32_t move) { return OrderSquare[move & 63]; }
    static int MoveValue(uint32_t move) { return int(move >> 12); }
    static constexpr int MaxMoves = 512;

    // The moves that pass MatchesPattern and CanReach, except that castling moves are listed
    // whenever their squares are free and must still pass CanCastle (see IsLegal). Returns the
    // count written to `moves`.
    int GenerateMoves(TPieceColour colour, uint32_t* moves) const;
    // For a move from GenerateMoves: the castling test and the board's trial of the move, so that
    // the result equals IsLegalMove. `inCheck` is InCheck of the mover's colour, when known.
    bool IsLegal(uint32_t move, int inCheck = -1);

    // Lifting and putting, as the search makes and takes back a move; the king cache follows.
    uint8_t Make(int from, int to) {
        const uint8_t occupant = m_Squares[to];
        const uint8_t mover = m_Squares[from];
        m_Squares[from] = 0;
        Put(to, mover);
        return occupant;
    }
    void TakeBack(int from, int to, uint8_t occupant) {
        const uint8_t mover = m_Squares[to];
        m_Squares[to] = 0;
        Put(from, mover);
        if (occupant)
            Put(to, occupant);
    }

private:
    static const int OrderSquare[64];

    void Put(int sq, uint8_t piece) {
        m_Squares[sq] = piece;
        if ((piece & KindMask) == pkKing + 1)
            m_King[ColourOf(piece)] = sq;
    }
    // Whether `attacker` reaches `target` by the ordinary moves of its pieces: pawns diagonally
    // forward, no castling shape. This is the board's test when the target holds a piece of the
    // other colour (or stands in for one).
    bool AttackedByPieces(int target, TPieceColour attacker) const {
        return PawnTakes(target, attacker) || AttackedByOthers(target, attacker);
    }
    bool PawnTakes(int target, TPieceColour attacker) const;
    bool AttackedByOthers(int target, TPieceColour attacker) const;
    bool AttackedEmpty(int target, TPieceColour attacker) const;

    uint8_t m_Squares[128] = {};
    int m_King[2] = { NoSquare, NoSquare };
    bool m_EnPassant = false;
    // LastMoveTo, kept as coordinates since it need not be a square of the board.
    int m_LastX = 0;
    int m_LastY = 0;
};
