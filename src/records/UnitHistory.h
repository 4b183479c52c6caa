#pragma once

// The history of finished games: a chain of game records, oldest first, kept in "history.dat".
// Reading refuses bad input without crashing and without allocating beyond the file's size: a
// text length or move count larger than the bytes left, a square off the board or a bad piece
// kind ends the read at that game, and only the games read completely before it are kept.

#include "GameResult.h"
#include "UnitMoveList.h"

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <string>

struct TGameInfo {
    double Date = 0; // days since 30 December 1899, time of day as the fraction
    std::string White; // UTF-8
    std::string Black;
    int32_t WhiteTime = 0;
    int32_t BlackTime = 0;
    uint8_t Result = grUnfinished;
    TMoveList Moves;
    TGameInfo* Prev = nullptr;
    TGameInfo* Next = nullptr;
};

// What a load of "history.dat" found.
enum THistoryLoad : uint8_t {
    hlLoaded, // the whole file was read
    hlMissing, // no file of that name
    hlUnreadable, // the file exists but cannot be opened or read (a folder, no permission)
    hlNotHistory, // the bytes cannot be a history: empty, too large, or another kind of file
    hlOldVersion, // the header names a version below MinFileVersion
    hlNewerVersion, // the header names a version above FileVersion: a newer program's file
    hlDamaged // a history that breaks off or holds a bad value; the games before it are kept
};

// Conversions between the file's day count and QDateTime (local time). Days before the epoch
// keep the time of day as a positive fraction of a negative number (-1.25 is 29 December 1899,
// 6:00). A day count that is not finite or lies outside the years 1 to 9999 decodes to an
// invalid QDateTime. A reading that the local clock skipped (the change to summer time) decodes
// to that same reading at the local offset before the change, so that it still shows.
double EncodeDate(const QDateTime& dateTime);
QDateTime DecodeDate(double days);

class THistory {
public:
    static constexpr const char* Magic = "WintermootGames";
    static constexpr uint16_t FileVersion = 101;
    static constexpr uint16_t MinFileVersion = 100;

    THistory();
    ~THistory();
    THistory(const THistory&) = delete;
    THistory& operator=(const THistory&) = delete;

    // Appends the game with its own copy of the moves. False, and nothing added, for a move
    // that could not be read back from the file (a square off the board, a bad piece kind).
    bool AddGame(const std::string& white, const std::string& black, double date, int32_t whiteTime,
        int32_t blackTime, uint8_t result, const TMoveList& moves);
    bool DeleteGame(uint16_t position); // 1-based
    TGameInfo* GetGame(uint16_t position) const; // none for 0 or above Count
    void Clear();

    // Writes through a temporary file renamed over the target, so a failed save leaves the
    // previous file as it was.
    bool SaveToFile(const QString& fileName) const;
    // Replaces the history by the file's games. False when the file cannot be read, is of a
    // version this program does not read, or is damaged; a damaged file keeps the games before
    // the damage.
    bool LoadFromFile(const QString& fileName);
    // The same; `damaged` (when given) tells whether the file was read but broke off, held a
    // bad value or is not a history at all, as opposed to a file that could not be read or is
    // of another version.
    bool LoadFromFile(const QString& fileName, bool* damaged);
    // Replaces the history by the file's games and tells what was found. A file without the
    // header is read as the oldest form (a game count, then the games) only where its bytes can
    // be one: at least the count, nothing after a count of 0, and a first game that reads whole;
    // otherwise it is hlNotHistory and the history stays empty. A file cut short inside the
    // header is hlDamaged.
    THistoryLoad Load(const QString& fileName);

    // The tag-pair text of one game. False, and nothing written, for a position without a game.
    bool ExportGame(uint16_t position, const QString& fileName) const;
    // One game as PGN. False, and nothing written, for a position without a game.
    bool ExportPgn(uint16_t position, const QString& fileName) const;
    // Every game, oldest first, in one PGN file.
    bool ExportAllPgn(const QString& fileName) const;

    TGameInfo* First() const { return m_First; }
    TGameInfo* Last() const { return m_Last; }
    int32_t Count() const { return m_Count; }

private:
    void Append(TGameInfo* game);

    TGameInfo* m_First = nullptr;
    TGameInfo* m_Last = nullptr;
    int32_t m_Count = 0;
};
