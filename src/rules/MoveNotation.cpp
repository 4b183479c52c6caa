#include "MoveNotation.h"

#include <string_view>

namespace {

// Position of each kind's letter in the piece letters: the kinds count pawn, rook, knight,
// bishop, queen, king, while the letters go pawn, knight, rook, bishop, queen, king.
constexpr int LetterPosition[] = { 0, 2, 1, 3, 4, 5 };

// Length of the UTF-8 sequence a lead byte starts, or 0 for a byte that cannot start one.
size_t SequenceLength(unsigned char lead) {
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        return 2;
    if (lead >= 0xE0 && lead <= 0xEF)
        return 3;
    if (lead >= 0xF0 && lead <= 0xF4)
        return 4;
    return 0;
}

// The n-th character (0-based) of a UTF-8 text; empty when the text is shorter or that character
// is malformed. A malformed byte counts as one character so that the letters after it keep their
// positions.
std::string_view NthCharacter(std::string_view text, int n) {
    size_t at = 0;
    for (int i = 0; at < text.size(); ++i) {
        const size_t expected = SequenceLength(static_cast<unsigned char>(text[at]));
        size_t length = 1;
        while (length < expected && at + length < text.size()
            && (static_cast<unsigned char>(text[at + length]) & 0xC0) == 0x80)
            ++length;
        const bool wellFormed = expected != 0 && length == expected;
        if (i == n)
            return wellFormed ? text.substr(at, length) : std::string_view();
        at += length;
    }
    return {};
}

void AppendPromotion(std::string& text, const TMoveRecord& move, const std::string& pieces) {
    if (!(move.Flags & mrPromotion))
        return;
    text += '=';
    if (move.PromotionKind >= pkRook && move.PromotionKind <= pkQueen)
        text += PieceLetter(move.PromotionKind, pieces);
}

} // namespace

std::string PieceLetter(int kind, const std::string& pieces) {
    if (kind < pkPawn || kind > pkKing)
        return {};
    const int position = LetterPosition[kind];
    const std::string_view letter = NthCharacter(pieces, position);
    if (letter.empty())
        return std::string(1, DefaultPieceLetters[position]);
    return std::string(letter);
}

std::string MoveText(const TMoveRecord& move, int style, const std::string& pieces) {
    if (move.Flags & mrCastling)
        return move.To.X == 3 ? "O-O-O" : "O-O";
    std::string text;
    switch (style) {
    case nsAlgebraic:
        text = PieceLetter(move.Kind, pieces);
        if (move.Flags & mrCapture)
            text += 'x';
        text += SquareName(move.To);
        AppendPromotion(text, move, pieces);
        if (move.Flags & mrCheck)
            text += (move.Flags & mrGameOver) ? '#' : '+';
        return text;
    case nsMixed:
        text = SquareName(move.From);
        text += (move.Flags & mrCapture) ? 'x' : '-';
        text += SquareName(move.To);
        AppendPromotion(text, move, pieces);
        if (move.Flags & mrCheck)
            text += '+';
        return text;
    default:
        return SquareName(move.From) + "-" + SquareName(move.To);
    }
}
