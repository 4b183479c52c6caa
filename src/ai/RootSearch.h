#pragma once

// Scoring of the root moves: the reply search of each candidate plus the positional score of the
// move, shared out over worker threads.

#include "FastBoard.h"
#include "ReplySearch.h"
#include "UnitMoveList.h"

#include <atomic>

class TTranspositionTable;

struct TRootSearchSettings {
    const std::atomic<bool>* Cancel = nullptr;
    std::atomic<int>* ProgressDone = nullptr;
    std::atomic<int>* ProgressTotal = nullptr;
    // Threads to use, the calling one included; at most one per candidate.
    int Threads = 1;
    TTranspositionTable* Table = nullptr;
};

// Fills `candidates` with every legal move of `colour` and its score, sorted best first (equal
// scores in reverse generation order). Returns false when cancelled; the list is then incomplete.
// `stats` receives the counts of every thread.
bool ScoreRootMoves(const TFastBoard& position, TPieceColour colour, int depth, TPoint lastFrom,
    TMoveList& candidates, const TRootSearchSettings& settings, TSearchStats& stats);
