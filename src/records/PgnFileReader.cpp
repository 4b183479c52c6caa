#include "PgnFileReader.h"

#include "Fen.h"
#include "RegularFile.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <memory>

namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// Characters that end a movetext symbol.
bool EndsSymbol(char c) {
    switch (c) {
    case '{':
    case '}':
    case '(':
    case ')':
    case '[':
    case ']':
    case ';':
    case '$':
    case '"':
        return true;
    default:
        return IsSpace(c);
    }
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsResult(std::string_view token) {
    return token == "1-0" || token == "0-1" || token == "1/2-1/2" || token == "*";
}

// Tokens that only annotate ("!", "?!", "+-", "=", "+/-"): skipped. "--", a null move, is not
// one of them and is refused as a move.
bool IsAnnotationSymbol(std::string_view token) {
    if (token == "--")
        return false;
    for (const char c : token) {
        if (c != '!' && c != '?' && c != '+' && c != '-' && c != '=' && c != '/')
            return false;
    }
    return true;
}

void AppendUtf8(std::string& out, uint32_t code) {
    if (code < 0x80) {
        out += char(code);
    } else if (code < 0x800) {
        out += char(0xC0 | (code >> 6));
        out += char(0x80 | (code & 0x3F));
    } else {
        out += char(0xE0 | (code >> 12));
        out += char(0x80 | ((code >> 6) & 0x3F));
        out += char(0x80 | (code & 0x3F));
    }
}

bool IsValidUtf8(std::string_view text) {
    size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        size_t length;
        uint32_t code;
        if (lead < 0x80) {
            ++i;
            continue;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            code = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            code = lead & 0x0F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            code = lead & 0x07;
        } else {
            return false;
        }
        if (text.size() - i < length)
            return false;
        for (size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            code = (code << 6) | (next & 0x3F);
        }
        // Overlong forms, surrogates and code points past U+10FFFF.
        if ((length == 3 && code < 0x800) || (length == 4 && code < 0x10000) || code > 0x10FFFF
            || (code >= 0xD800 && code <= 0xDFFF))
            return false;
        i += length;
    }
    return true;
}

// The code points of the bytes 0x80 to 0x9F in Windows-1252; 0xFFFD where it has none.
constexpr uint16_t Windows1252High[32]
    = { 0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
          0x2039, 0x0152, 0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
          0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178 };

// A tag value as stored: UTF-8, control characters as spaces.
std::string TagText(std::string_view raw) {
    std::string text = PgnTextToUtf8(raw);
    for (char& c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F)
            c = ' ';
    }
    return text;
}

// The token between quotes, as messages show it: its first 40 bytes at most.
std::string Quoted(std::string_view token) {
    constexpr size_t Shown = 40;
    std::string quoted(1, '"');
    quoted += TagText(token.substr(0, Shown));
    if (token.size() > Shown)
        quoted += "...";
    quoted += '"';
    return quoted;
}

// The placement, side, castling and en passant fields of a FEN.
std::string PositionFields(const std::string& fen) {
    size_t end = 0;
    for (int field = 0; field < 4 && end != std::string::npos; ++field) {
        end = fen.find(' ', end == 0 ? 0 : end + 1);
    }
    return end == std::string::npos ? fen : fen.substr(0, end);
}

// Opens a regular file; false with `error` naming the file when there is none or it cannot be
// opened.
bool OpenFileToRead(const std::string& path, std::ifstream& in, std::string& error) {
    switch (CheckFileToRead(path)) {
    case TFileCheck::Missing:
        error = "no file " + path;
        return false;
    case TFileCheck::NotRegular:
        error = path + " is not a file";
        return false;
    case TFileCheck::Regular:
        break;
    }
    in.open(path, std::ios::binary);
    if (!in) {
        error = "cannot read " + path;
        return false;
    }
    return true;
}

// Reads the movetext of one file game by game. The text may come in pieces, each ending at a line
// end: only a brace comment runs over lines, and one that is still open at the end of a piece
// goes on in the next, so a game is read the same way whatever the pieces.
class TPgnParser {
public:
    TPgnParser(const std::function<bool(const TPgnGameRecord&)>& onGame, const TPgnLimits& limits)
        : m_OnGame(onGame)
        , m_Limits(limits) { }

