#include "GameName.h"

#include <algorithm>
#include <cstddef>

namespace {

constexpr std::size_t NameMaxBytes = 255;

// Length of the valid UTF-8 sequence at text[i] and its code point, or 0 when the bytes there
// are not one (stray continuation bytes, overlong forms, surrogates, values above U+10FFFF).
std::size_t DecodeUtf8(const std::string& text, std::size_t i, char32_t& codePoint) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    std::size_t length = 0;
    char32_t min = 0;
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2;
        min = 0x80;
        codePoint = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        min = 0x800;
        codePoint = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        min = 0x10000;
        codePoint = lead & 0x07;
    } else {
        return 0;
    }
    if (i + length > text.size())
        return 0;
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80)
            return 0;
        codePoint = (codePoint << 6) | (byte(i + k) & 0x3F);
    }
    if (codePoint < min || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
        return 0;
    return length;
}

bool IsControl(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

// Characters that change how the text around them is shown rather than showing anything: the
// direction marks, embeddings, overrides and isolates (a name holding U+202E shows the rest of its
// line, the host's address included, backwards), the line and paragraph separators, the byte-order
// mark and the interlinear annotation marks.
bool IsLayoutControl(char32_t c) {
    return c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E)
        || (c >= 0x2066 && c <= 0x2069) || c == 0x2028 || c == 0x2029 || c == 0xFEFF
        || (c >= 0xFFF9 && c <= 0xFFFB);
}

} // namespace

std::string CleanGameName(const std::string& name) {
    std::string kept;
    kept.reserve(std::min(name.size(), std::size_t { 4 * NameMaxBytes }));
    for (std::size_t i = 0; i < name.size();) {
        char32_t c = 0;
        const std::size_t length = DecodeUtf8(name, i, c);
        if (length == 0) {
            ++i;
            continue;
        }
        if (!IsControl(c) && !IsLayoutControl(c) && c != U'|')
            kept.append(name, i, length);
        i += length;
    }
    const std::size_t first = kept.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    kept = kept.substr(first, kept.find_last_not_of(' ') - first + 1);
    if (kept.size() > NameMaxBytes) {
        std::size_t cut = NameMaxBytes;
        while (cut > 0 && (static_cast<unsigned char>(kept[cut]) & 0xC0) == 0x80)
            --cut;
        kept.resize(cut);
        kept.erase(kept.find_last_not_of(' ') + 1);
    }
    return kept;
}
