#pragma once

// Legal move enumeration and perft, the standard check of a move generator against published
// counts of leaf positions.

#include "UnitChessBoard.h"

#include <cstdint>
#include <vector>

struct TMoveSquares {
    TPoint From;
    TPoint To;
};

// The legal moves of a side, origins file by file (X 1..8, within a file Y 1..8), destinations
// in the same order.
std::vector<TMoveSquares> LegalMoves(TChessBoard& board, TPieceColour colour);

// Leaf positions `depth` moves deep. Moves are executed with MovePiece and taken back with
// UndoMove; a promotion counts once for each of the four pieces it can become.
uint64_t Perft(TChessBoard& board, TPieceColour colour, int depth);
