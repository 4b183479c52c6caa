#pragma once

// Short strings of the binary files and messages: a length byte and up to 255 bytes of UTF-8,
// cut at a character boundary so that they never end in half a character.

#include <cstddef>
#include <iosfwd>
#include <string>
#include <string_view>

constexpr size_t ShortStringMax = 255;

// The longest prefix of at most maxBytes bytes that does not split a UTF-8 character.
std::string CutUtf8(std::string_view text, size_t maxBytes);

// A short string in a fixed field: one length byte, then 255 bytes of which the first `length`
// carry the text; the rest are written as 0.
void WriteShortString(std::ostream& out, std::string_view text);
// Reads the 256-byte field and decodes its text (UTF-8, or Windows-1252 from older files);
// throws EStreamError when the stream ends early.
std::string ReadShortString(std::istream& in);
