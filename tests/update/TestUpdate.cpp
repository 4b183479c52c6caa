// The update check against a wintermoot-server the test starts on a free port, against small fake
// servers that misbehave and against a closed port; and the main window's completion.

#include "FakeHttpServer.h"
#include "RecordingPresenter.h"
#include "UnitMessages.h"
#include "Update.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>
#include <QUrl>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace std::chrono_literals;

namespace {

struct TParseCase {
    const char* Name;
    QByteArray File;
    int Version; // -1: the file is refused
    QString Url;
};

class ParseVersionFileTest : public testing::TestWithParam<TParseCase> { };

TEST_P(ParseVersionFileTest, ReadsVersionAndAddress) {
    const std::optional<TPublishedVersion> published
        = ParseVersionFile(GetParam().File, QStringLiteral("Wintermoot"));
    if (GetParam().Version < 0) {
        EXPECT_FALSE(published);
        return;
    }
    ASSERT_TRUE(published);
    EXPECT_EQ(published->Version, GetParam().Version);
    EXPECT_EQ(published->Url, GetParam().Url);
}

INSTANTIATE_TEST_SUITE_P(Files, ParseVersionFileTest,
    testing::Values(
        TParseCase { "CrLfLines", "WintermootVersion=325\r\nWintermootURL=http://h/d\r\n", 325,
            "http://h/d" },
        TParseCase { "LastLineUnended", "WintermootURL=https://h/d\r\nWintermootVersion=400", 400,
            "https://h/d" },
        TParseCase { "LineFeedsOnly", "WintermootVersion=325\nWintermootURL=http://h/d\n", 325,
            "http://h/d" },
        TParseCase { "OtherProductsIgnored",
            "OtherVersion=900\r\nWintermootVersion=324\r\nWintermootURL=http://h/\r\n", 324,
            "http://h/" },
        TParseCase { "NoAddress", "WintermootVersion=325\r\n", 325, "" },
        TParseCase { "LocalFileAddressDropped",
            "WintermootVersion=325\r\nWintermootURL=file:///etc/passwd\r\n", 325, "" },
        TParseCase { "ScriptAddressDropped",
            "WintermootVersion=325\r\nWintermootURL=javascript:alert(1)\r\n", 325, "" },
        TParseCase { "Empty", "", -1, "" },
        TParseCase { "NoVersion", "WintermootURL=http://h/\r\n", -1, "" },
        TParseCase { "DottedVersion", "WintermootVersion=3.2.5\r\n", -1, "" },
        TParseCase { "EmptyVersion", "WintermootVersion=\r\nWintermootURL=http://h/\r\n", -1, "" },
        TParseCase { "VersionTooLarge", "WintermootVersion=99999999999\r\n", -1, "" },
        TParseCase { "HtmlPage", "<html><body>Not found</body></html>", -1, "" }),
    [](const testing::TestParamInfo<TParseCase>& info) { return info.param.Name; });

// Runs the main thread's events until the condition holds or the time is up.
template <typename Condition> bool WaitFor(Condition condition, int milliseconds = 10000) {
    QDeadlineTimer deadline(milliseconds);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(1);
    }
    return true;
}

// The same address on every fake server, as on the real one.
const QString VersionFile = QStringLiteral("/versions.inf");

// A fake server that never answers.
struct TSilentServer : TFakeHttpServer {
    TSilentServer() { SetSilent(true); }
};

class UpdaterTest : public testing::Test {
protected:
    void SetUp() override {
        Updater = std::make_unique<TUpdater>();
        Updater->OnChecked = [this](bool manual) {
            Checked.push_back(manual);
            OnMainThread = OnMainThread && QThread::currentThread() == qApp->thread();
        };
        Updater->OnRetry = [this](std::chrono::milliseconds pause) { Pauses.push_back(pause); };
    }
    void TearDown() override {
        Updater.reset();
        for (auto& server : Servers) {
            server->kill();
            server->waitForFinished(5000);
        }
    }

