#pragma once

// Little-endian reading and writing of the items the program's binary files and messages are
// made of. Every reader throws EStreamError when the stream ends early or fails, so a caller can
// read a whole structure and refuse it as one piece.

#include <cstdint>
#include <iosfwd>
#include <stdexcept>
#include <string>

class EStreamError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

void WriteByte(std::ostream& out, uint8_t value);
void WriteU16(std::ostream& out, uint16_t value);
void WriteI32(std::ostream& out, int32_t value);
void WriteBytes(std::ostream& out, const void* data, size_t size);
// A text item: i32 length, then that many bytes, no terminator.
void WriteText(std::ostream& out, const std::string& text);

uint8_t ReadByte(std::istream& in);
uint16_t ReadU16(std::istream& in);
int32_t ReadI32(std::istream& in);
void ReadBytes(std::istream& in, void* data, size_t size);
// Reads a text item; a length of 0 or less gives an empty text. A length above maxLength is
// refused, so a damaged length cannot make the reader allocate without bound.
std::string ReadText(std::istream& in, int32_t maxLength);
// The bytes begin with the text item of `text` (its length, then its characters): the magic that
// opens the program's binary files.
bool StartsWithTextItem(const std::string& bytes, const std::string& text);
