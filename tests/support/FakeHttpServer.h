#pragma once

// A small HTTP server on 127.0.0.1 for the tests of the game list and the version file: it
// answers each request with the status and body set for its path (the part before any "?"), or
// with the default answer, and keeps every request line. A silent server takes connections and
// never answers. It runs on the thread that made it, through that thread's event loop.

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QTcpServer>

#include <map>

class QTcpSocket;

class TFakeHttpServer {
public:
    // Listens on a free port; until told otherwise every path is answered 200 with an empty body.
    TFakeHttpServer();
    // A server whose every path is answered 200 with this body.
    explicit TFakeHttpServer(const QByteArray& body);

    // The answer to requests of this path ("/wintermoot.php"); it replaces any earlier one.
    void Answer(const QString& path, const QByteArray& body, int status = 200);
    // The answer to the paths that have none of their own.
    void AnswerOthers(const QByteArray& body, int status = 200);
    // Takes connections but never answers them.
    void SetSilent(bool silent) { m_Silent = silent; }

    // "http://127.0.0.1:<port>" followed by the path.
    QString Url(const QString& path = {}) const;
    quint16 Port() const { return m_Server.serverPort(); }
    // How many of the request lines hold the fragment.
    int Count(const char* fragment) const;

    // The first line of every request, in order ("GET /wintermoot.php?action=list HTTP/1.1").
    QStringList Requests;

private:
    struct TAnswer {
        int Status = 200;
        QByteArray Body;
    };
    void Serve(QTcpSocket* socket);

    // What each connection has sent so far; the sockets live as long as the server.
    std::map<QTcpSocket*, QByteArray> m_Pending;
    QMap<QString, TAnswer> m_Answers;
    TAnswer m_Default;
    bool m_Silent = false;
    QTcpServer m_Server;
};

// A port of 127.0.0.1 that nothing listens on: taken from the system, then given back.
quint16 ClosedLocalPort();
