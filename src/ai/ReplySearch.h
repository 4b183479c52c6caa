#pragma once

// The reply search on the compact board: the best net gain of a side to move, as the plain
// algorithm finds it, with nodes above the last level answered from a transposition table when
// one is given.

#include "FastBoard.h"
#include "TranspositionTable.h"

#include <atomic>

// Thrown out of a search that was asked to stop.
struct TSearchCancelled { };

// Counts of one search; threads add theirs when they finish.
struct TSearchStats {
    long long Nodes = 0;
    long long TableProbes = 0;
    long long TableHits = 0;

    TSearchStats& operator+=(const TSearchStats& other) {
        Nodes += other.Nodes;
        TableProbes += other.TableProbes;
        TableHits += other.TableHits;
        return *this;
    }
};

class TReplySearch {
public:
    // `cancel` and `table` may be null.
    TReplySearch(TFastBoard& board, const std::atomic<bool>* cancel, TTranspositionTable* table)
        : m_Board(board)
        , m_Cancel(cancel)
        , m_Table(table) { }

    const TSearchStats& Stats() const { return m_Stats; }

    // The best net gain of `colour` from here, as the designed search defines it (a node with no
    // legal move ends the line with the value SearchValues.h gives it): at depth 0 the
    // node stops once its best reaches `bound`; above that each move passes its reply the bound
    // value - best and the node stops once its best reaches that.
    //
    // Above depth 0 the result is exact when it is below `bound`, and otherwise a value at least
    // `bound` and at most the exact one. A parent passes value - best, so a reply of at least
    // that gives the move a score of at most the parent's best: the parent's best and its
    // stopping test come out the same as with the exact reply. Pass NoBound for the exact value.
    // Throws TSearchCancelled.
    int Search(TPieceColour colour, int depth, int bound);

    static constexpr int NoBound = 1 << 30;

private:
    TTranspositionTable::TValue Expand(TPieceColour colour, int depth, int bound);
    int LastLevel(TPieceColour colour, int bound);
    // The value of a node where `colour` has no legal move: a mate or a stalemate.
    int NoMoveResult(TPieceColour colour, int depth, int inCheck) const;
    // `inCheck` is -1 until the node has tested whether `colour` is in check.
    bool IsLegal(uint32_t move, TPieceColour colour, int& inCheck);

    TFastBoard& m_Board;
    const std::atomic<bool>* m_Cancel;
    TTranspositionTable* m_Table;
    TSearchStats m_Stats;
};
