#pragma once

// The game controller: the one place through which every move and every change of a game's state
// passes. It owns the game board, a second board kept in step for the computer player, the
// computer player's search, the move list, the two player records, the agents that choose each
// side's moves, the one-second clock and the network link, and tells the windows what happened
// through its events. Main thread only.

#include "DrawRules.h"
#include "GameResult.h"
#include "NetworkLink.h"
#include "NetworkMessages.h"
#include "Player.h"
#include "PlayerAgent.h"
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
#include <vector>

class TComputerSearch;
class TNetworkOpponent;

enum TGameKind : uint8_t { gkLocal = 0, gkHost = 1, gkClient = 2 };
enum TGameState : uint8_t { gsIdle = 0, gsStopped = 1, gsPlaying = 2, gsPaused = 3 };
// Why the last disconnected() of a host was raised: the opponent went (it said so, closed or
// reset its connection), or it did not declare itself ready in time and was let go.
enum TDisconnectCause : uint8_t { dcPeerLeft = 0, dcPeerNotReady = 1 };

class TChessGame : public QObject {
    Q_OBJECT

public:
    static constexpr const char* Magic = "WintermootGame";
    static constexpr uint16_t FileVersion = 101;
    static constexpr uint16_t MinFileVersion = 100;
    static constexpr int16_t ProtocolVersion = TNetworkLink::ProtocolVersion;
    // The most moves a game can hold; the move that fills the list ends the game.
    static constexpr uint16_t MaxMoves = UINT16_MAX;

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
    // Passes the move to the other colour and asks the agent of the side now to move for a move.
    void NextTurn();
    // A move of the person at this machine. Ignored unless a game is playing, both players are
    // ready, no promotion waits for its piece and the agent of the side to move takes input.
    // Squares off the board throw ERangeError and change nothing. Returns the move's flags,
    // mrInvalid for a refused move, or 0 when the call was ignored.
    TMoveResult PlayMove(TPoint from, TPoint to);
    // Completes the promotion that the last move left waiting, with kind 1 rook .. 4 queen. Any
    // other kind, or no waiting promotion, is ignored.
    void Promote(uint8_t kind);
    // Takes back the last move, or the computer's reply and the person's move before it. Only
    // while playing.
    void UndoMove();
    // Ends a playing or paused game as lost by ForfeitingColour: stops it as StopGame does, then
    // emits gameEnded. Does nothing in any other state.
    void Forfeit();
    // The side that a forfeit now would give up: in a network game the player at this machine;
    // against the computer the person, whoever is to move; otherwise the side to move.
    TPieceColour ForfeitingColour() const;

    // Network play (ChessGameNetwork.cpp); the connection itself is the link's (Link()).
    // A network game's local player declares itself ready; does nothing in a local game or while
    // a game is playing or paused.
    void SetReady();
    // Opens network play in the role of GameKind: a host listens, a client connects to the
    // address (a host name or a dotted address). A link left open by the previous game is
    // closed first, as CloseLink does. False, with no event, when the host cannot listen or the
    // address is empty; the caller reports it. A client's connection that is refused, names an
    // unknown host or is not made within ConnectTimeout is reported later through
    // connectFailed. Always false in a local game.
    bool Connect(const std::string& address);
    // Leaves the current link without a word to this side's windows: tells the peer, closes the
    // sockets and stops a game played over them. Emits no disconnected, since the user is
    // the one leaving; used before every new game.
    void CloseLink();
    // Ends network play in two phases. The first tells the peer, clears NetworkActive and raises
    // disconnected; the peer answers in kind and that answer, or the next call, closes the
    // sockets. With no peer to answer, both phases run at once.
    void Disconnect();
    // Why the last disconnected() was raised.
    TDisconnectCause DisconnectCause() const { return m_DisconnectCause; }
    // The next StartGame continues the game on the board: it was loaded (from a file, a PGN game
    // or the host's game state) and has not been played on since.
    bool ContinuesLoadedGame() const;
    // Asks the network opponent to take back the last move.
    void RequestUndo();
    // Takes back the last move after the opponent asked, and tells the opponent.
    void AcceptUndo();
    // Sends a chat line (cut to 255 bytes at a character boundary); nothing in a local game.
    void SendChat(const std::string& text);
    // The port of network play: 2570, or WINTERMOOT_PORT when it holds 1..65535, or 0 (a host
    // then listens on any free port; a client takes 2570). Other values give 2570.
    static uint16_t NetworkPort() { return TNetworkLink::NetworkPort(); }
    static constexpr int ConnectTimeout = TNetworkLink::ConnectTimeout;
    // Host: the connections whose greeting is under way.
    int GreetingsUnderWay() const { return m_Link.GreetingsUnderWay(); }
    // The port the host listens on after Connect, 0 when not listening.
    uint16_t ListeningPort() const { return m_Link.ListeningPort(); }
    // A client is connected to this host, or this client's connection is up.
    bool PeerConnected() const { return m_Link.PeerConnected(); }
    // The link, for its limits (GreetingTimeout, StallTimeout, OutputLimit, MaxGreetings).
    TNetworkLink& Link() { return m_Link; }
    const TNetworkLink& Link() const { return m_Link; }
    // The last move is a pawn's arrival on the last rank whose piece has not been chosen yet.
    bool PromotionPending() const;

