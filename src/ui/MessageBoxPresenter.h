#pragma once

// Shows the message table's boxes as real message boxes over the main window.

#include "UnitMessages.h"

class QWidget;

class TMessageBoxPresenter : public TMessagePresenter {
public:
    explicit TMessageBoxPresenter(QWidget* parent)
        : m_Parent(parent) { }
    int Present(
        const std::string& caption, const std::string& text, TMessageButtons buttons) override;

private:
    QWidget* m_Parent;
};
