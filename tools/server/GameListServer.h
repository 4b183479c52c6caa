#pragma once

// The request logic of wintermoot-server, the project's game-list web server, kept apart from the
// sockets so that it can be exercised directly. It keeps the list of hosted games, one per caller
// address, and answers the five paths the program requests. Requests come from anyone on the
// network: a name is cleaned of the list's separators and of control characters and cut to 255
// bytes, an empty name is refused, the list holds at most a set number of games and forgets a
// game whose host has not renewed it within the expiry time. Thread-safe.

#include <chrono>
#include <cstddef>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

struct TServerOptions {
    std::string Listen = "0.0.0.0";
    int Port = 8570;
    std::chrono::seconds Expiry { 7200 };
    std::size_t MaxGames = 500;
    std::string VersionText = "324";
    std::string Url = "https://wintermoot.example.org/download";
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
    int Status = 200;
    std::string Body;
};

// A name as the list can hold it: invalid UTF-8, "|", control characters (C0, DEL and C1) are
// dropped, surrounding spaces trimmed, and the result cut to 255 bytes at a character boundary.
std::string CleanGameName(const std::string& name);

class TGameListServer {
public:
    using TClock = std::function<std::chrono::steady_clock::time_point()>;
    using TParams = std::multimap<std::string, std::string>;

    // A clock that is not given is the steady clock.
    TGameListServer(const TServerOptions& options, TClock clock = {});

    // Answers one GET request of the caller at remoteAddr; params are the decoded query values.
    TServerReply Handle(
        const std::string& path, const TParams& params, const std::string& remoteAddr);

    // The games now listed, "name|address" CR LF each, oldest first.
    std::string ListText();
    // Lists (or renews, or renames) the caller's game.
    TServerReply Add(const std::string& remoteAddr, const std::string& name);
    TServerReply Remove(const std::string& remoteAddr);
    std::size_t Count();

private:
    struct TListing {
        std::string Address;
        std::string Name;
        std::chrono::steady_clock::time_point Renewed;
    };

    void DropExpired(std::chrono::steady_clock::time_point now);

    TServerOptions m_Options;
    TClock m_Clock;
    std::mutex m_Mutex;
    std::vector<TListing> m_Games;
};
