// The rule half of TChessBoard: legality in three layers (MatchesPattern, CanReach,
// IsLegalMove), attacks, check, mate, castling, and executing and taking back moves.

#include "UnitChessBoard.h"

#include <cstdlib>

namespace {

int Sign(int v) {
    return (v > 0) - (v < 0);
}

// A stand-in for "a piece of the castling side" when the square the king passes over is tested.
const TPiece& StandIn(TPieceColour colour) {
    static const TPiece white(pkPawn, pcWhite);
    static const TPiece black(pkPawn, pcBlack);
    return colour == pcWhite ? white : black;
}

} // namespace

// CanReach with the occupant of `to` given explicitly, so that a square can be tested as if a
// different piece (or none) stood on it without changing the board.
static bool CanReachWith(const TChessBoard& board, TPoint from, TPoint to, const TPiece* occupant) {
    if (from == to)
        return false;
    const TPiece* mover = board.PieceAt(from);
    if (!mover)
        return false;
    const int dx = to.X - from.X;
    const int dy = to.Y - from.Y;
    if (occupant && occupant->Colour == mover->Colour)
        return false;
    if (dx == 0 || dy == 0 || std::abs(dx) == std::abs(dy)) {
        const int sx = Sign(dx);
        const int sy = Sign(dy);
        for (int x = from.X + sx, y = from.Y + sy; x != to.X || y != to.Y; x += sx, y += sy) {
            if (board.PieceAt(x, y))
                return false;
        }
    }
    if (dx == 0) {
        if (occupant && mover->Kind == pkPawn)
            return false;
    } else if (dy == 0) {
        if (mover->Kind == pkKing && std::abs(dx) == 2)
            return !occupant && board.CanCastle(mover->Colour, to.X == 3);
    } else if (std::abs(dx) == std::abs(dy) && mover->Kind == pkPawn) {
        return occupant
            || (board.EnPassant && board.LastMoveTo.Y == from.Y && board.LastMoveTo.X == to.X);
    }
    return true;
}

// IsAttacked with the occupant of the target square given explicitly.
static bool AttackedWith(
    const TChessBoard& board, TPoint target, TPieceColour colour, const TPiece* occupant) {
    for (int x = 1; x <= 8; ++x) {
        for (int y = 1; y <= 8; ++y) {
            const TPiece* piece = board.PieceAt(x, y);
            if (!piece || piece->Colour == colour)
                continue;
            const TPoint from = MakePoint(x, y);
            if (MatchesPattern(*piece, from, target) && CanReachWith(board, from, target, occupant))
                return true;
        }
    }
    return false;
}

bool TChessBoard::CanReach(TPoint from, TPoint to) const {
    CheckSquare(from.X, from.Y);
    CheckSquare(to.X, to.Y);
    return CanReachWith(*this, from, to, PieceAt(to));
}

bool TChessBoard::IsEnPassantCapture(TPoint from, TPoint to) const {
    const TPiece* mover = PieceAt(from);
    return mover && mover->Kind == pkPawn && std::abs(to.X - from.X) == 1
        && std::abs(to.Y - from.Y) == 1 && !PieceAt(to) && EnPassant && OnBoard(LastMoveTo)
        && LastMoveTo.Y == from.Y && LastMoveTo.X == to.X;
}

bool TChessBoard::IsLegalMove(TPoint from, TPoint to) {
    CheckSquare(from.X, from.Y);
    CheckSquare(to.X, to.Y);
    const TPiece* mover = PieceAt(from);
    if (!mover)
        return false;
    if (!MatchesPattern(*mover, from, to) || !CanReach(from, to))
        return false;
    const TPieceColour colour = mover->Colour;

    // Trial: the pawn taken en passant leaves the board for the trial too, so that taking a
    // checking pawn is legal and exposing the king along the rank is not.
    std::unique_ptr<TPiece> takenEnPassant;
    if (IsEnPassantCapture(from, to)) {
        const TPiece* taken = PieceAt(LastMoveTo);
        if (taken && taken->Colour != colour)
            takenEnPassant = TakePiece(LastMoveTo.X, LastMoveTo.Y);
    }
    auto occupant = TakePiece(to.X, to.Y);
    PutPiece(to.X, to.Y, TakePiece(from.X, from.Y));
    const bool inCheck = InCheck(colour);
    PutPiece(from.X, from.Y, TakePiece(to.X, to.Y));
    PutPiece(to.X, to.Y, std::move(occupant));
    if (takenEnPassant)
        PutPiece(LastMoveTo.X, LastMoveTo.Y, std::move(takenEnPassant));
    return !inCheck;
}

bool TChessBoard::IsAttacked(int32_t x, int32_t y, TPieceColour colour) const {
    CheckSquare(x, y);
    return AttackedWith(*this, MakePoint(x, y), colour, PieceAt(x, y));
}

