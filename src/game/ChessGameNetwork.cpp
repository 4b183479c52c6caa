// Network play of the game controller: one TCP connection between a host and a client, over which
// each side sends its player's actions and executes the opponent's as they arrive.
//
// Bytes from the peer go through TMessageReader, which gathers them into whole messages however
// the stream splits or joins them. A message that cannot be framed, a code this side does not act
// on, or a payload that fails its checks (a square off the board, a colour or piece kind out of
// range, a game state that would not load as a file) ends the game on this side, closes the
// connection and emits networkError; the controller's game is never left half changed.
//
// A peer may be hostile, so nothing it sends is kept without a bound: the host greets several
// connections at once and takes as its opponent the first to complete the greeting, each within
// GreetingTimeout; a message must complete within StallTimeout of its first byte; a pause holds
// only what a real opponent could have sent before it learnt of the pause; and a peer that does
// not read its output is dropped once that passes OutputLimit.

#include "NetworkOpponent.h"
#include "StreamIO.h"
#include "TextCodec.h"
#include "UnitChessGame.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <sstream>
#include <utility>

namespace {

constexpr uint16_t DefaultPort = 2570;
// The most a connection buffers, and reads at a time, before the controller has acted on it.
constexpr qint64 ReadChunk = 64 * 1024;
// How long a closing connection may take to hand over what was written before it is dropped.
constexpr int LingerMilliseconds = 5000;

class EProtocolError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The codes a side acts on; any other is refused as soon as its code byte arrives.
bool ActsOn(TGameKind kind, uint8_t code) {
    switch (code) {
    case ncCommand:
    case ncName:
    case ncMove:
    case ncPromotion:
    case ncUndoRequest:
    case ncUndo:
    case ncChat:
        return true;
    case ncVersion:
        return kind == gkHost;
    case ncHostColour:
    case ncTime:
    case ncGameState:
        return kind == gkClient;
    default:
        return false;
    }
}

} // namespace

uint16_t TChessGame::NetworkPort() {
    const char* text = std::getenv("WINTERMOOT_PORT");
    if (!text)
        return DefaultPort;
    const size_t length = std::strlen(text);
    if (length == 0 || length > 5)
        return DefaultPort;
    unsigned value = 0;
    for (size_t i = 0; i < length; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return DefaultPort;
        value = value * 10 + unsigned(text[i] - '0');
    }
    return value > 65535 ? DefaultPort : static_cast<uint16_t>(value);
}

uint16_t TChessGame::ListeningPort() const {
    return m_Server && m_Server->isListening() ? m_Server->serverPort() : 0;
}

bool TChessGame::PeerConnected() const {
    return m_Connection && m_Connection->state() == QAbstractSocket::ConnectedState;
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
    if (GameKind == gkHost) {
        m_Server = new QTcpServer(this);
        connect(m_Server, &QTcpServer::newConnection, this, [this] { AcceptConnections(); });
        if (!m_Server->listen(QHostAddress::Any, port)) {
            delete m_Server;
            m_Server = nullptr;
            return false;
        }
    } else {
        const QString host = QString::fromStdString(HostAddress).trimmed();
        if (host.isEmpty())
            return false;
        auto* socket = new QTcpSocket(this);
        AttachConnection(socket);
        m_Connecting = true;
        connect(socket, &QTcpSocket::connected, this, [this, socket] { ClientConnected(socket); });
        // A lookup that hangs without an answer counts as failed; the timer goes with the socket.
        QTimer::singleShot(ConnectTimeout, socket, [this, socket] {
            if (socket == m_Connection && m_Connecting)
                ConnectFailed();
        });
        NetworkActive = true;
        socket->connectToHost(host, port ? port : DefaultPort);
        return true;
    }
    NetworkActive = true;
    return true;
}

void TChessGame::CloseLink() {
    ++m_LinkSerial;
    if (NetworkActive) {
        SendCommand(cmDisconnect);
        NetworkActive = false;
    }
    const bool linked = m_Server || m_Connection;
    CloseSockets();
    // A game over a link that is gone cannot go on.
    if (linked)
        StopGame();
}

void TChessGame::StallTimedOut() {
    if (!m_Connection)
        return;
    // A peer that was told of the disconnect and did not close is let go as if it had.
    if (m_DisconnectSent)
        ConnectionClosed(m_Connection);
    else
        ReceiveFailed();
}

