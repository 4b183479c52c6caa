#pragma once

// Text in the program's binary files and messages. Such text is held as UTF-8 bytes; bytes that
// are not valid UTF-8 come from files made with a single-byte code page and are read as
// Windows-1252. Short strings (a length byte and up to 255 bytes) are cut at a character
// boundary, so they never end in half a character.

#include <cstddef>
#include <iosfwd>
#include <string>
#include <string_view>

constexpr size_t ShortStringMax = 255;

bool IsValidUtf8(std::string_view bytes);
// UTF-8 text from bytes read from a file or a message: valid UTF-8 is kept as it is, anything
// else is decoded as Windows-1252 (the five bytes that code page leaves undefined map to the
// control characters of the same number).
std::string DecodeStoredText(std::string_view bytes);
// The longest prefix of at most maxBytes bytes that does not split a UTF-8 character.
std::string CutUtf8(std::string_view text, size_t maxBytes);

// A short string in a fixed field: one length byte, then 255 bytes of which the first `length`
// carry the text; the rest are written as 0.
void WriteShortString(std::ostream& out, std::string_view text);
// Reads the 256-byte field and decodes its text; throws EStreamError when the stream ends early.
std::string ReadShortString(std::istream& in);
