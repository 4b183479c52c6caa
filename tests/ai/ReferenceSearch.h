#pragma once

// The computer player's search written plainly on TChessBoard, move by move as designed, with
// no shortcuts. The product search must give exactly the same candidate lists.

#include "UnitChessBoard.h"
#include "UnitMoveList.h"

// Scores every legal move of `colour` at `depth` with the return penalty for moves onto
// `lastFrom`, then sorts the list with SortByScore. The board ends as it started.
void ReferenceCandidates(
    TChessBoard& board, TPieceColour colour, int depth, TPoint lastFrom, TMoveList& candidates);

// Number of Search calls made by the last ReferenceCandidates on this thread.
long long ReferenceNodeCount();
