#include "UciEngine.h"

#include "Fen.h"
#include "PrintableText.h"
#include "ReplySearch.h"
#include "TranspositionTable.h"
#include "UnitChessAI.h"
#include "Update.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <new>
#include <unistd.h>

namespace {

using TClock = std::chrono::steady_clock;

// Clock searches expect this many moves to the end of the game when not told.
constexpr int DefaultMovesToGo = 30;
constexpr long long MaxMilliseconds = 1000LL * 60 * 60 * 24 * 365;

long long MillisecondsSince(TClock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(TClock::now() - start).count();
}

double FractionalMillisecondsSince(TClock::time_point start) {
    return std::chrono::duration<double, std::milli>(TClock::now() - start).count();
}

std::vector<std::string> SplitWords(std::string_view line) {
    std::vector<std::string> words;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i])))
            ++i;
        const size_t start = i;
        while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i])))
            ++i;
        if (i > start)
            words.emplace_back(line.substr(start, i - start));
    }
    return words;
}

std::string Join(const std::vector<std::string>& words, size_t from, size_t to) {
    std::string text;
    for (size_t i = from; i < to && i < words.size(); ++i)
        text += (text.empty() ? "" : " ") + words[i];
    return text;
}

// Outside text as it may appear in an answer: printable ASCII only, and not too long.
std::string Shown(std::string_view text) {
    std::string shown = "'";
    shown += PrintableForLog(text, 80);
    shown += '\'';
    return shown;
}

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x))
            == std::tolower(static_cast<unsigned char>(y));
    });
}

bool ParseNumber(const std::string& text, long long low, long long high, long long& value) {
    if (text.empty() || text.size() > 19)
        return false;
    size_t used = 0;
    try {
        value = std::stoll(text, &used);
    } catch (const std::exception&) {
        return false;
    }
    return used == text.size() && value >= low && value <= high;
}

bool ParseSquare(std::string_view text, TPoint& square) {
    if (text.size() != 2 || text[0] < 'a' || text[0] > 'h' || text[1] < '1' || text[1] > '8')
        return false;
    square = MakePoint(text[0] - 'a' + 1, text[1] - '0');
    return true;
}

int PromotionKindOf(char letter) {
    switch (std::tolower(static_cast<unsigned char>(letter))) {
    case 'q':
        return pkQueen;
    case 'r':
        return pkRook;
    case 'b':
        return pkBishop;
    case 'n':
        return pkKnight;
    }
    return -1;
}

bool IsPromotion(const TChessBoard& board, TPoint from, TPoint to) {
    const TPiece* piece = board.PieceAt(from);
    return piece && piece->Kind == pkPawn && to.Y == (piece->Colour == pcWhite ? 8 : 1);
}

// Reads a move in long algebraic notation and checks that the side to move may make it. Returns
// an empty text, or why the move is refused.
std::string ReadMove(TChessBoard& board, TPieceColour side, const std::string& text, TPoint& from,
    TPoint& to, int& promotion) {
    promotion = -1;
    if ((text.size() != 4 && text.size() != 5) || !ParseSquare(text.substr(0, 2), from)
        || !ParseSquare(text.substr(2, 2), to)
        || (text.size() == 5 && (promotion = PromotionKindOf(text[4])) < 0))
        return "unreadable move " + Shown(text);
    const TPiece* piece = board.PieceAt(from);
    if (!piece || piece->Colour != side || !board.IsLegalMove(from, to))
        return "illegal move " + Shown(text);
    if (IsPromotion(board, from, to) != (promotion >= 0))
        return promotion >= 0 ? "illegal move " + Shown(text) + " (not a promotion)"
                              : "move " + Shown(text) + " needs a promotion piece (q, r, b or n)";
    return {};
}

std::string MoveName(const TChessBoard& board, TPoint from, TPoint to) {
    // The built-in player always promotes to a queen.
    return SquareName(from) + SquareName(to) + (IsPromotion(board, from, to) ? "q" : "");
}

