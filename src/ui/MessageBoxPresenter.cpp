#include "MessageBoxPresenter.h"

#include <QMessageBox>

int TMessageBoxPresenter::Present(
    const std::string& caption, const std::string& text, TMessageButtons buttons) {
    QMessageBox box(m_Parent);
    box.setWindowTitle(QString::fromStdString(caption));
    box.setText(QString::fromStdString(text));
    switch (buttons) {
    case mbOk:
        box.setIcon(QMessageBox::Information);
        box.setStandardButtons(QMessageBox::Ok);
        break;
    case mbYesNo:
        box.setIcon(QMessageBox::Question);
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    case mbYesNoCancel:
        box.setIcon(QMessageBox::Question);
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
