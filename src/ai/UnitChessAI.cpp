#include "UnitChessAI.h"

#include "FastBoard.h"

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
constexpr int ReturnPenalty = 20;
constexpr int LevelTolerance = 10;

struct TCancelled { };

// The reply search on the compact board. Moves are tried biggest capture first and tested for
// legality only when their turn comes, since a cut-off usually makes the rest unnecessary.
class TReplySearch {
public:
    TReplySearch(TFastBoard& board, const TSearchControl& control)
        : m_Board(board)
        , m_Control(control) { }

    long long Nodes() const { return m_Nodes; }

    // The best net gain of `colour` from here, as the board's search would find it.
    int Search(TPieceColour colour, int depth, int bound) {
        if ((++m_Nodes & 1023) == 0 && m_Control.Cancel
            && m_Control.Cancel->load(std::memory_order_relaxed))
            throw TCancelled {};
        uint32_t moves[TFastBoard::MaxMoves];
        int count = m_Board.GenerateCaptures(colour, moves);
        bool quietsAdded = false;
        int inCheck = -1;
        const TPieceColour opponent = Opponent(colour);
        int best = NoMoveScore;
        for (int i = 0;; ++i) {
            if (i == count) {
                // The quiet moves, worth 0, follow the captures; at the last level they cannot
                // improve a best of 0 or more.
                if (quietsAdded || (depth <= 0 && best >= 0))
                    break;
                quietsAdded = true;
                count += m_Board.GenerateQuiets(colour, moves + count);
                if (i == count)
                    break;
            }
            const uint32_t move = moves[i];
            const int value = TFastBoard::MoveValue(move);
            // At the last level a move scores at most the value it takes, and the moves come in
            // descending value: once the best reaches that value nothing can change it.
            if (depth <= 0 && best >= value)
                break;
            if (inCheck < 0)
                inCheck = m_Board.InCheck(colour) ? 1 : 0;
            if (!m_Board.IsLegal(move, inCheck != 0))
                continue;
            const int from = TFastBoard::MoveFrom(move);
            const int to = TFastBoard::MoveTo(move);
            const uint8_t occupant = m_Board.Make(from, to);
            int score = value;
            if (depth > 0) {
                bound = value - best;
                score -= Search(opponent, depth - 1, bound);
            } else if (m_Board.IsAttacked(to, colour)) {
                score -= TFastBoard::ValueOf(m_Board.At(to));
            }
            m_Board.TakeBack(from, to, occupant);
            best = std::max(best, score);
            if (best >= bound)
                break;
        }
        return best;
    }

private:
    TFastBoard& m_Board;
    const TSearchControl& m_Control;
    long long m_Nodes = 0;
};

// The positional score of a root move for `colour`, with the move made on the board.
int Evaluate(TFastBoard& board, TPieceColour colour, int from, int to) {
    uint32_t moves[TFastBoard::MaxMoves];
    const TPieceColour opponent = Opponent(colour);
    int s = 0;
    if (board.InCheck(opponent)) {
        s += 6;
        if (board.GenerateMoves(opponent, moves) == 0)
            s += 36;
    }
    // Own pieces on the rank in front of a king that has left the centre of its home rank.
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

namespace {

bool ScoreRootMoves(TFastBoard& fast, TPieceColour colour, int depth, TPoint lastFrom,
    TMoveList& candidates, const TSearchControl& control) {
    candidates.Clear();
    uint32_t moves[TFastBoard::MaxMoves];
    const int count = fast.GenerateMoves(colour, moves);
    if (control.ProgressTotal)
        control.ProgressTotal->store(count);

    TReplySearch search(fast, control);
    int best = NoMoveScore;
    bool complete = true;
    try {
        for (int i = 0; i < count; ++i) {
            const int from = TFastBoard::MoveFrom(moves[i]);
            const int to = TFastBoard::MoveTo(moves[i]);
            TMoveRecord m;
            m.From = MakePoint(TFastBoard::FileOf(from), TFastBoard::RankOf(from));
            m.To = MakePoint(TFastBoard::FileOf(to), TFastBoard::RankOf(to));
            const int value = TFastBoard::ValueOf(fast.At(to));
            const uint8_t occupant = fast.Make(from, to);
            int score = value - search.Search(Opponent(colour), depth, value - best);
            score += Evaluate(fast, colour, from, to);
            fast.TakeBack(from, to, occupant);
            if (m.To == lastFrom)
                score -= ReturnPenalty;
            candidates.Add(TFastBoard::KindOf(fast.At(from)), m.From, m.To, score, 0);
            best = std::max(best, score);
            if (control.ProgressDone)
                control.ProgressDone->store(i + 1);
        }
    } catch (const TCancelled&) {
        complete = false;
    }
    if (control.Nodes)
        *control.Nodes += search.Nodes();
    candidates.SortByScore();
    return complete;
}

} // namespace

bool ScoreCandidates(const TChessBoard& board, TPieceColour colour, int depth, TPoint lastFrom,
    TMoveList& candidates, const TSearchControl& control) {
    TFastBoard fast(board);
    return ScoreRootMoves(fast, colour, depth, lastFrom, candidates, control);
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
        const TPoint lastFrom = shared->BestMove.From;
        const std::unique_ptr<TFastBoard> position = std::move(shared->Position);
        lock.unlock();

        TMoveList candidates;
        const TSearchControl control { &shared->CancelFlag, &shared->ProgressDone,
            &shared->ProgressTotal };
        const bool complete
            = ScoreRootMoves(*position, colour, depth, lastFrom, candidates, control);

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

void TChessAI::Seed(uint32_t seed) {
    std::lock_guard lock(m_Shared->Mutex);
    m_Shared->Rng.seed(seed);
}