bool IsGoParameter(const std::string& word) {
    for (const char* name : { "searchmoves", "ponder", "wtime", "btime", "winc", "binc",
             "movestogo", "depth", "nodes", "mate", "movetime", "infinite" }) {
        if (word == name)
            return true;
    }
    return false;
}

std::string VersionText() {
    std::string version;
    for (const char digit : std::to_string(CurrentVersion)) {
        if (!version.empty())
            version += '.';
        version += digit;
    }
    return version;
}

const char* LevelName(int level) {
    switch (level) {
    case TUciEngine::LevelNovice:
        return "novice";
    case TUciEngine::LevelSkilled:
        return "skilled";
    }
    return "expert";
}

} // namespace

// Cancels the search when its deadline passes; the deadline may be moved while it waits.
class TUciEngine::TWatchdog {
public:
    explicit TWatchdog(std::atomic<bool>& cancel)
        : m_Cancel(cancel) { }
    ~TWatchdog() {
        {
            std::lock_guard lock(m_Mutex);
            m_Done = true;
        }
        m_Changed.notify_all();
        if (m_Thread.joinable())
            m_Thread.join();
    }
    void SetDeadline(TClock::time_point deadline) {
        {
            std::lock_guard lock(m_Mutex);
            m_Deadline = deadline;
        }
        m_Changed.notify_all();
        if (!m_Thread.joinable())
            m_Thread = std::thread([this] { Watch(); });
    }

private:
    void Watch() {
        std::unique_lock lock(m_Mutex);
        while (!m_Done) {
            if (m_Changed.wait_until(lock, m_Deadline) == std::cv_status::timeout
                && TClock::now() >= m_Deadline) {
                m_Cancel = true;
                return;
            }
        }
    }

    std::atomic<bool>& m_Cancel;
    std::mutex m_Mutex;
    std::condition_variable m_Changed;
    TClock::time_point m_Deadline;
    bool m_Done = false;
    std::thread m_Thread;
};

long long AllottedMilliseconds(long long remaining, long long increment, int movesToGo) {
    remaining = std::max(0LL, remaining);
    increment = std::max(0LL, increment);
    const long long moves = movesToGo > 0 ? movesToGo : DefaultMovesToGo;
    const long long share = remaining / moves + increment * 3 / 4;
    const long long margin = std::min(50LL, remaining / 4);
    return std::max(1LL, std::min(share, remaining - margin));
}

struct TUciEngine::TJob {
    TChessBoard Board;
    TPieceColour Side = pcWhite;
    TPoint LastFrom;
    TGoLimits Limits;
    int Level = LevelExpert;
    int Depth = DefaultDepth;
    int Threads = 1;
    std::shared_ptr<TTranspositionTable> Table;
    TClock::time_point Start;
};

TUciEngine::TUciEngine(TWriter write)
    : m_Write(std::move(write))
    , m_Board(std::make_unique<TChessBoard>())
    , m_Threads(std::min(MaxThreads, HardwareThreads())) {
    m_Side = LoadFen(*m_Board, StartFen);
    m_Rng.seed(static_cast<uint32_t>(TClock::now().time_since_epoch().count()));
}

TUciEngine::~TUciEngine() {
    StopSearch();
}

void TUciEngine::Seed(uint32_t seed) {
    m_Rng.seed(seed);
}

void TUciEngine::Write(const std::string& line) {
    std::lock_guard lock(m_OutputMutex);
    m_Write(line);
}

void TUciEngine::Info(const std::string& text) {
    Write("info string " + text);
}

bool TUciEngine::Searching() const {
    return m_Searching;
}

std::string TUciEngine::PositionFen() const {
    return SaveFen(*m_Board, m_Side);
}

void TUciEngine::RefuseLongLine() {
    Info("line longer than " + std::to_string(MaxLineBytes) + " bytes ignored");
}

