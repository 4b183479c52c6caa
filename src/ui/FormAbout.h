#pragma once

// The about box: the product name, the version, the project's web address and the credits,
// including those of the piece sets.

#include <QDialog>

class QLabel;

class TfrmAbout : public QDialog {
    Q_OBJECT

public:
    explicit TfrmAbout(QWidget* parent = nullptr);
    // Shows the box modally with the given version text.
    void Execute(const QString& version);

    QLabel* lblVersion = nullptr;
};
