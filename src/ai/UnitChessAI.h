#pragma once

// The computer player: a fixed-depth material search with a one-ply positional evaluation of
// the root moves and a random choice among the near-best moves, run on a worker thread of its
// own that hands each move back to the owner's thread.

#include "UnitChessBoard.h"
#include "UnitMoveList.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <random>
#include <thread>

// Value of a piece for captures and for pieces left where they can be taken; 0 for none.
int PieceValue(const TPiece* piece);

class TTranspositionTable;
struct TSearchStats;

// Lets a running search be stopped and report how far it is. Both counters count root moves.
struct TSearchControl {
    const std::atomic<bool>* Cancel = nullptr;
    std::atomic<int>* ProgressDone = nullptr;
    std::atomic<int>* ProgressTotal = nullptr;
    // Threads that score the root moves; 0 for one per hardware thread. The answer is the same
    // for any number.
    int Threads = 1;
    // Shares the values of repeated positions, when given; the answer is the same without it.
    TTranspositionTable* Table = nullptr;
    // Receives the searched positions (calls of the reply search) and the table's use.
    TSearchStats* Stats = nullptr;
};

// The number of threads a search with Threads 0 uses.
int HardwareThreads();

// Scores every legal move of `colour` and sorts them best first (equal scores in reverse
// generation order). `lastFrom` is the origin of the previous move found ((0,0) for none);
// a move onto it scores 20 less. The search runs on copies of the board. Returns false when the
// search was cancelled; the list is then empty.
bool ScoreCandidates(const TChessBoard& board, TPieceColour colour, int depth, TPoint lastFrom,
    TMoveList& candidates, const TSearchControl& control = {});

// What a scored candidate says about the position, from the side to move's view, as an engine
// reports it.
struct TSearchValue {
    // A forced mate within the search: MateMoves > 0 when the side mates in that many moves,
    // < 0 when it is mated in -MateMoves.
    bool Mate = false;
    int MateMoves = 0;
    // Otherwise the material at the end of the candidate's line (a pawn is 100) plus the
    // position's positional terms; 0 for a drawn line in a balanced position.
    int Centipawns = 0;
};

// The value of `candidate`, scored by ScoreCandidates with the same board, colour, depth and
// lastFrom. A candidate that is not a legal move of the position gives a value of 0.
TSearchValue ValueOfCandidate(const TChessBoard& board, TPieceColour colour, int depth,
    TPoint lastFrom, const TMoveRecord& candidate);

// Picks uniformly among the sorted candidates that score within 10 * level of the first.
// An empty list gives a zero record with Score -5000.
TMoveRecord ChooseMove(const TMoveList& sorted, int level, std::mt19937& rng);

class TChessAI {
public:
    // Queues a function to run on the owner's (main) thread and returns at once. The Qt
    // controller passes [obj](auto f){ QMetaObject::invokeMethod(obj, std::move(f),
    // Qt::QueuedConnection); }
    using TPoster = std::function<void(std::function<void()>)>;

    // The worker thread is created asleep; the random generator is seeded from the clock. Each
    // search uses one thread per hardware thread, and deep searches a transposition table kept
    // from one search to the next.
    TChessAI(TChessBoard& board, TPoster post);
    // Cancels a running search and ends the thread; OnMoveFound is never called afterwards.
    ~TChessAI();
    TChessAI(const TChessAI&) = delete;
    TChessAI& operator=(const TChessAI&) = delete;

    // Main thread: starts one search for `colour`, which ends in exactly one OnMoveFound. A
    // search still running is cancelled first. The worker searches a copy of the board taken
    // here, so the board itself is only read during this call.
    void Think(TPieceColour colour, int level);
    // Main thread: returns once the running search has stopped (within milliseconds). The
    // cancelled search's move is never delivered, and a hand-over already posted is dropped.
    void Cancel();
    // 3 on creation; a change applies from the next search on.
    int Depth() const;
    void SetDepth(int depth);
    // The move found by the last search; valid inside OnMoveFound.
    TMoveRecord BestMove() const;
    // A search is running, or requested, or its hand-over is pending.
    bool IsThinking() const;
    // Root moves finished in the running search, and root moves in all.
    int ProgressDone() const;
    int ProgressTotal() const;
    // Makes the random choice repeatable.
    void Seed(uint32_t seed);
    // Threads per search from the next search on; 0 (the default) for one per hardware thread.
    void SetThreads(int threads);

    // Called on the main thread with the move found, once per Think. It may call Think again.
    std::function<void(TChessAI& sender)> OnMoveFound;

private:
    struct TShared;

    static void Execute(std::shared_ptr<TShared> shared, TPoster post);
    static void RunHandOver(const std::shared_ptr<TShared>& shared, uint64_t generation);

    TChessBoard& m_Board;
    TPoster m_Post;
    std::shared_ptr<TShared> m_Shared;
    std::thread m_Thread;
};
