#pragma once

// One running copy per settings folder. The first copy takes a lock file in the folder and
// listens on a local socket in the user's runtime folder, named after the settings folder; a
// later copy finds the lock held, hands its file (or only a request to come to the front) to the
// running copy over the socket, and ends before it reads or writes any other file.

#include <QObject>
#include <QString>

#include <memory>

class QLocalServer;
class QLocalSocket;
class QLockFile;

class TSingleInstance : public QObject {
    Q_OBJECT

public:
    // How long a later copy waits in all for the running copy's answer.
    static constexpr int HandOverTimeoutMs = 5000;

    // Tries to take the lock in the given folder.
    explicit TSingleInstance(const QString& folder, QObject* parent = nullptr);
    ~TSingleInstance() override;
    // False when another running copy holds the lock. A lock that cannot be created at all
    // (an unwritable folder) lets the program run.
    bool IsFirst() const { return m_First; }

    // The first copy: listens for the requests of later copies. A socket file left by a copy that
    // crashed is replaced. False, with the reason, when it cannot listen; the program still runs.
    bool Listen(QString* error = nullptr);
    // A later copy: asks the running copy to open the file (an absolute path), or to come to the
    // front when the path is empty, and waits at most timeoutMs in all for its answer. False, with
    // the reason, when the running copy cannot be reached or does not answer in time.
    bool HandOver(const QString& file, int timeoutMs, QString* error) const;

    // The local socket of the copies that share this settings folder.
    static QString ServerName(const QString& folder);

signals:
    // A later copy asked to open this file; an empty path asks to come to the front only.
    void openRequested(const QString& file);

private:
    void ReadRequest(QLocalSocket* socket);

    std::unique_ptr<QLockFile> m_Lock;
    QString m_ServerName;
    QLocalServer* m_Server = nullptr;
    bool m_First = true;
};
