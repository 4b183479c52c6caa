#pragma once

// The help window: the shipped help page in a browser of its own, so that the help needs no web
// browser. Links inside the page and to other local pages beside it are followed in place; only
// web and mail addresses go to the system's opener, and any other kind of address is ignored.

#include <QDialog>
#include <QUrl>

#include <functional>

class QLabel;
class QPushButton;
class QTextBrowser;

class TfrmHelp : public QDialog {
    Q_OBJECT

public:
    explicit TfrmHelp(QWidget* parent = nullptr);

    // Shows the window beside the others (not modal) with the shipped help page, loading it the
    // first time or again when it was missing before.
    void ShowHelp();
    // Shows the page in the file; false when it cannot be read, and the window then says that
    // the help is missing.
    bool LoadPage(const QString& fileName);

    // Opens a web or mail address outside the program (the system's opener); tests replace it.
    std::function<void(const QUrl&)> OpenExternal;

    QTextBrowser* memHelp = nullptr;
    QLabel* lblMissing = nullptr;
    QPushButton* btnBack = nullptr;
    QPushButton* btnForward = nullptr;
    QPushButton* btnHome = nullptr;
    QPushButton* btnClose = nullptr;

private:
    void memHelpAnchorClicked(const QUrl& link);

    QUrl m_Home;
};
