#include "Fen.h"

#include <sstream>
#include <vector>

const char* const StartFen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

namespace {

const char PieceLetters[] = "prnbqk";

int KindOfLetter(char c) {
    const char lower = static_cast<char>(c | 0x20);
    for (int k = 0; k < 6; ++k) {
        if (PieceLetters[k] == lower)
            return k;
    }
    return -1;
}

struct TSetup {
    int kind[9][9];
    int colour[9][9];
};

void ParsePlacement(const std::string& text, TSetup& setup) {
    for (auto& col : setup.kind)
        for (int& k : col)
            k = -1;
    int y = 8;
    int x = 1;
    for (char c : text) {
        if (c == '/') {
            if (x != 9)
                throw EFenError("rank " + std::to_string(y) + " does not have 8 squares");
            if (--y < 1)
                throw EFenError("more than 8 ranks");
            x = 1;
        } else if (c >= '1' && c <= '8') {
            x += c - '0';
            if (x > 9)
                throw EFenError("rank " + std::to_string(y) + " has more than 8 squares");
        } else {
            const int kind = KindOfLetter(c);
            if (kind < 0)
                throw EFenError(std::string("unknown piece letter '") + c + "'");
            if (x > 8)
                throw EFenError("rank " + std::to_string(y) + " has more than 8 squares");
            setup.kind[x][y] = kind;
            setup.colour[x][y] = (c >= 'a') ? pcBlack : pcWhite;
            ++x;
        }
    }
    if (y != 1 || x != 9)
        throw EFenError("the placement must describe 8 ranks of 8 squares");
}

bool Has(const TSetup& s, int x, int y, int kind, int colour) {
    return s.kind[x][y] == kind && s.colour[x][y] == colour;
}

// Reads the FEN; `dropped`, when given, takes the letters of castling rights the position
// cannot have instead of their refusal.
TPieceColour ReadFen(TChessBoard& board, const std::string& fen, std::string* dropped) {
    std::istringstream fields(fen);
    std::string placement, side, castling = "-", enPassant = "-", halfmove, fullmove, extra;
    fields >> placement >> side;
    if (placement.empty())
        throw EFenError("empty FEN");
    if (side.empty())
        throw EFenError("missing side to move");
    fields >> castling >> enPassant >> halfmove >> fullmove;
    if (fields >> extra)
        throw EFenError("unexpected text after the move numbers");
    for (const std::string* number : { &halfmove, &fullmove }) {
        if (number->find_first_not_of("0123456789") != std::string::npos)
            throw EFenError("move number '" + *number + "' is not a whole number");
    }

    TSetup setup;
    ParsePlacement(placement, setup);
    TPieceColour toMove;
    if (side == "w")
        toMove = pcWhite;
    else if (side == "b")
        toMove = pcBlack;
    else
        throw EFenError("side to move must be w or b");

    int kings[2] = { 0, 0 };
    int pieces[2] = { 0, 0 };
    for (int x = 1; x <= 8; ++x) {
        for (int y = 1; y <= 8; ++y) {
            if (setup.kind[x][y] < 0)
                continue;
            ++pieces[setup.colour[x][y]];
            if (setup.kind[x][y] == pkKing)
                ++kings[setup.colour[x][y]];
            if (setup.kind[x][y] == pkPawn && (y == 1 || y == 8))
                throw EFenError("a pawn stands on the first or last rank");
        }
    }
    if (kings[pcWhite] != 1 || kings[pcBlack] != 1)
        throw EFenError("each side must have exactly one king");
    // The captured lists hold fifteen pieces a side, so a side cannot start with more than
    // sixteen.
    if (pieces[pcWhite] > 16 || pieces[pcBlack] > 16)
        throw EFenError("a side has more than 16 pieces");

    // Which king and corner rooks keep their castling rights.
    bool keeps[9][9] = {};
    if (castling != "-") {
        for (char c : castling) {
            const int colour = (c == 'K' || c == 'Q') ? pcWhite : pcBlack;
            const int y = colour == pcWhite ? 1 : 8;
            int rookX;
            if (c == 'K' || c == 'k')
                rookX = 8;
            else if (c == 'Q' || c == 'q')
                rookX = 1;
            else
                throw EFenError(std::string("unknown castling letter '") + c + "'");
            if (!Has(setup, 5, y, pkKing, colour) || !Has(setup, rookX, y, pkRook, colour)) {
                if (!dropped)
                    throw EFenError(std::string("castling right '") + c
                        + "' needs the king and rook on their squares");
                if (dropped->find(c) == std::string::npos)
                    *dropped += c;
                continue;
            }
            keeps[5][y] = keeps[rookX][y] = true;
        }
    }

    bool epSet = false;
    TPoint epPawn;
    if (enPassant != "-") {
        if (enPassant.size() != 2 || enPassant[0] < 'a' || enPassant[0] > 'h')
            throw EFenError("bad en passant square '" + enPassant + "'");
        const int x = enPassant[0] - 'a' + 1;
        const int y = enPassant[1] - '0';
        const int expectedRank = toMove == pcWhite ? 6 : 3;
        if (y != expectedRank)
            throw EFenError("en passant square '" + enPassant + "' is not on the right rank");
        epPawn = MakePoint(x, toMove == pcWhite ? 5 : 4);
        if (!Has(setup, epPawn.X, epPawn.Y, pkPawn, Opponent(toMove)) || setup.kind[x][y] != -1)
            throw EFenError("no pawn can just have passed en passant square '" + enPassant + "'");
        epSet = true;
    }

    TChessBoard result;
    result.Clear();
    for (int x = 1; x <= 8; ++x) {
        for (int y = 1; y <= 8; ++y) {
            if (setup.kind[x][y] < 0)
                continue;
            auto piece = std::make_unique<TPiece>(
                TPieceKind(setup.kind[x][y]), TPieceColour(setup.colour[x][y]));
            const bool corner = (x == 1 || x == 8) && (y == 1 || y == 8);
            if (piece->Kind == pkKing || (piece->Kind == pkRook && corner))
                piece->MoveCount = keeps[x][y] ? 0 : 1;
            else if (piece->Kind == pkPawn)
                piece->MoveCount = (y == (piece->Colour == pcWhite ? 2 : 7)) ? 0 : 1;
            result.PutPiece(x, y, std::move(piece));
        }
    }
    result.EnPassant = epSet;
    result.LastMoveTo = epSet ? epPawn : TPoint {};
    if (result.InCheck(Opponent(toMove)))
        throw EFenError("the side that is not to move is in check");
    board.Assign(result);
    return toMove;
}

} // namespace

