// Entry point of the window tests: a QApplication on the offscreen platform, and a fresh
// WINTERMOOT_HOME so that no test reads or writes a real user's files.

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    QTemporaryDir home;
    // The offscreen platform's virtual screen is made large, so that the window tests, which
    // place a 510-pixel board with docked windows around it, find room for them also when the
    // fonts and windows are scaled (QT_FONT_DPI, QT_SCALE_FACTOR).
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (!platform || std::strcmp(platform, "offscreen") == 0) {
        const QString config = home.filePath(QStringLiteral("offscreen-screen.json"));
        QFile file(config);
        if (file.open(QIODevice::WriteOnly)) {
            file.write(R"({ "synchronousWindowSystemEvents": false, "windowFrameMargins": true,
                "screens": [ { "name": "", "x": 0, "y": 0, "width": 2000, "height": 1600,
                "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1 } ] })");
            file.close();
            const QByteArray value = "offscreen:configfile=" + config.toLocal8Bit();
            setenv("QT_QPA_PLATFORM", value.constData(), 1);
        } else {
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
        }
    }
    setenv("WINTERMOOT_HOME", home.path().toLocal8Bit().constData(), 1);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Wintermoot"));
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
