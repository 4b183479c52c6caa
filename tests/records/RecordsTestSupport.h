#pragma once

// Helpers shared by the records tests: squares by name and move lists recorded the way the game
// controller records them.

#include "UnitChessBoard.h"
#include "UnitMoveList.h"

#include <stdexcept>
#include <string>
#include <vector>

// "e4" -> (5,4).
inline TPoint Sq(const std::string& name) {
    return MakePoint(name[0] - 'a' + 1, name[1] - '0');
}

inline uint8_t PromotionKindOf(char letter) {
    switch (letter) {
    case 'r':
        return pkRook;
    case 'n':
        return pkKnight;
    case 'b':
        return pkBishop;
    default:
        return pkQueen;
    }
}

// Plays moves such as "e2e4" or "e7e8n" (a queen when the letter is left out) from the initial
// position and appends them to the list as the controller does: the kind standing on the
// destination, a promotion's flags completed once its piece is chosen.
inline void Record(TMoveList& list, const std::vector<std::string>& moves) {
    TChessBoard board;
    for (const std::string& m : moves) {
        const TPoint from = Sq(m.substr(0, 2));
        const TPoint to = Sq(m.substr(2, 2));
        TMoveResult flags = board.MovePiece(from, to, true);
        if (flags & mrInvalid)
            throw std::logic_error("illegal test move " + m);
        const uint8_t kind = board.PieceAt(to)->Kind;
        if (!(flags & mrPromotion)) {
            list.Add(kind, from, to, 0, flags);
            continue;
        }
        list.Add(kind, from, to, 0, flags & ~mrGameOver);
        const uint8_t promotion = PromotionKindOf(m.size() > 4 ? m[4] : 'q');
        TMoveRecord* last = list.Last();
        last->PromotionKind = promotion;
        last->Flags |= board.Promote(to, promotion);
    }
}
