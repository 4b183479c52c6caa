#pragma once

// The tag-pair text of one game: nine tag lines, an empty line, and every move on one line with a
// piece letter (pawns included) and only the destination square, closed by the result. Lines end
// with CR LF.

#include "UnitHistory.h"

#include <string>

// "1-0", "0-1", "1/2-1/2", or "*" for an unfinished game or an unknown result code.
std::string ResultToken(uint8_t result);
// The game's date as "yyyy.mm.dd" whatever the locale; "????.??.??" for a date that cannot be
// decoded.
std::string DateTag(double date);
// Minutes, ":", two-digit seconds: 75 is "1:15", 3600 is "60:00". A negative time is written
// with a leading minus sign.
std::string TimeText(int32_t seconds);
// "O-O" or "O-O-O" for castling; otherwise piece letter, "x" for a capture, destination,
// promotion ("=N") and "+" or "#".
std::string ExportMoveToken(const TMoveRecord& move);
// A player's name as a tag value: each line break or other control character (and the Unicode
// line separators) becomes a space, so that every tag stays on its own line and a name can never
// add a line of its own; everything else, quotes included, is written as stored.
std::string ExportTagValue(const std::string& value);
std::string GameExportText(const TGameInfo& game);
