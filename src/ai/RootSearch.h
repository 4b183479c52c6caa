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

// What a root move onto the square the previous move came from loses.
constexpr int ReturnPenalty = 20;

// The positional score of a root move for `colour`, with the move from `from` to `to` made on
// the board: what ScoreRootMoves adds to the move's net gain.
int EvaluateRootMove(TFastBoard& board, TPieceColour colour, int from, int to);

// The position's own terms from `colour`'s view, each as the root moves count it, the side's less
// the other side's: mobility, king shelter, and pieces defended less pieces attacked (own pieces
// count up, the other side's down). 0 in a position that is its own mirror image, such as the
// start.
int PositionalBalance(TFastBoard& board, TPieceColour colour);

// Fills `candidates` with every legal move of `colour` and its score, sorted best first (equal
// scores in reverse generation order). Returns false when cancelled; the list is then incomplete.
// `stats` receives the counts of every thread.
bool ScoreRootMoves(const TFastBoard& position, TPieceColour colour, int depth, TPoint lastFrom,
    TMoveList& candidates, const TRootSearchSettings& settings, TSearchStats& stats);
