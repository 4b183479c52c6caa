#pragma once

// Helpers of the tests that drive whole windows: the recording message presenter, looking for a
// box's text, and waiting on the event loop.

#include "RecordingPresenter.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>

#include <string>
#include <vector>

// Whether a box holding the fragment was shown.
inline bool Shown(const std::vector<std::string>& texts, const char* fragment) {
    for (const std::string& text : texts)
        if (text.find(fragment) != std::string::npos)
            return true;
    return false;
}

// Runs the event loop until the condition holds or the time is up; answers the condition.
template <typename F> bool WaitFor(F condition, int milliseconds = 20000) {
    QElapsedTimer timer;
    timer.start();
    while (!condition() && timer.elapsed() < milliseconds)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return condition();
}
