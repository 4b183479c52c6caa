// The game-list server on cpp-httplib with every limit that library offers set, kept only to be
// measured against wintermoot-server by wintermoot-bench-network (see docs/SERVER.md). It takes
// the same options and answers the same bytes; it is built when WINTERMOOT_BENCH_HTTPLIB is on.

#include "GameListServer.h"

#include <httplib.h>

#include <cstdio>
#include <ctime>
#include <iostream>
#include <mutex>
#include <string>
#include <vector>

namespace {

constexpr std::size_t PayloadMax = 8192;
// The limits cpp-httplib 0.11 offers: a thread pool larger than its default of eight, a one-second
// read timeout and keep-alive. It has no limit on the number of header lines.
constexpr std::size_t Threads = 64;

std::mutex LogMutex;

// One line per request on standard error: local time, caller, method, path, status.
void LogRequest(const httplib::Request& request, const httplib::Response& response) {
    char stamp[32] = {};
    const std::time_t now = std::time(nullptr);
    std::tm local {};
    localtime_r(&now, &local);
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    std::string path;
    for (const char c : request.path)
        path += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? '?' : c;
    const std::string line = std::string(stamp) + " " + request.remote_addr + " " + request.method
        + " " + path + " " + std::to_string(response.status) + "\n";
    const std::lock_guard lock(LogMutex);
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
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

    TGameListServer logic(options);
    httplib::Server server;
    server.set_payload_max_length(PayloadMax);
    server.new_task_queue = [] { return new httplib::ThreadPool(Threads); };
    server.set_read_timeout(1, 0);
    server.set_keep_alive_timeout(1);
    server.set_keep_alive_max_count(100);
    // Answers are small and written in two parts; without this a kept-alive connection waits for
    // the delayed acknowledgement of the first part.
    server.set_tcp_nodelay(true);
    server.set_logger(LogRequest);
    server.Get(".*", [&](const httplib::Request& request, httplib::Response& response) {
        const TGameListServer::TParams params(request.params.begin(), request.params.end());
        const TServerReply reply = logic.Handle(request.path, params, request.remote_addr);
        response.status = reply.Status;
        response.set_content(reply.Text(), reply.ContentType.c_str());
    });

    int port = options.Port;
    if (port == 0) {
        port = server.bind_to_any_port(options.Listen);
        if (port < 0) {
            std::cerr << "wintermoot-server: cannot listen on " << options.Listen << "\n";
            return 1;
        }
    } else if (!server.bind_to_port(options.Listen, port)) {
        std::cerr << "wintermoot-server: cannot listen on " << options.Listen << " port " << port
                  << "\n";
        return 1;
    }
    std::cout << "listening on " << port << std::endl;
    return server.listen_after_bind() ? 0 : 1;
}
