#pragma once

// Standard algebraic notation and PGN for the games of the history.

#include "UnitChessBoard.h"
#include "UnitHistory.h"

#include <string>
#include <vector>

// The SAN of each move of the game, replayed from the initial position on a TChessBoard; stops
// (and answers what it has) at a move the board refuses: a square off the board, a piece of the
// side not to move, or a move that is not legal. A promotion whose record holds no piece kind
// (moves read from the oldest file version) is taken to be to a queen.
std::vector<std::string> SanMoves(const TMoveList& moves);
// The same from a given position, with `side` to move first.
std::vector<std::string> SanMovesFrom(
    const TChessBoard& start, TPieceColour side, const TMoveList& moves);
// The SAN of the moves of the list from index `first` on, for a game whose moves led to `board`:
// they are taken back on a copy of the board and played again from there. Empty when a move
// cannot be taken back; otherwise stops where SanMovesFrom stops.
std::vector<std::string> SanOfLastMoves(
    const TChessBoard& board, const TMoveList& moves, uint16_t first);
// One game: tags, empty line, wrapped movetext, result. Lines end with LF.
std::string GamePgn(const TGameInfo& game);
// A game from the position of a FEN (with the SetUp and FEN tags); an empty FEN is the initial
// position. The FEN must load (LoadFen), or EFenError is thrown.
std::string GamePgn(const TGameInfo& game, const std::string& startFen);
// A tag value between the quotes: backslash and quote escaped, control characters as spaces.
std::string PgnTagValue(const std::string& value);
