#pragma once

// The draws a game can be declared by: threefold repetition of a position, fifty moves of each
// side without a capture or a pawn move, and material with which no sequence of legal moves can
// mate. Positions are compared by a 64-bit key of what makes them the same position: the side to
// move, the pieces on their squares, the castling rights and an en passant capture that is legal.

#include "UnitChessBoard.h"
#include "UnitMoveList.h"

#include <cstdint>
#include <vector>

enum class TDrawRule : uint8_t { None, Repetition, FiftyMoves, InsufficientMaterial };

// Half-moves without a capture or a pawn move that draw the game.
constexpr int FiftyMoveLimit = 100;

// The key of the position with `toMove` to move. An en passant square counts only when a pawn
// of `toMove` can legally take there. The board is tried on and left as it was.
uint64_t PositionKey(TChessBoard& board, TPieceColour toMove);

// Neither side can mate by any sequence of legal moves: kings alone, a king and one knight
// against a bare king, or kings with bishops that all stand on squares of one colour.
bool InsufficientMaterial(const TChessBoard& board);

// A capture, a pawn move or a promotion: no position before it can come back.
bool IsIrreversible(const TMoveRecord& move);

// The positions of a game since its last capture or pawn move, one key per half-move, kept in
// step with the game's board and move list so that each new position costs one key and a
// comparison with the earlier positions of the same side to move.
class TDrawTracker {
public:
    // Forgets every position.
    void Clear();
    // Follows the game whose board is `board` (`toMove` to move) after the moves of `moves`, and
    // answers the rule the position meets. A position one move on is added; anything else (a
    // take-back, a loaded game, a game not followed so far) is read again from the board by
    // taking its moves back on a copy, as far as the last capture or pawn move.
    TDrawRule Follow(TChessBoard& board, TPieceColour toMove, const TMoveList& moves);
    // Drops the positions after the first `moves` moves, as a take-back does.
    void Truncate(int moves);

    // Half-moves since the last capture or pawn move (or since the first position known).
    int Clock() const { return m_Plies.empty() ? 0 : m_Plies.back().Clock; }
    // How often the last position has stood on the board, itself included.
    int Occurrences() const;
    // The number of moves played before the last position; -1 when none is kept.
    int Ply() const { return m_Base + int(m_Plies.size()) - 1; }

private:
    struct TPly {
        uint64_t Key;
        int Clock;
    };

    void Rebuild(TChessBoard& board, TPieceColour toMove, const TMoveList& moves);

    // The number of moves played before m_Plies[0].
    int m_Base = 0;
    std::vector<TPly> m_Plies;
};

// The draw rule that the position after `moves`, played from `start` with `toMove` to move,
// meets; None when the rules refuse one of the moves. `start` is not changed.
TDrawRule FindDraw(const TChessBoard& start, TPieceColour toMove, const TMoveList& moves);
