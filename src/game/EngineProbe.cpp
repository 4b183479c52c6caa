#include "EngineProbe.h"

#include <utility>

TEngineProbe::TEngineProbe(QObject* parent)
    : QObject(parent) {
    m_Timer.setSingleShot(true);
    connect(&m_Timer, &QTimer::timeout, this, [this] {
        Fail(QStringLiteral("did not answer uci within %1 s").arg(TimeoutMs / 1000.0, 0, 'g', 3));
    });
}

TEngineProbe::~TEngineProbe() {
    m_Timer.stop();
    // The processes still quitting are children of the probe and go with it: each is given a
    // moment to quit, then killed.
    Stop();
    for (TEngineProcess* process : findChildren<TEngineProcess*>()) {
        disconnect(process, nullptr, this, nullptr);
        if (process->state() != QProcess::NotRunning && !process->waitForFinished(300)) {
            process->KillGroup();
            process->waitForFinished(1000);
        }
    }
}

void TEngineProbe::Start(const QString& command, const QStringList& arguments) {
    Stop();
    m_Buffer.clear();
    m_Read = 0;
    m_Info = {};
    m_Running = true;
    m_Process = new TEngineProcess(this);
    m_Process->setStandardErrorFile(QProcess::nullDevice());
    QProcess* process = m_Process;
    connect(process, &QProcess::started, this, [process] { process->write("uci\n"); });
    connect(process, &QProcess::readyReadStandardOutput, this, &TEngineProbe::ReadOutput);
    connect(process, &QProcess::errorOccurred, this, [this, process](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            Fail(QStringLiteral("could not be started (%1)").arg(process->errorString()));
    });
    connect(process, &QProcess::finished, this, [this] {
        ReadOutput();
        if (m_Running)
            Fail(QStringLiteral("exited without answering uci"));
    });
    m_Timer.start(TimeoutMs);
    process->start(command, arguments);
}

void TEngineProbe::ReadOutput() {
    if (!m_Running || !m_Process)
        return;
    const QByteArray data = m_Process->readAllStandardOutput();
    m_Read += data.size();
    if (m_Read > MaxOutputBytes) {
        Fail(QStringLiteral("wrote too much before uciok"));
        return;
    }
    m_Buffer += data;
    qsizetype end;
    while (m_Running && (end = m_Buffer.indexOf('\n')) >= 0) {
        const QString line = QString::fromUtf8(m_Buffer.left(end)).trimmed();
        m_Buffer.remove(0, end + 1);
        if (line.startsWith(QLatin1String("id name "))) {
            m_Info.Name = line.mid(8).trimmed().left(80);
        } else if (line.startsWith(QLatin1String("option "))) {
            if (auto option = ParseUciOption(line))
                m_Info.Options.push_back(*option);
        } else if (line == QLatin1String("uciok")) {
            const TEngineInfo info = m_Info;
            Stop();
            emit finished(info);
            return;
        }
    }
}

void TEngineProbe::Fail(const QString& cause) {
    if (!m_Running)
        return;
    Stop();
    emit failed(cause);
}

// The program is asked to quit; one that is still there a moment later is killed. Its object
// goes once it has exited, so the probe can start the next one at once.
void TEngineProbe::Stop() {
    m_Running = false;
    m_Timer.stop();
    TEngineProcess* process = std::exchange(m_Process, nullptr);
    if (!process)
        return;
    disconnect(process, nullptr, this, nullptr);
    if (process->state() == QProcess::NotRunning) {
        process->deleteLater();
        return;
    }
    process->write("quit\n");
    process->closeWriteChannel();
    connect(process, &QProcess::finished, process, &QObject::deleteLater);
    QTimer::singleShot(1000, process, [process] { process->KillGroup(); });
}
