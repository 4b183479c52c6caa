#include "Pgn.h"

#include "Fen.h"
#include "GameExport.h"
#include "MoveNotation.h"
#include "Perft.h"

#include <algorithm>
#include <cstdlib>

namespace {

// Movetext lines stay below 80 columns.
constexpr size_t MaxLineLength = 79;

std::string PieceSan(int kind) {
    return PieceLetter(kind, DefaultPieceLetters);
}

// The file, rank or both of the origin when another legal move of the same kind of piece goes
// to the same square; nothing otherwise.
std::string Disambiguation(const TChessBoard& board, const std::vector<TMoveSquares>& legal,
    TPoint from, TPoint to, TPieceKind kind) {
    bool ambiguous = false;
    bool sameFile = false;
    bool sameRank = false;
    for (const TMoveSquares& m : legal) {
        if (m.To != to || m.From == from || board.PieceAt(m.From)->Kind != kind)
            continue;
        ambiguous = true;
        sameFile = sameFile || m.From.X == from.X;
        sameRank = sameRank || m.From.Y == from.Y;
    }
    const std::string square = SquareName(from);
    if (!ambiguous)
        return {};
    if (!sameFile)
        return square.substr(0, 1);
    if (!sameRank)
        return square.substr(1, 1);
    return square;
}

// The SAN of a legal move before it is played, without promotion and check marks.
std::string SanBeforeMove(
    const TChessBoard& board, const std::vector<TMoveSquares>& legal, TPoint from, TPoint to) {
    const TPiece& mover = *board.PieceAt(from);
    if (mover.Kind == pkKing && std::abs(to.X - from.X) == 2)
        return to.X == 3 ? "O-O-O" : "O-O";
    const std::string target = SquareName(to);
    if (mover.Kind == pkPawn) {
        // A pawn changes file only by capturing, en passant included.
        if (from.X != to.X)
            return SquareName(from).substr(0, 1) + "x" + target;
        return target;
    }
    std::string san = PieceSan(mover.Kind) + Disambiguation(board, legal, from, to, mover.Kind);
    if (board.PieceAt(to))
        san += 'x';
    return san + target;
}

} // namespace

std::vector<std::string> SanMoves(const TMoveList& moves) {
    return SanMovesFrom(TChessBoard(), pcWhite, moves);
}

std::vector<std::string> SanMovesFrom(
    const TChessBoard& start, TPieceColour side, const TMoveList& moves) {
    std::vector<std::string> sans;
    TChessBoard board;
    board.Assign(start);
    for (const TMoveRecord* move = moves.First(); move; move = move->Next) {
        const TPoint from = move->From;
        const TPoint to = move->To;
        if (!OnBoard(from) || !OnBoard(to))
            break;
        const TPiece* mover = board.PieceAt(from);
        if (!mover || mover->Colour != side)
            break;
        const std::vector<TMoveSquares> legal = LegalMoves(board, side);
        const bool isLegal = std::any_of(legal.begin(), legal.end(),
            [&](const TMoveSquares& m) { return m.From == from && m.To == to; });
        if (!isLegal)
            break;
        std::string san = SanBeforeMove(board, legal, from, to);
        const TMoveResult flags = board.MovePiece(from, to, true);
        if (flags & mrInvalid)
            break;
        if (flags & mrPromotion) {
            const uint8_t kind = move->PromotionKind >= pkRook && move->PromotionKind <= pkQueen
                ? move->PromotionKind
                : uint8_t(pkQueen);
            board.Promote(to, kind);
            san += '=';
            san += PieceSan(kind);
        }
        const TPieceColour opponent = Opponent(side);
        if (board.InCheck(opponent))
            san += board.HasNoLegalMove(opponent) ? '#' : '+';
        sans.push_back(std::move(san));
        side = opponent;
    }
    return sans;
}

