#include "RootSearch.h"

#include "SearchPool.h"
#include "SearchValues.h"

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <mutex>

namespace {

// Own pieces on the rank in front of a king that has left the centre of its home rank.
int KingShelter(const TFastBoard& board, TPieceColour colour) {
    int shelter = 0;
    const int king = board.KingSquare(colour);
    const int homeRank = colour == pcWhite ? 1 : 8;
    const int pawnRank = colour == pcWhite ? 2 : 7;
    if (king != TFastBoard::NoSquare && TFastBoard::RankOf(king) == homeRank
        && TFastBoard::FileOf(king) != 5) {
        const int kingX = TFastBoard::FileOf(king);
        for (int x = std::max(1, kingX - 1); x <= std::min(8, kingX + 1); ++x) {
            const uint8_t piece = board.At(TFastBoard::Square(x, pawnRank));
            if (piece && TFastBoard::ColourOf(piece) == colour)
                ++shelter;
        }
    }
    return shelter;
}

// One root move scored on `board`: its capture, less the best reply, plus its positional score,
// less the penalty for going back to the square the previous move came from.
int ScoreMove(TFastBoard& board, TReplySearch& search, TPieceColour colour, int depth, int lastFrom,
    uint32_t move, int best) {
    const int from = TFastBoard::MoveFrom(move);
    const int to = TFastBoard::MoveTo(move);
    const int value = TFastBoard::ValueOf(board.At(to));
    const uint8_t occupant = board.Make(from, to);
    // Above depth 0 every candidate needs its exact reply; at depth 0 the reply stops at the
    // bound made from the best score so far, as designed.
    const int bound = depth > 0 ? TReplySearch::NoBound : value - best;
    int score = value - search.Search(Opponent(colour), depth, bound);
    score += EvaluateRootMove(board, colour, from, to);
    board.TakeBack(from, to, occupant);
    if (to == lastFrom)
        score -= ReturnPenalty;
    return score;
}

// Scores the moves one after the other. At depth 0 a reply stops at the bound made from the best
// score so far, so the order matters there.
bool ScoreInOrder(TFastBoard& board, TPieceColour colour, int depth, int lastFrom,
    const uint32_t* moves, int count, int* scores, const TRootSearchSettings& settings,
    TSearchStats& stats) {
    TReplySearch search(board, settings.Cancel, settings.Table);
    int best = NoMoveValue;
    bool complete = true;
    try {
        for (int i = 0; i < count; ++i) {
            scores[i] = ScoreMove(board, search, colour, depth, lastFrom, moves[i], best);
            best = std::max(best, scores[i]);
            if (settings.ProgressDone)
                settings.ProgressDone->store(i + 1);
        }
    } catch (const TSearchCancelled&) {
        complete = false;
    }
    stats += search.Stats();
    return complete;
}

// Above depth 0 every candidate's reply is searched without a bound, so the candidates are
// independent: threads take the next unscored move until none is left, each on its own board.
bool ScoreInParallel(const TFastBoard& position, TPieceColour colour, int depth, int lastFrom,
    const uint32_t* moves, int count, int* scores, const TRootSearchSettings& settings,
    TSearchStats& stats) {
    std::atomic<int> next { 0 };
    std::atomic<bool> cancelled { false };
    std::mutex statsMutex;
    const std::function<void()> work = [&] {
        TFastBoard board(position);
        TReplySearch search(board, settings.Cancel, settings.Table);
        try {
            for (int i = next.fetch_add(1); i < count; i = next.fetch_add(1)) {
                scores[i]
                    = ScoreMove(board, search, colour, depth, lastFrom, moves[i], NoMoveValue);
                if (settings.ProgressDone)
                    settings.ProgressDone->fetch_add(1);
            }
        } catch (const TSearchCancelled&) {
            cancelled = true;
        }
        std::lock_guard lock(statsMutex);
        stats += search.Stats();
    };
    TSearchPool::Instance().Run(settings.Threads - 1, work);
    return !cancelled;
}

// Pieces defended minus pieces attacked, `colour`'s less the opponent's.
int DefenceBalance(TFastBoard& board, TPieceColour colour) {
    int s = 0;
    for (int sq = 0; sq < 64; ++sq) {
        const uint8_t piece = board.At(sq);
        if (!piece)
            continue;
        const TPieceColour pieceColour = TFastBoard::ColourOf(piece);
        const int sign = pieceColour == colour ? 1 : -1;
        if (board.IsDefended(sq, pieceColour))
            s += sign;
        if (board.IsAttacked(sq, pieceColour))
            s -= sign;
    }
    return s;
}

} // namespace

