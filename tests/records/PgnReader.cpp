#include "PgnReader.h"

#include "Perft.h"

#include <cctype>
#include <cstdlib>
#include <regex>
#include <sstream>
#include <stdexcept>

namespace {

[[noreturn]] void Fail(const std::string& why) {
    throw std::runtime_error(why);
}

bool ValidTagName(const std::string& name) {
    if (name.empty() || !std::isupper(static_cast<unsigned char>(name[0])))
        return false;
    for (const char c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_')
            return false;
    }
    return true;
}

std::pair<std::string, std::string> ParseTag(const std::string& line) {
    const size_t space = line.find(' ');
    if (line.size() < 5 || line[0] != '[' || space == std::string::npos)
        Fail("malformed tag line: " + line);
    const std::string name = line.substr(1, space - 1);
    if (!ValidTagName(name))
        Fail("bad tag name: " + name);
    if (line[space + 1] != '"')
        Fail("tag value without quote: " + line);
    std::string value;
    size_t i = space + 2;
    for (;; ++i) {
        if (i >= line.size())
            Fail("unterminated tag value: " + line);
        const auto c = static_cast<unsigned char>(line[i]);
        if (c < 0x20 || c == 0x7F)
            Fail("control character in tag value: " + line);
        if (c == '"')
            break;
        if (c == '\\') {
            ++i;
            if (i >= line.size() || (line[i] != '\\' && line[i] != '"'))
                Fail("bad escape in tag value: " + line);
        }
        value += line[i];
    }
    if (line.substr(i + 1) != "]")
        Fail("text after the tag value: " + line);
    return { name, value };
}

TPieceKind KindOfLetter(char letter) {
    switch (letter) {
    case 'R':
        return pkRook;
    case 'N':
        return pkKnight;
    case 'B':
        return pkBishop;
    case 'Q':
        return pkQueen;
    case 'K':
        return pkKing;
    default:
        return pkPawn;
    }
}

// The origin text a correct SAN writes for a piece move from `from`, given every legal move of
// the same kind to the same square.
std::string NeededDisambiguation(const std::vector<TMoveSquares>& rivals, TPoint from) {
    bool other = false;
    bool sameFile = false;
    bool sameRank = false;
    for (const TMoveSquares& m : rivals) {
        if (m.From == from)
            continue;
        other = true;
        sameFile = sameFile || m.From.X == from.X;
        sameRank = sameRank || m.From.Y == from.Y;
    }
    const std::string file(1, char('a' + from.X - 1));
    const std::string rank(1, char('0' + from.Y));
    if (!other)
        return "";
    if (!sameFile)
        return file;
    if (!sameRank)
        return rank;
    return file + rank;
}

TPgnMove PlaySan(TChessBoard& board, TPieceColour side, const std::string& san) {
    static const std::regex pattern(R"(^([NBRQK])?([a-h])?([1-8])?(x)?([a-h][1-8])(=([NBRQ]))?$)");
    const std::vector<TMoveSquares> legal = LegalMoves(board, side);
    std::string body = san;
    char mark = 0;
    if (!body.empty() && (body.back() == '+' || body.back() == '#')) {
        mark = body.back();
        body.pop_back();
    }

    TPgnMove move;
    TPieceKind kind = pkKing;
    if (body == "O-O" || body == "O-O-O") {
        move.From = board.KingSquare(side);
        move.To = MakePoint(body == "O-O" ? 7 : 3, side == pcWhite ? 1 : 8);
        bool found = false;
        for (const TMoveSquares& m : legal)
            found = found || (m.From == move.From && m.To == move.To);
        if (!found || move.From != MakePoint(5, move.To.Y))
            Fail("castling not legal: " + san);
    } else {
        std::smatch m;
        if (!std::regex_match(body, m, pattern))
            Fail("not a SAN move: " + san);
        kind = m[1].matched ? KindOfLetter(m[1].str()[0]) : pkPawn;
        if (kind == pkKing && std::abs(m[5].str()[0] - 'a' + 1 - board.KingSquare(side).X) == 2)
            Fail("castling written as a king move: " + san);
        move.To = MakePoint(m[5].str()[0] - 'a' + 1, m[5].str()[1] - '0');
        std::vector<TMoveSquares> rivals;
        std::vector<TMoveSquares> matching;
        for (const TMoveSquares& l : legal) {
            if (l.To != move.To || board.PieceAt(l.From)->Kind != kind)
                continue;
            rivals.push_back(l);
            if (m[2].matched && l.From.X != m[2].str()[0] - 'a' + 1)
                continue;
            if (m[3].matched && l.From.Y != m[3].str()[0] - '0')
                continue;
            matching.push_back(l);
        }
        if (matching.size() != 1)
            Fail("move names " + std::to_string(matching.size()) + " legal moves: " + san);
        move.From = matching[0].From;
        const bool capture = board.PieceAt(move.To) || (kind == pkPawn && move.From.X != move.To.X);
        if (capture != m[4].matched)
            Fail("capture mark wrong: " + san);
        const std::string origin = m[2].str() + m[3].str();
        if (kind == pkPawn) {
            if (m[3].matched || (capture ? !m[2].matched : m[2].matched))
                Fail("pawn origin wrong: " + san);
        } else if (origin != NeededDisambiguation(rivals, move.From)) {
            Fail("disambiguation wrong: " + san);
        }
        const bool promotes = kind == pkPawn && move.To.Y == (side == pcWhite ? 8 : 1);
        if (promotes != m[6].matched)
            Fail("promotion mark wrong: " + san);
        if (promotes)
            move.Promotion = KindOfLetter(m[7].str()[0]);
    }

    if (board.MovePiece(move.From, move.To, true) & mrInvalid)
        Fail("board refuses: " + san);
    if (move.Promotion)
        board.Promote(move.To, move.Promotion);
    const TPieceColour opponent = Opponent(side);
    char expected = 0;
    if (board.InCheck(opponent))
        expected = board.HasNoLegalMove(opponent) ? '#' : '+';
    if (mark != expected)
        Fail("check mark wrong: " + san);
    return move;
}

// Movetext tokens; a comment in braces is one token.
std::vector<std::string> Tokens(const std::string& text) {
    std::vector<std::string> tokens;
    size_t i = 0;
    while (i < text.size()) {
        if (std::isspace(static_cast<unsigned char>(text[i]))) {
            ++i;
        } else if (text[i] == '{') {
            const size_t end = text.find('}', i);
            if (end == std::string::npos)
                Fail("unterminated comment");
            tokens.push_back(text.substr(i, end - i + 1));
            i = end + 1;
        } else {
            size_t end = i;
            while (end < text.size() && !std::isspace(static_cast<unsigned char>(text[end])))
                ++end;
            tokens.push_back(text.substr(i, end - i));
            i = end;
        }
    }
    return tokens;
}

const char* const Roster[] = { "Event", "Site", "Date", "Round", "White", "Black", "Result" };

void ReadMovetext(TPgnGame& game, const std::string& movetext) {
    static const std::regex date(R"(^(\d{4}|\?{4})\.(\d{2}|\?{2})\.(\d{2}|\?{2})$)");
    for (size_t i = 0; i < std::size(Roster); ++i) {
        if (i >= game.Tags.size() || game.Tags[i].first != Roster[i])
            Fail(std::string("Seven Tag Roster: missing or out of order: ") + Roster[i]);
    }
    if (!std::regex_match(game.Tag("Date"), date))
        Fail("bad date tag: " + game.Tag("Date"));
    const std::string result = game.Tag("Result");
    if (result != "1-0" && result != "0-1" && result != "1/2-1/2" && result != "*")
        Fail("bad result tag: " + result);

    TChessBoard board;
    TPieceColour side = pcWhite;
    const std::vector<std::string> tokens = Tokens(movetext);
    if (tokens.empty() || tokens.back() != result)
        Fail("movetext does not end with the result " + result);
    for (size_t t = 0; t + 1 < tokens.size(); ++t) {
        const std::string& token = tokens[t];
        if (token.front() == '{')
            continue;
        const size_t ply = game.Sans.size();
        if (ply % 2 == 0) {
            if (token != std::to_string(ply / 2 + 1) + ".")
                Fail("expected move number " + std::to_string(ply / 2 + 1) + ", got " + token);
            if (++t + 1 >= tokens.size())
                Fail("move number without a move");
        }
        game.Moves.push_back(PlaySan(board, side, tokens[t]));
        game.Sans.push_back(tokens[t]);
        side = Opponent(side);
    }
    game.Result = result;
}

} // namespace

