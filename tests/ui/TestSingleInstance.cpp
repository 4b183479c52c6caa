// The hand-over between copies of the program: a later copy passes its file (or a request to come
// to the front) to the running copy over the local socket, and gives up in time, with a reason,
// when the running copy is gone or does not answer.

#include "FormMain.h"
#include "MessageBoxPresenter.h"
#include "SingleInstance.h"
#include "WindowTestSupport.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <cstring>
#include <future>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// Hands over from another thread, as a second process would, while this thread runs the loop.
std::future<std::pair<bool, QString>> HandOverAsync(
    const QString& folder, const QString& file, int timeoutMs) {
    return std::async(std::launch::async, [folder, file, timeoutMs] {
        TSingleInstance later(folder);
        QString error;
        const bool handed = !later.IsFirst() && later.HandOver(file, timeoutMs, &error);
        return std::make_pair(handed, error);
    });
}

TEST(SingleInstanceHandOverTest, TheRunningCopyGetsTheFileOrTheRequestToComeForward) {
    QTemporaryDir folder;
    TSingleInstance first(folder.path());
    ASSERT_TRUE(first.IsFirst());
    ASSERT_TRUE(first.Listen());
    QStringList requests;
    QObject::connect(&first, &TSingleInstance::openRequested,
        [&requests](const QString& file) { requests << file; });

    const QString path = QStringLiteral("/home/someone/Parties d'été/game 1.wtg");
    auto handed = HandOverAsync(folder.path(), path, 20000);
    ASSERT_TRUE(WaitFor([&] { return requests.size() == 1; }));
    const auto [ok, error] = handed.get();
    EXPECT_TRUE(ok) << error.toStdString();
    EXPECT_EQ(requests.at(0), path);

    auto raised = HandOverAsync(folder.path(), QString(), 20000);
    ASSERT_TRUE(WaitFor([&] { return requests.size() == 2; }));
    EXPECT_TRUE(raised.get().first);
    EXPECT_TRUE(requests.at(1).isEmpty());
}

// A flood of requests for files that cannot be opened (a script gone wrong) is one error box,
// not a box per request queued behind it: the requests that come while the box is up join it.
TEST(SingleInstanceHandOverTest, AFloodOfFilesThatCannotBeOpenedIsOneBox) {
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    qputenv("WINTERMOOT_HOME", home.path().toLocal8Bit());
    QTemporaryDir folder;
    TSingleInstance first(folder.path());
    ASSERT_TRUE(first.Listen());
    TfrmMain main;
    main.show();
    // Real boxes, each counted as it opens.
    class TCountingPresenter : public TMessageBoxPresenter {
    public:
        TCountingPresenter(QWidget* parent, int& count)
            : TMessageBoxPresenter(parent)
            , m_Count(count) { }
        int Present(TMessageKind kind, const std::string& caption, const std::string& text,
            TMessageButtons buttons) override {
            ++m_Count;
            return TMessageBoxPresenter::Present(kind, caption, text, buttons);
        }

    private:
        int& m_Count;
    };
    int boxes = 0;
    SetMessagePresenter(std::make_unique<TCountingPresenter>(&main, boxes));
    // Counted before the window takes the request (the first one waits in its box).
    int received = 0;
    QObject::connect(&first, &TSingleInstance::openRequested, [&received] { ++received; });
    QObject::connect(&first, &TSingleInstance::openRequested, &main, &TfrmMain::OpenHandedFile);

    constexpr int Requests = 40;
    std::atomic<bool> sent = false;
    auto clients = std::async(std::launch::async, [&] {
        for (int i = 0; i < Requests; ++i) {
            TSingleInstance later(folder.path());
            QString error;
            later.HandOver(home.filePath(QStringLiteral("missing-%1.wtg").arg(i)), 20000, &error);
        }
        sent = true;
    });
    // The user closes a box once every request has come.
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box && sent && received == Requests)
            box->button(QMessageBox::Ok)->click();
    });
    closer.start(20);
    EXPECT_TRUE(WaitFor(
        [&] { return sent && received == Requests && !QApplication::activeModalWidget(); }));
    // Requests put off until the box closed would each open a box of their own by now.
    WaitFor([&] { return boxes > 1; }, 2000);
    closer.stop();
    clients.get();
    SetMessagePresenter(nullptr);
    EXPECT_EQ(boxes, 1);
}

TEST(SingleInstanceHandOverTest, CopiesOfOtherFoldersHaveTheirOwnSocket) {
    QTemporaryDir one;
    QTemporaryDir two;
    EXPECT_NE(TSingleInstance::ServerName(one.path()), TSingleInstance::ServerName(two.path()));
    EXPECT_EQ(TSingleInstance::ServerName(one.path()),
        TSingleInstance::ServerName(one.path() + QStringLiteral("/.")));
}

