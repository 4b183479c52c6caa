#include "FastBoard.h"

#include <algorithm>
#include <bit>
#include <cstdlib>

namespace {

constexpr uint8_t Pawn = pkPawn + 1;
constexpr uint8_t Rook = pkRook + 1;
constexpr uint8_t Knight = pkKnight + 1;
constexpr uint8_t Bishop = pkBishop + 1;
constexpr uint8_t Queen = pkQueen + 1;
constexpr uint8_t King = pkKing + 1;

constexpr int Values[8] = { 0, 10, 50, 35, 35, 90, 1000, 0 };

uint64_t Bit(int sq) {
    return uint64_t(1) << sq;
}

// The eight directions as (file, rank) steps; opposite directions are four apart.
constexpr int DirectionX[8] = { 0, 1, 1, 1, 0, -1, -1, -1 };
constexpr int DirectionY[8] = { 1, 0, 1, -1, -1, 0, -1, 1 };

struct TTables {
    uint64_t Knight[64] = {};
    uint64_t King[64] = {};
    // Squares a pawn of the colour standing on the square takes on.
    uint64_t PawnTakes[2][64] = {};
    uint64_t Ray[8][64] = {};
    // Every square on a file, rank or diagonal through the square.
    uint64_t Lines[64] = {};
    // The squares on the rank and the two diagonals through the square, the square left out.
    uint64_t RankLine[64] = {};
    uint64_t Diagonal[64] = {};
    uint64_t AntiDiagonal[64] = {};
    // Squares reached along a file from rank index r (0..7) with the file's pieces as a byte.
    uint8_t FileAttacks[8][256] = {};

    TTables() {
        for (int r = 0; r < 8; ++r) {
            for (int pieces = 0; pieces < 256; ++pieces) {
                for (int step : { 1, -1 }) {
                    for (int i = r + step; i >= 0 && i < 8; i += step) {
                        FileAttacks[r][pieces] |= uint8_t(1 << i);
                        if (pieces & (1 << i))
                            break;
                    }
                }
            }
        }
        const auto at = [](int x, int y) {
            return x >= 1 && x <= 8 && y >= 1 && y <= 8 ? Bit(TFastBoard::Square(x, y)) : 0;
        };
        for (int sq = 0; sq < 64; ++sq) {
            const int x = TFastBoard::FileOf(sq);
            const int y = TFastBoard::RankOf(sq);
            const int jumps[8][2] = { { 1, 2 }, { 2, 1 }, { 2, -1 }, { 1, -2 }, { -1, -2 },
                { -2, -1 }, { -2, 1 }, { -1, 2 } };
            for (const auto& j : jumps)
                Knight[sq] |= at(x + j[0], y + j[1]);
            for (int d = 0; d < 8; ++d) {
                King[sq] |= at(x + DirectionX[d], y + DirectionY[d]);
                for (int i = 1; i < 8; ++i)
                    Ray[d][sq] |= at(x + i * DirectionX[d], y + i * DirectionY[d]);
                Lines[sq] |= Ray[d][sq];
            }
            RankLine[sq] = Ray[1][sq] | Ray[5][sq];
            Diagonal[sq] = Ray[2][sq] | Ray[6][sq];
            AntiDiagonal[sq] = Ray[3][sq] | Ray[7][sq];
            PawnTakes[pcWhite][sq] = at(x - 1, y + 1) | at(x + 1, y + 1);
            PawnTakes[pcBlack][sq] = at(x - 1, y - 1) | at(x + 1, y - 1);
        }
    }
};

const TTables Tables;

// Reverses the order of the files; compilers turn this into one instruction.
uint64_t ByteSwap(uint64_t v) {
    v = ((v & 0x00FF00FF00FF00FFull) << 8) | ((v >> 8) & 0x00FF00FF00FF00FFull);
    v = ((v & 0x0000FFFF0000FFFFull) << 16) | ((v >> 16) & 0x0000FFFF0000FFFFull);
    return (v << 32) | (v >> 32);
}

// Sliding attacks along a line that holds at most one square per file (a rank or a diagonal):
// subtracting the slider's bit from the occupied squares of the line runs a borrow up to the
// first blocker, and doing the same on the byte-swapped board does it in the other direction.
uint64_t LineAttacks(int sq, uint64_t line, uint64_t occupied) {
    uint64_t forward = occupied & line;
    uint64_t reverse = ByteSwap(forward);
    forward -= Bit(sq);
    reverse -= ByteSwap(Bit(sq));
    return (forward ^ ByteSwap(reverse)) & line;
}

// Along a file the squares are the bits of one byte: a table by square and occupied byte.
uint64_t FileAttacks(int sq, uint64_t occupied) {
    const int shift = sq & ~7;
    return uint64_t(Tables.FileAttacks[sq & 7][(occupied >> shift) & 255]) << shift;
}

uint64_t StraightAttacks(int sq, uint64_t occupied) {
    return FileAttacks(sq, occupied) | LineAttacks(sq, Tables.RankLine[sq], occupied);
}

uint64_t DiagonalAttacks(int sq, uint64_t occupied) {
    return LineAttacks(sq, Tables.Diagonal[sq], occupied)
        | LineAttacks(sq, Tables.AntiDiagonal[sq], occupied);
}

int Forward(TPieceColour colour) {
    return colour == pcWhite ? 1 : -1;
}
int HomeRank(TPieceColour colour) {
    return colour == pcWhite ? 1 : 8;
}

} // namespace

