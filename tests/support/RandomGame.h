#pragma once

// Random legal play for the tests and the command-line benchmarks. It needs only the rules. The
// draws are taken from a std::mt19937 modulo a count, never through a standard distribution,
// so a seed gives the same game with every standard library.

#include "Perft.h"
#include "UnitMoveList.h"

#include <functional>
#include <optional>
#include <random>
#include <vector>

// Which legal moves a random pick prefers, so that short games reach what a caller needs.
enum TMovePreference : uint8_t {
    mpAny, // every legal move alike
    mpPawns, // a pawn move two times in three, so that promotions come early
    mpSpecial, // en passant or castling three times in four, else a pawn move one time in two
    mpCaptures, // the first capture of the list one time in three, so that games reach endings
    mpQuiet, // a move that is neither a capture nor a pawn's nine times in ten (long stretches
             // without either, for the draw rules)
};

// One of `legal`, the legal moves of the side to move on `board`; `legal` must not be empty.
TMoveSquares PickRandomMove(const TChessBoard& board, const std::vector<TMoveSquares>& legal,
    std::mt19937& random, TMovePreference preference = mpAny);

// The piece of a promotion: rook, knight, bishop or queen alike.
uint8_t RandomPromotion(std::mt19937& random);

struct TRandomPlay {
    TMovePreference Preference = mpAny;
    // The piece every promotion becomes; when empty, a random one (RandomPromotion).
    std::optional<uint8_t> Promotion;
    // Called before each move with the board as it is then.
    std::function<void(TChessBoard& board, const TMoveSquares& move)> BeforeMove;
};

// Plays up to `plies` random legal moves on `board`, `side` to move first, and records each in
// `moves` as the game controller does: a promotion's record drops the end of the game that the
// pawn alone would give and takes the flags of the promotion, with the piece chosen. Stops early
// when the side to move has no legal move, or after recording a move the board refused (its
// flags hold mrInvalid). Returns the side to move.
TPieceColour PlayRandomGame(TChessBoard& board, TPieceColour side, TMoveList& moves, int plies,
    std::mt19937& random, const TRandomPlay& play = {});
