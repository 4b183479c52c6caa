#include "StreamIO.h"

#include <cstring>

#include <istream>
#include <ostream>

void WriteBytes(std::ostream& out, const void* data, size_t size) {
    out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
}

void WriteByte(std::ostream& out, uint8_t value) {
    out.put(static_cast<char>(value));
}

void WriteU16(std::ostream& out, uint16_t value) {
    const uint8_t bytes[2] = { uint8_t(value), uint8_t(value >> 8) };
    WriteBytes(out, bytes, 2);
}

void WriteI32(std::ostream& out, int32_t value) {
    const auto u = static_cast<uint32_t>(value);
    const uint8_t bytes[4] = { uint8_t(u), uint8_t(u >> 8), uint8_t(u >> 16), uint8_t(u >> 24) };
    WriteBytes(out, bytes, 4);
}

void WriteText(std::ostream& out, const std::string& text) {
    WriteI32(out, static_cast<int32_t>(text.size()));
    WriteBytes(out, text.data(), text.size());
}

void ReadBytes(std::istream& in, void* data, size_t size) {
    in.read(static_cast<char*>(data), static_cast<std::streamsize>(size));
    if (!in || static_cast<size_t>(in.gcount()) != size)
        throw EStreamError("unexpected end of data");
}

uint8_t ReadByte(std::istream& in) {
    uint8_t b = 0;
    ReadBytes(in, &b, 1);
    return b;
}

uint16_t ReadU16(std::istream& in) {
    uint8_t b[2];
    ReadBytes(in, b, 2);
    return static_cast<uint16_t>(b[0] | (b[1] << 8));
}

int32_t ReadI32(std::istream& in) {
    uint8_t b[4];
    ReadBytes(in, b, 4);
    const uint32_t u
        = uint32_t(b[0]) | (uint32_t(b[1]) << 8) | (uint32_t(b[2]) << 16) | (uint32_t(b[3]) << 24);
    return static_cast<int32_t>(u);
}

std::string ReadText(std::istream& in, int32_t maxLength) {
    const int32_t length = ReadI32(in);
    if (length <= 0)
        return {};
    if (length > maxLength)
        throw EStreamError("text item too long");
    std::string text(static_cast<size_t>(length), '\0');
    ReadBytes(in, text.data(), text.size());
    return text;
}

bool StartsWithTextItem(const std::string& bytes, const std::string& text) {
    if (bytes.size() < 4 + text.size())
        return false;
    const uint32_t length = static_cast<uint32_t>(text.size());
    const char prefix[4] = { char(length & 0xFF), char((length >> 8) & 0xFF),
        char((length >> 16) & 0xFF), char((length >> 24) & 0xFF) };
    return std::memcmp(bytes.data(), prefix, 4) == 0 && bytes.compare(4, text.size(), text) == 0;
}
