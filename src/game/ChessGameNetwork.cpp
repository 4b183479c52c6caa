// Network play of the game controller: the game's side of the link (TNetworkLink). The
// controller sends each of its player's actions through the link and acts on the opponent's as
// the link delivers them, decoded and checked against the protocol.
//
// What the link cannot judge without the game is checked here: a promotion with none pending, a
// host colour or a game state in the middle of a game, a game state that would not load as a
// file or has no room for another move, more than a real opponent could have sent during a
// pause. Such a message is refused through the link, which closes the connection; the game ends
// and networkError follows. The controller's game is never left half changed.

#include "NetworkOpponent.h"
#include "ShortString.h"
#include "UnitChessGame.h"

#include <iterator>
#include <sstream>
#include <stdexcept>
#include <utility>

namespace {

class EProtocolError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace

template <typename TAction> void TChessGame::ActOnArrival(TAction&& action) {
    const uint64_t connection = m_Link.ConnectionId();
    try {
        action();
    } catch (const std::exception&) {
        m_Link.Refuse(connection);
    }
}

void TChessGame::ConnectLink() {
    m_HostSilence.setSingleShot(true);
    connect(&m_HostSilence, &QTimer::timeout, this, [this] { HostFellSilent(); });
    connect(&m_Link, &TNetworkLink::greetingStarted, this, [this] {
        // A host whose last opponent left is still waiting for the next one.
        NetworkActive = true;
    });
    connect(&m_Link, &TNetworkLink::peerJoined, this,
        [this](const std::string& name) { ActOnArrival([&] { PeerJoined(name); }); });
    connect(&m_Link, &TNetworkLink::nameArrived, this,
        [this](const std::string& name) { ActOnArrival([&] { HostNameArrived(name); }); });
    connect(&m_Link, &TNetworkLink::hostColourArrived, this,
        [this](uint8_t colour) { ActOnArrival([&] { HostColourArrived(colour); }); });
    connect(&m_Link, &TNetworkLink::gameStateArrived, this,
        [this](const std::string& body) { ActOnArrival([&] { GameStateArrived(body); }); });
    connect(&m_Link, &TNetworkLink::timeArrived, this, [this](int32_t seconds) {
        ActOnArrival([&] {
            PlayerOf(Turn).Time = seconds;
            WatchHost();
            emit clockTicked();
        });
    });
    connect(&m_Link, &TNetworkLink::moveArrived, this, [this](TPoint from, TPoint to) {
        GameMessageArrived(TGameMessage { ncMove, from, to, 0 });
    });
    connect(&m_Link, &TNetworkLink::promotionArrived, this, [this](uint8_t kind) {
        GameMessageArrived(TGameMessage { ncPromotion, {}, {}, kind });
    });
    connect(&m_Link, &TNetworkLink::undoRequestArrived, this, [this] {
        GameMessageArrived(TGameMessage { ncUndoRequest, {}, {}, 0 });
    });
    connect(&m_Link, &TNetworkLink::undoArrived, this, [this] {
        GameMessageArrived(TGameMessage { ncUndo, {}, {}, 0 });
    });
    connect(&m_Link, &TNetworkLink::commandArrived, this,
        [this](TNetCommand command) { ActOnArrival([&] { HandleCommand(command); }); });
    connect(&m_Link, &TNetworkLink::chatArrived, this,
        [this](const std::string& text) { ActOnArrival([&] { emit chatReceived(text); }); });
    connect(&m_Link, &TNetworkLink::connectFailed, this, [this] { LinkConnectFailed(); });
    connect(&m_Link, &TNetworkLink::peerLeft, this, [this] { PeerLeft(); });
    connect(&m_Link, &TNetworkLink::peerNotReady, this, [this] { PeerNotReady(); });
    connect(&m_Link, &TNetworkLink::failed, this, [this] { LinkFailed(); });
    connect(&m_Link, &TNetworkLink::networkError, this, &TChessGame::networkError);
}

TPieceColour TChessGame::LocalColour() const {
    const auto host = static_cast<TPieceColour>(HostColour);
    switch (GameKind) {
    case gkHost:
        return host;
    case gkClient:
        return Opponent(host);
    case gkLocal:
        break;
    }
    return Turn;
}

bool TChessGame::Connect(const std::string& address) {
    CloseLink();
    ++m_LinkSerial;
    WhitePlayer.Ready = false;
    BlackPlayer.Ready = false;
    HostAddress = CutUtf8(address, ShortStringMax);
    if (GameKind == gkLocal)
        return false;
    const uint16_t port = NetworkPort();
    if (GameKind == gkHost && !m_Link.Listen(port))
        return false;
    // Set before the client's connection is asked for: a failure found at once clears it.
    NetworkActive = true;
    if (GameKind == gkClient && !m_Link.ConnectTo(HostAddress, port)) {
        NetworkActive = false;
        return false;
    }
    return true;
}

void TChessGame::CloseLink() {
    ++m_LinkSerial;
    if (NetworkActive) {
        m_Link.SendCommand(cmDisconnect);
        NetworkActive = false;
    }
    const bool linked = m_Link.IsOpen();
    CloseSockets();
    // A game over a link that is gone cannot go on.
    if (linked)
        StopGame();
}

void TChessGame::Disconnect() {
    if (NetworkActive) {
        // Cleared first: a write that finds the connection gone lets the peer's leaving be
        // handled at once, and it must not be told as a second disconnection.
        NetworkActive = false;
        m_DisconnectCause = dcPeerLeft;
        const bool answerExpected = m_Link.SendDisconnect();
        const uint64_t link = m_LinkSerial;
        emit disconnected();
        // The peer's answer closes the sockets; a handler that opened a new link keeps it.
        if (answerExpected || link != m_LinkSerial)
            return;
    }
    const bool linked = m_Link.IsOpen();
    CloseSockets();
    // A game over a link that is gone cannot go on.
    if (linked)
        StopGame();
}

void TChessGame::CloseSockets() {
    const bool hadConnection = m_Link.HasConnection();
    m_Link.Close();
    ConnectionGone(hadConnection);
}

void TChessGame::ResetConnectionState() {
    m_HostSilence.stop();
    m_HeldMessages.clear();
    m_UndoRequested = false;
    m_UndoAskedAt = -1;
}

void TChessGame::ConnectionGone(bool hadConnection) {
    ResetConnectionState();
    // Readiness was declared to the peer of that connection: the next opponent says it again,
    // and the user here, who may have gone away meanwhile, too.
    if (hadConnection && GameState != gsPlaying && GameState != gsPaused) {
        WhitePlayer.Ready = false;
        BlackPlayer.Ready = false;
    }
}

void TChessGame::ForgetOpponent() {
    // The host waits for another opponent; the one that went is no longer named on its board.
    if (GameKind == gkHost)
        PlayerOf(Opponent(LocalColour())).Name.clear();
}

void TChessGame::LinkConnectFailed() {
    ConnectionGone(true);
    NetworkActive = false;
    // Reported from the event loop, so that a failure found while Connect runs still comes after
    // Connect has answered; a newer link drops it.
    const uint64_t link = m_LinkSerial;
    QMetaObject::invokeMethod(
        this,
        [this, link] {
            if (link == m_LinkSerial)
                emit connectFailed();
        },
        Qt::QueuedConnection);
}

void TChessGame::PeerLeft() {
    ConnectionGone(true);
    StopGame();
    // A peer that went away without a word (closed, reset or killed) is told to the user as one
    // that said goodbye: once. The side that ended the link itself has cleared NetworkActive.
    if (!NetworkActive)
        return;
    // A client has lost its game for good; a host goes on listening for the next opponent.
    if (GameKind == gkClient)
        NetworkActive = false;
    ForgetOpponent();
    m_DisconnectCause = dcPeerLeft;
    emit disconnected();
}

void TChessGame::WatchHost() {
    // While a game is played the host's clock ticks every second, and each tick reaches the
    // client: a client that hears nothing for StallTimeout has lost its host, even when no
    // close or reset ever arrives (a machine switched off, a cable pulled).
    if (GameKind == gkClient && GameState == gsPlaying && m_Link.PeerConnected())
        m_HostSilence.start(m_Link.StallTimeout);
    else
        m_HostSilence.stop();
}

void TChessGame::HostFellSilent() {
    if (GameKind != gkClient || GameState != gsPlaying || !m_Link.PeerConnected())
        return;
    // Let go as a host that left: the user hears it as the connection lost, once.
    m_Link.Abort();
    PeerLeft();
}

void TChessGame::PeerNotReady() {
    ConnectionGone(true);
    ForgetOpponent();
    m_DisconnectCause = dcPeerNotReady;
    emit disconnected();
}

void TChessGame::LinkFailed() {
    ConnectionGone(true);
    StopGame();
    ForgetOpponent();
    if (GameKind == gkClient)
        NetworkActive = false;
}

void TChessGame::SendMove(TPoint from, TPoint to) {
    m_Link.SendMove(from, to);
}

void TChessGame::SendPromotion(uint8_t kind) {
    m_Link.SendPromotion(kind);
}

void TChessGame::SendStateCommand(TGameState state) {
    switch (state) {
    case gsPaused:
        m_Link.SendCommand(cmPause);
        break;
    case gsPlaying:
        m_Link.SendCommand(cmResume);
        if (!m_HeldMessages.empty()) {
            const uint64_t serial = m_GameSerial;
            QMetaObject::invokeMethod(
                this, [this, serial] { ReplayHeldMessages(serial); }, Qt::QueuedConnection);
        }
        break;
    case gsStopped:
        m_HeldMessages.clear();
        m_Link.SendCommand(cmStop);
        // The opponent of the next game declares itself ready again, in time.
        if (GameKind == gkHost)
            m_Link.AwaitPeerReady();
        break;
    case gsIdle:
        break;
    }
    SendClock();
}

void TChessGame::SendClock() {
    // The clock of the player to move, as the host has it: sent whenever it starts or stops and
    // whenever the turn passes, so that the client's display never keeps a tick that raced
    // a move, and a stopped clock shows the same on both sides.
    if (GameKind == gkHost)
        m_Link.SendTime(PlayerOf(Turn).Time);
}

void TChessGame::SendTime(int32_t seconds) {
    m_Link.SendTime(seconds);
}

void TChessGame::SendChat(const std::string& text) {
    if (GameKind == gkLocal)
        return;
    m_Link.SendChat(text);
}

void TChessGame::RequestUndo() {
    if (GameKind == gkLocal || GameState != gsPlaying || Moves.Count() == 0)
        return;
    m_UndoRequested = true;
    m_Link.SendUndoRequest(*Moves.Last());
    SendClock();
}

void TChessGame::AcceptUndo() {
    if (GameState != gsPlaying || Moves.Count() == 0)
        return;
    m_Link.SendUndo(*Moves.Last());
    UndoMove();
}

void TChessGame::SetReady() {
    if (GameKind == gkLocal || GameState == gsPlaying || GameState == gsPaused)
        return;
    PlayerOf(LocalColour()).Ready = true;
    if (GameKind == gkHost) {
        m_Link.SendCommand(cmReady);
        emit readyChanged();
        StartWhenBothReady();
    } else {
        emit readyChanged();
        m_Link.SendCommand(cmReady);
    }
}

void TChessGame::StartWhenBothReady() {
    if (GameState == gsPlaying || GameState == gsPaused || !WhitePlayer.Ready || !BlackPlayer.Ready)
        return;
    m_Link.SendCommand(cmStart);
    StartGame();
}

void TChessGame::PeerJoined(const std::string& name) {
    ResetConnectionState();
    PlayerOf(Opponent(LocalColour())).Name = name;
    m_Link.SendHostColour(HostColour);
    // Only a loaded game that has not been played on since is continued; anything else on the
    // board (a game played against the computer or an engine after it was loaded, a stopped
    // game still held) gives way to the new game, which the client starts from its name.
    if (ContinuesLoadedGame()) {
        std::ostringstream body;
        WriteGame(body);
        m_Link.SendGameState(body.str());
    } else {
        ClearGame();
        m_Link.SendName(PlayerOf(LocalColour()).Name);
    }
    emit opponentJoined();
}

void TChessGame::HostNameArrived(const std::string& name) {
    if (GameState == gsPlaying || GameState == gsPaused)
        throw EProtocolError("the host's name during a game");
    // The host's name opens a new game: whatever this side held (a game of its own, a game state
    // of an earlier host) gives way to the initial position the host starts from.
    ClearGame();
    PlayerOf(static_cast<TPieceColour>(HostColour)).Name = name;
    emit opponentJoined();
}

void TChessGame::HandleCommand(TNetCommand command) {
    const bool host = GameKind == gkHost;
    switch (command) {
    case cmSendName:
        if (!host)
            m_Link.SendName(BlackPlayer.Name);
        return;
    case cmDisconnect:
        ForgetOpponent();
        Disconnect();
        return;
    case cmReady:
        if (GameState == gsPlaying || GameState == gsPaused)
            return;
        PlayerOf(host ? Opponent(LocalColour()) : static_cast<TPieceColour>(HostColour)).Ready
            = true;
        emit readyChanged();
        if (host)
            StartWhenBothReady();
        return;
    case cmStart:
        if (!host && GameState != gsPlaying && GameState != gsPaused)
            StartGame();
        return;
    case cmPause:
        PauseGame();
        return;
    case cmResume:
        ResumeGame();
        return;
    case cmStop:
        StopGame();
        return;
    }
}

void TChessGame::HostColourArrived(uint8_t colour) {
    if (GameState == gsPlaying || GameState == gsPaused)
        throw EProtocolError("the host's colour changed during a game");
    HostColour = colour;
    // The client's own name stood in the black record until it knew its colour.
    if (colour == pcBlack) {
        WhitePlayer.Name = BlackPlayer.Name;
        BlackPlayer.Name.clear();
    }
}

void TChessGame::GameStateArrived(const std::string& payload) {
    if (GameState == gsPlaying || GameState == gsPaused)
        throw EProtocolError("a game state during a game");
    // A game whose move list is full could not be continued by a single move.
    if (MeasureGameState(payload).Moves >= MaxMoves)
        throw EProtocolError("a game state with no room for another move");
    // The reader measured the body by its layout, so reading it uses every byte.
    std::istringstream in(payload);
    ReadGame(in, GameStateVersion);
    emit opponentJoined();
}

void TChessGame::GameMessageArrived(const TGameMessage& message) {
    ActOnArrival([&] {
        if (GameState == gsPaused || !m_HeldMessages.empty()) {
            if (HoldGameMessage(message))
                m_HeldMessages.push_back(message);
        } else {
            ActOnGameMessage(message);
        }
    });
}

void TChessGame::ActOnGameMessage(const TGameMessage& message) {
    switch (message.Code) {
    case ncMove:
        // The opponent moves only its own pieces.
        if (IsLocalMover())
            return;
        if (TNetworkOpponent* opponent = NetworkOpponent())
            opponent->MoveArrived(message.From, message.To);
        return;
    case ncPromotion:
        // A promotion follows the opponent's own move to the last rank, never anything else.
        if (IsLocalMover() || !PromotionPending()) {
            if (GameState == gsPlaying)
                throw EProtocolError("a promotion with none pending");
            return;
        }
        Promote(message.Kind);
        return;
    case ncUndoRequest:
        // The user is asked once about a position: the same request again, while the question
        // is open or after it was answered, asks nothing.
        if (GameState == gsPlaying && Moves.Count() > 0 && Moves.Count() != m_UndoAskedAt) {
            m_UndoAskedAt = Moves.Count();
            SendClock();
            emit undoRequested();
        }
        return;
    case ncUndo:
        // Taken only as the answer to this side's own request, and only once.
        if (!m_UndoRequested)
            return;
        m_UndoRequested = false;
        UndoMove();
        return;
    default:
        return;
    }
}

void TChessGame::ReplayHeldMessages(uint64_t serial) {
    if (serial != m_GameSerial) {
        m_HeldMessages.clear();
        return;
    }
    const uint64_t connection = m_Link.ConnectionId();
    // Taken out whole, so that a handler that pauses again holds what arrives next afresh.
    std::vector<TGameMessage> held = std::exchange(m_HeldMessages, {});
    for (size_t i = 0; i < held.size(); ++i) {
        const bool sameLink = serial == m_GameSerial && connection == m_Link.ConnectionId();
        if (GameState != gsPlaying || !sameLink) {
            // Paused again: what is left waits, ahead of anything newer.
            if (sameLink)
                m_HeldMessages.insert(m_HeldMessages.begin(),
                    std::make_move_iterator(held.begin() + i), std::make_move_iterator(held.end()));
            return;
        }
        try {
            ActOnGameMessage(held[i]);
        } catch (const std::exception&) {
            m_Link.Refuse(connection);
            return;
        }
    }
}

bool TChessGame::HoldGameMessage(const TGameMessage& message) {
    const auto heldOf = [this](uint8_t code) -> const TGameMessage* {
        for (const TGameMessage& held : m_HeldMessages) {
            if (held.Code == code)
                return &held;
        }
        return nullptr;
    };
    switch (message.Code) {
    case ncMove:
        // The opponent moves once before its turn passes; while the game waits there can be no
        // second move. A move out of turn is ignored, as it is during play.
        if (heldOf(ncMove))
            throw EProtocolError("a second move during a pause");
        return !IsLocalMover() && !PromotionPending();
    case ncPromotion: {
        if (heldOf(ncPromotion))
            throw EProtocolError("a second promotion during a pause");
        if (const TGameMessage* move = heldOf(ncMove)) {
            // Only a pawn reaching the last rank is promoted.
            const TPiece* piece = Board.PieceAt(move->From);
            if (piece && piece->Kind == pkPawn && piece->Colour == Turn
                && (move->To.Y == 1 || move->To.Y == 8))
                return true;
        } else if (!IsLocalMover() && PromotionPending()) {
            return true;
        }
        throw EProtocolError("a promotion with none pending");
    }
    case ncUndoRequest:
        // A request asked again is still one request.
        return !heldOf(ncUndoRequest);
    case ncUndo:
        return m_UndoRequested && !heldOf(ncUndo);
    default:
        return false;
    }
}