    // Starts wintermoot-server on a free port of 127.0.0.1 and answers its version file address.
    QString StartServer(const QString& version, const QString& url) {
        auto& server = Servers.emplace_back(std::make_unique<QProcess>());
        server->setProgram(WINTERMOOT_SERVER);
        server->setArguments(
            { "--listen", "127.0.0.1", "--port", "0", "--version-text", version, "--url", url });
        server->start();
        if (!server->waitForStarted(5000))
            return {};
        QByteArray out;
        while (!out.contains('\n') && server->waitForReadyRead(5000))
            out += server->readAllStandardOutput();
        const QByteArray line = out.left(out.indexOf('\n')).trimmed();
        if (!line.startsWith("listening on "))
            return {};
        return "http://127.0.0.1:" + QString::fromLatin1(line.mid(13)) + "/versions.inf";
    }

    std::unique_ptr<TUpdater> Updater;
    std::vector<std::unique_ptr<QProcess>> Servers;
    std::vector<bool> Checked;
    std::vector<std::chrono::milliseconds> Pauses;
    bool OnMainThread = true;
};

TEST_F(UpdaterTest, ReadsThePublishedVersionAndHandsItToTheMainThread) {
    const QString newer = StartServer("325", "https://example.org/get/325");
    const QString same = StartServer("324", "https://example.org/get/324");
    ASSERT_FALSE(newer.isEmpty());
    ASSERT_FALSE(same.isEmpty());

    Updater->Check("Wintermoot", newer, true);
    ASSERT_TRUE(WaitFor([&] { return Checked.size() == 1; }));
    EXPECT_EQ(Checked.back(), true);
    EXPECT_EQ(Updater->Version, 325);
    EXPECT_EQ(Updater->Url, "https://example.org/get/325");

    Updater->Check("Wintermoot", same, false);
    ASSERT_TRUE(WaitFor([&] { return Checked.size() == 2; }));
    EXPECT_EQ(Checked.back(), false);
    EXPECT_EQ(Updater->Version, 324);
    EXPECT_EQ(Updater->Url, "https://example.org/get/324");
    EXPECT_TRUE(OnMainThread);
    EXPECT_TRUE(Pauses.empty());
    EXPECT_EQ(Updater->Attempts(), 2);
}

TEST_F(UpdaterTest, AClosedPortIsRetriedWithAGrowingPause) {
    Updater->RetryFirst = 5ms;
    Updater->RetryMax = 40ms;
    Updater->Check("Wintermoot", "http://127.0.0.1:" + QString::number(ClosedLocalPort()), true);
    ASSERT_TRUE(WaitFor([&] { return Pauses.size() >= 6; }));
    EXPECT_EQ(std::vector(Pauses.begin(), Pauses.begin() + 6),
        (std::vector<std::chrono::milliseconds> { 5ms, 10ms, 20ms, 40ms, 40ms, 40ms }));
    EXPECT_GE(Updater->Attempts(), 6);
    EXPECT_TRUE(Checked.empty());
}

TEST_F(UpdaterTest, AFailedCheckWaitsInsteadOfTryingAgainAtOnce) {
    Updater->Check("Wintermoot", "http://127.0.0.1:" + QString::number(ClosedLocalPort()), true);
    ASSERT_TRUE(WaitFor([&] { return !Pauses.empty(); }));
    EXPECT_EQ(Pauses.front(), 60000ms);
    WaitFor([] { return false; }, 300);
    EXPECT_EQ(Updater->Attempts(), 1);
}

