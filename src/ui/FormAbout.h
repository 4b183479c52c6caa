#pragma once

// The about box: the program's icon, the product name, the version, the project's web address and
// the credits, including those of the piece sets.

#include <QDialog>

class QLabel;
class QPushButton;
class QTextBrowser;

class TfrmAbout : public QDialog {
    Q_OBJECT

public:
    explicit TfrmAbout(QWidget* parent = nullptr);
    // Shows the box modally with the given version text.
    void Execute(const QString& version);

    // The project's web address, opened by the link label: the project's web server of the build.
    static const char* const WebAddress;

    // The licence and the credits of the piece sets, as Markdown. The credits are read from the
    // shipped credits file, or summed up briefly when it is not installed.
    static QString CreditsText();
    // The same from the text of the credits file: one line per piece set from its table, then
    // its notices. A file without the table is shown whole; an empty one gives the summary.
    static QString CreditsText(const QString& sources);

    // The program's icon; hidden when the program was built without its icon resource.
    QLabel* imgIcon = nullptr;
    QLabel* lblProduct = nullptr;
    QLabel* lblVersion = nullptr;
    QLabel* lblWebsite = nullptr;
    QTextBrowser* memCredits = nullptr;
    QPushButton* btnOk = nullptr;
};