std::vector<std::string> SanOfLastMoves(
    const TChessBoard& board, const TMoveList& moves, uint16_t first) {
    if (first >= moves.Count())
        return {};
    TChessBoard start;
    start.Assign(board);
    for (int index = int(moves.Count()) - 1; index >= int(first); --index) {
        const TMoveRecord* move = moves.Item(uint16_t(index));
        const TMoveRecord* previous = index > 0 ? moves.Item(uint16_t(index - 1)) : nullptr;
        if (start.UndoMove(move->From, move->To, move->Flags, previous) & mrInvalid)
            return {};
    }
    // The side of the first move is the colour of the piece it moves.
    const TMoveRecord* firstMove = moves.Item(first);
    const TPiece* mover = OnBoard(firstMove->From) ? start.PieceAt(firstMove->From) : nullptr;
    if (!mover)
        return {};
    TMoveList tail;
    for (const TMoveRecord* move = firstMove; move; move = move->Next) {
        tail.Add(move->Kind, move->From, move->To, move->Score, move->Flags);
        tail.Last()->PromotionKind = move->PromotionKind;
    }
    return SanMovesFrom(start, mover->Colour, tail);
}

std::string PgnTagValue(const std::string& value) {
    std::string escaped;
    for (const char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\' || c == '"')
            escaped += '\\';
        escaped += (byte < 0x20 || byte == 0x7F) ? ' ' : c;
    }
    return escaped;
}

std::string GamePgn(const TGameInfo& game) {
    return GamePgn(game, std::string());
}

std::string GamePgn(const TGameInfo& game, const std::string& startFen) {
    auto tag = [](const char* name, const std::string& value) {
        return std::string("[") + name + " \"" + PgnTagValue(value) + "\"]\n";
    };
    auto name
        = [](const std::string& player) { return player.empty() ? std::string("?") : player; };
    const std::string result = ResultToken(game.Result);
    TChessBoard start;
    TPieceColour firstSide = pcWhite;
    if (!startFen.empty())
        firstSide = LoadFen(start, startFen);
    const std::vector<std::string> sans = SanMovesFrom(start, firstSide, game.Moves);
    // A game from a set-up position numbers its moves from the FEN's move number.
    int firstNumber = 1;
    if (!startFen.empty()) {
        const size_t space = startFen.find_last_of(' ');
        if (space != std::string::npos) {
            const int number = std::atoi(startFen.c_str() + space + 1);
            if (number > 0 && number < 100000)
                firstNumber = number;
        }
    }

    std::string text = tag("Event", "Wintermoot game");
    text += tag("Site", "?");
    text += tag("Date", DateTag(game.Date));
    text += tag("Round", "-");
    text += tag("White", name(game.White));
    text += tag("Black", name(game.Black));
    text += tag("Result", result);
    text += tag("WhiteTime", std::to_string(game.WhiteTime));
    text += tag("BlackTime", std::to_string(game.BlackTime));
    text += tag("PlyCount", std::to_string(sans.size()));
    if (!startFen.empty()) {
        text += tag("SetUp", "1");
        text += tag("FEN", startFen);
    }
    text += '\n';

    std::vector<std::string> tokens;
    const size_t offset = firstSide == pcBlack ? 1 : 0;
    for (size_t i = 0; i < sans.size(); ++i) {
        const size_t ply = i + offset;
        const std::string number = std::to_string(int(ply / 2) + firstNumber);
        if (ply % 2 == 0)
            tokens.push_back(number + ".");
        else if (i == 0)
            tokens.push_back(number + "...");
        tokens.push_back(sans[i]);
    }
    if (sans.size() < game.Moves.Count()) {
        std::string comment(1, '{');
        comment += std::to_string(game.Moves.Count() - sans.size());
        comment += " recorded moves could not be replayed}";
        tokens.push_back(comment);
    }
    tokens.push_back(result);

    std::string line;
    for (const std::string& token : tokens) {
        if (!line.empty() && line.size() + 1 + token.size() > MaxLineLength) {
            text += line + '\n';
            line.clear();
        }
        if (!line.empty())
            line += ' ';
        line += token;
    }
    text += line + '\n';
    return text;
}