void TChessGame::ClientGreetingTimedOut() {
    if (GameKind == gkClient && m_Connection && !m_Connecting)
        ReceiveFailed();
}

void TChessGame::ConnectFailed() {
    ReleaseConnection(false);
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

void TChessGame::Disconnect() {
    if (NetworkActive) {
        SendCommand(cmDisconnect);
        NetworkActive = false;
        const bool answerExpected = PeerConnected();
        if (answerExpected) {
            // Nothing follows the disconnect, and a peer that never answers it is let go.
            m_DisconnectSent = true;
            m_StallTimer.start(StallTimeout);
        }
        const uint64_t link = m_LinkSerial;
        emit disconnected();
        // The peer's answer closes the sockets; a handler that opened a new link keeps it.
        if (answerExpected || link != m_LinkSerial)
            return;
    }
    const bool linked = m_Server || m_Connection;
    CloseSockets();
    // A game over a link that is gone cannot go on.
    if (linked)
        StopGame();
}

void TChessGame::CloseSockets() {
    ReleaseConnection(true);
    DropAllGreetings();
    if (!m_Server)
        return;
    QTcpServer* server = std::exchange(m_Server, nullptr);
    disconnect(server, nullptr, this, nullptr);
    server->close();
    server->deleteLater();
}

void TChessGame::ResetConnectionState() {
    m_Reader.Reset();
    PendingCode = 0;
    m_VersionAccepted = false;
    m_HeldMessages.clear();
    m_UndoRequested = false;
    m_UndoAskedAt = -1;
    m_Joined = false;
    m_DisconnectSent = false;
    m_OutputOverflow = false;
    m_StallTimer.stop();
    m_GreetingTimer.stop();
}

void TChessGame::AttachConnection(QTcpSocket* socket) {
    m_Connection = socket;
    ResetConnectionState();
    socket->setReadBufferSize(ReadChunk);
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] { DataArrived(socket); });
    connect(socket, &QTcpSocket::disconnected, this, [this, socket] { ConnectionClosed(socket); });
    connect(socket, &QTcpSocket::errorOccurred, this,
        [this, socket](QAbstractSocket::SocketError error) { ConnectionFailed(socket, error); });
}

void TChessGame::ReleaseConnection(bool graceful) {
    QTcpSocket* socket = std::exchange(m_Connection, nullptr);
    ResetConnectionState();
    m_Connecting = false;
    if (!socket)
        return;
    // Whatever the peer declared goes with its connection; the next opponent says it again.
    if (GameState != gsPlaying && GameState != gsPaused)
        PlayerOf(Opponent(LocalColour())).Ready = false;
    disconnect(socket, nullptr, this, nullptr);
    if (graceful && socket->state() == QAbstractSocket::ConnectedState) {
        // Closing waits until what was written has gone out, so a last command reaches the peer.
        connect(socket, &QAbstractSocket::disconnected, socket, &QObject::deleteLater);
        QTimer::singleShot(LingerMilliseconds, socket, [socket] {
            socket->abort();
            socket->deleteLater();
        });
        socket->disconnectFromHost();
        return;
    }
    socket->abort();
    socket->deleteLater();
}

void TChessGame::AcceptConnections() {
    while (m_Server && m_Server->hasPendingConnections()) {
        QTcpSocket* socket = m_Server->nextPendingConnection();
        // One opponent at a time: the game with the first goes on.
        if (m_Connection) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        // Connections that say nothing must not keep a real opponent out: each greets on its
        // own, within its time, and the oldest makes room for a new one.
        if (int(m_Greetings.size()) >= std::max(MaxGreetings, 1))
            DropGreeting(m_Greetings.front().Socket, false);
        socket->setParent(this);
        socket->setReadBufferSize(ReadChunk);
        TGreeting greeting;
        greeting.Socket = socket;
        m_Greetings.push_back(std::move(greeting));
        connect(
            socket, &QTcpSocket::readyRead, this, [this, socket] { GreetingDataArrived(socket); });
        connect(socket, &QTcpSocket::disconnected, this,
            [this, socket] { DropGreeting(socket, false); });
        connect(socket, &QTcpSocket::errorOccurred, this,
            [this, socket] { DropGreeting(socket, false); });
        QTimer::singleShot(
            GreetingTimeout, socket, [this, socket] { DropGreeting(socket, false); });
        // A host whose last opponent left is still waiting for the next one.
        NetworkActive = true;
        // Bytes that came with the connection are not announced again.
        if (socket->bytesAvailable() > 0)
            QMetaObject::invokeMethod(
                this, [this, socket] { GreetingDataArrived(socket); }, Qt::QueuedConnection);
    }
}

