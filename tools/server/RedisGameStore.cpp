#include "RedisGameStore.h"

#include <hiredis/hiredis.h>

#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string_view>

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

// KEYS: the index. ARGV: the prefix of game keys, most games. Answers name, address, name,
// address ... in the order of listing, at most the most games, and drops index members whose game
// has expired. Names and addresses are cut to FieldMax bytes, so that one written into Redis by
// anything else cannot make the answer larger than the server takes.
const char* const ListLua = R"lua(
local games = {}
local most = tonumber(ARGV[2])
for _, member in ipairs(redis.call('ZRANGE', KEYS[1], 0, -1)) do
  local name = redis.call('GET', ARGV[1] .. member)
  if not name then
    redis.call('ZREM', KEYS[1], member)
  elseif #games < 2 * most then
    games[#games + 1] = string.sub(name, 1, 1024)
    games[#games + 1] = string.sub(member, 1, 1024)
  end
end
return games
)lua";

// The longest name or address the list script answers, and so the longest string taken.
constexpr long long FieldMax = 1024;

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

using TSteady = std::chrono::steady_clock;

int MillisecondsLeft(TSteady::time_point deadline) {
    const auto left
        = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - TSteady::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, 60000));
}

} // namespace

namespace {

// Follows an answer of Redis as its bytes arrive and tells when it is whole, refusing counts and
// lengths beyond the limits as soon as they are announced, before anything is kept for them.
class TAnswerScan {
public:
    enum EState { Incomplete, Complete, Refused };

    TAnswerScan(long long maxElements, long long maxString)
        : m_MaxElements(maxElements)
        , m_MaxString(maxString)
        , m_MaxBytes(maxElements * (maxString + 32) + 1024) { }

    // Looks at the answer so far (the bytes given before and the new ones after them).
    EState Feed(std::string_view answer) {
        if (static_cast<long long>(answer.size()) > m_MaxBytes)
            return Refuse("the answer is larger than the list can be");
        while (!m_Done) {
            const std::size_t end = answer.find("\r\n", m_At);
            if (end == std::string_view::npos) {
                if (static_cast<long long>(answer.size() - m_At) > m_MaxString + 32)
                    return Refuse("a line of the answer is too long");
                return Incomplete;
            }
            const char type = answer[m_At];
            const std::string_view line = answer.substr(m_At + 1, end - m_At - 1);
            if (static_cast<long long>(line.size()) > m_MaxString)
                return Refuse("a line of the answer is too long");
            if (type == '+' || type == '-' || type == ':') {
                m_At = end + 2;
                ItemDone();
                continue;
            }
            long long count = 0;
            const auto [ptr, ec] = std::from_chars(line.data(), line.data() + line.size(), count);
            if (ec != std::errc() || ptr != line.data() + line.size() || count < -1)
                return Refuse("the answer is not Redis's protocol");
            if (type == '$') {
                if (count > m_MaxString)
                    return Refuse("the answer announces a string longer than any in the list");
                const std::size_t after = end + 2 + static_cast<std::size_t>(std::max(count, 0LL));
                if (count >= 0 && answer.size() < after + 2)
                    return Incomplete;
                if (count >= 0 && answer.substr(after, 2) != "\r\n")
                    return Refuse("the answer is not Redis's protocol");
                m_At = count >= 0 ? after + 2 : end + 2;
                ItemDone();
            } else if (type == '*') {
                if (count > m_MaxElements)
                    return Refuse("the answer announces more entries than the list can hold");
                if (m_Open.size() >= 4)
                    return Refuse("the answer is nested too deeply");
                m_At = end + 2;
                if (count > 0)
                    m_Open.push_back(count);
                else
                    ItemDone();
            } else {
                return Refuse("the answer is not Redis's protocol");
            }
        }
        return Complete;
    }

    const std::string& Why() const { return m_Why; }

private:
    EState Refuse(const char* why) {
        m_Why = why;
        return Refused;
    }

    // One value is whole: it counts for the array around it, which may be whole in turn.
    void ItemDone() {
        while (!m_Open.empty()) {
            if (--m_Open.back() > 0)
                return;
            m_Open.pop_back();
        }
        m_Done = true;
    }

