#pragma once

// Work that may take long (reading a large file) run off the window's thread: the window's event
// loop goes on, and a progress dialog over the window, shown once the work has taken a moment,
// tells how far it got and offers Cancel.

#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>

class QWidget;

// What the work and the window share: how far the work got, and whether the user cancelled.
class TProgressControl {
public:
    // The work reports `done` of `total` (bytes, say); any thread.
    void Report(uint64_t done, uint64_t total);
    // Set once the user pressed Cancel; the work stops soon after.
    bool Cancelled() const { return m_Cancelled; }
    void Cancel() { m_Cancelled = true; }
    // Thousandths of the whole.
    int Permille() const { return m_Permille; }

private:
    std::atomic<bool> m_Cancelled = false;
    std::atomic<int> m_Permille = 0;
};

// Runs `work` on a thread of its own and returns when it has ended. A progress dialog with the
// label and a Cancel button opens over `parent` when the work takes longer than `delayMs`; Cancel
// asks the work to stop (through the control) and the call waits for it. Answers false when the
// user cancelled. Main thread only; `work` must not touch widgets.
bool RunWithProgress(QWidget* parent, const QString& label,
    const std::function<void(TProgressControl&)>& work, int delayMs = 300);
