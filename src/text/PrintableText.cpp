#include "PrintableText.h"

#include <algorithm>

std::string PrintableForLog(std::string_view text, std::size_t maxBytes) {
    std::string printable;
    const std::size_t kept = std::min(text.size(), maxBytes);
    printable.reserve(kept + 3);
    for (std::size_t i = 0; i < kept; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        printable += c < 0x20 || c >= 0x7F ? '?' : static_cast<char>(c);
    }
    if (kept < text.size())
        printable += "...";
    return printable;
}
