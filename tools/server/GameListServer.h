#pragma once

// The request logic of wintermoot-server, the project's game-list web server, kept apart from the
// sockets so that it can be exercised directly. It keeps the list of hosted games, one per caller
// address, and answers the five paths the program requests. Requests come from anyone on the
// network: a name is cleaned of the list's separators and of control characters and cut to 255
// bytes, an empty name is refused, the list holds at most a set number of games and forgets a
// game whose host has not renewed it within the expiry time. The list itself is kept by a
// TGameStore (this process's memory, or Redis). Thread-safe.

#include "GameName.h"
#include "GameStore.h"
#include "PrintableText.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct TServerOptions {
    std::string Listen = "0.0.0.0";
    int Port = 8570;
    std::chrono::seconds Expiry { 7200 };
    std::size_t MaxGames = 500;
    std::string VersionText = "324";
    std::string Url = "https://wintermoot.example.org/download";
    // A connection must deliver each whole request, head and any body, within this time (from its
    // opening or from the previous answer), or it is closed.
    std::chrono::seconds HeadTimeout { 10 };
    // Where the list is kept: in memory when not given, else in this Redis (--store).
    std::optional<TRedisAddress> Store;
    // A reverse proxy at this address (a numeric IPv4 or IPv6 address) gives the caller's own
    // address in X-Real-IP; empty when callers connect directly.
    std::string TrustedProxy;
    bool Help = false;
};

// The options from the command line (without the program name), or an error message.
struct TOptionsResult {
    std::optional<TServerOptions> Options;
    std::string Error;
};
TOptionsResult ParseServerOptions(const std::vector<std::string>& args);
std::string ServerUsage();

struct TServerReply {
    TServerReply() = default;
    TServerReply(int status, std::string body)
        : Status(status)
        , Body(std::move(body)) { }

    int Status = 200;
    std::string Body;
    // The body when it is shared between answers (the list: every answer of one list holds the
    // same text), instead of Body.
    std::shared_ptr<const std::string> Shared;
    std::string ContentType = "text/plain; charset=utf-8";

    const std::string& Text() const { return Shared ? *Shared : Body; }
};

class TGameListServer {
public:
    using TClock = std::function<std::chrono::steady_clock::time_point()>;
    using TParams = std::multimap<std::string, std::string>;

    // The list in memory; a clock that is not given is the steady clock.
    TGameListServer(const TServerOptions& options, TClock clock = {});
    // The list in the given store.
    TGameListServer(const TServerOptions& options, std::unique_ptr<TGameStore> store);

    // Answers one GET request of the caller at remoteAddr; params are the decoded query values.
    TServerReply Handle(
        const std::string& path, const TParams& params, const std::string& remoteAddr);

    // The games now listed, "name|address" CR LF each, oldest first (empty when the store cannot
    // be reached). Names are cleaned again and entries without a numeric address left out, so
    // that an entry written into the store by anything else cannot add a line or a false address.
    std::string ListText();
    // Lists (or renews, or renames) the caller's game.
    TServerReply Add(const std::string& remoteAddr, const std::string& name);
    TServerReply Remove(const std::string& remoteAddr);
    std::size_t Count();

private:
    TServerReply List();

    TServerOptions m_Options;
    std::unique_ptr<TGameStore> m_Store;
    // The last list's games as the store gave them and its text, handed to every answer while the
    // list stays the same, so that many answers waiting to be sent hold one copy of it.
    std::mutex m_ListMutex;
    std::vector<TListedGame> m_LastGames;
    std::shared_ptr<const std::string> m_LastList;
};

// A request target's part with its %XX escapes decoded (and "+" as a space when plusIsSpace); an
// escape that is not two hex digits is kept as it stands. Any bytes are accepted.
std::string DecodeUrl(std::string_view text, bool plusIsSpace);

// The values of a query ("a=1&b=x+y"), keys and values decoded; a pair without "=" has an empty
// value, one with an empty key is skipped.
TGameListServer::TParams ParseQuery(std::string_view query);

// A numeric IPv4 or IPv6 address in its one spelling (as inet_ntop writes it, an IPv4 address
// mapped into IPv6 as the IPv4 address), or empty when the text is not one such address.
std::string NumericAddress(const std::string& text);

// The address a request is from: the connection's peer, or the X-Real-IP header's address when
// the peer is the trusted proxy, both in their one spelling (NumericAddress); the proxy's
// own when it sends no header. nullopt when the peer is the trusted proxy and the header is not one
// address: such a request cannot be told apart from the others that pass the proxy, and is
// refused.
std::optional<std::string> CallerAddress(
    const std::string& peer, const char* realIp, const std::string& trustedProxy);

// The small page served at "/": what the server is and where its list is.
std::string HomePage(const TServerOptions& options);
