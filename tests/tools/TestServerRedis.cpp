// The game list kept in Redis: a real redis-server started by the test on a free port of
// 127.0.0.1, several server objects and processes sharing it, Redis's own expiry, a restart of
// the server and of Redis. Skipped only where redis-server is not installed. Every wait polls
// with a generous bound, so a slow machine takes longer but does not fail.

#include "GameListServer.h"
#include "RedisGameStore.h"
#include "RunProgram.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <hiredis/hiredis.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

std::string FindRedisServer() {
    for (const char* path : { "/usr/bin/redis-server", "/usr/local/bin/redis-server" })
        if (access(path, X_OK) == 0)
            return path;
    return {};
}

int FreePort() {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
}

// Polls the condition every 20 ms for at most the bound.
template <typename F> bool WaitFor(F condition, std::chrono::milliseconds bound = 20s) {
    const auto end = std::chrono::steady_clock::now() + bound;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

// A child process, ended (SIGTERM, then waited for) with its owner.
class TChild {
public:
    TChild() = default;
    TChild(const TChild&) = delete;
    TChild& operator=(const TChild&) = delete;
    ~TChild() { Stop(); }

    // Starts the program; its standard output goes to a pipe read by Line().
    bool Start(const std::string& program, const std::vector<std::string>& args) {
        int out[2];
        if (pipe2(out, O_CLOEXEC) != 0)
            return false;
        std::vector<std::string> strings { program };
        strings.insert(strings.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (std::string& s : strings)
            argv.push_back(s.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        const bool started
            = posix_spawn(&m_Pid, argv[0], &actions, nullptr, argv.data(), environ) == 0;
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        m_Out = fdopen(out[0], "r");
        if (!started)
            m_Pid = -1;
        return started;
    }

    // The next line of the child's output, empty at its end.
    std::string Line() {
        char buffer[256] = {};
        if (m_Out == nullptr || std::fgets(buffer, sizeof buffer, m_Out) == nullptr)
            return {};
        return buffer;
    }

    void Stop() {
        if (m_Pid > 0) {
            kill(m_Pid, SIGTERM);
            int status = 0;
            waitpid(m_Pid, &status, 0);
            m_Pid = -1;
        }
        if (m_Out != nullptr)
            std::fclose(m_Out);
        m_Out = nullptr;
    }

private:
    pid_t m_Pid = -1;
    FILE* m_Out = nullptr;
};

// A redis-server of the test's own, without persistence, on a free port of 127.0.0.1.
class TRedis {
public:
    explicit TRedis(int port = FreePort())
        : m_Port(port) { }

    bool Start() {
        const std::string program = FindRedisServer();
        if (!m_Child.Start(program,
                { "--port", std::to_string(m_Port), "--bind", "127.0.0.1", "--save", "",
                    "--appendonly", "no" }))
            return false;
        return WaitFor([this] { return Command("PING") == "PONG"; });
    }
    void Stop() { m_Child.Stop(); }

    int Port() const { return m_Port; }
    std::string Url() const { return "redis://127.0.0.1:" + std::to_string(m_Port); }

    // A command's answer as text (a number as digits), empty when Redis cannot be reached.
    std::string Command(const std::string& command) {
        const timeval second { 1, 0 };
        redisContext* context = redisConnectWithTimeout("127.0.0.1", m_Port, second);
        std::string answer;
        if (context != nullptr && context->err == 0) {
            redisSetTimeout(context, second);
            auto* reply = static_cast<redisReply*>(redisCommand(context, command.c_str()));
            if (reply != nullptr && reply->str != nullptr)
                answer.assign(reply->str, reply->len);
            else if (reply != nullptr && reply->type == REDIS_REPLY_INTEGER)
                answer = std::to_string(reply->integer);
            freeReplyObject(reply);
        }
        redisFree(context);
        return answer;
    }

private:
    int m_Port;
    TChild m_Child;
};

class RedisStoreTest : public testing::Test {
protected:
    void SetUp() override {
        if (FindRedisServer().empty())
            GTEST_SKIP() << "redis-server is not installed (Debian package redis-server); the "
                            "Redis store is not tested";
        ASSERT_TRUE(Redis.Start()) << "redis-server did not answer PING";
    }

    // A server object keeping its list in the test's Redis.
    std::unique_ptr<TGameListServer> Server(
        std::chrono::seconds expiry = 7200s, std::size_t maxGames = 500) {
        TRedisGameStore::TSettings settings;
        settings.Address.Host = "127.0.0.1";
        settings.Address.Port = Redis.Port();
        settings.Expiry = expiry;
        settings.MaxGames = maxGames;
        settings.RetryPause = 0ms;
        TServerOptions options;
        options.Expiry = expiry;
        options.MaxGames = maxGames;
        return std::make_unique<TGameListServer>(
            options, std::make_unique<TRedisGameStore>(settings));
    }

    TRedis Redis;
};

TServerReply List(TGameListServer& server) {
    return server.Handle("/wintermoot.inf", {}, "10.0.0.9");
}

TEST_F(RedisStoreTest, AGamePublishedThroughOneServerIsListedByAnotherAtOnce) {
    auto one = Server();
    auto two = Server();
    ASSERT_EQ(one->Add("10.0.0.1", "Ann").Status, 200);
    EXPECT_EQ(two->ListText(), "Ann|10.0.0.1\r\n");
    ASSERT_EQ(two->Add("10.0.0.2", "Bob").Status, 200);
    // A renewal through the other server renames the game and keeps its place.
    ASSERT_EQ(two->Add("10.0.0.1", "Ann Lee").Status, 200);
    EXPECT_EQ(one->ListText(), "Ann Lee|10.0.0.1\r\nBob|10.0.0.2\r\n");
    ASSERT_EQ(one->Remove("10.0.0.2").Status, 200);
    EXPECT_EQ(two->ListText(), "Ann Lee|10.0.0.1\r\n");
    EXPECT_EQ(Redis.Command("TTL wintermoot:game:10.0.0.1").empty(), false);
    EXPECT_GT(std::stoi(Redis.Command("TTL wintermoot:game:10.0.0.1")), 7000);
}

TEST_F(RedisStoreTest, NamesAreStoredAsTheyCameWithoutQuoting) {
    auto server = Server();
    const std::string name = "Ann \"x\" 'y' \\ * \xC3\xA9";
    ASSERT_EQ(server->Add("::1", name).Status, 200);
    EXPECT_EQ(server->ListText(), name + "|::1\r\n");
}

TEST_F(RedisStoreTest, EntriesWrittenByAnythingElseAreCleanedWhenListed) {
    auto server = Server();
    ASSERT_EQ(server->Add("10.0.0.1", "Ann").Status, 200);
    const timeval second { 1, 0 };
    redisContext* context = redisConnectWithTimeout("127.0.0.1", Redis.Port(), second);
    ASSERT_TRUE(context != nullptr && context->err == 0);
    const auto command = [&](std::vector<std::string> args) {
        std::vector<const char*> argv;
        std::vector<size_t> lengths;
        for (const std::string& arg : args) {
            argv.push_back(arg.data());
            lengths.push_back(arg.size());
        }
        freeReplyObject(
            redisCommandArgv(context, static_cast<int>(args.size()), argv.data(), lengths.data()));
    };
    // A name with a line break, a direction override and a false address; an index entry that
    // is not an address; a name that shows as nothing.
    command(
        { "SET", "wintermoot:game:10.0.0.2", "Eve\r\n\xE2\x80\xAE\xE2\x80\x8BMallory|6.6.6.6" });
    command({ "ZADD", "wintermoot:games", "90", "10.0.0.2" });
    command({ "SET", "wintermoot:game:x\r\ny|1.2.3.4", "Zed" });
    command({ "ZADD", "wintermoot:games", "91", "x\r\ny|1.2.3.4" });
    command({ "SET", "wintermoot:game:10.0.0.3", "\xC2\xA0" });
    command({ "ZADD", "wintermoot:games", "92", "10.0.0.3" });
    redisFree(context);
    EXPECT_EQ(server->ListText(), "Ann|10.0.0.1\r\nEveMallory6.6.6.6|10.0.0.2\r\n");
}

TEST_F(RedisStoreTest, RedisExpiresAGameAndTheListingDropsItsIndexEntry) {
    auto server = Server(1s);
    ASSERT_EQ(server->Add("10.0.0.1", "Ann").Status, 200);
    EXPECT_EQ(Redis.Command("ZCARD wintermoot:games"), "1");
    EXPECT_TRUE(WaitFor([&] { return Redis.Command("EXISTS wintermoot:game:10.0.0.1") == "0"; }));
    EXPECT_EQ(server->ListText(), "");
    EXPECT_EQ(Redis.Command("ZCARD wintermoot:games"), "0") << "the stale index entry stays";
}

TEST_F(RedisStoreTest, AFullListFreesThePlacesOfExpiredGames) {
    auto server = Server(1s, 2);
    ASSERT_EQ(server->Add("10.0.0.1", "Ann").Status, 200);
    ASSERT_EQ(server->Add("10.0.0.2", "Bob").Status, 200);
    EXPECT_EQ(server->Add("10.0.0.3", "Cid").Status, 503);
    EXPECT_EQ(server->Add("10.0.0.2", "Bob").Status, 200) << "a renewal is not refused";
    ASSERT_TRUE(WaitFor([&] {
        return Redis.Command("EXISTS wintermoot:game:10.0.0.1 wintermoot:game:10.0.0.2") == "0";
    }));
    EXPECT_EQ(Redis.Command("ZCARD wintermoot:games"), "2");
    EXPECT_EQ(server->Add("10.0.0.3", "Cid").Status, 200);
    EXPECT_EQ(server->ListText(), "Cid|10.0.0.3\r\n");
}

TEST_F(RedisStoreTest, RedisGoingAwayGives503AndTheServerRecoversWhenItIsBack) {
    auto server = Server();
    ASSERT_EQ(server->Add("10.0.0.1", "Ann").Status, 200);
    Redis.Stop();
    EXPECT_EQ(List(*server).Status, 503);
    EXPECT_EQ(server->Add("10.0.0.2", "Bob").Status, 503);
    EXPECT_EQ(server->Remove("10.0.0.1").Status, 503);
    EXPECT_EQ(server->Handle("/ipaddress.php", {}, "10.0.0.9").Status, 200)
        << "what does not need the list is still answered";
    // A new Redis on the same port (without the old data, which was not saved).
    ASSERT_TRUE(Redis.Start());
    ASSERT_TRUE(WaitFor([&] { return server->Add("10.0.0.2", "Bob").Status == 200; }));
    EXPECT_EQ(List(*server).Text(), "Bob|10.0.0.2\r\n");
    // A flushed script cache is also survived.
    Redis.Command("SCRIPT FLUSH");
    EXPECT_EQ(List(*server).Text(), "Bob|10.0.0.2\r\n");
}

// A wintermoot-server process on a free port; false when it did not say where it listens.
bool StartServer(TChild& child, int& port, const std::vector<std::string>& extra) {
    std::vector<std::string> args { "--listen", "127.0.0.1", "--port", "0" };
    args.insert(args.end(), extra.begin(), extra.end());
    if (!child.Start(WINTERMOOT_SERVER, args))
        return false;
    const std::string line = child.Line();
    if (line.rfind("listening on ", 0) != 0)
        return false;
    port = std::stoi(line.substr(13));
    return true;
}

// The body of a GET answered by the server on 127.0.0.1, or "" when it does not answer.
std::string HttpGet(int port, const std::string& target, const std::string& header = {}) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const timeval limit { 5, 0 };
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string text;
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        const std::string request = "GET " + target
            + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n" + header + "\r\n";
        send(fd, request.data(), request.size(), MSG_NOSIGNAL);
        char buffer[4096];
        ssize_t got;
        while ((got = recv(fd, buffer, sizeof buffer, 0)) > 0)
            text.append(buffer, static_cast<std::size_t>(got));
    }
    close(fd);
    const std::size_t body = text.find("\r\n\r\n");
    return body == std::string::npos ? "" : text.substr(body + 4);
}

TEST_F(RedisStoreTest, TwoServerProcessesShareTheListAndARestartLosesNothing) {
    TChild one;
    TChild two;
    int portOne = 0;
    int portTwo = 0;
    ASSERT_TRUE(StartServer(one, portOne, { "--store", Redis.Url() + "/0" }));
    ASSERT_TRUE(StartServer(two, portTwo, { "--store", Redis.Url() }));
    EXPECT_EQ(HttpGet(portOne, "/wintermoot.php?action=add&name=Ann"), "OK\r\n");
    EXPECT_EQ(HttpGet(portTwo, "/wintermoot.inf"), "Ann|127.0.0.1\r\n");
    one.Stop();
    two.Stop();
    ASSERT_TRUE(StartServer(one, portOne, { "--store", Redis.Url() }));
    EXPECT_EQ(HttpGet(portOne, "/wintermoot.inf"), "Ann|127.0.0.1\r\n");
}

TEST_F(RedisStoreTest, ADatabaseOtherThanTheFirstKeepsAListOfItsOwn) {
    TChild server;
    int port = 0;
    ASSERT_TRUE(StartServer(server, port, { "--store", Redis.Url() + "/3" }));
    EXPECT_EQ(HttpGet(port, "/wintermoot.php?action=add&name=Ann"), "OK\r\n");
    EXPECT_EQ(Redis.Command("ZCARD wintermoot:games"), "0");
    EXPECT_EQ(HttpGet(port, "/wintermoot.inf"), "Ann|127.0.0.1\r\n");
}

TEST(TrustedProxyTest, TheProxysRealIpHeaderNamesTheCaller) {
    TChild proxied;
    TChild direct;
    int proxiedPort = 0;
    int directPort = 0;
    ASSERT_TRUE(StartServer(proxied, proxiedPort, { "--trusted-proxy", "127.0.0.1" }));
    ASSERT_TRUE(StartServer(direct, directPort, {}));
    const std::string header = "X-Real-IP: 203.0.113.5\r\n";
    EXPECT_EQ(HttpGet(proxiedPort, "/ipaddress.php", header), "IP address=203.0.113.5\r\n");
    EXPECT_EQ(HttpGet(proxiedPort, "/wintermoot.php?action=add&name=Ann", header), "OK\r\n");
    EXPECT_EQ(HttpGet(proxiedPort, "/wintermoot.inf"), "Ann|203.0.113.5\r\n");
    EXPECT_EQ(HttpGet(directPort, "/ipaddress.php", header), "IP address=127.0.0.1\r\n")
        << "a server that trusts no proxy ignores the header";
    // The same caller written as an IPv4 address mapped into IPv6 removes that game.
    EXPECT_EQ(
        HttpGet(proxiedPort, "/wintermoot.php?action=remove", "X-Real-IP: ::ffff:203.0.113.5\r\n"),
        "OK\r\n");
    EXPECT_EQ(HttpGet(proxiedPort, "/wintermoot.inf"), "");
    // A header that is not one address is refused rather than charged to the proxy.
    for (const char* bad : { "203.0.113.5, 198.51.100.7", "unknown", "" }) {
        EXPECT_EQ(HttpGet(proxiedPort, "/wintermoot.php?action=add&name=Eve",
                      std::string("X-Real-IP: ") + bad + "\r\n"),
            "The proxy did not give the caller's address\r\n")
            << bad;
    }
    EXPECT_EQ(HttpGet(proxiedPort, "/wintermoot.inf"), "");
}

TEST(RedisStoreBinaryTest, AnUnreachableRedisStopsTheStartWithAReason) {
    const TProgramRun run = RunProgram(WINTERMOOT_SERVER,
        { "--listen", "127.0.0.1", "--port", "0", "--store",
            "redis://127.0.0.1:" + std::to_string(FreePort()) });
    EXPECT_EQ(run.Status, 1);
    EXPECT_NE(run.Err.find("cannot reach Redis at 127.0.0.1:"), std::string::npos) << run.Err;
    EXPECT_EQ(run.Out, "");
}

TEST(RedisStoreBinaryTest, ABadStoreIsRefusedWithStatusTwo) {
    const TProgramRun run = RunProgram(WINTERMOOT_SERVER, { "--store", "redis:/localhost" });
    EXPECT_EQ(run.Status, 2);
    EXPECT_NE(run.Err.find("--store"), std::string::npos) << run.Err;
}

struct TAddressCase {
    const char* Name;
    std::string Url;
    bool Valid;
    std::string Host;
    int Port;
    int Database;
};

class RedisAddressTest : public testing::TestWithParam<TAddressCase> { };

TEST_P(RedisAddressTest, IsReadOrRefused) {
    const TAddressCase& c = GetParam();
    const TRedisAddressResult result = ParseRedisAddress(c.Url);
    ASSERT_EQ(result.Address.has_value(), c.Valid) << result.Error;
    if (!c.Valid) {
        EXPECT_NE(result.Error.find("redis://HOST"), std::string::npos) << result.Error;
        return;
    }
    EXPECT_EQ(result.Address->Host, c.Host);
    EXPECT_EQ(result.Address->Port, c.Port);
    EXPECT_EQ(result.Address->Database, c.Database);
}

INSTANTIATE_TEST_SUITE_P(Urls, RedisAddressTest,
    testing::Values(
        TAddressCase { "HostAndPort", "redis://10.1.2.3:6380", true, "10.1.2.3", 6380, 0 },
        TAddressCase { "DefaultPort", "redis://cache.example", true, "cache.example", 6379, 0 },
        TAddressCase { "Database", "redis://h:1/15", true, "h", 1, 15 },
        TAddressCase { "Ipv6", "redis://[::1]:7000/2", true, "::1", 7000, 2 },
        TAddressCase { "OtherScheme", "http://h:6379", false },
        TAddressCase { "NoHost", "redis://:6379", false },
        TAddressCase { "EmptyPort", "redis://h:", false },
        TAddressCase { "PortZero", "redis://h:0", false },
        TAddressCase { "PortTooLarge", "redis://h:70000", false },
        TAddressCase { "PortNotANumber", "redis://h:63x", false },
        TAddressCase { "DatabaseNotANumber", "redis://h:1/db", false },
        TAddressCase { "EmptyDatabase", "redis://h:1/", false },
        TAddressCase { "Password", "redis://:secret@h:1", false },
        TAddressCase { "UnclosedIpv6", "redis://[::1:7000", false },
        TAddressCase { "ControlInHost", "redis://h\x01:1", false }),
    [](const testing::TestParamInfo<TAddressCase>& info) { return info.param.Name; });

} // namespace
