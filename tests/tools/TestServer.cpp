// The game-list server's request logic without sockets, and the command line of its binary.

#include "GameListServer.h"

#include "RunProgram.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using TTime = std::chrono::steady_clock::time_point;

// A server whose clock the test moves by hand.
struct TClockedServer {
    explicit TClockedServer(TServerOptions options = {})
        : Server(options, [this] { return Now; }) { }
    TTime Now {};
    TGameListServer Server;
};

TServerOptions Options(std::chrono::seconds expiry, std::size_t maxGames) {
    TServerOptions options;
    options.Expiry = expiry;
    options.MaxGames = maxGames;
    return options;
}

struct TCleanCase {
    const char* Fault;
    std::string Input;
    std::string Expected;
};

class CleanGameNameTest : public testing::TestWithParam<TCleanCase> { };

TEST_P(CleanGameNameTest, GivesWhatTheListCanHold) {
    EXPECT_EQ(CleanGameName(GetParam().Input), GetParam().Expected);
}

const std::string Accent = "\xC3\xA9"; // é, two bytes

std::string Repeated(const std::string& text, int times) {
    std::string repeated;
    for (int i = 0; i < times; ++i)
        repeated += text;
    return repeated;
}

INSTANTIATE_TEST_SUITE_P(Names, CleanGameNameTest,
    testing::Values(TCleanCase { "BarWouldSplitTheLine", "Ann|10.0.0.1", "Ann10.0.0.1" },
        TCleanCase { "LineBreaksWouldAddALine", "Ann\r\nEve|1.2.3.4", "AnnEve1.2.3.4" },
        TCleanCase { "TabAndNulKept", std::string("A\tB\0C", 5), "ABC" },
        TCleanCase { "DeleteKept",
            "A\x7F"
            "B",
            "AB" },
        TCleanCase { "C1ControlKept",
            "A\xC2\x85"
            "B",
            "AB" },
        TCleanCase { "InvalidByteKept",
            "A\xFF"
            "B",
            "AB" },
        TCleanCase { "OverlongSlashKept",
            "A\xC0\xAF"
            "B",
            "AB" },
        TCleanCase { "SurrogateKept",
            "A\xED\xA0\x80"
            "B",
            "AB" },
        TCleanCase { "TruncatedSequenceKept", "AB\xE2\x82", "AB" },
        TCleanCase { "NonAsciiLost", "J\xC3\xBCrgen \xE6\x9D\xB1 \xF0\x9F\x98\x80",
            "J\xC3\xBCrgen \xE6\x9D\xB1 \xF0\x9F\x98\x80" },
        TCleanCase { "SpacesAroundKept", "  Ann Lee  ", "Ann Lee" },
        TCleanCase { "OnlyControlsAccepted", "\r\n|\t", "" },
        TCleanCase { "LongNameUncut", std::string(300, 'x'), std::string(255, 'x') },
        TCleanCase { "CutSplitsCharacter", std::string(254, 'x') + Accent, std::string(254, 'x') },
        TCleanCase {
            "CutTooShort", std::string(253, 'x') + Accent, std::string(253, 'x') + Accent },
        TCleanCase {
            "RightToLeftOverrideReversesTheAddress", "Ann\xE2\x80\xAE|1.2.3.4", "Ann1.2.3.4" },
        TCleanCase { "IsolatesAndMarksKept",
            "\xE2\x81\xA6"
            "A\xE2\x80\x8F"
            "B\xE2\x81\xA9\xD8\x9C",
            "AB" },
        TCleanCase { "LineAndParagraphSeparatorsBreakTheLine",
            "A\xE2\x80\xA8"
            "B\xE2\x80\xA9"
            "C",
            "ABC" },
        TCleanCase { "ByteOrderMarkKept",
            "\xEF\xBB\xBF"
            "Ann",
            "Ann" },
        TCleanCase { "JoinerOfEmojiLost", "\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x92\xBB",
            "\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x92\xBB" },
        TCleanCase { "JoinersAtTheEdgesOrDoubledKept",
            "\xE2\x80\x8D"
            "A\xE2\x80\x8D\xE2\x80\x8C"
            "B\xE2\x80\x8C \xE2\x80\x8D",
            "A\xE2\x80\x8D"
            "B" },
        TCleanCase { "ZeroWidthSpaceKept",
            "A\xE2\x80\x8B"
            "B",
            "AB" },
        TCleanCase { "InvisibleOperatorsAndDeprecatedFormatsKept",
            "A\xE2\x81\xA1\xE2\x81\xA2\xE2\x81\xA3\xE2\x81\xAA\xE2\x81\xAF"
            "B",
            "AB" },
        TCleanCase { "SoftHyphenGraphemeJoinerAndVowelSeparatorKept",
            "A\xC2\xAD"
            "B\xCD\x8F"
            "C\xE1\xA0\x8E",
            "ABC" },
        TCleanCase {
            "TagCharactersKept", "A\xF3\xA0\x80\x81\xF3\xA0\x81\x81\xF3\xA0\x81\xBF", "A" },
        TCleanCase { "FillersAndBrailleBlankKept",
            "\xE3\x85\xA4\xEF\xBE\xA0\xE2\xA0\x80\xE1\x85\x9F"
            "A",
            "A" },
        TCleanCase { "OnlyNoBreakSpaceAccepted", "\xC2\xA0\xC2\xA0", "" },
        TCleanCase { "OnlyIdeographicSpaceAccepted", "\xE3\x80\x80", "" },
        TCleanCase { "WideSpacesAroundKept", "\xE3\x80\x80 Ann\xE3\x80\x80\xE2\x80\x83 Lee\xC2\xA0",
            "Ann\xE3\x80\x80\xE2\x80\x83 Lee" },
        TCleanCase { "ManyMarksOnOneLetterKept", "e" + Repeated("\xCC\x88", 100),
            "e" + Repeated("\xCC\x88", 4) },
        TCleanCase { "MarksOfAScriptLost", "\xE0\xA4\x95\xE0\xA5\x8D\xE0\xA4\xB7\xE0\xA4\xBF",
            "\xE0\xA4\x95\xE0\xA5\x8D\xE0\xA4\xB7\xE0\xA4\xBF" },
        TCleanCase { "MarkWithoutALetterKept",
            "\xCC\x81 \xCC\x81"
            "A",
            "A" },
        TCleanCase { "CutLeavesAJoiner", std::string(254, 'x') + "\xE2\x80\x8D" + "y",
            std::string(254, 'x') }),
    [](const testing::TestParamInfo<TCleanCase>& info) { return info.param.Fault; });

