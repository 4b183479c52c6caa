// The connection of the link: opening it, reading from it, writing to it, its timers and its
// end. What the messages mean is in NetworkLinkMessages.cpp, the host's greeting of the
// connections it accepts in NetworkLinkGreeting.cpp.

#include "NetworkLink.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

#include <cstdlib>
#include <cstring>
#include <utility>

TNetworkLink::TNetworkLink(QObject* parent)
    : QObject(parent) {
    m_StallTimer.setSingleShot(true);
    connect(&m_StallTimer, &QTimer::timeout, this, [this] { StallTimedOut(); });
    m_GreetingTimer.setSingleShot(true);
    connect(&m_GreetingTimer, &QTimer::timeout, this, [this] { ClientGreetingTimedOut(); });
    m_ReadyTimer.setSingleShot(true);
    connect(&m_ReadyTimer, &QTimer::timeout, this, [this] { ReadyTimedOut(); });
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

void TNetworkLink::AwaitPeerReady() {
    if (m_Host && PeerConnected() && !m_DisconnectSent)
        m_ReadyTimer.start(ReadyTimeout);
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
    m_ReadyTimer.stop();
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

void TNetworkLink::ReadyTimedOut() {
    if (!m_Host || !PeerConnected() || m_DisconnectSent)
        return;
    // The opponent is told, so that its program ends the link as after any disconnect; no
    // answer is awaited.
    SendCommand(cmDisconnect);
    Release(true);
    emit peerNotReady();
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