void TChessGame::DropGreeting(QTcpSocket* socket, bool refused) {
    const auto found = std::find_if(m_Greetings.begin(), m_Greetings.end(),
        [socket](const TGreeting& greeting) { return greeting.Socket == socket; });
    if (found == m_Greetings.end())
        return;
    m_Greetings.erase(found);
    disconnect(socket, nullptr, this, nullptr);
    socket->abort();
    socket->deleteLater();
    if (refused)
        ReportNetworkError();
}

void TChessGame::DropAllGreetings() {
    while (!m_Greetings.empty())
        DropGreeting(m_Greetings.back().Socket, false);
}

void TChessGame::GreetingDataArrived(QTcpSocket* socket) {
    const auto find = [this, socket]() -> TGreeting* {
        for (TGreeting& greeting : m_Greetings) {
            if (greeting.Socket == socket)
                return &greeting;
        }
        return nullptr;
    };
    while (TGreeting* greeting = find()) {
        if (socket->bytesAvailable() <= 0)
            return;
        const QByteArray chunk = socket->read(ReadChunk);
        if (chunk.isEmpty())
            return;
        greeting->Reader.Feed(std::string_view(chunk.constData(), size_t(chunk.size())));
        TNetMessage message;
        for (;;) {
            const TMessageReader::TResult result = greeting->Reader.Next(message);
            // Only the version and then the name may come before the greeting is complete.
            const uint8_t expected = greeting->VersionAccepted ? ncName : ncVersion;
            const uint8_t pending = greeting->Reader.PendingCode();
            if (result == TMessageReader::NeedMore && (pending == 0 || pending == expected))
                break;
            if (result != TMessageReader::Message || message.Code != expected) {
                DropGreeting(socket, true);
                return;
            }
            if (message.Code == ncName) {
                GreetingComplete(socket, DecodeText(message.Payload));
                return;
            }
            if (static_cast<int16_t>(DecodeU16(message.Payload)) != ProtocolVersion) {
                // Only this client is turned away; the host goes on waiting for an opponent.
                const std::string refusal = EncodeCommand(cmDisconnect);
                disconnect(socket, nullptr, this, nullptr);
                m_Greetings.erase(m_Greetings.begin() + (greeting - m_Greetings.data()));
                socket->write(refusal.data(), qint64(refusal.size()));
                connect(socket, &QAbstractSocket::disconnected, socket, &QObject::deleteLater);
                QTimer::singleShot(LingerMilliseconds, socket, [socket] {
                    socket->abort();
                    socket->deleteLater();
                });
                socket->disconnectFromHost();
                return;
            }
            greeting->VersionAccepted = true;
            const std::string ask = EncodeCommand(cmSendName);
            socket->write(ask.data(), qint64(ask.size()));
            socket->flush();
        }
    }
}

void TChessGame::GreetingComplete(QTcpSocket* socket, const std::string& name) {
    const auto found = std::find_if(m_Greetings.begin(), m_Greetings.end(),
        [socket](const TGreeting& greeting) { return greeting.Socket == socket; });
    TMessageReader reader = std::move(found->Reader);
    m_Greetings.erase(found);
    disconnect(socket, nullptr, this, nullptr);
    // The first to greet is the opponent; the others are turned away as a second client is.
    DropAllGreetings();
    AttachConnection(socket);
    m_Reader = std::move(reader);
    m_VersionAccepted = true;
    try {
        OpponentNameArrived(name);
    } catch (const std::exception&) {
        if (socket == m_Connection)
            ReceiveFailed();
        return;
    }
    // Whatever followed the name in the same read.
    if (socket == m_Connection)
        DataArrived(socket);
}