TEST(RequestDecodingTest, PathsAndQueriesDecodeAsTheProgramEncodesThem) {
    EXPECT_EQ(DecodeUrl("/wintermoot.inf", false), "/wintermoot.inf");
    EXPECT_EQ(DecodeUrl("/a%20b+c", false), "/a b+c") << "a plus in a path is a plus";
    EXPECT_EQ(DecodeUrl("a+b%2B", true), "a b+");
    EXPECT_EQ(DecodeUrl("%00%e9%C3%A9", true), std::string("\0\xE9\xC3\xA9", 4));
    EXPECT_EQ(DecodeUrl("100%", true), "100%") << "an escape cut short stays as it is";
    EXPECT_EQ(DecodeUrl("%zz%4", true), "%zz%4");

    using P = TGameListServer::TParams;
    EXPECT_EQ(ParseQuery("action=add&name=Ann+Lee%7C1"),
        (P { { "action", "add" }, { "name", "Ann Lee|1" } }));
    EXPECT_EQ(ParseQuery("action=remove&&=x&flag&n=a=b"),
        (P { { "action", "remove" }, { "flag", "" }, { "n", "a=b" } }));
    EXPECT_EQ(ParseQuery(""), P {});
}

TEST(RequestDecodingTest, TheLogGetsOnlyPrintableText) {
    EXPECT_EQ(PrintableForLog("GET", 32), "GET");
    EXPECT_EQ(PrintableForLog("G\x1b[2JET\x7f\xC3\xA9\r\n", 32), "G?[2JET?????");
    EXPECT_EQ(PrintableForLog(std::string(40, 'A'), 32), std::string(32, 'A') + "...");
}

