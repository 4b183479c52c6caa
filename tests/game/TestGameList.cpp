// The game-list client: the key-and-value search, and the four requests against a wintermoot-server
// the test starts on a free port, or against small fake servers that misbehave.

#include "FakeHttpServer.h"
#include "GameList.h"
#include "RecordingPresenter.h"
#include "UnitMessages.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QProcess>

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace {

struct TKeyValueCase {
    const char* Fault;
    QString Text;
    QString Key;
    QString Expected;
};

class KeyValueTest : public testing::TestWithParam<TKeyValueCase> { };

TEST_P(KeyValueTest, FindsTheValue) {
    EXPECT_EQ(TGameList::KeyValue(GetParam().Text, GetParam().Key), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(Answers, KeyValueTest,
    testing::Values(TKeyValueCase { "TextAfterCrLfKept", "IP address=203.0.113.9\r\nmore text",
                        "IP address", "203.0.113.9" },
        TKeyValueCase {
            "ValueLostWithoutCrLf", "IP address=203.0.113.9", "IP address", "203.0.113.9" },
        TKeyValueCase { "TextBeforeKeyTaken", "<p>Your IP address=203.0.113.9\r\n</p>",
            "IP address", "203.0.113.9" },
        TKeyValueCase { "MissingKeyGivesText", "address: 203.0.113.9\r\n", "IP address", "" },
        TKeyValueCase { "KeyCaseIgnored", "ip address=203.0.113.9\r\n", "IP address", "" },
        TKeyValueCase { "KeyWithoutEqualsTaken", "IP address 203.0.113.9\r\n", "IP address", "" },
        TKeyValueCase {
            "CrLfAtOnceGivesEmpty", "IP address=\r\n203.0.113.9", "IP address", "\r\n203.0.113.9" },
        TKeyValueCase { "LoneLfEndsValue", "IP address=1.2.3.4\nx", "IP address", "1.2.3.4\nx" },
        TKeyValueCase { "SecondEntryTaken", "IP address=1.1.1.1\r\nIP address=2.2.2.2\r\n",
            "IP address", "1.1.1.1" },
        TKeyValueCase { "VersionKeyMatchesUrlKey",
            "WintermootURL=http://h/x\r\nWintermootVersion=325\r\n", "WintermootVersion", "325" },
        TKeyValueCase { "UrlCutAtColon", "WintermootVersion=325\r\nWintermootURL=http://h/x\r\n",
            "WintermootURL", "http://h/x" }),
    [](const testing::TestParamInfo<TKeyValueCase>& info) { return info.param.Fault; });

TEST(KeyValueTest, OtherDelimiter) {
    EXPECT_EQ(TGameList::KeyValue("a=1;b=2;", "b", ";"), "2");
    EXPECT_EQ(TGameList::KeyValue("a=1;b=2", "a", ";"), "1");
}

TEST(LocalAddressTest, IsANonLoopbackIpv4AddressOrTheUnknownOne) {
    const QString local = TGameList::LocalAddress();
    QHostAddress address;
    ASSERT_TRUE(address.setAddress(local)) << local.toStdString();
    EXPECT_EQ(address.protocol(), QAbstractSocket::IPv4Protocol);
    EXPECT_TRUE(local == "0.0.0.0" || !address.isLoopback()) << local.toStdString();
}

const std::string E3Text = "Could not add/remove the game in the list on the server!";

class GameListClientTest : public testing::Test {
protected:
    void SetUp() override { SetMessagePresenter(std::make_unique<TRecordingPresenter>(Shown)); }
    void TearDown() override {
        SetMessagePresenter(nullptr);
        if (Server.state() != QProcess::NotRunning) {
            Server.kill();
            Server.waitForFinished(5000);
        }
    }

    // Starts wintermoot-server on a free port of 127.0.0.1 and answers its base address.
    QString StartServer(const QStringList& extra = {}) {
        Server.setProgram(WINTERMOOT_SERVER);
        Server.setArguments(QStringList { "--listen", "127.0.0.1", "--port", "0" } + extra);
        Server.start();
        if (!Server.waitForStarted(5000))
            return {};
        QByteArray out;
        while (!out.contains('\n') && Server.waitForReadyRead(5000))
            out += Server.readAllStandardOutput();
        const QByteArray line = out.left(out.indexOf('\n')).trimmed();
        if (!line.startsWith("listening on "))
            return {};
        return "http://127.0.0.1:" + QString::fromLatin1(line.mid(13));
    }

    QProcess Server;
    std::vector<std::string> Shown;
};

TEST_F(GameListClientTest, PublishListAndRemove) {
    const QString base = StartServer();
    ASSERT_FALSE(base.isEmpty());
    TGameList list(base);
    std::vector<bool> busy;
    list.OnBusy = [&](bool on) { busy.push_back(on); };

    EXPECT_TRUE(list.Publish("Ann"));
    EXPECT_EQ(busy, (std::vector<bool> { true, false }));
    std::optional<QStringList> games = list.HostedGames();
    ASSERT_TRUE(games);
    EXPECT_EQ(*games, QStringList { "Ann|127.0.0.1" });

    EXPECT_TRUE(list.Publish("Ann Lee"));
    games = list.HostedGames();
    ASSERT_TRUE(games);
    EXPECT_EQ(*games, QStringList { "Ann Lee|127.0.0.1" }) << "a host lists one game";

    EXPECT_TRUE(list.Remove());
    games = list.HostedGames();
    ASSERT_TRUE(games) << "an empty list is a list";
    EXPECT_TRUE(games->isEmpty());
    EXPECT_TRUE(Shown.empty());
}

TEST_F(GameListClientTest, PublicAddressIsTheCallersAddress) {
    const QString base = StartServer();
    ASSERT_FALSE(base.isEmpty());
    TGameList list(base + "/");
    EXPECT_EQ(list.PublicAddress(), "127.0.0.1");
}

TEST_F(GameListClientTest, NamesSurviveTheRequestCleanedOfTheSeparator) {
    const QString base = StartServer();
    ASSERT_FALSE(base.isEmpty());
    TGameList list(base);
    const QString name = QString::fromUtf8("J\xC3\xBCrgen & Ann #1 | 50%+1 \xE6\x9D\xB1?x=y");
    ASSERT_TRUE(list.Publish(name));
    const std::optional<QStringList> games = list.HostedGames();
    ASSERT_TRUE(games);
    EXPECT_EQ(*games,
        QStringList {
            QString::fromUtf8("J\xC3\xBCrgen & Ann #1  50%+1 \xE6\x9D\xB1?x=y|127.0.0.1") });
}

TEST_F(GameListClientTest, ARefusedListingIsAFailure) {
    const QString base = StartServer();
    ASSERT_FALSE(base.isEmpty());
    TGameList list(base);
    EXPECT_FALSE(list.Publish(" | "));
    EXPECT_EQ(Shown, std::vector<std::string> { E3Text });
    TGameList wrongPath(base + "/missing");
    EXPECT_FALSE(wrongPath.HostedGames()) << "a 404 page is not a list";
}

TEST_F(GameListClientTest, NoServerFailsEachRequestItsOwnWay) {
    TGameList list("http://127.0.0.1:" + QString::number(ClosedLocalPort()));
    EXPECT_FALSE(list.HostedGames());
    EXPECT_EQ(list.PublicAddress(), "0.0.0.0");
    EXPECT_TRUE(Shown.empty()) << "the list and the address report nothing themselves";
    EXPECT_FALSE(list.Publish("Ann"));
    EXPECT_FALSE(list.Remove());
    EXPECT_EQ(Shown, (std::vector<std::string> { E3Text, E3Text }));
}

TEST_F(GameListClientTest, UnusableBaseAddressesFailWithoutARequest) {
    for (const QString& base :
        { QString(), QString("not a url"), QString("file:///etc"), QString("http://") }) {
        TGameList list(base);
        EXPECT_FALSE(list.HostedGames()) << base.toStdString();
        EXPECT_EQ(list.PublicAddress(), "0.0.0.0") << base.toStdString();
    }
}

TEST_F(GameListClientTest, ListLinesAreSplitOnLineFeedsAndOldBytesDecoded) {
    TFakeHttpServer fake("Ann|10.0.0.1\r\n\r\nRen\xE9|10.0.0.2\nnobar\n\n");
    TGameList list(fake.Url());
    const std::optional<QStringList> games = list.HostedGames();
    ASSERT_TRUE(games);
    EXPECT_EQ(*games,
        (QStringList { "Ann|10.0.0.1", QString::fromUtf8("Ren\xC3\xA9|10.0.0.2"), "nobar" }));
}

struct THostileListRow {
    const char* Name;
    QByteArray Answer;
    QString Expected;
};

void PrintTo(const THostileListRow& row, std::ostream* out) {
    *out << row.Name;
}

class HostileListTest : public GameListClientTest,
                        public testing::WithParamInterface<THostileListRow> { };

// A list server (or anyone between it and the program) may send any bytes: the names and
// addresses the program shows are cleaned as the server cleans names.
TEST_P(HostileListTest, ShowsNamesAndAddressesCleaned) {
    TFakeHttpServer fake;
    fake.Answer("/wintermoot.inf", GetParam().Answer);
    TGameList list(fake.Url());
    const std::optional<QStringList> games = list.HostedGames();
    ASSERT_TRUE(games);
    EXPECT_EQ(*games, QStringList { GetParam().Expected });
}

INSTANTIATE_TEST_SUITE_P(Lines, HostileListTest,
    testing::Values(THostileListRow { "RightToLeftOverride",
                        "Alice \xE2\x80\xAE"
                        "4.3.2.1|203.0.113.5\n",
                        "Alice 4.3.2.1|203.0.113.5" },
        THostileListRow { "IsolatesAndMarks",
            "\xE2\x81\xA7"
            "Bob\xE2\x80\x8F\xE2\x81\xA9|203.0.113.6\n",
            "Bob|203.0.113.6" },
        THostileListRow {
            "ControlCharacters", "Ca\x1b[2Jrl\x7f|203.0.113.7\x07\n", "Ca[2Jrl|203.0.113.7" },
        THostileListRow { "OverrideInTheAddress",
            "Dora|\xE2\x80\xAE"
            "203.0.113.8\n",
            "Dora|203.0.113.8" },
        THostileListRow { "LongName", QByteArray(300, 'x') + "|203.0.113.9\n",
            QString(255, QLatin1Char('x')) + "|203.0.113.9" },
        THostileListRow { "SpacesAround", "  Eve  | 203.0.113.10 \n", "Eve|203.0.113.10" }),
    [](const testing::TestParamInfo<THostileListRow>& info) { return info.param.Name; });

TEST_F(GameListClientTest, AnAnswerWithoutTheKeyGivesAnEmptyAddress) {
    TFakeHttpServer fake("<html>Hello</html>");
    TGameList list(fake.Url());
    EXPECT_EQ(list.PublicAddress(), "");
}

TEST_F(GameListClientTest, AnOversizedAnswerIsRefused) {
    TFakeHttpServer fake(QByteArray(2 * 1024 * 1024, 'x'));
    TGameList list(fake.Url());
    EXPECT_FALSE(list.HostedGames());
}

TEST_F(GameListClientTest, AnErrorStatusFailsTheRequestWhateverItsBody) {
    TFakeHttpServer fake;
    fake.Answer("/wintermoot.inf", "Ann|10.0.0.1\n");
    fake.Answer("/wintermoot.php", "Ann|10.0.0.1\n", 503);
    TGameList list(fake.Url());
    const std::optional<QStringList> games = list.HostedGames();
    ASSERT_TRUE(games);
    EXPECT_EQ(*games, QStringList { "Ann|10.0.0.1" });
    EXPECT_FALSE(list.Publish("Ann"));
    EXPECT_EQ(Shown, std::vector<std::string> { E3Text });
    EXPECT_EQ(fake.Requests,
        (QStringList {
            "GET /wintermoot.inf HTTP/1.1", "GET /wintermoot.php?action=add&name=Ann HTTP/1.1" }));
}

TEST_F(GameListClientTest, AServerThatNeverAnswersIsGivenUp) {
    TFakeHttpServer silent;
    silent.SetSilent(true);
    TGameList list(silent.Url());
    list.SetTimeout(200);
    EXPECT_FALSE(list.HostedGames());
    EXPECT_EQ(list.PublicAddress(), "0.0.0.0");
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
