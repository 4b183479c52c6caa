#pragma once

// The cleaning of a hosted game's name, so that a name taken from anyone on the network shows as
// one line of ordinary visible text and cannot pass for another entry or an address. Used by the
// list server on the names it is given and again on every name read back from its store, and by
// the program on the names it reads from a list server. Plain C++, so that the server needs
// nothing else of the program.

#include <string>

// A name as the list can hold it, from UTF-8 in to UTF-8 out; empty when nothing visible is left
// (the name is then refused). Rules, in order:
// - invalid UTF-8 (stray bytes, overlong forms, surrogates) is dropped;
// - "|" and control characters (C0, DEL, C1) are dropped;
// - format characters are dropped: the direction marks, embeddings, overrides and isolates, the
//   line and paragraph separators, the byte-order mark, soft hyphen, word joiner and the invisible
//   operators, the deprecated format characters, the tag characters and the rest of U+E0000 to
//   U+E0FFF; the zero-width joiner and non-joiner are kept only between two visible characters
//   (as in an emoji sequence), one at a time;
// - characters that show as blank are dropped: the Hangul fillers (U+115F, U+1160, U+3164,
//   U+FFA0), the braille blank U+2800, the combining grapheme joiner U+034F, the Khmer inherent
//   vowels U+17B4 and U+17B5;
// - spaces of every kind (ASCII, no-break, ideographic, the typographic spaces) around the name
//   are trimmed, so that a name of spaces alone is empty;
// - combining marks are kept only after a visible character, at most four on one character;
// - the result is cut to 255 bytes at a character boundary.
std::string CleanGameName(const std::string& name);