TEST(GameListServerTest, AGameStaysListedUntilItsHostStopsRenewingIt) {
    TClockedServer s(Options(100s, 10));
    ASSERT_EQ(s.Server.Add("10.0.0.1", "Ann").Status, 200);
    s.Now += 99s;
    EXPECT_EQ(s.Server.ListText(), "Ann|10.0.0.1\r\n");
    ASSERT_EQ(s.Server.Add("10.0.0.1", "Ann").Status, 200);
    s.Now += 99s;
    EXPECT_EQ(s.Server.ListText(), "Ann|10.0.0.1\r\n") << "renewal restarts the expiry time";
    s.Now += 1s;
    EXPECT_EQ(s.Server.ListText(), "");
}

TEST(GameListServerTest, OneGamePerAddressTheNewestNameWins) {
    TClockedServer s;
    s.Server.Add("10.0.0.1", "Ann");
    s.Server.Add("10.0.0.2", "Bob");
    s.Server.Add("10.0.0.1", "Ann Lee");
    EXPECT_EQ(s.Server.ListText(), "Ann Lee|10.0.0.1\r\nBob|10.0.0.2\r\n");
    s.Server.Remove("10.0.0.1");
    EXPECT_EQ(s.Server.ListText(), "Bob|10.0.0.2\r\n");
    EXPECT_EQ(s.Server.Remove("10.0.0.9").Status, 200) << "removing nothing is not an error";
}

TEST(GameListServerTest, AFullListRefusesNewHostsButNotRenewals) {
    TClockedServer s(Options(100s, 2));
    EXPECT_EQ(s.Server.Add("10.0.0.1", "Ann").Status, 200);
    EXPECT_EQ(s.Server.Add("10.0.0.2", "Bob").Status, 200);
    EXPECT_EQ(s.Server.Add("10.0.0.3", "Cid").Status, 503);
    EXPECT_EQ(s.Server.Add("10.0.0.2", "Bob").Status, 200);
    EXPECT_EQ(s.Server.Count(), 2u);
    s.Server.Remove("10.0.0.1");
    EXPECT_EQ(s.Server.Add("10.0.0.3", "Cid").Status, 200);
    s.Now += 100s;
    EXPECT_EQ(s.Server.Add("10.0.0.4", "Dee").Status, 200) << "expired games free their places";
    EXPECT_EQ(s.Server.ListText(), "Dee|10.0.0.4\r\n");
}

TEST(GameListServerTest, AnswersEachPath) {
    TServerOptions options;
    options.VersionText = "325";
    options.Url = "https://example.org/get";
    TClockedServer s(options);
    const std::string caller = "192.0.2.7";
    using P = TGameListServer::TParams;

    TServerReply reply
        = s.Server.Handle("/wintermoot.php", P { { "action", "add" }, { "name", "Ann" } }, caller);
    EXPECT_EQ(reply.Status, 200);
    reply = s.Server.Handle("/wintermoot.inf", {}, caller);
    EXPECT_EQ(reply.Status, 200);
    EXPECT_EQ(reply.Text(), "Ann|192.0.2.7\r\n");
    reply = s.Server.Handle("/ipaddress.php", {}, caller);
    EXPECT_EQ(reply.Body, "IP address=192.0.2.7\r\n");
    reply = s.Server.Handle("/versions.inf", {}, caller);
    EXPECT_EQ(reply.Body, "WintermootVersion=325\r\nWintermootURL=https://example.org/get\r\n");
    EXPECT_EQ(s.Server.Handle("/wintermoot.php", P { { "action", "remove" } }, caller).Status, 200);
    EXPECT_EQ(s.Server.Handle("/wintermoot.inf", {}, caller).Text(), "");
}

