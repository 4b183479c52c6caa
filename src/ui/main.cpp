// The program's entry: one running copy at a time, the main window (which makes the others), the
// message loop until the main window closes.

#include "AppPaths.h"
#include "FormMain.h"
#include "MessageBoxPresenter.h"
#include "SingleInstance.h"

#include <QApplication>
#include <QIcon>

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
    frmMain.OpenStartFile(QApplication::arguments());
    const int status = app.exec();
    SetMessagePresenter(nullptr);
    return status;
}