TEST_F(UpdaterTest, UnusableAnswersFailTheCheck) {
    const QString server = StartServer("325", "https://example.org/get");
    ASSERT_FALSE(server.isEmpty());
    TFakeHttpServer dotted("WintermootVersion=3.2.5\r\nWintermootURL=http://h/\r\n");
    TFakeHttpServer empty("");
    TFakeHttpServer oversized("WintermootVersion=325\r\n" + QByteArray(100 * 1024, 'x'));
    TSilentServer silent;
    Updater->RetryFirst = Updater->RetryMax = 1h;
    Updater->RequestTimeout = 300ms;
    const std::vector<std::pair<QString, QString>> checks {
        { "Nothing", server },
        { "Wintermoot", server.chopped(QStringLiteral("versions.inf").size()) + "missing" },
        { "Wintermoot", dotted.Url(VersionFile) },
        { "Wintermoot", empty.Url(VersionFile) },
        { "Wintermoot", oversized.Url(VersionFile) },
        { "Wintermoot", silent.Url(VersionFile) },
        { "Wintermoot", "file:///etc/passwd" },
        { "Wintermoot", "" },
    };
    for (const auto& [product, address] : checks) {
        Pauses.clear();
        Updater->Check(product, address, true);
        EXPECT_TRUE(WaitFor([&] { return !Pauses.empty(); })) << address.toStdString();
    }
    EXPECT_TRUE(Checked.empty());
    EXPECT_EQ(Updater->Attempts(), static_cast<int>(checks.size()));
}

TEST_F(UpdaterTest, ANewCheckReplacesAPendingOne) {
    const QString newer = StartServer("325", "https://example.org/get/325");
    const QString same = StartServer("324", "https://example.org/get/324");
    ASSERT_FALSE(newer.isEmpty());
    ASSERT_FALSE(same.isEmpty());
    Updater->RetryFirst = Updater->RetryMax = 1h;

    Updater->Check("Wintermoot", "http://127.0.0.1:" + QString::number(ClosedLocalPort()), false);
    ASSERT_TRUE(WaitFor([&] { return Pauses.size() == 1; }));
    Updater->Check("Wintermoot", newer, true);
    ASSERT_TRUE(WaitFor([&] { return Checked.size() == 1; })) << "the hour's pause was dropped";
    EXPECT_EQ(Updater->Version, 325);

    // Of two checks in a row, only the second one reports.
    Updater->Check("Wintermoot", newer, true);
    Updater->Check("Wintermoot", same, false);
    ASSERT_TRUE(WaitFor([&] { return Checked.size() == 2; }));
    WaitFor([] { return false; }, 300);
    EXPECT_EQ(Checked, (std::vector<bool> { true, false }));
    EXPECT_EQ(Updater->Version, 324);
    EXPECT_EQ(Pauses.size(), 1u);
}

TEST_F(UpdaterTest, DestroyingDoesNotWaitForAPendingRetry) {
    Updater->Check("Wintermoot", "http://127.0.0.1:" + QString::number(ClosedLocalPort()), true);
    ASSERT_TRUE(WaitFor([&] { return !Pauses.empty(); }));
    QElapsedTimer clock;
    clock.start();
    Updater.reset();
    EXPECT_LT(clock.elapsed(), 2000);
}

TEST_F(UpdaterTest, DestroyingAbortsAHangingRequest) {
    TSilentServer silent;
    Updater->Check("Wintermoot", silent.Url(VersionFile), true);
    ASSERT_TRUE(WaitFor([&] { return Updater->Attempts() == 1; }));
    WaitFor([] { return false; }, 200);
    QElapsedTimer clock;
    clock.start();
    Updater.reset();
    EXPECT_LT(clock.elapsed(), 2000) << "a request may hang for 10 s";
    EXPECT_TRUE(Pauses.empty());
}

