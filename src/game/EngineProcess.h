#pragma once

// An engine's process, started in a session (and so a process group) of its own, so that the
// programs it starts can be ended with it: once the engine has exited, or when the object goes,
// every process left in its group is killed. An engine that moves its children out of its
// group on purpose is not followed.

#include <QProcess>

#include <sys/types.h>

class TEngineProcess : public QProcess {
    Q_OBJECT
public:
    explicit TEngineProcess(QObject* parent = nullptr);
    // Kills the group, the engine included.
    ~TEngineProcess() override;

    // Kills the engine and every process of its group at once.
    void KillGroup();

private:
    // The engine's process id, which is its group's id; 0 before it started.
    pid_t m_Group = 0;
};