    // Saved games. SaveGame writes only while a game is playing or paused, or after a player's
    // failure stopped it (until the next game is started or loaded), through a temporary
    // file that replaces the target when complete, so a failed save leaves an existing file as
    // it was. LoadGame reads the whole file and checks it before anything changes; a file that
    // cannot be read or fails a check leaves the controller exactly as it was. Both answer
    // whether they succeeded.
    bool SaveGame(const QString& fileName);
    bool LoadGame(const QString& fileName);
    // Whether LoadGame would accept the file; reads and checks it without changing anything.
    static bool IsGameFile(const QString& fileName);
    // The game body: board, moves, both players and the colour to move.
    void WriteGame(std::ostream& out) const;
    // Reads a game body of the given file version (19-byte moves above 100, 17-byte moves
    // otherwise) and replaces the game with it. Throws EStreamError for a short stream or a bad
    // value, leaving the controller unchanged.
    void ReadGame(std::istream& in, uint16_t version);

    // The built-in computer player's search, shared by every side the computer plays.
    int SearchDepth() const;
    void SetSearchDepth(int depth);
    TChessAI& ComputerPlayer();
    const TChessAI& ComputerPlayer() const;

    // Makes the agent of a side. The controller calls it for both sides when a game starts or is
    // loaded; the agent it returns belongs to the controller.
    using TAgentFactory = std::function<std::unique_ptr<TPlayerAgent>(TPieceColour colour)>;
    // Replaces MakeDefaultAgent from the next game on; an empty factory restores it.
    void SetAgentFactory(TAgentFactory factory);
    // In a network game the person at this machine plays the local colour and the network
    // opponent the other; in a local game a player record marked Human is the person at this
    // machine and any other the built-in computer at the record's Level.
    std::unique_ptr<TPlayerAgent> MakeDefaultAgent(TPieceColour colour);
    // The agent of a side; none before the first game is started or loaded.
    TPlayerAgent* Agent(TPieceColour colour) const;

