#pragma once

// Where wintermoot-server keeps its list of hosted games. The request handling sees only this
// interface: the list lives in the server's memory (one process) or in Redis (any number of
// processes behind one address share it, and a restart loses nothing).

#include <chrono>
#include <cstddef>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

struct TListedGame {
    std::string Name;
    std::string Address;

    bool operator==(const TListedGame&) const = default;
};

enum class EStoreResult {
    Done,
    // A new game does not fit: the list holds its most games.
    Full,
    // The store cannot be reached now; the caller may try again later.
    Unavailable,
};

class TGameStore {
public:
    virtual ~TGameStore() = default;
    // The games now listed, oldest first; nullopt when the store cannot be reached.
    virtual std::optional<std::vector<TListedGame>> List() = 0;
    // Lists the game of the address under the name, or renews and renames it (it keeps its place).
    virtual EStoreResult Add(const std::string& address, const std::string& name) = 0;
    virtual EStoreResult Remove(const std::string& address) = 0;
};

// The list in this process's memory, gone when it ends. A game leaves it once it has not been
// renewed for the expiry time. Thread-safe.
class TMemoryGameStore : public TGameStore {
public:
    using TClock = std::function<std::chrono::steady_clock::time_point()>;

    // A clock that is not given is the steady clock.
    TMemoryGameStore(std::chrono::seconds expiry, std::size_t maxGames, TClock clock = {});

    std::optional<std::vector<TListedGame>> List() override;
    EStoreResult Add(const std::string& address, const std::string& name) override;
    EStoreResult Remove(const std::string& address) override;

private:
    struct TListing {
        std::string Address;
        std::string Name;
        std::chrono::steady_clock::time_point Renewed;
    };

    void DropExpired(std::chrono::steady_clock::time_point now);

    std::chrono::seconds m_Expiry;
    std::size_t m_MaxGames;
    TClock m_Clock;
    std::mutex m_Mutex;
    std::vector<TListing> m_Games;
};

// A Redis server's address as given to --store: redis://HOST[:PORT][/DB]. HOST is a name, an
// IPv4 address or an IPv6 address in brackets; PORT defaults to 6379 and DB to 0.
struct TRedisAddress {
    std::string Host;
    int Port = 6379;
    int Database = 0;
};

struct TRedisAddressResult {
    std::optional<TRedisAddress> Address;
    std::string Error;
};
TRedisAddressResult ParseRedisAddress(const std::string& url);
