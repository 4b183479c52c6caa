// wintermoot-server: the project's game-list web server. It keeps the list of hosted games, tells
// a caller its public address and serves the version file, over plain HTTP.
//
// It listens on the internet, so one caller must never stop it answering the others. The HTTP
// side is libmicrohttpd on epoll, one event loop per core: an idle or slow connection costs a
// socket and a small memory pool, never a thread. Each connection's memory is capped, which
// limits a request's head to about 16 KB (longer heads are answered 431 and the connection is
// closed); a connection that has not delivered a whole request within the head timeout is closed;
// one address may hold at most PerAddressMax connections.

#include "GameListServer.h"
#include "RedisGameStore.h"

#include <microhttpd.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <iostream>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

namespace {

using TSteady = std::chrono::steady_clock;

// Room for a request's head and the answer's head; it is what bounds the head's size.
constexpr std::size_t ConnectionMemory = 24 * 1024;
constexpr std::size_t BodyMax = 8192;
constexpr unsigned PerAddressMax = 256;
constexpr int ListenBacklog = 4096;
// Descriptors kept back from the connection limit for the listening socket, epoll and the log.
constexpr rlim_t SpareDescriptors = 32;

std::mutex LogMutex;

// One line per request on standard error: local time, caller, method, path, status. The method
// and the path are the caller's bytes, so they are made printable first.
void LogRequest(const std::string& caller, const std::string& method, const std::string& path,
    unsigned status) {
    char stamp[32] = {};
    const std::time_t now = std::time(nullptr);
    std::tm local {};
    localtime_r(&now, &local);
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    const std::string line = std::string(stamp) + " " + caller + " " + PrintableForLog(method, 32)
        + " " + PrintableForLog(path, 1024) + " " + std::to_string(status) + "\n";
    const std::lock_guard lock(LogMutex);
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

std::string AddressText(const sockaddr* address) {
    char text[INET6_ADDRSTRLEN] = {};
    if (address == nullptr)
        return {};
    if (address->sa_family == AF_INET)
        inet_ntop(
            AF_INET, &reinterpret_cast<const sockaddr_in*>(address)->sin_addr, text, sizeof text);
    else if (address->sa_family == AF_INET6)
        inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr, text,
            sizeof text);
    return text;
}

// Closes connections that hold a request back for longer than the head timeout, however slowly
// they keep sending: libmicrohttpd's own timeout restarts with every byte. A connection is watched
// from its opening and again after each answer, until its next request (head and any body) is in.
class THeadDeadlines {
public:
    explicit THeadDeadlines(std::chrono::seconds timeout)
        : m_Timeout(timeout)
        , m_Thread([this] { Sweep(); }) { }

    ~THeadDeadlines() {
        {
            const std::lock_guard lock(m_Mutex);
            m_Stop = true;
        }
        m_Wake.notify_all();
        m_Thread.join();
    }

    void Start(int fd) {
        const std::lock_guard lock(m_Mutex);
        m_Deadlines[fd] = TSteady::now() + m_Timeout;
    }

    void HeadComplete(int fd) {
        const std::lock_guard lock(m_Mutex);
        const auto found = m_Deadlines.find(fd);
        if (found != m_Deadlines.end())
            found->second = TSteady::time_point::max();
    }

    // Called before libmicrohttpd closes the socket, so that the sweep never shuts down a
    // descriptor that has been reused for another connection.
    void Closed(int fd) {
        const std::lock_guard lock(m_Mutex);
        m_Deadlines.erase(fd);
    }

private:
    void Sweep() {
        std::unique_lock lock(m_Mutex);
        while (!m_Stop) {
            m_Wake.wait_for(lock, std::chrono::milliseconds(250));
            const auto now = TSteady::now();
            for (auto& [fd, deadline] : m_Deadlines) {
                if (deadline <= now) {
                    // The event loop sees the end of the stream and closes the connection itself.
                    shutdown(fd, SHUT_RDWR);
                    deadline = TSteady::time_point::max();
                }
            }
        }
    }

