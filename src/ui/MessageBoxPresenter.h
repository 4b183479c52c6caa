#pragma once

// Shows the message table's boxes as real message boxes over the main window: errors with the
// error icon, notices with the information icon, questions with the question icon.

#include "UnitMessages.h"

class QWidget;

class TMessageBoxPresenter : public TMessagePresenter {
public:
    explicit TMessageBoxPresenter(QWidget* parent)
        : m_Parent(parent) { }
    int Present(TMessageKind kind, const std::string& caption, const std::string& text,
        TMessageButtons buttons) override;
    // Without a kind, a box with only OK is a notice and any other a question.
    int Present(
        const std::string& caption, const std::string& text, TMessageButtons buttons) override;

private:
    QWidget* m_Parent;
};
