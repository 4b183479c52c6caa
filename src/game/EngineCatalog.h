#pragma once

// The UCI engines the user can put at the board: each with the name it is shown under, the
// program that runs it, its arguments and the values of the engine's own options that are sent
// to it with setoption. The list is kept in section "Engines" of the settings file. Qt Core only.

#include <QPair>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <QVector>

#include <optional>
#include <vector>

struct TEngineEntry {
    QString Name;
    QString Command;
    QStringList Arguments;
    // Only the options whose value differs from the engine's default, in the order they were set.
    QVector<QPair<QString, QString>> Options;
    friend bool operator==(const TEngineEntry&, const TEngineEntry&) = default;
};

struct TEngineCatalog {
    std::vector<TEngineEntry> Entries;

    // The first entry of that name (names compared exactly); none when there is none.
    const TEngineEntry* Find(const QString& name) const;
    friend bool operator==(const TEngineCatalog&, const TEngineCatalog&) = default;
};

// The most entries, and options per entry, the settings file is read for; a count above is cut.
constexpr int MaxEngineEntries = 64;
constexpr int MaxEngineOptions = 256;

// Reads section "Engines" of the settings file: none when the file has no such section (a section
// header with no key below it, as a user who emptied the list by hand leaves it, is an empty
// list). A damaged section gives what can be read of it: an entry without a command is skipped,
// a count that is not a number reads as 0, one above the limits is cut. Never fails.
std::optional<TEngineCatalog> ReadEngineCatalog(QSettings& ini);
// Replaces section "Engines" with the list (an empty list is written as such, so that it stays
// empty at the next start).
void WriteEngineCatalog(QSettings& ini, const TEngineCatalog& catalog);

// The engines found on this machine, offered when the settings file has no list yet: Stockfish
// in /usr/games, /usr/bin, /usr/local/bin or on the PATH, and wintermoot-engine beside the
// program or on the PATH. `programDir` is the running program's folder, `path` the PATH value.
TEngineCatalog OfferedEngines(const QString& programDir, const QString& path);
// The same with the fixed places given, for tests: each candidate is (name, file name, places).
TEngineCatalog FindEngines(
    const std::vector<std::pair<QString, QStringList>>& candidates, const QString& path);

// The arguments of an engine as the user types them: separated by spaces, a part in double
// quotes kept whole. And back: a part holding a space or a quote is quoted.
QStringList SplitArguments(const QString& text);
QString JoinArguments(const QStringList& arguments);

// One option an engine announces in answer to uci.
struct TUciOption {
    enum TType { Check, Spin, Combo, Button, String };
    QString Name;
    TType Type = String;
    QString Default;
    int Min = 0;
    int Max = 0;
    QStringList Vars;
    friend bool operator==(const TUciOption&, const TUciOption&) = default;
};

// Reads one "option name <name> type <type> [default <x>] [min <n>] [max <n>] [var <v>]..."
// line. The name and every value may hold spaces; "<empty>" is an empty string. Anything that
// is not such a line (another command, no name, an unknown type, a spin without numbers) gives
// none.
std::optional<TUciOption> ParseUciOption(const QString& line);
