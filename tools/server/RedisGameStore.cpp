#include "RedisGameStore.h"

#include <hiredis/hiredis.h>

#include <sys/time.h>

#include <cstdio>

namespace {

const std::string IndexKey = "wintermoot:games";
const std::string GamePrefix = "wintermoot:game:";
const std::string SequenceKey = "wintermoot:sequence";

// KEYS: the index, the game's key, the sequence. ARGV: address, name, expiry in seconds, most
// games, the prefix of game keys. A new game takes the next number of the sequence as its place;
// a renewal keeps its place. When the list looks full, index members whose game has expired are
// dropped before the count is taken again. Answers 1 when listed, 0 when full.
const char* const AddLua = R"lua(
local listed = redis.call('EXISTS', KEYS[2]) == 1
if listed then
  if not redis.call('ZSCORE', KEYS[1], ARGV[1]) then
    redis.call('ZADD', KEYS[1], redis.call('INCR', KEYS[3]), ARGV[1])
  end
else
  local most = tonumber(ARGV[4])
  if redis.call('ZCARD', KEYS[1]) >= most then
    for _, member in ipairs(redis.call('ZRANGE', KEYS[1], 0, -1)) do
      if redis.call('EXISTS', ARGV[5] .. member) == 0 then
        redis.call('ZREM', KEYS[1], member)
      end
    end
    if redis.call('ZCARD', KEYS[1]) >= most then
      return 0
    end
  end
  redis.call('ZADD', KEYS[1], redis.call('INCR', KEYS[3]), ARGV[1])
end
redis.call('SET', KEYS[2], ARGV[2], 'EX', ARGV[3])
return 1
)lua";

// KEYS: the index. ARGV: the prefix of game keys. Answers name, address, name, address ... in
// the order of listing, and drops index members whose game has expired.
const char* const ListLua = R"lua(
local games = {}
for _, member in ipairs(redis.call('ZRANGE', KEYS[1], 0, -1)) do
  local name = redis.call('GET', ARGV[1] .. member)
  if name then
    games[#games + 1] = name
    games[#games + 1] = member
  else
    redis.call('ZREM', KEYS[1], member)
  end
end
return games
)lua";

// KEYS: the index, the game's key. ARGV: the address.
const char* const RemoveLua = R"lua(
redis.call('DEL', KEYS[2])
redis.call('ZREM', KEYS[1], ARGV[1])
return 1
)lua";

const std::array<const char*, 3> Scripts = { AddLua, ListLua, RemoveLua };

timeval TimeValue(std::chrono::milliseconds time) {
    return { static_cast<time_t>(time.count() / 1000),
        static_cast<suseconds_t>(time.count() % 1000 * 1000) };
}

} // namespace

struct TRedisGameStore::TConnection {
    redisContext* Context = nullptr;
    // The SHA1 digests Redis gave the scripts when this connection loaded them.
    std::array<std::string, ScriptCount> Digests;

    ~TConnection() {
        if (Context != nullptr)
            redisFree(Context);
    }
};

void TRedisGameStore::TReplyFree::operator()(redisReply* reply) const {
    freeReplyObject(reply);
}

TRedisGameStore::TRedisGameStore(TSettings settings)
    : m_Settings(std::move(settings)) { }

TRedisGameStore::~TRedisGameStore() = default;

namespace {

// A command given as separate arguments, so that names and addresses need no quoting.
redisReply* Command(redisContext* context, const std::vector<std::string>& args) {
    std::vector<const char*> argv;
    std::vector<size_t> lengths;
    for (const std::string& arg : args) {
        argv.push_back(arg.data());
        lengths.push_back(arg.size());
    }
    return static_cast<redisReply*>(
        redisCommandArgv(context, static_cast<int>(argv.size()), argv.data(), lengths.data()));
}

} // namespace

std::unique_ptr<TRedisGameStore::TConnection> TRedisGameStore::Acquire(std::string& error) {
    {
        const std::lock_guard lock(m_Mutex);
        if (!m_Idle.empty()) {
            auto connection = std::move(m_Idle.back());
            m_Idle.pop_back();
            return connection;
        }
        if (std::chrono::steady_clock::now() < m_RetryAfter) {
            error = m_LastError;
            return nullptr;
        }
    }
    const TRedisAddress& address = m_Settings.Address;
    auto connection = std::make_unique<TConnection>();
    connection->Context = redisConnectWithTimeout(
        address.Host.c_str(), address.Port, TimeValue(m_Settings.Timeout));
    const auto fail = [&](const std::string& why) -> std::unique_ptr<TConnection> {
        error = why;
        const std::lock_guard lock(m_Mutex);
        NoteFailureLocked(why);
        return nullptr;
    };
    if (connection->Context == nullptr)
        return fail("out of memory");
    if (connection->Context->err != 0)
        return fail(connection->Context->errstr);
    redisSetTimeout(connection->Context, TimeValue(m_Settings.Timeout));
    redisEnableKeepAlive(connection->Context);
    if (address.Database != 0) {
        const TReply reply(
            Command(connection->Context, { "SELECT", std::to_string(address.Database) }));
        if (!reply)
            return fail(connection->Context->errstr);
        if (reply->type == REDIS_REPLY_ERROR)
            return fail("database " + std::to_string(address.Database) + ": " + reply->str);
    }
    for (int i = 0; i < ScriptCount; ++i) {
        const TReply reply(Command(connection->Context, { "SCRIPT", "LOAD", Scripts[i] }));
        if (!reply)
            return fail(connection->Context->errstr);
        if (reply->type != REDIS_REPLY_STRING)
            return fail(std::string("cannot load a script: ") + (reply->str ? reply->str : "?"));
        connection->Digests[i].assign(reply->str, reply->len);
    }
    NoteSuccess();
    return connection;
}