    long long m_MaxElements;
    long long m_MaxString;
    long long m_MaxBytes;
    std::size_t m_At = 0;
    std::vector<long long> m_Open;
    bool m_Done = false;
    std::string m_Why;
};

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

TRedisGameStore::TReply TRedisGameStore::Exchange(TConnection& connection,
    const std::vector<std::string>& args, TSteady::time_point deadline, std::string& error) const {
    // The command, given as separate arguments so that names and addresses need no quoting.
    std::vector<const char*> argv;
    std::vector<size_t> lengths;
    for (const std::string& arg : args) {
        argv.push_back(arg.data());
        lengths.push_back(arg.size());
    }
    char* formatted = nullptr;
    const int length = redisFormatCommandArgv(
        &formatted, static_cast<int>(argv.size()), argv.data(), lengths.data());
    if (length < 0) {
        error = "out of memory";
        return nullptr;
    }
    const std::string command(formatted, static_cast<std::size_t>(length));
    redisFreeCommand(formatted);
    const int fd = connection.Context->fd;
    // One deadline for sending the command and reading its whole answer, however slowly Redis
    // trickles it; an answer larger than the list can be is refused as soon as it is announced.
    for (std::size_t sent = 0; sent < command.size();) {
        pollfd ready { fd, POLLOUT, 0 };
        if (poll(&ready, 1, MillisecondsLeft(deadline)) <= 0) {
            error = "Redis did not take the command in time";
            return nullptr;
        }
        const ssize_t count
            = send(fd, command.data() + sent, command.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (count < 0 && errno != EAGAIN && errno != EINTR) {
            error = std::string("cannot send to Redis: ") + std::strerror(errno);
            return nullptr;
        }
        sent += static_cast<std::size_t>(std::max<ssize_t>(count, 0));
    }
    TAnswerScan scan(
        std::max<long long>(2 * static_cast<long long>(m_Settings.MaxGames), 16), FieldMax);
    std::string answer;
    char buffer[16384];
    for (;;) {
        const TAnswerScan::EState state = scan.Feed(answer);
        if (state == TAnswerScan::Refused) {
            error = scan.Why();
            return nullptr;
        }
        if (state == TAnswerScan::Complete)
            break;
        pollfd ready { fd, POLLIN, 0 };
        if (poll(&ready, 1, MillisecondsLeft(deadline)) <= 0) {
            error = "Redis did not answer in time";
            return nullptr;
        }
        const ssize_t count = recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (count == 0) {
            error = "Redis closed the connection";
            return nullptr;
        }
        if (count < 0 && errno != EAGAIN && errno != EINTR) {
            error = std::string("cannot read from Redis: ") + std::strerror(errno);
            return nullptr;
        }
        answer.append(buffer, static_cast<std::size_t>(std::max<ssize_t>(count, 0)));
    }
    void* reply = nullptr;
    if (redisReaderFeed(connection.Context->reader, answer.data(), answer.size()) != REDIS_OK
        || redisReaderGetReply(connection.Context->reader, &reply) != REDIS_OK
        || reply == nullptr) {
        error = "the answer is not Redis's protocol";
        return nullptr;
    }
    return TReply(static_cast<redisReply*>(reply));
}

std::unique_ptr<TRedisGameStore::TConnection> TRedisGameStore::Acquire(
    TSteady::time_point deadline, std::string& error) {
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
    const auto fail = [&](const std::string& why) -> std::unique_ptr<TConnection> {
        error = why;
        const std::lock_guard lock(m_Mutex);
        NoteFailureLocked(why);
        return nullptr;
    };
    const int left = MillisecondsLeft(deadline);
    if (left <= 0)
        return fail("no time left to connect");
    connection->Context = redisConnectWithTimeout(
        address.Host.c_str(), address.Port, TimeValue(std::chrono::milliseconds(left)));
    if (connection->Context == nullptr)
        return fail("out of memory");
    if (connection->Context->err != 0)
        return fail(connection->Context->errstr);
    redisSetTimeout(connection->Context, TimeValue(m_Settings.Timeout));
    redisEnableKeepAlive(connection->Context);
    std::string why;
    if (address.Database != 0) {
        const TReply reply
            = Exchange(*connection, { "SELECT", std::to_string(address.Database) }, deadline, why);
        if (!reply)
            return fail(why);
        if (reply->type == REDIS_REPLY_ERROR)
            return fail("database " + std::to_string(address.Database) + ": " + reply->str);
    }
    for (int i = 0; i < ScriptCount; ++i) {
        const TReply reply = Exchange(*connection, { "SCRIPT", "LOAD", Scripts[i] }, deadline, why);
        if (!reply)
            return fail(why);
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

void TRedisGameStore::Failed(std::unique_ptr<TConnection> connection, const std::string& why) {
    // The other idle connections most likely went the same way (Redis restarted or went away):
    // they are dropped too, and new ones made on the next requests after the pause. The failed
    // one may have half an answer waiting, so it is never used again.
    connection.reset();
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
    // The whole request waits for Redis at most this long, connecting included.
    const auto deadline = TSteady::now() + m_Settings.Timeout;
    auto connection = Acquire(deadline, error);
    if (!connection)
        return nullptr;
    std::vector<std::string> command { "EVALSHA", connection->Digests[script],
        std::to_string(keys.size()) };
    command.insert(command.end(), keys.begin(), keys.end());
    command.insert(command.end(), args.begin(), args.end());
    TReply reply = Exchange(*connection, command, deadline, error);
    // Redis forgets scripts when told to (SCRIPT FLUSH); the script's text is sent then.
    if (reply && reply->type == REDIS_REPLY_ERROR
        && std::string_view(reply->str, reply->len).starts_with("NOSCRIPT")) {
        command[0] = "EVAL";
        command[1] = Scripts[script];
        reply = Exchange(*connection, command, deadline, error);
    }
    if (!reply) {
        Failed(std::move(connection), error);
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
    const auto deadline = TSteady::now() + m_Settings.Timeout;
    auto connection = Acquire(deadline, error);
    if (!connection)
        return error.empty() ? "no connection" : error;
    const TReply reply = Exchange(*connection, { "PING" }, deadline, error);
    if (!reply) {
        Failed(std::move(connection), error);
        return error;
    }
    if (reply->type == REDIS_REPLY_ERROR)
        return std::string(reply->str, reply->len);
    Release(std::move(connection));
    return {};
}

std::optional<std::vector<TListedGame>> TRedisGameStore::List() {
    std::string error;
    const TReply reply
        = Run(ListScript, { IndexKey }, { GamePrefix, std::to_string(m_Settings.MaxGames) }, error);
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
