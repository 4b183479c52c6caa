#include "UnitThemes.h"

#include "AppPaths.h"
#include "RegularFile.h"
#include "ValueList.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QSettings>
#include <QStringList>
#include <QVariant>

namespace {

struct TColorKey {
    const char* Key;
    TColor TTheme::*Field;
    TColor Default;
};

// The colour keys of a section, in the file's order, with their defaults.
constexpr TColorKey ColorKeys[] = {
    { "Board", &TTheme::Board, 16763562 },
    { "Player", &TTheme::Player, 16756608 },
    { "Border", &TTheme::Border, 8355711 },
    { "Text", &TTheme::Text, 8145710 },
    { "Whites", &TTheme::Whites, 16777215 },
    { "Blacks", &TTheme::Blacks, 16756608 },
    { "Hover", &TTheme::Hover, 16763562 },
    { "Selected", &TTheme::Selected, 8445951 },
    { "GoodMove", &TTheme::GoodMove, 8454016 },
    { "BadMove", &TTheme::BadMove, 8421631 },
    { "LastMove", &TTheme::LastMove, 12566463 },
};

constexpr qint64 MaxThemesFileSize = 1024 * 1024;

QString SectionName(qsizetype index) {
    return QStringLiteral("Theme") + QString::number(index);
}

// A key's string; QSettings reads an unquoted value with commas as a list.
QString StringValue(const QVariant& value) {
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QStringLiteral(", "));
    return value.toString();
}

struct TParsed {
    TColor Color = 0;
    // The first component above 255 (0 red, 1 green, 2 blue) and its digits; -1 when the text is
    // a colour.
    int FaultComponent = -1;
    QString FaultDigits;
};

TParsed Parse(const QString& text) {
    TParsed result;
    qsizetype at = 0;
    for (int component = 0; component < 3; ++component) {
        if (component > 0 && at < text.size())
            ++at;
        const qsizetype start = at;
        unsigned value = 0;
        bool tooLarge = false;
        while (at < text.size() && text[at] >= QLatin1Char('0') && text[at] <= QLatin1Char('9')) {
            value = value * 10 + unsigned(text[at].unicode() - '0');
            if (value > 255)
                tooLarge = true;
            if (tooLarge)
                value = 256;
            ++at;
        }
        if (tooLarge && result.FaultComponent < 0) {
            result.FaultComponent = component;
            result.FaultDigits = text.mid(start, qMin<qsizetype>(at - start, 12));
        }
        result.Color |= TColor(value & 0xFF) << (8 * component);
    }
    return result;
}

} // namespace

QString ColorToText(TColor color) {
    return QStringLiteral("%1,%2,%3")
        .arg(color & 0xFF)
        .arg((color >> 8) & 0xFF)
        .arg((color >> 16) & 0xFF);
}

std::optional<TColor> TextToColor(const QString& text) {
    const TParsed parsed = Parse(text);
    if (parsed.FaultComponent >= 0)
        return std::nullopt;
    return parsed.Color;
}

QString ColorTextFault(const QString& text, const TValueList& values) {
    static const char* const Keys[] = { "Val13", "Val14", "Val15" };
    const TParsed parsed = Parse(text);
    if (parsed.FaultComponent < 0)
        return {};
    return values.Format(
        QLatin1String(Keys[parsed.FaultComponent]), { text.left(40), parsed.FaultDigits });
}

QColor ColorToQColor(TColor color) {
    return QColor(int(color & 0xFF), int((color >> 8) & 0xFF), int((color >> 16) & 0xFF));
}

TColor QColorToColor(const QColor& color) {
    const QColor rgb = color.toRgb();
    return TColor(rgb.red()) | TColor(rgb.green()) << 8 | TColor(rgb.blue()) << 16;
}

TTheme DefaultFileTheme() {
    TTheme theme;
    for (const TColorKey& key : ColorKeys)
        theme.*key.Field = key.Default;
    return theme;
}

bool TThemeList::LoadThemes(const QString& fileName) {
    Themes.clear();
    m_RefusedFile.clear();
    const QFileInfo info(fileName);
    const TFileCheck check = CheckFileToRead(QFile::encodeName(fileName).toStdString());
    if (check == TFileCheck::Missing)
        return true;
    QFile probe(fileName);
    if (check != TFileCheck::Regular || info.size() > MaxThemesFileSize
        || !probe.open(QIODevice::ReadOnly)) {
        m_RefusedFile = info.absoluteFilePath();
        return false;
    }
    probe.close();

    QSettings ini(fileName, QSettings::IniFormat);
    if (ini.status() != QSettings::NoError) {
        m_RefusedFile = info.absoluteFilePath();
        return false;
    }
    // A set, so that a file of tens of thousands of sections is not searched once per section.
    const QStringList groups = ini.childGroups();
    const QSet<QString> sections(groups.begin(), groups.end());
    for (qsizetype i = 0; sections.contains(SectionName(i)); ++i) {
        ini.beginGroup(SectionName(i));
        TTheme theme = DefaultFileTheme();
        theme.Name = StringValue(ini.value(QStringLiteral("Name")));
        for (const TColorKey& key : ColorKeys) {
            bool ok = false;
            const qlonglong number
                = StringValue(ini.value(QLatin1String(key.Key))).trimmed().toLongLong(&ok);
            if (ok && number >= 0 && number <= 0xFFFFFF)
                theme.*key.Field = TColor(number);
        }
        ini.endGroup();
        Themes.push_back(theme);
    }
    return true;
}

bool TThemeList::SaveThemes(const QString& fileName) const {
    // The refused file is never written over; once it has been moved away, its name is free.
    if (!m_RefusedFile.isEmpty() && QFileInfo(fileName).absoluteFilePath() == m_RefusedFile
        && (QFileInfo::exists(m_RefusedFile) || QFileInfo(m_RefusedFile).isSymLink()))
        return false;
    QSettings ini(fileName, QSettings::IniFormat);
    for (size_t i = 0; i < Themes.size(); ++i) {
        ini.beginGroup(SectionName(qsizetype(i)));
        ini.setValue(QStringLiteral("Name"), Themes[i].Name);
        for (const TColorKey& key : ColorKeys)
            ini.setValue(QLatin1String(key.Key), qulonglong(Themes[i].*key.Field & 0xFFFFFF));
        ini.endGroup();
    }
    const QStringList groups = ini.childGroups();
    const QSet<QString> sections(groups.begin(), groups.end());
    for (qsizetype n = qsizetype(Themes.size()); sections.contains(SectionName(n)); ++n)
        ini.remove(SectionName(n));
    ini.sync();
    return ini.status() == QSettings::NoError;
}

QString ThemesFile() {
    const QString path = AppPaths::ConfigDir() + QStringLiteral("/Themes.ini");
    if (!QFileInfo::exists(path)) {
        const QString shipped = AppPaths::FindShared(QStringLiteral("Themes.ini"));
        if (!shipped.isEmpty() && QFile::copy(shipped, path))
            QFile::setPermissions(
                path, QFile::permissions(path) | QFile::ReadOwner | QFile::WriteOwner);
    }
    return path;
}