void TRedisGameStore::Release(std::unique_ptr<TConnection> connection) {
    const std::lock_guard lock(m_Mutex);
    m_Idle.push_back(std::move(connection));
}

void TRedisGameStore::Failed(std::unique_ptr<TConnection> connection) {
    // The other idle connections most likely went the same way (Redis restarted or went away):
    // they are dropped too, and new ones made on the next requests after the pause.
    const std::string why = connection->Context->errstr;
    const std::lock_guard lock(m_Mutex);
    m_Idle.clear();
    NoteFailureLocked(why);
}

void TRedisGameStore::NoteFailureLocked(const std::string& why) {
    m_RetryAfter = std::chrono::steady_clock::now() + m_Settings.RetryPause;
    m_LastError = why;
    if (m_Up.value_or(false)) {
        const std::string line = "wintermoot-server: Redis at " + m_Settings.Address.Host + ":"
            + std::to_string(m_Settings.Address.Port) + " cannot be reached (" + why
            + "); list requests are answered 503 until it is back\n";
        std::fwrite(line.data(), 1, line.size(), stderr);
    }
    m_Up = false;
}

void TRedisGameStore::NoteSuccess() {
    const std::lock_guard lock(m_Mutex);
    if (m_Up == false)
        std::fputs("wintermoot-server: Redis is reachable again\n", stderr);
    m_Up = true;
}

TRedisGameStore::TReply TRedisGameStore::Run(EScript script, const std::vector<std::string>& keys,
    const std::vector<std::string>& args, std::string& error) {
    auto connection = Acquire(error);
    if (!connection)
        return nullptr;
    std::vector<std::string> command { "EVALSHA", connection->Digests[script],
        std::to_string(keys.size()) };
    command.insert(command.end(), keys.begin(), keys.end());
    command.insert(command.end(), args.begin(), args.end());
    TReply reply(Command(connection->Context, command));
    // Redis forgets scripts when told to (SCRIPT FLUSH); the script's text is sent then.
    if (reply && reply->type == REDIS_REPLY_ERROR
        && std::string_view(reply->str, reply->len).starts_with("NOSCRIPT")) {
        command[0] = "EVAL";
        command[1] = Scripts[script];
        reply.reset(Command(connection->Context, command));
    }
    if (!reply) {
        error = connection->Context->errstr;
        Failed(std::move(connection));
        return nullptr;
    }
    if (reply->type == REDIS_REPLY_ERROR) {
        // Redis answered, so the connection is fine; the script failed (a read-only replica,
        // or out of memory).
        error = std::string(reply->str, reply->len);
        Release(std::move(connection));
        return nullptr;
    }
    Release(std::move(connection));
    return reply;
}

std::string TRedisGameStore::Check() {
    std::string error;
    auto connection = Acquire(error);
    if (!connection)
        return error.empty() ? "no connection" : error;
    const TReply reply(Command(connection->Context, { "PING" }));
    if (!reply) {
        error = connection->Context->errstr;
        Failed(std::move(connection));
        return error;
    }
    if (reply->type == REDIS_REPLY_ERROR)
        return std::string(reply->str, reply->len);
    Release(std::move(connection));
    return {};
}

std::optional<std::vector<TListedGame>> TRedisGameStore::List() {
    std::string error;
    const TReply reply = Run(ListScript, { IndexKey }, { GamePrefix }, error);
    if (!reply || reply->type != REDIS_REPLY_ARRAY)
        return std::nullopt;
    std::vector<TListedGame> games;
    games.reserve(reply->elements / 2);
    for (std::size_t i = 0; i + 1 < reply->elements; i += 2) {
        const redisReply* name = reply->element[i];
        const redisReply* address = reply->element[i + 1];
        if (name->type != REDIS_REPLY_STRING || address->type != REDIS_REPLY_STRING)
            continue;
        games.push_back(
            { std::string(name->str, name->len), std::string(address->str, address->len) });
    }
    return games;
}

EStoreResult TRedisGameStore::Add(const std::string& address, const std::string& name) {
    std::string error;
    const TReply reply = Run(AddScript, { IndexKey, GamePrefix + address, SequenceKey },
        { address, name, std::to_string(m_Settings.Expiry.count()),
            std::to_string(m_Settings.MaxGames), GamePrefix },
        error);
    if (!reply || reply->type != REDIS_REPLY_INTEGER)
        return EStoreResult::Unavailable;
    return reply->integer == 1 ? EStoreResult::Done : EStoreResult::Full;
}

EStoreResult TRedisGameStore::Remove(const std::string& address) {
    std::string error;
    const TReply reply = Run(RemoveScript, { IndexKey, GamePrefix + address }, { address }, error);
    return reply ? EStoreResult::Done : EStoreResult::Unavailable;
}
