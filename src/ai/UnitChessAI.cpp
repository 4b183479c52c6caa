#include "UnitChessAI.h"

#include "FastBoard.h"
#include "RootSearch.h"
#include "SearchValues.h"
#include "TranspositionTable.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>

int PieceValue(const TPiece* piece) {
    if (!piece)
        return 0;
    switch (piece->Kind) {
    case pkPawn:
        return 10;
    case pkKnight:
    case pkBishop:
        return 35;
    case pkRook:
        return 50;
    case pkQueen:
        return 90;
    case pkKing:
        return 1000;
    }
    return 0;
}

namespace {

constexpr int NoMoveScore = -5000;
constexpr int LevelTolerance = 10;

TRootSearchSettings RootSettings(const TSearchControl& control) {
    TRootSearchSettings settings;
    settings.Cancel = control.Cancel;
    settings.ProgressDone = control.ProgressDone;
    settings.ProgressTotal = control.ProgressTotal;
    settings.Threads = control.Threads > 0 ? control.Threads : HardwareThreads();
    settings.Table = control.Table;
    return settings;
}

} // namespace

int HardwareThreads() {
    return std::max(1, int(std::thread::hardware_concurrency()));
}

bool ScoreCandidates(const TChessBoard& board, TPieceColour colour, int depth, TPoint lastFrom,
    TMoveList& candidates, const TSearchControl& control) {
    TSearchStats stats;
    const bool complete = ScoreRootMoves(
        TFastBoard(board), colour, depth, lastFrom, candidates, RootSettings(control), stats);
    if (control.Stats)
        *control.Stats += stats;
    if (control.Table)
        control.Table->NewSearch();
    return complete;
}

TSearchValue ValueOfCandidate(const TChessBoard& board, TPieceColour colour, int depth,
    TPoint lastFrom, const TMoveRecord& candidate) {
    constexpr int CentipawnsPerUnit = 10;
    TSearchValue result;
    TFastBoard position(board);
    if (!OnBoard(candidate.From) || !OnBoard(candidate.To) || !board.PieceAt(candidate.From))
        return result;
    const int from = TFastBoard::Square(candidate.From.X, candidate.From.Y);
    const int to = TFastBoard::Square(candidate.To.X, candidate.To.Y);
    const int positional = PositionalBalance(position, colour);
    const int material = position.Material(colour);
    // The candidate's score is the net gain of its line plus the move's own positional score,
    // less the return penalty; the gain added to the material now is the line's final material.
    const uint8_t occupant = position.Make(from, to);
    const int bonus = EvaluateRootMove(position, colour, from, to);
    position.TakeBack(from, to, occupant);
    const int penalty = candidate.To == lastFrom ? ReturnPenalty : 0;
    const int line = material + candidate.Score - bonus + penalty;
    if (std::abs(line) >= MateThreshold) {
        // A mate's value counts the depth left below the mated node; the root's replies have
        // `depth` left, so that node lies depth + 1 - left half-moves from the root.
        const int left = (std::abs(line) - MateScore + MateStep / 2) / MateStep;
        const int plies = std::max(1, depth + 1 - left);
        result.Mate = true;
        result.MateMoves = line > 0 ? (plies + 1) / 2 : -(plies / 2);
        return result;
    }
    result.Centipawns = (line + positional) * CentipawnsPerUnit;
    return result;
}

TMoveRecord ChooseMove(const TMoveList& sorted, int level, std::mt19937& rng) {
    TMoveRecord result;
    result.Score = NoMoveScore;
    const TMoveRecord* first = sorted.First();
    if (!first)
        return result;
    // A single candidate is taken without a draw.
    int index = 0;
    if (sorted.Count() >= 2) {
        int n = 1;
        for (const TMoveRecord* m = first->Next;
             m && m->Score + LevelTolerance * level >= first->Score; m = m->Next)
            ++n;
        index = std::uniform_int_distribution<int>(0, n - 1)(rng);
    }
    result = *sorted.Item(static_cast<uint16_t>(index));
    result.Prev = nullptr;
    result.Next = nullptr;
    return result;
}

struct TChessAI::TShared {
    std::mutex Mutex;
    std::condition_variable Changed;
    TChessAI* Owner = nullptr;
    bool Terminate = false;
    bool Requested = false;
    bool Searching = false;
    bool HandOverPending = false;
    bool InStep = false;
    uint64_t Generation = 0;
    uint64_t HandOverGeneration = 0;
    TPieceColour Colour = pcWhite;
    int Level = 0;
    int Depth = 3;
    int Threads = 0;
    // Made by the worker for the first search deep enough to use it, and kept from then on.
    std::unique_ptr<TTranspositionTable> Table;
    // The position to search, copied from the board when the search was asked for.
    std::unique_ptr<TFastBoard> Position;
    TMoveRecord BestMove;
    std::mt19937 Rng;
    std::atomic<bool> CancelFlag { false };
    std::atomic<int> ProgressDone { 0 };
    std::atomic<int> ProgressTotal { 0 };
};

TChessAI::TChessAI(TChessBoard& board, TPoster post)
    : m_Board(board)
    , m_Post(std::move(post))
    , m_Shared(std::make_shared<TShared>()) {
    m_Shared->Owner = this;
    m_Shared->Rng.seed(static_cast<uint32_t>(
        std::chrono::high_resolution_clock::now().time_since_epoch().count()));
    m_Thread = std::thread(&TChessAI::Execute, m_Shared, m_Post);
}

