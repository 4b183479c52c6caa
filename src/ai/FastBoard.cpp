#include "FastBoard.h"

#include <cstdlib>

namespace {

constexpr int KnightSteps[8] = { 33, 31, 18, 14, -14, -18, -31, -33 };
constexpr int KingSteps[8] = { 1, 15, 16, 17, -1, -15, -16, -17 };
constexpr int StraightSteps[4] = { 1, 16, -1, -16 };
constexpr int DiagonalSteps[4] = { 15, 17, -15, -17 };

constexpr uint8_t Pawn = pkPawn + 1;
constexpr uint8_t Rook = pkRook + 1;
constexpr uint8_t Knight = pkKnight + 1;
constexpr uint8_t Bishop = pkBishop + 1;
constexpr uint8_t Queen = pkQueen + 1;
constexpr uint8_t King = pkKing + 1;

constexpr int Values[8] = { 0, 10, 50, 35, 35, 90, 1000, 0 };

// The direction a pawn of the colour moves in, as a square step.
int Forward(TPieceColour colour) {
    return colour == pcWhite ? 16 : -16;
}

} // namespace

const int TFastBoard::OrderSquare[64] = {
#define WM_FILE(x) x, x + 16, x + 32, x + 48, x + 64, x + 80, x + 96, x + 112
    WM_FILE(0), WM_FILE(1), WM_FILE(2), WM_FILE(3), WM_FILE(4), WM_FILE(5), WM_FILE(6), WM_FILE(7)
#undef WM_FILE
};

TFastBoard::TFastBoard(const TChessBoard& board) {
    for (int x = 1; x <= 8; ++x) {
        for (int y = 1; y <= 8; ++y) {
            const TPiece* piece = board.PieceAt(x, y);
            if (piece)
                m_Squares[Square(x, y)]
                    = Code(piece->Kind, piece->Colour) | (piece->MoveCount == 0 ? UnmovedBit : 0);
        }
    }
    const auto cached = [](TPoint p) { return ::OnBoard(p) ? Square(p.X, p.Y) : NoSquare; };
    m_King[pcWhite] = cached(board.WhiteKing);
    m_King[pcBlack] = cached(board.BlackKing);
    m_EnPassant = board.EnPassant;
    m_LastX = board.LastMoveTo.X;
    m_LastY = board.LastMoveTo.Y;
}

bool TFastBoard::PawnTakes(int target, TPieceColour attacker) const {
    const uint8_t pawn = Pawn | (attacker == pcBlack ? ColourBit : 0);
    const int behind = target - Forward(attacker);
    return (OnBoard(behind - 1) && (m_Squares[behind - 1] & 15) == pawn)
        || (OnBoard(behind + 1) && (m_Squares[behind + 1] & 15) == pawn);
}

bool TFastBoard::AttackedByOthers(int target, TPieceColour attacker) const {
    const uint8_t colourBit = attacker == pcBlack ? ColourBit : 0;
    const uint8_t knight = Knight | colourBit;
    for (int step : KnightSteps) {
        const int from = target + step;
        if (OnBoard(from) && (m_Squares[from] & 15) == knight)
            return true;
    }
    const uint8_t king = King | colourBit;
    for (int step : KingSteps) {
        const int from = target + step;
        if (OnBoard(from) && (m_Squares[from] & 15) == king)
            return true;
    }
    const uint8_t rook = Rook | colourBit;
    const uint8_t bishop = Bishop | colourBit;
    const uint8_t queen = Queen | colourBit;
    for (int step : StraightSteps) {
        for (int from = target + step; OnBoard(from); from += step) {
            const uint8_t piece = m_Squares[from] & 15;
            if (!piece)
                continue;
            if (piece == rook || piece == queen)
                return true;
            break;
        }
    }
    for (int step : DiagonalSteps) {
        for (int from = target + step; OnBoard(from); from += step) {
            const uint8_t piece = m_Squares[from] & 15;
            if (!piece)
                continue;
            if (piece == bishop || piece == queen)
                return true;
            break;
        }
    }
    return false;
}

// An empty target: a pawn reaches the square one or two steps straight ahead of it and the
// diagonal squares only as an en passant capture, and a king on its home square reaches its
// castling squares when it could castle there.
bool TFastBoard::AttackedEmpty(int target, TPieceColour attacker) const {
    if (AttackedByOthers(target, attacker))
        return true;
    const uint8_t colourBit = attacker == pcBlack ? ColourBit : 0;
    const uint8_t pawn = Pawn | colourBit;
    const int forward = Forward(attacker);
    const int behind = target - forward;
    const int x = FileOf(target);
    const int y = RankOf(target);
    if (OnBoard(behind)) {
        if ((m_Squares[behind] & 15) == pawn)
            return true;
        const int twoBehind = behind - forward;
        if (!m_Squares[behind] && OnBoard(twoBehind)
            && RankOf(twoBehind) == (attacker == pcWhite ? 2 : 7)
            && (m_Squares[twoBehind] & 15) == pawn)
            return true;
        if (m_EnPassant && m_LastX == x && m_LastY == RankOf(behind) && PawnTakes(target, attacker))
            return true;
    }
    const int homeRank = attacker == pcWhite ? 1 : 8;
    if (y == homeRank && (x == 3 || x == 7)) {
        const int kingFrom = Square(5, homeRank);
        const int between = Square(x == 3 ? 4 : 6, homeRank);
        if ((m_Squares[kingFrom] & 15) == (King | colourBit) && !m_Squares[between]
            && CanCastle(attacker, x == 3))
            return true;
    }
    return false;
}

