#pragma once

// The game controller: the one place through which every move and every change of a game's state
// passes. It owns the game board, a second board kept in step for the computer player, the
// computer player, the move list, the two player records and the one-second clock, and tells the
// windows what happened through its events. Main thread only.

#include "Player.h"
#include "UnitChessAI.h"
#include "UnitChessBoard.h"
#include "UnitMoveList.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>

enum TGameKind : uint8_t { gkLocal = 0, gkHost = 1, gkClient = 2 };
enum TGameState : uint8_t { gsIdle = 0, gsStopped = 1, gsPlaying = 2, gsPaused = 3 };

class TChessGame : public QObject {
    Q_OBJECT

public:
    static constexpr const char* Magic = "WintermootGame";
    static constexpr uint16_t FileVersion = 101;
    static constexpr uint16_t MinFileVersion = 100;
    static constexpr int16_t ProtocolVersion = 320;

    explicit TChessGame(QObject* parent = nullptr);
    ~TChessGame() override;
    TChessGame(const TChessGame&) = delete;
    TChessGame& operator=(const TChessGame&) = delete;

    // The record of colour 0 (white) or 1 (black); none for any other value.
    TPlayer* GetPlayer(uint8_t colour);
    const TPlayer* GetPlayer(uint8_t colour) const;

    // Starts a new game, or continues a freshly loaded one (the board is not Modified).
    void StartGame();
    // Each acts only in its matching state (playing; paused; playing or paused), so a repeated
    // command does nothing.
    void PauseGame();
    void ResumeGame();
    void StopGame();
    // Passes the move to the other colour and wakes the computer player when it is to move.
    void NextTurn();
    // A move of a person (at this machine or across the network). Ignored unless a game is
    // playing, both players are ready, no promotion waits for its piece and the side to move is a
    // person. Squares off the board throw ERangeError and change nothing. Returns the move's
    // flags, mrInvalid for a refused move, or 0 when the call was ignored.
    TMoveResult PlayMove(TPoint from, TPoint to);
    // Completes the promotion that the last move left waiting, with kind 1 rook .. 4 queen. Any
    // other kind, or no waiting promotion, is ignored.
    void Promote(uint8_t kind);
    // Takes back the last move, or the computer's reply and the person's move before it. Only
    // while playing.
    void UndoMove();
    // A network game's local player declares itself ready; does nothing in a local game.
    void SetReady();
    // The last move is a pawn's arrival on the last rank whose piece has not been chosen yet.
    bool PromotionPending() const;

    // Saved games. SaveGame writes only while a game is playing or paused, through a temporary
    // file that replaces the target when complete, so a failed save leaves an existing file as
    // it was. LoadGame reads the whole file and checks it before anything changes; a file that
    // cannot be read or fails a check leaves the controller exactly as it was. Both answer
    // whether they succeeded.
    bool SaveGame(const QString& fileName);
    bool LoadGame(const QString& fileName);
    // The game body: board, moves, both players and the colour to move.
    void WriteGame(std::ostream& out) const;
    // Reads a game body of the given file version (19-byte moves above 100, 17-byte moves
    // otherwise) and replaces the game with it. Throws EStreamError for a short stream or a bad
    // value, leaving the controller unchanged.
    void ReadGame(std::istream& in, uint16_t version);

    int SearchDepth() const;
    void SetSearchDepth(int depth);
    TChessAI& ComputerPlayer() { return *m_ComputerPlayer; }

    // Handler of the computer player's OnMoveFound: plays the move it found.
    void ComputerMoved();

public slots:
    // One second of the clock: the player to move has used one more second.
    void ClockTick();

public:
    TGameKind GameKind = gkLocal;
    TGameState GameState = gsIdle;
    std::string HostAddress;
    uint8_t HostColour = pcWhite;
    uint8_t PendingCode = 0;
    bool NetworkActive = false;
    bool GameLoaded = false;
    TChessBoard Board;
    TChessBoard SearchBoard;
    TMoveList Moves;
    TPlayer WhitePlayer;
    TPlayer BlackPlayer;
    TPieceColour Turn = pcWhite;

    // Events, called only when assigned.
    std::function<void()> OnNetworkError;
    std::function<void()> OnClockTick;
    std::function<void()> OnOpponentJoined;
    std::function<void()> OnDisconnected;
    std::function<void()> OnReadyChanged;
    std::function<void(const std::string& text)> OnChatReceived;
    std::function<void()> OnTurnChanged;
    std::function<void()> OnGameStarted;
    std::function<void()> OnGamePaused;
    std::function<void()> OnGameResumed;
    std::function<void()> OnGameStopped;
    std::function<void(TPoint from, TPoint to, TMoveResult flags)> OnMovePlayed;
    std::function<void(TPoint from, TPoint to, TMoveResult flags)> OnInvalidMove;
    std::function<void(TPoint square, TMoveResult flags)> OnPromoted;
    std::function<void()> OnUndoRequested;
    std::function<void(TMoveResult flags)> OnMoveUndone;

    QTimer& Clock() { return m_Clock; }

private:
    struct TGameBody;

    TPlayer& PlayerOf(TPieceColour colour) { return colour == pcWhite ? WhitePlayer : BlackPlayer; }
    TMoveResult ExecuteMove(TPoint from, TPoint to);
    void CompletePromotion(uint8_t kind);
    void SetStatusAfterMove(TPieceColour mover, TMoveResult flags);
    // Takes back the last move of the list on both boards; mrInvalid when the board refused.
    TMoveResult UndoLastMove();
    void ThinkIfComputerToMove();
    void CancelSearch();
    static void ParseGameBody(std::istream& in, uint16_t version, TGameBody& body);
    void ApplyGameBody(TGameBody& body);

    // The mover of the current turn is the player at this machine (always so in a local game).
    bool IsLocalMover() const;
    // Hand-offs to the network connection, called where a network game tells its opponent; a
    // local game has no connection and they send nothing.
    void SendMove(TPoint from, TPoint to);
    void SendPromotion(uint8_t kind);
    void SendStateCommand(TGameState state);
    void SendTime(int32_t seconds);

    QTimer m_Clock;
    std::unique_ptr<TChessAI> m_ComputerPlayer;
    // A computer's move that arrived while the game was paused; played on resume.
    std::optional<TMoveRecord> m_HeldComputerMove;
    // Counts started and loaded games, so that an operation notices when an event handler
    // replaced the game under it.
    uint64_t m_GameSerial = 0;
};
