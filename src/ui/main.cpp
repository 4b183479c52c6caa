// The program's entry: one running copy at a time, the windows in their fixed order, the message
// loop until the main window closes.

#include "AppPaths.h"
#include "FormAbout.h"
#include "FormChat.h"
#include "FormGame.h"
#include "FormHistory.h"
#include "FormMain.h"
#include "FormMoves.h"
#include "FormOptions.h"
#include "MessageBoxPresenter.h"
#include "SingleInstance.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    TfrmMain::SetApplicationTitle();
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/wintermoot-64.png")));

    // A second copy ends here, before it reads or writes any file of the first.
    TSingleInstance instance(AppPaths::ConfigDir());
    if (!instance.IsFirst())
        return 0;

    TfrmMain frmMain;
    TfrmAbout frmAbout(&frmMain);
    TfrmChat frmChat(&frmMain);
    TfrmHistory frmHistory(frmMain.History, frmMain, &frmMain);
    TfrmGame frmGame(frmMain.Game, &frmMain);
    TfrmMoves frmMoves(&frmMain);
    TfrmOptions frmOptions(frmMain, &frmMain);
    frmMain.SetForms(&frmAbout, &frmGame, &frmMoves, &frmChat, &frmHistory, &frmOptions);
    SetMessagePresenter(std::make_unique<TMessageBoxPresenter>(&frmMain));

    frmMain.show();
    const int status = app.exec();
    SetMessagePresenter(nullptr);
    return status;
}
