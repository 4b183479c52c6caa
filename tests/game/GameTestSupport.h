#pragma once

// Helpers of the controller tests: positions from FEN, waiting on the Qt event loop, and a log of
// the controller's events in the order they were raised.

#include "Fen.h"
#include "UnitChessGame.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <functional>
#include <string>
#include <vector>

// Puts the position on both boards as if it had just been loaded, so StartGame continues it.
inline void SetUpPosition(TChessGame& game, const std::string& fen) {
    TChessBoard board;
    game.Turn = LoadFen(board, fen);
    game.Board.Assign(board);
    game.SearchBoard.Assign(board);
}

inline void SetPlayers(TChessGame& game, bool whiteHuman, bool blackHuman) {
    game.WhitePlayer = TPlayer { 0, whiteHuman, "White" };
    game.BlackPlayer = TPlayer { 0, blackHuman, "Black" };
}

// Runs the event loop until the condition holds or the time is up; answers the condition.
inline bool WaitUntil(const std::function<bool()>& done, int milliseconds = 20000) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > milliseconds)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

// Lets queued work run for a while, for checks that something does not happen.
inline void RunEventsFor(int milliseconds) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < milliseconds)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

inline TPoint Sq(const char* name) {
    return MakePoint(name[0] - 'a' + 1, name[1] - '0');
}

inline std::string Position(const TChessGame& game) {
    return SaveFen(game.Board, game.Turn);
}

struct TEventLog {
    // Subscribes to every event of the controller; each entry names the event and its flags.
    explicit TEventLog(TChessGame& game) {
        auto note = [this](std::string name) { return [this, name] { Events.push_back(name); }; };
        game.OnNetworkError = note("NetworkError");
        game.OnClockTick = note("ClockTick");
        game.OnOpponentJoined = note("OpponentJoined");
        game.OnDisconnected = note("Disconnected");
        game.OnReadyChanged = note("ReadyChanged");
        game.OnChatReceived = [this](const std::string&) { Events.push_back("ChatReceived"); };
        game.OnTurnChanged = note("TurnChanged");
        game.OnGameStarted = note("GameStarted");
        game.OnGamePaused = note("GamePaused");
        game.OnGameResumed = note("GameResumed");
        game.OnGameStopped = note("GameStopped");
        game.OnMovePlayed = [this](TPoint from, TPoint to, TMoveResult flags) {
            Events.push_back(
                "MovePlayed " + SquareName(from) + SquareName(to) + " " + std::to_string(flags));
        };
        game.OnInvalidMove = [this](TPoint from, TPoint to, TMoveResult) {
            Events.push_back("InvalidMove " + SquareName(from) + SquareName(to));
        };
        game.OnPromoted = [this](TPoint square, TMoveResult flags) {
            Events.push_back("Promoted " + SquareName(square) + " " + std::to_string(flags));
        };
        game.OnUndoRequested = note("UndoRequested");
        game.OnMoveUndone = [this](TMoveResult flags) {
            Events.push_back("MoveUndone " + std::to_string(flags));
        };
        game.OnConnectFailed = note("ConnectFailed");
    }

    size_t Count(const std::string& prefix) const {
        size_t n = 0;
        for (const std::string& e : Events)
            n += e.rfind(prefix, 0) == 0;
        return n;
    }

    std::vector<std::string> Events;
};
