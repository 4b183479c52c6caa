#include "MessageBoxPresenter.h"

#include <QMessageBox>

int TMessageBoxPresenter::Present(TMessageKind kind, const std::string& caption,
    const std::string& text, TMessageButtons buttons) {
    QMessageBox box(m_Parent);
    box.setWindowTitle(QString::fromStdString(caption));
    box.setText(QString::fromStdString(text));
    switch (kind) {
    case mkError:
        box.setIcon(QMessageBox::Critical);
        break;
    case mkNotice:
        box.setIcon(QMessageBox::Information);
        break;
    case mkQuestion:
        box.setIcon(QMessageBox::Question);
        break;
    }
    switch (buttons) {
    case mbOk:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case mbYesNo:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    case mbYesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    }
    switch (box.exec()) {
    case QMessageBox::Yes:
        return idYes;
    case QMessageBox::No:
        return idNo;
    case QMessageBox::Cancel:
        return idCancel;
    default:
        return idOk;
    }
}

int TMessageBoxPresenter::Present(
    const std::string& caption, const std::string& text, TMessageButtons buttons) {
    return Present(buttons == mbOk ? mkNotice : mkQuestion, caption, text, buttons);
}