    // Reads one piece; `last` for the end of the text, which finishes the game being read.
    void Feed(std::string_view piece, bool last);
    // False once the reading stopped: the receiver wanted no more games, or too many games.
    bool Continues() const { return m_Continue; }
    const std::string& FileError() const { return m_FileError; }

private:
    bool AtLineStart() const {
        return m_Pos == m_Start || m_Text[m_Pos - 1] == '\n' || m_Text[m_Pos - 1] == '\r';
    }
    void SkipLine();
    bool StartGame();
    bool EnsureGame() { return m_Game || StartGame(); }
    void FinishGame();
    // Sets up the board at the first move (the FEN tag may come after any other tag).
    void SetUpBoard();
    void GameError(const std::string& what);
    void MoveError(std::string_view token, const std::string& what);
    void ReadTag();
    // Skips to the end of a brace comment, or to the end of the piece when it is not the last.
    void ReadCommentRest(bool last);
    void ReadNag();
    void ReadSymbol();
    void Symbol(std::string_view token);
    void PlayMove(std::string_view token);

    std::string_view m_Text;
    // Where the piece begins, after a byte order mark.
    size_t m_Start = 0;
    size_t m_Pos = 0;
    bool m_FirstPiece = true;
    // A brace comment is open at the end of the last piece.
    bool m_InComment = false;
    const std::function<bool(const TPgnGameRecord&)>& m_OnGame;
    const TPgnLimits& m_Limits;
    std::string m_FileError;
    bool m_Continue = true;
    size_t m_GamesStarted = 0;

    // The game being read.
    std::unique_ptr<TPgnGameRecord> m_Game;
    std::unique_ptr<TChessBoard> m_Board;
    TPieceColour m_Side = pcWhite;
    int m_FirstMoveNumber = 1;
    bool m_MovesStarted = false;
    // Move tokens of the main line, played or not.
    size_t m_Plies = 0;
    bool m_Stopped = false;
    bool m_ResultRead = false;
    int m_Depth = 0;
};

void TPgnParser::Feed(std::string_view piece, bool last) {
    m_Text = piece;
    m_Start = m_Pos = 0;
    if (m_FirstPiece && m_Text.substr(0, 3) == "\xEF\xBB\xBF")
        m_Start = m_Pos = 3;
    m_FirstPiece = false;
    if (m_InComment)
        ReadCommentRest(last);
    while (m_Continue && m_Pos < m_Text.size()) {
        const char c = m_Text[m_Pos];
        if (c == '%' && AtLineStart()) {
            SkipLine();
        } else if (IsSpace(c)) {
            ++m_Pos;
        } else if (c == '[') {
            ReadTag();
        } else if (c == '{') {
            ++m_Pos;
            ReadCommentRest(last);
        } else if (c == ';') {
            SkipLine();
        } else if (c == '(') {
            ++m_Pos;
            if (!EnsureGame())
                break;
            m_MovesStarted = true;
            if (++m_Depth > m_Limits.MaxVariationDepth)
                GameError("variations nested deeper than "
                    + std::to_string(m_Limits.MaxVariationDepth) + " levels");
        } else if (c == ')') {
            ++m_Pos;
            if (!EnsureGame())
                break;
            if (m_Depth == 0)
                GameError("')' without its '('");
            else
                --m_Depth;
        } else if (c == '$') {
            ReadNag();
        } else {
            ReadSymbol();
        }
    }
    if (m_Continue && last)
        FinishGame();
}

void TPgnParser::SkipLine() {
    while (m_Pos < m_Text.size() && m_Text[m_Pos] != '\n' && m_Text[m_Pos] != '\r')
        ++m_Pos;
}

bool TPgnParser::StartGame() {
    if (m_GamesStarted >= m_Limits.MaxGames) {
        m_FileError = "the file holds more than " + std::to_string(m_Limits.MaxGames)
            + " games; the games after game " + std::to_string(m_Limits.MaxGames)
            + " were not read";
        m_Continue = false;
        return false;
    }
    m_Game = std::make_unique<TPgnGameRecord>();
    m_Game->Number = ++m_GamesStarted;
    m_Board.reset();
    m_Side = pcWhite;
    m_FirstMoveNumber = 1;
    m_MovesStarted = false;
    m_Plies = 0;
    m_Stopped = false;
    m_ResultRead = false;
    m_Depth = 0;
    return true;
}

