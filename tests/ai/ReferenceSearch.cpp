#include "ReferenceSearch.h"

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace {

thread_local long long nodeCount = 0;

int ReferencePieceValue(const TPiece* piece) {
    if (!piece)
        return 0;
    switch (piece->Kind) {
    case pkPawn:
        return 10;
    case pkRook:
        return 50;
    case pkKnight:
        return 35;
    case pkBishop:
        return 35;
    case pkQueen:
        return 90;
    case pkKing:
        return 1000;
    }
    return 0;
}

void GenerateMoves(TChessBoard& board, TPieceColour colour, TMoveList& list) {
    for (int x = 1; x <= 8; ++x) {
        for (int y = 1; y <= 8; ++y) {
            const TPiece* piece = board.PieceAt(x, y);
            if (!piece || piece->Colour != colour)
                continue;
            for (int i = 1; i <= 8; ++i) {
                for (int j = 1; j <= 8; ++j) {
                    if (i == x && j == y)
                        continue;
                    if (board.IsLegalMove(MakePoint(x, y), MakePoint(i, j)))
                        list.Add(piece->Kind, MakePoint(x, y), MakePoint(i, j),
                            ReferencePieceValue(board.PieceAt(i, j)), 0);
                }
            }
        }
    }
}

std::unique_ptr<TPiece> Make(TChessBoard& board, const TMoveRecord& m) {
    std::unique_ptr<TPiece> occupant = board.TakePiece(m.To.X, m.To.Y);
    std::unique_ptr<TPiece> mover = board.TakePiece(m.From.X, m.From.Y);
    board.PutPiece(m.To.X, m.To.Y, std::move(mover));
    return occupant;
}

void Unmake(TChessBoard& board, const TMoveRecord& m, std::unique_ptr<TPiece> occupant) {
    std::unique_ptr<TPiece> mover = board.TakePiece(m.To.X, m.To.Y);
    board.PutPiece(m.From.X, m.From.Y, std::move(mover));
    board.PutPiece(m.To.X, m.To.Y, std::move(occupant));
}

// The side's material less the other side's, kings included.
int Material(const TChessBoard& board, TPieceColour colour) {
    int material = 0;
    for (int x = 1; x <= 8; ++x) {
        for (int y = 1; y <= 8; ++y) {
            const TPiece* piece = board.PieceAt(x, y);
            if (piece)
                material += piece->Colour == colour ? ReferencePieceValue(piece)
                                                    : -ReferencePieceValue(piece);
        }
    }
    return material;
}

// Below any value a line can have.
constexpr int NoMove = -1000000;

int Search(TChessBoard& board, TPieceColour colour, int depth, int bound) {
    ++nodeCount;
    TMoveList moves;
    GenerateMoves(board, colour, moves);
    moves.SortByScore();
    int best = NoMove;
    for (TMoveRecord* m = moves.First(); m; m = m->Next) {
        std::unique_ptr<TPiece> occupant = Make(board, *m);
        if (depth > 0) {
            bound = m->Score - best;
            m->Score -= Search(board, Opponent(colour), depth - 1, bound);
        } else if (board.IsAttacked(m->To.X, m->To.Y, colour)) {
            m->Score -= ReferencePieceValue(board.PieceAt(m->To.X, m->To.Y));
        }
        Unmake(board, *m, std::move(occupant));
        best = std::max(best, m->Score);
        if (best >= bound)
            break;
    }
    // No legal move: the line ends here whatever material it won, as a draw (0) or as a mate,
    // worth 5000 and 1000 more for each level of depth left, so that a shorter mate counts more.
    if (best == NoMove)
        return (board.InCheck(colour) ? -(5000 + 1000 * depth) : 0) - Material(board, colour);
    return best;
}

int Evaluate(TChessBoard& board, TPieceColour colour, const TMoveRecord& m) {
    int s = 0;
    const TPieceColour opponent = Opponent(colour);
    if (board.InCheck(opponent)) {
        s += 6;
        if (board.HasNoLegalMove(opponent))
            s += 36;
    }
    int shelter = 0;
    if (colour == pcWhite) {
        const TPoint king = board.WhiteKing;
        if (king.Y == 1 && king.X != 5) {
            for (int x = std::max(1, king.X - 1); x <= std::min(8, king.X + 1); ++x) {
                const TPiece* p = board.PieceAt(x, 2);
                if (p && p->Colour == pcWhite)
                    ++shelter;
            }
        }
    } else {
        const TPoint king = board.BlackKing;
        if (king.Y == 8 && king.X != 5) {
            for (int x = std::max(1, king.X - 1); x <= std::min(8, king.X + 1); ++x) {
                const TPiece* p = board.PieceAt(x, 7);
                if (p && p->Colour == pcBlack)
                    ++shelter;
            }
        }
    }
    s += shelter;
    const bool castlingOpen = board.CanCastle(colour, true) || board.CanCastle(colour, false);
    const TPiece* moved = board.PieceAt(m.To.X, m.To.Y);
    if (moved->Kind == pkKing) {
        if (std::abs(m.From.X - m.To.X) > 1 && shelter >= 2)
            s += 140;
        else if (castlingOpen)
            s -= 80;
    }
    if (moved->Kind == pkPawn)
        s += m.To.Y;
    TMoveList own;
    GenerateMoves(board, colour, own);
    s += own.Count();
    for (int x = 1; x <= 8; ++x) {
        for (int y = 1; y <= 8; ++y) {
            const TPiece* p = board.PieceAt(x, y);
            if (!p)
                continue;
            const bool mine = p->Colour == colour;
            if (board.IsDefended(x, y, p->Colour))
                s += mine ? 1 : -1;
            if (board.IsAttacked(x, y, p->Colour))
                s += mine ? -1 : 1;
        }
    }
    return s;
}

} // namespace

void ReferenceCandidates(
    TChessBoard& board, TPieceColour colour, int depth, TPoint lastFrom, TMoveList& candidates) {
    nodeCount = 0;
    candidates.Clear();
    GenerateMoves(board, colour, candidates);
    int best = NoMove;
    for (TMoveRecord* m = candidates.First(); m; m = m->Next) {
        std::unique_ptr<TPiece> occupant = Make(board, *m);
        m->Score = m->Score - Search(board, Opponent(colour), depth, m->Score - best);
        m->Score += Evaluate(board, colour, *m);
        if (m->To == lastFrom)
            m->Score -= 20;
        Unmake(board, *m, std::move(occupant));
        best = std::max(best, m->Score);
    }
    candidates.SortByScore();
}

long long ReferenceNodeCount() {
    return nodeCount;
}
