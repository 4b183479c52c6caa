// The search's compact board against TChessBoard: attacks, check, castling and legal moves must
// agree everywhere, also in the odd states the search walks into (a king taken and its square in
// the king cache held by the taker, a king that stepped off and back, pawns left on the last
// rank, a pawn left standing after an en passant capture).

#include "FastBoard.h"
#include "Fen.h"
#include "Perft.h"
#include "TestPositions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <sstream>

namespace {

#ifdef WINTERMOOT_SANITIZE_BUILD
constexpr int PositionCount = 150;
#else
constexpr int PositionCount = 600;
#endif

std::vector<TMoveSquares> FastLegalMoves(TFastBoard& fast, TPieceColour colour) {
    uint32_t moves[TFastBoard::MaxMoves];
    const int count = fast.GenerateMoves(colour, moves);
    std::vector<TMoveSquares> result;
    for (int i = 0; i < count; ++i) {
        const int from = TFastBoard::MoveFrom(moves[i]);
        const int to = TFastBoard::MoveTo(moves[i]);
        result.push_back({ MakePoint(TFastBoard::FileOf(from), TFastBoard::RankOf(from)),
            MakePoint(TFastBoard::FileOf(to), TFastBoard::RankOf(to)) });
    }
    return result;
}

std::string MovesText(const std::vector<TMoveSquares>& moves) {
    std::string text;
    for (const TMoveSquares& m : moves)
        text += SquareName(m.From) + SquareName(m.To) + ' ';
    return text;
}

// A step of the walk: mostly a legal move, preferring en passant and the biggest capture, and
// sometimes any piece of the colour put on any square not held by its own side, so that the
// primitives are compared on states the rules alone would not reach.
TMoveSquares PickStep(TChessBoard& board, TPieceColour colour, std::mt19937& rng) {
    std::vector<TMoveSquares> moves = LegalMoves(board, colour);
    if (moves.empty() || rng() % 4 == 0) {
        std::vector<TPoint> own;
        std::vector<TPoint> open;
        for (int x = 1; x <= 8; ++x) {
            for (int y = 1; y <= 8; ++y) {
                const TPiece* piece = board.PieceAt(x, y);
                (piece && piece->Colour == colour ? own : open).push_back(MakePoint(x, y));
            }
        }
        if (own.empty() || open.empty())
            return {};
        return { own[rng() % own.size()], open[rng() % open.size()] };
    }
    TMoveSquares move = moves[rng() % moves.size()];
    if (rng() % 2 == 0)
        return move;
    int bestValue = -1;
    for (const TMoveSquares& m : moves) {
        const TPiece* taken = board.PieceAt(m.To);
        const TPiece* mover = board.PieceAt(m.From);
        int value = taken ? 1 + taken->Kind : 0;
        if (!taken && mover->Kind == pkPawn && m.From.X != m.To.X)
            value = 10;
        if (taken && taken->Kind == pkKing)
            value = 20;
        if (value > bestValue) {
            bestValue = value;
            move = m;
        }
    }
    return move;
}

// Compares every rule answer of the two boards; `where` names the state in failure messages.
void ExpectSameRules(TChessBoard& board, TFastBoard& fast, const std::string& where) {
    for (TPieceColour colour : { pcWhite, pcBlack }) {
        ASSERT_EQ(fast.InCheck(colour), board.InCheck(colour)) << where;
        ASSERT_EQ(fast.CanCastle(colour, true), board.CanCastle(colour, true)) << where;
        ASSERT_EQ(fast.CanCastle(colour, false), board.CanCastle(colour, false)) << where;
        for (int x = 1; x <= 8; ++x) {
            for (int y = 1; y <= 8; ++y) {
                ASSERT_EQ(fast.IsAttacked(TFastBoard::Square(x, y), colour),
                    board.IsAttacked(x, y, colour))
                    << SquareName(MakePoint(x, y)) << " colour " << int(colour) << ", " << where;
                ASSERT_EQ(fast.IsDefended(TFastBoard::Square(x, y), colour),
                    board.IsDefended(x, y, colour))
                    << "defended " << SquareName(MakePoint(x, y)) << " colour " << int(colour)
                    << ", " << where;
            }
        }
        const std::vector<TMoveSquares> legal = LegalMoves(board, colour);
        ASSERT_EQ(MovesText(FastLegalMoves(fast, colour)), MovesText(legal))
            << "colour " << int(colour) << ", " << where;
    }
}

TEST(FastBoard, AgreesWithTheBoardOnTestPositions) {
    for (const TTestPosition& position : MakeTestPositions(PositionCount, 11)) {
        TFastBoard fast(*position.Board);
        ExpectSameRules(*position.Board, fast, Describe(position));
        if (HasFatalFailure())
            return;
    }
}

// Walks down the tree as the search does, preferring the biggest captures so that kings get
// taken, and compares the boards after every step and every take-back.
TEST(FastBoard, AgreesWithTheBoardInsideTheSearch) {
    std::mt19937 rng(7);
    int kingsTaken = 0;
    for (const TTestPosition& position : MakeTestPositions(PositionCount, 11)) {
        TChessBoard& board = *position.Board;
        TFastBoard fast(board);
        struct TStep {
            TMoveSquares Move;
            std::unique_ptr<TPiece> Occupant;
            uint8_t FastOccupant;
        };
        std::vector<TStep> steps;
        TPieceColour colour = position.ToMove;
        std::string where = Describe(position);
        for (int ply = 0; ply < 8; ++ply) {
            const TMoveSquares move = PickStep(board, colour, rng);
            if (!OnBoard(move.From))
                break;
            const TPiece* taken = board.PieceAt(move.To);
            kingsTaken += taken && taken->Kind == pkKing;
            TStep step { move, board.TakePiece(move.To.X, move.To.Y), 0 };
            board.PutPiece(move.To.X, move.To.Y, board.TakePiece(move.From.X, move.From.Y));
            step.FastOccupant = fast.Make(TFastBoard::Square(move.From.X, move.From.Y),
                TFastBoard::Square(move.To.X, move.To.Y));
            steps.push_back(std::move(step));
            where += ' ';
            where += MovesText({ move });
            ExpectSameRules(board, fast, where);
            if (HasFatalFailure())
                return;
            colour = Opponent(colour);
        }
        while (!steps.empty()) {
            TStep& step = steps.back();
            board.PutPiece(step.Move.From.X, step.Move.From.Y,
                board.TakePiece(step.Move.To.X, step.Move.To.Y));
            board.PutPiece(step.Move.To.X, step.Move.To.Y, std::move(step.Occupant));
            fast.TakeBack(TFastBoard::Square(step.Move.From.X, step.Move.From.Y),
                TFastBoard::Square(step.Move.To.X, step.Move.To.Y), step.FastOccupant);
            steps.pop_back();
            where += " back";
            ExpectSameRules(board, fast, where);
            if (HasFatalFailure())
                return;
        }
    }
    EXPECT_GE(kingsTaken, PositionCount / 40);
}

struct TQuirkRow {
    const char* Name;
    const char* Fen;
    // Lift-and-put steps in the search's way, e.g. "a1e1 e1a5".
    const char* Steps;
    friend void PrintTo(const TQuirkRow& row, std::ostream* os) { *os << row.Name; }
};

class FastBoardQuirks : public testing::TestWithParam<TQuirkRow> { };

// Each row walks into one odd state of the search and compares every rule answer after each step.
TEST_P(FastBoardQuirks, AgreeWithTheBoard) {
    const TQuirkRow row = GetParam();
    TChessBoard board;
    LoadFen(board, row.Fen);
    TFastBoard fast(board);
    ExpectSameRules(board, fast, row.Fen);
    std::istringstream steps(row.Steps);
    std::string step;
    std::string where = row.Fen;
    while (steps >> step) {
        const TPoint from = MakePoint(step[0] - 'a' + 1, step[1] - '0');
        const TPoint to = MakePoint(step[2] - 'a' + 1, step[3] - '0');
        board.PutPiece(to.X, to.Y, board.TakePiece(from.X, from.Y));
        fast.Make(TFastBoard::Square(from.X, from.Y), TFastBoard::Square(to.X, to.Y));
        where += ' ' + step;
        ExpectSameRules(board, fast, where);
        if (HasFatalFailure())
            return;
    }
}

INSTANTIATE_TEST_SUITE_P(States, FastBoardQuirks,
    testing::Values(TQuirkRow { "OwnPieceOnTheCachedSquareOfATakenKing",
                        "4k3/8/8/8/8/8/4p3/r3K2R w - - 0 1", "a1e1 e1a5 h1e1" },
        TQuirkRow { "KingTakenAfterAnEnPassantCaptureLeftThePawn",
            "4k3/8/8/3pP3/4K3/8/8/8 w - d6 0 2", "e5d6 d5e4" },
        TQuirkRow { "KingThatSteppedBackCanCastleAgain", "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1",
            "e1g1 e8c8 g1f1 c8d8 f1e1 d8e8" },
        TQuirkRow { "PawnOnTheLastRankStaysAPawn", "8/4P3/8/8/8/8/8/k6K w - - 0 1", "e7e8" },
        TQuirkRow { "EnPassantStepForTheOtherColourToo", "4k3/8/8/2ppP3/8/8/8/4K3 w - d6 0 2", "" },
        TQuirkRow { "TrialLiftsAnyPieceOnTheLastSquare", "4k3/8/8/3pP3/8/2n5/8/4K3 w - d6 0 2",
            "d5d4 c3d5" },
        TQuirkRow { "KingCapturesKing", "8/8/8/8/8/3k4/8/4K3 b - - 0 1", "d3d2 d2e1" }),
    [](const testing::TestParamInfo<TQuirkRow>& info) { return std::string(info.param.Name); });

} // namespace