void TChessGame::ClientConnected(QTcpSocket* socket) {
    if (socket != m_Connection)
        return;
    m_Connecting = false;
    // A host that says nothing, or not all of its greeting, is given up.
    m_GreetingTimer.start(GreetingTimeout);
    if (!Send(EncodeVersion(ProtocolVersion)))
        ReleaseConnection(false);
}

void TChessGame::ConnectionClosed(QTcpSocket* socket) {
    if (socket != m_Connection)
        return;
    ReleaseConnection(false);
    StopGame();
    // A client whose host went away without a word has lost its game for good.
    if (GameKind == gkClient && NetworkActive) {
        NetworkActive = false;
        emit disconnected();
    }
}

void TChessGame::ConnectionFailed(QTcpSocket* socket, int error) {
    if (socket != m_Connection)
        return;
    if (m_Connecting) {
        ConnectFailed();
        return;
    }
    if (error == QAbstractSocket::RemoteHostClosedError) {
        ConnectionClosed(socket);
        return;
    }
    ReceiveFailed();
}

void TChessGame::ReceiveFailed() {
    ReleaseConnection(false);
    StopGame();
    if (GameKind == gkClient)
        NetworkActive = false;
    ReportNetworkError();
}

void TChessGame::ReportNetworkError() {
    // A handler that waits on the user (a message box) runs the event loop, in which more
    // failures may arrive; the user hears of one at a time.
    if (m_ReportingError)
        return;
    m_ReportingError = true;
    emit networkError();
    m_ReportingError = false;
}

void TChessGame::DataArrived(QTcpSocket* socket) {
    if (socket != m_Connection)
        return;
    bool progressed = false;
    // Messages already gathered come first (the rest of a read that completed the greeting).
    if (!ActOnBufferedMessages(socket, progressed))
        return;
    while (socket->bytesAvailable() > 0) {
        const QByteArray chunk = socket->read(ReadChunk);
        if (chunk.isEmpty())
            break;
        m_Reader.Feed(std::string_view(chunk.constData(), size_t(chunk.size())));
        if (!ActOnBufferedMessages(socket, progressed))
            return;
    }
    PendingCode = m_Reader.PendingCode();
    // The time for a message runs from the end of the last complete one; after the disconnect
    // reply it is the time the peer has left to close.
    if (m_DisconnectSent)
        return;
    if (m_Reader.Buffered() == 0)
        m_StallTimer.stop();
    else if (progressed || !m_StallTimer.isActive())
        m_StallTimer.start(StallTimeout);
}

bool TChessGame::ActOnBufferedMessages(QTcpSocket* socket, bool& progressed) {
    TNetMessage message;
    while (socket == m_Connection && !m_OutputOverflow) {
        const TMessageReader::TResult result = m_Reader.Next(message);
        const uint8_t pending = m_Reader.PendingCode();
        if (result == TMessageReader::NeedMore && (pending == 0 || ActsOn(GameKind, pending)))
            return true;
        if (result != TMessageReader::Message) {
            ReceiveFailed();
            return false;
        }
        progressed = true;
        try {
            HandleMessage(message);
        } catch (const std::exception&) {
            if (socket == m_Connection)
                ReceiveFailed();
            return false;
        }
    }
    return false;
}

void TChessGame::OutputOverflowed() {
    m_OutputOverflow = true;
    // Dropped from the event loop: the send that found the overflow may be in the middle of
    // changing the game's state.
    QTcpSocket* const socket = m_Connection;
    QMetaObject::invokeMethod(
        this,
        [this, socket] {
            if (socket == m_Connection && m_OutputOverflow)
                ReceiveFailed();
        },
        Qt::QueuedConnection);
}

bool TChessGame::Send(const std::string& message) {
    if (!PeerConnected() || m_DisconnectSent || m_OutputOverflow)
        return true;
    const auto size = qint64(message.size());
    // A peer that does not read what it is sent is not written to without end.
    if (m_Connection->bytesToWrite() + size > OutputLimit) {
        OutputOverflowed();
        return true;
    }
    if (m_Connection->write(message.data(), size) != size) {
        ReportNetworkError();
        return false;
    }
    m_Connection->flush();
    return true;
}

void TChessGame::SendCommand(TNetCommand command) {
    Send(EncodeCommand(command));
}

