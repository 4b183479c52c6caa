#include "GameListServer.h"

#include <arpa/inet.h>

#include <algorithm>
#include <charconv>
#include <limits>

namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::optional<long long> ParseNumber(const std::string& text, long long min, long long max) {
    long long value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end || value < min || value > max)
        return std::nullopt;
    return value;
}

} // namespace

std::string DecodeUrl(std::string_view text, bool plusIsSpace) {
    std::string decoded;
    decoded.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0
            && HexValue(text[i + 2]) >= 0) {
            decoded += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            i += 2;
        } else if (c == '+' && plusIsSpace) {
            decoded += ' ';
        } else {
            decoded += c;
        }
    }
    return decoded;
}

TGameListServer::TParams ParseQuery(std::string_view query) {
    TGameListServer::TParams params;
    while (!query.empty()) {
        const std::size_t amp = query.find('&');
        const std::string_view pair = query.substr(0, amp);
        query.remove_prefix(amp == std::string_view::npos ? query.size() : amp + 1);
        const std::size_t eq = pair.find('=');
        const std::string_view key = pair.substr(0, eq);
        if (key.empty())
            continue;
        const std::string_view value
            = eq == std::string_view::npos ? std::string_view() : pair.substr(eq + 1);
        params.emplace(DecodeUrl(key, true), DecodeUrl(value, true));
    }
    return params;
}

std::string NumericAddress(const std::string& text) {
    unsigned char bytes[sizeof(in6_addr)];
    char canonical[INET6_ADDRSTRLEN] = {};
    if (inet_pton(AF_INET, text.c_str(), bytes) == 1)
        return inet_ntop(AF_INET, bytes, canonical, sizeof canonical) ? canonical : "";
    if (inet_pton(AF_INET6, text.c_str(), bytes) != 1)
        return {};
    // ::ffff:a.b.c.d is how a dual-stack socket shows an IPv4 caller: the same caller as a.b.c.d.
    in6_addr address {};
    std::copy(bytes, bytes + sizeof address, reinterpret_cast<unsigned char*>(&address));
    if (IN6_IS_ADDR_V4MAPPED(&address))
        return inet_ntop(AF_INET, bytes + 12, canonical, sizeof canonical) ? canonical : "";
    return inet_ntop(AF_INET6, bytes, canonical, sizeof canonical) ? canonical : "";
}

std::optional<std::string> CallerAddress(
    const std::string& peer, const char* realIp, const std::string& trustedProxy) {
    const std::string from = NumericAddress(peer).empty() ? peer : NumericAddress(peer);
    if (trustedProxy.empty() || from != trustedProxy)
        return from;
    // Without the header the request is the proxy's own (a health check on the proxy's machine).
    if (realIp == nullptr)
        return from;
    const std::string given = NumericAddress(realIp);
    if (given.empty())
        return std::nullopt;
    return given;
}

