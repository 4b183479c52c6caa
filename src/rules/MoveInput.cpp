#include "MoveInput.h"

#include "MoveNotation.h"

namespace {

bool IsFile(char c) {
    return c >= 'a' && c <= 'h';
}

bool IsRank(char c) {
    return c >= '1' && c <= '8';
}

int EnglishPieceOfLetter(char c) {
    switch (c) {
    case 'K':
        return pkKing;
    case 'Q':
        return pkQueen;
    case 'R':
        return pkRook;
    case 'B':
        return pkBishop;
    case 'N':
        return pkKnight;
    case 'P':
        return pkPawn;
    default:
        return -1;
    }
}

int EnglishPromotionOfLetter(char c) {
    switch (c) {
    case 'Q':
    case 'q':
        return pkQueen;
    case 'R':
    case 'r':
        return pkRook;
    case 'B':
    case 'b':
        return pkBishop;
    case 'N':
    case 'n':
        return pkKnight;
    default:
        return -1;
    }
}

// A letter of the notation's language that cannot be mistaken for the rest of a move: not a
// file, a digit or one of the marks.
bool UsableLetter(std::string_view letter) {
    if (letter.empty())
        return false;
    const char c = letter[0];
    return letter.size() > 1 || (c >= 'A' && c <= 'Z' && c != 'O' && c != 'X');
}

// The piece kind whose letter of `pieces` starts `text`, and the letter's length; -1 for none.
int LocalPieceAt(std::string_view text, std::string_view pieces, size_t& length) {
    const std::string letters(pieces);
    for (int kind = pkPawn; kind <= pkKing; ++kind) {
        const std::string letter = PieceLetter(kind, letters);
        if (UsableLetter(letter) && text.starts_with(letter)) {
            length = letter.size();
            return kind;
        }
    }
    return -1;
}

// The piece kind a leading letter names and its length in bytes: the notation's own letters
// first, the English ones after; -1 when the text starts with no piece letter.
int PieceAt(std::string_view text, std::string_view pieces, size_t& length) {
    const int local = LocalPieceAt(text, pieces, length);
    if (local >= 0)
        return local;
    length = 1;
    return text.empty() ? -1 : EnglishPieceOfLetter(text[0]);
}

// The promotion piece that starts `text` (see PieceAt); -1 for none.
int PromotionAt(std::string_view text, std::string_view pieces, size_t& length) {
    const int local = LocalPieceAt(text, pieces, length);
    if (local >= pkRook && local <= pkQueen)
        return local;
    length = 1;
    return text.empty() ? -1 : EnglishPromotionOfLetter(text[0]);
}

// Strips check, mate and annotation marks, and an en passant mark, from the end.
std::string_view StripMarks(std::string_view text) {
    for (bool stripped = true; stripped;) {
        stripped = false;
        while (!text.empty()
            && (text.back() == '!' || text.back() == '?' || text.back() == '+'
                || text.back() == '#')) {
            text.remove_suffix(1);
            stripped = true;
        }
        for (const std::string_view mark : { "e.p.", "ep" }) {
            if (text.size() > mark.size() + 1 && text.substr(text.size() - mark.size()) == mark
                && IsRank(text[text.size() - mark.size() - 1])) {
                text.remove_suffix(mark.size());
                stripped = true;
            }
        }
    }
    return text;
}

TMoveInputResult Failure(TMoveInputError error) {
    TMoveInputResult result;
    result.Error = error;
    return result;
}

TMoveInputResult ReadCastling(TChessBoard& board, TPieceColour side, std::string_view text) {
    size_t letters = 0;
    for (const char c : text)
        letters += c != '-' ? 1 : 0;
    if (letters != 2 && letters != 3)
        return Failure(miNotAMove);
    TMoveInputResult result;
    result.Castling = int(letters);
    const TPoint king = board.KingSquare(side);
    const TPiece* piece = OnBoard(king) ? board.PieceAt(king) : nullptr;
    const TPoint to = MakePoint(letters == 2 ? 7 : 3, OnBoard(king) ? king.Y : 1);
    if (!piece || piece->Kind != pkKing || piece->Colour != side || king.X != 5
        || !board.IsLegalMove(king, to)) {
        result.Error = miCastlingIllegal;
        return result;
    }
    result.Move = TSanMove { king, to, 0 };
    return result;
}

} // namespace

