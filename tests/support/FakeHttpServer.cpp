#include "FakeHttpServer.h"

#include <QHostAddress>
#include <QTcpSocket>

namespace {

QByteArray Reason(int status) {
    switch (status) {
    case 200:
        return "OK";
    case 404:
        return "Not Found";
    case 500:
        return "Internal Server Error";
    case 503:
        return "Service Unavailable";
    default:
        return "Status";
    }
}

} // namespace

TFakeHttpServer::TFakeHttpServer() {
    m_Server.listen(QHostAddress::LocalHost, 0);
    QObject::connect(&m_Server, &QTcpServer::newConnection, [this] {
        while (QTcpSocket* socket = m_Server.nextPendingConnection())
            QObject::connect(
                socket, &QTcpSocket::readyRead, socket, [this, socket] { Serve(socket); });
    });
}

TFakeHttpServer::TFakeHttpServer(const QByteArray& body)
    : TFakeHttpServer() {
    AnswerOthers(body);
}

void TFakeHttpServer::Answer(const QString& path, const QByteArray& body, int status) {
    m_Answers[path] = { status, body };
}

void TFakeHttpServer::AnswerOthers(const QByteArray& body, int status) {
    m_Default = { status, body };
}

QString TFakeHttpServer::Url(const QString& path) const {
    return QStringLiteral("http://127.0.0.1:%1").arg(m_Server.serverPort()) + path;
}

int TFakeHttpServer::Count(const char* fragment) const {
    return int(Requests.filter(QLatin1String(fragment)).size());
}

// Waits for the whole head of the request, keeps its first line and answers it once.
void TFakeHttpServer::Serve(QTcpSocket* socket) {
    QByteArray& request = m_Pending[socket];
    request += socket->readAll();
    const qsizetype headEnd = request.indexOf("\r\n\r\n");
    if (headEnd < 0 || m_Silent)
        return;
    const QString line = QString::fromLatin1(request.left(request.indexOf("\r\n")));
    request.clear();
    Requests << line;
    QString path = line.section(QLatin1Char(' '), 1, 1);
    path = path.left(path.indexOf(QLatin1Char('?')));
    const TAnswer answer = m_Answers.value(path, m_Default);
    socket->write("HTTP/1.1 " + QByteArray::number(answer.Status) + ' ' + Reason(answer.Status)
        + "\r\nContent-Length: " + QByteArray::number(answer.Body.size())
        + "\r\nConnection: close\r\n\r\n" + answer.Body);
    socket->disconnectFromHost();
}

quint16 ClosedLocalPort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}
