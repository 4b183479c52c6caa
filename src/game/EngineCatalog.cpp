#include "EngineCatalog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

const TEngineEntry* TEngineCatalog::Find(const QString& name) const {
    for (const TEngineEntry& entry : Entries) {
        if (entry.Name == name)
            return &entry;
    }
    return nullptr;
}

namespace {

const QString Section = QStringLiteral("Engines");

int ReadCount(const QSettings& ini, const QString& key, int limit) {
    bool ok = false;
    const int count = ini.value(key).toString().trimmed().toInt(&ok);
    return ok ? std::clamp(count, 0, limit) : 0;
}

// A value that QSettings read as a list (an unquoted comma) is joined back.
QString ReadText(const QSettings& ini, const QString& key) {
    const QVariant value = ini.value(key);
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QStringLiteral(", "));
    return value.toString();
}

// Whether the INI file holds the header line of the section, even with no key below it (which
// QSettings does not report): a list the user emptied by hand is still a list. Only a regular
// file of settings' size is read.
bool FileHasSection(const QString& fileName, const QString& section) {
    constexpr qint64 MaxSettingsBytes = 4 * 1024 * 1024;
    const QFileInfo info(fileName);
    if (fileName.isEmpty() || !info.isFile() || info.size() > MaxSettingsBytes)
        return false;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray header = QByteArray("[") + section.toUtf8() + QByteArray("]");
    while (!file.atEnd()) {
        if (file.readLine(MaxSettingsBytes).trimmed() == header)
            return true;
    }
    return false;
}

bool IsExecutable(const QString& file) {
    const QFileInfo info(file);
    return info.isFile() && info.isExecutable();
}

} // namespace

std::optional<TEngineCatalog> ReadEngineCatalog(QSettings& ini) {
    if (!ini.childGroups().contains(Section)
        && (ini.format() != QSettings::IniFormat || !FileHasSection(ini.fileName(), Section)))
        return std::nullopt;
    TEngineCatalog catalog;
    ini.beginGroup(Section);
    const int count = ReadCount(ini, QStringLiteral("Count"), MaxEngineEntries);
    for (int i = 1; i <= count; ++i) {
        const QString prefix = QStringLiteral("Engine%1/").arg(i);
        TEngineEntry entry;
        entry.Command = ReadText(ini, prefix + QStringLiteral("Command")).trimmed();
        if (entry.Command.isEmpty())
            continue;
        entry.Name = ReadText(ini, prefix + QStringLiteral("Name")).trimmed();
        if (entry.Name.isEmpty())
            entry.Name = QFileInfo(entry.Command).fileName();
        entry.Arguments = SplitArguments(ReadText(ini, prefix + QStringLiteral("Arguments")));
        const int options
            = ReadCount(ini, prefix + QStringLiteral("OptionCount"), MaxEngineOptions);
        for (int o = 1; o <= options; ++o) {
            const QString name = ReadText(ini, prefix + QStringLiteral("Option%1").arg(o));
            if (name.trimmed().isEmpty())
                continue;
            entry.Options.append(
                { name, ReadText(ini, prefix + QStringLiteral("Value%1").arg(o)) });
        }
        catalog.Entries.push_back(std::move(entry));
    }
    ini.endGroup();
    return catalog;
}

void WriteEngineCatalog(QSettings& ini, const TEngineCatalog& catalog) {
    ini.remove(Section);
    ini.beginGroup(Section);
    const int count = std::min<int>(int(catalog.Entries.size()), MaxEngineEntries);
    ini.setValue(QStringLiteral("Count"), count);
    for (int i = 1; i <= count; ++i) {
        const TEngineEntry& entry = catalog.Entries[size_t(i - 1)];
        const QString prefix = QStringLiteral("Engine%1/").arg(i);
        ini.setValue(prefix + QStringLiteral("Name"), entry.Name);
        ini.setValue(prefix + QStringLiteral("Command"), entry.Command);
        ini.setValue(prefix + QStringLiteral("Arguments"), JoinArguments(entry.Arguments));
        const int options = std::min<int>(int(entry.Options.size()), MaxEngineOptions);
        ini.setValue(prefix + QStringLiteral("OptionCount"), options);
        for (int o = 1; o <= options; ++o) {
            ini.setValue(prefix + QStringLiteral("Option%1").arg(o), entry.Options[o - 1].first);
            ini.setValue(prefix + QStringLiteral("Value%1").arg(o), entry.Options[o - 1].second);
        }
    }
    ini.endGroup();
}

