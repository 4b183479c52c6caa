// Entry point of the window tests: a QApplication on the offscreen platform, and a fresh
// WINTERMOOT_HOME so that no test reads or writes a real user's files.

#include <QApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QTemporaryDir home;
    setenv("WINTERMOOT_HOME", home.path().toLocal8Bit().constData(), 1);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Wintermoot"));
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
