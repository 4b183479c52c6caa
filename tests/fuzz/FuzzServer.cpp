// The request logic of wintermoot-server, fed request targets through the server's own decoding:
// the path decoded, the query parsed into its values. The input is a series of requests,
// one a line, each from one of a few callers and a few minutes after the last; after each, the
// list must hold only clean names and no more games than the limit.

#include "GameListServer.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::abort();
}

constexpr size_t MaxGames = 4;
const char* const Callers[] = { "127.0.0.1", "192.0.2.7", "2001:db8::1", "" };

void CheckList(const std::string& list) {
    size_t lines = 0;
    size_t at = 0;
    while (at < list.size()) {
        const size_t end = list.find("\r\n", at);
        if (end == std::string::npos)
            Fail("the list does not end its last line");
        const std::string_view line = std::string_view(list).substr(at, end - at);
        const size_t bar = line.find('|');
        if (bar == 0 || bar == std::string_view::npos)
            Fail("a listed game has no name");
        if (bar > 255)
            Fail("a listed name is longer than 255 bytes");
        for (const char c : line.substr(0, bar)) {
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
                Fail("a listed name holds a control character");
        }
        if (CleanGameName(std::string(line.substr(0, bar))) != line.substr(0, bar))
            Fail("a listed name is not clean");
        ++lines;
        at = end + 2;
    }
    if (lines > MaxGames)
        Fail("the list holds more games than its limit");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::chrono::steady_clock::time_point now {};
    TServerOptions options;
    options.MaxGames = MaxGames;
    options.Expiry = std::chrono::seconds(600);
    TGameListServer server(options, [&now] { return now; });

    const std::string_view input(reinterpret_cast<const char*>(data), size);
    size_t at = 0;
    while (at < input.size()) {
        size_t end = input.find('\n', at);
        if (end == std::string_view::npos)
            end = input.size();
        std::string_view line = input.substr(at, end - at);
        at = end + 1;
        // A line opens with one byte that picks the caller and the minutes since the last request.
        if (line.empty())
            continue;
        const auto control = static_cast<unsigned char>(line[0]);
        line.remove_prefix(1);
        now += std::chrono::minutes(control >> 2);
        const std::string caller = Callers[control & 3];

        const size_t query = line.find('?');
        const std::string path = DecodeUrl(line.substr(0, query), false);
        const TGameListServer::TParams params = query == std::string_view::npos
            ? TGameListServer::TParams {}
            : ParseQuery(line.substr(query + 1));
        const TServerReply reply = server.Handle(path, params, caller);
        if (reply.Status != 200 && reply.Status != 400 && reply.Status != 404
            && reply.Status != 503)
            Fail("an unexpected status");
        CheckList(server.ListText());
        if (PrintableForLog(path, 1024).find_first_of("\x1b\r\n") != std::string::npos)
            Fail("the log would show a control byte");
    }
    return 0;
}
