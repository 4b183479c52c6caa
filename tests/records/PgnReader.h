#pragma once

// A strict reader of the PGN the program exports, written for the tests: it checks the tag
// syntax and the Seven Tag Roster, the move numbers, the line length, and replays every SAN
// move by finding the single legal move it names on a board, refusing ambiguous, needlessly
// disambiguated or wrongly marked moves. Any fault throws std::runtime_error naming it.

#include "UnitChessBoard.h"

#include <string>
#include <utility>
#include <vector>

struct TPgnMove {
    TPoint From;
    TPoint To;
    uint8_t Promotion = 0; // a piece kind, 0 when the move is no promotion
};

struct TPgnGame {
    std::vector<std::pair<std::string, std::string>> Tags;
    std::vector<std::string> Sans;
    std::vector<TPgnMove> Moves;
    std::string Result;

    std::string Tag(const std::string& name) const;
};

std::vector<TPgnGame> ReadPgn(const std::string& text);
