#include "EngineProcess.h"

#include <csignal>
#include <unistd.h>

TEngineProcess::TEngineProcess(QObject* parent)
    : QProcess(parent) {
    // Runs in the child between fork and exec, where only async-signal-safe calls are allowed;
    // setsid is one.
    setChildProcessModifier([] { ::setsid(); });
    connect(this, &QProcess::started, this, [this] { m_Group = pid_t(processId()); });
    // What the engine left behind goes with it. The group's id cannot be handed to another
    // process while any member of the group is alive, so the signal reaches only those.
    connect(this, &QProcess::finished, this, [this] {
        if (m_Group > 0)
            ::kill(-m_Group, SIGKILL);
    });
}

TEngineProcess::~TEngineProcess() {
    KillGroup();
    if (state() != NotRunning)
        waitForFinished(2000);
}

void TEngineProcess::KillGroup() {
    if (m_Group > 0)
        ::kill(-m_Group, SIGKILL);
    if (state() != NotRunning)
        kill();
}