std::string TPgnGame::Tag(const std::string& name) const {
    for (const auto& [tagName, value] : Tags) {
        if (tagName == name)
            return value;
    }
    return {};
}

std::vector<TPgnGame> ReadPgn(const std::string& text) {
    if (text.find('\r') != std::string::npos)
        Fail("carriage return in PGN");
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (line.size() >= 80)
            Fail("line of " + std::to_string(line.size()) + " columns: " + line);
        lines.push_back(line);
    }
    if (!text.empty() && text.back() != '\n')
        Fail("PGN does not end with a line end");

    std::vector<TPgnGame> games;
    size_t i = 0;
    while (i < lines.size()) {
        if (lines[i].empty()) {
            ++i;
            continue;
        }
        TPgnGame game;
        while (i < lines.size() && !lines[i].empty()) {
            if (lines[i][0] != '[')
                Fail("expected a tag line: " + lines[i]);
            game.Tags.push_back(ParseTag(lines[i++]));
        }
        if (i >= lines.size())
            Fail("tags without movetext");
        ++i;
        std::string movetext;
        while (i < lines.size() && !lines[i].empty()) {
            if (lines[i][0] == '[')
                Fail("tag line in movetext: " + lines[i]);
            movetext += lines[i++] + '\n';
        }
        ReadMovetext(game, movetext);
        games.push_back(std::move(game));
    }
    return games;
}