bool TUciEngine::HandleLine(std::string_view line) {
    const std::vector<std::string> words = SplitWords(line);
    // Unknown words before a command are skipped, as the protocol asks.
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string& command = words[i];
        if (command == "quit") {
            StopSearch();
            return false;
        }
        if (command == "uci")
            CommandUci();
        else if (command == "isready")
            Write("readyok");
        else if (command == "setoption")
            CommandSetOption(words, i + 1);
        else if (command == "ucinewgame") {
            StopSearch();
            m_Side = LoadFen(*m_Board, StartFen);
            m_LastFrom = {};
        } else if (command == "position")
            CommandPosition(words, i + 1);
        else if (command == "go")
            CommandGo(words, i + 1);
        else if (command == "stop")
            StopSearch();
        else if (command == "ponderhit")
            PonderHit();
        else if (command == "debug" || command == "register") {
            // No debug output to switch, nothing to register.
        } else
            continue;
        return true;
    }
    if (!words.empty())
        Info("unknown command " + Shown(line) + " ignored");
    return true;
}

void TUciEngine::CommandUci() {
    Write("id name Wintermoot " + VersionText());
    Write("id author The Wintermoot developers");
    Write("option name Level type combo default expert var novice var skilled var expert");
    Write("option name Depth type spin default " + std::to_string(DefaultDepth) + " min 1 max "
        + std::to_string(MaxDepth));
    Write("option name Threads type spin default " + std::to_string(m_Threads) + " min 1 max "
        + std::to_string(MaxThreads));
    Write("option name Hash type spin default " + std::to_string(DefaultHashMegabytes)
        + " min 1 max " + std::to_string(MaxHashMegabytes));
    Write("option name Ponder type check default false");
    Write("uciok");
}

void TUciEngine::CommandSetOption(const std::vector<std::string>& words, size_t at) {
    if (at >= words.size() || words[at] != "name") {
        Info("setoption needs 'name'; nothing changed");
        return;
    }
    const auto valueWord = std::find(words.begin() + long(at), words.end(), "value");
    const size_t valueAt = size_t(valueWord - words.begin());
    const std::string name = Join(words, at + 1, valueAt);
    const std::string value = Join(words, valueAt + 1, words.size());
    const auto badValue = [&](const std::string& allowed) {
        Info("option " + name + " must be " + allowed + ", not " + Shown(value)
            + "; nothing changed");
    };
    long long number = 0;
    if (SameName(name, "Level")) {
        int level = -1;
        for (int candidate : { LevelExpert, LevelSkilled, LevelNovice }) {
            if (SameName(value, LevelName(candidate)))
                level = candidate;
        }
        if (level < 0)
            badValue("novice, skilled or expert");
        else
            m_Level = level;
    } else if (SameName(name, "Depth")) {
        if (ParseNumber(value, 1, MaxDepth, number))
            m_Depth = int(number);
        else
            badValue("a whole number from 1 to " + std::to_string(MaxDepth));
    } else if (SameName(name, "Threads")) {
        if (ParseNumber(value, 1, MaxThreads, number))
            m_Threads = int(number);
        else
            badValue("a whole number from 1 to " + std::to_string(MaxThreads));
    } else if (SameName(name, "Ponder")) {
        // Tells only that the GUI may send go ponder, which is always understood.
        if (!SameName(value, "true") && !SameName(value, "false"))
            badValue("true or false");
    } else if (SameName(name, "Hash")) {
        if (ParseNumber(value, 1, MaxHashMegabytes, number))
            SetHash(int(number));
        else
            badValue("a whole number from 1 to " + std::to_string(MaxHashMegabytes));
    } else {
        Info("unknown option " + Shown(name) + "; nothing changed");
    }
}