    // The draw rules (threefold repetition, fifty moves, insufficient material) end a local game
    // when DeclareDraws is set or when neither side is played by the person at this machine;
    // never a network game, whose protocol has no word for them.
    bool DrawRulesApply() const;
    // The draw rule that the last move met, once it is played and until it is taken back; none
    // when the rules do not apply or the position meets none. The game ends with it.
    std::optional<TGameEndReason> DrawByRule() const { return m_DrawReason; }

signals:
    // What happened, for the windows and tools that follow the game. Connections are direct:
    // each signal is delivered before the call that emitted it returns.
    // The link failed, a message could not be read or the peer broke the protocol.
    void networkError();
    // One second passed on the clock of the player to move.
    void clockTicked();
    // The host has a client, or the client has joined its host.
    void opponentJoined();
    // The peer left (it said so, its connection closed or was reset, or a host let go an
    // opponent that was not ready in time; see DisconnectCause), or this side's disconnect is
    // under way.
    void disconnected();
    // A player's ready flag changed.
    void readyChanged();
    // A chat line from the opponent, in UTF-8.
    void chatReceived(const std::string& text);
    // The colour to move changed.
    void turnChanged();
    void gameStarted();
    void gamePaused();
    void gameResumed();
    void gameStopped();
    // A move was played; mrPromotion in the flags means its piece is still to be chosen.
    void movePlayed(TPoint from, TPoint to, TMoveResult flags);
    // The computer player's move was refused by the rules (a person's refused move is only
    // answered by PlayMove's result).
    void invalidMove(TPoint from, TPoint to, TMoveResult flags);
    // The waiting promotion was completed on the square.
    void promoted(TPoint square, TMoveResult flags);
    // The network opponent asks to take back the last move.
    void undoRequested();
    // A move, or the computer's reply and the move before it, was taken back; the flags tell
    // whether the side to move is in check again.
    void moveUndone(TMoveResult flags);
    // A client's connection could not be made; emitted from the event loop, after Connect has
    // returned.
    void connectFailed();
    // The game has a result: emitted once per game, after the movePlayed or promoted of the
    // move that mates, stalemates, leaves bare kings, meets a draw rule that applies
    // (DrawRulesApply) or fills the move list, and before its
    // gameStopped; after a Forfeit, once the game has stopped. A game that ends otherwise (a
    // stop, the opponent's stop or the loss of the link in a network game, a load, a new game)
    // has no result and emits nothing.
    void gameEnded(TGameResult result, TGameEndReason reason);
    // The agent of `colour` failed: the game was stopped without a result (its moves are kept),
    // and `reason` says what went wrong.
    void playerFailed(TPieceColour colour, const QString& reason);

public slots:
    // One second of the clock: the player to move has used one more second.
    void ClockTick();

public:
    TGameKind GameKind = gkLocal;
    TGameState GameState = gsIdle;
    std::string HostAddress;
    uint8_t HostColour = pcWhite;
    bool NetworkActive = false;
    bool GameLoaded = false;
    TChessBoard Board;
    TChessBoard SearchBoard;
    TMoveList Moves;
    TPlayer WhitePlayer;
    TPlayer BlackPlayer;
    TPieceColour Turn = pcWhite;
    // The user's choice to have the draw rules end games between persons too.
    bool DeclareDraws = false;

    QTimer& Clock() { return m_Clock; }

private:
    struct TGameBody;

    TPlayer& PlayerOf(TPieceColour colour) { return colour == pcWhite ? WhitePlayer : BlackPlayer; }
    // A move of the side to move: typed in through PlayMove (no agent), or chosen by its agent
    // with the promotion piece it takes (0 for one chosen later).
    TMoveResult ExecuteMove(TPoint from, TPoint to, const TPlayerAgent* agent, uint8_t promotion);
    void CompletePromotion(uint8_t kind);
    void SetStatusAfterMove(TPieceColour mover, TMoveResult flags);
    // After the side to move has moved (its promotion complete) with these flags: notes the draw
    // rule the new position meets, when the rules apply and the move did not end the game
    // already; a draw ends both clocks and marks the position as a stalemate does.
    void JudgeDraw(TMoveResult flags);
    // After the move (or completed promotion) of the side to move with these flags: when it
    // ends the game, emits gameEnded and stops the game, and answers true.
    bool EndAfterMove(TMoveResult flags);
    // Takes back the last move of the list on both boards; mrInvalid when the board refused.
    TMoveResult UndoLastMove();
    // Replaces both agents by the factory's.
    void MakeAgents();
    // Asks the agent of the side to move for its move, once a turn, while a game is on.
    void AskAgentToMove();
    // Cancels both agents and forgets a move held during a pause.
    void CancelAgents();
    void AgentMoved(const TPlayerAgent* agent, TPoint from, TPoint to, uint8_t promotion);
    void AgentFailed(const TPlayerAgent* agent, const QString& reason);
    // The agent of the opponent across the network; none in a local game.
    TNetworkOpponent* NetworkOpponent() const;
    static void ParseGameBody(std::istream& in, uint16_t version, TGameBody& body);
    // Reads and checks a whole saved game into body; false for a file LoadGame refuses.
    static bool ReadGameFile(const QString& fileName, TGameBody& body);
    void ApplyGameBody(TGameBody& body);

