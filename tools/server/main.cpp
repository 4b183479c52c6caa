// wintermoot-server: the project's game-list web server. It keeps the list of hosted games, tells
// a caller its public address and serves the version file, over plain HTTP.
//
// It listens on the internet, so one caller must never stop it answering the others. The HTTP
// side is libmicrohttpd on epoll, one event loop per core: an idle or slow connection costs a
// socket and a small memory pool, never a thread. Each connection's memory is capped, which
// limits a request's head to about 16 KB (longer heads are answered 431 and the connection is
// closed); a connection that has not delivered a whole request within the head timeout is closed;
// one address may hold at most PerAddressMax connections. A connection's next request is answered
// only once the output of the last has nearly all gone (kernel queue included), and one address's
// unsent output is bounded too, so that callers who pipeline requests and never read cost the
// server nothing but their sockets; a connection whose output does not drain within the head
// timeout is closed.

#include "GameListServer.h"
#include "RedisGameStore.h"

#include <microhttpd.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <linux/sockios.h>
#include <malloc.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <iostream>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

namespace {

using TSteady = std::chrono::steady_clock;

// Room for a request's head and the answer's head; it is what bounds the head's size.
constexpr std::size_t ConnectionMemory = 24 * 1024;
constexpr std::size_t BodyMax = 8192;
constexpr unsigned PerAddressMax = 256;
// Output not yet taken by a caller (in the socket's send queue) beyond which the connection's
// next request waits, and the same for all the connections of one address together.
constexpr int PerConnectionUnsent = 64 * 1024;
constexpr long PerAddressUnsent = 1024 * 1024;
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

// Bytes the kernel still holds for the socket: not yet sent, or sent and not yet acknowledged.
long Unsent(int fd) {
    int queued = 0;
    return ioctl(fd, SIOCOUTQ, &queued) == 0 ? queued : 0;
}

// The raw request target, kept from the request line so that the path and query are decoded by
// the server's own routines.
struct TRequest {
    std::string Target;
    // Where the request line's target starts in libmicrohttpd's buffer, to check the method.
    const char* TargetStart = nullptr;
    bool HeadSeen = false;
    std::size_t BodyBytes = 0;
    // Set once the request has waited for earlier output to drain; Expired when it never did.
    bool Waited = false;
    bool Expired = false;
};

// Watches every connection. Closes those that hold a request back for longer than the head
// timeout, however slowly they keep sending (libmicrohttpd's own timeout restarts with every
// byte): a connection is watched from its opening and again after each answer, until its next
// request (head and any body) is in. Holds back the requests of connections whose earlier output
// has not drained (suspended in libmicrohttpd, so that no loop looks at them) and lets them go on
// once it has, or ends them when it has not within the head timeout. Gives freed memory back to
// the system after connections have closed.
class TConnections {
public:
    explicit TConnections(std::chrono::seconds timeout)
        : m_Timeout(timeout)
        , m_Thread([this] { Sweep(); }) { }

    ~TConnections() {
        {
            const std::lock_guard lock(m_Mutex);
            m_Stop = true;
        }
        m_Wake.notify_all();
        m_Thread.join();
    }

    void Start(int fd, const std::string& address) {
        const std::lock_guard lock(m_Mutex);
        TWatched& watched = m_Watched[fd];
        watched.Deadline = TSteady::now() + m_Timeout;
        watched.Address = address;
        m_ByAddress[address].push_back(fd);
    }

    // A kept-alive connection has the head timeout again for its next request.
    void Restart(int fd) {
        const std::lock_guard lock(m_Mutex);
        const auto found = m_Watched.find(fd);
        if (found != m_Watched.end())
            found->second.Deadline = TSteady::now() + m_Timeout;
    }

    void HeadComplete(int fd) {
        const std::lock_guard lock(m_Mutex);
        const auto found = m_Watched.find(fd);
        if (found != m_Watched.end())
            found->second.Deadline = TSteady::time_point::max();
    }

