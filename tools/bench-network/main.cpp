// wintermoot-bench-network: measures a game-list server on loopback under the loads a hostile
// internet brings, and prints the figures. It starts the server itself (any program that takes
// --listen, --port and prints "listening on PORT"), so that candidates can be compared on the
// same load:
//   1. idle connections are opened and held, then list requests from another caller are timed;
//   2. one connection sends a flood of 4 KB header lines while the server's memory is read from
//      /proc; the answer, the bytes it took and the peak memory are reported;
//   3. 10 and 200 callers at once, each with one list request, the slowest timed;
//   4. list throughput with 1 and with 10 keep-alive clients, and the memory after each.
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

class TServer {
public:
    explicit TServer(const std::string& program) {
        int out[2];
        if (pipe2(out, O_CLOEXEC) != 0)
            return;
        const int devNull = open("/dev/null", O_WRONLY | O_CLOEXEC);
        std::vector<std::string> args { program, "--listen", "127.0.0.1", "--port", "0" };
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

void Throughput(const TServer& server, int clients, int requests) {
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
                        fd = Connect(server.Port(), 1, 5000);
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
    const std::string label = "list requests/s, " + std::to_string(clients) + " keep-alive client"
        + (clients > 1 ? "s" : "");
    Report(label.c_str(),
        Fixed(requests / seconds, "/s", 0) + " (" + std::to_string(requests) + " requests, "
            + std::to_string(failed.load()) + " failed)");
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
           "                                [--requests N]\n"
           "Starts the game-list server on 127.0.0.1 and measures it: a list request while N\n"
           "idle connections are open (default 5000), a header flood of N MB (default 200), and\n"
           "list throughput over N requests with 1 and 10 clients (default 100000).\n";
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
    std::printf("idle connections\n");
    IdleConnections(options);
    std::printf("header flood\n");
    HeaderFlood(options);
    std::printf("burst of callers\n");
    Burst(options);
    std::printf("list throughput\n");
    ListThroughput(options);
    return 0;
}