bool TChessBoard::IsDefended(int32_t x, int32_t y, TPieceColour colour) {
    CheckSquare(x, y);
    const TPoint target = MakePoint(x, y);
    for (int i = 1; i <= 8; ++i) {
        for (int j = 1; j <= 8; ++j) {
            const TPiece* piece = PieceAt(i, j);
            if (!piece || piece->Colour != colour)
                continue;
            const TPoint from = MakePoint(i, j);
            if (!MatchesPattern(*piece, from, target))
                continue;
            auto lifted = TakePiece(x, y);
            const bool reach = CanReach(from, target);
            PutPiece(x, y, std::move(lifted));
            if (reach)
                return true;
        }
    }
    return false;
}

bool TChessBoard::InCheck(TPieceColour colour) const {
    const TPoint king = KingSquare(colour);
    if (!OnBoard(king))
        return false;
    return IsAttacked(king.X, king.Y, colour);
}

bool TChessBoard::CanMove(int32_t x, int32_t y) {
    CheckSquare(x, y);
    if (!PieceAt(x, y))
        return false;
    const TPoint from = MakePoint(x, y);
    for (int i = 1; i <= 8; ++i) {
        for (int j = 1; j <= 8; ++j) {
            const TPoint to = MakePoint(i, j);
            if (to != from && IsLegalMove(from, to))
                return true;
        }
    }
    return false;
}

bool TChessBoard::HasNoLegalMove(TPieceColour colour) {
    const TPoint king = KingSquare(colour);
    if (OnBoard(king) && CanMove(king.X, king.Y))
        return false;
    for (int x = 1; x <= 8; ++x) {
        for (int y = 1; y <= 8; ++y) {
            const TPiece* piece = PieceAt(x, y);
            if (piece && piece->Colour == colour && CanMove(x, y))
                return false;
        }
    }
    return true;
}

bool TChessBoard::CanCastle(TPieceColour colour, bool queenside) const {
    const TPoint king = KingSquare(colour);
    if (!OnBoard(king))
        return false;
    const TPiece* kingPiece = PieceAt(king);
    if (!kingPiece || kingPiece->MoveCount != 0 || InCheck(colour))
        return false;
    const int y = king.Y;
    const int rookX = queenside ? 1 : 8;
    const TPiece* rook = PieceAt(rookX, y);
    if (!rook || rook->Kind != pkRook || rook->Colour != colour || rook->MoveCount != 0)
        return false;
    if (queenside && PieceAt(2, y))
        return false;
    // The square the king passes over is tested as if a piece of the castling side stood there,
    // so an enemy pawn attacks it diagonally, not straight ahead.
    const TPoint passed = MakePoint(queenside ? 4 : 6, y);
    const TPiece* occupant = PieceAt(passed);
    if (!occupant || occupant->Colour != colour)
        occupant = &StandIn(colour);
    return !AttackedWith(*this, passed, colour, occupant);
}

void TChessBoard::MoveReference(TPoint from, TPoint to) {
    Slot(to.X, to.Y) = std::move(Slot(from.X, from.Y));
}

TMoveResult TChessBoard::MovePiece(TPoint from, TPoint to, bool validate) {
    CheckSquare(from.X, from.Y);
    CheckSquare(to.X, to.Y);
    if (validate && !IsLegalMove(from, to))
        return mrInvalid;
    TPiece* mover = PieceAt(from);
    if (!mover || from == to)
        return mrInvalid;

    TUndoEntry entry { from, to, EnPassant, LastMoveTo, false };
    TMoveResult flags = 0;
    const int dx = to.X - from.X;
    const int dy = to.Y - from.Y;
    if (Slot(to.X, to.Y) && AddCaptured(Slot(to.X, to.Y))) {
        flags = mrCapture;
    } else if (EnPassant && mover->Kind == pkPawn && std::abs(dx) == std::abs(dy)
        && OnBoard(LastMoveTo) && Slot(LastMoveTo.X, LastMoveTo.Y)) {
        if (AddCaptured(Slot(LastMoveTo.X, LastMoveTo.Y))) {
            flags = mrCapture;
            entry.EnPassantCapture = true;
        }
    }
    MoveReference(from, to);
    ++mover->MoveCount;
    EnPassant = false;
    LastMoveTo = to;

    if (mover->Kind == pkPawn) {
        const bool white = mover->Colour == pcWhite;
        if (white ? (from.Y == 2 && to.Y == 4) : (from.Y == 7 && to.Y == 5))
            EnPassant = true;
        if (to.Y == (white ? 8 : 1))
            flags |= mrPromotion;
    }
    if (mover->Kind == pkKing) {
        (mover->Colour == pcWhite ? WhiteKing : BlackKing) = to;
        if (std::abs(dx) == 2) {
            const int y = to.Y;
            const TPoint rookFrom = MakePoint(to.X == 3 ? 1 : 8, y);
            const TPoint rookTo = MakePoint(to.X == 3 ? 4 : 6, y);
            if (Slot(rookFrom.X, rookFrom.Y)) {
                MoveReference(rookFrom, rookTo);
                ++Slot(rookTo.X, rookTo.Y)->MoveCount;
            }
            flags |= mrCastling;
        }
    }

    const TPieceColour opponent = Opponent(mover->Colour);
    if (m_CapturedByWhiteCount == MaxCaptured && m_CapturedByBlackCount == MaxCaptured) {
        flags |= mrGameOver;
    } else {
        if (InCheck(opponent))
            flags |= mrCheck;
        if (HasNoLegalMove(opponent))
            flags |= mrGameOver;
    }
    Modified = true;
    m_History.push_back(entry);
    return flags;
}