int TFastBoard::ValueOf(uint8_t piece) {
    return Values[piece & KindMask];
}

int TFastBoard::Material(TPieceColour colour) const {
    int material = 0;
    for (int kind = 1; kind < 7; ++kind)
        material += Values[kind]
            * (std::popcount(m_Sets[colour][kind]) - std::popcount(m_Sets[Opponent(colour)][kind]));
    return material;
}

// The rules read LastMoveTo only while en passant is allowed, and only as a square of the board.
int TFastBoard::EnPassantContext() const {
    if (!m_EnPassant || m_LastX < 1 || m_LastX > 8 || m_LastY < 1 || m_LastY > 8)
        return 0;
    return 1 + Square(m_LastX, m_LastY);
}

TFastBoard::TFastBoard(const TChessBoard& board) {
    for (int x = 1; x <= 8; ++x) {
        for (int y = 1; y <= 8; ++y) {
            const TPiece* piece = board.PieceAt(x, y);
            if (!piece)
                continue;
            const int sq = Square(x, y);
            m_Squares[sq] = uint8_t(piece->Kind + 1) | (piece->Colour == pcBlack ? ColourBit : 0)
                | (piece->MoveCount == 0 ? UnmovedBit : 0);
            m_Sets[piece->Colour][0] |= Bit(sq);
            m_Sets[piece->Colour][piece->Kind + 1] |= Bit(sq);
            m_Key ^= PieceKey(sq, m_Squares[sq]);
        }
    }
    const auto cached = [](TPoint p) { return ::OnBoard(p) ? Square(p.X, p.Y) : NoSquare; };
    m_King[pcWhite] = cached(board.WhiteKing);
    m_King[pcBlack] = cached(board.BlackKing);
    m_EnPassant = board.EnPassant;
    m_LastX = board.LastMoveTo.X;
    m_LastY = board.LastMoveTo.Y;
}

bool TFastBoard::AttackedByOthers(int target, TPieceColour attacker) const {
    const uint64_t queens = Set(attacker, pkQueen);
    if ((Tables.Knight[target] & Set(attacker, pkKnight))
        || (Tables.King[target] & Set(attacker, pkKing)))
        return true;
    const uint64_t occupied = Occupied();
    const uint64_t straight = Set(attacker, pkRook) | queens;
    if ((Tables.Lines[target] & straight) && (StraightAttacks(target, occupied) & straight))
        return true;
    const uint64_t diagonal = Set(attacker, pkBishop) | queens;
    return (Tables.Lines[target] & diagonal) && (DiagonalAttacks(target, occupied) & diagonal);
}

