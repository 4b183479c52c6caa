#pragma once

// How a game ended: the result that the history stores (its values are part of "history.dat")
// and the reason the controller gives with it.

#include "UnitChessPiece.h"

#include <cstdint>
#include <optional>

enum TGameResult : uint8_t {
    grUnfinished = 0,
    grWhiteWon = 1,
    grBlackWon = 2,
    grWhiteForfeited = 3,
    grBlackForfeited = 4,
    grTied = 5
};

// What ended a game. Checkmate gives a win; stalemate, bare kings and the draw rules a tie; a
// forfeit the forfeiting side's result; a move list with no room for another move ends the game
// unfinished.
enum TGameEndReason : uint8_t {
    geCheckmate = 0,
    geStalemate = 1,
    // Only the two kings are left.
    geBareKings = 2,
    geMoveListFull = 3,
    geForfeit = 4,
    // The same position for the third time, with the same side to move.
    geRepetition = 5,
    // A hundred half-moves without a capture or a pawn move.
    geFiftyMoves = 6,
    // Neither side has the material left to mate.
    geInsufficientMaterial = 7
};

constexpr bool IsDrawByRule(TGameEndReason reason) {
    return reason == geRepetition || reason == geFiftyMoves || reason == geInsufficientMaterial;
}

// The reason in plain lower-case words ("checkmate", "threefold repetition" ...), as the
// command-line tool prints it.
constexpr const char* ReasonWords(TGameEndReason reason) {
    switch (reason) {
    case geCheckmate:
        return "checkmate";
    case geStalemate:
        return "stalemate";
    case geBareKings:
        return "bare kings";
    case geMoveListFull:
        return "move list full";
    case geForfeit:
        return "forfeit";
    case geRepetition:
        return "threefold repetition";
    case geFiftyMoves:
        return "fifty-move rule";
    case geInsufficientMaterial:
        return "insufficient material";
    }
    return "unknown";
}

// The win of the colour that gave mate.
constexpr TGameResult WonBy(TPieceColour colour) {
    return colour == pcWhite ? grWhiteWon : grBlackWon;
}

// The result of the colour that forfeits.
constexpr TGameResult ForfeitedBy(TPieceColour colour) {
    return colour == pcWhite ? grWhiteForfeited : grBlackForfeited;
}

// The colour that won, by mate or by the other side's forfeit; none for a tie, an unfinished
// game or a value that is no result.
constexpr std::optional<TPieceColour> WinnerOf(TGameResult result) {
    switch (result) {
    case grWhiteWon:
    case grBlackForfeited:
        return pcWhite;
    case grBlackWon:
    case grWhiteForfeited:
        return pcBlack;
    case grUnfinished:
    case grTied:
        break;
    }
    return std::nullopt;
}

constexpr bool IsForfeit(TGameResult result) {
    return result == grWhiteForfeited || result == grBlackForfeited;
}

// The result in plain lower-case words ("white won", "tied" ...), as the command-line tool
// prints it; "unfinished" for grUnfinished and for a value that is no result.
constexpr const char* ResultWords(TGameResult result) {
    switch (result) {
    case grWhiteWon:
        return "white won";
    case grBlackWon:
        return "black won";
    case grWhiteForfeited:
        return "white forfeited";
    case grBlackForfeited:
        return "black forfeited";
    case grTied:
        return "tied";
    case grUnfinished:
        break;
    }
    return "unfinished";
}
