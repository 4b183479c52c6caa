#include "FuzzSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace {

QString& ScratchDir() {
    static QString dir;
    return dir;
}

void RemoveScratchDir() {
    if (!ScratchDir().isEmpty())
        QDir(ScratchDir()).removeRecursively();
}

} // namespace

void InitFuzzApplication(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The readers' own warnings would drown libFuzzer's output.
    qputenv("QT_LOGGING_RULES", "*.debug=false;*.warning=false");
    static QCoreApplication* application = new QCoreApplication(*argc, *argv);
    (void)application;
    const QString base
        = QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
    ScratchDir()
        = base + QStringLiteral("/wintermoot-fuzz-%1").arg(QCoreApplication::applicationPid());
    if (!QDir().mkpath(ScratchDir()))
        FuzzFail("cannot create the scratch folder " + ScratchDir().toStdString());
    std::atexit(RemoveScratchDir);
}

QString ScratchPath(const char* name, bool unique) {
    static std::atomic<unsigned long> counter { 0 };
    QString path = ScratchDir() + QLatin1Char('/') + QLatin1String(name);
    if (unique)
        path += QStringLiteral("-%1").arg(++counter);
    return path;
}

void WriteScratch(const QString& path, const uint8_t* data, size_t size) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || file.write(reinterpret_cast<const char*>(data), qint64(size)) != qint64(size))
        FuzzFail("cannot write the scratch file " + path.toStdString());
}

std::string ReadScratch(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        FuzzFail("cannot read the scratch file " + path.toStdString());
    const QByteArray bytes = file.readAll();
    return std::string(bytes.constData(), size_t(bytes.size()));
}

void FuzzFail(const std::string& what) {
    std::fprintf(stderr, "fuzz check failed: %s\n", what.c_str());
    std::fflush(stderr);
    std::abort();
}