TEST_F(UpdaterTest, OnlyAManualCheckReportsAFailureAndOnlyItsFirst) {
    int failures = 0;
    Updater->OnFailed = [&] { ++failures; };
    Updater->RetryFirst = Updater->RetryMax = 5ms;
    const QString closed = "http://127.0.0.1:" + QString::number(ClosedLocalPort());
    Updater->Check("Wintermoot", closed, false);
    ASSERT_TRUE(WaitFor([&] { return Pauses.size() >= 3; }));
    EXPECT_EQ(failures, 0);

    Updater->Check("Wintermoot", closed, true);
    ASSERT_TRUE(WaitFor([&] { return failures == 1; }));
    const size_t seen = Pauses.size();
    ASSERT_TRUE(WaitFor([&] { return Pauses.size() >= seen + 3; }));
    EXPECT_EQ(failures, 1) << "the retries after the report are quiet";
    EXPECT_TRUE(Checked.empty());
}

TEST_F(UpdaterTest, AManualCheckOfAServerThatNeverAnswersIsReportedAtItsTimeLimit) {
    TSilentServer silent;
    int failures = 0;
    Updater->OnFailed = [&] { ++failures; };
    Updater->RetryFirst = Updater->RetryMax = 1h;
    Updater->RequestTimeout = 300ms;
    QElapsedTimer clock;
    clock.start();
    Updater->Check("Wintermoot", silent.Url(VersionFile), true);
    ASSERT_TRUE(WaitFor([&] { return failures == 1; }));
    EXPECT_GE(clock.elapsed(), 250);
}

const std::string M1 = "You already have the latest version of Wintermoot, no update is necessary.";
const std::string Q1 = "A new version of Wintermoot is available! Do you want to download it now?";

struct TCompletion {
    std::vector<std::string> Shown;
    std::vector<QUrl> Opened;
};

TCompletion Complete(int version, const QString& url, bool manual, int answer) {
    TCompletion result;
    SetMessagePresenter(std::make_unique<TRecordingPresenter>(result.Shown, answer));
    TUpdater updater;
    updater.Version = version;
    updater.Url = url;
    UpdateChecked(updater, manual, [&](const QUrl& address) { result.Opened.push_back(address); });
    SetMessagePresenter(nullptr);
    return result;
}

TEST(UpdateCheckedTest, TellsOnlyWhenAskedThatNothingIsNewer) {
    TCompletion done = Complete(324, "https://example.org/get", true, idYes);
    EXPECT_EQ(done.Shown, std::vector<std::string> { M1 });
    EXPECT_TRUE(done.Opened.empty());
    done = Complete(300, "https://example.org/get", false, idYes);
    EXPECT_TRUE(done.Shown.empty());
    EXPECT_TRUE(done.Opened.empty());
}

TEST(UpdateCheckedTest, OffersANewerVersionAndOpensItOnYes) {
    for (const bool manual : { true, false }) {
        TCompletion done = Complete(325, "https://example.org/get", manual, idNo);
        EXPECT_EQ(done.Shown, std::vector<std::string> { Q1 });
        EXPECT_TRUE(done.Opened.empty());
        done = Complete(325, "https://example.org/get", manual, idYes);
        EXPECT_EQ(done.Shown, std::vector<std::string> { Q1 });
        EXPECT_EQ(done.Opened, std::vector<QUrl> { QUrl("https://example.org/get") });
    }
}

// Without a download address nothing can be opened: the user who asked is told which version
// is out, with no question; the check at start-up stays quiet.
TEST(UpdateCheckedTest, ANewerVersionWithoutAnAddressIsToldOnlyWhenAsked) {
    const TCompletion asked = Complete(1025, "", true, idYes);
    ASSERT_EQ(asked.Shown.size(), 1u);
    EXPECT_NE(asked.Shown[0].find("Version 10.2.5 of Wintermoot is available"), std::string::npos)
        << asked.Shown[0];
    EXPECT_NE(asked.Shown[0].find("no address to download it from"), std::string::npos);
    EXPECT_TRUE(asked.Opened.empty());
    const TCompletion quiet = Complete(325, "", false, idYes);
    EXPECT_TRUE(quiet.Shown.empty());
    EXPECT_TRUE(quiet.Opened.empty());
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
