#pragma once

// Shared argument handling of the command-line tool's subcommands.

#include "UnitChessBoard.h"

#include <initializer_list>
#include <stdexcept>
#include <string>
#include <vector>

// A bad command line; main prints the message and exits with status 2.
class EUsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

using TArgs = std::vector<std::string>;

int ParseInt(const std::string& text, const char* what, int low, int high);
// An option that takes a whole number, such as "--max-depth 6".
struct TIntOption {
    const char* Name;
    int* Value;
    int Low;
    int High;
};
// Reads "NAME VALUE" pairs into the given options; an unknown option or a missing or bad value
// throws EUsageError naming the known options.
void ParseIntOptions(const TArgs& args, std::initializer_list<TIntOption> options);
// Parses a square such as "e2"; throws EUsageError otherwise.
TPoint ParseSquare(const std::string& text);
// Sets up the board from a FEN argument; throws EUsageError for a bad FEN.
TPieceColour SetUpFen(TChessBoard& board, const std::string& fen);
std::string MoveText(TPoint from, TPoint to);
