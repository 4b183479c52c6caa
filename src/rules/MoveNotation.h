#pragma once

// The text of a move in the three notation styles of the moves list, shared by the moves window,
// the history export and the command-line tool.

#include "UnitMoveList.h"

#include <string>

// nsStandard is the SAN of PGN ("Nbd2", "exd8=Q+", "O-O#"): it needs the position before each
// move, so MoveText cannot write it alone; the moves window takes it from the PGN writer.
enum TNotationStyle : int { nsAlgebraic = 0, nsMixed = 1, nsSimplified = 2, nsStandard = 3 };
inline constexpr int LastNotationStyle = nsStandard;

// The six piece letters in the order pawn, knight, rook, bishop, queen, king.
inline constexpr const char* DefaultPieceLetters = "PNRBQK";

// The letter of a piece kind taken from `pieces` (UTF-8, one character per piece in the order of
// DefaultPieceLetters). A text too short for the kind gives the default letter; a kind outside
// 0..5 gives an empty text.
std::string PieceLetter(int kind, const std::string& pieces);

// The text of a move: castling as "O-O" or "O-O-O" in every style; otherwise Algebraic ("Nf3",
// "Pxd8=N+", "Qh7#"), Mixed ("e5xd6", "e7-e8=Q+") or Simplified ("g1-f3"). A style outside 0..2
// (nsStandard included) is written as Simplified.
std::string MoveText(const TMoveRecord& move, int style, const std::string& pieces);
