#include "ShortString.h"

#include "StoredText.h"
#include "StreamIO.h"

#include <array>
#include <cstdint>

std::string CutUtf8(std::string_view text, size_t maxBytes) {
    if (text.size() <= maxBytes)
        return std::string(text);
    // Back up over continuation bytes (10xxxxxx) to the start of the character that does not fit.
    size_t end = maxBytes;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    return std::string(text.substr(0, end));
}

void WriteShortString(std::ostream& out, std::string_view text) {
    const std::string cut = CutUtf8(text, ShortStringMax);
    std::array<char, ShortStringMax> field {};
    cut.copy(field.data(), cut.size());
    WriteByte(out, static_cast<uint8_t>(cut.size()));
    WriteBytes(out, field.data(), field.size());
}

std::string ReadShortString(std::istream& in) {
    const uint8_t length = ReadByte(in);
    std::array<char, ShortStringMax> field;
    ReadBytes(in, field.data(), field.size());
    // Decoding single-byte text can make it longer than the field; it is cut again.
    return CutUtf8(
        DecodeStoredText(QByteArrayView(field.data(), length)).toStdString(), ShortStringMax);
}
