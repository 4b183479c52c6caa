// bench-draw-rules: the cost of the draw rules per move (the position key, the comparison with
// the earlier positions and the material count) over a long game of random legal moves.

#include "Commands.h"
#include "DrawRules.h"
#include "Perft.h"
#include "RandomGame.h"

#include <chrono>
#include <cstdio>

int CmdDrawRulesBench(const TArgs& args) {
    int plies = 20000;
    int seed = 1;
    ParseIntOptions(args, { { "--plies", &plies, 1, 1000000 }, { "--seed", &seed, 0, 1000000 } });

    // The game is played first, every position kept, so that the timing holds only the checks.
    struct TStep {
        TMoveSquares Move;
        bool Restart;
    };
    std::vector<TStep> steps;
    steps.reserve(size_t(plies));
    std::mt19937 random { uint32_t(seed) };
    {
        TChessBoard board;
        board.Reset();
        TPieceColour side = pcWhite;
        TDrawTracker tracker;
        TMoveList moves;
        tracker.Follow(board, side, moves);
        bool restart = false;
        while (int(steps.size()) < plies) {
            std::vector<TMoveSquares> legal = LegalMoves(board, side);
            // Quiet moves mostly, so that stretches without a capture or pawn move are long, as
            // in the endings where the rules matter.
            const TMoveSquares move = PickRandomMove(board, legal, random, mpQuiet);
            const TMoveResult flags = board.MovePiece(move.From, move.To, false);
            if (flags & mrPromotion)
                board.Promote(move.To, pkQueen);
            moves.Add(board.PieceAt(move.To)->Kind, move.From, move.To, 0, flags);
            side = Opponent(side);
            steps.push_back({ move, restart });
            restart = (flags & mrGameOver) || moves.Count() >= 60000
                || tracker.Follow(board, side, moves) != TDrawRule::None;
            if (restart) {
                board.Reset();
                side = pcWhite;
                moves.Clear();
                tracker.Clear();
                tracker.Follow(board, side, moves);
            }
        }
    }

    TChessBoard board;
    board.Reset();
    TPieceColour side = pcWhite;
    TDrawTracker tracker;
    TMoveList moves;
    tracker.Follow(board, side, moves);
    std::chrono::nanoseconds total {};
    int games = 1;
    int draws[4] = {};
    for (const TStep& step : steps) {
        if (step.Restart) {
            board.Reset();
            side = pcWhite;
            moves.Clear();
            tracker.Clear();
            tracker.Follow(board, side, moves);
            ++games;
        }
        const TMoveResult flags = board.MovePiece(step.Move.From, step.Move.To, false);
        if (flags & mrPromotion)
            board.Promote(step.Move.To, pkQueen);
        moves.Add(board.PieceAt(step.Move.To)->Kind, step.Move.From, step.Move.To, 0, flags);
        side = Opponent(side);
        const auto start = std::chrono::steady_clock::now();
        const TDrawRule rule = tracker.Follow(board, side, moves);
        total += std::chrono::steady_clock::now() - start;
        ++draws[int(rule)];
    }
    std::printf("draw rules: %d half-moves in %d games (%d repetitions, %d fifty-move draws, "
                "%d with too little material)\n",
        plies, games, draws[1], draws[2], draws[3]);
    std::printf("per move: %.1f ns\n", double(total.count()) / plies);
    return 0;
}