    // Called before libmicrohttpd closes the socket, so that the sweep never shuts down a
    // descriptor that has been reused for another connection.
    void Closed(int fd) {
        const std::lock_guard lock(m_Mutex);
        const auto found = m_Watched.find(fd);
        if (found == m_Watched.end())
            return;
        const auto address = m_ByAddress.find(found->second.Address);
        if (address != m_ByAddress.end()) {
            std::erase(address->second, fd);
            if (address->second.empty())
                m_ByAddress.erase(address);
        }
        m_Watched.erase(found);
        m_ClosedSinceTrim = true;
    }

    // Whether the connection's next answer must wait for earlier output to drain. The address's
    // total is the sweep's last count, so that a request costs one look at its own socket.
    bool MustWait(int fd) {
        const std::lock_guard lock(m_Mutex);
        const auto found = m_Watched.find(fd);
        if (found == m_Watched.end())
            return false;
        const auto total = m_AddressUnsent.find(found->second.Address);
        return Crowded(fd, total == m_AddressUnsent.end() ? 0 : total->second);
    }

    // Holds the request of the connection, which the caller has just suspended, back until the
    // output has drained or the head timeout has passed; false when the connection is not known.
    bool Hold(int fd, MHD_Connection* connection, TRequest* request) {
        {
            const std::lock_guard lock(m_Mutex);
            const auto found = m_Watched.find(fd);
            if (found == m_Watched.end())
                return false;
            found->second.Held = connection;
            found->second.Request = request;
            found->second.HeldUntil = TSteady::now() + m_Timeout;
            ++m_HeldCount;
        }
        m_Wake.notify_all();
        return true;
    }

    // Lets every held request go, ended: suspended connections must be resumed before the server
    // stops.
    void ReleaseAll() {
        std::vector<MHD_Connection*> resume;
        {
            const std::lock_guard lock(m_Mutex);
            for (auto& [fd, watched] : m_Watched) {
                if (watched.Held != nullptr) {
                    watched.Request->Expired = true;
                    resume.push_back(std::exchange(watched.Held, nullptr));
                }
            }
            m_HeldCount = 0;
        }
        for (MHD_Connection* connection : resume)
            MHD_resume_connection(connection);
    }

private:
    struct TWatched {
        TSteady::time_point Deadline;
        std::string Address;
        MHD_Connection* Held = nullptr;
        TRequest* Request = nullptr;
        TSteady::time_point HeldUntil;
    };

    long AddressUnsent(const std::string& address) const {
        long total = 0;
        const auto found = m_ByAddress.find(address);
        if (found != m_ByAddress.end())
            for (const int fd : found->second)
                total += Unsent(fd);
        return total;
    }

    static bool Crowded(int fd, long addressUnsent) {
        return Unsent(fd) > PerConnectionUnsent || addressUnsent > PerAddressUnsent;
    }

    void Sweep() {
        std::unique_lock lock(m_Mutex);
        auto lastTrim = TSteady::now();
        while (!m_Stop) {
            // Held requests are looked at often, so that a caller who reads is not kept waiting.
            m_Wake.wait_for(lock, std::chrono::milliseconds(m_HeldCount > 0 ? 50 : 250));
            const auto now = TSteady::now();
            // The unsent output of every address with enough connections to pass the limit (a
            // few connections cannot: each holds at most a little more than its own limit).
            m_AddressUnsent.clear();
            for (const auto& [address, fds] : m_ByAddress)
                if (fds.size() * PerConnectionUnsent * 2 > PerAddressUnsent)
                    m_AddressUnsent[address] = AddressUnsent(address);
            std::vector<MHD_Connection*> resume;
            for (auto& [fd, watched] : m_Watched) {
                if (watched.Held != nullptr) {
                    const auto total = m_AddressUnsent.find(watched.Address);
                    const bool expired = watched.HeldUntil <= now;
                    if (expired
                        || !Crowded(fd, total == m_AddressUnsent.end() ? 0 : total->second)) {
                        watched.Request->Expired = expired;
                        resume.push_back(std::exchange(watched.Held, nullptr));
                        --m_HeldCount;
                    }
                } else if (watched.Deadline <= now) {
                    // The event loop sees the end of the stream and closes the connection itself.
                    shutdown(fd, SHUT_RDWR);
                    watched.Deadline = TSteady::time_point::max();
                }
            }
            const bool trim = m_ClosedSinceTrim && now - lastTrim > std::chrono::seconds(5);
            if (trim) {
                m_ClosedSinceTrim = false;
                lastTrim = now;
            }
            // A held connection is closed by nothing but its own event loop once resumed, so it
            // is safe to resume outside the lock.
            lock.unlock();
            for (MHD_Connection* connection : resume)
                MHD_resume_connection(connection);
            // Many connections that each held an answer leave the heaps of every loop's thread
            // with free pages; they go back to the system.
            if (trim)
                malloc_trim(0);
            lock.lock();
        }
    }

