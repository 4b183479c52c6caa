#pragma once

// Outside text made safe to print on a terminal or into a log: the standard library only, so the
// list server, the command-line tool and the engine share it.

#include <cstddef>
#include <string>
#include <string_view>

// Text from outside (a request, a peer's name or chat line, an engine's output) as a log or a
// terminal may show it: at most maxBytes bytes, every byte outside printable ASCII (controls such
// as the escape that starts a terminal command, and all non-ASCII) given as "?", and "..." where
// it was cut.
std::string PrintableForLog(std::string_view text, std::size_t maxBytes);