    std::chrono::seconds m_Timeout;
    std::mutex m_Mutex;
    std::condition_variable m_Wake;
    bool m_Stop = false;
    std::unordered_map<int, TSteady::time_point> m_Deadlines;
    std::thread m_Thread;
};

struct TServerState {
    TGameListServer* Logic = nullptr;
    std::string TrustedProxy;
    THeadDeadlines* Deadlines = nullptr;
};

// The raw request target, kept from the request line so that the path and query are decoded by
// the server's own routines.
struct TRequest {
    std::string Target;
    bool HeadSeen = false;
    std::size_t BodyBytes = 0;
};

int ConnectionFd(MHD_Connection* connection) {
    const MHD_ConnectionInfo* info
        = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
    return info ? info->connect_fd : -1;
}

void* KeepTarget(void*, const char* uri, MHD_Connection*) {
    return new TRequest { uri ? uri : "" };
}

void ConnectionEvent(
    void* cls, MHD_Connection* connection, void**, MHD_ConnectionNotificationCode code) {
    auto* state = static_cast<TServerState*>(cls);
    const int fd = ConnectionFd(connection);
    if (code == MHD_CONNECTION_NOTIFY_STARTED)
        state->Deadlines->Start(fd);
    else
        state->Deadlines->Closed(fd);
}

void RequestDone(
    void* cls, MHD_Connection* connection, void** context, MHD_RequestTerminationCode code) {
    delete static_cast<TRequest*>(*context);
    *context = nullptr;
    // A kept-alive connection has the head timeout again for its next request.
    if (code == MHD_REQUEST_TERMINATED_COMPLETED_OK)
        static_cast<TServerState*>(cls)->Deadlines->Start(ConnectionFd(connection));
}

MHD_Result Answer(MHD_Connection* connection, unsigned status, const std::string& body) {
    MHD_Response* response = MHD_create_response_from_buffer(
        body.size(), const_cast<char*>(body.data()), MHD_RESPMEM_MUST_COPY);
    if (response == nullptr)
        return MHD_NO;
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, "text/plain; charset=utf-8");
    const MHD_Result queued = MHD_queue_response(connection, status, response);
    MHD_destroy_response(response);
    return queued;
}

MHD_Result HandleRequest(void* cls, MHD_Connection* connection, const char*, const char* method,
    const char*, const char*, size_t* uploadSize, void** context) {
    auto* state = static_cast<TServerState*>(cls);
    auto* request = static_cast<TRequest*>(*context);
    // The first call comes with the head alone; answering then would close the connection, so
    // the answer waits for the next call, which comes once any body has been read.
    // Request bodies are not used: a small one is read and dropped, a larger one refused; one
    // that announces its length is refused at once, a chunked one when it passes the limit (by
    // closing the connection, as an answer cannot be given in the middle of a body).
    if (request != nullptr && !request->HeadSeen) {
        request->HeadSeen = true;
        const char* length = MHD_lookup_connection_value(
            connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_CONTENT_LENGTH);
        if (length != nullptr && std::strtoull(length, nullptr, 10) > BodyMax)
            return Answer(connection, MHD_HTTP_CONTENT_TOO_LARGE, "Request body too large\r\n");
        return MHD_YES;
    }
    if (*uploadSize != 0) {
        if (request != nullptr)
            request->BodyBytes += *uploadSize;
        *uploadSize = 0;
        return request == nullptr || request->BodyBytes <= BodyMax ? MHD_YES : MHD_NO;
    }
    // The whole request is in; the timeout starts again after the answer.
    state->Deadlines->HeadComplete(ConnectionFd(connection));
    const MHD_ConnectionInfo* client
        = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
    const std::string caller = CallerAddress(AddressText(client ? client->client_addr : nullptr),
        MHD_lookup_connection_value(connection, MHD_HEADER_KIND, "X-Real-IP"), state->TrustedProxy);
    const std::string target = request ? request->Target : "";

    const std::size_t query = target.find('?');
    const std::string path = DecodeUrl(std::string_view(target).substr(0, query), false);
    TServerReply reply { 405, "Method not allowed\r\n" };
    const std::string verb = method ? method : "";
    if (verb == MHD_HTTP_METHOD_GET || verb == MHD_HTTP_METHOD_HEAD) {
        const TGameListServer::TParams params = query == std::string::npos
            ? TGameListServer::TParams {}
            : ParseQuery(std::string_view(target).substr(query + 1));
        reply = state->Logic->Handle(path, params, caller);
    }
    LogRequest(caller, verb, path, static_cast<unsigned>(reply.Status));
    return Answer(connection, static_cast<unsigned>(reply.Status), reply.Body);
}

// Many idle connections each hold a descriptor: take as many as the system allows this process.
rlim_t RaiseDescriptorLimit() {
    rlimit limit {};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return 1024;
    if (limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
        getrlimit(RLIMIT_NOFILE, &limit);
    }
    return limit.rlim_cur;
}

