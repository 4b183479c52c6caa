// wintermoot-bench-network: measures a game-list server on loopback under the loads a hostile
// internet brings, and prints the figures. It starts the server itself (any program that takes
// --listen, --port and prints "listening on PORT"), so that candidates can be compared on the
// same load:
//   1. idle connections are opened and held, then list requests from another caller are timed;
//   2. one connection sends a flood of 4 KB header lines while the server's memory is read from
//      /proc; the answer, the bytes it took and the peak memory are reported;
//   3. 10 and 200 callers at once, each with one list request, the slowest timed;
//   4. list throughput with 1 and with 10 keep-alive clients, and the memory after each;
//   5. pipelined readers (--part pipeline, not in "all"): a full list of long names, then
//      connections from three addresses that each send 16 pipelined list requests and never read;
//      every second another caller asks once, and the server's CPU time and memory are read;
//   6. the list on Redis (when redis-server is installed; it is started on a free port): how soon
//      a game published through one server process is listed by another, list throughput of
//      one process against two on one Redis, and the memory 10,000 listed games take in the
//      server (in memory) and in Redis.
// Every step is bounded in count and time. The descriptor limit is raised to its hard limit.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

using TClock = std::chrono::steady_clock;

struct TBenchOptions {
    std::string Server;
    int Idle = 5000;
    long long FloodBytes = 200LL * 1024 * 1024;
    int Requests = 100000;
    int Games = 20;
    std::string Part = "all";
    int Pipeliners = 750;
    int AttackSeconds = 20;
};

double Milliseconds(TClock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

// The value in kB of a line of /proc/PID/status ("VmRSS", "VmHWM"), or -1.
long StatusKb(pid_t pid, const char* key) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    const std::string prefix = std::string(key) + ":";
    while (std::getline(status, line)) {
        if (line.rfind(prefix, 0) == 0)
            return std::stol(line.substr(prefix.size()));
    }
    return -1;
}

// The CPU time (user and system) the process has used, in seconds; -1 when it cannot be read.
double CpuSeconds(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    // The fields after the command name, which is in parentheses and may hold spaces.
    const std::size_t close = text.rfind(')');
    if (close == std::string::npos)
        return -1;
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    unsigned long long user = 0;
    unsigned long long system = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14)
            user = std::stoull(field);
        else if (i == 15)
            system = std::stoull(field);
    }
    return static_cast<double>(user + system) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

