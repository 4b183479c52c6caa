#include "GameExport.h"

#include "MoveNotation.h"

#include <cstdio>
#include <cstdlib>

std::string ResultToken(uint8_t result) {
    switch (result) {
    case grWhiteWon:
    case grBlackForfeited:
        return "1-0";
    case grBlackWon:
    case grWhiteForfeited:
        return "0-1";
    case grTied:
        return "1/2-1/2";
    default:
        return "*";
    }
}

std::string DateTag(double date) {
    const QDate day = DecodeDate(date).date();
    if (!day.isValid())
        return "????.??.??";
    char text[16];
    std::snprintf(text, sizeof text, "%04d.%02d.%02d", day.year(), day.month(), day.day());
    return text;
}

std::string TimeText(int32_t seconds) {
    const long long value = seconds;
    const long long magnitude = std::llabs(value);
    char text[32];
    std::snprintf(
        text, sizeof text, "%s%lld:%02lld", value < 0 ? "-" : "", magnitude / 60, magnitude % 60);
    return text;
}

std::string ExportMoveToken(const TMoveRecord& move) {
    if (move.Flags & mrCastling)
        return move.To.X == 3 ? "O-O-O" : "O-O";
    std::string token = PieceLetter(move.Kind, DefaultPieceLetters);
    if (move.Flags & mrCapture)
        token += 'x';
    token += SquareName(move.To);
    if ((move.Flags & mrPromotion) && move.PromotionKind >= pkRook
        && move.PromotionKind <= pkQueen) {
        token += '=';
        token += PieceLetter(move.PromotionKind, DefaultPieceLetters);
    }
    if (move.Flags & mrCheck)
        token += (move.Flags & mrGameOver) ? '#' : '+';
    return token;
}

std::string ExportTagValue(const std::string& value) {
    std::string safe;
    safe.reserve(value.size());
    for (size_t i = 0; i < value.size(); ++i) {
        const auto byte = static_cast<unsigned char>(value[i]);
        if (byte < 0x20 || byte == 0x7F) {
            safe += ' ';
            continue;
        }
        // U+0085 (C2 85) and U+2028, U+2029 (E2 80 A8, E2 80 A9) end a line for some readers.
        if (byte == 0xC2 && i + 1 < value.size() && uint8_t(value[i + 1]) == 0x85) {
            safe += ' ';
            ++i;
            continue;
        }
        if (byte == 0xE2 && i + 2 < value.size() && uint8_t(value[i + 1]) == 0x80
            && (uint8_t(value[i + 2]) == 0xA8 || uint8_t(value[i + 2]) == 0xA9)) {
            safe += ' ';
            i += 2;
            continue;
        }
        safe += value[i];
    }
    return safe;
}

std::string GameExportText(const TGameInfo& game) {
    const std::string end = "\r\n";
    auto tag = [&end](const char* name, const std::string& value) {
        return std::string("[") + name + " \"" + value + "\"]" + end;
    };
    const std::string result = ResultToken(game.Result);
    std::string text = tag("Event", "Wintermoot 3 Game");
    text += tag("Site", "");
    text += tag("Date", DateTag(game.Date));
    text += tag("Round", std::to_string(game.Moves.Count()));
    text += tag("White", ExportTagValue(game.White));
    text += tag("Black", ExportTagValue(game.Black));
    text += tag("Result", result);
    text += tag("White time", TimeText(game.WhiteTime));
    text += tag("Black time", TimeText(game.BlackTime));
    text += end;

    int index = 0;
    for (const TMoveRecord* move = game.Moves.First(); move; move = move->Next, ++index) {
        if (index % 2 == 0)
            text += std::to_string(index / 2 + 1) + ".";
        text += ExportMoveToken(*move);
        text += ' ';
    }
    if (game.Result >= grWhiteWon && game.Result <= grTied)
        text += result + end;
    return text;
}
