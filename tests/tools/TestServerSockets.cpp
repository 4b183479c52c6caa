// wintermoot-server from outside, through real sockets on 127.0.0.1, against clients that behave
// badly: idle and trickling connections, header floods, pipelined requests, hostile methods and a
// burst of connections the server cannot accept at once. Every wait is bounded by a receive
// timeout, so a server that stops answering fails the test instead of hanging it.

#include "RunProgram.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

using namespace std::chrono_literals;

// An open socket, closed with its owner.
class TSocket {
public:
    explicit TSocket(int fd = -1)
        : m_Fd(fd) { }
    TSocket(TSocket&& other) noexcept
        : m_Fd(std::exchange(other.m_Fd, -1)) { }
    TSocket& operator=(TSocket&& other) noexcept {
        std::swap(m_Fd, other.m_Fd);
        return *this;
    }
    ~TSocket() {
        if (m_Fd >= 0)
            close(m_Fd);
    }
    int Fd() const { return m_Fd; }

private:
    int m_Fd;
};

sockaddr_in Loopback(int port) {
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// A blocking connection from 127.0.0.N whose reads give up after the timeout.
TSocket Connect(int port, std::chrono::milliseconds timeout = 5000ms, int source = 1) {
    TSocket socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    timeval limit { static_cast<time_t>(timeout.count() / 1000),
        static_cast<suseconds_t>(timeout.count() % 1000 * 1000) };
    setsockopt(socket.Fd(), SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    setsockopt(socket.Fd(), SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    sockaddr_in from = Loopback(0);
    from.sin_addr.s_addr = htonl(0x7F000000u | static_cast<uint32_t>(source));
    const sockaddr_in address = Loopback(port);
    if (bind(socket.Fd(), reinterpret_cast<const sockaddr*>(&from), sizeof from) != 0
        || connect(socket.Fd(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        return TSocket();
    return socket;
}

bool SendAll(const TSocket& socket, std::string_view data) {
    while (!data.empty()) {
        const ssize_t sent = send(socket.Fd(), data.data(), data.size(), MSG_NOSIGNAL);
        if (sent <= 0)
            return false;
        data.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

// Everything the server sends until it has sent `answers` complete answers, closes the connection
// or stays silent past the socket's receive timeout.
std::string ReadAnswers(const TSocket& socket, int answers = 1) {
    std::string text;
    char buffer[4096];
    const auto complete = [&] {
        int found = 0;
        std::size_t at = 0;
        while (found < answers) {
            const std::size_t head = text.find("\r\n\r\n", at);
            if (head == std::string::npos)
                return false;
            const std::size_t length = text.find("Content-Length: ", at);
            if (length == std::string::npos || length > head)
                return false;
            const std::size_t end = head + 4 + std::stoul(text.substr(length + 16));
            if (end > text.size())
                return false;
            at = end;
            ++found;
        }
        return true;
    };
    while (!complete()) {
        const ssize_t got = recv(socket.Fd(), buffer, sizeof buffer, 0);
        if (got <= 0)
            break;
        text.append(buffer, static_cast<std::size_t>(got));
    }
    return text;
}

std::string Get(const std::string& target) {
    return "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
}

// wintermoot-server on a free port of 127.0.0.1, its error output (the request log) in a file.
class TServerProcess {
public:
    explicit TServerProcess(std::vector<std::string> extra = {}) {
        int out[2];
        if (pipe2(out, O_CLOEXEC) != 0)
            return;
        char errPath[] = "/tmp/wm-server-log-XXXXXX";
        const int errFd = mkstemp(errPath);
        m_LogPath = errPath;
        std::vector<std::string> args { WINTERMOOT_SERVER, "--listen", "127.0.0.1", "--port", "0" };
        args.insert(args.end(), extra.begin(), extra.end());
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, errFd, STDERR_FILENO);
        if (posix_spawn(&m_Pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
            m_Pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        close(errFd);
        // The first line says the port; a server that fails to start closes the pipe instead.
        std::string line;
        char c = 0;
        pollfd ready { out[0], POLLIN, 0 };
        while (poll(&ready, 1, 5000) > 0 && read(out[0], &c, 1) == 1 && c != '\n')
            line += c;
        close(out[0]);
        if (line.rfind("listening on ", 0) == 0)
            m_Port = std::stoi(line.substr(13));
    }
    ~TServerProcess() {
        if (m_Pid > 0) {
            kill(m_Pid, SIGCONT);
            kill(m_Pid, SIGTERM);
            waitpid(m_Pid, nullptr, 0);
        }
        std::remove(m_LogPath.c_str());
    }
    int Port() const { return m_Port; }
    pid_t Pid() const { return m_Pid; }
    std::string Log() const { return ReadFile(m_LogPath); }

private:
    pid_t m_Pid = -1;
    int m_Port = -1;
    std::string m_LogPath;
};

// The status line's code of the first answer in the text, or 0 when there is none.
int Status(const std::string& answer) {
    if (answer.rfind("HTTP/1.1 ", 0) != 0 || answer.size() < 12)
        return 0;
    return std::stoi(answer.substr(9, 3));
}

std::string Body(const std::string& answer) {
    const std::size_t head = answer.find("\r\n\r\n");
    return head == std::string::npos ? "" : answer.substr(head + 4);
}

// What a well-behaved caller gets for the list while the others misbehave.
std::string AskForTheList(int port) {
    const TSocket socket = Connect(port);
    if (!SendAll(socket, Get("/wintermoot.inf")))
        return {};
    return ReadAnswers(socket);
}

TEST(ServerSocketTest, IdleConnectionsDoNotKeepOtherCallersWaiting) {
    const TServerProcess server;
    ASSERT_GT(server.Port(), 0);
    std::vector<TSocket> idle;
    for (int i = 0; i < 64; ++i)
        idle.push_back(Connect(server.Port()));
    // Half of them sent part of a head, half nothing at all.
    for (std::size_t i = 0; i < idle.size(); i += 2)
        SendAll(idle[i], "GET /wintermoot.inf HTTP/1.1\r\n");
    EXPECT_EQ(Status(AskForTheList(server.Port())), 200);
}

TEST(ServerSocketTest, OneAddressCannotTakeEveryConnection) {
    const TServerProcess server;
    ASSERT_GT(server.Port(), 0);
    std::vector<TSocket> hoard;
    for (int i = 0; i < 300; ++i)
        hoard.push_back(Connect(server.Port(), 2000ms, 7));
    // The server closes those above its limit for one address at once.
    std::this_thread::sleep_for(300ms);
    int closed = 0;
    for (const TSocket& socket : hoard) {
        pollfd ready { socket.Fd(), POLLIN, 0 };
        char c;
        closed += socket.Fd() < 0 || (poll(&ready, 1, 0) > 0 && recv(socket.Fd(), &c, 1, 0) <= 0);
    }
    EXPECT_GE(closed, 300 - 256);
    EXPECT_LT(closed, 300 - 200) << "the limit is far lower than it should be";
    EXPECT_EQ(Status(AskForTheList(server.Port())), 200);
}

TEST(ServerSocketTest, CallersSendingAByteAtATimeDoNotKeepOthersWaiting) {
    const TServerProcess server;
    ASSERT_GT(server.Port(), 0);
    std::vector<TSocket> slow;
    for (int i = 0; i < 16; ++i)
        slow.push_back(Connect(server.Port()));
    std::atomic<bool> done = false;
    std::thread trickle([&] {
        const std::string head = "GET /wintermoot.inf HTTP/1.1\r\nX-Slow: ";
        for (std::size_t at = 0; !done; ++at) {
            for (const TSocket& socket : slow)
                SendAll(socket, std::string(1, at < head.size() ? head[at] : 'x'));
            std::this_thread::sleep_for(100ms);
        }
    });
    std::this_thread::sleep_for(300ms);
    const std::string answer = AskForTheList(server.Port());
    done = true;
    trickle.join();
    EXPECT_EQ(Status(answer), 200);
}

TEST(ServerSocketTest, AHeaderFloodIsRefusedAndAnOrdinaryHeadStillServed) {
    const TServerProcess server;
    ASSERT_GT(server.Port(), 0);
    const TSocket flood = Connect(server.Port());
    SendAll(flood, "GET /wintermoot.inf HTTP/1.1\r\nHost: 127.0.0.1\r\n");
    const std::string line = "X-Flood: " + std::string(4096, 'a') + "\r\n";
    // 4 MB of header lines; the server may stop reading and close long before the end.
    for (int i = 0; i < 1024 && SendAll(flood, line); ++i) { }
    SendAll(flood, "\r\n");
    const std::string refused = ReadAnswers(flood);
    EXPECT_EQ(Status(refused), 431) << refused.substr(0, 80);

    // A head of a few kilobytes, as a browser with many cookies sends, is still answered.
    const TSocket ordinary = Connect(server.Port());
    SendAll(ordinary,
        "GET /ipaddress.php HTTP/1.1\r\nHost: 127.0.0.1\r\nCookie: " + std::string(8000, 'c')
            + "\r\n\r\n");
    const std::string answer = ReadAnswers(ordinary);
    EXPECT_EQ(Status(answer), 200);
    EXPECT_EQ(Body(answer), "IP address=127.0.0.1\r\n");
}

TEST(ServerSocketTest, ABodyOverEightKilobytesIsRefusedAndASmallOneIgnored) {
    const TServerProcess server;
    ASSERT_GT(server.Port(), 0);
    const TSocket small = Connect(server.Port());
    SendAll(small,
        "GET /ipaddress.php HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 8000\r\n\r\n"
            + std::string(8000, 'x'));
    EXPECT_EQ(Body(ReadAnswers(small)), "IP address=127.0.0.1\r\n");
    const TSocket large = Connect(server.Port());
    SendAll(
        large, "GET /ipaddress.php HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 9000\r\n\r\n");
    EXPECT_EQ(Status(ReadAnswers(large)), 413);
}

TEST(ServerSocketTest, AHeadTrickledPastTheHeadTimeoutIsCutOff) {
    const TServerProcess server({ "--head-timeout", "1" });
    ASSERT_GT(server.Port(), 0);
    const TSocket slow = Connect(server.Port());
    const auto start = std::chrono::steady_clock::now();
    bool open = true;
    // One byte every 100 ms for up to 5 s: the connection must be closed well before that.
    for (int i = 0; i < 50 && open; ++i) {
        open = SendAll(slow, "G");
        pollfd ready { slow.Fd(), POLLIN, 0 };
        if (poll(&ready, 1, 100) > 0) {
            char c;
            open = recv(slow.Fd(), &c, 1, 0) > 0;
        }
    }
    EXPECT_FALSE(open) << "still open after "
                       << std::chrono::duration_cast<std::chrono::milliseconds>(
                              std::chrono::steady_clock::now() - start)
                              .count()
                       << " ms";
    EXPECT_EQ(Status(AskForTheList(server.Port())), 200);
}

TEST(ServerSocketTest, PipelinedRequestsAreAllAnsweredInOrder) {
    const TServerProcess server;
    ASSERT_GT(server.Port(), 0);
    const TSocket socket = Connect(server.Port());
    SendAll(socket,
        Get("/wintermoot.php?action=add&name=Ann") + Get("/wintermoot.inf")
            + Get("/ipaddress.php"));
    const std::string answers = ReadAnswers(socket, 3);
    const std::size_t ok = answers.find("\r\n\r\nOK\r\n");
    const std::size_t list = answers.find("\r\n\r\nAnn|127.0.0.1\r\n");
    const std::size_t address = answers.find("\r\n\r\nIP address=127.0.0.1\r\n");
    ASSERT_NE(ok, std::string::npos) << answers;
    ASSERT_NE(list, std::string::npos) << answers;
    ASSERT_NE(address, std::string::npos) << answers;
    EXPECT_LT(ok, list);
    EXPECT_LT(list, address);
}

TEST(ServerSocketTest, TheLogShowsNoControlBytesFromAMethodOrPath) {
    const TServerProcess server;
    ASSERT_GT(server.Port(), 0);
    {
        const TSocket socket = Connect(server.Port());
        SendAll(socket, "G\x1b[2JET /x%1B[31m HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
        ReadAnswers(socket);
    }
    AskForTheList(server.Port());
    const std::string log = server.Log();
    EXPECT_NE(log.find("/wintermoot.inf 200"), std::string::npos) << log;
    EXPECT_NE(log.find("G?[2JET /x?[31m "), std::string::npos) << log;
    EXPECT_EQ(log.find('\x1b'), std::string::npos) << log;
    // Only request lines, each starting with its date, even after a caller hung up mid-request.
    {
        const TSocket socket = Connect(server.Port());
        SendAll(socket, "GET /wintermoot.inf HTTP/1.1\r\nX-Part");
    }
    AskForTheList(server.Port());
    std::istringstream lines(server.Log());
    for (std::string line; std::getline(lines, line);)
        EXPECT_TRUE(line.size() > 20 && line[4] == '-' && line[7] == '-') << line;
}

TEST(ServerSocketTest, ABurstOfCallersWaitsInTheBacklogInsteadOfBeingDropped) {
    const TServerProcess server;
    ASSERT_GT(server.Port(), 0);
    // A stopped server accepts nothing, so every connection must wait in the listen backlog;
    // one that finds the backlog full has its handshake dropped and retried a second later.
    ASSERT_EQ(kill(server.Pid(), SIGSTOP), 0);
    constexpr int Burst = 40;
    std::vector<TSocket> sockets;
    std::vector<pollfd> waiting;
    const sockaddr_in address = Loopback(server.Port());
    for (int i = 0; i < Burst; ++i) {
        sockets.emplace_back(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
        connect(sockets.back().Fd(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
        waiting.push_back({ sockets.back().Fd(), POLLOUT, 0 });
    }
    int connected = 0;
    const auto deadline = std::chrono::steady_clock::now() + 500ms;
    while (connected < Burst && std::chrono::steady_clock::now() < deadline) {
        poll(waiting.data(), waiting.size(), 50);
        connected = 0;
        for (const pollfd& p : waiting)
            connected += (p.revents & POLLOUT) && !(p.revents & (POLLERR | POLLHUP));
    }
    kill(server.Pid(), SIGCONT);
    EXPECT_EQ(connected, Burst);
    EXPECT_EQ(Status(AskForTheList(server.Port())), 200);
}

TEST(ServerSocketTest, NamesLoseTheCharactersThatWouldReorderTheListsDisplay) {
    const TServerProcess server;
    ASSERT_GT(server.Port(), 0);
    const TSocket socket = Connect(server.Port());
    SendAll(socket,
        Get("/wintermoot.php?action=add&name=%E2%80%AEAnn%E2%80%A8Lee%EF%BB%BF")
            + Get("/wintermoot.inf"));
    const std::string answers = ReadAnswers(socket, 2);
    EXPECT_NE(answers.find("\r\n\r\nAnnLee|127.0.0.1\r\n"), std::string::npos) << answers;
}

// Lists games under long names from many addresses, so that the list is some tens of kilobytes.
void FillList(int port, int games) {
    for (int i = 0; i < games; ++i) {
        const TSocket socket = Connect(port, 5000ms, 0x10001 + i);
        SendAll(socket,
            Get("/wintermoot.php?action=add&name=Player+" + std::to_string(i) + "+"
                + std::string(240, 'x')));
        ReadAnswers(socket);
    }
}

// How many lines of the log are list requests from the address.
int ListRequestsLogged(const std::string& log, const std::string& address) {
    int count = 0;
    std::istringstream lines(log);
    for (std::string line; std::getline(lines, line);)
        count += line.find(" " + address + " GET /wintermoot.inf 200") != std::string::npos;
    return count;
}

TEST(ServerSocketTest, CallersWhoPipelineAndNeverReadGetNoMoreAnswersBuilt) {
    const TServerProcess server({ "--head-timeout", "3" });
    ASSERT_GT(server.Port(), 0);
    FillList(server.Port(), 200);
    std::string pipeline;
    for (int i = 0; i < 16; ++i)
        pipeline += Get("/wintermoot.inf");
    // 120 connections from two addresses, 16 list requests each (1,920 answers of 52 KB that
    // nobody takes); the kernel alone would take many of them.
    std::vector<TSocket> readers;
    for (int i = 0; i < 120; ++i) {
        readers.push_back(Connect(server.Port(), 5000ms, 0x20001 + i % 2));
        SendAll(readers.back(), pipeline);
    }
    std::this_thread::sleep_for(500ms);
    const std::string answer = AskForTheList(server.Port());
    EXPECT_EQ(Status(answer), 200);
    EXPECT_GT(Body(answer).size(), 50000u);
    const int built = ListRequestsLogged(server.Log(), "127.2.0.1")
        + ListRequestsLogged(server.Log(), "127.2.0.2");
    EXPECT_LT(built, 120 * 4) << "answers are built for callers who take none of them";
    // Held past the head timeout without taking anything, they are closed: the server's sockets
    // go, although the callers still hold theirs (and have not read what was sent before).
    const auto sockets = [&] {
        int count = 0;
        const std::string folder = "/proc/" + std::to_string(server.Pid()) + "/fd";
        for (const auto& entry : std::filesystem::directory_iterator(folder)) {
            std::error_code error;
            count += std::filesystem::read_symlink(entry.path(), error)
                         .string()
                         .starts_with("socket:");
        }
        return count;
    };
    int open = sockets();
    for (int wait = 0; wait < 150 && open > 10; ++wait) {
        std::this_thread::sleep_for(100ms);
        open = sockets();
    }
    EXPECT_LE(open, 10) << "connections that take nothing are kept open";
}

TEST(ServerSocketTest, APipeliningCallerWhoReadsLateGetsEveryAnswerInOrder) {
    const TServerProcess server;
    ASSERT_GT(server.Port(), 0);
    FillList(server.Port(), 200);
    std::string pipeline;
    for (int i = 0; i < 12; ++i)
        pipeline += Get("/wintermoot.inf") + Get("/ipaddress.php");
    const TSocket socket = Connect(server.Port());
    // Unread, the answers soon fill the socket's buffers and the later requests wait.
    SendAll(socket, pipeline);
    std::this_thread::sleep_for(500ms);
    const std::string answers = ReadAnswers(socket, 24);
    std::size_t at = 0;
    for (int i = 0; i < 12; ++i) {
        at = answers.find("Player 199", at);
        ASSERT_NE(at, std::string::npos) << "list " << i;
        at = answers.find("\r\n\r\nIP address=127.0.0.1\r\n", at);
        ASSERT_NE(at, std::string::npos) << "address " << i;
    }
}

struct TNameCase {
    const char* Fault;
    std::string Query;
    // The list line, or empty when the name is refused.
    std::string Listed;
};

class ServerNameTest : public testing::TestWithParam<TNameCase> { };

TEST_P(ServerNameTest, IsListedCleanOrRefused) {
    const TServerProcess server;
    ASSERT_GT(server.Port(), 0);
    const TSocket socket = Connect(server.Port());
    SendAll(socket, Get("/wintermoot.php?action=add&name=" + GetParam().Query));
    const std::string added = ReadAnswers(socket);
    SendAll(socket, Get("/wintermoot.inf"));
    const std::string list = Body(ReadAnswers(socket));
    if (GetParam().Listed.empty()) {
        EXPECT_EQ(Status(added), 400) << added;
        EXPECT_EQ(list, "");
    } else {
        EXPECT_EQ(list, GetParam().Listed + "|127.0.0.1\r\n");
    }
}

INSTANTIATE_TEST_SUITE_P(Names, ServerNameTest,
    testing::Values(
        TNameCase { "ZeroWidthSpaceAndJoinersKept", "A%E2%80%8BB%E2%80%8C%E2%80%8D", "AB" },
        TNameCase { "OnlyNoBreakSpacesAccepted", "%C2%A0%C2%A0", "" },
        TNameCase { "OnlyIdeographicSpaceAccepted", "%E3%80%80", "" },
        TNameCase { "OnlyHangulFillerAccepted", "%E3%85%A4%EF%BE%A0", "" },
        TNameCase { "OnlyBrailleBlankAccepted", "%E2%A0%80", "" },
        TNameCase { "OnlyTagCharactersAccepted", "%F3%A0%80%81%F3%A0%81%BF", "" },
        TNameCase { "SoftHyphenAndWordJoinerKept", "A%C2%ADB%E2%81%A0C%E2%81%A4", "ABC" },
        TNameCase { "HundredCombiningMarksKept",
            "Z" +
                [] {
                    std::string marks;
                    for (int i = 0; i < 100; ++i)
                        marks += "%CC%81";
                    return marks;
                }(),
            "Z\xCC\x81\xCC\x81\xCC\x81\xCC\x81" }),
    [](const testing::TestParamInfo<TNameCase>& info) { return info.param.Fault; });

TEST(ServerSocketTest, HeadChangesNothingAndAMethodWithANulIsRefused) {
    const TServerProcess server;
    ASSERT_GT(server.Port(), 0);
    // The answer to HEAD is a head alone, read up to its blank line.
    const auto head = [&](const std::string& target) {
        const TSocket socket = Connect(server.Port());
        SendAll(socket, "HEAD " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
        std::string text;
        char c = 0;
        while (text.find("\r\n\r\n") == std::string::npos && recv(socket.Fd(), &c, 1, 0) == 1)
            text += c;
        return text;
    };
    const std::string added = head("/wintermoot.php?action=add&name=Eve");
    EXPECT_EQ(Status(added), 405) << added;
    EXPECT_NE(added.find("Allow: GET\r\n"), std::string::npos) << added;
    EXPECT_EQ(Body(AskForTheList(server.Port())), "");
    const TSocket socket = Connect(server.Port());
    SendAll(socket, Get("/wintermoot.php?action=add&name=Ann"));
    ReadAnswers(socket);
    EXPECT_EQ(Status(head("/wintermoot.php?action=remove")), 405);
    EXPECT_EQ(Status(head("/wintermoot.inf")), 200);
    EXPECT_EQ(Body(AskForTheList(server.Port())), "Ann|127.0.0.1\r\n");

    const TSocket nul = Connect(server.Port(), 5000ms, 2);
    SendAll(nul,
        std::string("GET") + '\0'
            + "X /wintermoot.php?action=add&name=Eve HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    EXPECT_EQ(Status(ReadAnswers(nul)), 400);
    EXPECT_EQ(Body(AskForTheList(server.Port())), "Ann|127.0.0.1\r\n");
}

TEST(ServerSocketTest, TheRootIsASmallPageThatNamesTheList) {
    const TServerProcess server;
    ASSERT_GT(server.Port(), 0);
    const TSocket socket = Connect(server.Port());
    SendAll(socket, Get("/"));
    const std::string answer = ReadAnswers(socket);
    EXPECT_EQ(Status(answer), 200);
    EXPECT_NE(answer.find("Content-Type: text/html"), std::string::npos) << answer;
    EXPECT_NE(Body(answer).find("href=\"/wintermoot.inf\""), std::string::npos) << answer;
    EXPECT_EQ(Body(answer).find("src="), std::string::npos) << "the page loads nothing else";
}

} // namespace
