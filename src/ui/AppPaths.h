#pragma once

// Where the program's files live. With WINTERMOOT_HOME set, every user file (settings, themes,
// history, window layout, the single-instance lock) lives in that one folder; otherwise the
// settings and themes go to the user's config folder and the history to the user's data folder.
// Read-only data (language files, sounds, Help.html) ships next to the program in the build
// tree and under share/wintermoot when installed.

#include <QString>
#include <QStringList>

#include <memory>

class QSettings;

namespace AppPaths {

// The folders, created on first use when missing.
QString ConfigDir();
QString DataDir();
// "Wintermoot.ini" in the config folder.
QString SettingsFile();
// "history.dat" in the data folder.
QString HistoryFile();
// "current-game.wtg" in the data folder: the local game in progress, kept after every move so
// that it can be continued after a crash or a close.
QString CurrentGameFile();
// The folders of read-only data shipped with the program, most specific first.
QStringList ShareDirs();
// The first shipped file of that name, or empty when none exists.
QString FindShared(const QString& name);
// The window layout store (the registry key of the original design); none when its file is there
// but is no regular file.
std::unique_ptr<QSettings> LayoutStore();

} // namespace AppPaths
