#pragma once

// The link of a network game: one TCP connection between a host and a client, and on the host
// the listening server and the connections whose greeting is under way. It frames the byte
// stream into messages, checks each against the protocol and emits it decoded; it knows nothing
// of the game those messages play. Main thread only.
//
// A message that cannot be framed, a code this side does not act on, a command that does not
// exist, a square off the board, a colour or piece kind out of range, a negative time, or
// anything but the greeting before the greeting is complete is a protocol error: the link lets
// the connection go, emits failed() and then networkError(). Whoever receives a decoded message
// and cannot act on it calls Refuse(), with the same result. On the host, a connection that breaks
// the protocol before its greeting is complete is a stranger (a port scanner, a web browser), not
// an opponent: it is let go without a word and the host goes on waiting.
//
// A peer may be hostile, so nothing it sends is kept without a bound: the host greets each
// accepted connection on its own and takes the first whose version and name arrive within
// GreetingTimeout, at most MaxGreetings at once; a message must complete within StallTimeout of
// its first byte; a peer whose unread output passes OutputLimit is dropped; an opponent that does
// not declare itself ready within ReadyTimeout of joining (or of AwaitPeerReady) is let go.

#include "NetworkMessages.h"

#include <QObject>
#include <QTimer>

#include <cstdint>
#include <string>
#include <vector>

class QTcpServer;
class QTcpSocket;

class TNetworkLink : public QObject {
    Q_OBJECT

public:
    static constexpr int16_t ProtocolVersion = 320;
    static constexpr uint16_t DefaultPort = 2570;
    // How long a client's connection may take, host-name lookup included, before it counts as
    // failed.
    static constexpr int ConnectTimeout = 10000;

    explicit TNetworkLink(QObject* parent = nullptr);
    // Lets everything go at once, without a signal.
    ~TNetworkLink() override;
    TNetworkLink(const TNetworkLink&) = delete;
    TNetworkLink& operator=(const TNetworkLink&) = delete;

    // The port of network play: 2570, or WINTERMOOT_PORT when it holds 1..65535, or 0 (a host
    // then listens on any free port; a client takes 2570). Other values give 2570.
    static uint16_t NetworkPort();

    // The host's side: listens on the port (0: any free one) and greets whoever connects. False
    // when it cannot listen.
    bool Listen(uint16_t port);
    // The client's side: connects to the address (a host name or a dotted address; port 0 means
    // 2570) and greets the host with the protocol version once connected. False, with nothing
    // opened, for an empty address; a connection that is refused, names an unknown host or is
    // not made within ConnectTimeout is reported through connectFailed.
    bool ConnectTo(const std::string& address, uint16_t port);
    // Sends the disconnect command. When a peer is connected to answer it, nothing more is sent
    // and the peer's close, its answer or StallTimeout ends the connection (through peerLeft);
    // answers whether such an answer is awaited.
    bool SendDisconnect();
    // Closes everything: the connection once what was written has gone out (or after a linger
    // time), the greetings and the server. Emits nothing.
    void Close();
    // Closes everything at once. Emits nothing.
    void Abort();
    // Host: the opponent is to declare itself ready again (a game has ended); it is let go, with
    // peerNotReady, unless its ready command arrives within ReadyTimeout. Nothing without a peer.
    void AwaitPeerReady();
    // Ends the connection as one that broke the protocol, as the link does for what it cannot
    // frame or check, unless `connection` is no longer the current one (see ConnectionId).
    void Refuse(uint64_t connection);

    // The current connection, for a receiver that must notice when it was replaced; a new one
    // is counted whenever a connection is taken or let go.
    uint64_t ConnectionId() const { return m_ConnectionId; }
    // A server or a connection is open.
    bool IsOpen() const { return m_Server || m_Connection; }
    // A connection exists, made or still being made.
    bool HasConnection() const { return m_Connection != nullptr; }
    // A client is connected to this host, or this client's connection is up.
    bool PeerConnected() const;
    // The port the host listens on, 0 when not listening.
    uint16_t ListeningPort() const;
    // Host: the connections whose greeting is under way.
    int GreetingsUnderWay() const { return int(m_Greetings.size()); }
    // The code of a message whose bytes have only partly arrived, as of the last read; 0 when
    // none.
    uint8_t PendingCode() const { return m_PendingCode; }

    // Each sends one message to the connected peer; nothing when no peer is connected, after
    // the disconnect was sent or once the output overflowed. A write that fails emits
    // networkError.
    void SendCommand(TNetCommand command);
    void SendName(const std::string& name);
    void SendHostColour(uint8_t colour);
    void SendTime(int32_t seconds);
    void SendMove(TPoint from, TPoint to);
    void SendPromotion(uint8_t kind);
    void SendUndoRequest(const TMoveRecord& move);
    void SendUndo(const TMoveRecord& move);
    // A chat line, cut to 255 bytes at a character boundary.
    void SendChat(const std::string& text);
    // A game body of the game-state layout.
    void SendGameState(const std::string& body);

