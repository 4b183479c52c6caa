// The program's entry: one running copy at a time, the main window (which makes the others), the
// message loop until the main window closes.

#include "AppPaths.h"
#include "FormMain.h"
#include "MessageBoxPresenter.h"
#include "SingleInstance.h"

#include <QApplication>
#include <QIcon>
#include <QTimer>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    TfrmMain::SetApplicationTitle();
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/wintermoot-64.png")));

    // A second copy ends here, before it reads or writes any file of the first; a file it was
    // given is not handed over (the running copy is simply left as it is).
    TSingleInstance instance(AppPaths::ConfigDir());
    if (!instance.IsFirst())
        return 0;

    TfrmMain frmMain;
    SetMessagePresenter(std::make_unique<TMessageBoxPresenter>(&frmMain));

    frmMain.show();
    // A game file named on the command line opens once the window is up, as "Load..." would;
    // one that cannot be read is reported and the program goes on.
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() > 1 && !arguments.at(1).isEmpty()) {
        const QString file = arguments.at(1);
        QTimer::singleShot(0, &frmMain, [&frmMain, file] { frmMain.OpenGameFile(file); });
    }
    const int status = app.exec();
    SetMessagePresenter(nullptr);
    return status;
}