TEngineCatalog FindEngines(
    const std::vector<std::pair<QString, QStringList>>& candidates, const QString& path) {
    TEngineCatalog catalog;
    const QStringList pathDirs = path.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    for (const auto& [file, places] : candidates) {
        QString found;
        for (const QString& place : places + pathDirs) {
            const QString candidate = QDir(place).filePath(file);
            if (IsExecutable(candidate)) {
                found = QFileInfo(candidate).absoluteFilePath();
                break;
            }
        }
        if (found.isEmpty())
            continue;
        TEngineEntry entry;
        entry.Name = file == QLatin1String("stockfish") ? QStringLiteral("Stockfish")
                                                        : QStringLiteral("Wintermoot engine");
        entry.Command = found;
        catalog.Entries.push_back(std::move(entry));
    }
    return catalog;
}

TEngineCatalog OfferedEngines(const QString& programDir, const QString& path) {
    return FindEngines({ { QStringLiteral("stockfish"),
                             { QStringLiteral("/usr/games"), QStringLiteral("/usr/bin"),
                                 QStringLiteral("/usr/local/bin") } },
                           { QStringLiteral("wintermoot-engine"), { programDir } } },
        path);
}

QStringList SplitArguments(const QString& text) {
    QStringList arguments;
    QString current;
    bool quoted = false;
    bool any = false;
    for (const QChar c : text) {
        if (c == QLatin1Char('"')) {
            quoted = !quoted;
            any = true;
        } else if (c.isSpace() && !quoted) {
            if (any)
                arguments << current;
            current.clear();
            any = false;
        } else {
            current += c;
            any = true;
        }
    }
    if (any)
        arguments << current;
    return arguments;
}

QString JoinArguments(const QStringList& arguments) {
    QStringList parts;
    for (QString argument : arguments) {
        argument.remove(QLatin1Char('"'));
        const bool quote = argument.isEmpty()
            || std::any_of(argument.begin(), argument.end(), [](QChar c) { return c.isSpace(); });
        parts << (quote ? QLatin1Char('"') + argument + QLatin1Char('"') : argument);
    }
    return parts.join(QLatin1Char(' '));
}

std::optional<TUciOption> ParseUciOption(const QString& line) {
    static const QStringList Keywords { QStringLiteral("name"), QStringLiteral("type"),
        QStringLiteral("default"), QStringLiteral("min"), QStringLiteral("max"),
        QStringLiteral("var") };
    const QStringList words = line.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.size() < 5 || words[0] != QLatin1String("option")
        || words[1] != QLatin1String("name"))
        return std::nullopt;
    // The words after each keyword up to the next keyword, in order; the name ends only at
    // "type", since a name may hold the other keywords.
    QList<QPair<QString, QString>> fields;
    QString keyword;
    QStringList value;
    const auto close = [&] {
        if (!keyword.isEmpty())
            fields.append({ keyword, value.join(QLatin1Char(' ')) });
        value.clear();
    };
    for (int i = 1; i < words.size(); ++i) {
        const QString& word = words[i];
        const bool inName = keyword == QLatin1String("name");
        if ((inName && word == QLatin1String("type")) || (!inName && Keywords.contains(word))) {
            close();
            keyword = word;
        } else {
            value << word;
        }
    }
    close();

    TUciOption option;
    bool typed = false;
    bool hasMin = false;
    bool hasMax = false;
    for (const auto& [key, text] : fields) {
        const QString shown = text == QLatin1String("<empty>") ? QString() : text;
        if (key == QLatin1String("name")) {
            option.Name = text;
        } else if (key == QLatin1String("type")) {
            static const QStringList Types { QStringLiteral("check"), QStringLiteral("spin"),
                QStringLiteral("combo"), QStringLiteral("button"), QStringLiteral("string") };
            const qsizetype type = Types.indexOf(text);
            if (type < 0)
                return std::nullopt;
            const TUciOption::TType types[] = { TUciOption::Check, TUciOption::Spin,
                TUciOption::Combo, TUciOption::Button, TUciOption::String };
            option.Type = types[type];
            typed = true;
        } else if (key == QLatin1String("default")) {
            option.Default = shown;
        } else if (key == QLatin1String("min")) {
            option.Min = text.toInt(&hasMin);
        } else if (key == QLatin1String("max")) {
            option.Max = text.toInt(&hasMax);
        } else if (key == QLatin1String("var")) {
            option.Vars << shown;
        }
    }
    if (option.Name.isEmpty() || !typed)
        return std::nullopt;
    if (option.Type == TUciOption::Spin) {
        bool ok = false;
        const int value = option.Default.toInt(&ok);
        if (!hasMin || !hasMax || option.Min > option.Max || !ok)
            return std::nullopt;
        option.Default = QString::number(std::clamp(value, option.Min, option.Max));
    }
    if (option.Type == TUciOption::Check && option.Default != QLatin1String("true"))
        option.Default = QStringLiteral("false");
    return option;
}
