// The connection of the link: opening and closing it, reading and checking what arrives, and
// writing what this side sends. The host's greeting of the connections it accepts is in
// NetworkLinkGreeting.cpp.

#include "NetworkLink.h"

#include "TextCodec.h"
#include "UnitChessBoard.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <utility>

namespace {

class EProtocolError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The codes a side acts on; any other is refused as soon as its code byte arrives.
bool ActsOn(bool host, uint8_t code) {
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
        return host;
    case ncHostColour:
    case ncTime:
    case ncGameState:
        return !host;
    default:
        return false;
    }
}

} // namespace

TNetworkLink::TNetworkLink(QObject* parent)
    : QObject(parent) {
    m_StallTimer.setSingleShot(true);
    connect(&m_StallTimer, &QTimer::timeout, this, [this] { StallTimedOut(); });
    m_GreetingTimer.setSingleShot(true);
    connect(&m_GreetingTimer, &QTimer::timeout, this, [this] { ClientGreetingTimedOut(); });
}

TNetworkLink::~TNetworkLink() {
    Abort();
}

uint16_t TNetworkLink::NetworkPort() {
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

uint16_t TNetworkLink::ListeningPort() const {
    return m_Server && m_Server->isListening() ? m_Server->serverPort() : 0;
}

bool TNetworkLink::PeerConnected() const {
    return m_Connection && m_Connection->state() == QAbstractSocket::ConnectedState;
}

bool TNetworkLink::Listen(uint16_t port) {
    if (IsOpen())
        Close();
    m_Host = true;
    m_Server = new QTcpServer(this);
    connect(m_Server, &QTcpServer::newConnection, this, [this] { AcceptConnections(); });
    if (!m_Server->listen(QHostAddress::Any, port)) {
        delete m_Server;
        m_Server = nullptr;
        return false;
    }
    return true;
}

bool TNetworkLink::ConnectTo(const std::string& address, uint16_t port) {
    const QString host = QString::fromStdString(address).trimmed();
    if (host.isEmpty())
        return false;
    if (IsOpen())
        Close();
    m_Host = false;
    auto* socket = new QTcpSocket(this);
    Attach(socket);
    m_Connecting = true;
    connect(socket, &QTcpSocket::connected, this, [this, socket] { Connected(socket); });
    // A lookup that hangs without an answer counts as failed; the timer goes with the socket.
    QTimer::singleShot(ConnectTimeout, socket, [this, socket] {
        if (socket == m_Connection && m_Connecting)
            ConnectionFailed();
    });
    socket->connectToHost(host, port ? port : DefaultPort);
    return true;
}

bool TNetworkLink::SendDisconnect() {
    SendCommand(cmDisconnect);
    if (!PeerConnected())
        return false;
    // Nothing follows the disconnect, and a peer that never answers it is let go.
    m_DisconnectSent = true;
    m_StallTimer.start(StallTimeout);
    return true;
}

void TNetworkLink::Close() {
    Release(true);
    DropAllGreetings();
    CloseServer();
}

void TNetworkLink::Abort() {
    Release(false);
    DropAllGreetings();
    CloseServer();
}

void TNetworkLink::Refuse(uint64_t connection) {
    if (m_Connection && connection == m_ConnectionId)
        Fail();
}

void TNetworkLink::CloseServer() {
    if (!m_Server)
        return;
    QTcpServer* server = std::exchange(m_Server, nullptr);
    disconnect(server, nullptr, this, nullptr);
    server->close();
    server->deleteLater();
}

void TNetworkLink::ResetConnectionState() {
    m_Reader.Reset();
    m_PendingCode = 0;
    m_Joined = false;
    m_DisconnectSent = false;
    m_OutputOverflow = false;
    m_StallTimer.stop();
    m_GreetingTimer.stop();
}

void TNetworkLink::Attach(QTcpSocket* socket) {
    m_Connection = socket;
    ++m_ConnectionId;
    ResetConnectionState();
    socket->setReadBufferSize(ReadChunk);
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] { DataArrived(socket); });
    connect(socket, &QTcpSocket::disconnected, this, [this, socket] { Closed(socket); });
    connect(socket, &QTcpSocket::errorOccurred, this,
        [this, socket](QAbstractSocket::SocketError error) { SocketError(socket, error); });
}

