#include "Settings.h"

#include "MoveNotation.h"
#include "RegularFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStringList>
#include <QVariant>

#include <optional>

#ifndef WINTERMOOT_SERVER_URL
#define WINTERMOOT_SERVER_URL "http://localhost:8570"
#endif

const char* const DefaultGameServer = WINTERMOOT_SERVER_URL;

QString VersionFileAddress() {
    return QString::fromLatin1(DefaultGameServer) + QStringLiteral("/versions.inf");
}

namespace {

struct TSoundKeys {
    const char* PlayOn;
    const char* File;
};

// The sound keys, in slot order.
constexpr TSoundKeys SoundKeys[SoundSlots] = {
    { "PlayOnMoved", "PieceMoved" },
    { "PlayOnCaptured", "PieceCaptured" },
    { "PlayOnCheck", "KingCheck" },
    { "PlayOnCheckmate", "KingCheckmate" },
    { "PlayOnStalemate", "KingStalemate" },
    { "PlayOnMessage", "ReceiveMessage" },
};

// The theme's colour keys, in the themes file's order, with the fields they fill.
struct TColorKey {
    const char* Key;
    TColor TTheme::*Field;
};

constexpr TColorKey ThemeColorKeys[] = {
    { "Board", &TTheme::Board },
    { "Player", &TTheme::Player },
    { "Border", &TTheme::Border },
    { "Text", &TTheme::Text },
    { "Whites", &TTheme::Whites },
    { "Blacks", &TTheme::Blacks },
    { "Hover", &TTheme::Hover },
    { "Selected", &TTheme::Selected },
    { "GoodMove", &TTheme::GoodMove },
    { "BadMove", &TTheme::BadMove },
    { "LastMove", &TTheme::LastMove },
};

constexpr TColor MaxColor = 0xFFFFFF;

// Reads the keys of the group the settings object is in, each falling back to its default when
// missing or unreadable.
class TIniReader {
public:
    explicit TIniReader(const QSettings& ini)
        : m_Ini(ini) { }

    std::optional<qlonglong> Integer(const char* key) const {
        const QVariant value = m_Ini.value(QLatin1String(key));
        if (!value.isValid() || value.typeId() == QMetaType::QStringList)
            return std::nullopt;
        bool ok = false;
        const qlonglong number = value.toString().trimmed().toLongLong(&ok);
        if (!ok)
            return std::nullopt;
        return number;
    }

    bool Boolean(const char* key, bool fallback) const {
        const auto number = Integer(key);
        return number ? *number != 0 : fallback;
    }

    qlonglong Ranged(const char* key, qlonglong low, qlonglong high, qlonglong fallback) const {
        const auto number = Integer(key);
        return number && *number >= low && *number <= high ? *number : fallback;
    }

    TColor Color(const char* key, TColor fallback) const {
        return TColor(Ranged(key, 0, MaxColor, fallback));
    }

    // An unquoted value holding commas reads as a list; its parts are joined back so that a
    // hand-edited value is not lost.
    QString String(const char* key, const QString& fallback) const {
        const QVariant value = m_Ini.value(QLatin1String(key));
        if (!value.isValid())
            return fallback;
        if (value.typeId() == QMetaType::QStringList)
            return value.toStringList().join(QStringLiteral(", "));
        if (!value.canConvert<QString>())
            return fallback;
        return value.toString();
    }

private:
    const QSettings& m_Ini;
};

void WriteBoolean(QSettings& ini, const char* key, bool value) {
    ini.setValue(QLatin1String(key), value ? 1 : 0);
}

void WriteInteger(QSettings& ini, const char* key, qlonglong value) {
    ini.setValue(QLatin1String(key), value);
}

void WriteString(QSettings& ini, const char* key, const QString& value) {
    ini.setValue(QLatin1String(key), QVariant(value));
}

} // namespace

bool MayOpenIni(const QString& path) {
    return CheckFileToRead(QFile::encodeName(path).toStdString()) != TFileCheck::NotRegular;
}

