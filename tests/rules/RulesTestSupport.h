#pragma once

// Helpers shared by the rules tests: squares by name, boards from FEN text, and a byte snapshot
// of everything a board holds.

#include "Fen.h"
#include "UnitChessBoard.h"

#include <sstream>
#include <string>

// "e4" -> (5,4).
inline TPoint Sq(const std::string& name) {
    return MakePoint(name[0] - 'a' + 1, name[1] - '0');
}

// The board section the board saves: squares with kinds, colours and move counts, both captured
// lists and counts, king squares, EnPassant and LastMoveTo. Equal snapshots mean equal boards.
inline std::string Snapshot(const TChessBoard& board) {
    std::ostringstream out;
    board.SaveToStream(out);
    return out.str();
}

inline void LoadSnapshot(TChessBoard& board, const std::string& bytes) {
    std::istringstream in(bytes);
    board.LoadFromStream(in);
}

// Plays a move such as "e2e4" with validation and returns its flags.
inline TMoveResult Play(TChessBoard& board, const std::string& move) {
    return board.MovePiece(Sq(move.substr(0, 2)), Sq(move.substr(2, 2)), true);
}

inline bool Legal(TChessBoard& board, const std::string& move) {
    return board.IsLegalMove(Sq(move.substr(0, 2)), Sq(move.substr(2, 2)));
}

// GoogleTest row names for tables whose rows carry a Name field.
struct RowName {
    template <typename Info> std::string operator()(const Info& info) const {
        return info.param.Name;
    }
};