TChessAI::~TChessAI() {
    {
        std::lock_guard lock(m_Shared->Mutex);
        m_Shared->Owner = nullptr;
        m_Shared->Terminate = true;
        m_Shared->CancelFlag = true;
        ++m_Shared->Generation;
    }
    m_Shared->Changed.notify_all();
    if (m_Thread.joinable())
        m_Thread.join();
}

void TChessAI::Execute(std::shared_ptr<TShared> shared, TPoster post) {
    std::unique_lock lock(shared->Mutex);
    for (;;) {
        shared->Changed.wait(lock, [&] { return shared->Terminate || shared->Requested; });
        if (shared->Terminate)
            return;
        shared->Requested = false;
        shared->Searching = true;
        shared->CancelFlag = false;
        shared->ProgressDone = 0;
        shared->ProgressTotal = 0;
        const uint64_t generation = shared->Generation;
        const TPieceColour colour = shared->Colour;
        const int depth = shared->Depth;
        const int threads = shared->Threads;
        const TPoint lastFrom = shared->BestMove.From;
        const std::unique_ptr<TFastBoard> position = std::move(shared->Position);
        lock.unlock();

        TMoveList candidates;
        TSearchControl control;
        control.Cancel = &shared->CancelFlag;
        control.ProgressDone = &shared->ProgressDone;
        control.ProgressTotal = &shared->ProgressTotal;
        control.Threads = threads;
        const bool tabled = depth >= TTranspositionTable::MinSearchDepth;
        if (!shared->Table && tabled) {
            try {
                shared->Table = std::make_unique<TTranspositionTable>();
            } catch (const std::bad_alloc&) {
                // The search is the same without it, only slower.
            }
        }
        control.Table = tabled ? shared->Table.get() : nullptr;
        TSearchStats stats;
        const bool complete = ScoreRootMoves(
            *position, colour, depth, lastFrom, candidates, RootSettings(control), stats);
        if (shared->Table)
            shared->Table->NewSearch();

        lock.lock();
        shared->Searching = false;
        shared->Changed.notify_all();
        if (!complete || shared->Terminate || generation != shared->Generation)
            continue;
        shared->BestMove = ChooseMove(candidates, shared->Level, shared->Rng);
        shared->HandOverPending = true;
        shared->HandOverGeneration = generation;
        lock.unlock();
        post([shared, generation] { RunHandOver(shared, generation); });
        lock.lock();
        // The hand-over step runs on the main thread while the worker waits. A cancel before the
        // step starts abandons it; a step already running is waited for.
        shared->Changed.wait(lock, [&] {
            return shared->Terminate
                || (!shared->InStep
                    && (!shared->HandOverPending || shared->Generation != generation));
        });
        shared->HandOverPending = false;
    }
}

void TChessAI::RunHandOver(const std::shared_ptr<TShared>& shared, uint64_t generation) {
    std::unique_lock lock(shared->Mutex);
    TChessAI* owner = shared->Owner;
    if (!owner || !shared->HandOverPending || shared->Generation != generation
        || shared->HandOverGeneration != generation)
        return;
    shared->HandOverPending = false;
    shared->InStep = true;
    lock.unlock();
    // Releases the waiting worker when the handler returns, and also when it throws.
    struct TStepEnd {
        TShared& Shared;
        ~TStepEnd() {
            {
                std::lock_guard lock(Shared.Mutex);
                Shared.InStep = false;
            }
            Shared.Changed.notify_all();
        }
    } stepEnd { *shared };
    if (owner->OnMoveFound)
        owner->OnMoveFound(*owner);
}

void TChessAI::Think(TPieceColour colour, int level) {
    Cancel();
    auto position = std::make_unique<TFastBoard>(m_Board);
    {
        std::lock_guard lock(m_Shared->Mutex);
        m_Shared->Position = std::move(position);
        m_Shared->Colour = colour;
        m_Shared->Level = level;
        m_Shared->Requested = true;
        m_Shared->ProgressDone = 0;
        m_Shared->ProgressTotal = 0;
    }
    m_Shared->Changed.notify_all();
}

void TChessAI::Cancel() {
    std::unique_lock lock(m_Shared->Mutex);
    ++m_Shared->Generation;
    m_Shared->Requested = false;
    if (m_Shared->Searching) {
        m_Shared->CancelFlag = true;
        m_Shared->Changed.wait(lock, [&] { return !m_Shared->Searching; });
    }
    lock.unlock();
    m_Shared->Changed.notify_all();
}

int TChessAI::Depth() const {
    std::lock_guard lock(m_Shared->Mutex);
    return m_Shared->Depth;
}

void TChessAI::SetDepth(int depth) {
    std::lock_guard lock(m_Shared->Mutex);
    m_Shared->Depth = depth;
}

TMoveRecord TChessAI::BestMove() const {
    std::lock_guard lock(m_Shared->Mutex);
    return m_Shared->BestMove;
}

bool TChessAI::IsThinking() const {
    std::lock_guard lock(m_Shared->Mutex);
    return m_Shared->Requested || m_Shared->Searching
        || (m_Shared->HandOverPending && m_Shared->HandOverGeneration == m_Shared->Generation);
}

int TChessAI::ProgressDone() const {
    return m_Shared->ProgressDone.load();
}

int TChessAI::ProgressTotal() const {
    return m_Shared->ProgressTotal.load();
}

void TChessAI::SetThreads(int threads) {
    std::lock_guard lock(m_Shared->Mutex);
    m_Shared->Threads = std::max(0, threads);
}

void TChessAI::Seed(uint32_t seed) {
    std::lock_guard lock(m_Shared->Mutex);
    m_Shared->Rng.seed(seed);
}