TSettings LoadSettings(const QString& path) {
    const TSettings defaults;
    TSettings settings;
    if (!MayOpenIni(path))
        return settings;
    QSettings ini(path, QSettings::IniFormat);
    const TIniReader read(ini);

    ini.beginGroup(QStringLiteral("Options"));
    settings.AutoUpdate = read.Boolean("AutoUpdate", defaults.AutoUpdate);
    settings.LearnMode = read.Boolean("LearnMode", defaults.LearnMode);
    settings.ShowLastMove = read.Boolean("ShowLastMove", defaults.ShowLastMove);
    settings.ShowLastMoveFrom = read.Boolean("ShowLastMoveFrom", defaults.ShowLastMoveFrom);
    settings.LanguageFile = read.String("LanguageFile", defaults.LanguageFile);
    settings.Notation = uint8_t(read.Ranged("Notation", 0, LastNotationStyle, defaults.Notation));
    settings.GameServer = read.String("GameServer", defaults.GameServer);
    ini.endGroup();

    ini.beginGroup(QStringLiteral("Gameboard"));
    settings.Enhanced = read.Boolean("Enhanced", defaults.Enhanced);
    settings.Theme.Name = read.String("Theme", defaults.Theme.Name);
    for (const TColorKey& color : ThemeColorKeys)
        settings.Theme.*color.Field = read.Color(color.Key, defaults.Theme.*color.Field);
    ini.endGroup();

    ini.beginGroup(QStringLiteral("ChessSet"));
    settings.ChessSet = int32_t(read.Ranged("ChessSet", 1, PieceSetCount, defaults.ChessSet));
    settings.PieceStyle = uint8_t(read.Ranged("PieceStyle", 0, 1, defaults.PieceStyle));
    settings.SmoothPieces = read.Boolean("SmoothPieces", defaults.SmoothPieces);
    settings.WhiteColor = read.Color("WhiteColor", defaults.WhiteColor);
    settings.BlackColor = read.Color("BlackColor", defaults.BlackColor);
    ini.endGroup();

    ini.beginGroup(QStringLiteral("Sounds"));
    for (int slot = 0; slot < SoundSlots; ++slot)
        settings.SoundOn[slot] = read.Boolean(SoundKeys[slot].PlayOn, defaults.SoundOn[slot]);
    for (int slot = 0; slot < SoundSlots; ++slot)
        settings.SoundFile[slot] = read.String(SoundKeys[slot].File, defaults.SoundFile[slot]);
    ini.endGroup();

    // The same section holds the new-game dialog's entries, which that dialog reads itself.
    ini.beginGroup(QStringLiteral("Game"));
    settings.SearchDepth
        = int(read.Ranged("SearchDepth", MinSearchDepth, MaxSearchDepth, defaults.SearchDepth));
    settings.DeclareDraws = read.Boolean("DeclareDraws", defaults.DeclareDraws);
    ini.endGroup();

    settings.Engines = ReadEngineCatalog(ini);
    return settings;
}

bool SaveSettings(const TSettings& settings, const QString& path) {
    if (!MayOpenIni(path))
        return false;
    QSettings ini(path, QSettings::IniFormat);
    // A file with lines the reader could not parse reports a format error that would hide the
    // outcome of the write; those lines are dropped by the write either way. QSettings parses a
    // section only when it is first used, so every section is read here: a damaged section the
    // settings do not use would otherwise raise the error only in the write.
    ini.allKeys();
    const bool damaged = ini.status() == QSettings::FormatError;

    ini.beginGroup(QStringLiteral("Options"));
    WriteBoolean(ini, "AutoUpdate", settings.AutoUpdate);
    WriteBoolean(ini, "LearnMode", settings.LearnMode);
    WriteBoolean(ini, "ShowLastMove", settings.ShowLastMove);
    WriteBoolean(ini, "ShowLastMoveFrom", settings.ShowLastMoveFrom);
    WriteString(ini, "LanguageFile", settings.LanguageFile);
    WriteInteger(ini, "Notation", settings.Notation);
    WriteString(ini, "GameServer", settings.GameServer);
    ini.endGroup();

    ini.beginGroup(QStringLiteral("Gameboard"));
    WriteBoolean(ini, "Enhanced", settings.Enhanced);
    WriteString(ini, "Theme", settings.Theme.Name);
    for (const TColorKey& color : ThemeColorKeys)
        WriteInteger(ini, color.Key, settings.Theme.*color.Field);
    ini.endGroup();

    ini.beginGroup(QStringLiteral("ChessSet"));
    WriteInteger(ini, "ChessSet", settings.ChessSet);
    WriteInteger(ini, "PieceStyle", settings.PieceStyle);
    WriteBoolean(ini, "SmoothPieces", settings.SmoothPieces);
    WriteInteger(ini, "WhiteColor", settings.WhiteColor);
    WriteInteger(ini, "BlackColor", settings.BlackColor);
    ini.endGroup();

    ini.beginGroup(QStringLiteral("Sounds"));
    for (int slot = 0; slot < SoundSlots; ++slot)
        WriteBoolean(ini, SoundKeys[slot].PlayOn, settings.SoundOn[slot]);
    for (int slot = 0; slot < SoundSlots; ++slot)
        WriteString(ini, SoundKeys[slot].File, settings.SoundFile[slot]);
    ini.endGroup();

    ini.beginGroup(QStringLiteral("Game"));
    WriteInteger(ini, "SearchDepth", settings.SearchDepth);
    WriteBoolean(ini, "DeclareDraws", settings.DeclareDraws);
    ini.endGroup();

    if (settings.Engines)
        WriteEngineCatalog(ini, *settings.Engines);

    ini.sync();
    if (ini.status() == QSettings::NoError)
        return true;
    const QFileInfo file(path);
    return damaged && ini.status() == QSettings::FormatError && file.isFile() && file.isWritable();
}
