// The controller's side of a network game, fed the byte stream of a hostile opponent over a real
// loopback connection: the controller only takes its peer from a socket. The first byte picks
// the side (host or client), the host's colour and whether the host offers a loaded game; the
// stream is cut into pieces at points taken from the end of the input, and each piece is read
// and acted on by the controller before the next is sent.

#include "FuzzSupport.h"

#include "UnitChessGame.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

#include <sys/ioctl.h>
#include <sys/socket.h>

#include <string>
#include <vector>

namespace {

constexpr int WaitMilliseconds = 200;

QTcpServer* PeerServer = nullptr;

// One controller for the process, as the program has: a new one costs its computer player's
// tables. Connect() lets go of the last link and its game; the rest is put back here.
TChessGame& Controller() {
    static TChessGame* game = new TChessGame;
    game->StopGame();
    game->GameState = gsIdle;
    game->GameLoaded = false;
    game->Board.Reset();
    game->SearchBoard.Reset();
    game->Board.Modified = false;
    game->Moves.Clear();
    game->WhitePlayer = TPlayer { 0, true, "Host" };
    game->BlackPlayer = TPlayer { 0, true, "Client" };
    game->Turn = pcWhite;
    return *game;
}

void Pump() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

bool WaitFor(const std::function<bool()>& done) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > WaitMilliseconds)
            return false;
        Pump();
    }
    return true;
}

// The controller's end of the link: its connected socket whose far end is the peer.
QTcpSocket* ControllerSocket(TChessGame& game, const QTcpSocket& peer) {
    for (QTcpSocket* socket : game.findChildren<QTcpSocket*>()) {
        if (socket->state() == QAbstractSocket::ConnectedState
            && socket->localPort() == peer.peerPort() && socket->peerPort() == peer.localPort())
            return socket;
    }
    return nullptr;
}

// The bytes the kernel holds for the socket that Qt has not read yet.
int Unread(const QTcpSocket& socket) {
    int count = 0;
    if (ioctl(int(socket.socketDescriptor()), FIONREAD, &count) != 0)
        return 0;
    return count;
}

// Closes with a reset, so that no closed connection waits in TIME_WAIT for a port.
void Reset(QTcpSocket* peer) {
    const linger off { 1, 0 };
    if (peer->socketDescriptor() >= 0)
        setsockopt(int(peer->socketDescriptor()), SOL_SOCKET, SO_LINGER, &off, sizeof off);
    peer->abort();
    delete peer;
}

QTcpSocket* Link(TChessGame& game, bool host) {
    if (host) {
        qputenv("WINTERMOOT_PORT", "0");
        if (!game.Connect("127.0.0.1"))
            FuzzFail("the host cannot listen");
        auto* peer = new QTcpSocket;
        peer->connectToHost(QHostAddress::LocalHost, game.ListeningPort());
        // Taken as a connection whose greeting is under way: the opponent only once it greets.
        if (!peer->waitForConnected(WaitMilliseconds)
            || !WaitFor([&] { return ControllerSocket(game, *peer) != nullptr; }))
            FuzzFail("the host does not take the connection");
        return peer;
    }
    qputenv("WINTERMOOT_PORT", QByteArray::number(PeerServer->serverPort()));
    game.Connect("127.0.0.1");
    if (!WaitFor([&] { return PeerServer->hasPendingConnections() && game.PeerConnected(); }))
        FuzzFail("the client does not connect");
    return PeerServer->nextPendingConnection();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    InitFuzzApplication(argc, argv);
    PeerServer = new QTcpServer;
    if (!PeerServer->listen(QHostAddress::LocalHost, 0))
        FuzzFail("cannot listen on the loopback address");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const uint8_t setup = input.ConsumeIntegral<uint8_t>();
    const bool host = setup & 1;
    std::vector<size_t> pieces;
    const size_t cuts = input.ConsumeIntegralInRange<size_t>(0, 16);
    for (size_t i = 0; i < cuts; ++i)
        pieces.push_back(input.ConsumeIntegralInRange<size_t>(1, 512));
    const std::string stream = input.ConsumeRemainingBytesAsString();

    TChessGame& game = Controller();
    game.GameKind = host ? gkHost : gkClient;
    game.HostColour = (setup >> 1) & 1;
    game.GameLoaded = host && (setup & 4);
    QTcpSocket* peer = Link(game, host);

    size_t at = 0;
    size_t piece = 0;
    while (at < stream.size()) {
        const size_t length = piece < pieces.size() ? pieces[piece++] : stream.size() - at;
        const std::string bytes = stream.substr(at, length);
        at += bytes.size();
        QTcpSocket* own = ControllerSocket(game, *peer);
        if (!own)
            break;
        peer->write(bytes.data(), qint64(bytes.size()));
        peer->waitForBytesWritten(WaitMilliseconds);
        // Until the controller has read the piece and acted on it, or let go of the link.
        WaitFor([&] {
            peer->readAll();
            own = ControllerSocket(game, *peer);
            return !own || (own->bytesAvailable() == 0 && Unread(*own) == 0);
        });
        Pump();
    }

    game.Disconnect();
    Reset(peer);
    Pump();
    game.Disconnect();
    game.StopGame();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return 0;
}