void TPgnParser::FinishGame() {
    if (!m_Game)
        return;
    SetUpBoard();
    if (m_Depth > 0)
        GameError("a variation is not closed");
    if (!m_ResultRead) {
        // No result token: the Result tag, when it holds a result.
        const std::string tag = m_Game->Tag("Result");
        if (IsResult(tag))
            m_Game->Result = tag;
    }
    const std::unique_ptr<TPgnGameRecord> game = std::move(m_Game);
    m_Board.reset();
    m_Continue = m_OnGame(*game);
}

void TPgnParser::SetUpBoard() {
    if (m_Board)
        return;
    m_Board = std::make_unique<TChessBoard>();
    std::string fen = m_Game->Tag("FEN");
    bool hasFen = false;
    for (const auto& tag : m_Game->Tags)
        hasFen = hasFen || tag.first == "FEN";
    if (!hasFen || m_Game->Tag("SetUp") == "0")
        return;
    std::string dropped;
    try {
        m_Side = LoadFenDroppingCastling(*m_Board, fen, dropped);
    } catch (const EFenError& error) {
        GameError(
            std::string("the FEN tag is not a position this program can set up: ") + error.what());
        return;
    }
    m_Game->StartSide = m_Side;
    if (!dropped.empty()) {
        // Files in the wild carry such rights; the game opens without them.
        m_Game->DroppedCastling = dropped;
        m_Game->Warning = "game " + std::to_string(m_Game->Number) + " (" + m_Game->Players()
            + "): " + DroppedCastlingWarning(dropped);
        fen = PositionFields(SaveFen(*m_Board, m_Side)) + fen.substr(PositionFields(fen).size());
    }
    // A FEN of the initial position is no set-up.
    if (PositionFields(SaveFen(*m_Board, m_Side)) != PositionFields(StartFen))
        m_Game->StartFen = fen;
    // The full move number, so that messages count moves as the file does.
    const size_t last = fen.find_last_of(' ');
    if (last != std::string::npos) {
        const std::string number = fen.substr(last + 1);
        if (!number.empty() && number.size() <= 4
            && number.find_first_not_of("0123456789") == std::string::npos)
            m_FirstMoveNumber = std::max(1, std::atoi(number.c_str()));
    }
}

void TPgnParser::GameError(const std::string& what) {
    if (m_Stopped)
        return;
    m_Stopped = true;
    m_Game->Error
        = "game " + std::to_string(m_Game->Number) + " (" + m_Game->Players() + "): " + what;
}

void TPgnParser::MoveError(std::string_view token, const std::string& what) {
    if (m_Stopped)
        return;
    const size_t ply = size_t(m_Game->Moves.Count()) + 1;
    // Plies counted from the game's first move; the move number as the file writes it.
    const size_t halfMoves = ply - 1 + (m_Game->StartSide == pcBlack ? 1 : 0);
    const size_t number = size_t(m_FirstMoveNumber) + halfMoves / 2;
    const std::string written = std::to_string(number) + (halfMoves % 2 == 0 ? ". " : "... ")
        + TagText(token.substr(0, 40)) + (token.size() > 40 ? "..." : "");
    m_Stopped = true;
    m_Game->Error = "game " + std::to_string(m_Game->Number) + " (" + m_Game->Players() + "), ply "
        + std::to_string(ply) + " (" + written + "): " + what;
}