bool TUciEngine::SetHash(int megabytes) {
    m_HashMegabytes = megabytes;
    m_Table.reset();
    try {
        m_Table = std::make_shared<TTranspositionTable>(size_t(megabytes) << 20);
        m_TableFailed = false;
    } catch (const std::bad_alloc&) {
        m_TableFailed = true;
        Info("Hash: " + std::to_string(megabytes)
            + " MB could not be allocated; searching without a table (same moves, slower)");
    }
    return !m_TableFailed;
}

std::shared_ptr<TTranspositionTable> TUciEngine::TableForSearch() {
    if (!m_Table && !m_TableFailed)
        SetHash(m_HashMegabytes);
    return m_Table;
}

void TUciEngine::CommandPosition(const std::vector<std::string>& words, size_t at) {
    auto board = std::make_unique<TChessBoard>();
    TPieceColour side = pcWhite;
    size_t i = at;
    if (i < words.size() && words[i] == "startpos") {
        side = LoadFen(*board, StartFen);
        ++i;
    } else if (i < words.size() && words[i] == "fen") {
        const size_t fenEnd
            = size_t(std::find(words.begin() + long(i), words.end(), "moves") - words.begin());
        const std::string fen = Join(words, i + 1, fenEnd);
        try {
            side = LoadFen(*board, fen);
        } catch (const std::exception& e) {
            Info("invalid FEN " + Shown(fen) + ": " + e.what() + "; the position is unchanged");
            return;
        }
        i = fenEnd;
    } else {
        Info("position needs 'startpos' or 'fen'; the position is unchanged");
        return;
    }
    std::vector<TPoint> origins;
    if (i < words.size()) {
        if (words[i] != "moves") {
            Info("position: " + Shown(words[i])
                + " where 'moves' belongs; the position is unchanged");
            return;
        }
        for (++i; i < words.size(); ++i) {
            TPoint from, to;
            int promotion = -1;
            try {
                const std::string fault = ReadMove(*board, side, words[i], from, to, promotion);
                if (!fault.empty()) {
                    Info("position: " + fault + "; the position is unchanged");
                    return;
                }
                const TMoveResult flags = board->MovePiece(from, to, false);
                if (flags & mrInvalid) {
                    Info("position: illegal move " + Shown(words[i])
                        + "; the position is unchanged");
                    return;
                }
                if (flags & mrPromotion)
                    board->Promote(to, uint8_t(promotion));
            } catch (const std::exception& e) {
                Info("position: move " + Shown(words[i]) + " refused (" + e.what()
                    + "); the position is unchanged");
                return;
            }
            origins.push_back(from);
            side = Opponent(side);
        }
    }
    m_Board = std::move(board);
    m_Side = side;
    // The built-in player scores a move back onto the square its own previous move came from a
    // little lower; here that move is the side to move's last one in the list.
    m_LastFrom = origins.size() >= 2 ? origins[origins.size() - 2] : TPoint {};
}