    std::chrono::seconds m_Timeout;
    std::mutex m_Mutex;
    std::condition_variable m_Wake;
    bool m_Stop = false;
    bool m_ClosedSinceTrim = false;
    int m_HeldCount = 0;
    std::unordered_map<int, TWatched> m_Watched;
    std::unordered_map<std::string, std::vector<int>> m_ByAddress;
    std::unordered_map<std::string, long> m_AddressUnsent;
    std::thread m_Thread;
};

struct TServerState {
    TGameListServer* Logic = nullptr;
    std::string TrustedProxy;
    TConnections* Connections = nullptr;
};

int ConnectionFd(MHD_Connection* connection) {
    const MHD_ConnectionInfo* info
        = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
    return info ? info->connect_fd : -1;
}

void* KeepTarget(void*, const char* uri, MHD_Connection*) {
    auto* request = new TRequest;
    request->Target = uri ? uri : "";
    request->TargetStart = uri;
    return request;
}

// Whether the method as libmicrohttpd gives it is the whole method of the request line: a method
// with a NUL byte in it ("GET\0X") shows as its part before the NUL. The request line is still in
// libmicrohttpd's buffer, the method, then spaces (the first made a NUL), then the target.
bool WholeMethod(const char* method, const TRequest* request) {
    if (method == nullptr || request == nullptr || request->TargetStart == nullptr
        || request->TargetStart <= method || request->TargetStart - method > 4096)
        return true;
    for (const char* c = method + std::strlen(method); c < request->TargetStart; ++c)
        if (*c != '\0' && *c != ' ')
            return false;
    return true;
}

std::string PeerAddress(MHD_Connection* connection) {
    const MHD_ConnectionInfo* client
        = MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS);
    const std::string peer = AddressText(client ? client->client_addr : nullptr);
    const std::string numeric = NumericAddress(peer);
    return numeric.empty() ? peer : numeric;
}

void ConnectionEvent(
    void* cls, MHD_Connection* connection, void**, MHD_ConnectionNotificationCode code) {
    auto* state = static_cast<TServerState*>(cls);
    const int fd = ConnectionFd(connection);
    if (code == MHD_CONNECTION_NOTIFY_STARTED)
        state->Connections->Start(fd, PeerAddress(connection));
    else
        state->Connections->Closed(fd);
}

void RequestDone(
    void* cls, MHD_Connection* connection, void** context, MHD_RequestTerminationCode code) {
    delete static_cast<TRequest*>(*context);
    *context = nullptr;
    // A kept-alive connection has the head timeout again for its next request.
    if (code == MHD_REQUEST_TERMINATED_COMPLETED_OK)
        static_cast<TServerState*>(cls)->Connections->Restart(ConnectionFd(connection));
}

void FreeSharedBody(void* body) {
    delete static_cast<std::shared_ptr<const std::string>*>(body);
}

