#include "Update.h"

#include "GameList.h"
#include "StoredText.h"
#include "SystemProxy.h"
#include "UnitMessages.h"

#include <QByteArray>
#include <QDesktopServices>
#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QThread>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <string_view>

namespace {

// A version file is a few lines; anything larger is refused rather than held in memory.
constexpr qsizetype AnswerMax = 64 * 1024;

bool IsWebAddress(const QUrl& url) {
    const QString scheme = url.scheme();
    return url.isValid() && !url.host().isEmpty()
        && (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}

// The value after key and "=" up to the end of its line, without surrounding blanks.
QString LineValue(const QString& text, const QString& key) {
    QString value = TGameList::KeyValue(text, key);
    const qsizetype end = value.indexOf(QRegularExpression(QStringLiteral("[\r\n]")));
    if (end >= 0)
        value.truncate(end);
    return value.trimmed();
}

} // namespace

std::optional<TPublishedVersion> ParseVersionFile(
    const QByteArray& bytes, const QString& productName) {
    if (bytes.isEmpty() || productName.isEmpty())
        return std::nullopt;
    const QString text = DecodeStoredText(bytes);
    bool isNumber = false;
    const int version
        = LineValue(text, productName + QStringLiteral("Version")).toInt(&isNumber, 10);
    if (!isNumber)
        return std::nullopt;
    TPublishedVersion published;
    published.Version = version;
    const QString url = LineValue(text, productName + QStringLiteral("URL"));
    if (IsWebAddress(QUrl(url, QUrl::StrictMode)))
        published.Url = url;
    return published;
}

// Lives on the updater's thread and owns everything that the requests use there. It reports to
// the updater through queued calls, each carrying the number of the check it belongs to.
class TUpdateWorker : public QObject {
public:
    TUpdateWorker(TUpdater* owner, std::atomic<int>& attempts)
        : m_Owner(owner)
        , m_Attempts(attempts) { }
    ~TUpdateWorker() override { Cancel(); }

    struct TJob {
        quint64 Generation = 0;
        QString ProductName;
        QString Address;
        bool Manual = false;
        std::chrono::milliseconds RetryFirst, RetryMax, Timeout;
    };

    // Drops the check under way, if any, and starts this one.
    void Start(const TJob& job) {
        Cancel();
        m_Job = job;
        m_Job.RetryFirst = std::max(m_Job.RetryFirst, std::chrono::milliseconds(1));
        m_Job.RetryMax = std::max(m_Job.RetryMax, m_Job.RetryFirst);
        m_Pause = m_Job.RetryFirst;
        Attempt();
    }

private:
    // The timers and the network access of this thread, made on it at the first attempt.
    void Prepare() {
        if (m_Manager)
            return;
        m_Manager = new QNetworkAccessManager(this);
        m_Manager->setProxyFactory(new TSystemProxyFactory);
        m_Retry = new QTimer(this);
        m_Retry->setSingleShot(true);
        connect(m_Retry, &QTimer::timeout, this, &TUpdateWorker::Attempt);
        m_Deadline = new QTimer(this);
        m_Deadline->setSingleShot(true);
        connect(m_Deadline, &QTimer::timeout, this, [this] {
            m_Refused = true;
            if (m_Reply)
                m_Reply->abort();
        });
    }

    void Attempt() {
        Prepare();
        ++m_Attempts;
        const QUrl url(m_Job.Address.trimmed(), QUrl::StrictMode);
        if (!IsWebAddress(url)) {
            Fail();
            return;
        }
        QNetworkRequest request(url);
        request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("Wintermoot"));
        request.setTransferTimeout(static_cast<int>(m_Job.Timeout.count()));
        m_Body.clear();
        m_Refused = false;
        m_Reply = m_Manager->get(request);
        m_Reply->setReadBufferSize(AnswerMax);
        connect(m_Reply, &QNetworkReply::readyRead, this, &TUpdateWorker::Take);
        connect(m_Reply, &QNetworkReply::finished, this, &TUpdateWorker::Finish);
        m_Deadline->start(m_Job.Timeout);
    }

    void Take() {
        if (m_Refused || !m_Reply)
            return;
        m_Body += m_Reply->read(AnswerMax + 1 - m_Body.size());
        if (m_Body.size() > AnswerMax) {
            m_Refused = true;
            m_Reply->abort();
        }
    }

