#include "RandomGame.h"

#include <cstdlib>

namespace {

const TMoveSquares& Any(const std::vector<TMoveSquares>& moves, std::mt19937& random) {
    return moves[random() % moves.size()];
}

bool IsPawnMove(const TChessBoard& board, const TMoveSquares& move) {
    return board.PieceAt(move.From)->Kind == pkPawn;
}

bool IsEnPassantOrCastling(const TChessBoard& board, const TMoveSquares& move) {
    const TPiece* piece = board.PieceAt(move.From);
    if (piece->Kind == pkKing)
        return std::abs(move.To.X - move.From.X) == 2;
    return piece->Kind == pkPawn && move.From.X != move.To.X && !board.PieceAt(move.To);
}

std::vector<TMoveSquares> Where(const std::vector<TMoveSquares>& moves,
    const std::function<bool(const TMoveSquares&)>& wanted) {
    std::vector<TMoveSquares> chosen;
    for (const TMoveSquares& move : moves)
        if (wanted(move))
            chosen.push_back(move);
    return chosen;
}

} // namespace

TMoveSquares PickRandomMove(const TChessBoard& board, const std::vector<TMoveSquares>& legal,
    std::mt19937& random, TMovePreference preference) {
    switch (preference) {
    case mpAny:
        break;
    case mpPawns: {
        const auto pawn = Where(legal, [&](const TMoveSquares& m) { return IsPawnMove(board, m); });
        return !pawn.empty() && random() % 3 ? Any(pawn, random) : Any(legal, random);
    }
    case mpSpecial: {
        const auto special
            = Where(legal, [&](const TMoveSquares& m) { return IsEnPassantOrCastling(board, m); });
        const auto pawn = Where(legal, [&](const TMoveSquares& m) {
            return IsPawnMove(board, m) && !IsEnPassantOrCastling(board, m);
        });
        if (!special.empty() && random() % 4)
            return Any(special, random);
        if (!pawn.empty() && random() % 2)
            return Any(pawn, random);
        break;
    }
    case mpCaptures: {
        const TMoveSquares move = Any(legal, random);
        if (random() % 3 == 0)
            for (const TMoveSquares& m : legal)
                if (board.PieceAt(m.To))
                    return m;
        return move;
    }
    case mpQuiet: {
        const auto quiet = Where(legal,
            [&](const TMoveSquares& m) { return !board.PieceAt(m.To) && !IsPawnMove(board, m); });
        return Any(!quiet.empty() && random() % 10 != 0 ? quiet : legal, random);
    }
    }
    return Any(legal, random);
}

uint8_t RandomPromotion(std::mt19937& random) {
    return uint8_t(pkRook + random() % 4);
}

TPieceColour PlayRandomGame(TChessBoard& board, TPieceColour side, TMoveList& moves, int plies,
    std::mt19937& random, const TRandomPlay& play) {
    for (int ply = 0; ply < plies; ++ply) {
        const std::vector<TMoveSquares> legal = LegalMoves(board, side);
        if (legal.empty())
            break;
        const TMoveSquares m = PickRandomMove(board, legal, random, play.Preference);
        if (play.BeforeMove)
            play.BeforeMove(board, m);
        const TMoveResult flags = board.MovePiece(m.From, m.To, true);
        if (flags & mrInvalid) {
            moves.Add(board.PieceAt(m.From)->Kind, m.From, m.To, 0, flags);
            break;
        }
        if (flags & mrPromotion) {
            moves.Add(board.PieceAt(m.To)->Kind, m.From, m.To, 0, flags & ~mrGameOver);
            const uint8_t kind = play.Promotion ? *play.Promotion : RandomPromotion(random);
            moves.Last()->PromotionKind = kind;
            moves.Last()->Flags |= board.Promote(m.To, kind);
        } else {
            moves.Add(board.PieceAt(m.To)->Kind, m.From, m.To, 0, flags);
        }
        side = Opponent(side);
    }
    return side;
}
