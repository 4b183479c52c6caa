#pragma once

// The game list in Redis, so that several wintermoot-server processes behind one address serve
// one list and a restart loses nothing. Each game is a key of its own, "wintermoot:game:ADDRESS"
// holding the name, set with the expiry time so that Redis itself forgets a game whose host stops
// renewing it; the sorted set "wintermoot:games" orders the addresses by when they were first
// listed. Every change and every listing is one Lua script, so it is atomic across processes;
// the listing drops index members whose game key has expired. Needs one Redis (or a primary), not
// a Redis Cluster.
//
// Connections are pooled, one per thread that needs one at a time. Each request to the store has
// one deadline for everything it asks of Redis, connecting included and however slowly Redis
// answers, and an answer larger than the list can be is refused as soon as Redis announces it; a
// store that cannot be reached answers Unavailable at once for a second before it tries again, so
// that a dead or misbehaving Redis never holds the server's event loops for long, and the store
// reconnects by itself when Redis is back.

#include "GameStore.h"

#include <array>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct redisContext;
struct redisReply;

class TRedisGameStore : public TGameStore {
public:
    struct TSettings {
        TRedisAddress Address;
        std::chrono::seconds Expiry { 7200 };
        std::size_t MaxGames = 500;
        // For everything one request asks of Redis: connecting (when needed) and the command.
        std::chrono::milliseconds Timeout { 1000 };
        // How long after a failure requests are answered Unavailable without trying Redis.
        std::chrono::milliseconds RetryPause { 1000 };
    };

    explicit TRedisGameStore(TSettings settings);
    ~TRedisGameStore() override;

    // Connects and asks Redis for a PING; the reason when that fails, empty when it works.
    std::string Check();

    std::optional<std::vector<TListedGame>> List() override;
    EStoreResult Add(const std::string& address, const std::string& name) override;
    EStoreResult Remove(const std::string& address) override;

private:
    enum EScript { AddScript, ListScript, RemoveScript, ScriptCount };

    struct TConnection;
    struct TReplyFree {
        void operator()(redisReply* reply) const;
    };
    using TReply = std::unique_ptr<redisReply, TReplyFree>;

    std::unique_ptr<TConnection> Acquire(
        std::chrono::steady_clock::time_point deadline, std::string& error);
    void Release(std::unique_ptr<TConnection> connection);
    void Failed(std::unique_ptr<TConnection> connection, const std::string& why);
    // Sends the command and reads its whole answer by the deadline; nullptr (with the reason in
    // error) when Redis is too slow, closes the connection or announces an answer larger than
    // the list can be.
    TReply Exchange(TConnection& connection, const std::vector<std::string>& args,
        std::chrono::steady_clock::time_point deadline, std::string& error) const;
    // Notes a failure (the connections are dropped and Redis rested for the retry pause) or, after
    // one, success; the change is written to standard error for the operator. Holds m_Mutex.
    void NoteFailureLocked(const std::string& why);
    void NoteSuccess();
    // The reply of the script run with these keys and arguments, or nullptr (with the reason in
    // error) when Redis cannot be reached or the script fails.
    TReply Run(EScript script, const std::vector<std::string>& keys,
        const std::vector<std::string>& args, std::string& error);

    TSettings m_Settings;
    std::mutex m_Mutex;
    std::vector<std::unique_ptr<TConnection>> m_Idle;
    std::chrono::steady_clock::time_point m_RetryAfter {};
    std::string m_LastError;
    // Whether Redis was last reached (nullopt before the first try).
    std::optional<bool> m_Up;
};
