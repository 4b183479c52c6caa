#pragma once

// Asks a program whether it is a UCI engine, without ever waiting for it: starts it, sends uci,
// collects its name and the options it announces until uciok, then sends quit and kills the
// process when it has not exited soon after. A program that cannot be started, exits, writes
// too much, or gives no uciok within the time limit is reported through `failed`.

#include "EngineCatalog.h"
#include "EngineProcess.h"

#include <QByteArray>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <vector>

struct TEngineInfo {
    QString Name;
    std::vector<TUciOption> Options;
};

class TEngineProbe : public QObject {
    Q_OBJECT

public:
    static constexpr int DefaultTimeoutMs = 10000;
    // The most output read before uciok; more is not a UCI engine's answer.
    static constexpr qsizetype MaxOutputBytes = 1024 * 1024;

    explicit TEngineProbe(QObject* parent = nullptr);
    ~TEngineProbe() override;

    // Starts the program; the answer comes later through finished or failed, exactly once.
    // A probe under way is dropped first, without an answer.
    void Start(const QString& command, const QStringList& arguments = {});
    bool Running() const { return m_Running; }
    int TimeoutMs = DefaultTimeoutMs;

signals:
    void finished(const TEngineInfo& info);
    // `cause` says why, in English, for the message that names the program.
    void failed(const QString& cause);

private:
    void ReadOutput();
    void Fail(const QString& cause);
    void Stop();

    TEngineProcess* m_Process = nullptr;
    QTimer m_Timer;
    QByteArray m_Buffer;
    qsizetype m_Read = 0;
    TEngineInfo m_Info;
    bool m_Running = false;
};
