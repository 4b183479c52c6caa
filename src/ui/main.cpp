// The program's entry: one running copy at a time, the main window (which makes the others), the
// message loop until the main window closes.

#include "AppPaths.h"
#include "FormMain.h"
#include "MessageBoxPresenter.h"
#include "SingleInstance.h"

#include <QApplication>
#include <QFileInfo>
#include <QIcon>

#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    TfrmMain::SetApplicationTitle();
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/wintermoot-64.png")));

    // A second copy hands its file to the running copy (or asks it to come to the front) and
    // ends, before it reads or writes any file of the first.
    TSingleInstance instance(AppPaths::ConfigDir());
    if (!instance.IsFirst()) {
        const QStringList arguments = QApplication::arguments();
        const QString file = arguments.size() > 1 && !arguments.at(1).isEmpty()
            ? QFileInfo(arguments.at(1)).absoluteFilePath()
            : QString();
        QString error;
        if (instance.HandOver(file, TSingleInstance::HandOverTimeoutMs, &error))
            return 0;
        std::fprintf(stderr, "wintermoot: another copy is running, but %s\n", qPrintable(error));
        return 1;
    }
    QString listenError;
    if (!instance.Listen(&listenError))
        std::fprintf(stderr, "wintermoot: later starts cannot hand their files to this copy: %s\n",
            qPrintable(listenError));

    TfrmMain frmMain;
    SetMessagePresenter(std::make_unique<TMessageBoxPresenter>(&frmMain));
    QObject::connect(
        &instance, &TSingleInstance::openRequested, &frmMain, &TfrmMain::OpenHandedFile);

    frmMain.show();
    frmMain.OpenStartFile(QApplication::arguments());
    const int status = app.exec();
    SetMessagePresenter(nullptr);
    return status;
}