void TUciEngine::CommandGo(const std::vector<std::string>& words, size_t at) {
    StopSearch();
    auto job = std::make_unique<TJob>();
    TGoLimits& limits = job->Limits;
    const auto number = [&](size_t& i, long long low, long long high, long long& value) {
        const std::string& name = words[i];
        if (i + 1 >= words.size() || !ParseNumber(words[i + 1], low, high, value)) {
            Info("go: " + name + " needs a whole number from " + std::to_string(low) + " to "
                + std::to_string(high) + "; ignored");
            // A bad value is skipped with its name; a parameter in its place is read as one.
            if (i + 1 < words.size() && !IsGoParameter(words[i + 1]))
                ++i;
            return false;
        }
        ++i;
        return true;
    };
    const TPieceColour side = m_Side;
    for (size_t i = at; i < words.size(); ++i) {
        const std::string& word = words[i];
        long long value = 0;
        if (word == "depth") {
            if (number(i, 1, MaxDepth, value))
                limits.Depth = int(value);
        } else if (word == "movetime") {
            if (number(i, 0, MaxMilliseconds, value))
                limits.MoveTime = value;
        } else if (word == "wtime" || word == "btime") {
            // A clock that has run out is read as no time left.
            if (number(i, -MaxMilliseconds, MaxMilliseconds, value))
                limits.Time[word == "wtime" ? pcWhite : pcBlack] = std::max(0LL, value);
        } else if (word == "winc" || word == "binc") {
            if (number(i, -MaxMilliseconds, MaxMilliseconds, value))
                limits.Increment[word == "winc" ? pcWhite : pcBlack] = std::max(0LL, value);
        } else if (word == "movestogo") {
            if (number(i, 1, 100000, value))
                limits.MovesToGo = int(value);
        } else if (word == "nodes") {
            if (number(i, 1, 1000000000000000LL, value))
                limits.Nodes = value;
        } else if (word == "infinite") {
            limits.Infinite = true;
        } else if (word == "ponder") {
            limits.Ponder = true;
        } else if (word == "mate") {
            number(i, 1, 1000, value);
            Info("go: mate is not supported; searching as without it");
        } else if (word == "searchmoves") {
            for (; i + 1 < words.size(); ++i) {
                TPoint from, to;
                int promotion = -1;
                const std::string fault
                    = ReadMove(*m_Board, side, words[i + 1], from, to, promotion);
                if (fault.find("unreadable") == 0)
                    break;
                if (fault.empty())
                    limits.SearchMoves.push_back({ from, to });
                else
                    Info("go: searchmoves: " + fault + " ignored");
            }
        } else {
            Info("go: unknown parameter " + Shown(word) + " ignored");
        }
    }
    job->Board.Assign(*m_Board);
    job->Side = side;
    job->LastFrom = m_LastFrom;
    job->Level = m_Level;
    job->Depth = m_Depth;
    job->Threads = m_Threads;
    const bool unbounded = limits.Infinite || limits.Ponder || limits.MoveTime >= 0
        || limits.Time[side] >= 0 || limits.Nodes > 0;
    if ((limits.Depth > 0   ? limits.Depth
                : unbounded ? MaxDepth
                            : m_Depth)
        >= TTranspositionTable::MinSearchDepth)
        job->Table = TableForSearch();
    job->Start = TClock::now();
    {
        std::lock_guard lock(m_StopMutex);
        m_StopRequested = false;
        m_Pondering = limits.Ponder;
        m_PonderWatchdog = nullptr;
    }
    m_Cancel = false;
    m_Searching = true;
    m_SearchThread
        = std::thread([this, job = std::move(job)]() mutable { Search(std::move(job)); });
}

void TUciEngine::PonderHit() {
    std::lock_guard lock(m_StopMutex);
    if (!m_Pondering)
        return;
    m_Pondering = false;
    m_PonderHitAt = TClock::now();
    if (m_PonderWatchdog && m_PonderBudget >= 0)
        m_PonderWatchdog->SetDeadline(m_PonderHitAt + std::chrono::milliseconds(m_PonderBudget));
    m_StopChanged.notify_all();
}

void TUciEngine::StopSearch() {
    if (!m_SearchThread.joinable())
        return;
    {
        std::lock_guard lock(m_StopMutex);
        m_StopRequested = true;
        m_Pondering = false;
    }
    m_Cancel = true;
    m_StopChanged.notify_all();
    m_SearchThread.join();
}

