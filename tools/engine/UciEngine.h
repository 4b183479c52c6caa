#pragma once

// The computer player behind the Universal Chess Interface: the commands of one line each, a
// search on a thread of its own that deepens one level at a time with the built-in player's
// search, and the answers written through a function given by the owner.
//
// Every line is outside input: an unknown command, a bad option value, an unreadable or illegal
// FEN or move is answered with an "info string" line naming it and changes nothing.

#include "UnitChessBoard.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

class TTranspositionTable;

// What a "go" command asks for. Times are in milliseconds; -1 for not given.
struct TGoLimits {
    int Depth = 0;
    long long MoveTime = -1;
    long long Time[2] = { -1, -1 };
    long long Increment[2] = { 0, 0 };
    int MovesToGo = 0;
    long long Nodes = 0;
    bool Infinite = false;
    // "go ponder": no bestmove before "ponderhit" or "stop"; the limits count from the hit.
    bool Ponder = false;
    std::vector<std::pair<TPoint, TPoint>> SearchMoves;
};

// The time a search with a clock allows itself: a share of the remaining time (a 30th, or the
// remaining time over the moves to the next time control) plus three quarters of the increment,
// never more than the remaining time less a safety margin. At least 1 ms.
long long AllottedMilliseconds(long long remaining, long long increment, int movesToGo);

class TUciEngine {
public:
    // Receives each line of output, without its line end; called from the thread that handles the
    // input and from the search thread, never from two at once.
    using TWriter = std::function<void(const std::string& line)>;

    // The built-in levels, as the game numbers them.
    static constexpr int LevelExpert = 0;
    static constexpr int LevelSkilled = 1;
    static constexpr int LevelNovice = 2;
    static constexpr int DefaultDepth = 3;
    static constexpr int MaxDepth = 15;
    static constexpr int DefaultHashMegabytes = 64;
    static constexpr int MaxHashMegabytes = 4096;
    static constexpr int MaxThreads = 256;
    // Longer input lines are refused unread.
    static constexpr size_t MaxLineBytes = size_t(1) << 20;

    explicit TUciEngine(TWriter write);
    // Stops a running search and waits for it.
    ~TUciEngine();
    TUciEngine(const TUciEngine&) = delete;
    TUciEngine& operator=(const TUciEngine&) = delete;

    // Handles one line of input (its line end removed). Returns false once "quit" was read; the
    // search has then ended.
    bool HandleLine(std::string_view line);
    // Reports a line that was longer than MaxLineBytes and dropped.
    void RefuseLongLine();
    // Stops a running search, which then writes its bestmove, and waits until it has.
    void StopSearch();
    bool Searching() const;
    // The position of the last good "position" command, as FEN; only while no search runs.
    std::string PositionFen() const;

    // Makes the random choice of the novice and skilled levels repeatable.
    void Seed(uint32_t seed);

private:
    struct TJob;
    class TWatchdog;

    void Write(const std::string& line);
    void Info(const std::string& text);
    void CommandUci();
    void CommandSetOption(const std::vector<std::string>& words, size_t at);
    void CommandPosition(const std::vector<std::string>& words, size_t at);
    void CommandGo(const std::vector<std::string>& words, size_t at);
    void Search(std::unique_ptr<TJob> job);
    // "ponderhit": the ponder search goes on as an ordinary one from now.
    void PonderHit();
    std::shared_ptr<TTranspositionTable> TableForSearch();
    bool SetHash(int megabytes);

    mutable std::mutex m_OutputMutex;
    TWriter m_Write;

    // The position of the last good "position" command.
    std::unique_ptr<TChessBoard> m_Board;
    TPieceColour m_Side = pcWhite;
    TPoint m_LastFrom;

    int m_Level = LevelExpert;
    int m_Depth = DefaultDepth;
    int m_Threads = 1;
    int m_HashMegabytes = DefaultHashMegabytes;
    // Made when first needed; replaced by a "Hash" option. A search holds its own reference.
    std::shared_ptr<TTranspositionTable> m_Table;
    bool m_TableFailed = false;
    std::mt19937 m_Rng;

    std::thread m_SearchThread;
    std::atomic<bool> m_Cancel { false };
    std::atomic<bool> m_Searching { false };
    std::mutex m_StopMutex;
    std::condition_variable m_StopChanged;
    bool m_StopRequested = false;
    // Under m_StopMutex: a ponder search waits for its hit, which sets the search's deadline
    // through its watchdog (while the search has one) from the hit's time.
    bool m_Pondering = false;
    std::chrono::steady_clock::time_point m_PonderHitAt;
    long long m_PonderBudget = -1;
    TWatchdog* m_PonderWatchdog = nullptr;
};

// Reads commands from the file descriptor until "quit" or the end of the input and answers on
// `out`. Lines longer than TUciEngine::MaxLineBytes are dropped with an "info string"; bytes of any
// value are read safely. Returns the exit status, 0.
int RunUciLoop(int inputFd, std::FILE* out);