TPieceColour LoadFen(TChessBoard& board, const std::string& fen) {
    return ReadFen(board, fen, nullptr);
}

TPieceColour LoadFenDroppingCastling(
    TChessBoard& board, const std::string& fen, std::string& dropped) {
    std::string letters;
    const TPieceColour side = ReadFen(board, fen, &letters);
    dropped += letters;
    return side;
}

std::string SaveFen(const TChessBoard& board, TPieceColour sideToMove) {
    std::string out;
    for (int y = 8; y >= 1; --y) {
        int empty = 0;
        for (int x = 1; x <= 8; ++x) {
            const TPiece* piece = board.PieceAt(x, y);
            if (!piece) {
                ++empty;
                continue;
            }
            if (empty)
                out += char('0' + empty);
            empty = 0;
            const char letter = PieceLetters[piece->Kind];
            out += piece->Colour == pcWhite ? char(letter - 32) : letter;
        }
        if (empty)
            out += char('0' + empty);
        if (y > 1)
            out += '/';
    }
    out += sideToMove == pcWhite ? " w " : " b ";

    auto keeps = [&](int x, int y, TPieceKind kind, TPieceColour colour) {
        const TPiece* p = board.PieceAt(x, y);
        return p && p->Kind == kind && p->Colour == colour && p->MoveCount == 0;
    };
    std::string castling;
    if (keeps(5, 1, pkKing, pcWhite)) {
        if (keeps(8, 1, pkRook, pcWhite))
            castling += 'K';
        if (keeps(1, 1, pkRook, pcWhite))
            castling += 'Q';
    }
    if (keeps(5, 8, pkKing, pcBlack)) {
        if (keeps(8, 8, pkRook, pcBlack))
            castling += 'k';
        if (keeps(1, 8, pkRook, pcBlack))
            castling += 'q';
    }
    out += castling.empty() ? "-" : castling;
    out += ' ';
    if (board.EnPassant && OnBoard(board.LastMoveTo)) {
        const TPoint p = board.LastMoveTo;
        out += SquareName(MakePoint(p.X, p.Y == 4 ? 3 : 6));
    } else {
        out += '-';
    }
    out += " 0 1";
    return out;
}