void TPgnParser::ReadTag() {
    if (m_Game && m_MovesStarted)
        FinishGame();
    if (!m_Continue || !EnsureGame())
        return;
    const size_t lineStart = m_Pos;
    ++m_Pos;
    auto skipBlanks = [&] {
        while (m_Pos < m_Text.size() && (m_Text[m_Pos] == ' ' || m_Text[m_Pos] == '\t'))
            ++m_Pos;
    };
    auto fail = [&](const std::string& why) {
        SkipLine();
        const std::string_view line = m_Text.substr(lineStart, m_Pos - lineStart);
        GameError(why + ": " + TagText(line.substr(0, std::min(line.size(), size_t(80)))));
    };

    skipBlanks();
    const size_t nameStart = m_Pos;
    while (m_Pos < m_Text.size()
        && (std::isalnum(static_cast<unsigned char>(m_Text[m_Pos])) || m_Text[m_Pos] == '_'))
        ++m_Pos;
    const std::string_view name = m_Text.substr(nameStart, m_Pos - nameStart);
    if (name.empty())
        return fail("a tag without a name");
    if (name.size() > m_Limits.MaxTokenLength)
        return fail("a tag name longer than " + std::to_string(m_Limits.MaxTokenLength) + " bytes");
    skipBlanks();
    if (m_Pos >= m_Text.size() || m_Text[m_Pos] != '"')
        return fail("a tag without a quoted value");
    ++m_Pos;
    std::string value;
    for (;;) {
        if (m_Pos >= m_Text.size() || m_Text[m_Pos] == '\n' || m_Text[m_Pos] == '\r')
            return fail("a tag value without its closing quote");
        const char c = m_Text[m_Pos++];
        if (c == '\\' && m_Pos < m_Text.size() && (m_Text[m_Pos] == '"' || m_Text[m_Pos] == '\\')) {
            value += m_Text[m_Pos++];
        } else if (c == '"') {
            // The closing quote is the one before ']'; a quote elsewhere is taken as part of the
            // value, as some programs leave them unescaped.
            size_t after = m_Pos;
            while (after < m_Text.size() && (m_Text[after] == ' ' || m_Text[after] == '\t'))
                ++after;
            if (after < m_Text.size() && m_Text[after] == ']') {
                m_Pos = after + 1;
                break;
            }
            value += c;
        } else {
            value += c;
        }
        if (value.size() > m_Limits.MaxTokenLength)
            return fail(
                "a tag value longer than " + std::to_string(m_Limits.MaxTokenLength) + " bytes");
    }
    if (m_Game->Tags.size() >= m_Limits.MaxTags)
        return GameError("more than " + std::to_string(m_Limits.MaxTags) + " tags");
    m_Game->Tags.emplace_back(std::string(name), TagText(value));
}

void TPgnParser::ReadCommentRest(bool last) {
    const size_t end = m_Text.find('}', m_Pos);
    m_InComment = end == std::string_view::npos && !last;
    if (end == std::string_view::npos) {
        m_Pos = m_Text.size();
        if (last && m_Game)
            GameError("a comment is not closed");
        return;
    }
    m_Pos = end + 1;
}

void TPgnParser::ReadNag() {
    ++m_Pos;
    while (m_Pos < m_Text.size() && IsDigit(m_Text[m_Pos]))
        ++m_Pos;
    if (EnsureGame())
        m_MovesStarted = true;
}

void TPgnParser::ReadSymbol() {
    const size_t start = m_Pos;
    while (m_Pos < m_Text.size() && !EndsSymbol(m_Text[m_Pos]))
        ++m_Pos;
    // A lone character that ends symbols but opens nothing here (']', '}', '"').
    if (m_Pos == start)
        ++m_Pos;
    if (!EnsureGame())
        return;
    m_MovesStarted = true;
    const std::string_view token = m_Text.substr(start, m_Pos - start);
    if (token.size() > m_Limits.MaxTokenLength) {
        MoveError(std::string(token.substr(0, 20)) + "...",
            "a token longer than " + std::to_string(m_Limits.MaxTokenLength) + " bytes");
        return;
    }
    Symbol(token);
}

void TPgnParser::Symbol(std::string_view token) {
    if (token.empty())
        return;
    if (IsResult(token) || token == "\xC2\xBD-\xC2\xBD") {
        if (m_Depth > 0)
            return;
        m_Game->Result = IsResult(token) ? std::string(token) : "1/2-1/2";
        m_ResultRead = true;
        FinishGame();
        return;
    }
    // A move number ("12", "12.", "12...", "12.e4"); "0-0" and "0-0-0" are castling.
    if (IsDigit(token[0])) {
        size_t i = 0;
        while (i < token.size() && IsDigit(token[i]))
            ++i;
        if (i == token.size() || token[i] == '.') {
            // Move 1 after moves were played starts the next game: files that part their
            // games by blank lines only, without result or tags. "1." follows no move of its
            // game, "1..." at most white's first.
            size_t dots = 0;
            while (i + dots < token.size() && token[i + dots] == '.')
                ++dots;
            size_t before = dots >= 3 ? 2 : 1;
            // "1. ... e5" is black's first move, written apart from its number.
            size_t next = m_Pos;
            while (next < m_Text.size() && IsSpace(m_Text[next]))
                ++next;
            if (i + dots == token.size() && next < m_Text.size() && m_Text[next] == '.')
                before = 2;
            if (token.substr(0, i) == "1" && dots > 0 && m_Depth == 0 && m_Plies >= before) {
                FinishGame();
                if (!m_Continue || !StartGame())
                    return;
                m_MovesStarted = true;
            }
            while (i < token.size() && token[i] == '.')
                ++i;
            token.remove_prefix(i);
            if (token.empty())
                return;
        }
    }
    if (token.find_first_not_of('.') == std::string_view::npos || IsAnnotationSymbol(token)
        || token == "e.p." || token == "ep")
        return;
    if (m_Depth > 0)
        return;
    ++m_Plies;
    if (!m_Stopped)
        PlayMove(token);
}

