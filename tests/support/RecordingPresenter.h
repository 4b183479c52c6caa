#pragma once

// The message presenter of the tests: it shows nothing, keeps what each box said and answers
// questions with the answer the test chose. Installed with SetMessagePresenter.

#include "UnitMessages.h"

#include <functional>
#include <string>
#include <vector>

// One box as the program asked for it.
struct TShownBox {
    TMessageKind Kind;
    std::string Caption;
    std::string Text;
    TMessageButtons Buttons;
};

class TRecordingPresenter : public TMessagePresenter {
public:
    // Keeps nothing; every box is answered Ok.
    TRecordingPresenter() = default;
    // Keeps the text of each box; every box is answered Ok.
    explicit TRecordingPresenter(std::vector<std::string>& texts)
        : m_Texts(&texts) { }
    // Keeps the text of each box and answers each question with `answer`, read when the question
    // comes, so that the test may change it between questions; it must outlive the presenter.
    // A box with an OK button alone is answered Ok.
    TRecordingPresenter(std::vector<std::string>& texts, const int& answer)
        : m_Texts(&texts)
        , m_Answer(&answer) { }
    // The same, keeping each box whole.
    TRecordingPresenter(std::vector<TShownBox>& boxes, const int& answer)
        : m_Boxes(&boxes)
        , m_Answer(&answer) { }

    // Called with each box before it is answered, to look at the program's state at that moment.
    std::function<void(const TShownBox&)> OnShown;

    int Present(TMessageKind kind, const std::string& caption, const std::string& text,
        TMessageButtons buttons) override {
        const TShownBox box { kind, caption, text, buttons };
        if (m_Texts)
            m_Texts->push_back(text);
        if (m_Boxes)
            m_Boxes->push_back(box);
        if (OnShown)
            OnShown(box);
        return buttons == mbOk || !m_Answer ? idOk : *m_Answer;
    }
    // A box shown without its kind: one with an OK button alone counts as a notice.
    int Present(
        const std::string& caption, const std::string& text, TMessageButtons buttons) override {
        return Present(buttons == mbOk ? mkNotice : mkQuestion, caption, text, buttons);
    }

private:
    std::vector<std::string>* m_Texts = nullptr;
    std::vector<TShownBox>* m_Boxes = nullptr;
    const int* m_Answer = nullptr;
};
