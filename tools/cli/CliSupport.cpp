#include "CliSupport.h"

#include "Fen.h"

int ParseInt(const std::string& text, const char* what, int low, int high) {
    size_t used = 0;
    long value = 0;
    try {
        value = std::stol(text, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used == 0 || used != text.size() || value < low || value > high)
        throw EUsageError(std::string(what) + " must be a whole number from " + std::to_string(low)
            + " to " + std::to_string(high) + ", not '" + text + "'");
    return static_cast<int>(value);
}

TPoint ParseSquare(const std::string& text) {
    if (text.size() != 2 || text[0] < 'a' || text[0] > 'h' || text[1] < '1' || text[1] > '8')
        throw EUsageError("'" + text + "' is not a square (a1 .. h8)");
    return MakePoint(text[0] - 'a' + 1, text[1] - '0');
}

TPieceColour SetUpFen(TChessBoard& board, const std::string& fen) {
    try {
        return LoadFen(board, fen);
    } catch (const EFenError& e) {
        throw EUsageError(std::string("bad FEN: ") + e.what());
    }
}

std::string MoveText(TPoint from, TPoint to) {
    return SquareName(from) + SquareName(to);
}

void ParseIntOptions(const TArgs& args, std::initializer_list<TIntOption> options) {
    std::string known;
    for (const TIntOption& o : options)
        known += std::string(known.empty() ? "" : ", ") + o.Name + " N";
    for (size_t i = 0; i < args.size(); i += 2) {
        const std::string& name = args[i];
        const TIntOption* option = nullptr;
        for (const TIntOption& o : options) {
            if (name == o.Name)
                option = &o;
        }
        if (!option)
            throw EUsageError("unknown option '" + name + "' (known: " + known + ")");
        if (i + 1 >= args.size())
            throw EUsageError("option '" + name + "' needs a value");
        *option->Value = ParseInt(args[i + 1], option->Name, option->Low, option->High);
    }
}
