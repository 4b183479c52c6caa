#include "ReplySearch.h"

#include "TranspositionTable.h"

#include <algorithm>

namespace {

constexpr int NoMoveScore = -5000;

} // namespace

int TReplySearch::Search(TPieceColour colour, int depth, int bound) {
    if ((++m_Stats.Nodes & 1023) == 0 && m_Cancel && m_Cancel->load(std::memory_order_relaxed))
        throw TSearchCancelled {};
    if (depth <= 0)
        return LastLevel(colour, bound);
    if (!m_Table || depth < TTranspositionTable::MinDepth)
        return Expand(colour, depth, bound).Value;
    const TTranspositionTable::TNode node = TTranspositionTable::Pack(m_Board, colour, depth);
    ++m_Stats.TableProbes;
    TTranspositionTable::TValue stored;
    if (m_Table->Probe(node, stored) && (stored.Exact || stored.Value >= bound)) {
        ++m_Stats.TableHits;
        return stored.Value;
    }
    const TTranspositionTable::TValue found = Expand(colour, depth, bound);
    m_Table->Store(node, found);
    return found.Value;
}

// Each move's reply gets the bound value - best, and the node stops once its best reaches that
// bound. This is the designed search; the bound received from the parent only adds an early
// return once the best reaches it, since from then on the parent's score for this move cannot
// exceed the parent's best, whatever the rest of the moves would give (see the header).
TTranspositionTable::TValue TReplySearch::Expand(TPieceColour colour, int depth, int bound) {
    uint32_t moves[TFastBoard::MaxMoves];
    int count = m_Board.GenerateCaptures(colour, moves);
    bool quietsAdded = false;
    int inCheck = -1;
    const TPieceColour opponent = Opponent(colour);
    int best = NoMoveScore;
    for (int i = 0;; ++i) {
        if (i == count) {
            if (quietsAdded)
                break;
            quietsAdded = true;
            count += m_Board.GenerateQuiets(colour, moves + count);
            if (i == count)
                break;
        }
        const uint32_t move = moves[i];
        if (inCheck < 0)
            inCheck = m_Board.InCheck(colour) ? 1 : 0;
        if (!m_Board.IsLegal(move, inCheck != 0))
            continue;
        const int from = TFastBoard::MoveFrom(move);
        const int to = TFastBoard::MoveTo(move);
        const int value = TFastBoard::MoveValue(move);
        const int moveBound = value - best;
        const uint8_t occupant = m_Board.Make(from, to);
        const int score = value - Search(opponent, depth - 1, moveBound);
        m_Board.TakeBack(from, to, occupant);
        best = std::max(best, score);
        if (best >= moveBound)
            return { best, true };
        if (best >= bound)
            return { best, false };
    }
    return { best, true };
}

// The last level: each move scores the value it takes, less the value of the piece when it can
// be taken back. Moves are tried biggest capture first and tested for legality only when their
// turn comes, since the bound usually makes the rest unnecessary.
int TReplySearch::LastLevel(TPieceColour colour, int bound) {
    uint32_t moves[TFastBoard::MaxMoves];
    int count = m_Board.GenerateCaptures(colour, moves);
    bool quietsAdded = false;
    int inCheck = -1;
    int best = NoMoveScore;
    for (int i = 0;; ++i) {
        if (i == count) {
            // The quiet moves, worth 0, follow the captures; they cannot improve a best of 0 or
            // more.
            if (quietsAdded || best >= 0)
                break;
            quietsAdded = true;
            count += m_Board.GenerateQuiets(colour, moves + count);
            if (i == count)
                break;
        }
        const uint32_t move = moves[i];
        const int value = TFastBoard::MoveValue(move);
        // A move scores at most the value it takes, and the moves come in descending value: once
        // the best reaches that value nothing can change it.
        if (best >= value)
            break;
        if (inCheck < 0)
            inCheck = m_Board.InCheck(colour) ? 1 : 0;
        if (!m_Board.IsLegal(move, inCheck != 0))
            continue;
        const int from = TFastBoard::MoveFrom(move);
        const int to = TFastBoard::MoveTo(move);
        const uint8_t occupant = m_Board.Make(from, to);
        int score = value;
        if (m_Board.IsAttacked(to, colour))
            score -= TFastBoard::ValueOf(m_Board.At(to));
        m_Board.TakeBack(from, to, occupant);
        best = std::max(best, score);
        if (best >= bound)
            break;
    }
    return best;
}