    void Finish() {
        if (!m_Reply)
            return;
        m_Deadline->stop();
        while (!m_Refused && m_Reply->bytesAvailable() > 0)
            Take();
        if (!m_Reply)
            return;
        const QVariant status = m_Reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        const bool answered = !m_Refused && m_Reply->error() == QNetworkReply::NoError
            && status.isValid() && status.toInt() < 400;
        m_Reply->disconnect(this);
        m_Reply->deleteLater();
        m_Reply = nullptr;
        const std::optional<TPublishedVersion> published
            = answered ? ParseVersionFile(m_Body, m_Job.ProductName) : std::nullopt;
        m_Body.clear();
        if (!published) {
            Fail();
            return;
        }
        TUpdater* owner = m_Owner;
        const quint64 generation = m_Job.Generation;
        const bool manual = m_Job.Manual;
        const TPublishedVersion result = *published;
        QMetaObject::invokeMethod(
            owner,
            [owner, generation, manual, result] {
                owner->Finished(generation, manual, result.Version, result.Url);
            },
            Qt::QueuedConnection);
    }

    // Waits before the next attempt, twice as long each time up to the longest pause. A manual
    // check reports its first failure only; the attempts after it are quiet.
    void Fail() {
        const std::chrono::milliseconds pause = m_Pause;
        m_Pause = std::min(m_Pause * 2, m_Job.RetryMax);
        m_Retry->start(pause);
        TUpdater* owner = m_Owner;
        const quint64 generation = m_Job.Generation;
        const qint64 pauseMs = pause.count();
        const bool manual = m_Job.Manual;
        m_Job.Manual = false;
        QMetaObject::invokeMethod(
            owner,
            [owner, generation, pauseMs, manual] { owner->Failed(generation, pauseMs, manual); },
            Qt::QueuedConnection);
    }

    void Cancel() {
        if (m_Retry)
            m_Retry->stop();
        if (m_Deadline)
            m_Deadline->stop();
        if (m_Reply) {
            m_Reply->disconnect(this);
            m_Reply->abort();
            delete m_Reply;
            m_Reply = nullptr;
        }
        m_Body.clear();
    }

    TUpdater* m_Owner;
    std::atomic<int>& m_Attempts;
    TJob m_Job;
    std::chrono::milliseconds m_Pause { 0 };
    QNetworkAccessManager* m_Manager = nullptr;
    QNetworkReply* m_Reply = nullptr;
    QTimer* m_Retry = nullptr;
    QTimer* m_Deadline = nullptr;
    QByteArray m_Body;
    bool m_Refused = false;
};

TUpdater::TUpdater(QObject* parent)
    : QObject(parent)
    , m_Thread(new QThread)
    , m_Worker(new TUpdateWorker(this, m_Attempts)) {
    m_Thread->setObjectName(QStringLiteral("Updater"));
    m_Worker->moveToThread(m_Thread);
    connect(m_Thread, &QThread::finished, m_Worker, &QObject::deleteLater);
    m_Thread->start();
}

TUpdater::~TUpdater() {
    // The worker's thread only ever waits in its event loop, so it leaves it at once; the worker
    // is deleted there as the thread finishes, which aborts a request under way.
    m_Thread->quit();
    m_Thread->wait();
    delete m_Thread;
}

void TUpdater::Check(const QString& productName, const QString& address, bool manual) {
    TUpdateWorker::TJob job;
    job.Generation = ++m_Generation;
    job.ProductName = productName;
    job.Address = address;
    job.Manual = manual;
    job.RetryFirst = RetryFirst;
    job.RetryMax = RetryMax;
    job.Timeout = RequestTimeout;
    TUpdateWorker* worker = m_Worker;
    QMetaObject::invokeMethod(
        worker, [worker, job] { worker->Start(job); }, Qt::QueuedConnection);
}

void TUpdater::Finished(quint64 generation, bool manual, int version, const QString& url) {
    if (generation != m_Generation)
        return;
    Version = version;
    Url = url;
    if (OnChecked)
        OnChecked(manual);
}

void TUpdater::Failed(quint64 generation, qint64 pauseMs, bool manual) {
    if (generation != m_Generation)
        return;
    if (manual && OnFailed)
        OnFailed();
    if (OnRetry)
        OnRetry(std::chrono::milliseconds(pauseMs));
}

QString VersionText(int version) {
    if (version < 100)
        return QString::number(version);
    return QStringLiteral("%1.%2.%3").arg(version / 100).arg(version / 10 % 10).arg(version % 10);
}

void UpdateChecked(
    const TUpdater& updater, bool manual, const std::function<void(const QUrl&)>& openUrl) {
    if (updater.Version <= CurrentVersion) {
        if (manual)
            ShowNotice(nmAlreadyLatestVersion);
        return;
    }
    if (updater.Url.isEmpty()) {
        // Nothing can be opened; the user who asked is told of the version all the same.
        if (manual)
            ShowNotice(nmNewVersionWithoutAddress, VersionText(updater.Version).toStdString());
        return;
    }
    if (AskQuestion(qmDownloadNewVersion) != idYes)
        return;
    const QUrl url(updater.Url, QUrl::StrictMode);
    if (openUrl)
        openUrl(url);
    else
        QDesktopServices::openUrl(url);
}
