#pragma once

// Reading a move as a person or a file writes it: SAN in its common spellings ("Nf3", "exd5",
// "O-O", "0-0-0", "e8=Q", "e8Q", with "+", "#", "!?" or "e.p." after it) and coordinates
// ("g1f3", "g1-f3", "e7e8q", "e7-e8=Q"). The text is matched against the legal moves of the
// position, so a move it answers can be played as it is. Standard library and the rules only.

#include "UnitChessBoard.h"

#include <cstdint>
#include <string>
#include <string_view>

struct TSanMove {
    TPoint From;
    TPoint To;
    uint8_t Promotion = 0; // a piece kind (rook .. queen); 0 when the move is no promotion
};

// Why a text names no single move.
enum TMoveInputError : uint8_t {
    miNone = 0,
    // Not written as a move at all (empty, stray characters, no destination square).
    miNotAMove,
    // Castling written, but the side cannot castle that way now.
    miCastlingIllegal,
    // Written as a move, but no legal move of the side matches it.
    miNoLegalMove,
    // More than one legal move matches: the origin file or rank is needed.
    miAmbiguous,
    // A pawn reaches the last rank and the text does not name its new piece.
    miPromotionMissing,
    // A promotion piece is named for a move that is no promotion.
    miNotAPromotion,
};

struct TMoveInputResult {
    TMoveInputError Error = miNone;
    // The move when Error is miNone.
    TSanMove Move;
    // How many legal moves matched (for miAmbiguous).
    int Matches = 0;
    // For castling: 2 short, 3 long; 0 for any other move.
    int Castling = 0;
};

// The move the text names for `side` on `board`. The first character may be a piece letter in
// the order of DefaultPieceLetters ("PNRBQK") taken from `pieces` (UTF-8, as the notation's
// language writes them; a letter not found there is read as the English one), and so may a
// promotion piece. Without a piece letter, a text that gives both the origin and the destination
// square ("g1f3") moves whatever piece of the side stands on the origin. Any text (also junk)
// gives a result; the board is only tested, never changed (its Modified flag may be).
TMoveInputResult ReadMoveInput(TChessBoard& board, TPieceColour side, std::string_view text,
    std::string_view pieces = "PNRBQK");

// The promotion piece (rook .. queen) a letter names: the uppercase letter of `pieces` (as above)
// or the English letter in either case; 0 for none.
uint8_t PromotionOfLetter(std::string_view letter, std::string_view pieces = "PNRBQK");
