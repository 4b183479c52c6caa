#pragma once

// The record of one side of a game, stored byte for byte in saved games and in the message that
// carries a whole game.

#include "UnitChessPiece.h"

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>

constexpr size_t PlayerRecordSize = 268;

struct TPlayer {
    // Strength of a computer player: 0 expert, 1 skilled, 2 novice.
    uint16_t Level = 0;
    bool Human = true;
    // UTF-8, at most 255 bytes when stored.
    std::string Name;
    bool Ready = false;
    // Seconds used on the clock.
    int32_t Time = 0;
    // 0 nothing, 1 in check, 2 stalemated, 3 checkmated.
    uint8_t Status = 0;
};

// Writes the 268-byte record; a name longer than 255 bytes is cut at a character boundary and
// the bytes that carry no meaning are written as 0.
void WritePlayer(std::ostream& out, const TPlayer& player);
// Reads a 268-byte record. Throws EStreamError when the stream ends early or a field holds a
// value no program writes (a flag other than 0 or 1, a negative time, a status above 3, a
// computer level above 2).
TPlayer ReadPlayer(std::istream& in);

class TChessBoard;
// The Status of the side to move in this position, as the controller records it after the move
// that led here: 0 nothing, 1 in check, 2 stalemated, 3 checkmated.
uint8_t PlayerStatus(TChessBoard& board, TPieceColour side);
