#include "UserFiles.h"

#include "UnitMessages.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

namespace {

QString Key(const QString& path) {
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

std::string Shown(const QString& path) {
    return QDir::toNativeSeparators(path).toStdString();
}

// Why a save of the path fails, as far as the file system tells; the same cause is reported
// once.
QString FailureCause(const QString& path) {
    const QFileInfo file(path);
    const QFileInfo folder(file.absolutePath());
    if (!folder.exists())
        return QStringLiteral("no folder");
    if (!folder.isDir())
        return QStringLiteral("folder is a file");
    if (file.isDir())
        return QStringLiteral("a folder in its place");
    if (file.exists() && !file.isWritable())
        return QStringLiteral("read-only file");
    if (!folder.isWritable())
        return QStringLiteral("read-only folder");
    return QStringLiteral("write failed");
}

// A free name beside the file that says what it is and when it was set aside.
QString AsideName(const QString& path) {
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    const QString base = path + QStringLiteral(".unreadable-") + stamp;
    QString name = base;
    for (int n = 2; QFileInfo::exists(name) || QFileInfo(name).isSymLink(); ++n)
        name = base + QLatin1Char('-') + QString::number(n);
    return name;
}

} // namespace

TUserFiles::TKept* TUserFiles::Find(const QString& path) {
    const QString key = Key(path);
    for (TKept& kept : m_Kept)
        if (kept.Path == key)
            return &kept;
    return nullptr;
}

void TUserFiles::KeepUnreadable(const QString& path, TErrorMessage message) {
    if (!Find(path))
        m_Kept.push_back(TKept { Key(path), message, false, false });
}

void TUserFiles::KeepUntouched(const QString& path, TErrorMessage message) {
    if (TKept* kept = Find(path))
        kept->Untouched = true;
    else
        m_Kept.push_back(TKept { Key(path), message, true, false });
}

void TUserFiles::Tell(TKept& kept) {
    if (kept.Told)
        return;
    kept.Told = true;
    ShowError(kept.Message, Shown(kept.Path));
}

void TUserFiles::TellPending() {
    // A box may run the event loop; the list is walked by index so that a file kept meanwhile
    // does not invalidate the walk.
    for (size_t i = 0; i < m_Kept.size(); ++i)
        Tell(m_Kept[i]);
}

bool TUserFiles::MayWrite(const QString& path) {
    TKept* kept = Find(path);
    if (!kept)
        return true;
    Tell(*kept);
    kept = Find(path);
    if (!kept)
        return true;
    if (kept->Untouched)
        return false;
    const QString original = kept->Path;
    QString aside;
    if (QFileInfo::exists(original) || QFileInfo(original).isSymLink()) {
        aside = AsideName(original);
        // The file stays kept while it cannot be moved: no save may replace it.
        if (!QDir().rename(original, aside))
            return Saved(original, false);
    }
    // Forgotten before the notice, whose box may run the event loop.
    m_Kept.erase(m_Kept.begin() + (kept - m_Kept.data()));
    if (!aside.isEmpty())
        ShowNotice(nmUnreadableFileKept, Shown(aside));
    return true;
}

bool TUserFiles::Saved(const QString& path, bool saved) {
    const QString key = Key(path);
    if (saved) {
        m_Failed.erase(key);
        return true;
    }
    const QString cause = FailureCause(key);
    const auto it = m_Failed.find(key);
    if (it != m_Failed.end() && it->second == cause)
        return false;
    m_Failed[key] = cause;
    ShowError(emUserFileSaveFailed, Shown(key));
    return false;
}

void TUserFiles::Clear() {
    m_Kept.clear();
    m_Failed.clear();
}

TUserFiles& UserFiles() {
    static TUserFiles files;
    return files;
}

bool SaveUserFile(const QString& path, const std::function<bool()>& save) {
    TUserFiles& files = UserFiles();
    return files.MayWrite(path) && files.Saved(path, save());
}

THistoryLoad LoadHistoryFile(THistory& history, const QString& path) {
    const THistoryLoad status = history.Load(path);
    switch (status) {
    case hlLoaded:
    case hlMissing:
        break;
    case hlNewerVersion:
        UserFiles().KeepUntouched(path, emHistoryFromNewerVersion);
        break;
    case hlNotHistory:
        if (QFileInfo(path).size() == 0 && QFileInfo(path).isFile())
            break;
        [[fallthrough]];
    default:
        UserFiles().KeepUnreadable(path, emHistoryPartlyRead);
        break;
    }
    return status;
}

bool SaveHistoryFile(const THistory& history, const QString& path) {
    return SaveUserFile(path, [&] { return history.SaveToFile(path); });
}
