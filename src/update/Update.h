#pragma once

// The update check: asks the project's web server for the version file, on a thread of its own so
// that the window stays responsive, and hands the published version and download address to the
// main thread. The server's answer is untrusted: an answer larger than 64 KB, an HTTP error
// status, a request that takes longer than its time limit, a missing version or one that is not
// an integer all fail the check, and a download address that is not http or https is dropped.

#include <QObject>
#include <QString>

#include <atomic>
#include <chrono>
#include <functional>
#include <optional>

class QByteArray;
class QThread;
class QUrl;
class TUpdateWorker;

// The program's own version, 3.2.4; a published version above it is newer.
constexpr int CurrentVersion = 324;

// What a version file publishes for one product.
struct TPublishedVersion {
    int Version = 0;
    // Empty when the file gives no address, or one that is not http or https.
    QString Url;
};

// Reads "<productName>Version=" and "<productName>URL=" from a version file. Each value runs up
// to the end of its line, surrounding blanks removed; bytes that are not UTF-8 are read as
// Windows-1252. None when the version is missing or not a 32-bit integer.
std::optional<TPublishedVersion> ParseVersionFile(
    const QByteArray& bytes, const QString& productName);

class TUpdater : public QObject {
    Q_OBJECT

public:
    explicit TUpdater(QObject* parent = nullptr);
    // Stops the thread at once, aborting a request under way and dropping a pending retry, so
    // that it never delays the program's exit.
    ~TUpdater() override;

    // Starts a check of "<productName>Version=" and "<productName>URL=" in the file at address;
    // manual tells whether the user asked. A check that fails is tried again after a pause that
    // grows; a new check replaces the one under way. The first failure of a manual check is
    // reported (OnFailed); from then on the check goes on quietly, as one made at start-up.
    void Check(const QString& productName, const QString& address, bool manual);

    // The result of the last successful check.
    int Version = 0;
    QString Url;
    // Called on the main thread when a check has succeeded.
    std::function<void(bool manual)> OnChecked;
    // Called on the main thread when the first attempt of a manual check has failed, within the
    // request's time limit.
    std::function<void()> OnFailed;
    // Called on the main thread after a failed attempt, with the pause before the next one.
    std::function<void(std::chrono::milliseconds pause)> OnRetry;

    // Retry pause: starts at RetryFirst and doubles up to RetryMax (test seams).
    std::chrono::milliseconds RetryFirst { 60000 }, RetryMax { 3600000 };
    // How long one request may take before it is given up.
    std::chrono::milliseconds RequestTimeout { 10000 };

    // The number of requests started so far, counted on the updater's thread.
    int Attempts() const { return m_Attempts.load(); }

private:
    friend class TUpdateWorker;
    void Finished(quint64 generation, bool manual, int version, const QString& url);
    void Failed(quint64 generation, qint64 pauseMs, bool manual);

    QThread* m_Thread = nullptr;
    TUpdateWorker* m_Worker = nullptr;
    // Each check has its own number, so that the answer to a replaced check is ignored.
    quint64 m_Generation = 0;
    std::atomic<int> m_Attempts { 0 };
};

// A version number as the user reads it: 325 is "3.2.5" (major, minor and patch digits).
QString VersionText(int version);

// The completion of the main window: M1 when manual and not newer than CurrentVersion; otherwise
// Q1, and on Yes open the address (openUrl, QDesktopServices::openUrl when empty). A newer
// version without a usable address is told by M14 when the check was manual, and is not shown
// after the check at start-up (there is nothing to open).
void UpdateChecked(
    const TUpdater& updater, bool manual, const std::function<void(const QUrl&)>& openUrl);
