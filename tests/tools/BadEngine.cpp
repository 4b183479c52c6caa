// A UCI engine that misbehaves on purpose, for the tests of the engine agent. It plays White's
// first moves from a fixed list (e2e4, g1f3, f1c4) and misbehaves as its argument says, at once
// or on its third search (the mode comes from the environment variable WM_BAD_ENGINE_MODE when
// no argument gives it):
//   no-uciok   never answers uci
//   crash      aborts on the third go
//   hang       never answers the third go
//   illegal    answers the third go with a move that is not legal (e1e8)
//   malformed  answers the third go with "bestmove xyzzy"
//   flood      writes without end on the third go
//   long-line  writes one endless line on the third go
//   good       plays its list, then f1c4
//   mate       plays its list, reporting "score mate -1" and "score mate 2" instead of centipawns
//   shuffle    plays only its king's knight out and back (either colour), so that a game
//              between two of it repeats the start position

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

int main(int argc, char** argv) {
    const char* const fromEnvironment = std::getenv("WM_BAD_ENGINE_MODE");
    const std::string mode = argc > 1 ? argv[1] : fromEnvironment ? fromEnvironment : "good";
    const char* const moves[] = { "e2e4", "g1f3" };
    int searches = 0;
    // The half-moves of the last "position startpos moves ..." command.
    int played = 0;
    std::string line;
    std::cout.setf(std::ios::unitbuf);
    while (std::getline(std::cin, line)) {
        if (line == "uci") {
            if (mode == "no-uciok")
                continue;
            std::cout << "id name BadEngine " << mode << "\nuciok\n";
        } else if (line == "isready") {
            std::cout << "readyok\n";
        } else if (line == "quit") {
            return 0;
        } else if (line.rfind("position", 0) == 0) {
            played = 0;
            const size_t list = line.find(" moves ");
            for (size_t at = list; at != std::string::npos; at = line.find(' ', at + 1))
                ++played;
            if (list != std::string::npos)
                --played;
        } else if (line.rfind("go", 0) == 0 && mode == "shuffle") {
            const bool white = played % 2 == 0;
            const bool out = (played / 2) % 2 == 0;
            const char* const knight[2][2] = { { "f6g8", "g8f6" }, { "f3g1", "g1f3" } };
            std::cout << "bestmove " << knight[white][out] << '\n';
        } else if (line.rfind("go", 0) == 0) {
            ++searches;
            if (searches <= 2) {
                if (mode == "mate")
                    std::cout << "info depth 1 score mate " << (searches == 1 ? -1 : 2) << '\n';
                else
                    std::cout << "info depth 1 score cp " << searches * 10 << '\n';
                std::cout << "bestmove " << moves[searches - 1] << '\n';
                continue;
            }
            if (mode == "crash")
                std::abort();
            if (mode == "hang")
                continue;
            if (mode == "illegal")
                std::cout << "bestmove e1e8\n";
            else if (mode == "malformed")
                std::cout << "bestmove xyzzy\n";
            else if (mode == "flood" || mode == "long-line") {
                const std::string chunk(4096, 'x');
                for (;;)
                    std::cout << (mode == "flood" ? "info string " + chunk + '\n' : chunk);
            } else
                std::cout << "bestmove f1c4\n";
        }
    }
    return 0;
}
