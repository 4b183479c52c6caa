#include "AppPaths.h"

#include "Settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace {

QString HomeOverride() {
    return qEnvironmentVariable("WINTERMOOT_HOME");
}

// The folder, created when missing. A folder that cannot be created is still answered: the
// files in it then fail to be written, and their writers report it.
QString Ensure(const QString& folder) {
    const QString clean = QDir::cleanPath(folder);
    QDir().mkpath(clean);
    return clean;
}

// An XDG base folder: the variable when it holds an absolute path (relative ones are to be
// ignored), otherwise the fallback under the home folder.
QString XdgFolder(const char* variable, const char* fallback) {
    const QString value = qEnvironmentVariable(variable);
    if (!value.isEmpty() && QDir::isAbsolutePath(value))
        return value;
    return QDir::homePath() + QLatin1Char('/') + QLatin1String(fallback);
}

QString UserFolder(const char* variable, const char* fallback) {
    const QString home = HomeOverride();
    if (!home.isEmpty())
        return Ensure(home);
    return Ensure(XdgFolder(variable, fallback) + QStringLiteral("/Wintermoot"));
}

} // namespace

namespace AppPaths {

QString ConfigDir() {
    return UserFolder("XDG_CONFIG_HOME", ".config");
}

QString DataDir() {
    return UserFolder("XDG_DATA_HOME", ".local/share");
}

QString SettingsFile() {
    return ConfigDir() + QStringLiteral("/Wintermoot.ini");
}

QString HistoryFile() {
    return DataDir() + QStringLiteral("/history.dat");
}

QString CurrentGameFile() {
    return DataDir() + QStringLiteral("/current-game.wtg");
}

QStringList ShareDirs() {
    QStringList folders;
    if (QCoreApplication::instance()) {
        const QString program = QCoreApplication::applicationDirPath();
        folders << program << QDir::cleanPath(program + QStringLiteral("/../share/wintermoot"));
    }
#ifdef WINTERMOOT_DATADIR
    folders << QDir::cleanPath(QStringLiteral(WINTERMOOT_DATADIR));
#endif
    folders.removeDuplicates();
    return folders;
}

QString FindShared(const QString& name) {
    if (name.isEmpty())
        return {};
    if (QDir::isAbsolutePath(name))
        return QFileInfo(name).isFile() ? name : QString();
    for (const QString& folder : ShareDirs()) {
        const QString candidate = folder + QLatin1Char('/') + name;
        if (QFileInfo(candidate).isFile())
            return candidate;
    }
    return {};
}

std::unique_ptr<QSettings> LayoutStore() {
    const QString home = HomeOverride();
    if (!home.isEmpty()) {
        const QString path = Ensure(home) + QStringLiteral("/layout.ini");
        return MayOpenIni(path) ? std::make_unique<QSettings>(path, QSettings::IniFormat) : nullptr;
    }
    // Where Qt keeps the native store of an organisation without an application name.
    const QString native
        = QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
              .filePath(QStringLiteral("Wintermoot.conf"));
    if (!MayOpenIni(native))
        return nullptr;
    return std::make_unique<QSettings>(
        QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Wintermoot"));
}

} // namespace AppPaths