bool TFastBoard::IsAttacked(int target, TPieceColour colour) const {
    const uint8_t occupant = m_Squares[target];
    if (occupant)
        return ColourOf(occupant) == colour && AttackedByPieces(target, Opponent(colour));
    return AttackedEmpty(target, Opponent(colour));
}

bool TFastBoard::InCheck(TPieceColour colour) const {
    const int king = m_King[colour];
    return king != NoSquare && IsAttacked(king, colour);
}

bool TFastBoard::CanCastle(TPieceColour colour, bool queenside) const {
    const int king = m_King[colour];
    if (king == NoSquare)
        return false;
    const uint8_t kingPiece = m_Squares[king];
    if (!kingPiece || !(kingPiece & UnmovedBit) || InCheck(colour))
        return false;
    const int y = RankOf(king);
    const uint8_t rook = m_Squares[Square(queenside ? 1 : 8, y)];
    if ((rook & 15) != (Rook | (colour == pcBlack ? ColourBit : 0)) || !(rook & UnmovedBit))
        return false;
    if (queenside && m_Squares[Square(2, y)])
        return false;
    // The square passed over counts as held by the castling side.
    return !AttackedByPieces(Square(queenside ? 4 : 6, y), Opponent(colour));
}

int TFastBoard::GenerateMoves(TPieceColour colour, uint32_t* moves) const {
    int count = 0;
    const auto add = [&](int from, int to) {
        moves[count++] = uint32_t(Values[m_Squares[to] & KindMask] << 12)
            | uint32_t(OrderIndex(from) << 6) | uint32_t(OrderIndex(to));
    };
    // A destination that is empty or holds a piece of the other side.
    const auto open = [&](int to) { return !m_Squares[to] || ColourOf(m_Squares[to]) != colour; };
    const auto slide = [&](int from, const int* steps, int stepCount) {
        for (int i = 0; i < stepCount; ++i) {
            for (int to = from + steps[i]; OnBoard(to); to += steps[i]) {
                if (!m_Squares[to]) {
                    add(from, to);
                    continue;
                }
                if (ColourOf(m_Squares[to]) != colour)
                    add(from, to);
                break;
            }
        }
    };
    for (int from = 0; from < 128; ++from) {
        if (!OnBoard(from)) {
            from += 7;
            continue;
        }
        const uint8_t piece = m_Squares[from];
        if (!piece || ColourOf(piece) != colour)
            continue;
        switch (piece & KindMask) {
        case Pawn: {
            const int forward = Forward(colour);
            const int one = from + forward;
            if (OnBoard(one) && !m_Squares[one]) {
                add(from, one);
                const int two = one + forward;
                if (RankOf(from) == (colour == pcWhite ? 2 : 7) && !m_Squares[two])
                    add(from, two);
            }
            for (int side : { -1, 1 }) {
                const int to = one + side;
                if (!OnBoard(to))
                    continue;
                if (m_Squares[to]) {
                    if (ColourOf(m_Squares[to]) != colour)
                        add(from, to);
                } else if (m_EnPassant && m_LastY == RankOf(from) && m_LastX == FileOf(to)) {
                    add(from, to);
                }
            }
            break;
        }
        case Knight:
            for (int step : KnightSteps) {
                const int to = from + step;
                if (OnBoard(to) && open(to))
                    add(from, to);
            }
            break;
        case King: {
            for (int step : KingSteps) {
                const int to = from + step;
                if (OnBoard(to) && open(to))
                    add(from, to);
            }
            const int home = colour == pcWhite ? 1 : 8;
            if (from == Square(5, home)) {
                if (!m_Squares[Square(6, home)] && !m_Squares[Square(7, home)])
                    add(from, Square(7, home));
                if (!m_Squares[Square(4, home)] && !m_Squares[Square(3, home)])
                    add(from, Square(3, home));
            }
            break;
        }
        case Rook:
            slide(from, StraightSteps, 4);
            break;
        case Bishop:
            slide(from, DiagonalSteps, 4);
            break;
        case Queen:
            slide(from, StraightSteps, 4);
            slide(from, DiagonalSteps, 4);
            break;
        }
    }
    return count;
}

bool TFastBoard::IsLegal(uint32_t move, int inCheck) {
    const int from = MoveFrom(move);
    const int to = MoveTo(move);
    const uint8_t mover = m_Squares[from];
    const TPieceColour colour = ColourOf(mover);
    const int dx = FileOf(to) - FileOf(from);
    const int kind = mover & KindMask;
    if (kind == King && std::abs(dx) == 2 && !CanCastle(colour, dx < 0))
        return false;
    const bool enPassant = kind == Pawn && dx != 0 && !m_Squares[to];
    const int king = m_King[colour];
    if (inCheck == 0 && !enPassant && king != NoSquare && from != king && m_Squares[king]
        && ColourOf(m_Squares[king]) == colour) {
        // Lifting a piece that shares no line with the king cannot expose it, and the piece put
        // down only blocks or removes attackers.
        const int kx = FileOf(king) - FileOf(from);
        const int ky = RankOf(king) - RankOf(from);
        if (kx != 0 && ky != 0 && std::abs(kx) != std::abs(ky))
            return true;
    }
    // The trial of the board: the pawn taken en passant is lifted for it when it is the other
    // side's.
    int liftedSquare = NoSquare;
    uint8_t lifted = 0;
    if (enPassant) {
        const int last = Square(m_LastX, m_LastY);
        if (m_Squares[last] && ColourOf(m_Squares[last]) != colour) {
            liftedSquare = last;
            lifted = m_Squares[last];
            m_Squares[last] = 0;
        }
    }
    const uint8_t occupant = Make(from, to);
    const bool legal = !InCheck(colour);
    TakeBack(from, to, occupant);
    if (lifted)
        Put(liftedSquare, lifted);
    return legal;
}
