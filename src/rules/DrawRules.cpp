#include "DrawRules.h"

#include <algorithm>
#include <array>

namespace {

// Fixed pseudo-random numbers (splitmix64), the same in every run, so keys can be compared
// across boards and programs.
constexpr uint64_t SplitMix(uint64_t& state) {
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

struct TKeyTable {
    // Kind, colour, square (x - 1) * 8 + (y - 1).
    std::array<std::array<std::array<uint64_t, 64>, 2>, 6> Pieces {};
    uint64_t BlackToMove = 0;
    // White kingside, white queenside, black kingside, black queenside.
    std::array<uint64_t, 4> Castling {};
    std::array<uint64_t, 8> EnPassantFile {};
};

constexpr TKeyTable MakeKeyTable() {
    TKeyTable table;
    uint64_t state = 0x57494E544D4F4F54ull;
    for (auto& colours : table.Pieces)
        for (auto& squares : colours)
            for (uint64_t& key : squares)
                key = SplitMix(state);
    table.BlackToMove = SplitMix(state);
    for (uint64_t& key : table.Castling)
        key = SplitMix(state);
    for (uint64_t& key : table.EnPassantFile)
        key = SplitMix(state);
    return table;
}

constexpr TKeyTable Keys = MakeKeyTable();

// The castling right as such (king and rook unmoved on their squares), whether or not castling
// is possible this move.
bool HasCastlingRight(const TChessBoard& board, TPieceColour colour, bool queenside) {
    const TPoint king = board.KingSquare(colour);
    if (!OnBoard(king))
        return false;
    const TPiece* kingPiece = board.PieceAt(king);
    if (!kingPiece || kingPiece->Kind != pkKing || kingPiece->MoveCount != 0)
        return false;
    const TPiece* rook = board.PieceAt(queenside ? 1 : 8, king.Y);
    return rook && rook->Kind == pkRook && rook->Colour == colour && rook->MoveCount == 0;
}

// The file of a legal en passant capture for `toMove`, 0 for none.
int EnPassantFile(TChessBoard& board, TPieceColour toMove) {
    if (!board.EnPassant || !OnBoard(board.LastMoveTo))
        return 0;
    const TPoint pawn = board.LastMoveTo;
    const TPiece* target = board.PieceAt(pawn);
    if (!target || target->Kind != pkPawn || target->Colour == toMove)
        return 0;
    const TPoint behind = MakePoint(pawn.X, pawn.Y + (toMove == pcWhite ? 1 : -1));
    if (!OnBoard(behind))
        return 0;
    for (const int dx : { -1, 1 }) {
        const TPoint from = MakePoint(pawn.X + dx, pawn.Y);
        if (!OnBoard(from))
            continue;
        const TPiece* taker = board.PieceAt(from);
        if (taker && taker->Kind == pkPawn && taker->Colour == toMove
            && board.IsLegalMove(from, behind))
            return pawn.X;
    }
    return 0;
}

// The position of the game after its moves, as Follow needs it.
TDrawRule RuleOf(const TChessBoard& board, const TDrawTracker& tracker) {
    if (InsufficientMaterial(board))
        return TDrawRule::InsufficientMaterial;
    if (tracker.Occurrences() >= 3)
        return TDrawRule::Repetition;
    if (tracker.Clock() >= FiftyMoveLimit)
        return TDrawRule::FiftyMoves;
    return TDrawRule::None;
}

} // namespace

uint64_t PositionKey(TChessBoard& board, TPieceColour toMove) {
    uint64_t key = toMove == pcBlack ? Keys.BlackToMove : 0;
    for (int square = 0; square < 64; ++square) {
        if (const TPiece* piece = board.PieceAtIndex(square))
            key ^= Keys.Pieces[piece->Kind % 6][piece->Colour & 1][square];
    }
    int right = 0;
    for (const TPieceColour colour : { pcWhite, pcBlack }) {
        for (const bool queenside : { false, true }) {
            if (HasCastlingRight(board, colour, queenside))
                key ^= Keys.Castling[right];
            ++right;
        }
    }
    if (const int file = EnPassantFile(board, toMove))
        key ^= Keys.EnPassantFile[file - 1];
    return key;
}

bool InsufficientMaterial(const TChessBoard& board) {
    int knights = 0;
    int bishops = 0;
    // Bit 0: a bishop on a dark square, bit 1: on a light one.
    int bishopSquares = 0;
    for (int square = 0; square < 64; ++square) {
        const TPiece* piece = board.PieceAtIndex(square);
        if (!piece)
            continue;
        switch (piece->Kind) {
        case pkKing:
            break;
        case pkKnight:
            ++knights;
            break;
        case pkBishop:
            ++bishops;
            // a1 (index 0) is dark; a square's colour changes with each step along a file or a
            // rank.
            bishopSquares |= (square / 8 + square % 8) % 2 == 0 ? 1 : 2;
            break;
        default:
            return false;
        }
    }
    if (knights == 0)
        return bishopSquares != 3;
    return knights == 1 && bishops == 0;
}

bool IsIrreversible(const TMoveRecord& move) {
    return move.Kind == pkPawn || (move.Flags & (mrCapture | mrPromotion));
}

void TDrawTracker::Clear() {
    m_Base = 0;
    m_Plies.clear();
}

void TDrawTracker::Truncate(int moves) {
    const int keep = moves - m_Base + 1;
    if (keep <= 0)
        Clear();
    else if (keep < int(m_Plies.size()))
        m_Plies.resize(size_t(keep));
}

int TDrawTracker::Occurrences() const {
    if (m_Plies.empty())
        return 0;
    const int last = int(m_Plies.size()) - 1;
    const uint64_t key = m_Plies[size_t(last)].Key;
    // Only positions since the last capture or pawn move, with the same side to move, can match.
    const int earliest = std::max(0, last - m_Plies[size_t(last)].Clock);
    int count = 1;
    for (int i = last - 2; i >= earliest; i -= 2) {
        if (m_Plies[size_t(i)].Key == key)
            ++count;
    }
    return count;
}

TDrawRule TDrawTracker::Follow(TChessBoard& board, TPieceColour toMove, const TMoveList& moves) {
    const int count = moves.Count();
    if (!m_Plies.empty() && Ply() > count)
        Truncate(count);
    const uint64_t key = PositionKey(board, toMove);
    if (!m_Plies.empty() && Ply() == count - 1) {
        if (IsIrreversible(*moves.Last())) {
            // No earlier position can come back.
            m_Base = count;
            m_Plies.assign(1, { key, 0 });
        } else {
            m_Plies.push_back({ key, m_Plies.back().Clock + 1 });
        }
    } else if (m_Plies.empty() || Ply() != count || m_Plies.back().Key != key) {
        Rebuild(board, toMove, moves);
    }
    return RuleOf(board, *this);
}

void TDrawTracker::Rebuild(TChessBoard& board, TPieceColour toMove, const TMoveList& moves) {
    Clear();
    // Keys from the last position back to the one after the last capture or pawn move.
    std::vector<uint64_t> keys { PositionKey(board, toMove) };
    TChessBoard scratch;
    scratch.Assign(board);
    TPieceColour side = toMove;
    int index = int(moves.Count()) - 1;
    for (; index >= 0; --index) {
        const TMoveRecord* move = moves.Item(uint16_t(index));
        if (IsIrreversible(*move))
            break;
        const TMoveRecord* previous = index > 0 ? moves.Item(uint16_t(index - 1)) : nullptr;
        if (scratch.UndoMove(move->From, move->To, move->Flags, previous) & mrInvalid)
            break;
        side = Opponent(side);
        keys.push_back(PositionKey(scratch, side));
    }
    m_Base = int(moves.Count()) - int(keys.size()) + 1;
    m_Plies.reserve(keys.size());
    for (auto key = keys.rbegin(); key != keys.rend(); ++key)
        m_Plies.push_back({ *key, int(m_Plies.size()) });
}

TDrawRule FindDraw(const TChessBoard& start, TPieceColour toMove, const TMoveList& moves) {
    TChessBoard board;
    board.Assign(start);
    TDrawTracker tracker;
    TMoveList played;
    TPieceColour side = toMove;
    tracker.Follow(board, side, played);
    TDrawRule rule = TDrawRule::None;
    for (const TMoveRecord* move = moves.First(); move; move = move->Next) {
        const TMoveResult flags = board.MovePiece(move->From, move->To, true);
        if (flags & mrInvalid)
            return TDrawRule::None;
        if ((flags & mrPromotion) && move->PromotionKind >= pkRook
            && move->PromotionKind <= pkQueen)
            board.Promote(move->To, move->PromotionKind);
        played.Add(board.PieceAt(move->To)->Kind, move->From, move->To, 0, flags);
        side = Opponent(side);
        rule = tracker.Follow(board, side, played);
    }
    return rule;
}
