#pragma once

// The program's settings: the fields the main window holds and other windows read, their
// defaults, and the settings file "Wintermoot.ini" that keeps them. The file is read once at
// start-up and written only when the options dialog applies its changes.

#include "EngineCatalog.h"

#include <QString>

#include <array>
#include <cstdint>
#include <optional>

// Colours are 0x00BBGGRR: red in the low byte.
using TColor = uint32_t;

// A board colour theme: a name and eleven colours, in the order the themes file keeps them.
struct TTheme {
    QString Name;
    TColor Board = 0xBF8040;
    TColor Player = 0xA86017;
    TColor Border = 0x000000;
    TColor Text = 0xFFFFFF;
    TColor Whites = 0xFFFFFF;
    TColor Blacks = 0xBF6000;
    TColor Hover = 0xFF9555;
    TColor Selected = 0x55D5FF;
    TColor GoodMove = 0x63F163;
    TColor BadMove = 0x6363F1;
    TColor LastMove = 0xAAAAAA;
    friend bool operator==(const TTheme&, const TTheme&) = default;
};

// The sound slots, in index order.
enum TSoundSlot { ssMoved = 0, ssCaptured, ssCheck, ssCheckmate, ssStalemate, ssMessage };
constexpr int SoundSlots = 6;

constexpr int PieceSetCount = 20;

// Address of the project's web server, a build setting: the default of GameServer, the server
// of the version file and the about box's web address.
extern const char* const DefaultGameServer;
// The version file on the project's web server; it does not follow the GameServer setting.
QString VersionFileAddress();

// The computer player's search depths the options offer, and the depth of a first run.
constexpr int MinSearchDepth = 2;
constexpr int MaxSearchDepth = 8;
constexpr int DefaultSearchDepth = 3;

struct TSettings {
    bool AutoUpdate = true;
    bool LearnMode = true;
    bool ShowLastMove = true;
    // With ShowLastMove, the square the last move left is marked as well as its target.
    bool ShowLastMoveFrom = false;
    QString LanguageFile = QStringLiteral("TolvanEn.lang");
    // 0 "Algebraic", 1 "Mixed", 2 "Simplified", 3 "Standard (SAN)" (TNotationStyle).
    uint8_t Notation = 2;
    QString GameServer = QString::fromLatin1(DefaultGameServer);
    TTheme Theme;
    bool Enhanced = false;
    // 1 .. PieceSetCount.
    int32_t ChessSet = 3;
    // 0 "Classic", 1 "Colored".
    uint8_t PieceStyle = 0;
    // The anti-aliased artwork of the set instead of its one-bit pieces.
    bool SmoothPieces = false;
    TColor WhiteColor = 0xFFFFFF;
    TColor BlackColor = 0x808080;
    std::array<bool, SoundSlots> SoundOn { true, true, true, true, true, true };
    std::array<QString, SoundSlots> SoundFile { QStringLiteral("chimes.wav"),
        QStringLiteral("notify.wav"), QStringLiteral("chord.wav"), QStringLiteral("tada.wav"),
        QStringLiteral("ding.wav"), QStringLiteral("ringout.wav") };
    // MinSearchDepth .. MaxSearchDepth; kept in section "Game".
    int SearchDepth = DefaultSearchDepth;
    // Games between persons end by threefold repetition, fifty moves and insufficient material
    // too; kept in section "Game". Off, the program's own rules, unless the user asks.
    bool DeclareDraws = false;
    // The UCI engines of section "Engines"; none when the file has no such section (a first
    // start, or a file of an older version), and the program then offers the engines it finds.
    std::optional<TEngineCatalog> Engines;
    friend bool operator==(const TSettings&, const TSettings&) = default;
};

// Whether QSettings may open the INI file at `path`: there is none yet, or it is a regular file.
// Anything else (a FIFO would hold QSettings up for good) is neither read nor written.
bool MayOpenIni(const QString& path);

// Reads every key of the INI file at `path`; a missing file or key, or a value out of range
// (a piece set outside 1..20, a notation above 2, a piece style above 1, a colour above
// 0xFFFFFF, a search depth outside 2..8, text where a number belongs), gives that key's default.
// Never fails.
TSettings LoadSettings(const QString& path);
// Section "Engines" is read as ReadEngineCatalog does.
// Writes every key, and the engine list when there is one, and flushes the file. Answers whether
// the file was written; a path that MayOpenIni refuses is not written.
bool SaveSettings(const TSettings& settings, const QString& path);