    // Limits that keep a single peer from holding the link or filling memory. Fields rather than
    // constants so that tests can shorten them.
    // Host: from accepting a connection to its complete version and name; client: from its
    // connection being made to the host's name or game state. A connection that misses it is
    // closed (the host closes it quietly; the client fails).
    int GreetingTimeout = 10000;
    // How long a message may take to arrive once its first byte has, and how long the peer may
    // take to close after this side answered its disconnect.
    int StallTimeout = 30000;
    // The unread output beyond which the peer is dropped as one that does not read. Above the
    // largest game state (65535 moves, about 1.25 MB).
    qint64 OutputLimit = 2 * 1024 * 1024;
    // Host: connections whose greeting is under way at once; beyond it the oldest is closed.
    int MaxGreetings = 64;
    // Host: how long a joined opponent may take to declare itself ready before it is let go, so
    // that one who never does cannot keep the host from every other opponent.
    int ReadyTimeout = 5 * 60 * 1000;

signals:
    // Host: a connection was accepted and greets.
    void greetingStarted();
    // Host: a connection completed its greeting with the right version and this name; it is the
    // peer from now on and every other greeting has been closed.
    void peerJoined(const std::string& name);
    // Client: the host's greeting.
    void hostColourArrived(uint8_t colour);
    void nameArrived(const std::string& name);
    // A game body as the layout of the game state measured it (not yet read).
    void gameStateArrived(const std::string& body);
    // Client: the host's clock of the player to move, never negative.
    void timeArrived(int32_t seconds);
    // Both squares are on the board.
    void moveArrived(TPoint from, TPoint to);
    // A kind of rook .. queen.
    void promotionArrived(uint8_t kind);
    void undoRequestArrived();
    void undoArrived();
    // A command of cmSendName .. cmStop.
    void commandArrived(TNetCommand command);
    void chatArrived(const std::string& text);
    // Client: the connection could not be made; it has been let go.
    void connectFailed();
    // The peer closed the connection, or did not close it in time after this side answered its
    // disconnect; the connection has been let go.
    void peerLeft();
    // Host: the opponent did not declare itself ready within ReadyTimeout; it was sent the
    // disconnect command and its connection has been let go.
    void peerNotReady();
    // The connection failed, stalled, overflowed or broke the protocol; it has been let go.
    // networkError follows.
    void failed();
    // A failure for the user to hear of: after failed(), or when a write failed. Not raised
    // again while a receiver of the last one runs.
    void networkError();

private:
    // The most a connection buffers, and reads at a time, before the link has acted on it.
    static constexpr qint64 ReadChunk = 64 * 1024;
    // How long a closing connection may take to hand over what was written before it is dropped.
    static constexpr int LingerMilliseconds = 5000;

    // A connection accepted by the host whose version and name have not all arrived yet.
    struct TGreeting {
        QTcpSocket* Socket = nullptr;
        TMessageReader Reader;
        bool VersionAccepted = false;
    };

    // Writes a whole message; false only when the write failed, after networkError.
    bool Send(const std::string& message);
    void Attach(QTcpSocket* socket);
    // Lets go of the connection: gracefully once what was written has gone out, or at once.
    // Answers whether there was one.
    bool Release(bool graceful);
    // Closes a socket once what was written to it has gone out, or after the linger time.
    static void Linger(QTcpSocket* socket);
    void ResetConnectionState();
    void CloseServer();
    void Connected(QTcpSocket* socket);
    void Closed(QTcpSocket* socket);
    void SocketError(QTcpSocket* socket, int error);
    void ConnectionFailed();
    void Fail();
    void ReportError();
    void DataArrived(QTcpSocket* socket);

    // The messages (NetworkLinkMessages.cpp).
    // Acts on the complete messages the reader holds; false once the connection has been let go.
    bool ActOnBufferedMessages(QTcpSocket* socket, bool& progressed);
    // Checks a message against the protocol and emits it; throws for one that breaks it.
    void Dispatch(const TNetMessage& message);
    void OutputOverflowed();
    void StallTimedOut();
    void ClientGreetingTimedOut();
    void ReadyTimedOut();

    // The host's greeting (NetworkLinkGreeting.cpp).
    void AcceptConnections();
    void GreetingDataArrived(QTcpSocket* socket);
    TGreeting* FindGreeting(QTcpSocket* socket);
    // Closes a connection whose greeting is under way, without a word to anyone.
    void DropGreeting(QTcpSocket* socket);
    void DropAllGreetings();
    void GreetingComplete(QTcpSocket* socket, const std::string& name);

    bool m_Host = false;
    QTcpServer* m_Server = nullptr;
    QTcpSocket* m_Connection = nullptr;
    uint64_t m_ConnectionId = 0;
    TMessageReader m_Reader;
    uint8_t m_PendingCode = 0;
    std::vector<TGreeting> m_Greetings;
    // The client's connection has been asked for and is not made yet.
    bool m_Connecting = false;
    // The client has had the host's name or game state.
    bool m_Joined = false;
    // This side has sent its disconnect over the current connection: nothing more is sent.
    bool m_DisconnectSent = false;
    // The peer's unread output passed OutputLimit; the connection is being dropped.
    bool m_OutputOverflow = false;
    // A receiver of networkError is still running.
    bool m_ReportingError = false;
    // Runs while a message is partly received, and while a disconnect waits for its answer.
    QTimer m_StallTimer;
    // Runs on the client from its connection until the host's name or game state.
    QTimer m_GreetingTimer;
    // Runs on the host while the joined opponent is to declare itself ready.
    QTimer m_ReadyTimer;
};
