#pragma once

// Helpers of the tests that drive whole windows: a message presenter that records the boxes, and
// waiting on the event loop.

#include "UnitMessages.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>

#include <string>
#include <vector>

// Records the text of every box and answers questions with a preset answer.
class TRecordingPresenter : public TMessagePresenter {
public:
    TRecordingPresenter(std::vector<std::string>& texts, const int& answer)
        : m_Texts(texts)
        , m_Answer(answer) { }
    int Present(const std::string&, const std::string& text, TMessageButtons buttons) override {
        m_Texts.push_back(text);
        return buttons == mbOk ? idOk : m_Answer;
    }

private:
    std::vector<std::string>& m_Texts;
    const int& m_Answer;
};

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
