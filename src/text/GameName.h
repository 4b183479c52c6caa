#pragma once

// The name of a hosted game as the game list shows it. Shared by the program, which cleans the
// names it reads from a list server, and by the list server, which cleans the names it is given;
// plain C++, so that the server needs nothing else of the program.

#include <string>

// A name as the list can hold it: invalid UTF-8, "|", control characters (C0, DEL and C1) and
// the characters that reorder or break the displayed line (direction overrides and marks, line and
// paragraph separators, byte-order mark) are dropped, surrounding spaces trimmed, and the result
// cut to 255 bytes at a character boundary.
std::string CleanGameName(const std::string& name);
