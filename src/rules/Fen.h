#pragma once

// Positions as FEN text. Castling rights are held in the move counts of the king and the corner
// rooks (0 keeps a right, 1 has lost it); an en passant field sets EnPassant and LastMoveTo to the
// square of the pawn that has just made its double step.

#include "UnitChessBoard.h"

#include <stdexcept>
#include <string>

class EFenError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

extern const char* const StartFen;

// Sets up the board from the text and returns the side to move. Malformed or impossible
// positions throw EFenError naming the fault; the board is then unchanged.
TPieceColour LoadFen(TChessBoard& board, const std::string& fen);
// The same for positions as files in the wild write them: a castling right whose king or rook is
// not on its square is dropped instead of refused, and its letter appended to `dropped`.
// Everything else is refused as LoadFen refuses it.
TPieceColour LoadFenDroppingCastling(
    TChessBoard& board, const std::string& fen, std::string& dropped);
std::string SaveFen(const TChessBoard& board, TPieceColour sideToMove);