uint8_t PromotionOfLetter(std::string_view letter, std::string_view pieces) {
    size_t length = 0;
    const int kind = PromotionAt(letter, pieces, length);
    return kind > 0 && length == letter.size() ? uint8_t(kind) : 0;
}

TMoveInputResult ReadMoveInput(
    TChessBoard& board, TPieceColour side, std::string_view input, std::string_view pieces) {
    // Spaces carry nothing ("exd6 e.p.", "Nf3 +").
    std::string compact;
    for (const char c : input) {
        if (c != ' ' && c != '\t')
            compact += c;
    }
    const std::string_view text = StripMarks(compact);
    if (text.empty())
        return Failure(miNotAMove);
    // Castling: O-O, 0-0, O-O-O, 0-0-0.
    if (text.find_first_not_of("O0o-") == std::string_view::npos)
        return ReadCastling(board, side, text);

    // [piece] [origin file] [origin rank] destination [promotion], without the marks that carry
    // nothing (capture, '-', '=').
    size_t start = 0;
    int kind = PieceAt(text, pieces, start);
    const bool pieceNamed = kind >= 0;
    if (!pieceNamed) {
        kind = pkPawn;
        start = 0;
    }
    std::string squares;
    int promotion = 0;
    for (size_t i = start; i < text.size(); ++i) {
        const char c = text[i];
        if (c == 'x' || c == 'X' || c == ':' || c == '-' || c == '=' || c == '/')
            continue;
        // A promotion piece follows a pawn's destination; a lower-case 'b' is one only at the
        // end ("a7b8b"), since elsewhere it is the b-file ("a7b8").
        const bool afterSquare
            = squares.size() >= 2 && IsFile(squares[squares.size() - 2]) && IsRank(squares.back());
        size_t length = 0;
        const int named = PromotionAt(text.substr(i), pieces, length);
        if (kind == pkPawn && !promotion && afterSquare && named > 0
            && (c != 'b' || i + 1 == text.size())) {
            promotion = named;
            i += length - 1;
            continue;
        }
        if ((IsFile(c) || IsRank(c)) && !promotion) {
            squares += c;
            continue;
        }
        return Failure(miNotAMove);
    }
    if (squares.size() < 2 || squares.size() > 4 || !IsFile(squares[squares.size() - 2])
        || !IsRank(squares.back()))
        return Failure(miNotAMove);
    const TPoint to = MakePoint(squares[squares.size() - 2] - 'a' + 1, squares.back() - '0');
    int fromFile = 0;
    int fromRank = 0;
    const std::string origin = squares.substr(0, squares.size() - 2);
    if (origin.size() == 2) {
        if (!IsFile(origin[0]) || !IsRank(origin[1]))
            return Failure(miNotAMove);
        fromFile = origin[0] - 'a' + 1;
        fromRank = origin[1] - '0';
    } else if (origin.size() == 1) {
        if (IsFile(origin[0]))
            fromFile = origin[0] - 'a' + 1;
        else
            fromRank = origin[0] - '0';
    }
    // Coordinates ("g1f3") name the piece by its square alone.
    const bool anyKind = !pieceNamed && origin.size() == 2;

    TMoveInputResult result;
    int movedKind = kind;
    for (int x = 1; x <= 8; ++x) {
        if (fromFile && x != fromFile)
            continue;
        for (int y = 1; y <= 8; ++y) {
            if (fromRank && y != fromRank)
                continue;
            const TPiece* piece = board.PieceAt(x, y);
            if (!piece || piece->Colour != side || (!anyKind && piece->Kind != kind))
                continue;
            const TPoint square = MakePoint(x, y);
            if (square != to && board.IsLegalMove(square, to)) {
                ++result.Matches;
                result.Move.From = square;
                movedKind = piece->Kind;
            }
        }
    }
    if (result.Matches == 0) {
        result.Error = miNoLegalMove;
        return result;
    }
    if (result.Matches > 1) {
        result.Error = miAmbiguous;
        return result;
    }
    const bool promotes = movedKind == pkPawn && to.Y == (side == pcWhite ? 8 : 1);
    if (promotes && !promotion) {
        result.Error = miPromotionMissing;
        return result;
    }
    if (!promotes && promotion) {
        result.Error = miNotAPromotion;
        return result;
    }
    result.Move.To = to;
    result.Move.Promotion = uint8_t(promotion);
    return result;
}