// A copy that crashed left its socket file behind and the lock is held by a copy that does not
// listen: the later copy gives up with a reason instead of waiting for ever.
TEST(SingleInstanceHandOverTest, AStaleSocketIsReportedInTime) {
    QTemporaryDir folder;
    TSingleInstance first(folder.path());
    ASSERT_TRUE(first.IsFirst());
    const QByteArray name = QFile::encodeName(TSingleInstance::ServerName(folder.path()));
    QFile::remove(QString::fromLocal8Bit(name));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    ASSERT_LT(size_t(name.size()), sizeof(address.sun_path));
    std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ::close(fd);
    ASSERT_TRUE(QFile::exists(QString::fromLocal8Bit(name)));

    TSingleInstance later(folder.path());
    ASSERT_FALSE(later.IsFirst());
    QString error;
    EXPECT_FALSE(later.HandOver(QStringLiteral("/tmp/game.wtg"), 300, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("cannot reach"))) << error.toStdString();

    // The copy that holds the lock replaces the stale file when it listens.
    ASSERT_TRUE(first.Listen());
    QFile::remove(QString::fromLocal8Bit(name));
}

// The running copy accepts the connection but never answers (it hangs): the later copy gives up
// after its time.
TEST(SingleInstanceHandOverTest, ACopyThatDoesNotAnswerIsReportedInTime) {
    QTemporaryDir folder;
    TSingleInstance first(folder.path());
    ASSERT_TRUE(first.IsFirst());
    QLocalServer hung;
    ASSERT_TRUE(hung.listen(TSingleInstance::ServerName(folder.path())));
    // This thread runs no loop while the later copy waits, as a hung program would.
    auto handed = HandOverAsync(folder.path(), QStringLiteral("/tmp/game.wtg"), 300);
    const auto [ok, error] = handed.get();
    EXPECT_FALSE(ok);
    EXPECT_TRUE(error.contains(QStringLiteral("did not answer"))) << error.toStdString();
}

TEST(SingleInstanceHandOverTest, ARequestThatIsNotOursIsDropped) {
    QTemporaryDir folder;
    TSingleInstance first(folder.path());
    ASSERT_TRUE(first.Listen());
    int requests = 0;
    QObject::connect(&first, &TSingleInstance::openRequested, [&requests] { ++requests; });
    for (const QByteArray& request : { QByteArrayLiteral("open relative/game.wtg\n"),
             QByteArrayLiteral("format c:\n"), QByteArray(70000, 'x') }) {
        QLocalSocket socket;
        socket.connectToServer(TSingleInstance::ServerName(folder.path()));
        ASSERT_TRUE(socket.waitForConnected(5000));
        socket.write(request);
        socket.flush();
        EXPECT_TRUE(WaitFor([&] { return socket.state() == QLocalSocket::UnconnectedState; }))
            << request.left(20).toStdString();
        EXPECT_FALSE(socket.canReadLine());
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(requests, 0);
}

// The program itself: a second start while the first is stopped (SIGSTOP) ends in time with a
// message and a failure status.
TEST(SingleInstanceHandOverTest, ASecondStartDoesNotHangOnAStoppedFirstCopy) {
    QTemporaryDir home;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("WINTERMOOT_HOME"), home.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    QProcess first;
    first.setProcessEnvironment(env);
    first.start(QStringLiteral(WINTERMOOT_PROGRAM), {});
    ASSERT_TRUE(first.waitForStarted());
    const QString socket = TSingleInstance::ServerName(home.path());
    QElapsedTimer timer;
    timer.start();
    while (!QFile::exists(socket) && timer.elapsed() < 20000)
        QThread::msleep(20);
    ASSERT_TRUE(QFile::exists(socket));
    ::kill(pid_t(first.processId()), SIGSTOP);

    QProcess second;
    second.setProcessEnvironment(env);
    second.start(QStringLiteral(WINTERMOOT_PROGRAM), { QStringLiteral("game.pgn") });
    const bool finished = second.waitForFinished(60000);
    ::kill(pid_t(first.processId()), SIGCONT);
    first.kill();
    first.waitForFinished();
    // A killed copy leaves its socket in the shared runtime folder.
    QLocalServer::removeServer(TSingleInstance::ServerName(home.path()));
    ASSERT_TRUE(finished);
    EXPECT_EQ(second.exitCode(), 1);
    EXPECT_TRUE(second.readAllStandardError().contains("did not answer"));
}

} // namespace
