#include "Perft.h"

std::vector<TMoveSquares> LegalMoves(TChessBoard& board, TPieceColour colour) {
    std::vector<TMoveSquares> moves;
    for (int x = 1; x <= 8; ++x) {
        for (int y = 1; y <= 8; ++y) {
            const TPiece* piece = board.PieceAt(x, y);
            if (!piece || piece->Colour != colour)
                continue;
            const TPoint from = MakePoint(x, y);
            for (int i = 1; i <= 8; ++i) {
                for (int j = 1; j <= 8; ++j) {
                    const TPoint to = MakePoint(i, j);
                    if (to != from && board.IsLegalMove(from, to))
                        moves.push_back({ from, to });
                }
            }
        }
    }
    return moves;
}

uint64_t Perft(TChessBoard& board, TPieceColour colour, int depth) {
    if (depth <= 0)
        return 1;
    uint64_t nodes = 0;
    for (const TMoveSquares& move : LegalMoves(board, colour)) {
        const TMoveResult flags = board.MovePiece(move.From, move.To, false);
        if (flags & mrPromotion) {
            for (uint8_t kind = pkRook; kind <= pkQueen; ++kind) {
                board.Promote(move.To, kind);
                nodes += Perft(board, Opponent(colour), depth - 1);
            }
        } else {
            nodes += Perft(board, Opponent(colour), depth - 1);
        }
        board.UndoMove(move.From, move.To, flags);
    }
    return nodes;
}