bool TFastBoard::AttackedByPieces(int target, TPieceColour attacker) const {
    return (Tables.PawnTakes[Opponent(attacker)][target] & Set(attacker, pkPawn))
        || AttackedByOthers(target, attacker);
}

// An empty target: a pawn reaches the square one or two steps straight ahead of it and the
// diagonal squares only as an en passant capture, and a king on its home square reaches its
// castling squares when it could castle there.
bool TFastBoard::AttackedEmpty(int target, TPieceColour attacker) const {
    if (AttackedByOthers(target, attacker))
        return true;
    const uint64_t pawns = Set(attacker, pkPawn);
    const int x = FileOf(target);
    const int y = RankOf(target);
    const int behindY = y - Forward(attacker);
    if (behindY >= 1 && behindY <= 8) {
        const int behind = Square(x, behindY);
        if (pawns & Bit(behind))
            return true;
        const int twoBehindY = behindY - Forward(attacker);
        if (!m_Squares[behind] && twoBehindY == (attacker == pcWhite ? 2 : 7)
            && (pawns & Bit(Square(x, twoBehindY))))
            return true;
        if (m_EnPassant && m_LastX == x && m_LastY == behindY
            && (Tables.PawnTakes[Opponent(attacker)][target] & pawns))
            return true;
    }
    const int home = HomeRank(attacker);
    if (y == home && (x == 3 || x == 7)) {
        if ((Set(attacker, pkKing) & Bit(Square(5, home)))
            && !m_Squares[Square(x == 3 ? 4 : 6, home)] && CanCastle(attacker, x == 3))
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

// The board lifts the piece on the target for this test, so the target counts as empty: a pawn
// defends the square ahead of it, not the diagonal ones (unless en passant allows the step).
bool TFastBoard::IsDefended(int target, TPieceColour colour) {
    const uint8_t lifted = m_Squares[target];
    if (lifted)
        Lift(target);
    const bool defended = AttackedEmpty(target, colour);
    if (lifted)
        Put(target, lifted);
    return defended;
}

uint64_t TFastBoard::Destinations(int from, uint8_t piece, uint64_t own, uint64_t occupied) const {
    const TPieceColour colour = ColourOf(piece);
    switch (piece & KindMask) {
    case Pawn: {
        uint64_t destinations = 0;
        const int y = RankOf(from);
        const int ahead = y + Forward(colour);
        if (ahead < 1 || ahead > 8)
            return 0;
        const int one = from + Forward(colour);
        if (!(occupied & Bit(one))) {
            destinations |= Bit(one);
            const int two = one + Forward(colour);
            if (y == (colour == pcWhite ? 2 : 7) && !(occupied & Bit(two)))
                destinations |= Bit(two);
        }
        const uint64_t takes = Tables.PawnTakes[colour][from];
        destinations |= takes & occupied & ~own;
        if (m_EnPassant && m_LastY == y && m_LastX >= 1 && m_LastX <= 8)
            destinations |= takes & Bit(Square(m_LastX, ahead)) & ~occupied;
        return destinations;
    }
    case Knight:
        return Tables.Knight[from] & ~own;
    case King: {
        uint64_t destinations = Tables.King[from] & ~own;
        const int home = HomeRank(colour);
        if (from == Square(5, home)) {
            if (!(occupied & (Bit(Square(6, home)) | Bit(Square(7, home)))))
                destinations |= Bit(Square(7, home));
            if (!(occupied & (Bit(Square(4, home)) | Bit(Square(3, home)))))
                destinations |= Bit(Square(3, home));
        }
        return destinations;
    }
    case Rook:
        return StraightAttacks(from, occupied) & ~own;
    case Bishop:
        return DiagonalAttacks(from, occupied) & ~own;
    case Queen:
        return (StraightAttacks(from, occupied) | DiagonalAttacks(from, occupied)) & ~own;
    }
    return 0;
}

// Captures never involve castling or en passant (which takes nothing on its square), so each
// kind's attacks are taken straight from the tables.
int TFastBoard::GenerateCaptures(TPieceColour colour, uint32_t* moves) const {
    const uint64_t their = m_Sets[Opponent(colour)][0];
    const uint64_t occupied = m_Sets[colour][0] | their;
    int count = 0;
    const auto add = [&](int from, uint64_t targets) {
        for (; targets; targets &= targets - 1) {
            const int to = std::countr_zero(targets);
            const uint32_t move = uint32_t(Values[m_Squares[to] & KindMask] << 12)
                | uint32_t(from << 6) | uint32_t(to);
            int i = count++;
            for (; i > 0 && moves[i - 1] < move; --i)
                moves[i] = moves[i - 1];
            moves[i] = move;
        }
    };
    const auto each = [&](TPieceKind kind, auto&& attacks) {
        for (uint64_t origins = Set(colour, kind); origins; origins &= origins - 1) {
            const int from = std::countr_zero(origins);
            if (const uint64_t targets = attacks(from) & their)
                add(from, targets);
        }
    };
    each(pkPawn, [&](int from) { return Tables.PawnTakes[colour][from]; });
    each(pkKnight, [&](int from) { return Tables.Knight[from]; });
    each(pkBishop, [&](int from) { return DiagonalAttacks(from, occupied); });
    each(pkRook, [&](int from) { return StraightAttacks(from, occupied); });
    each(pkQueen, [&](int from) {
        return StraightAttacks(from, occupied) | DiagonalAttacks(from, occupied);
    });
    each(pkKing, [&](int from) { return Tables.King[from]; });
    return count;
}

int TFastBoard::GenerateQuiets(TPieceColour colour, uint32_t* moves) const {
    int count = 0;
    VisitQuiets(colour, [&](uint32_t move) {
        moves[count++] = move;
        return false;
    });
    return count;
}

bool TFastBoard::IsLegal(uint32_t move, bool inCheck) {
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
    // When the king is not attacked, moving another piece can only expose it to a sliding piece
    // on a line through the square left, and the piece put down only blocks or removes
    // attackers. A moving king, which moves the cached square, and en passant, which lifts a
    // second piece, are tried in full.
    if (!inCheck && !enPassant && kind != King && king != NoSquare && from != king
        && m_Squares[king] && ColourOf(m_Squares[king]) == colour) {
        if (!(Tables.Lines[king] & Bit(from)))
            return true;
        const TPieceColour opponent = Opponent(colour);
        const uint64_t occupied = (Occupied() & ~Bit(from)) | Bit(to);
        const uint64_t queens = Set(opponent, pkQueen);
        const uint64_t straight = (Set(opponent, pkRook) | queens) & ~Bit(to);
        const uint64_t diagonal = (Set(opponent, pkBishop) | queens) & ~Bit(to);
        return !(StraightAttacks(king, occupied) & straight)
            && !(DiagonalAttacks(king, occupied) & diagonal);
    }
    // The trial of the board: the pawn taken en passant is lifted for it when it is the other
    // side's.
    int liftedSquare = NoSquare;
    uint8_t lifted = 0;
    if (enPassant) {
        const int last = Square(m_LastX, m_LastY);
        if (m_Squares[last] && ColourOf(m_Squares[last]) != colour) {
            liftedSquare = last;
            lifted = Lift(last);
        }
    }
    const uint8_t occupant = Make(from, to);
    const bool legal = !InCheck(colour);
    TakeBack(from, to, occupant);
    if (lifted)
        Put(liftedSquare, lifted);
    return legal;
}

int TFastBoard::GenerateMoves(TPieceColour colour, uint32_t* moves) {
    int generated = GenerateCaptures(colour, moves);
    generated += GenerateQuiets(colour, moves + generated);
    const bool inCheck = InCheck(colour);
    int count = 0;
    for (int i = 0; i < generated; ++i) {
        if (IsLegal(moves[i], inCheck))
            moves[count++] = moves[i] & 4095;
    }
    std::sort(moves, moves + count);
    return count;
}
