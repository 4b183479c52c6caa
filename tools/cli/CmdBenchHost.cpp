// bench-host: a child `wintermoot-cli host` against test clients that misbehave on loopback, one
// fresh host for each case. It reports how long the host took to refuse a flood, the most memory
// it held (VmHWM from /proc), and how long a real opponent took to be greeted while many idle
// connections were open. Every wait has a limit, so the bench ends whatever the host does.

#include "Commands.h"
#include "NetworkMessages.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTcpSocket>

#include <sys/socket.h>

#include <cstdio>
#include <iostream>
#include <memory>
#include <vector>

namespace {

constexpr int Patience = 20000;
// The host's name message and its colour: what a client receives once its name is taken.
constexpr size_t JoinedBytes = 2 + 257;

void Pump() {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

bool WaitFor(const std::function<bool()>& done, int milliseconds) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > milliseconds)
            return false;
        Pump();
    }
    return true;
}

// A `wintermoot-cli host` of its own, on a free port.
class TChildHost {
public:
    TChildHost() {
        m_Process.setProgram(QCoreApplication::applicationFilePath());
        m_Process.setArguments({ "host", "--port", "0", "--depth", "1", "--colour", "black" });
        m_Process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_Process.start();
        if (!m_Process.waitForStarted(Patience))
            return;
        WaitFor(
            [&] {
                m_Output += m_Process.readAllStandardOutput();
                const qsizetype at = m_Output.indexOf("listening on ");
                const qsizetype end = m_Output.indexOf('\n', at);
                if (at < 0 || end < 0)
                    return m_Process.state() == QProcess::NotRunning;
                m_Port = m_Output.mid(at + 13, end - at - 13).trimmed().toUShort();
                return true;
            },
            Patience);
    }
    ~TChildHost() {
        if (m_Process.state() != QProcess::NotRunning) {
            m_Process.kill();
            m_Process.waitForFinished(Patience);
        }
    }
    TChildHost(const TChildHost&) = delete;
    TChildHost& operator=(const TChildHost&) = delete;

    uint16_t Port() const { return m_Port; }
    // The peak resident memory of the host so far, in MB; kept from the last reading once the
    // host has gone.
    double PeakMegabytes() {
        QFile status(QStringLiteral("/proc/%1/status").arg(m_Process.processId()));
        if (m_Process.state() == QProcess::Running && status.open(QIODevice::ReadOnly)) {
            for (const QByteArray& line : status.readAll().split('\n')) {
                if (line.startsWith("VmHWM:"))
                    m_PeakKilobytes = line.mid(6).trimmed().split(' ').value(0).toDouble();
            }
        }
        return m_PeakKilobytes / 1024.0;
    }

private:
    QProcess m_Process;
    QByteArray m_Output;
    uint16_t m_Port = 0;
    double m_PeakKilobytes = 0;
};