void TChessGame::SendMove(TPoint from, TPoint to) {
    TMoveRecord record;
    record.From = from;
    record.To = to;
    Send(EncodeMoveRecord(ncMove, record));
}

void TChessGame::SendPromotion(uint8_t kind) {
    Send(EncodeByteMessage(ncPromotion, kind));
}

void TChessGame::SendStateCommand(TGameState state) {
    switch (state) {
    case gsPaused:
        SendCommand(cmPause);
        break;
    case gsPlaying:
        SendCommand(cmResume);
        if (!m_HeldMessages.empty()) {
            const uint64_t serial = m_GameSerial;
            QMetaObject::invokeMethod(
                this, [this, serial] { ReplayHeldMessages(serial); }, Qt::QueuedConnection);
        }
        break;
    case gsStopped:
        m_HeldMessages.clear();
        SendCommand(cmStop);
        break;
    case gsIdle:
        break;
    }
}

void TChessGame::SendTime(int32_t seconds) {
    Send(EncodeTime(seconds));
}

void TChessGame::SendChat(const std::string& text) {
    if (GameKind == gkLocal)
        return;
    Send(EncodeText(ncChat, text));
}

void TChessGame::RequestUndo() {
    if (GameKind == gkLocal || GameState != gsPlaying || Moves.Count() == 0)
        return;
    m_UndoRequested = true;
    Send(EncodeMoveRecord(ncUndoRequest, *Moves.Last()));
}

void TChessGame::AcceptUndo() {
    if (GameState != gsPlaying || Moves.Count() == 0)
        return;
    Send(EncodeMoveRecord(ncUndo, *Moves.Last()));
    UndoMove();
}

void TChessGame::SetReady() {
    if (GameKind == gkLocal || GameState == gsPlaying || GameState == gsPaused)
        return;
    PlayerOf(LocalColour()).Ready = true;
    if (GameKind == gkHost) {
        SendCommand(cmReady);
        emit readyChanged();
        StartWhenBothReady();
    } else {
        emit readyChanged();
        SendCommand(cmReady);
    }
}

void TChessGame::StartWhenBothReady() {
    if (GameState == gsPlaying || GameState == gsPaused || !WhitePlayer.Ready || !BlackPlayer.Ready)
        return;
    SendCommand(cmStart);
    StartGame();
}

void TChessGame::HandleMessage(const TNetMessage& message) {
    if (!ActsOn(GameKind, message.Code))
        throw EProtocolError("a message this side does not act on");
    const bool host = GameKind == gkHost;
    const std::string& payload = message.Payload;
    // Until the host's name or game state has arrived, only its greeting may come.
    if (!host && !m_Joined) {
        const bool greeting = message.Code == ncHostColour || message.Code == ncName
            || message.Code == ncGameState
            || (message.Code == ncCommand
                && (uint8_t(payload[0]) == cmSendName || uint8_t(payload[0]) == cmDisconnect));
        if (!greeting)
            throw EProtocolError("a message before the greeting is complete");
    }
    switch (message.Code) {
    case ncCommand:
        HandleCommand(static_cast<uint8_t>(payload[0]));
        return;
    case ncMove:
    case ncPromotion:
    case ncUndoRequest:
    case ncUndo:
        // Checked on arrival even when held, so that a bad one is refused at once.
        if (message.Code == ncMove) {
            const TMoveRecord move = DecodeMoveRecord(payload);
            CheckSquare(move.From.X, move.From.Y);
            CheckSquare(move.To.X, move.To.Y);
        } else if (message.Code == ncPromotion) {
            const auto kind = static_cast<uint8_t>(payload[0]);
            if (kind < pkRook || kind > pkQueen)
                throw EProtocolError("bad promotion piece");
        }
        if (GameState == gsPaused || !m_HeldMessages.empty()) {
            if (HoldGameMessage(message))
                m_HeldMessages.push_back(message);
        } else {
            ActOnGameMessage(message);
        }
        return;
    case ncChat:
        emit chatReceived(DecodeText(payload));
        return;
    case ncVersion:
        // The host's greeting takes the version and the name; they do not come again.
        throw EProtocolError("a second greeting");
    case ncName:
        if (host)
            throw EProtocolError("a second greeting");
        PlayerOf(static_cast<TPieceColour>(HostColour)).Name = DecodeText(payload);
        m_Joined = true;
        m_GreetingTimer.stop();
        emit opponentJoined();
        return;
    case ncHostColour:
        HostColourArrived(static_cast<uint8_t>(payload[0]));
        return;
    case ncTime: {
        const int32_t seconds = DecodeI32(payload);
        if (seconds < 0)
            throw EProtocolError("negative time");
        PlayerOf(Turn).Time = seconds;
        emit clockTicked();
        return;
    }
    case ncGameState:
        GameStateArrived(payload);
        return;
    default:
        return;
    }
}

