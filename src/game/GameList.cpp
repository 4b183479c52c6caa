#include "GameList.h"

#include "GameName.h"
#include "StoredText.h"
#include "SystemProxy.h"
#include "UnitMessages.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkInterface>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

#include <string_view>
#include <utility>

namespace {

// Answers larger than this are refused rather than held in memory.
constexpr qsizetype AnswerMax = 1024 * 1024;
constexpr qint64 ReadBufferSize = 64 * 1024;

QString DecodeAnswer(const QByteArray& bytes) {
    return DecodeStoredText(bytes);
}

// Text of a list line as the list server itself cleans a name: the server (or anyone between it
// and this program) is not trusted, and a character that reorders or breaks the line could show
// a false address beside a name.
QString CleanListed(const QString& text) {
    return QString::fromStdString(CleanGameName(text.toStdString()));
}

} // namespace

TGameList::TGameList(QString baseUrl)
    : m_BaseUrl(std::move(baseUrl)) { }

TGameList::~TGameList() = default;

void TGameList::SetBaseUrl(const QString& url) {
    m_BaseUrl = url;
}

QNetworkAccessManager& TGameList::Manager() {
    if (!m_Manager) {
        m_Manager = std::make_unique<QNetworkAccessManager>();
        m_Manager->setProxyFactory(new TSystemProxyFactory);
    }
    return *m_Manager;
}

std::optional<QByteArray> TGameList::Get(const QString& pathAndQuery) {
    QString base = m_BaseUrl.trimmed();
    while (base.endsWith(QLatin1Char('/')))
        base.chop(1);
    const QUrl url(base + pathAndQuery, QUrl::StrictMode);
    const QString scheme = url.scheme();
    if (!QCoreApplication::instance() || !url.isValid() || url.host().isEmpty()
        || (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        return std::nullopt;

    if (OnBusy)
        OnBusy(true);
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("Wintermoot"));
    request.setAttribute(
        QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setTransferTimeout(m_TimeoutMs);

    std::unique_ptr<QNetworkReply> reply(Manager().get(request));
    reply->setReadBufferSize(ReadBufferSize);
    QByteArray body;
    bool refused = false;
    const auto take = [&] {
        if (refused)
            return;
        body += reply->read(AnswerMax + 1 - body.size());
        if (body.size() > AnswerMax) {
            refused = true;
            reply->abort();
        }
    };
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, [&] {
        refused = true;
        reply->abort();
    });
    QObject::connect(reply.get(), &QNetworkReply::readyRead, &loop, take);
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    deadline.start(m_TimeoutMs);
    if (!reply->isFinished())
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    deadline.stop();
    while (!refused && reply->bytesAvailable() > 0)
        take();

    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const bool answered = !refused && reply->error() == QNetworkReply::NoError && status.isValid()
        && status.toInt() < 400;
    reply.reset();
    if (OnBusy)
        OnBusy(false);
    if (!answered)
        return std::nullopt;
    return body;
}

std::optional<QStringList> TGameList::HostedGames() {
    const std::optional<QByteArray> answer = Get(QStringLiteral("/wintermoot.inf"));
    if (!answer)
        return std::nullopt;
    return ParseHostedGames(*answer);
}

QStringList TGameList::ParseHostedGames(const QByteArray& answer) {
    QStringList games;
    const QStringList lines = DecodeAnswer(answer).split(QLatin1Char('\n'));
    for (QString line : lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        const qsizetype bar = line.indexOf(QLatin1Char('|'));
        line = bar < 0
            ? CleanListed(line)
            : CleanListed(line.left(bar)) + QLatin1Char('|') + CleanListed(line.mid(bar + 1));
        if (!line.isEmpty())
            games.append(line);
    }
    return games;
}

bool TGameList::Publish(const QString& name) {
    if (TryPublish(name))
        return true;
    ShowError(emGameListUpdateFailed);
    return false;
}

bool TGameList::TryPublish(const QString& name) {
    const QString query = QStringLiteral("/wintermoot.php?action=add&name=")
        + QString::fromLatin1(QUrl::toPercentEncoding(name));
    return Get(query).has_value();
}

bool TGameList::Remove() {
    if (Get(QStringLiteral("/wintermoot.php?action=remove")))
        return true;
    ShowError(emGameListUpdateFailed);
    return false;
}

QString TGameList::PublicAddress() {
    const std::optional<QByteArray> answer = Get(QStringLiteral("/ipaddress.php"));
    if (!answer)
        return QStringLiteral("0.0.0.0");
    return ParsePublicAddress(*answer);
}

QString TGameList::ParsePublicAddress(const QByteArray& answer) {
    if (answer.isEmpty())
        return QStringLiteral("0.0.0.0");
    return KeyValue(DecodeAnswer(answer), QStringLiteral("IP address"));
}

QString TGameList::LocalAddress() {
    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& face : interfaces) {
        const auto flags = face.flags();
        if (!flags.testFlag(QNetworkInterface::IsUp)
            || !flags.testFlag(QNetworkInterface::IsRunning)
            || flags.testFlag(QNetworkInterface::IsLoopBack))
            continue;
        for (const QNetworkAddressEntry& entry : face.addressEntries()) {
            const QHostAddress address = entry.ip();
            if (address.protocol() == QAbstractSocket::IPv4Protocol && !address.isLoopback())
                return address.toString();
        }
    }
    return QStringLiteral("0.0.0.0");
}

QString TGameList::KeyValue(const QString& text, const QString& key, const QString& delimiter) {
    const QString marker = key + QLatin1Char('=');
    const qsizetype at = text.indexOf(marker);
    if (at < 0)
        return {};
    const qsizetype start = at + marker.size();
    const qsizetype end = delimiter.isEmpty() ? -1 : text.indexOf(delimiter, start);
    if (end <= start)
        return text.mid(start);
    return text.mid(start, end - start);
}
