#include "ProgressRun.h"

#include <QEventLoop>
#include <QProgressDialog>
#include <QTimer>

#include <algorithm>
#include <thread>

void TProgressControl::Report(uint64_t done, uint64_t total) {
    if (total == 0)
        return;
    m_Permille = int(std::min<uint64_t>(1000, done * 1000 / total));
}

bool RunWithProgress(QWidget* parent, const QString& label,
    const std::function<void(TProgressControl&)>& work, int delayMs) {
    TProgressControl control;
    std::atomic<bool> finished = false;
    std::thread worker([&] {
        work(control);
        finished = true;
    });

    QProgressDialog dialog(label, QProgressDialog::tr("Cancel"), 0, 1000, parent);
    dialog.setObjectName(QStringLiteral("dlgProgress"));
    dialog.setWindowModality(Qt::WindowModal);
    dialog.setMinimumDuration(std::max(0, delayMs));
    dialog.setAutoClose(false);
    dialog.setAutoReset(false);
    dialog.setValue(0);
    QObject::connect(&dialog, &QProgressDialog::canceled, [&control] { control.Cancel(); });

    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (finished) {
            loop.quit();
            return;
        }
        if (!control.Cancelled())
            dialog.setValue(control.Permille());
    });
    poll.start(20);
    if (!finished)
        loop.exec();
    worker.join();
    return !control.Cancelled();
}
