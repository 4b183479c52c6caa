#pragma once

// A game read from PGN (or a bare FEN position) put into the controller as a loaded game: the
// same state a saved game gives when it is loaded, so that both the window and the command-line
// import go through one path.

#include "PgnFileReader.h"

#include <cstdint>
#include <string>

class TChessGame;
class TChessBoard;

// Plays the game's moves from its start position on `board`; answers the side to move after them.
TPieceColour ReplayPgnGame(const TPgnGameRecord& game, TChessBoard& board);

// Replaces the controller's game by the record's, as LoadGame does for a saved game: the game is
// stopped, both sides are persons named from the tags, the side to move is marked in check,
// checkmated or stalemated as its final position is, and GameLoaded is set. A record whose
// start position does not load changes nothing and answers false.
bool LoadPgnGame(const TPgnGameRecord& record, TChessGame& game);

// A record of the position a FEN text gives, with no moves; false with `error` set when the
// text is no FEN. Castling rights the position cannot have are dropped, as the PGN reader drops
// them (DroppedCastling, Warning).
bool PgnRecordFromFen(const std::string& fen, TPgnGameRecord& record, std::string& error);