bool TNetworkLink::Release(bool graceful) {
    QTcpSocket* socket = std::exchange(m_Connection, nullptr);
    ResetConnectionState();
    m_Connecting = false;
    if (!socket)
        return false;
    ++m_ConnectionId;
    disconnect(socket, nullptr, this, nullptr);
    // Closing waits until what was written has gone out, so a last command reaches the peer.
    if (graceful && socket->state() == QAbstractSocket::ConnectedState) {
        Linger(socket);
        return true;
    }
    socket->abort();
    socket->deleteLater();
    return true;
}

void TNetworkLink::Linger(QTcpSocket* socket) {
    connect(socket, &QAbstractSocket::disconnected, socket, &QObject::deleteLater);
    QTimer::singleShot(LingerMilliseconds, socket, [socket] {
        socket->abort();
        socket->deleteLater();
    });
    socket->disconnectFromHost();
}

void TNetworkLink::Connected(QTcpSocket* socket) {
    if (socket != m_Connection)
        return;
    m_Connecting = false;
    // A host that says nothing, or not all of its greeting, is given up.
    m_GreetingTimer.start(GreetingTimeout);
    if (!Send(EncodeVersion(ProtocolVersion))) {
        Release(false);
        emit failed();
    }
}

void TNetworkLink::Closed(QTcpSocket* socket) {
    if (socket != m_Connection)
        return;
    Release(false);
    emit peerLeft();
}

void TNetworkLink::SocketError(QTcpSocket* socket, int error) {
    if (socket != m_Connection)
        return;
    if (m_Connecting) {
        ConnectionFailed();
        return;
    }
    if (error == QAbstractSocket::RemoteHostClosedError) {
        Closed(socket);
        return;
    }
    Fail();
}

void TNetworkLink::ConnectionFailed() {
    Release(false);
    emit connectFailed();
}

void TNetworkLink::Fail() {
    Release(false);
    emit failed();
    ReportError();
}

void TNetworkLink::ReportError() {
    // A receiver that waits on the user (a message box) runs the event loop, in which more
    // failures may arrive; the user hears of one at a time.
    if (m_ReportingError)
        return;
    m_ReportingError = true;
    emit networkError();
    m_ReportingError = false;
}

void TNetworkLink::StallTimedOut() {
    if (!m_Connection)
        return;
    // A peer that was told of the disconnect and did not close is let go as if it had.
    if (m_DisconnectSent)
        Closed(m_Connection);
    else
        Fail();
}

void TNetworkLink::ClientGreetingTimedOut() {
    if (!m_Host && m_Connection && !m_Connecting)
        Fail();
}

void TNetworkLink::DataArrived(QTcpSocket* socket) {
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
    m_PendingCode = m_Reader.PendingCode();
    // The time for a message runs from the end of the last complete one; after the disconnect
    // reply it is the time the peer has left to close.
    if (m_DisconnectSent)
        return;
    if (m_Reader.Buffered() == 0)
        m_StallTimer.stop();
    else if (progressed || !m_StallTimer.isActive())
        m_StallTimer.start(StallTimeout);
}

bool TNetworkLink::ActOnBufferedMessages(QTcpSocket* socket, bool& progressed) {
    TNetMessage message;
    while (socket == m_Connection && !m_OutputOverflow) {
        const TMessageReader::TResult result = m_Reader.Next(message);
        const uint8_t pending = m_Reader.PendingCode();
        if (result == TMessageReader::NeedMore && (pending == 0 || ActsOn(m_Host, pending)))
            return true;
        if (result != TMessageReader::Message) {
            Fail();
            return false;
        }
        progressed = true;
        try {
            Dispatch(message);
        } catch (const std::exception&) {
            if (socket == m_Connection)
                Fail();
            return false;
        }
    }
    return false;
}