namespace {

std::string EscapeHtml(const std::string& text) {
    std::string escaped;
    for (const char c : text) {
        switch (c) {
        case '&':
            escaped += "&amp;";
            break;
        case '<':
            escaped += "&lt;";
            break;
        case '>':
            escaped += "&gt;";
            break;
        case '"':
            escaped += "&quot;";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

} // namespace

std::string HomePage(const TServerOptions& options) {
    const std::string url = EscapeHtml(options.Url);
    return "<!DOCTYPE html>\n"
           "<html lang=\"en\">\n"
           "<head><meta charset=\"utf-8\"><title>Wintermoot game list</title></head>\n"
           "<body>\n"
           "<h1>Wintermoot game list</h1>\n"
           "<p>This is the game list server of Wintermoot, a chess game. Players who host a "
           "network game can list it here, and players who want to join read the list from "
           "the game's Join page.</p>\n"
           "<p>The list of hosted games, one <code>name|address</code> line each: "
           "<a href=\"/wintermoot.inf\">/wintermoot.inf</a></p>\n"
           "<p>The latest version is published at <a href=\""
        + url + "\">" + url
        + "</a>.</p>\n"
          "</body>\n"
          "</html>\n";
}

std::string ServerUsage() {
    return "Usage: wintermoot-server [options]\n"
           "Serves the list of hosted Wintermoot games, the caller's public address and the\n"
           "version file.\n"
           "\n"
           "  --listen ADDRESS      address to listen on (default 0.0.0.0)\n"
           "  --port N              port to listen on, 0 for any free port (default 8570)\n"
           "  --expiry SECONDS      a game not renewed for this long leaves the list (default "
           "7200)\n"
           "  --max-games N         most games listed at once (default 500)\n"
           "  --version-text N      the published version number, e.g. 325 for 3.2.5 (default "
           "324)\n"
           "  --url URL             where that version is downloaded\n"
           "  --head-timeout SECONDS  time a connection has to send a request's head (default "
           "10)\n"
           "  --store redis://HOST[:PORT][/DB]  keep the list in this Redis, shared by every\n"
           "                        server using it (default: in this process's memory)\n"
           "  --trusted-proxy ADDRESS  a reverse proxy at this address gives the caller's\n"
           "                        address in X-Real-IP\n"
           "  --help                show this text\n";
}

TOptionsResult ParseServerOptions(const std::vector<std::string>& args) {
    TServerOptions options;
    const auto fail = [](std::string message) { return TOptionsResult { std::nullopt, message }; };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& option = args[i];
        if (option == "--help") {
            options.Help = true;
            continue;
        }
        if (option != "--listen" && option != "--port" && option != "--expiry"
            && option != "--max-games" && option != "--version-text" && option != "--url"
            && option != "--head-timeout" && option != "--store" && option != "--trusted-proxy")
            return fail("unknown option: " + option);
        if (i + 1 >= args.size())
            return fail(option + " needs a value");
        const std::string& value = args[++i];
        const bool hasControl = std::any_of(value.begin(), value.end(),
            [](char c) { return static_cast<unsigned char>(c) < 0x20; });
        if (option == "--listen") {
            if (value.empty())
                return fail("--listen needs an address");
            options.Listen = value;
        } else if (option == "--port") {
            const auto port = ParseNumber(value, 0, 65535);
            if (!port)
                return fail("--port must be a number from 0 to 65535: " + value);
            options.Port = static_cast<int>(*port);
        } else if (option == "--expiry") {
            const auto seconds = ParseNumber(value, 1, 10LL * 365 * 24 * 3600);
            if (!seconds)
                return fail("--expiry must be a positive number of seconds: " + value);
            options.Expiry = std::chrono::seconds(*seconds);
        } else if (option == "--max-games") {
            const auto count = ParseNumber(value, 1, 1000000);
            if (!count)
                return fail("--max-games must be a number from 1 to 1000000: " + value);
            options.MaxGames = static_cast<std::size_t>(*count);
        } else if (option == "--head-timeout") {
            const auto seconds = ParseNumber(value, 1, 3600);
            if (!seconds)
                return fail("--head-timeout must be a number of seconds from 1 to 3600: " + value);
            options.HeadTimeout = std::chrono::seconds(*seconds);
        } else if (option == "--trusted-proxy") {
            options.TrustedProxy = NumericAddress(value);
            if (options.TrustedProxy.empty())
                return fail("--trusted-proxy must be a numeric IPv4 or IPv6 address: " + value);
        } else if (option == "--store") {
            const TRedisAddressResult store = ParseRedisAddress(value);
            if (!store.Address)
                return fail(store.Error);
            options.Store = store.Address;
        } else if (option == "--version-text") {
            if (!ParseNumber(value, 0, std::numeric_limits<int>::max()))
                return fail("--version-text must be a whole version number, e.g. 325: " + value);
            options.VersionText = value;
        } else {
            if (value.empty() || hasControl)
                return fail("--url must be a non-empty address on one line");
            options.Url = value;
        }
    }
    return TOptionsResult { options, {} };
}

TGameListServer::TGameListServer(const TServerOptions& options, TClock clock)
    : m_Options(options)
    , m_Store(
          std::make_unique<TMemoryGameStore>(options.Expiry, options.MaxGames, std::move(clock))) {
}

TGameListServer::TGameListServer(const TServerOptions& options, std::unique_ptr<TGameStore> store)
    : m_Options(options)
    , m_Store(std::move(store)) { }

TServerReply TGameListServer::Handle(
    const std::string& path, const TParams& params, const std::string& remoteAddr) {
    const auto param = [&](const std::string& key) -> std::optional<std::string> {
        const auto found = params.find(key);
        if (found == params.end())
            return std::nullopt;
        return found->second;
    };
    if (path == "/wintermoot.inf")
        return List();
    if (path == "/") {
        TServerReply page { 200, HomePage(m_Options) };
        page.ContentType = "text/html; charset=utf-8";
        return page;
    }
    if (path == "/ipaddress.php")
        return { 200, "IP address=" + remoteAddr + "\r\n" };
    if (path == "/versions.inf") {
        return { 200,
            "WintermootVersion=" + m_Options.VersionText + "\r\nWintermootURL=" + m_Options.Url
                + "\r\n" };
    }
    if (path == "/wintermoot.php") {
        const std::string action = param("action").value_or("");
        if (action == "add")
            return Add(remoteAddr, param("name").value_or(""));
        if (action == "remove")
            return Remove(remoteAddr);
        return { 400, "Unknown action\r\n" };
    }
    return { 404, "Not found\r\n" };
}

namespace {

const TServerReply Unavailable { 503, "The list cannot be reached now, try again later\r\n" };

} // namespace

TServerReply TGameListServer::List() {
    auto games = m_Store->List();
    if (!games)
        return Unavailable;
    TServerReply reply { 200, {} };
    const std::lock_guard lock(m_ListMutex);
    // The same games give the same text: it is cleaned and built only when the list changes.
    if (!m_LastList || *games != m_LastGames) {
        std::string text;
        for (const TListedGame& game : *games) {
            const std::string name = CleanGameName(game.Name);
            const std::string address = NumericAddress(game.Address);
            if (!name.empty() && !address.empty())
                text += name + "|" + address + "\r\n";
        }
        m_LastGames = std::move(*games);
        m_LastList = std::make_shared<const std::string>(std::move(text));
    }
    reply.Shared = m_LastList;
    return reply;
}

std::string TGameListServer::ListText() {
    return List().Text();
}

TServerReply TGameListServer::Add(const std::string& remoteAddr, const std::string& name) {
    const std::string cleaned = CleanGameName(name);
    if (cleaned.empty())
        return { 400, "The game needs a name\r\n" };
    switch (m_Store->Add(remoteAddr, cleaned)) {
    case EStoreResult::Done:
        return { 200, "OK\r\n" };
    case EStoreResult::Full:
        return { 503, "The list is full\r\n" };
    case EStoreResult::Unavailable:
        break;
    }
    return Unavailable;
}

TServerReply TGameListServer::Remove(const std::string& remoteAddr) {
    return m_Store->Remove(remoteAddr) == EStoreResult::Done ? TServerReply { 200, "OK\r\n" }
                                                             : Unavailable;
}

std::size_t TGameListServer::Count() {
    const auto games = m_Store->List();
    return games ? games->size() : 0;
}
