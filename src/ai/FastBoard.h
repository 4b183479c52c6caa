#pragma once

// A compact copy of a TChessBoard for the search: one byte per square plus a bit set per colour
// and kind, with the same king cache and en passant state, and the board's move rules reproduced
// exactly, quirks included (a pawn "attacks" the empty square ahead of it, a king square that no
// longer holds the king after it was taken inside the search, castling judged from the move
// counts of the original position). Moves are made by lifting and putting pieces, as the search
// does on the real board: no move counts change, a castling king moves alone, an en passant
// capture takes nothing and a pawn on the last rank stays a pawn.

#include "UnitChessBoard.h"

#include <bit>
#include <cstdint>

// Random keys for every square and piece byte (splitmix64 from a fixed seed), the same in every
// run.
struct TZobristKeys {
    uint64_t Keys[64][32] = {};

    constexpr TZobristKeys() {
        uint64_t state = 0x9E3779B97F4A7C15ull;
        for (auto& square : Keys) {
            for (uint64_t& key : square) {
                uint64_t z = (state += 0x9E3779B97F4A7C15ull);
                z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
                z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
                key = z ^ (z >> 31);
            }
        }
    }
};

class TFastBoard {
public:
    // Squares are numbered in the board's generation order, file by file: file x (1..8) and
    // rank y (1..8) give (x - 1) * 8 + (y - 1). Bit n of a set stands for square n.
    static constexpr int NoSquare = -1;
    static int Square(int x, int y) { return (x - 1) * 8 + (y - 1); }
    static int FileOf(int sq) { return (sq >> 3) + 1; }
    static int RankOf(int sq) { return (sq & 7) + 1; }

    // Piece bytes: 0 for an empty square, otherwise kind + 1, the colour in bit 3 and bit 4 set
    // while the piece has never moved (MoveCount 0).
    static constexpr uint8_t ColourBit = 8;
    static constexpr uint8_t UnmovedBit = 16;
    static constexpr uint8_t KindMask = 7;
    static TPieceKind KindOf(uint8_t piece) { return TPieceKind((piece & KindMask) - 1); }
    static TPieceColour ColourOf(uint8_t piece) { return (piece & ColourBit) ? pcBlack : pcWhite; }
    static int ValueOf(uint8_t piece);

    explicit TFastBoard(const TChessBoard& board);

    uint8_t At(int sq) const { return m_Squares[sq]; }
    int KingSquare(TPieceColour colour) const { return m_King[colour]; }
    uint64_t Occupied() const { return m_Sets[pcWhite][0] | m_Sets[pcBlack][0]; }

    // The colour's material less the other colour's, at the search's piece values, kings
    // included.
    int Material(TPieceColour colour) const;

    // Zobrist key of the placement (piece bytes on squares), kept up to date by every lift and
    // put. The king cache and the en passant state are not in it.
    uint64_t Key() const { return m_Key; }
    // The en passant state as far as the move rules can see it: 0 when no en passant capture can
    // happen, otherwise 1 + the square of LastMoveTo.
    int EnPassantContext() const;

    // The same answers as TChessBoard's operations of these names.
    bool IsAttacked(int target, TPieceColour colour) const;
    bool InCheck(TPieceColour colour) const;
    bool CanCastle(TPieceColour colour, bool queenside) const;
    bool IsDefended(int target, TPieceColour colour);

    // Moves are packed as (value << 12) | (from << 6) | to, so that descending order is the
    // search's order: the biggest capture first, equal values in reverse generation order.
    static int MoveFrom(uint32_t move) { return int(move >> 6) & 63; }
    static int MoveTo(uint32_t move) { return int(move) & 63; }
    static int MoveValue(uint32_t move) { return int(move >> 12); }
    static constexpr int MaxMoves = 512;

