#include "ReplySearch.h"

#include "SearchValues.h"
#include "TranspositionTable.h"

#include <algorithm>

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
    const TPieceColour opponent = Opponent(colour);
    int inCheck = -1;
    int best = NoMoveValue;
    TTranspositionTable::TValue result { NoMoveValue, true };
    // Tries one move; answers true when the node is decided.
    const auto tryMove = [&](uint32_t move) {
        if (!IsLegal(move, colour, inCheck))
            return false;
        const int from = TFastBoard::MoveFrom(move);
        const int to = TFastBoard::MoveTo(move);
        const int value = TFastBoard::MoveValue(move);
        const int moveBound = value - best;
        const uint8_t occupant = m_Board.Make(from, to);
        const int score = value - Search(opponent, depth - 1, moveBound);
        m_Board.TakeBack(from, to, occupant);
        best = std::max(best, score);
        if (best < moveBound && best < bound)
            return false;
        result = { best, best >= moveBound };
        return true;
    };
    // The captures, biggest first, then the quiet moves.
    uint32_t moves[TFastBoard::MaxMoves];
    const int count = m_Board.GenerateCaptures(colour, moves);
    for (int i = 0; i < count; ++i) {
        if (tryMove(moves[i]))
            return result;
    }
    if (m_Board.VisitQuiets(colour, tryMove))
        return result;
    if (best == NoMoveValue)
        return { NoMoveResult(colour, depth, inCheck), true };
    return { best, true };
}

int TReplySearch::NoMoveResult(TPieceColour colour, int depth, int inCheck) const {
    const bool checked = inCheck < 0 ? m_Board.InCheck(colour) : inCheck != 0;
    return NoMoveNodeValue(checked, depth, m_Board.Material(colour));
}

// The check test is made once per node, and only when a move must be tried.
bool TReplySearch::IsLegal(uint32_t move, TPieceColour colour, int& inCheck) {
    if (inCheck < 0)
        inCheck = m_Board.InCheck(colour) ? 1 : 0;
    return m_Board.IsLegal(move, inCheck != 0);
}

// The last level: each move scores the value it takes, less the value of the piece when it can
// be taken back. Moves are tried biggest capture first and tested for legality only when their
// turn comes, since the bound usually makes the rest unnecessary.
int TReplySearch::LastLevel(TPieceColour colour, int bound) {
    int inCheck = -1;
    int best = NoMoveValue;
    // Tries one move; answers true when nothing after it can change the result: the bound is
    // reached, or the best reaches the value of the move, which no later move exceeds.
    const auto tryMove = [&](uint32_t move) {
        const int value = TFastBoard::MoveValue(move);
        if (best >= value)
            return true;
        if (!IsLegal(move, colour, inCheck))
            return false;
        const int from = TFastBoard::MoveFrom(move);
        const int to = TFastBoard::MoveTo(move);
        const uint8_t occupant = m_Board.Make(from, to);
        int score = value;
        if (m_Board.IsAttacked(to, colour))
            score -= TFastBoard::ValueOf(m_Board.At(to));
        m_Board.TakeBack(from, to, occupant);
        best = std::max(best, score);
        return best >= bound;
    };
    uint32_t moves[TFastBoard::MaxMoves];
    const int count = m_Board.GenerateCaptures(colour, moves);
    for (int i = 0; i < count; ++i) {
        if (tryMove(moves[i]))
            return best;
    }
    // The quiet moves, worth 0, cannot improve a best of 0 or more.
    if (best < 0)
        m_Board.VisitQuiets(colour, tryMove);
    if (best == NoMoveValue)
        return NoMoveResult(colour, 0, inCheck);
    return best;
}
