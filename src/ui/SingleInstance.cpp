#include "SingleInstance.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

#include <unistd.h>

namespace {

// A request is one line: "open <path>" or "raise"; the answer is "ok". A path is at most a few
// kilobytes, so a longer line is not a request of this program.
constexpr qint64 MaxRequestSize = 64 * 1024;
// A connection that sends no whole request in this time is dropped.
constexpr int RequestTimeoutMs = 5000;
const QByteArray OpenCommand = QByteArrayLiteral("open ");
const QByteArray RaiseCommand = QByteArrayLiteral("raise");
const QByteArray Answer = QByteArrayLiteral("ok");

} // namespace

TSingleInstance::TSingleInstance(const QString& folder, QObject* parent)
    : QObject(parent)
    , m_Lock(std::make_unique<QLockFile>(QDir(folder).filePath(QStringLiteral("Wintermoot.lock"))))
    , m_ServerName(ServerName(folder)) {
    // A running copy's lock never goes stale by age; a lock left by a copy that crashed names a
    // process that is gone, and Qt takes it over.
    m_Lock->setStaleLockTime(0);
    if (m_Lock->tryLock(0))
        return;
    m_First = m_Lock->error() != QLockFile::LockFailedError;
}

TSingleInstance::~TSingleInstance() = default;

QString TSingleInstance::ServerName(const QString& folder) {
    QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (runtime.isEmpty())
        runtime = QDir::tempPath();
    // Named after the user and the settings folder, so that copies with their own
    // WINTERMOOT_HOME each have their own socket; short, as socket paths are limited to about
    // 100 bytes.
    const QByteArray key = QDir::cleanPath(QFileInfo(folder).absoluteFilePath()).toUtf8();
    const QString hash = QString::fromLatin1(
        QCryptographicHash::hash(key, QCryptographicHash::Sha256).toHex().left(16));
    return QDir(runtime).filePath(
        QStringLiteral("wintermoot-%1-%2.socket").arg(::getuid()).arg(hash));
}

bool TSingleInstance::Listen(QString* error) {
    if (m_Server)
        return true;
    auto* server = new QLocalServer(this);
    server->setSocketOptions(QLocalServer::UserAccessOption);
    // This copy holds the lock, so a socket file that is already there was left by a copy that
    // ended without removing it.
    QLocalServer::removeServer(m_ServerName);
    if (!server->listen(m_ServerName)) {
        if (error)
            *error = server->errorString();
        delete server;
        return false;
    }
    connect(server, &QLocalServer::newConnection, this, [this, server] {
        while (QLocalSocket* socket = server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(
                socket, &QLocalSocket::readyRead, this, [this, socket] { ReadRequest(socket); });
            QTimer::singleShot(RequestTimeoutMs, socket, [socket] { socket->abort(); });
        }
    });
    m_Server = server;
    return true;
}

void TSingleInstance::ReadRequest(QLocalSocket* socket) {
    if (!socket->canReadLine()) {
        if (socket->bytesAvailable() > MaxRequestSize)
            socket->abort();
        return;
    }
    const QByteArray line = socket->readLine(MaxRequestSize).trimmed();
    QString file;
    if (line.startsWith(OpenCommand))
        file = QString::fromUtf8(line.mid(OpenCommand.size()));
    else if (line != RaiseCommand) {
        socket->abort();
        return;
    }
    // Only absolute paths: a relative one would be read against this copy's working folder.
    if (!file.isEmpty() && !QDir::isAbsolutePath(file)) {
        socket->abort();
        return;
    }
    socket->write(Answer + '\n');
    socket->flush();
    socket->disconnectFromServer();
    // Emitted once this call has returned: opening the file may ask a question, whose loop must
    // not run inside the socket's signal.
    QTimer::singleShot(0, this, [this, file] { emit openRequested(file); });
}

bool TSingleInstance::HandOver(const QString& file, int timeoutMs, QString* error) const {
    const auto fail = [error](const QString& reason) {
        if (error)
            *error = reason;
        return false;
    };
    if (file.contains(QLatin1Char('\n')) || file.contains(QLatin1Char('\r')))
        return fail(QStringLiteral("a file name with a line break cannot be handed over"));
    const QDeadlineTimer deadline(timeoutMs);
    QLocalSocket socket;
    // The running copy may be starting and not listen yet: try again until the time is up.
    for (;;) {
        socket.connectToServer(m_ServerName);
        if (socket.waitForConnected(int(deadline.remainingTime())))
            break;
        if (deadline.hasExpired())
            return fail(QStringLiteral("cannot reach the running copy at %1: %2")
                            .arg(m_ServerName, socket.errorString()));
        socket.abort();
        QThread::msleep(quint64(qMin<qint64>(100, deadline.remainingTime())));
    }
    const QByteArray request = file.isEmpty() ? RaiseCommand : OpenCommand + file.toUtf8();
    socket.write(request + '\n');
    while (!socket.canReadLine()) {
        if (deadline.hasExpired() || !socket.waitForReadyRead(int(deadline.remainingTime())))
            return fail(
                QStringLiteral("the running copy did not answer within %1 ms").arg(timeoutMs));
    }
    if (socket.readLine().trimmed() != Answer)
        return fail(QStringLiteral("the running copy refused the request"));
    return true;
}