    // The moves that pass MatchesPattern and CanReach, except that castling moves are listed
    // whenever their squares are free and must still pass CanCastle (see IsLegal). Captures come
    // in descending order; quiet moves, all of value 0, in descending order too. Each returns
    // the count written.
    int GenerateCaptures(TPieceColour colour, uint32_t* moves) const;
    int GenerateQuiets(TPieceColour colour, uint32_t* moves) const;
    // The quiet moves in the same order, one at a time, until `visit` returns true; answers
    // whether it did. A search that stops after the first few never generates the rest. The
    // visitor may make moves as long as it takes them back before it returns.
    template <typename TVisit> bool VisitQuiets(TPieceColour colour, TVisit&& visit) const {
        const uint64_t own = m_Sets[colour][0];
        const uint64_t occupied = own | m_Sets[Opponent(colour)][0];
        for (uint64_t origins = own; origins;) {
            const int from = 63 - std::countl_zero(origins);
            origins ^= uint64_t(1) << from;
            for (uint64_t targets = Destinations(from, m_Squares[from], own, occupied) & ~occupied;
                 targets;) {
                const int to = 63 - std::countl_zero(targets);
                targets ^= uint64_t(1) << to;
                if (visit(uint32_t(from << 6) | uint32_t(to)))
                    return true;
            }
        }
        return false;
    }
    // For a move from the generators: the castling test and the board's trial of the move, so
    // that the result equals IsLegalMove. `inCheck` is InCheck of the mover's colour.
    bool IsLegal(uint32_t move, bool inCheck);
    // The legal moves of the colour in the board's generation order (by origin, then by
    // destination), as TChessBoard finds them with IsLegalMove. Returns the count written.
    int GenerateMoves(TPieceColour colour, uint32_t* moves);

    // Lifting and putting, as the search makes and takes back a move; the king cache follows.
    uint8_t Make(int from, int to) {
        const uint8_t occupant = m_Squares[to];
        if (occupant)
            Lift(to);
        const uint8_t mover = Lift(from);
        Put(to, mover);
        return occupant;
    }
    void TakeBack(int from, int to, uint8_t occupant) {
        Put(from, Lift(to));
        if (occupant)
            Put(to, occupant);
    }

private:
    uint8_t Lift(int sq) {
        const uint8_t piece = m_Squares[sq];
        const uint64_t bit = uint64_t(1) << sq;
        m_Sets[ColourOf(piece)][0] &= ~bit;
        m_Sets[ColourOf(piece)][piece & KindMask] &= ~bit;
        m_Squares[sq] = 0;
        m_Key ^= PieceKey(sq, piece);
        return piece;
    }
    void Put(int sq, uint8_t piece) {
        const uint64_t bit = uint64_t(1) << sq;
        m_Sets[ColourOf(piece)][0] |= bit;
        m_Sets[ColourOf(piece)][piece & KindMask] |= bit;
        m_Squares[sq] = piece;
        m_Key ^= PieceKey(sq, piece);
        if ((piece & KindMask) == pkKing + 1)
            m_King[ColourOf(piece)] = sq;
    }
    static uint64_t PieceKey(int sq, uint8_t piece) { return Zobrist.Keys[sq][piece & 31]; }
    static constexpr TZobristKeys Zobrist {};
    uint64_t Set(TPieceColour colour, TPieceKind kind) const { return m_Sets[colour][kind + 1]; }

    // Whether `attacker` reaches `target` by the ordinary moves of its pieces: pawns diagonally
    // forward, no castling shape. This is the board's test when the target holds a piece of the
    // other colour (or stands in for one).
    bool AttackedByPieces(int target, TPieceColour attacker) const;
    bool AttackedByOthers(int target, TPieceColour attacker) const;
    bool AttackedEmpty(int target, TPieceColour attacker) const;
    // The pseudo-legal destinations of the piece on `from`.
    uint64_t Destinations(int from, uint8_t piece, uint64_t own, uint64_t occupied) const;

    uint8_t m_Squares[64] = {};
    // Per colour: [0] all its pieces, [kind + 1] its pieces of that kind.
    uint64_t m_Sets[2][8] = {};
    int m_King[2] = { NoSquare, NoSquare };
    bool m_EnPassant = false;
    // LastMoveTo, kept as coordinates since it need not be a square of the board.
    int m_LastX = 0;
    int m_LastY = 0;
    uint64_t m_Key = 0;
};