void TNetworkLink::Dispatch(const TNetMessage& message) {
    if (!ActsOn(m_Host, message.Code))
        throw EProtocolError("a message this side does not act on");
    const std::string& payload = message.Payload;
    // Until the host's name or game state has arrived, only its greeting may come.
    if (!m_Host && !m_Joined) {
        const bool greeting = message.Code == ncHostColour || message.Code == ncName
            || message.Code == ncGameState
            || (message.Code == ncCommand
                && (uint8_t(payload[0]) == cmSendName || uint8_t(payload[0]) == cmDisconnect));
        if (!greeting)
            throw EProtocolError("a message before the greeting is complete");
    }
    switch (message.Code) {
    case ncCommand: {
        const auto command = static_cast<uint8_t>(payload[0]);
        if (command < cmSendName || command > cmStop)
            throw EProtocolError("unknown command");
        emit commandArrived(static_cast<TNetCommand>(command));
        return;
    }
    case ncMove: {
        const TMoveRecord move = DecodeMoveRecord(payload);
        CheckSquare(move.From.X, move.From.Y);
        CheckSquare(move.To.X, move.To.Y);
        emit moveArrived(move.From, move.To);
        return;
    }
    case ncPromotion: {
        const auto kind = static_cast<uint8_t>(payload[0]);
        if (kind < pkRook || kind > pkQueen)
            throw EProtocolError("bad promotion piece");
        emit promotionArrived(kind);
        return;
    }
    case ncUndoRequest:
        emit undoRequestArrived();
        return;
    case ncUndo:
        emit undoArrived();
        return;
    case ncChat:
        emit chatArrived(DecodeText(payload));
        return;
    case ncVersion:
        // The host's greeting takes the version and the name; they do not come again.
        throw EProtocolError("a second greeting");
    case ncName: {
        if (m_Host)
            throw EProtocolError("a second greeting");
        const std::string name = DecodeText(payload);
        m_Joined = true;
        m_GreetingTimer.stop();
        emit nameArrived(name);
        return;
    }
    case ncHostColour: {
        const auto colour = static_cast<uint8_t>(payload[0]);
        if (colour > pcBlack)
            throw EProtocolError("bad host colour");
        emit hostColourArrived(colour);
        return;
    }
    case ncTime: {
        const int32_t seconds = DecodeI32(payload);
        if (seconds < 0)
            throw EProtocolError("negative time");
        emit timeArrived(seconds);
        return;
    }
    case ncGameState:
        m_Joined = true;
        m_GreetingTimer.stop();
        emit gameStateArrived(payload);
        return;
    default:
        return;
    }
}

void TNetworkLink::OutputOverflowed() {
    m_OutputOverflow = true;
    // Dropped from the event loop: the send that found the overflow may be in the middle of a
    // receiver's change of state.
    QTcpSocket* const socket = m_Connection;
    QMetaObject::invokeMethod(
        this,
        [this, socket] {
            if (socket == m_Connection && m_OutputOverflow)
                Fail();
        },
        Qt::QueuedConnection);
}

bool TNetworkLink::Send(const std::string& message) {
    if (!PeerConnected() || m_DisconnectSent || m_OutputOverflow)
        return true;
    const auto size = qint64(message.size());
    // A peer that does not read what it is sent is not written to without end.
    if (m_Connection->bytesToWrite() + size > OutputLimit) {
        OutputOverflowed();
        return true;
    }
    if (m_Connection->write(message.data(), size) != size) {
        ReportError();
        return false;
    }
    m_Connection->flush();
    return true;
}

void TNetworkLink::SendCommand(TNetCommand command) {
    Send(EncodeCommand(command));
}

void TNetworkLink::SendName(const std::string& name) {
    Send(EncodeText(ncName, name));
}

void TNetworkLink::SendHostColour(uint8_t colour) {
    Send(EncodeByteMessage(ncHostColour, colour));
}

void TNetworkLink::SendTime(int32_t seconds) {
    Send(EncodeTime(seconds));
}

void TNetworkLink::SendMove(TPoint from, TPoint to) {
    TMoveRecord record;
    record.From = from;
    record.To = to;
    Send(EncodeMoveRecord(ncMove, record));
}

void TNetworkLink::SendPromotion(uint8_t kind) {
    Send(EncodeByteMessage(ncPromotion, kind));
}

void TNetworkLink::SendUndoRequest(const TMoveRecord& move) {
    Send(EncodeMoveRecord(ncUndoRequest, move));
}

void TNetworkLink::SendUndo(const TMoveRecord& move) {
    Send(EncodeMoveRecord(ncUndo, move));
}

void TNetworkLink::SendChat(const std::string& text) {
    Send(EncodeText(ncChat, text));
}

void TNetworkLink::SendGameState(const std::string& body) {
    Send(EncodeMessage(ncGameState, body));
}
