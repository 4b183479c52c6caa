#pragma once

// The game-list client: the program's HTTP requests to the project's web server, which lists
// hosted games and tells a computer its public address. Every request is a GET of the server's
// base address and a fixed path, made with the user agent "Wintermoot", the system's proxy
// settings and no cache. The caller waits in a local event loop, so the window keeps repainting,
// for at most 10 s. Answers are untrusted: one larger than 1 MB, a connection that fails or
// times out, and an HTTP error status all count as failure; text that is not UTF-8 is read as
// Windows-1252. Main thread only.

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class QByteArray;
class QNetworkAccessManager;

class TGameList {
public:
    // The base address is the GameServer setting, e.g. "http://localhost:8570".
    explicit TGameList(QString baseUrl = {});
    ~TGameList();
    TGameList(const TGameList&) = delete;
    TGameList& operator=(const TGameList&) = delete;

    void SetBaseUrl(const QString& url);
    QString BaseUrl() const { return m_BaseUrl; }
    // How long a request may take before it is given up, in milliseconds (10 s by default).
    void SetTimeout(int milliseconds) { m_TimeoutMs = milliseconds; }

    // The hosted games, one "name|address" line each (CR stripped, empty lines skipped, the name
    // and the address each cleaned as the list server cleans names); none when the list cannot
    // be fetched.
    std::optional<QStringList> HostedGames();
    // Publish / remove this computer's hosted game; on failure show E3 and answer false.
    bool Publish(const QString& name);
    bool Remove();
    // Publishes without showing anything; the caller tells the user of a failure its own way.
    bool TryPublish(const QString& name);
    // The public address from the server, "0.0.0.0" when it cannot be fetched, empty when the
    // answer lacks the key.
    QString PublicAddress();
    // The first non-loopback IPv4 address of this computer, "0.0.0.0" if none.
    static QString LocalAddress();
    // The value after key and "=" up to the delimiter. Empty when the key is missing; the rest of
    // the text when no delimiter follows or it follows at once.
    static QString KeyValue(
        const QString& text, const QString& key, const QString& delimiter = QStringLiteral("\r\n"));
    // The readers of the server's answers, apart from the requests: the games of a list answer
    // and the address of a public address answer.
    static QStringList ParseHostedGames(const QByteArray& answer);
    static QString ParsePublicAddress(const QByteArray& answer);

    // Busy hook: called with true before a request and false after (the window shows the busy
    // cursor).
    std::function<void(bool)> OnBusy;

private:
    // The answer's body when the server answered in time, in full and with a status below 400;
    // none otherwise.
    std::optional<QByteArray> Get(const QString& pathAndQuery);
    QNetworkAccessManager& Manager();

    QString m_BaseUrl;
    int m_TimeoutMs = 10000;
    std::unique_ptr<QNetworkAccessManager> m_Manager;
};
