#pragma once

// Adding the games of a PGN file to the history, as the command-line tool and the history window
// both do: each game the reader can play through is added unless it starts from a set-up
// position, has no moves, is already in the history or would make the history file too large
// to be read back.

#include "PgnFileReader.h"
#include "UnitHistory.h"

#include <QtGlobal>

#include <functional>
#include <string>
#include <string_view>

// What an import did.
struct THistoryImport {
    // Games the reader could read, games added, games skipped (read or not).
    int Read = 0;
    int Added = 0;
    int Skipped = 0;
    // The error of the file as a whole (too large, too many games); empty when none.
    std::string FileError;
};

// Files above this size are not read back by the history (THistory::Load), so an import never
// makes one.
constexpr qint64 HistoryFileLimit = qint64(1) << 30;
// The bytes of a history file that holds no game.
constexpr qint64 EmptyHistoryFileSize = 4 + 15 + 2 + 4;

// The bytes the history takes in its file.
qint64 HistoryStoredSize(const THistory& history);

// Adds the games of the PGN text to the history, whose file now takes `historySize` bytes.
// `report`, when given, hears each game: added or not, and a line that names the game and says
// why it was skipped or what was added.
THistoryImport ImportPgnIntoHistory(THistory& history, std::string_view pgnText, qint64 historySize,
    const std::function<void(bool added, const std::string& line)>& report = {});
// The same from a PGN file, read in pieces.
THistoryImport ImportPgnFileIntoHistory(THistory& history, const std::string& path,
    qint64 historySize,
    const std::function<void(bool added, const std::string& line)>& report = {});
// The same from any source of games: `read` hands each game to its receiver and answers the
// error of the file as a whole.
THistoryImport ImportPgnIntoHistory(THistory& history, const TPgnGameSource& read,
    qint64 historySize,
    const std::function<void(bool added, const std::string& line)>& report = {});

// "game N (White - Black)" for messages.
std::string DescribePgnGame(const TPgnGameRecord& game);
// "1 move", "N moves".
std::string MoveCountText(size_t count);
