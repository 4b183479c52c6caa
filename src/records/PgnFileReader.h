#pragma once

// A reader of PGN files as other programs write them: any tags in any order, SAN in every common
// spelling, move numbers, comments, variations (skipped), NAGs, escape lines, several games a
// file, UTF-8 or Latin-1 text, LF, CR LF or CR line ends. Every move is replayed on a board, so
// the moves it gives are legal and recorded as the game controller records them. A move it
// cannot play stops that game only; the other games of the file still read. Standard library and
// the rules only.

#include "MoveInput.h"
#include "UnitChessBoard.h"
#include "UnitMoveList.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <istream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Limits against hostile files; each one passed gives a clean error.
struct TPgnLimits {
    // The largest text read at once (a file is read in pieces and has no such limit).
    size_t MaxFileBytes = size_t(64) << 20;
    // The longest line of a file read in pieces.
    size_t MaxLineBytes = size_t(16) << 20;
    // The longest tag name, tag value or movetext token.
    size_t MaxTokenLength = 1024;
    // The deepest nesting of variations.
    int MaxVariationDepth = 64;
    // The most games read from one file; the rest are not read.
    size_t MaxGames = 100000;
    // The most tags one game may have.
    size_t MaxTags = 1000;
};

struct TPgnGameRecord {
    TPgnGameRecord() = default;
    TPgnGameRecord(const TPgnGameRecord&) = delete;
    TPgnGameRecord& operator=(const TPgnGameRecord&) = delete;

    // 1-based position in the file.
    size_t Number = 0;
    // Every tag in the file's order; values in UTF-8 with control characters as spaces.
    std::vector<std::pair<std::string, std::string>> Tags;
    // The FEN tag's position when the game starts from one; empty for the initial position.
    std::string StartFen;
    // The side to move at the start.
    TPieceColour StartSide = pcWhite;
    // The moves that were played, as the controller records them (the kind standing on the
    // destination right after the move; a promotion's piece and flags completed).
    TMoveList Moves;
    // "1-0", "0-1", "1/2-1/2" or "*": the result token, or the Result tag when the movetext ends
    // without one, or "*".
    std::string Result = "*";
    // Why the game stopped before its end, naming the game, the ply and the token; empty when
    // the whole game was read.
    std::string Error;
    // The castling rights of the FEN tag that its position cannot have (their king or rook is
    // not on its square): they are dropped, StartFen is the position without them, and Warning
    // says so, naming the game. Both empty when nothing was dropped.
    std::string DroppedCastling;
    std::string Warning;

    // The value of the first tag of that name; empty when there is none.
    std::string Tag(std::string_view name) const;
    // "White - Black" for messages, "?" for a missing name.
    std::string Players() const;
    // Sets up the board at the game's start position (the initial position, or StartFen).
    // False only for a StartFen that does not load, which a game read by this reader never has.
    bool SetUpStart(TChessBoard& board) const;
    // Makes this record a copy of `other` (records are not copied by accident: the move list is
    // large).
    void Assign(const TPgnGameRecord& other);
};

// Hears each game read and answers whether to go on.
using TPgnGameReceiver = std::function<bool(const TPgnGameRecord&)>;
// Reads games from somewhere, hands each to the receiver and answers the error of the file as a
// whole.
using TPgnGameSource = std::function<std::string(const TPgnGameReceiver&)>;

// Reads the text game by game and hands each finished game to `onGame`, which answers whether to
// go on. Answers the error of the file as a whole (empty when none): a file over the size limit,
// or more games than the games limit (the games before it are handed over).
std::string ReadPgnGames(std::string_view text,
    const std::function<bool(const TPgnGameRecord&)>& onGame, const TPgnLimits& limits = {});

// Hears how far a reading in pieces has come, after each piece: the bytes read so far. Answers
// whether to go on; false stops the reading, which then answers PgnReadCancelled.
using TPgnProgress = std::function<bool(uint64_t bytesRead)>;
extern const char* const PgnReadCancelled;

// The same from a stream, read in pieces of whole lines, so that the memory it takes is that of
// one game, whatever the size of the file. Also answers an error when a line is longer than
// limits.MaxLineBytes (as soon as that many bytes without a line end were read) or the stream
// fails before its end.
std::string ReadPgnStream(std::istream& in,
    const std::function<bool(const TPgnGameRecord&)>& onGame, const TPgnLimits& limits = {},
    const TPgnProgress& progress = {});
// The same from a file; also answers an error when there is no such file or it cannot be opened.
std::string ReadPgnFile(const std::string& path,
    const std::function<bool(const TPgnGameRecord&)>& onGame, const TPgnLimits& limits = {},
    const TPgnProgress& progress = {});

struct TPgnFile {
    std::deque<TPgnGameRecord> Games;
    // The error of the file as a whole; empty when none.
    std::string Error;
};

// Every game of the text.
TPgnFile ReadPgnText(std::string_view text, const TPgnLimits& limits = {});

// The bytes of a file, at most limits.MaxFileBytes. False with `error` set when the file cannot
// be read or is larger.
bool ReadPgnFileBytes(
    const std::string& path, std::string& bytes, std::string& error, const TPgnLimits& limits = {});

// The text as UTF-8: itself when it is valid UTF-8, otherwise each byte taken as Latin-1 (with
// the bytes 0x80 to 0x9F read as Windows-1252, as files marked Latin-1 nearly always mean them).
std::string PgnTextToUtf8(std::string_view text);

// The move a SAN token names on the board, for the side to move: found among the legal moves by
// the piece, the destination, any origin file or rank and the promotion piece; capture, check
// and annotation marks, '=' and '-' are ignored, "0-0" is castling. False with `why` set when
// the token names no legal move or more than one.
bool FindSanMove(TChessBoard& board, TPieceColour side, std::string_view token, TSanMove& move,
    std::string& why);

// The warning of a start position whose castling rights `dropped` were dropped.
std::string DroppedCastlingWarning(const std::string& dropped);

// A player's name from its tag; PGN writes "?" for a name it does not know, which gives "".
std::string PgnPlayerName(const TPgnGameRecord& game, const char* tag);
// A side's clock in seconds from the tags this program's export writes ("WhiteTime"); 0 when
// the tag is missing or not a plain number.
int32_t PgnSeconds(const TPgnGameRecord& game, const char* tag);