    // The mover of the current turn is the player at this machine (always so in a local game).
    bool IsLocalMover() const;

    // Network play (ChessGameNetwork.cpp): the game's side of the link.
    // A move, promotion, undo request or undo of the opponent, as the link delivered it.
    struct TGameMessage {
        uint8_t Code = 0;
        TPoint From;
        TPoint To;
        uint8_t Kind = 0;
    };
    // Hand-offs to the link, called where a network game tells its opponent; with no connected
    // peer they send nothing.
    void SendMove(TPoint from, TPoint to);
    void SendPromotion(uint8_t kind);
    void SendStateCommand(TGameState state);
    void SendTime(int32_t seconds);
    // Host: sends the clock of the player to move.
    void SendClock();
    // Replaces the game by a new one at the initial position, as StartGame does for a board that
    // was played on; the names and the kinds of the players stay.
    void ClearGame();
    // Host: the opponent's name goes with its connection.
    void ForgetOpponent();
    void ConnectLink();
    // Runs a receiver of what arrived; one that throws refuses the message and ends the link.
    template <typename TAction> void ActOnArrival(TAction&& action);
    // Forgets everything the last connection said or was waiting for, so that nothing carries
    // over to the next one.
    void ResetConnectionState();
    // After the connection went: the opponent's ready goes with it, unless a game is on.
    void ConnectionGone(bool hadConnection);
    void CloseSockets();
    void LinkConnectFailed();
    void PeerLeft();
    void PeerNotReady();
    // Client: (re)starts the watch on the host's clock while a game is played, stops it
    // otherwise.
    void WatchHost();
    void HostFellSilent();
    void LinkFailed();
    void HostNameArrived(const std::string& name);
    void PeerJoined(const std::string& name);
    void HostColourArrived(uint8_t colour);
    void GameStateArrived(const std::string& payload);
    void HandleCommand(TNetCommand command);
    void GameMessageArrived(const TGameMessage& message);
    // Refuses what cannot be held during a pause; answers whether the message is held.
    bool HoldGameMessage(const TGameMessage& message);
    void ActOnGameMessage(const TGameMessage& message);
    void ReplayHeldMessages(uint64_t serial);
    void StartWhenBothReady();
    TPieceColour LocalColour() const;

    TNetworkLink m_Link { this };
    // Moves, promotions and undo messages that arrived while the game was paused, played once
    // it resumes: the opponent sent them before it learnt of the pause. At most one of each code.
    std::vector<TGameMessage> m_HeldMessages;
    // This side asked for an undo and has not had it yet; an undo is taken only as its answer.
    bool m_UndoRequested = false;
    // The number of moves when the user was last asked about the opponent's undo request.
    int m_UndoAskedAt = -1;
    TDisconnectCause m_DisconnectCause = dcPeerLeft;
    // Client: runs while a game is played, restarted by each of the host's clock ticks.
    QTimer m_HostSilence;
    // Counts the links Connect opened, so that Disconnect notices a handler that opened another.
    uint64_t m_LinkSerial = 0;

    QTimer m_Clock;
    std::unique_ptr<TComputerSearch> m_Search;
    TAgentFactory m_AgentFactory;
    // Children of the controller, replaced for each game.
    TPlayerAgent* m_Agents[2] = { nullptr, nullptr };
    // The agent of the side to move has been asked for this turn's move.
    bool m_TurnAsked = false;
    // The game was stopped by a player's failure: it stays on the board and may still be saved.
    bool m_StoppedByFailure = false;
    // An agent's move that arrived while the game was paused, with its promotion piece; played
    // on resume.
    std::optional<TMoveRecord> m_HeldMove;
    // Counts started and loaded games, so that an operation notices when an event handler
    // replaced the game under it.
    uint64_t m_GameSerial = 0;
    // The positions since the last capture or pawn move, while the draw rules apply.
    TDrawTracker m_Draws;
    std::optional<TGameEndReason> m_DrawReason;
};