void TChessGame::HandleCommand(uint8_t command) {
    const bool host = GameKind == gkHost;
    switch (command) {
    case cmSendName:
        if (!host)
            Send(EncodeText(ncName, BlackPlayer.Name));
        return;
    case cmDisconnect:
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
    default:
        throw EProtocolError("unknown command");
    }
}

void TChessGame::OpponentNameArrived(const std::string& name) {
    if (!m_VersionAccepted)
        throw EProtocolError("a name before the version");
    PlayerOf(Opponent(LocalColour())).Name = name;
    Send(EncodeByteMessage(ncHostColour, HostColour));
    if (GameLoaded) {
        std::ostringstream body;
        WriteGame(body);
        Send(EncodeMessage(ncGameState, body.str()));
    } else {
        Send(EncodeText(ncName, PlayerOf(LocalColour()).Name));
    }
    emit opponentJoined();
}

void TChessGame::HostColourArrived(uint8_t colour) {
    if (colour > pcBlack)
        throw EProtocolError("bad host colour");
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
    m_Joined = true;
    m_GreetingTimer.stop();
    emit opponentJoined();
}

void TChessGame::ActOnGameMessage(const TNetMessage& message) {
    switch (message.Code) {
    case ncMove: {
        // The opponent moves only its own pieces.
        if (IsLocalMover())
            return;
        const TMoveRecord move = DecodeMoveRecord(message.Payload);
        CheckSquare(move.From.X, move.From.Y);
        CheckSquare(move.To.X, move.To.Y);
        if (TNetworkOpponent* opponent = NetworkOpponent())
            opponent->MoveArrived(move.From, move.To);
        return;
    }
    case ncPromotion:
        // A promotion follows the opponent's own move to the last rank, never anything else.
        if (IsLocalMover() || !PromotionPending()) {
            if (GameState == gsPlaying)
                throw EProtocolError("a promotion with none pending");
            return;
        }
        Promote(static_cast<uint8_t>(message.Payload[0]));
        return;
    case ncUndoRequest:
        // The user is asked once about a position: the same request again, while the question
        // is open or after it was answered, asks nothing.
        if (GameState == gsPlaying && Moves.Count() > 0 && Moves.Count() != m_UndoAskedAt) {
            m_UndoAskedAt = Moves.Count();
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
    QTcpSocket* const connection = m_Connection;
    // Taken out whole, so that a handler that pauses again holds what arrives next afresh.
    std::vector<TNetMessage> held = std::exchange(m_HeldMessages, {});
    for (size_t i = 0; i < held.size(); ++i) {
        if (GameState != gsPlaying || serial != m_GameSerial || connection != m_Connection) {
            // Paused again: what is left waits, ahead of anything newer.
            if (serial == m_GameSerial && connection == m_Connection)
                m_HeldMessages.insert(m_HeldMessages.begin(),
                    std::make_move_iterator(held.begin() + i), std::make_move_iterator(held.end()));
            return;
        }
        try {
            ActOnGameMessage(held[i]);
        } catch (const std::exception&) {
            if (connection == m_Connection)
                ReceiveFailed();
            return;
        }
    }
}

bool TChessGame::HoldGameMessage(const TNetMessage& message) {
    const auto heldOf = [this](uint8_t code) -> const TNetMessage* {
        for (const TNetMessage& held : m_HeldMessages) {
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
        if (const TNetMessage* move = heldOf(ncMove)) {
            // Only a pawn reaching the last rank is promoted.
            const TMoveRecord record = DecodeMoveRecord(move->Payload);
            const TPiece* piece = Board.PieceAt(record.From);
            if (piece && piece->Kind == pkPawn && piece->Colour == Turn
                && (record.To.Y == 1 || record.To.Y == 8))
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