MHD_Result Answer(
    MHD_Connection* connection, const TServerReply& reply, const char* allow = "GET, HEAD") {
    MHD_Response* response = nullptr;
    if (reply.Shared) {
        // The answer holds a reference to the shared text instead of a copy of its own.
        auto* body = new std::shared_ptr<const std::string>(reply.Shared);
        response = MHD_create_response_from_buffer_with_free_callback_cls(
            (*body)->size(), const_cast<char*>((*body)->data()), &FreeSharedBody, body);
        if (response == nullptr)
            delete body;
    } else {
        response = MHD_create_response_from_buffer(
            reply.Body.size(), const_cast<char*>(reply.Body.data()), MHD_RESPMEM_MUST_COPY);
    }
    if (response == nullptr)
        return MHD_NO;
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, reply.ContentType.c_str());
    const unsigned status = static_cast<unsigned>(reply.Status);
    if (status == MHD_HTTP_METHOD_NOT_ALLOWED)
        MHD_add_response_header(response, MHD_HTTP_HEADER_ALLOW, allow);
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
            return Answer(connection, { MHD_HTTP_CONTENT_TOO_LARGE, "Request body too large\r\n" });
        return MHD_YES;
    }
    if (*uploadSize != 0) {
        if (request != nullptr)
            request->BodyBytes += *uploadSize;
        *uploadSize = 0;
        return request == nullptr || request->BodyBytes <= BodyMax ? MHD_YES : MHD_NO;
    }
    // The whole request is in; the timeout starts again after the answer.
    const int fd = ConnectionFd(connection);
    state->Connections->HeadComplete(fd);
    if (request != nullptr && request->Expired)
        return MHD_NO;
    // Its answer waits while the caller has not taken the earlier ones.
    if (request != nullptr && !request->Waited && state->Connections->MustWait(fd)) {
        request->Waited = true;
        MHD_suspend_connection(connection);
        if (!state->Connections->Hold(fd, connection, request))
            MHD_resume_connection(connection);
        return MHD_YES;
    }
    const std::string peer = PeerAddress(connection);
    const std::optional<std::string> caller = CallerAddress(peer,
        MHD_lookup_connection_value(connection, MHD_HEADER_KIND, "X-Real-IP"), state->TrustedProxy);
    const std::string target = request ? request->Target : "";

    const std::size_t query = target.find('?');
    const std::string path = DecodeUrl(std::string_view(target).substr(0, query), false);
    TServerReply reply { 405, "Method not allowed\r\n" };
    const char* allow = "GET, HEAD";
    const std::string verb = method ? method : "";
    if (!WholeMethod(method, request)) {
        reply = { 400, "Bad request\r\n" };
    } else if (!caller) {
        reply = { 400, "The proxy did not give the caller's address\r\n" };
    } else if (verb == MHD_HTTP_METHOD_HEAD && path == "/wintermoot.php") {
        // A HEAD request asks about an answer: it must not change the list.
        allow = "GET";
    } else if (verb == MHD_HTTP_METHOD_GET || verb == MHD_HTTP_METHOD_HEAD) {
        const TGameListServer::TParams params = query == std::string::npos
            ? TGameListServer::TParams {}
            : ParseQuery(std::string_view(target).substr(query + 1));
        reply = state->Logic->Handle(path, params, *caller);
    }
    LogRequest(caller.value_or(peer), WholeMethod(method, request) ? verb : verb + "?", path,
        static_cast<unsigned>(reply.Status));
    return Answer(connection, reply, allow);
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
    TConnections watched(options.HeadTimeout);
    TServerState state { &logic, options.TrustedProxy, &watched };
    const unsigned threads = std::clamp(std::thread::hardware_concurrency(), 1u, 8u);
    const unsigned connections = static_cast<unsigned>(std::max<rlim_t>(
        descriptors > SpareDescriptors * 2 ? descriptors - SpareDescriptors : 16, threads * 4));
    MHD_Daemon* daemon
        = MHD_start_daemon(MHD_USE_EPOLL_INTERNAL_THREAD | MHD_USE_TURBO | MHD_ALLOW_SUSPEND_RESUME,
            0, nullptr, nullptr, &HandleRequest, &state, MHD_OPTION_LISTEN_SOCKET, listener,
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
    watched.ReleaseAll();
    MHD_stop_daemon(daemon);
    close(listener);
    return 0;
}