void TUciEngine::Search(std::unique_ptr<TJob> job) {
    const TGoLimits& limits = job->Limits;
    TChessBoard& board = job->Board;
    const TPieceColour side = job->Side;
    // Stays so when the side to move has no legal move.
    std::string best = "0000";
    size_t legalCount = 0;
    {
        const bool clock = limits.MoveTime < 0 && limits.Time[side] >= 0;
        // A ponder search runs as an infinite one until the ponder hit, from which on its limits
        // count.
        TClock::time_point start = job->Start;
        const auto pondering = [&] {
            std::lock_guard lock(m_StopMutex);
            if (!m_Pondering && limits.Ponder)
                start = m_PonderHitAt;
            return m_Pondering;
        };
        long long budget = -1;
        if (limits.MoveTime >= 0)
            budget = std::max(1LL, limits.MoveTime);
        else if (clock)
            budget
                = AllottedMilliseconds(limits.Time[side], limits.Increment[side], limits.MovesToGo);
        // Without a limit the search goes to the Depth option, as the built-in player does.
        int maxDepth = job->Depth;
        if (limits.Depth > 0)
            maxDepth = limits.Depth;
        else if (limits.Infinite || limits.Ponder || budget >= 0 || limits.Nodes > 0)
            maxDepth = MaxDepth;

        TWatchdog watchdog(m_Cancel);
        {
            // Until the ponder hit the deadline waits; the hit sets it from its own time.
            std::lock_guard lock(m_StopMutex);
            if (m_Pondering) {
                m_PonderBudget = limits.Infinite ? -1 : budget;
                m_PonderWatchdog = &watchdog;
            } else if (budget >= 0 && !limits.Infinite) {
                watchdog.SetDeadline(job->Start + std::chrono::milliseconds(budget));
            }
        }
        // The watchdog goes at the end of this block; a ponder hit after that must not reach it.
        struct TForgetWatchdog {
            TUciEngine& Engine;
            ~TForgetWatchdog() {
                std::lock_guard lock(Engine.m_StopMutex);
                Engine.m_PonderWatchdog = nullptr;
            }
        } forgetWatchdog { *this };
        long long totalNodes = 0;
        double lastMs = 0, previousMs = 0;
        long long lastNodes = 0, previousNodes = 0;
        // A search to a fixed depth only (go depth, or a plain go) goes from the first depth
        // straight to the last: the depths between could share no work with it and would cost
        // as much as the last one again. Timed, counted and infinite searches deepen one level at
        // a time.
        const bool fixedDepth
            = !limits.Infinite && !limits.Ponder && budget < 0 && limits.Nodes == 0;
        for (int depth = 1; depth <= maxDepth;
             depth = fixedDepth && depth == 1 ? std::max(2, maxDepth) : depth + 1) {
            if (depth > 1 && !limits.Infinite && !pondering()) {
                if (m_Cancel)
                    break;
                // With a clock, a depth is begun only when it is expected to end in time.
                const double timeGrowth
                    = previousMs > 0.5 ? std::clamp(lastMs / previousMs, 2.0, 40.0) : 8.0;
                if (clock
                    && (legalCount == 1
                        || double(MillisecondsSince(start)) + lastMs * timeGrowth > double(budget)))
                    break;
                if (limits.Nodes > 0) {
                    const double nodeGrowth = previousNodes > 0
                        ? std::clamp(double(lastNodes) / double(previousNodes), 2.0, 40.0)
                        : 8.0;
                    if (double(totalNodes) + double(lastNodes) * nodeGrowth > double(limits.Nodes))
                        break;
                }
            }
            TMoveList candidates;
            TSearchStats stats;
            TSearchControl control;
            // The first depth takes milliseconds and always ends, so that there is a move.
            control.Cancel = depth > 1 ? &m_Cancel : nullptr;
            control.Threads = job->Threads;
            control.Table
                = depth >= TTranspositionTable::MinSearchDepth ? job->Table.get() : nullptr;
            control.Stats = &stats;
            const auto depthStart = TClock::now();
            const bool complete
                = ScoreCandidates(board, side, depth, job->LastFrom, candidates, control);
            totalNodes += stats.Nodes;
            if (!complete)
                break;
            // Every legal move is a candidate.
            if (depth == 1)
                legalCount = candidates.Count();
            if (legalCount == 0)
                break;
            previousMs = lastMs;
            lastMs = FractionalMillisecondsSince(depthStart);
            previousNodes = lastNodes;
            lastNodes = stats.Nodes;

            TMoveList allowed;
            for (const TMoveRecord* m = candidates.First(); m; m = m->Next) {
                const bool listed = limits.SearchMoves.empty()
                    || std::any_of(limits.SearchMoves.begin(), limits.SearchMoves.end(),
                        [&](const auto& move) {
                            return move.first == m->From && move.second == m->To;
                        });
                if (listed)
                    allowed.Add(m->Kind, m->From, m->To, m->Score, m->Flags);
            }
            if (!allowed.First())
                continue;
            // Expert takes the first of the sorted list, so that a search is repeatable; the
            // other levels draw among the near-best moves as the built-in player does.
            const TMoveRecord chosen = job->Level == LevelExpert
                ? *allowed.First()
                : ChooseMove(allowed, job->Level, m_Rng);
            best = MoveName(board, chosen.From, chosen.To);
            const long long elapsed = MillisecondsSince(job->Start);
            const double seconds = std::max(1e-3, FractionalMillisecondsSince(job->Start) / 1000);
            const TSearchValue value = ValueOfCandidate(board, side, depth, job->LastFrom, chosen);
            const std::string score = value.Mate ? "mate " + std::to_string(value.MateMoves)
                                                 : "cp " + std::to_string(value.Centipawns);
            Write("info depth " + std::to_string(depth) + " score " + score + " nodes "
                + std::to_string(totalNodes) + " nps "
                + std::to_string((long long)(double(totalNodes) / seconds)) + " time "
                + std::to_string(elapsed) + " pv " + best);
            if (limits.Nodes > 0 && totalNodes > 0) {
                // Stops a depth that would take far more nodes than are left.
                const double nodesPerMs = double(totalNodes) / std::max(1.0, seconds * 1000);
                const double leftMs = double(limits.Nodes - totalNodes) / nodesPerMs;
                watchdog.SetDeadline(TClock::now()
                    + std::chrono::milliseconds(std::max(1LL, (long long)(leftMs * 1.5))));
                if (totalNodes >= limits.Nodes)
                    break;
            }
        }
    }
    {
        // An infinite search answers only when told to stop, a ponder search not before the
        // ponder hit.
        std::unique_lock lock(m_StopMutex);
        m_StopChanged.wait(
            lock, [&] { return m_StopRequested || (!limits.Infinite && !m_Pondering); });
    }
    Write("bestmove " + best);
    m_Searching = false;
}

