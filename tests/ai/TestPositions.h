#pragma once

// Positions for comparing the search against the plain reference: published test positions and
// positions sampled from random games played with MovePiece and Promote under fixed seeds.

#include "UnitChessBoard.h"
#include "UnitMoveList.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct TTestPosition {
    std::unique_ptr<TChessBoard> Board;
    TPieceColour ToMove = pcWhite;
    std::string Origin;
    // A promoting pawn still stands on the last rank, waiting for Promote.
    bool PromotionPending = false;
};

extern const char* const PublishedFens[];
extern const int PublishedFenCount;

// The published positions followed by positions from random games, `count` in all; the same
// list for the same seed.
std::vector<TTestPosition> MakeTestPositions(int count, uint32_t seed = 20261207);

std::string Describe(const TTestPosition& position);

// A candidate list as text, one move a line with its score and kind, for comparing lists.
std::string CandidateText(const TMoveList& list);
