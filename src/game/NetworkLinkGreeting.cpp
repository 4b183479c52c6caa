// The host's greeting: every accepted connection greets on its own, with the protocol version
// and then its player's name, within GreetingTimeout; the first to complete it becomes the
// connection of the link and the others are closed. Connections that say nothing cannot keep a
// real opponent out: at most MaxGreetings are under way at once, and the oldest makes room. A
// connection that sends anything else first is closed quietly, as one that says nothing is.

#include "NetworkLink.h"

#include <QTcpServer>
#include <QTcpSocket>

#include <algorithm>
#include <utility>

void TNetworkLink::AcceptConnections() {
    while (m_Server && m_Server->hasPendingConnections()) {
        QTcpSocket* socket = m_Server->nextPendingConnection();
        // One opponent at a time: the game with the first goes on.
        if (m_Connection) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        if (int(m_Greetings.size()) >= std::max(MaxGreetings, 1))
            DropGreeting(m_Greetings.front().Socket);
        socket->setParent(this);
        socket->setReadBufferSize(ReadChunk);
        TGreeting greeting;
        greeting.Socket = socket;
        m_Greetings.push_back(std::move(greeting));
        connect(
            socket, &QTcpSocket::readyRead, this, [this, socket] { GreetingDataArrived(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] { DropGreeting(socket); });
        connect(socket, &QTcpSocket::errorOccurred, this, [this, socket] { DropGreeting(socket); });
        QTimer::singleShot(GreetingTimeout, socket, [this, socket] { DropGreeting(socket); });
        emit greetingStarted();
        // Bytes that came with the connection are not announced again.
        if (socket->bytesAvailable() > 0)
            QMetaObject::invokeMethod(
                this, [this, socket] { GreetingDataArrived(socket); }, Qt::QueuedConnection);
    }
}

TNetworkLink::TGreeting* TNetworkLink::FindGreeting(QTcpSocket* socket) {
    for (TGreeting& greeting : m_Greetings) {
        if (greeting.Socket == socket)
            return &greeting;
    }
    return nullptr;
}

void TNetworkLink::DropGreeting(QTcpSocket* socket) {
    const auto found = std::find_if(m_Greetings.begin(), m_Greetings.end(),
        [socket](const TGreeting& greeting) { return greeting.Socket == socket; });
    if (found == m_Greetings.end())
        return;
    m_Greetings.erase(found);
    disconnect(socket, nullptr, this, nullptr);
    socket->abort();
    socket->deleteLater();
}

void TNetworkLink::DropAllGreetings() {
    while (!m_Greetings.empty())
        DropGreeting(m_Greetings.back().Socket);
}

void TNetworkLink::GreetingDataArrived(QTcpSocket* socket) {
    while (TGreeting* greeting = FindGreeting(socket)) {
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
            // Bytes that are no greeting come from a stranger (a port scanner, a web browser),
            // not from an opponent: nobody is told, and the host goes on waiting.
            if (result != TMessageReader::Message || message.Code != expected) {
                DropGreeting(socket);
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
                Linger(socket);
                return;
            }
            greeting->VersionAccepted = true;
            const std::string ask = EncodeCommand(cmSendName);
            socket->write(ask.data(), qint64(ask.size()));
            socket->flush();
        }
    }
}

void TNetworkLink::GreetingComplete(QTcpSocket* socket, const std::string& name) {
    TGreeting* found = FindGreeting(socket);
    TMessageReader reader = std::move(found->Reader);
    m_Greetings.erase(m_Greetings.begin() + (found - m_Greetings.data()));
    disconnect(socket, nullptr, this, nullptr);
    // The first to greet is the opponent; the others are turned away as a second client is.
    DropAllGreetings();
    Attach(socket);
    m_Reader = std::move(reader);
    m_ReadyTimer.start(ReadyTimeout);
    const uint64_t connection = m_ConnectionId;
    emit peerJoined(name);
    // Whatever followed the name in the same read.
    if (connection == m_ConnectionId)
        DataArrived(socket);
}
