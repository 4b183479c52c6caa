#include "GameListServer.h"

#include <arpa/inet.h>

#include <algorithm>
#include <charconv>
#include <limits>

namespace {

constexpr std::size_t NameMaxBytes = 255;

// Length of the valid UTF-8 sequence at text[i] and its code point, or 0 when the bytes there
// are not one (stray continuation bytes, overlong forms, surrogates, values above U+10FFFF).
std::size_t DecodeUtf8(const std::string& text, std::size_t i, char32_t& codePoint) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    std::size_t length = 0;
    char32_t min = 0;
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2;
        min = 0x80;
        codePoint = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        min = 0x800;
        codePoint = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        min = 0x10000;
        codePoint = lead & 0x07;
    } else {
        return 0;
    }
    if (i + length > text.size())
        return 0;
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80)
            return 0;
        codePoint = (codePoint << 6) | (byte(i + k) & 0x3F);
    }
    if (codePoint < min || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
        return 0;
    return length;
}

bool IsControl(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

// Characters that change how the text around them is shown rather than showing anything: the
// direction marks, embeddings, overrides and isolates (a name holding U+202E shows the rest of its
// line, the host's address included, backwards), the line and paragraph separators, the byte-order
// mark and the interlinear annotation marks.
bool IsLayoutControl(char32_t c) {
    return c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E)
        || (c >= 0x2066 && c <= 0x2069) || c == 0x2028 || c == 0x2029 || c == 0xFEFF
        || (c >= 0xFFF9 && c <= 0xFFFB);
}

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

std::string CleanGameName(const std::string& name) {
    std::string kept;
    kept.reserve(std::min(name.size(), std::size_t { 4 * NameMaxBytes }));
    for (std::size_t i = 0; i < name.size();) {
        char32_t c = 0;
        const std::size_t length = DecodeUtf8(name, i, c);
        if (length == 0) {
            ++i;
            continue;
        }
        if (!IsControl(c) && !IsLayoutControl(c) && c != U'|')
            kept.append(name, i, length);
        i += length;
    }
    const std::size_t first = kept.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    kept = kept.substr(first, kept.find_last_not_of(' ') - first + 1);
    if (kept.size() > NameMaxBytes) {
        std::size_t cut = NameMaxBytes;
        while (cut > 0 && (static_cast<unsigned char>(kept[cut]) & 0xC0) == 0x80)
            --cut;
        kept.resize(cut);
        kept.erase(kept.find_last_not_of(' ') + 1);
    }
    return kept;
}

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

namespace {

// The address in its canonical spelling, or empty when it is not a numeric IPv4 or IPv6 address.
std::string NumericAddress(const std::string& text) {
    unsigned char bytes[sizeof(in6_addr)];
    char canonical[INET6_ADDRSTRLEN] = {};
    if (inet_pton(AF_INET, text.c_str(), bytes) == 1)
        return inet_ntop(AF_INET, bytes, canonical, sizeof canonical) ? canonical : "";
    if (inet_pton(AF_INET6, text.c_str(), bytes) == 1)
        return inet_ntop(AF_INET6, bytes, canonical, sizeof canonical) ? canonical : "";
    return {};
}

} // namespace

std::string CallerAddress(
    const std::string& peer, const char* realIp, const std::string& trustedProxy) {
    if (trustedProxy.empty() || realIp == nullptr || peer != trustedProxy)
        return peer;
    const std::string given = NumericAddress(realIp);
    return given.empty() ? peer : given;
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
    const auto games = m_Store->List();
    if (!games)
        return Unavailable;
    std::string text;
    for (const TListedGame& game : *games)
        text += game.Name + "|" + game.Address + "\r\n";
    return { 200, text };
}

std::string TGameListServer::ListText() {
    return List().Body;
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
