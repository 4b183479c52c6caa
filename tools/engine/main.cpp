// wintermoot-engine: the computer player for chess programs that speak the Universal Chess
// Interface, on standard input and output.

#include "UciEngine.h"

#include <cstdio>
#include <cstring>
#include <unistd.h>

int main(int argc, char** argv) {
    if (argc > 1) {
        const bool help = std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0;
        std::fprintf(help ? stdout : stderr,
            "Usage: wintermoot-engine\n"
            "Speaks the Universal Chess Interface on standard input and output; add it to a "
            "chess program as a UCI engine by its path.\n");
        return help ? 0 : 2;
    }
    return RunUciLoop(STDIN_FILENO, stdout);
}