TEST(GameListServerTest, RefusesBadRequests) {
    TClockedServer s;
    using P = TGameListServer::TParams;
    EXPECT_EQ(s.Server.Handle("/index.html", {}, "10.0.0.1").Status, 404);
    EXPECT_EQ(s.Server.Handle("/WINTERMOOT.INF", {}, "10.0.0.1").Status, 404);
    EXPECT_EQ(s.Server.Handle("/wintermoot.php", {}, "10.0.0.1").Status, 400);
    EXPECT_EQ(
        s.Server.Handle("/wintermoot.php", P { { "action", "drop" } }, "10.0.0.1").Status, 400);
    EXPECT_EQ(
        s.Server.Handle("/wintermoot.php", P { { "action", "add" } }, "10.0.0.1").Status, 400);
    EXPECT_EQ(
        s.Server
            .Handle("/wintermoot.php", P { { "action", "add" }, { "name", " |\r\n" } }, "10.0.0.1")
            .Status,
        400);
    EXPECT_EQ(s.Server.Count(), 0u);
}

TEST(GameListServerTest, ConcurrentHostsAllGetTheirPlace) {
    TServerOptions options = Options(1000s, 100000);
    TGameListServer server(options);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&server, t] {
            for (int i = 0; i < 500; ++i) {
                const std::string address = std::to_string(t) + "." + std::to_string(i);
                server.Add(address, "Host");
                if (i % 2)
                    server.Remove(address);
                server.ListText();
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(server.Count(), 4u * 250u);
}

TEST(CallerAddressTest, OnlyTheTrustedProxyNamesTheCaller) {
    EXPECT_EQ(CallerAddress("10.0.0.1", "203.0.113.5", ""), "10.0.0.1") << "no proxy trusted";
    EXPECT_EQ(CallerAddress("10.0.0.1", "203.0.113.5", "10.0.0.2"), "10.0.0.1") << "another peer";
    EXPECT_EQ(CallerAddress("10.0.0.2", "203.0.113.5", "10.0.0.2"), "203.0.113.5");
    EXPECT_EQ(CallerAddress("10.0.0.2", "2001:DB8:0::1", "10.0.0.2"), "2001:db8::1");
    EXPECT_EQ(CallerAddress("10.0.0.2", nullptr, "10.0.0.2"), "10.0.0.2");
    // An IPv4 address mapped into IPv6 is the same caller as the IPv4 address.
    EXPECT_EQ(CallerAddress("::ffff:192.0.2.4", nullptr, ""), "192.0.2.4");
    EXPECT_EQ(CallerAddress("10.0.0.2", "::ffff:203.0.113.5", "10.0.0.2"), "203.0.113.5");
    EXPECT_EQ(CallerAddress("::ffff:10.0.0.2", "203.0.113.5", "10.0.0.2"), "203.0.113.5");
    EXPECT_EQ(ParseServerOptions({ "--trusted-proxy", "::ffff:10.0.0.2" }).Options->TrustedProxy,
        "10.0.0.2");
    // A header that cannot be read is not charged to the proxy: the request is refused.
    for (const char* bad : { "", "203.0.113.5, 10.1.1.1", "evil|name\r\n", "host.example" })
        EXPECT_EQ(CallerAddress("10.0.0.2", bad, "10.0.0.2"), std::nullopt) << bad;
    EXPECT_EQ(ParseServerOptions({ "--trusted-proxy", "::1" }).Options->TrustedProxy, "::1");
}

TEST(ServerOptionsTest, DefaultsAndValues) {
    TOptionsResult result = ParseServerOptions({});
    ASSERT_TRUE(result.Options);
    EXPECT_EQ(result.Options->Listen, "0.0.0.0");
    EXPECT_EQ(result.Options->Port, 8570);
    EXPECT_EQ(result.Options->Expiry, 7200s);
    EXPECT_EQ(result.Options->MaxGames, 500u);
    EXPECT_EQ(result.Options->VersionText, "324");

    result = ParseServerOptions({ "--listen", "127.0.0.1", "--port", "0", "--expiry", "60",
        "--max-games", "3", "--version-text", "330", "--url", "http://h/x" });
    ASSERT_TRUE(result.Options) << result.Error;
    EXPECT_EQ(result.Options->Listen, "127.0.0.1");
    EXPECT_EQ(result.Options->Port, 0);
    EXPECT_EQ(result.Options->Expiry, 60s);
    EXPECT_EQ(result.Options->MaxGames, 3u);
    EXPECT_EQ(result.Options->VersionText, "330");
    EXPECT_EQ(result.Options->Url, "http://h/x");
    EXPECT_EQ(result.Options->HeadTimeout, 10s);
    result = ParseServerOptions({ "--head-timeout", "3" });
    ASSERT_TRUE(result.Options) << result.Error;
    EXPECT_EQ(result.Options->HeadTimeout, 3s);
}

struct TBadOptions {
    const char* Fault;
    std::vector<std::string> Args;
};

class BadServerOptionsTest : public testing::TestWithParam<TBadOptions> { };

TEST_P(BadServerOptionsTest, AreRefused) {
    const TOptionsResult result = ParseServerOptions(GetParam().Args);
    EXPECT_FALSE(result.Options);
    EXPECT_FALSE(result.Error.empty());
}

INSTANTIATE_TEST_SUITE_P(Options, BadServerOptionsTest,
    testing::Values(TBadOptions { "UnknownOptionIgnored", { "--bogus" } },
        TBadOptions { "MissingValueReadPastEnd", { "--port" } },
        TBadOptions { "PortAboveRangeWrapped", { "--port", "65536" } },
        TBadOptions { "NegativePortTaken", { "--port", "-1" } },
        TBadOptions { "TrailingGarbageIgnored", { "--port", "80x" } },
        TBadOptions { "ZeroExpiryListsNothing", { "--expiry", "0" } },
        TBadOptions { "ZeroCapListsNothing", { "--max-games", "0" } },
        TBadOptions { "DottedVersionTheProgramCannotRead", { "--version-text", "3.2.5" } },
        TBadOptions { "UrlBreaksTheVersionFile", { "--url", "http://a\r\nEvil=1" } },
        TBadOptions { "EmptyListenAddress", { "--listen", "" } },
        TBadOptions { "ZeroHeadTimeoutClosesEveryone", { "--head-timeout", "0" } },
        TBadOptions { "HeadTimeoutWithoutBound", { "--head-timeout", "99999999" } },
        TBadOptions { "StoreThatIsNotRedis", { "--store", "memcached://h:11211" } },
        TBadOptions { "StoreWithoutValue", { "--store" } },
        TBadOptions { "ProxyByName", { "--trusted-proxy", "proxy.example" } }),
    [](const testing::TestParamInfo<TBadOptions>& info) { return info.param.Fault; });

using TRun = TProgramRun;

TRun RunServer(const std::vector<std::string>& args) {
    return RunProgram(WINTERMOOT_SERVER, args);
}

TEST(ServerBinaryTest, BadOptionsExitWithStatusTwoAndSayWhy) {
    const TRun run = RunServer({ "--port", "seventy" });
    EXPECT_EQ(run.Status, 2);
    EXPECT_NE(run.Err.find("--port"), std::string::npos) << run.Err;
    EXPECT_EQ(run.Out, "");
}

TEST(ServerBinaryTest, HelpNamesEveryOption) {
    const TRun run = RunServer({ "--help" });
    EXPECT_EQ(run.Status, 0);
    for (const char* option : { "--listen", "--port", "--expiry", "--max-games", "--version-text",
             "--url", "--head-timeout", "--store", "--trusted-proxy" })
        EXPECT_NE(run.Out.find(option), std::string::npos) << option;
}

} // namespace