int EvaluateRootMove(TFastBoard& board, TPieceColour colour, int from, int to) {
    uint32_t moves[TFastBoard::MaxMoves];
    const TPieceColour opponent = Opponent(colour);
    int s = 0;
    if (board.InCheck(opponent)) {
        s += 6;
        if (board.GenerateMoves(opponent, moves) == 0)
            s += 36;
    }
    const int shelter = KingShelter(board, colour);
    s += shelter;
    const bool castlingOpen = board.CanCastle(colour, true) || board.CanCastle(colour, false);
    const TPieceKind moved = TFastBoard::KindOf(board.At(to));
    if (moved == pkKing) {
        if (std::abs(TFastBoard::FileOf(from) - TFastBoard::FileOf(to)) > 1 && shelter >= 2)
            s += 140;
        else if (castlingOpen)
            s -= 80;
    }
    if (moved == pkPawn)
        s += TFastBoard::RankOf(to);
    s += board.GenerateMoves(colour, moves);
    return s + DefenceBalance(board, colour);
}

int PositionalBalance(TFastBoard& board, TPieceColour colour) {
    uint32_t moves[TFastBoard::MaxMoves];
    const TPieceColour opponent = Opponent(colour);
    int s = board.GenerateMoves(colour, moves) - board.GenerateMoves(opponent, moves);
    s += KingShelter(board, colour) - KingShelter(board, opponent);
    return s + DefenceBalance(board, colour);
}

bool ScoreRootMoves(const TFastBoard& position, TPieceColour colour, int depth, TPoint lastFrom,
    TMoveList& candidates, const TRootSearchSettings& settings, TSearchStats& stats) {
    candidates.Clear();
    TFastBoard board(position);
    uint32_t moves[TFastBoard::MaxMoves];
    const int count = board.GenerateMoves(colour, moves);
    if (settings.ProgressTotal)
        settings.ProgressTotal->store(count);
    if (settings.ProgressDone)
        settings.ProgressDone->store(0);

    const int lastSquare
        = OnBoard(lastFrom) ? TFastBoard::Square(lastFrom.X, lastFrom.Y) : TFastBoard::NoSquare;
    int scores[TFastBoard::MaxMoves];
    const int threads = std::min(settings.Threads, count);
    const bool complete = depth > 0 && threads > 1
        ? ScoreInParallel(board, colour, depth, lastSquare, moves, count, scores,
            TRootSearchSettings {
                settings.Cancel, settings.ProgressDone, nullptr, threads, settings.Table },
            stats)
        : ScoreInOrder(board, colour, depth, lastSquare, moves, count, scores, settings, stats);
    if (!complete)
        return false;
    for (int i = 0; i < count; ++i) {
        const int from = TFastBoard::MoveFrom(moves[i]);
        const int to = TFastBoard::MoveTo(moves[i]);
        const TPoint fromPoint = MakePoint(TFastBoard::FileOf(from), TFastBoard::RankOf(from));
        const TPoint toPoint = MakePoint(TFastBoard::FileOf(to), TFastBoard::RankOf(to));
        candidates.Add(TFastBoard::KindOf(board.At(from)), fromPoint, toPoint, scores[i], 0);
    }
    candidates.SortByScore();
    return true;
}
