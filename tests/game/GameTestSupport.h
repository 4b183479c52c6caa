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
        QObject::connect(&game, &TChessGame::networkError, &Context, note("NetworkError"));
        QObject::connect(&game, &TChessGame::clockTicked, &Context, note("ClockTick"));
        QObject::connect(&game, &TChessGame::opponentJoined, &Context, note("OpponentJoined"));
        QObject::connect(&game, &TChessGame::disconnected, &Context, note("Disconnected"));
        QObject::connect(&game, &TChessGame::readyChanged, &Context, note("ReadyChanged"));
        QObject::connect(&game, &TChessGame::chatReceived, &Context,
            [this](const std::string&) { Events.push_back("ChatReceived"); });
        QObject::connect(&game, &TChessGame::turnChanged, &Context, note("TurnChanged"));
        QObject::connect(&game, &TChessGame::gameStarted, &Context, note("GameStarted"));
        QObject::connect(&game, &TChessGame::gamePaused, &Context, note("GamePaused"));
        QObject::connect(&game, &TChessGame::gameResumed, &Context, note("GameResumed"));
        QObject::connect(&game, &TChessGame::gameStopped, &Context, note("GameStopped"));
        QObject::connect(&game, &TChessGame::movePlayed, &Context,
            [this](TPoint from, TPoint to, TMoveResult flags) {
                Events.push_back("MovePlayed " + SquareName(from) + SquareName(to) + " "
                    + std::to_string(flags));
            });
        QObject::connect(
            &game, &TChessGame::invalidMove, &Context, [this](TPoint from, TPoint to, TMoveResult) {
                Events.push_back("InvalidMove " + SquareName(from) + SquareName(to));
            });
        QObject::connect(
            &game, &TChessGame::promoted, &Context, [this](TPoint square, TMoveResult flags) {
                Events.push_back("Promoted " + SquareName(square) + " " + std::to_string(flags));
            });
        QObject::connect(&game, &TChessGame::undoRequested, &Context, note("UndoRequested"));
        QObject::connect(&game, &TChessGame::moveUndone, &Context,
            [this](TMoveResult flags) { Events.push_back("MoveUndone " + std::to_string(flags)); });
        QObject::connect(&game, &TChessGame::connectFailed, &Context, note("ConnectFailed"));
    }

    // Receives the log's connections, so that a log that goes before its game hears no more.
    QObject Context;

    size_t Count(const std::string& prefix) const {
        size_t n = 0;
        for (const std::string& e : Events)
            n += e.rfind(prefix, 0) == 0;
        return n;
    }

    std::vector<std::string> Events;
};