void TPgnParser::PlayMove(std::string_view token) {
    SetUpBoard();
    if (m_Stopped)
        return;
    const std::string_view text = token;
    if (m_Game->Moves.Count() >= UINT16_MAX) {
        MoveError(text,
            "more moves than a game can hold (" + std::to_string(UINT16_MAX) + " half-moves)");
        return;
    }
    TSanMove move;
    std::string why;
    if (!FindSanMove(*m_Board, m_Side, token, move, why)) {
        MoveError(text, why);
        return;
    }
    TChessBoard& board = *m_Board;
    // FindSanMove has found the move legal on this board.
    const TMoveResult flags = board.MovePiece(move.From, move.To, false);
    if (flags & mrInvalid) {
        MoveError(text, "the board refuses the move");
        return;
    }
    // Recorded as the controller records a move: the kind on the destination after the move; a
    // promotion's end of game is judged once its piece stands there.
    const uint8_t kind = board.PieceAt(move.To)->Kind;
    TMoveList& moves = m_Game->Moves;
    if (flags & mrPromotion) {
        moves.Add(kind, move.From, move.To, 0, flags & ~mrGameOver);
        TMoveRecord* last = moves.Last();
        last->PromotionKind = move.Promotion;
        last->Flags |= board.Promote(move.To, move.Promotion);
    } else {
        moves.Add(kind, move.From, move.To, 0, flags);
    }
    m_Side = Opponent(m_Side);
}

} // namespace

std::string TPgnGameRecord::Tag(std::string_view name) const {
    for (const auto& [tagName, value] : Tags) {
        if (tagName == name)
            return value;
    }
    return {};
}

std::string TPgnGameRecord::Players() const {
    auto name = [&](const char* tag) {
        const std::string value = Tag(tag);
        return value.empty() ? std::string("?") : value;
    };
    return name("White") + " - " + name("Black");
}

bool TPgnGameRecord::SetUpStart(TChessBoard& board) const {
    if (StartFen.empty()) {
        board.Reset();
        board.EnPassant = false;
        board.LastMoveTo = TPoint {};
        return true;
    }
    try {
        LoadFen(board, StartFen);
    } catch (const EFenError&) {
        return false;
    }
    return true;
}

std::string ReadPgnGames(std::string_view text,
    const std::function<bool(const TPgnGameRecord&)>& onGame, const TPgnLimits& limits) {
    if (text.size() > limits.MaxFileBytes)
        return "the file is larger than " + std::to_string(limits.MaxFileBytes) + " bytes";
    TPgnParser parser(onGame, limits);
    parser.Feed(text, true);
    return parser.FileError();
}

const char* const PgnReadCancelled = "the reading was cancelled";

std::string ReadPgnStream(std::istream& in,
    const std::function<bool(const TPgnGameRecord&)>& onGame, const TPgnLimits& limits,
    const TPgnProgress& progress) {
    TPgnParser parser(onGame, limits);
    std::string buffer;
    std::vector<char> block(size_t(1) << 16);
    uint64_t bytesRead = 0;
    while (parser.Continues() && in) {
        in.read(block.data(), std::streamsize(block.size()));
        const size_t got = size_t(in.gcount());
        bytesRead += got;
        if (progress && !progress(bytesRead))
            return PgnReadCancelled;
        // The parser takes whole lines; the rest waits for the next block. What was kept holds no
        // line end, so only the new block is searched (a long line is not scanned again and
        // again).
        const size_t kept = buffer.size();
        buffer.append(block.data(), got);
        size_t lineEnd = std::string_view(buffer).substr(kept).find_last_of("\n\r");
        if (lineEnd != std::string::npos)
            lineEnd += kept;
        if (lineEnd == std::string::npos) {
            if (buffer.size() > limits.MaxLineBytes)
                return "a line is longer than " + std::to_string(limits.MaxLineBytes >> 20)
                    + " MB, more than a PGN file this program reads";
            continue;
        }
        parser.Feed(std::string_view(buffer).substr(0, lineEnd + 1), false);
        buffer.erase(0, lineEnd + 1);
    }
    if (in.bad())
        return "the file could not be read to its end";
    if (parser.Continues())
        parser.Feed(buffer, true);
    return parser.FileError();
}