// A non-blocking listening socket on the address and port, with a backlog long enough for a burst
// of callers; -1 when it cannot be made.
int OpenListener(const std::string& address, int port) {
    addrinfo hints {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    if (getaddrinfo(address.c_str(), std::to_string(port).c_str(), &hints, &found) != 0)
        return -1;
    int fd = -1;
    for (const addrinfo* a = found; a != nullptr && fd < 0; a = a->ai_next) {
        fd = socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0)
            continue;
        const int yes = 1;
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        if (bind(fd, a->ai_addr, a->ai_addrlen) != 0 || listen(fd, ListenBacklog) != 0) {
            close(fd);
            fd = -1;
        }
    }
    freeaddrinfo(found);
    return fd;
}

int BoundPort(int fd) {
    sockaddr_storage address {};
    socklen_t length = sizeof address;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return -1;
    if (address.ss_family == AF_INET)
        return ntohs(reinterpret_cast<const sockaddr_in&>(address).sin_port);
    return ntohs(reinterpret_cast<const sockaddr_in6&>(address).sin6_port);
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const TOptionsResult parsed = ParseServerOptions(args);
    if (!parsed.Options) {
        std::cerr << "wintermoot-server: " << parsed.Error << "\n\n" << ServerUsage();
        return 2;
    }
    const TServerOptions& options = *parsed.Options;
    if (options.Help) {
        std::cout << ServerUsage();
        return 0;
    }

    // Blocked before any thread starts, so that every thread leaves them to the wait below.
    sigset_t stop;
    sigemptyset(&stop);
    sigaddset(&stop, SIGINT);
    sigaddset(&stop, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop, nullptr);

    const rlim_t descriptors = RaiseDescriptorLimit();
    const int listener = OpenListener(options.Listen, options.Port);
    if (listener < 0) {
        std::cerr << "wintermoot-server: cannot listen on " << options.Listen << " port "
                  << options.Port << "\n";
        return 1;
    }

    std::unique_ptr<TGameStore> store;
    if (options.Store) {
        TRedisGameStore::TSettings settings;
        settings.Address = *options.Store;
        settings.Expiry = options.Expiry;
        settings.MaxGames = options.MaxGames;
        auto redis = std::make_unique<TRedisGameStore>(settings);
        const std::string error = redis->Check();
        if (!error.empty()) {
            std::cerr << "wintermoot-server: cannot reach Redis at " << settings.Address.Host << ":"
                      << settings.Address.Port << ": " << error << "\n";
            close(listener);
            return 1;
        }
        store = std::move(redis);
    } else {
        store = std::make_unique<TMemoryGameStore>(options.Expiry, options.MaxGames);
    }
    TGameListServer logic(options, std::move(store));
    THeadDeadlines deadlines(options.HeadTimeout);
    TServerState state { &logic, options.TrustedProxy, &deadlines };
    const unsigned threads = std::clamp(std::thread::hardware_concurrency(), 1u, 8u);
    const unsigned connections = static_cast<unsigned>(std::max<rlim_t>(
        descriptors > SpareDescriptors * 2 ? descriptors - SpareDescriptors : 16, threads * 4));
    MHD_Daemon* daemon = MHD_start_daemon(MHD_USE_EPOLL_INTERNAL_THREAD | MHD_USE_TURBO, 0, nullptr,
        nullptr, &HandleRequest, &state, MHD_OPTION_LISTEN_SOCKET, listener,
        MHD_OPTION_THREAD_POOL_SIZE, threads, MHD_OPTION_CONNECTION_LIMIT, connections,
        MHD_OPTION_PER_IP_CONNECTION_LIMIT, PerAddressMax, MHD_OPTION_CONNECTION_MEMORY_LIMIT,
        ConnectionMemory, MHD_OPTION_CONNECTION_TIMEOUT,
        static_cast<unsigned>(options.HeadTimeout.count()), MHD_OPTION_URI_LOG_CALLBACK,
        &KeepTarget, nullptr, MHD_OPTION_NOTIFY_CONNECTION, &ConnectionEvent, &state,
        MHD_OPTION_NOTIFY_COMPLETED, &RequestDone, &state, MHD_OPTION_END);
    if (daemon == nullptr) {
        std::cerr << "wintermoot-server: cannot start serving on " << options.Listen << "\n";
        return 1;
    }
    std::cout << "listening on " << BoundPort(listener) << std::endl;

    // Serve until asked to stop; then close the connections before the list goes away.
    int signal = 0;
    sigwait(&stop, &signal);
    MHD_stop_daemon(daemon);
    close(listener);
    return 0;
}