class TServer {
public:
    explicit TServer(const std::string& program, const std::vector<std::string>& extra = {}) {
        int out[2];
        if (pipe2(out, O_CLOEXEC) != 0)
            return;
        const int devNull = open("/dev/null", O_WRONLY | O_CLOEXEC);
        std::vector<std::string> args { program, "--listen", "127.0.0.1", "--port", "0" };
        args.insert(args.end(), extra.begin(), extra.end());
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_adddup2(&actions, devNull, STDERR_FILENO);
        if (posix_spawn(&m_Pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
            m_Pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        close(devNull);
        std::string line;
        char c = 0;
        pollfd ready { out[0], POLLIN, 0 };
        while (poll(&ready, 1, 5000) > 0 && read(out[0], &c, 1) == 1 && c != '\n')
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
    pid_t Pid() const { return m_Pid; }

private:
    pid_t m_Pid = -1;
    int m_Port = -1;
};

// A connection from the loopback address 127.0.0.N (so that many callers can be told apart), its
// reads and writes bounded by the timeout; -1 when it cannot be made.
int Connect(int port, int source, int timeoutMs) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    timeval limit { timeoutMs / 1000, timeoutMs % 1000 * 1000 };
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    const int yes = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
    sockaddr_in from {};
    from.sin_family = AF_INET;
    from.sin_addr.s_addr = htonl(0x7F000000u | static_cast<uint32_t>(source));
    sockaddr_in to {};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<uint16_t>(port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof from) != 0
        || connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

bool SendAll(int fd, const std::string& data) {
    std::size_t at = 0;
    while (at < data.size()) {
        const ssize_t sent = send(fd, data.data() + at, data.size() - at, MSG_NOSIGNAL);
        if (sent <= 0)
            return false;
        at += static_cast<std::size_t>(sent);
    }
    return true;
}

// Reads one answer with a Content-Length; its status, or 0 when none came in time.
int ReadAnswer(int fd, std::string& pending) {
    char buffer[8192];
    for (;;) {
        const std::size_t head = pending.find("\r\n\r\n");
        if (head != std::string::npos) {
            const std::size_t length = pending.find("Content-Length: ");
            const std::size_t bodyEnd = head + 4
                + (length != std::string::npos && length < head
                        ? std::stoul(pending.substr(length + 16))
                        : 0);
            if (pending.size() >= bodyEnd) {
                const int status = pending.size() > 12 ? std::atoi(pending.c_str() + 9) : 0;
                pending.erase(0, bodyEnd);
                return status;
            }
        }
        const ssize_t got = recv(fd, buffer, sizeof buffer, 0);
        if (got <= 0)
            return 0;
        pending.append(buffer, static_cast<std::size_t>(got));
    }
}

const std::string ListRequest = "GET /wintermoot.inf HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";

// One list request on a new connection from 127.0.0.1: its time, or a negative time for none.
double TimeOneRequest(int port) {
    const auto start = TClock::now();
    const int fd = Connect(port, 1, 5000);
    if (fd < 0)
        return -1;
    std::string pending;
    const bool answered = SendAll(fd, ListRequest) && ReadAnswer(fd, pending) == 200;
    close(fd);
    return answered ? Milliseconds(TClock::now() - start) : -1;
}

void Report(const char* what, const std::string& figure) {
    std::printf("  %-44s %s\n", what, figure.c_str());
    std::fflush(stdout);
}

std::string Fixed(double value, const char* unit, int decimals = 1) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f %s", decimals, value, unit);
    return text;
}

void FillList(const TServer& server, int games) {
    for (int i = 0; i < games; ++i) {
        const int fd = Connect(server.Port(), 10 + i, 5000);
        if (fd < 0)
            continue;
        std::string pending;
        SendAll(fd,
            "GET /wintermoot.php?action=add&name=Player+" + std::to_string(i)
                + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
        ReadAnswer(fd, pending);
        close(fd);
    }
}

void IdleConnections(const TBenchOptions& options) {
    const TServer server(options.Server);
    if (server.Port() < 0)
        return;
    FillList(server, options.Games);
    std::vector<int> idle;
    // Spread over many loopback addresses, 200 each, as many callers would be; a server that
    // stops accepting ends this step after two failed connections or 30 s.
    const auto start = TClock::now();
    int failures = 0;
    for (int i = 0;
         i < options.Idle && failures < 2 && TClock::now() - start < std::chrono::seconds(30);
         ++i) {
        const int fd = Connect(server.Port(), 2 + 256 * (1 + i / 200), 3000);
        if (fd < 0)
            ++failures;
        else
            idle.push_back(fd);
    }
    Report("time to open them", Fixed(Milliseconds(TClock::now() - start), "ms", 0));
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    Report("idle connections open", std::to_string(idle.size()));
    std::vector<double> times;
    int unanswered = 0;
    for (int i = 0; i < 20; ++i) {
        const double ms = TimeOneRequest(server.Port());
        if (ms < 0)
            ++unanswered;
        else
            times.push_back(ms);
        if (unanswered >= 2)
            break;
    }
    std::sort(times.begin(), times.end());
    if (!times.empty()) {
        Report("list request with them open, median", Fixed(times[times.size() / 2], "ms", 2));
        Report("list request with them open, slowest", Fixed(times.back(), "ms", 2));
    }
    if (unanswered > 0)
        Report("list requests without an answer in 5 s", std::to_string(unanswered));
    Report("server memory with them open (RSS)",
        Fixed(StatusKb(server.Pid(), "VmRSS") / 1024.0, "MB"));
    for (const int fd : idle)
        close(fd);
}

void HeaderFlood(const TBenchOptions& options) {
    const TServer server(options.Server);
    if (server.Port() < 0)
        return;
    const long startKb = StatusKb(server.Pid(), "VmRSS");
    const int fd = Connect(server.Port(), 1, 10000);
    const std::string line = "X-Flood: " + std::string(4096 - 11, 'a') + "\r\n";
    const auto start = TClock::now();
    long long sent = 0;
    bool open = SendAll(fd, "GET /wintermoot.inf HTTP/1.1\r\nHost: 127.0.0.1\r\n");
    while (open && sent < options.FloodBytes && TClock::now() - start < std::chrono::seconds(60)) {
        open = SendAll(fd, line);
        if (open)
            sent += static_cast<long long>(line.size());
    }
    if (open)
        SendAll(fd, "\r\n");
    std::string pending;
    const int status = ReadAnswer(fd, pending);
    close(fd);
    Report("flood sent until the connection closed", Fixed(sent / 1048576.0, "MB", 2));
    Report("answer to the flood", status ? std::to_string(status) : "none");
    Report("server memory before / peak / after",
        Fixed(startKb / 1024.0, "MB /") + " "
            + Fixed(StatusKb(server.Pid(), "VmHWM") / 1024.0, "MB /") + " "
            + Fixed(StatusKb(server.Pid(), "VmRSS") / 1024.0, "MB"));
    const double after = TimeOneRequest(server.Port());
    Report("list request after the flood", after < 0 ? "no answer" : Fixed(after, "ms", 2));
}

// List requests from keep-alive clients, shared out over the servers (client c asks server c mod
// the count); the requests per second of them all.
double Throughput(const std::vector<const TServer*>& servers, int clients, int requests) {
    std::atomic<int> failed = 0;
    std::vector<std::thread> threads;
    const auto start = TClock::now();
    for (int c = 0; c < clients; ++c) {
        threads.emplace_back([&, c] {
            int fd = -1;
            std::string pending;
            for (int i = c; i < requests; i += clients) {
                // A server may close a kept-alive connection after some requests: one retry on
                // a new connection is not a failure.
                for (int attempt = 0; attempt < 2; ++attempt) {
                    if (fd < 0)
                        fd = Connect(
                            servers[static_cast<std::size_t>(c) % servers.size()]->Port(), 1, 5000);
                    if (fd >= 0 && SendAll(fd, ListRequest) && ReadAnswer(fd, pending) == 200)
                        break;
                    if (fd >= 0)
                        close(fd);
                    fd = -1;
                    pending.clear();
                    failed += attempt;
                }
            }
            if (fd >= 0)
                close(fd);
        });
    }
    for (std::thread& t : threads)
        t.join();
    const double seconds = Milliseconds(TClock::now() - start) / 1000;
    if (failed > 0)
        std::printf("  (%d requests failed)\n", failed.load());
    return requests / seconds;
}

void Throughput(const TServer& server, int clients, int requests) {
    const double rate = Throughput({ &server }, clients, requests);
    const std::string label = "list requests/s, " + std::to_string(clients) + " keep-alive client"
        + (clients > 1 ? "s" : "");
    Report(label.c_str(), Fixed(rate, "/s", 0) + " (" + std::to_string(requests) + " requests)");
    Report(
        "  server memory after them (RSS)", Fixed(StatusKb(server.Pid(), "VmRSS") / 1024.0, "MB"));
}

// Callers arriving at once: each opens a connection and asks for the list; the slowest time tells
// whether some waited for a full backlog to retry their connection.
void Burst(const TBenchOptions& options) {
    const TServer server(options.Server);
    if (server.Port() < 0)
        return;
    for (const int callers : { 10, 200 }) {
        std::vector<double> times(static_cast<std::size_t>(callers), -1);
        std::vector<std::thread> threads;
        for (int c = 0; c < callers; ++c)
            threads.emplace_back(
                [&, c] { times[static_cast<std::size_t>(c)] = TimeOneRequest(server.Port()); });
        for (std::thread& t : threads)
            t.join();
        const auto unanswered = std::count(times.begin(), times.end(), -1.0);
        const std::string label = std::to_string(callers) + " callers at once, slowest answer";
        Report(label.c_str(),
            Fixed(*std::max_element(times.begin(), times.end()), "ms", 1)
                + (unanswered ? " (" + std::to_string(unanswered) + " unanswered)" : ""));
    }
}

void ListThroughput(const TBenchOptions& options) {
    const TServer server(options.Server);
    if (server.Port() < 0)
        return;
    FillList(server, options.Games);
    Report("server memory at start (RSS)", Fixed(StatusKb(server.Pid(), "VmRSS") / 1024.0, "MB"));
    Throughput(server, 1, options.Requests);
    Throughput(server, 10, options.Requests);
}

// A redis-server of the benchmark's own on a free port, without persistence.
class TRedis {
public:
    TRedis() {
        if (access(Program, X_OK) != 0)
            return;
        // A free port: bound by the system, released, then given to Redis.
        const int probe = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
        getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
        close(probe);
        m_Port = ntohs(address.sin_port);
        const int devNull = open("/dev/null", O_WRONLY | O_CLOEXEC);
        std::vector<std::string> args { Program, "--port", std::to_string(m_Port), "--bind",
            "127.0.0.1", "--save", "", "--appendonly", "no" };
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, devNull, STDOUT_FILENO);
        if (posix_spawn(&m_Pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
            m_Pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(devNull);
        for (int i = 0; i < 250 && m_Pid > 0; ++i) {
            if (Command("PING").find("+PONG") != std::string::npos)
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        m_Port = -1;
    }
    ~TRedis() {
        if (m_Pid > 0) {
            kill(m_Pid, SIGTERM);
            waitpid(m_Pid, nullptr, 0);
        }
    }
    bool Running() const { return m_Port > 0; }
    std::string Url() const { return "redis://127.0.0.1:" + std::to_string(m_Port); }

    // One inline command's whole answer as Redis sends it.
    std::string Command(const std::string& command) const {
        const int fd = Connect(m_Port, 1, 2000);
        if (fd < 0)
            return {};
        std::string answer;
        if (SendAll(fd, command + "\r\n")) {
            char buffer[8192];
            pollfd ready { fd, POLLIN, 0 };
            // The answer is complete once Redis has been silent for 50 ms.
            while (poll(&ready, 1, answer.empty() ? 2000 : 50) > 0) {
                const ssize_t got = recv(fd, buffer, sizeof buffer, 0);
                if (got <= 0)
                    break;
                answer.append(buffer, static_cast<std::size_t>(got));
            }
        }
        close(fd);
        return answer;
    }

    // The used_memory figure of INFO memory, in bytes; -1 when not known.
    long long UsedMemory() const {
        const std::string info = Command("INFO memory");
        const std::size_t at = info.find("used_memory:");
        return at == std::string::npos ? -1 : std::stoll(info.substr(at + 12));
    }

    static constexpr const char* Program = "/usr/bin/redis-server";

private:
    pid_t m_Pid = -1;
    int m_Port = -1;
};

// One add request from the caller address 127.0.0.0 + source; its status.
int AddGame(int port, int source, const std::string& name) {
    const int fd = Connect(port, source, 5000);
    if (fd < 0)
        return 0;
    std::string pending;
    const int status = SendAll(fd,
                           "GET /wintermoot.php?action=add&name=" + name
                               + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n")
        ? ReadAnswer(fd, pending)
        : 0;
    close(fd);
    return status;
}

// Source numbers for many distinct callers: 127.0.x.y with y from 1 to 254.
int CallerSource(int i) {
    return 0x100 + (i / 254) * 256 + i % 254 + 1;
}

// The list as server on the port gives it, on a connection kept by the caller.
std::string ListBody(int fd) {
    std::string pending;
    if (!SendAll(fd, ListRequest))
        return {};
    char buffer[8192];
    for (;;) {
        const std::size_t head = pending.find("\r\n\r\n");
        if (head != std::string::npos) {
            const std::size_t length = pending.find("Content-Length: ");
            const std::size_t end
                = head + 4 + (length < head ? std::stoul(pending.substr(length + 16)) : 0);
            if (pending.size() >= end)
                return pending.substr(head + 4, end - head - 4);
        }
        const ssize_t got = recv(fd, buffer, sizeof buffer, 0);
        if (got <= 0)
            return {};
        pending.append(buffer, static_cast<std::size_t>(got));
    }
}

void RedisList(const TBenchOptions& options) {
    const TRedis redis;
    if (!redis.Running()) {
        std::printf("  skipped: %s is not installed or did not start\n", TRedis::Program);
        return;
    }
    const std::vector<std::string> store { "--store", redis.Url(), "--max-games", "20000" };
    {
        const TServer one(options.Server, store);
        const TServer two(options.Server, store);
        if (one.Port() < 0 || two.Port() < 0)
            return;
        // Publish through one, then ask the other until the game is there.
        const int rounds = 200;
        std::vector<double> delays;
        int firstTry = 0;
        const int lister = Connect(two.Port(), 2, 5000);
        for (int i = 0; i < rounds && lister >= 0; ++i) {
            const std::string name = "Delay+" + std::to_string(i);
            const auto start = TClock::now();
            if (AddGame(one.Port(), CallerSource(i), name) != 200)
                continue;
            const std::string wanted = "Delay " + std::to_string(i) + "|";
            for (int attempt = 0; attempt < 1000; ++attempt) {
                if (ListBody(lister).find(wanted) != std::string::npos) {
                    delays.push_back(Milliseconds(TClock::now() - start));
                    firstTry += attempt == 0;
                    break;
                }
            }
        }
        if (lister >= 0)
            close(lister);
        std::sort(delays.begin(), delays.end());
        if (!delays.empty())
            Report("published on one, listed on the other",
                "median " + Fixed(delays[delays.size() / 2], "ms", 2) + ", slowest "
                    + Fixed(delays.back(), "ms", 2) + " (add and list; " + std::to_string(firstTry)
                    + " of " + std::to_string(rounds) + " seen on the first list)");
        redis.Command("FLUSHALL");
        FillList(one, options.Games);
        for (const int clients : { 2, 10 }) {
            const std::string suffix
                = ", " + std::to_string(clients) + " client" + (clients > 1 ? "s" : "");
            Report(("list requests/s, one process" + suffix).c_str(),
                Fixed(Throughput({ &one }, clients, options.Requests), "/s", 0));
            Report(("list requests/s, two processes" + suffix).c_str(),
                Fixed(Throughput({ &one, &two }, clients, options.Requests), "/s", 0));
        }
    }
    // Memory of 10,000 listed games: the server's RSS with the list in memory, and Redis's
    // used_memory with the list there.
    const int games = 10000;
    for (const bool inRedis : { false, true }) {
        redis.Command("FLUSHALL");
        const TServer server(
            options.Server, inRedis ? store : std::vector<std::string> { "--max-games", "20000" });
        if (server.Port() < 0)
            return;
        AddGame(server.Port(), CallerSource(games + 1), "Warm+up");
        const long rssBefore = StatusKb(server.Pid(), "VmRSS");
        const long long redisBefore = redis.UsedMemory();
        int listed = 0;
        for (int i = 0; i < games; ++i)
            listed += AddGame(server.Port(), CallerSource(i), "Player+" + std::to_string(i)) == 200;
        const long rssAfter = StatusKb(server.Pid(), "VmRSS");
        const long long redisAfter = redis.UsedMemory();
        if (inRedis)
            Report("10,000 games in Redis (used_memory)",
                Fixed((redisAfter - redisBefore) / 1048576.0, "MB", 2) + " ("
                    + std::to_string((redisAfter - redisBefore) / std::max(listed, 1))
                    + " bytes a game; server RSS grew "
                    + Fixed((rssAfter - rssBefore) / 1024.0, "MB)", 2));
        else
            Report("10,000 games in the server's memory (RSS)",
                Fixed((rssAfter - rssBefore) / 1024.0, "MB", 2) + " ("
                    + std::to_string((rssAfter - rssBefore) * 1024 / std::max(listed, 1))
                    + " bytes a game)");
        if (listed != games)
            std::printf("  (%d of %d adds answered 200)\n", listed, games);
    }
}

// Connections that pipeline list requests and never read their answers, from three addresses,
// against a full list of long names; every second a caller from another address asks for the
// list once on a new connection. A connection the server closes is replaced at once, so the load
// holds for the whole attack. Reports how many of those callers were answered within 2 s, the
// server's CPU use and its memory before, at its peak and after the attackers have gone.
void PipelinedReaders(const TBenchOptions& options) {
    const TServer server(options.Server, { "--max-games", "500" });
    if (server.Port() < 0)
        return;
    for (int i = 0; i < 500; ++i)
        AddGame(server.Port(), CallerSource(i),
            "Player+" + std::to_string(i) + "+" + std::string(240, 'x'));
    std::string list;
    {
        const int fd = Connect(server.Port(), 1, 5000);
        list = fd >= 0 ? ListBody(fd) : "";
        if (fd >= 0)
            close(fd);
    }
    Report("list size",
        Fixed(list.size() / 1024.0, "KB") + " ("
            + std::to_string(std::count(list.begin(), list.end(), '\n')) + " games)");
    const long beforeKb = StatusKb(server.Pid(), "VmRSS");
    std::string pipeline;
    for (int i = 0; i < 16; ++i)
        pipeline += ListRequest;
    const auto open = [&](int source) {
        const int fd = Connect(server.Port(), source, 3000);
        if (fd >= 0 && !SendAll(fd, pipeline)) {
            close(fd);
            return -1;
        }
        return fd;
    };
    const int sources[3] = { 0x0901, 0x0902, 0x0903 };
    std::vector<int> attackers;
    std::vector<int> attackerSource;
    const double cpuStart = CpuSeconds(server.Pid());
    const auto start = TClock::now();
    const auto attackStart = start;
    for (int i = 0; i < options.Pipeliners; ++i) {
        const int source = sources[i % 3];
        const int fd = open(source);
        if (fd >= 0) {
            attackers.push_back(fd);
            attackerSource.push_back(source);
        }
    }
    Report("pipelining connections opened",
        std::to_string(attackers.size()) + " in "
            + Fixed(Milliseconds(TClock::now() - start), "ms", 0));
    int asked = 0;
    int answeredInTime = 0;
    int reopened = 0;
    double slowest = 0;
    double cpuBefore = cpuStart;
    double busiest = 0;
    for (int second = 0; second < options.AttackSeconds; ++second) {
        // The first second counts from the opening of the attack.
        const auto tick = second == 0 ? attackStart : TClock::now();
        const double ms = [&] {
            const int fd = Connect(server.Port(), 0x0A01, 2000);
            if (fd < 0)
                return -1.0;
            std::string pending;
            const bool ok = SendAll(fd, ListRequest) && ReadAnswer(fd, pending) == 200;
            close(fd);
            return ok ? Milliseconds(TClock::now() - tick) : -1.0;
        }();
        ++asked;
        if (ms >= 0 && ms <= 2000)
            ++answeredInTime;
        slowest = std::max(slowest, ms < 0 ? 2000.0 : ms);
        // Connections the server has closed are opened again, with their 16 requests.
        for (std::size_t i = 0; i < attackers.size(); ++i) {
            pollfd ready { attackers[i], POLLRDHUP, 0 };
            if (poll(&ready, 1, 0) > 0 && (ready.revents & (POLLRDHUP | POLLHUP | POLLERR))) {
                close(attackers[i]);
                attackers[i] = open(attackerSource[i]);
                ++reopened;
            }
        }
        std::this_thread::sleep_until(tick + std::chrono::seconds(1));
        // The server's CPU use over this second, from one core's 100 %.
        const double cpuNow = CpuSeconds(server.Pid());
        const double busy
            = 100 * (cpuNow - cpuBefore) / (Milliseconds(TClock::now() - tick) / 1000);
        cpuBefore = cpuNow;
        busiest = std::max(busiest, busy);
        std::printf("    second %2d: %-22s server CPU %3.0f %%\n", second + 1,
            ms < 0 ? "no answer within 2 s" : Fixed(ms, "ms", 1).c_str(), busy);
        std::fflush(stdout);
    }
    const double attackSeconds = Milliseconds(TClock::now() - attackStart) / 1000;
    const double cpu = CpuSeconds(server.Pid()) - cpuStart;
    const long peakKb = StatusKb(server.Pid(), "VmHWM");
    const long duringKb = StatusKb(server.Pid(), "VmRSS");
    Report("callers answered within 2 s",
        std::to_string(answeredInTime) + " of " + std::to_string(asked) + ", slowest "
            + Fixed(slowest, "ms", 1));
    Report("connections closed by the server, reopened", std::to_string(reopened));
    Report("server CPU during the attack",
        Fixed(100 * cpu / attackSeconds, "% of one core", 0) + " (" + Fixed(cpu, "s", 1) + " in "
            + Fixed(attackSeconds, "s", 1) + "; busiest second " + Fixed(busiest, "%)", 0));
    for (const int fd : attackers)
        if (fd >= 0)
            close(fd);
    // The server gives freed memory back within 5 s of connections closing.
    std::this_thread::sleep_for(std::chrono::seconds(6));
    Report("server memory before / at the end / peak / 6 s after",
        Fixed(beforeKb / 1024.0, "MB /") + " " + Fixed(duringKb / 1024.0, "MB /") + " "
            + Fixed(peakKb / 1024.0, "MB /") + " "
            + Fixed(StatusKb(server.Pid(), "VmRSS") / 1024.0, "MB"));
    const double after = TimeOneRequest(server.Port());
    Report("list request after the attack", after < 0 ? "no answer" : Fixed(after, "ms", 2));
}

void RaiseDescriptorLimit() {
    rlimit limit {};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
    getrlimit(RLIMIT_NOFILE, &limit);
    std::printf("descriptor limit %llu\n", static_cast<unsigned long long>(limit.rlim_cur));
}

std::string Usage() {
    return "Usage: wintermoot-bench-network [--server PROGRAM] [--idle N] [--flood-mb N]\n"
           "                                [--requests N] [--part all|hostile|redis|pipeline]\n"
           "                                [--pipeliners N] [--attack-seconds N]\n"
           "Starts the game-list server on 127.0.0.1 and measures it: a list request while N\n"
           "idle connections are open (default 5000), a header flood of N MB (default 200), and\n"
           "list throughput over N requests with 1 and 10 clients (default 100000); then the\n"
           "list on Redis shared by two server processes (when redis-server is installed).\n"
           "--part runs only the hostile loads or only the Redis part; --part pipeline runs\n"
           "N connections (default 750) from three addresses that pipeline list requests and\n"
           "never read, for N seconds (default 20), asking for the list every second meanwhile.\n";
}

} // namespace

int main(int argc, char** argv) {
    TBenchOptions options;
    const std::string self = argv[0];
    options.Server = self.substr(0, self.rfind('/') + 1) + "wintermoot-server";
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (i + 1 >= argc) {
            std::cerr << Usage();
            return 2;
        }
        const std::string value = argv[++i];
        try {
            if (option == "--server")
                options.Server = value;
            else if (option == "--idle")
                options.Idle = std::clamp(std::stoi(value), 0, 60000);
            else if (option == "--flood-mb")
                options.FloodBytes = std::clamp(std::stoll(value), 1LL, 4096LL) * 1024 * 1024;
            else if (option == "--requests")
                options.Requests = std::clamp(std::stoi(value), 1, 10000000);
            else if (option == "--part"
                && (value == "all" || value == "hostile" || value == "redis"
                    || value == "pipeline"))
                options.Part = value;
            else if (option == "--pipeliners")
                options.Pipeliners = std::clamp(std::stoi(value), 1, 60000);
            else if (option == "--attack-seconds")
                options.AttackSeconds = std::clamp(std::stoi(value), 1, 3600);
            else
                throw std::invalid_argument(option);
        } catch (const std::exception&) {
            std::cerr << "wintermoot-bench-network: bad option " << option << "\n" << Usage();
            return 2;
        }
    }
    signal(SIGPIPE, SIG_IGN);
    std::printf("server %s\n", options.Server.c_str());
    RaiseDescriptorLimit();
    if (options.Part == "pipeline") {
        std::printf("pipelined readers that never read\n");
        PipelinedReaders(options);
        return 0;
    }
    if (options.Part != "redis") {
        std::printf("idle connections\n");
        IdleConnections(options);
        std::printf("header flood\n");
        HeaderFlood(options);
        std::printf("burst of callers\n");
        Burst(options);
        std::printf("list throughput\n");
        ListThroughput(options);
    }
    if (options.Part != "hostile") {
        std::printf("the list on Redis\n");
        RedisList(options);
    }
    return 0;
}