int RunUciLoop(int inputFd, std::FILE* out) {
    // A reader that went away must not end the process before it has cleaned up.
    std::signal(SIGPIPE, SIG_IGN);
    TUciEngine engine([out](const std::string& line) {
        std::fwrite(line.data(), 1, line.size(), out);
        std::fputc('\n', out);
        std::fflush(out);
    });
    std::string line;
    bool overlong = false;
    char buffer[1 << 16];
    for (;;) {
        const ssize_t count = read(inputFd, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            break;
        const char* p = buffer;
        const char* const end = buffer + count;
        while (p < end) {
            const char* newline = static_cast<const char*>(std::memchr(p, '\n', size_t(end - p)));
            const char* const stop = newline ? newline : end;
            if (!overlong) {
                if (line.size() + size_t(stop - p) > TUciEngine::MaxLineBytes) {
                    overlong = true;
                    line.clear();
                    line.shrink_to_fit();
                } else {
                    line.append(p, stop);
                }
            }
            if (!newline)
                break;
            p = newline + 1;
            if (overlong) {
                engine.RefuseLongLine();
                overlong = false;
                continue;
            }
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            const bool more = engine.HandleLine(line);
            line.clear();
            if (!more)
                return 0;
        }
    }
    // The end of the input ends the program as "quit" does; a last line without its line end is
    // still read.
    if (overlong)
        engine.RefuseLongLine();
    else if (!line.empty() && !engine.HandleLine(line))
        return 0;
    engine.HandleLine("quit");
    return 0;
}