class TBadClient {
public:
    bool Connect(uint16_t port) {
        m_Socket.connectToHost(QStringLiteral("127.0.0.1"), port);
        return m_Socket.waitForConnected(Patience);
    }
    void Send(const std::string& bytes) { m_Socket.write(bytes.data(), qint64(bytes.size())); }
    bool Open() const { return m_Socket.state() == QAbstractSocket::ConnectedState; }
    // Waits until `count` more bytes have come from the host.
    bool Receive(size_t count) {
        return WaitFor(
                   [&] {
                       if (m_Socket.isOpen())
                           m_Received += m_Socket.readAll().size();
                       return size_t(m_Received) >= count || !Open();
                   },
                   Patience)
            && size_t(m_Received) >= count;
    }
    // Version and name, then ready: the host, which readies itself on a join, starts the game.
    bool StartGame() {
        Send(EncodeVersion(320));
        Send(EncodeText(ncName, "Bench"));
        Send(EncodeCommand(cmReady));
        // Send-your-name, colour and name, its ready and the start.
        return Receive(2 + JoinedBytes + 4);
    }
    // Never reads again, and keeps the kernel from reading much on its behalf.
    void StopReading() {
        const int small = 4096;
        setsockopt(int(m_Socket.socketDescriptor()), SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
        m_Socket.setReadBufferSize(1);
    }
    QTcpSocket& Socket() { return m_Socket; }

private:
    QTcpSocket m_Socket;
    qint64 m_Received = 0;
};

// Sends `flood` and a resume while the game is paused, and reports how long the host took to
// drop the client, timed from the first byte of the flood.
void RunPausedFlood(const char* what, const std::string& flood) {
    TChildHost host;
    TBadClient client;
    if (!host.Port() || !client.Connect(host.Port()) || !client.StartGame()) {
        std::cout << what << ": the host did not start a game\n";
        return;
    }
    client.Send(EncodeCommand(cmPause));
    QElapsedTimer timer;
    timer.start();
    client.Send(flood);
    client.Send(EncodeCommand(cmResume));
    // A host that holds the flood and replays it does not close; the wait ends at the limit.
    const bool refused = WaitFor(
        [&] {
            // The host may already have closed the socket, which then has nothing to read.
            if (client.Socket().isOpen())
                client.Socket().readAll();
            host.PeakMegabytes();
            return !client.Open();
        },
        Patience);
    const qint64 elapsed = timer.elapsed();
    std::printf("%-46s %s after %lld ms; host peak RSS %.1f MB\n", what,
        refused ? "refused" : "NOT refused", static_cast<long long>(elapsed), host.PeakMegabytes());
}

void RunUnreadOutput(size_t megabytes) {
    TChildHost host;
    TBadClient client;
    if (!host.Port() || !client.Connect(host.Port()) || !client.StartGame()) {
        std::cout << "unread output: the host did not start a game\n";
        return;
    }
    client.StopReading();
    const std::string chunk = [] {
        std::string pairs;
        for (int i = 0; i < 16384; ++i)
            pairs += EncodeCommand(cmPause) + EncodeCommand(cmResume);
        return pairs;
    }();
    QElapsedTimer timer;
    timer.start();
    size_t sent = 0;
    while (sent < megabytes * 1024 * 1024 && client.Open() && timer.elapsed() < Patience) {
        client.Send(chunk);
        sent += chunk.size();
        WaitFor([&] { return client.Socket().bytesToWrite() < qint64(chunk.size()); }, 1000);
        host.PeakMegabytes();
    }
    const bool dropped
        = WaitFor([&] { return !client.Open(); }, 2000) || client.Socket().bytesToWrite() > 0;
    std::printf("%-46s %s after %.1f MB sent; host peak RSS %.1f MB\n",
        ("never reads, " + std::to_string(megabytes) + " MB of pause/resume").c_str(),
        dropped ? "dropped" : "NOT dropped", double(sent) / (1024 * 1024), host.PeakMegabytes());
}

void RunIdleConnections(int count) {
    TChildHost host;
    if (!host.Port()) {
        std::cout << "idle connections: the host did not start\n";
        return;
    }
    // Silent, half a version, half a name, and one byte a second of a name.
    std::vector<std::unique_ptr<TBadClient>> idle;
    const std::string name = EncodeText(ncName, "idle");
    for (int i = 0; i < count; ++i) {
        auto client = std::make_unique<TBadClient>();
        if (!client->Connect(host.Port()))
            break;
        switch (i % 4) {
        case 1:
            client->Send(std::string(1, char(ncVersion)));
            break;
        case 2:
            client->Send(EncodeVersion(320) + name.substr(0, 100));
            break;
        case 3:
            client->Send(EncodeVersion(320) + name.substr(0, 1));
            break;
        default:
            break;
        }
        idle.push_back(std::move(client));
    }
    WaitFor([] { return false; }, 200);
    TBadClient real;
    QElapsedTimer timer;
    timer.start();
    bool joined = real.Connect(host.Port());
    if (joined) {
        real.Send(EncodeVersion(320));
        joined = real.Receive(2);
        real.Send(EncodeText(ncName, "Real"));
        joined = joined && real.Receive(2 + JoinedBytes);
    }
    const qint64 elapsed = timer.elapsed();
    std::printf("%-46s %s in %lld ms; host peak RSS %.1f MB\n",
        (std::to_string(idle.size()) + " idle connections, then a real opponent").c_str(),
        joined ? "greeted" : "NOT greeted", static_cast<long long>(elapsed), host.PeakMegabytes());
}

std::string Repeated(const std::string& bytes, size_t count) {
    std::string all;
    all.reserve(bytes.size() * count);
    for (size_t i = 0; i < count; ++i)
        all += bytes;
    return all;
}

} // namespace

int CmdBenchHost(const TArgs& args) {
    int messages = 100000;
    int megabytes = 10;
    int connections = 200;
    ParseIntOptions(args,
        { { "--messages", &messages, 1, 1000000 }, { "--megabytes", &megabytes, 1, 100 },
            { "--connections", &connections, 1, 500 } });
    int argc = 1;
    char name[] = "wintermoot-cli";
    char* argv[] = { name, nullptr };
    QCoreApplication app(argc, argv);

    TMoveRecord move;
    move.From = MakePoint(5, 2);
    move.To = MakePoint(5, 4);
    const std::string moveBytes = EncodeMoveRecord(ncMove, move);
    RunPausedFlood((std::to_string(messages) + " promotions while paused").c_str(),
        Repeated(EncodeByteMessage(ncPromotion, pkQueen), size_t(messages)));
    RunPausedFlood((std::to_string(megabytes) + " MB of promotions while paused").c_str(),
        Repeated(EncodeByteMessage(ncPromotion, pkQueen), size_t(megabytes) * 1024 * 512));
    RunPausedFlood((std::to_string(megabytes) + " MB of moves while paused").c_str(),
        Repeated(moveBytes, size_t(megabytes) * 1024 * 1024 / moveBytes.size()));
    RunUnreadOutput(size_t(megabytes) * 3);
    RunIdleConnections(connections);
    return 0;
}
