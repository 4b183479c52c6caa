// The computer player's search against the plain reference search on many positions: every
// candidate list must be the same, move by move and score by score.

#include "Fen.h"
#include "Perft.h"
#include "ReferenceSearch.h"
#include "TestPositions.h"
#include "UnitChessAI.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>

namespace {

#ifdef WINTERMOOT_SANITIZE_BUILD
// The sanitizer build runs the plain search far slower; it checks a tenth of the positions.
constexpr int PositionCount = 240;
constexpr int DeepEvery = 8;
#else
constexpr int PositionCount = 2400;
constexpr int DeepEvery = 20;
#endif
constexpr int Chunks = 8;

const std::vector<TTestPosition>& Positions() {
    static const std::vector<TTestPosition> positions = MakeTestPositions(PositionCount);
    return positions;
}

std::string BoardText(const TChessBoard& board) {
    std::ostringstream out;
    board.SaveToStream(out);
    return out.str();
}

// Half the searches follow a previous move whose origin is the destination of one of the moves,
// so that the return penalty is in play.
TPoint LastFromFor(TChessBoard& board, TPieceColour colour, int index) {
    if (index % 2 == 0)
        return {};
    const std::vector<TMoveSquares> moves = LegalMoves(board, colour);
    if (moves.empty())
        return MakePoint(1 + index % 8, 1 + (index / 8) % 8);
    return moves[(index / 2) % moves.size()].To;
}

void ExpectSameCandidates(const TTestPosition& position, int depth, TPoint lastFrom) {
    TChessBoard& board = *position.Board;
    const std::string before = BoardText(board);
    TMoveList expected;
    ReferenceCandidates(board, position.ToMove, depth, lastFrom, expected);
    TMoveList actual;
    ASSERT_TRUE(ScoreCandidates(board, position.ToMove, depth, lastFrom, actual));
    ASSERT_EQ(CandidateText(actual), CandidateText(expected))
        << "depth " << depth << ", last from " << SquareName(lastFrom) << ", "
        << Describe(position);
    ASSERT_EQ(BoardText(board), before) << "the search changed the board: " << Describe(position);
}

class SearchMatchesReference : public testing::TestWithParam<int> { };

TEST_P(SearchMatchesReference, AtDepthsZeroToTwo) {
    const auto& positions = Positions();
    for (size_t i = GetParam(); i < positions.size(); i += Chunks) {
        const TPoint lastFrom = LastFromFor(*positions[i].Board, positions[i].ToMove, int(i));
        for (int depth = 0; depth <= 2; ++depth)
            ExpectSameCandidates(positions[i], depth, lastFrom);
        if (HasFatalFailure())
            return;
    }
}

TEST_P(SearchMatchesReference, AtDepthThree) {
    const auto& positions = Positions();
    for (size_t i = GetParam() * DeepEvery; i < positions.size(); i += Chunks * DeepEvery) {
        const TPoint lastFrom
            = LastFromFor(*positions[i].Board, positions[i].ToMove, int(i / DeepEvery));
        ExpectSameCandidates(positions[i], 3, lastFrom);
        if (HasFatalFailure())
            return;
    }
}

INSTANTIATE_TEST_SUITE_P(Chunk, SearchMatchesReference, testing::Range(0, Chunks),
    [](const auto& info) { return "Part" + std::to_string(info.param); });

// The sample must hold the situations in which the search's quirks show.
TEST(SearchTestPositions, CoverTheSpecialSituations) {
    int enPassant = 0, check = 0, mate = 0, stalemate = 0, castling = 0, pawnOnSeventh = 0,
        pending = 0, black = 0;
    for (const TTestPosition& p : Positions()) {
        TChessBoard& board = *p.Board;
        enPassant += board.EnPassant;
        const bool inCheck = board.InCheck(p.ToMove);
        const bool noMove = board.HasNoLegalMove(p.ToMove);
        check += inCheck;
        mate += inCheck && noMove;
        stalemate += !inCheck && noMove;
        castling += board.CanCastle(p.ToMove, false) || board.CanCastle(p.ToMove, true);
        pending += p.PromotionPending;
        black += p.ToMove == pcBlack;
        for (int x = 1; x <= 8; ++x) {
            const TPiece* piece = board.PieceAt(x, p.ToMove == pcWhite ? 7 : 2);
            if (piece && piece->Kind == pkPawn && piece->Colour == p.ToMove) {
                ++pawnOnSeventh;
                break;
            }
        }
    }
    const int n = int(Positions().size());
    RecordProperty("Coverage",
        "positions " + std::to_string(n) + ", en passant " + std::to_string(enPassant) + ", check "
            + std::to_string(check) + ", mate " + std::to_string(mate) + ", stalemate "
            + std::to_string(stalemate) + ", castling " + std::to_string(castling)
            + ", pawn on the seventh " + std::to_string(pawnOnSeventh) + ", promotion pending "
            + std::to_string(pending) + ", black to move " + std::to_string(black));
    EXPECT_GE(n, PositionCount);
    EXPECT_GE(enPassant, n / 50);
    EXPECT_GE(check, n / 20);
    EXPECT_GE(mate, 3);
    EXPECT_GE(stalemate, 2);
    EXPECT_GE(castling, n / 50);
    EXPECT_GE(pawnOnSeventh, n / 40);
    EXPECT_GE(pending, 2);
    EXPECT_GE(black, n / 3);
}

} // namespace