std::string ReadPgnFile(const std::string& path,
    const std::function<bool(const TPgnGameRecord&)>& onGame, const TPgnLimits& limits,
    const TPgnProgress& progress) {
    std::ifstream in;
    std::string error;
    if (!OpenFileToRead(path, in, error))
        return error;
    error = ReadPgnStream(in, onGame, limits, progress);
    if (error == PgnReadCancelled)
        return error;
    return error.empty() ? error : path + ": " + error;
}

TPgnFile ReadPgnText(std::string_view text, const TPgnLimits& limits) {
    TPgnFile file;
    file.Error = ReadPgnGames(
        text,
        [&](const TPgnGameRecord& game) {
            file.Games.emplace_back().Assign(game);
            return true;
        },
        limits);
    return file;
}

bool ReadPgnFileBytes(
    const std::string& path, std::string& bytes, std::string& error, const TPgnLimits& limits) {
    std::ifstream in;
    if (!OpenFileToRead(path, in, error))
        return false;
    // Read in pieces up to one byte past the limit, so that a file that grows while it is read
    // is still refused.
    bytes.clear();
    char buffer[65536];
    while (in) {
        in.read(buffer, sizeof buffer);
        bytes.append(buffer, size_t(in.gcount()));
        if (bytes.size() > limits.MaxFileBytes) {
            bytes.clear();
            error = path + " is larger than " + std::to_string(limits.MaxFileBytes >> 20)
                + " MB, more than a PGN file this program reads";
            return false;
        }
    }
    if (in.bad()) {
        bytes.clear();
        error = "cannot read " + path;
        return false;
    }
    return true;
}

std::string PgnTextToUtf8(std::string_view text) {
    if (IsValidUtf8(text))
        return std::string(text);
    std::string out;
    out.reserve(text.size() * 2);
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80 && byte <= 0x9F)
            AppendUtf8(out, Windows1252High[byte - 0x80]);
        else
            AppendUtf8(out, byte);
    }
    return out;
}

bool FindSanMove(TChessBoard& board, TPieceColour side, std::string_view token, TSanMove& move,
    std::string& why) {
    const TMoveInputResult result = ReadMoveInput(board, side, token);
    switch (result.Error) {
    case miNone:
        move = result.Move;
        return true;
    case miNotAMove:
        why = Quoted(token) + " is not a move";
        break;
    case miCastlingIllegal:
        why = std::string(result.Castling == 2 ? "castling short" : "castling long")
            + " is not legal here";
        break;
    case miNoLegalMove:
        why = "no legal move matches " + Quoted(token);
        break;
    case miAmbiguous:
        why = Quoted(token) + " is ambiguous: " + std::to_string(result.Matches)
            + " legal moves match";
        break;
    case miPromotionMissing:
        why = Quoted(token) + " reaches the last rank without naming the piece";
        break;
    case miNotAPromotion:
        why = "no legal move matches " + Quoted(token) + ": it is no promotion";
        break;
    }
    return false;
}

std::string DroppedCastlingWarning(const std::string& dropped) {
    return std::string(dropped.size() == 1 ? "castling right" : "castling rights") + " \"" + dropped
        + "\" dropped: the king or the rook is not on its square";
}

std::string PgnPlayerName(const TPgnGameRecord& game, const char* tag) {
    const std::string name = game.Tag(tag);
    return name == "?" ? std::string() : name;
}

int32_t PgnSeconds(const TPgnGameRecord& game, const char* tag) {
    const std::string text = game.Tag(tag);
    if (text.empty() || text.size() > 9
        || text.find_first_not_of("0123456789") != std::string::npos)
        return 0;
    return int32_t(std::stol(text));
}

void TPgnGameRecord::Assign(const TPgnGameRecord& other) {
    Number = other.Number;
    Tags = other.Tags;
    StartFen = other.StartFen;
    StartSide = other.StartSide;
    Moves.Assign(other.Moves);
    Result = other.Result;
    Error = other.Error;
    DroppedCastling = other.DroppedCastling;
    Warning = other.Warning;
}
