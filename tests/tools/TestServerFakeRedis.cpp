// wintermoot-server against a Redis that misbehaves: a fake Redis in the test, on a free port of
// 127.0.0.1, answers the server's set-up as Redis does and then answers the list's script too
// slowly, with more entries than any list holds, or with a string of a gigabyte. The server must
// answer 503 within its deadline and keep its memory, whatever Redis sends.

#include "RunProgram.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using TSteady = std::chrono::steady_clock;

enum class EMisbehaviour { Nothing, Trickle, EndlessArray, HugeString };

// Speaks enough of Redis's protocol for the server's set-up (PING, SELECT, SCRIPT LOAD) and
// answers every script as its misbehaviour says.
class TFakeRedis {
public:
    explicit TFakeRedis(EMisbehaviour misbehaviour)
        : m_Misbehaviour(misbehaviour) {
        m_Listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        bind(m_Listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
        listen(m_Listener, 16);
        getsockname(m_Listener, reinterpret_cast<sockaddr*>(&address), &length);
        m_Port = ntohs(address.sin_port);
        m_Accept = std::thread([this] { Accept(); });
    }

    ~TFakeRedis() {
        m_Stop = true;
        shutdown(m_Listener, SHUT_RDWR);
        m_Accept.join();
        {
            const std::lock_guard lock(m_Mutex);
            for (const int fd : m_Clients)
                shutdown(fd, SHUT_RDWR);
        }
        for (std::thread& thread : m_Serving)
            thread.join();
        for (const int fd : m_Clients)
            close(fd);
        close(m_Listener);
    }

    int Port() const { return m_Port; }

private:
    void Accept() {
        while (!m_Stop) {
            const int fd = accept4(m_Listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0)
                return;
            const std::lock_guard lock(m_Mutex);
            m_Clients.push_back(fd);
            m_Serving.emplace_back([this, fd] { Serve(fd); });
        }
    }

    // The next line from the client without its CR LF; false when the client has gone.
    static bool ReadLine(int fd, std::string& line) {
        line.clear();
        char c = 0;
        while (recv(fd, &c, 1, 0) == 1) {
            if (c == '\n' && !line.empty() && line.back() == '\r') {
                line.pop_back();
                return true;
            }
            line += c;
        }
        return false;
    }

    bool Send(int fd, const std::string& data) {
        return !m_Stop && send(fd, data.data(), data.size(), MSG_NOSIGNAL) == ssize_t(data.size());
    }

    void Serve(int fd) {
        std::string line;
        while (ReadLine(fd, line) && line.size() > 1 && line[0] == '*') {
            std::vector<std::string> args;
            for (int i = std::stoi(line.substr(1)); i > 0 && ReadLine(fd, line); --i) {
                std::string arg(std::stoul(line.substr(1)) + 2, '\0');
                std::size_t got = 0;
                while (got < arg.size()) {
                    const ssize_t n = recv(fd, arg.data() + got, arg.size() - got, 0);
                    if (n <= 0)
                        return;
                    got += static_cast<std::size_t>(n);
                }
                args.push_back(arg.substr(0, arg.size() - 2));
            }
            if (args.empty())
                return;
            if (args[0] == "PING")
                Send(fd, "+PONG\r\n");
            else if (args[0] == "SELECT")
                Send(fd, "+OK\r\n");
            else if (args[0] == "SCRIPT")
                Send(fd, "$40\r\n" + std::string(40, 'a') + "\r\n");
            else if (!Misbehave(fd))
                return;
        }
    }

    // Answers a script; false once the server has gone.
    bool Misbehave(int fd) {
        const std::string good = "*2\r\n$3\r\nAnn\r\n$8\r\n10.0.0.1\r\n";
        switch (m_Misbehaviour) {
        case EMisbehaviour::Nothing:
            return Send(fd, good);
        case EMisbehaviour::Trickle:
            // One byte every half second, each well within any timeout of a single read.
            for (std::size_t i = 0; i < good.size(); ++i) {
                if (!Send(fd, good.substr(i, 1)))
                    return false;
                std::this_thread::sleep_for(500ms);
            }
            return true;
        case EMisbehaviour::EndlessArray:
            if (!Send(fd, "*2147483647\r\n"))
                return false;
            for (;;) {
                if (!Send(fd, "$3\r\nAnn\r\n"))
                    return false;
                std::this_thread::sleep_for(20ms);
            }
        case EMisbehaviour::HugeString: {
            if (!Send(fd, "*2\r\n$1000000000\r\n"))
                return false;
            // As fast as the server takes it, up to 300 MB.
            const std::string block(1 << 20, 'x');
            for (int i = 0; i < 300; ++i)
                if (!Send(fd, block))
                    return false;
            return true;
        }
        }
        return false;
    }

    EMisbehaviour m_Misbehaviour;
    int m_Listener = -1;
    int m_Port = 0;
    std::atomic<bool> m_Stop = false;
    std::mutex m_Mutex;
    std::vector<int> m_Clients;
    std::vector<std::thread> m_Serving;
    std::thread m_Accept;
};

// wintermoot-server keeping its list in the given Redis; Port() is 0 when it did not start.
class TServer {
public:
    explicit TServer(int redisPort) {
        int out[2];
        if (pipe2(out, O_CLOEXEC) != 0)
            return;
        std::vector<std::string> args { WINTERMOOT_SERVER, "--listen", "127.0.0.1", "--port", "0",
            "--store", "redis://127.0.0.1:" + std::to_string(redisPort) };
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        if (posix_spawn(&m_Pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
            m_Pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        std::string line;
        char c = 0;
        pollfd ready { out[0], POLLIN, 0 };
        while (poll(&ready, 1, 10000) > 0 && read(out[0], &c, 1) == 1 && c != '\n')
            line += c;
        close(out[0]);
        if (line.rfind("listening on ", 0) == 0)
            m_Port = std::stoi(line.substr(13));
    }
    ~TServer() {
        if (m_Pid > 0) {
            kill(m_Pid, SIGTERM);
            waitpid(m_Pid, nullptr, 0);
        }
    }
    int Port() const { return m_Port; }

    // The peak of the server's resident memory so far, in MB.
    double PeakMegabytes() const {
        std::ifstream status("/proc/" + std::to_string(m_Pid) + "/status");
        for (std::string line; std::getline(status, line);)
            if (line.rfind("VmHWM:", 0) == 0)
                return std::stod(line.substr(6)) / 1024;
        return -1;
    }

private:
    pid_t m_Pid = -1;
    int m_Port = 0;
};

// The status of a list request and how long it took; status 0 when no answer came within 30 s,
// far longer than the server may take.
std::pair<int, double> AskForTheList(int port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const timeval limit { 30, 0 };
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const auto start = TSteady::now();
    std::string answer;
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        const std::string request
            = "GET /wintermoot.inf HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
        send(fd, request.data(), request.size(), MSG_NOSIGNAL);
        char buffer[4096];
        ssize_t got = 0;
        while ((got = recv(fd, buffer, sizeof buffer, 0)) > 0)
            answer.append(buffer, static_cast<std::size_t>(got));
    }
    close(fd);
    const double seconds = std::chrono::duration<double>(TSteady::now() - start).count();
    return { answer.rfind("HTTP/1.1 ", 0) == 0 ? std::stoi(answer.substr(9, 3)) : 0, seconds };
}

struct TMisbehaviourCase {
    const char* Name;
    EMisbehaviour Misbehaviour;
};

class MisbehavingRedisTest : public testing::TestWithParam<TMisbehaviourCase> { };

TEST_P(MisbehavingRedisTest, GetsA503WithinTheDeadlineAndCostsNoMemory) {
    const TFakeRedis redis(GetParam().Misbehaviour);
    const TServer server(redis.Port());
    ASSERT_GT(server.Port(), 0) << "the server did not start on the fake Redis";
    const auto [status, seconds] = AskForTheList(server.Port());
    // The figures, for comparing with a server built otherwise.
    std::printf("  answer %d after %.3f s, server's peak memory %.1f MB\n", status, seconds,
        server.PeakMegabytes());
    EXPECT_EQ(status, 503) << "after " << seconds << " s";
    // Each request waits 1 s for Redis; a few more is a slow machine, 30 is no deadline.
    EXPECT_LT(seconds, 15);
    EXPECT_LT(server.PeakMegabytes(), 100) << "the server kept what Redis sent";
}

INSTANTIATE_TEST_SUITE_P(Redis, MisbehavingRedisTest,
    testing::Values(TMisbehaviourCase { "TricklesAByteEveryHalfSecond", EMisbehaviour::Trickle },
        TMisbehaviourCase { "AnnouncesAnEndlessArray", EMisbehaviour::EndlessArray },
        TMisbehaviourCase { "AnnouncesAGigabyteString", EMisbehaviour::HugeString }),
    [](const testing::TestParamInfo<TMisbehaviourCase>& info) { return info.param.Name; });

TEST(FakeRedisTest, AWellBehavedAnswerIsListed) {
    const TFakeRedis redis(EMisbehaviour::Nothing);
    const TServer server(redis.Port());
    ASSERT_GT(server.Port(), 0);
    EXPECT_EQ(AskForTheList(server.Port()).first, 200);
}

} // namespace