TMoveResult TChessBoard::Promote(TPoint square, uint8_t kind) {
    CheckSquare(square.X, square.Y);
    TPiece* piece = PieceAt(square);
    if (!piece)
        return mrInvalid;
    if (kind >= pkRook && kind <= pkQueen)
        piece->Kind = static_cast<TPieceKind>(kind);
    const TPieceColour opponent = Opponent(piece->Colour);
    TMoveResult flags = 0;
    if (InCheck(opponent))
        flags |= mrCheck;
    if (HasNoLegalMove(opponent))
        flags |= mrGameOver;
    Modified = true;
    return flags;
}

static bool IsDoubleStep(const TMoveRecord& move) {
    return move.From.X == move.To.X
        && ((move.From.Y == 2 && move.To.Y == 4) || (move.From.Y == 7 && move.To.Y == 5));
}

TMoveResult TChessBoard::UndoMove(
    TPoint from, TPoint to, TMoveResult flags, const TMoveRecord* previousMove) {
    CheckSquare(from.X, from.Y);
    CheckSquare(to.X, to.Y);
    TPiece* mover = PieceAt(to);
    if (!mover || from == to || PieceAt(from))
        return mrInvalid;
    // A move list that does not fit the board (a damaged file) is refused where taking it back
    // would leave a position no file can hold: a piece that never moved would get a move count
    // below zero, a king would turn into a pawn, a castling without the king would move a piece
    // the king squares do not follow.
    const int lastRank = mover->Colour == pcWhite ? 8 : 1;
    if (mover->MoveCount <= 0
        || ((flags & mrPromotion) && (mover->Kind == pkKing || to.Y != lastRank))
        || ((flags & mrCastling) && mover->Kind != pkKing))
        return mrInvalid;

    TUndoEntry entry {};
    const bool remembered
        = !m_History.empty() && m_History.back().From == from && m_History.back().To == to;
    if (remembered) {
        entry = m_History.back();
        m_History.pop_back();
    } else {
        // A move this board did not execute: the move before it tells whether it took en passant
        // and what the en passant state was.
        m_History.clear();
        entry.From = from;
        entry.To = to;
        if (previousMove && OnBoard(previousMove->To)) {
            const TPoint beside = MakePoint(to.X, from.Y);
            entry.EnPassantCapture = (flags & mrCapture) && mover->Kind == pkPawn
                && std::abs(to.X - from.X) == 1 && IsDoubleStep(*previousMove)
                && previousMove->To == beside && !PieceAt(beside);
            entry.PreviousLastMoveTo = previousMove->To;
        }
    }

    MoveReference(to, from);
    --mover->MoveCount;
    if (flags & mrCapture) {
        if (entry.EnPassantCapture)
            Slot(to.X, from.Y) = PopCaptured(mover->Colour);
        else
            Slot(to.X, to.Y) = PopCaptured(mover->Colour);
    }
    if (mover->Kind == pkKing)
        (mover->Colour == pcWhite ? WhiteKing : BlackKing) = from;
    if (flags & mrCastling) {
        const int y = to.Y;
        const TPoint rookHome = MakePoint(to.X == 3 ? 1 : 8, y);
        const TPoint rookNow = MakePoint(to.X == 3 ? 4 : 6, y);
        const TPiece* rook = Slot(rookNow.X, rookNow.Y).get();
        if (rook && rook->Kind == pkRook && rook->Colour == mover->Colour && rook->MoveCount > 0
            && !Slot(rookHome.X, rookHome.Y)) {
            MoveReference(rookNow, rookHome);
            --Slot(rookHome.X, rookHome.Y)->MoveCount;
        }
    }
    if (flags & mrPromotion)
        mover->Kind = pkPawn;

    if (!remembered && previousMove && OnBoard(previousMove->To)) {
        const TPiece* last = PieceAt(previousMove->To);
        entry.PreviousEnPassant = IsDoubleStep(*previousMove) && last && last->Kind == pkPawn;
    }
    EnPassant = entry.PreviousEnPassant;
    LastMoveTo = entry.PreviousLastMoveTo;

    TMoveResult result = 0;
    if (InCheck(mover->Colour))
        result |= mrCheck;
    if (HasNoLegalMove(mover->Colour))
        result |= mrGameOver;
    Modified = true;
    return result;
}
