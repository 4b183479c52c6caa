// wintermoot-cli: the game's libraries without a window, for checking the rules and the computer
// player, for pictures of the board view and for benchmarks.

#include "Commands.h"
#include "Settings.h"
#include "Update.h"

#include <cstring>
#include <iostream>

namespace {

struct TCommand {
    const char* Name;
    int (*Run)(const TArgs&);
    const char* Usage;
};

const TCommand Commands[] = {
    { "legal", CmdLegal,
        "legal FEN                 the legal moves of the side to move, one a line" },
    { "perft", CmdPerft,
        "perft FEN DEPTH           the number of leaf positions DEPTH moves deep" },
    { "selfplay", CmdSelfplay,
        "selfplay [--depth D] [--white-level L] [--black-level L] [--max-moves N] [--seed S]\n"
        "         [--save-after K FILE]  a computer-against-computer game through the controller" },
    { "match", CmdMatch,
        "match PLAYER1 PLAYER2 [--games N] [--movetime MS | --depth D] [--max-moves N]\n"
        "      [--pgn FILE]          games between two players through the controller, colours\n"
        "                            alternating (2 games); PLAYER is\n"
        "                            builtin:novice|skilled|expert[:DEPTH] or\n"
        "                            uci:COMMAND[,Option=Value...]; engines search\n"
        "                            --movetime MS (1000) or --depth D, which also sets the depth\n"
        "                            of a builtin player without its own; a game drawn by\n"
        "                            repetition, fifty moves or too little material ends\n"
        "                            there; one still going after N half-moves\n"
        "                            (--max-moves, 200) is a draw; prints\n"
        "                            each game, the first player's score and the Elo\n"
        "                            difference with its 95% margin (+inf/-inf at 100%/0%)" },
    { "search", CmdSearch,
        "search FEN DEPTH [LASTFROM] [--threads N] [--table-mb M] [--stats]\n"
        "                            the computer player's scored moves, best first" },
    { "bench", CmdBench,
        "bench [--min-depth N] [--max-depth N] [--reference-max-depth N]\n"
        "      [--untabled-max-depth N] [--threads N] [--table-mb M]\n"
        "                            times the computer player's search against the plain one" },
    { "verify", CmdVerify,
        "verify [--positions N] [--max-depth D] [--seed S] [--threads N] [--table-kb K]\n"
        "                            compares the computer player's search with the plain one on\n"
        "                            N positions from random games (20000, depths 0 to 2)" },
    { "render", CmdRender,
        "render FEN OUT.png [--set N] [--enhanced] [--colored] [--switched] [--smooth]\n"
        "      [--ratio R] [--size N] the board view of the position, as the window draws it\n"
        "                            (506 x 506, set 3, traditional style, by default); --smooth\n"
        "                            with the smooth pieces, --ratio at R device pixels a pixel,\n"
        "                            --size N at N pixels (506 to 4096)" },
    { "render-sets", CmdRenderSets,
        "render-sets OUT.png [--colored] [--smooth]\n"
        "                            a sheet of the twelve pieces of every built-in set" },
    { "bench-draw", CmdDrawBench,
        "bench-draw [--frames N] [--set N]\n"
        "                            times the drawing of the board view (2000 frames a style),\n"
        "                            then at 54, 90 and 120-pixel squares and pixel ratios 1, 2" },
    { "bench-draw-rules", CmdDrawRulesBench,
        "bench-draw-rules [--plies N] [--seed S]\n"
        "                            times the draw rules' checks per move over a long game of\n"
        "                            random legal moves (20000 half-moves)" },
    { "host", CmdHost,
        "host [--port N] [--colour white|black] [--name NAME] [--level L] [--depth D]\n"
        "     [--max-moves N]        hosts a network game and plays it as the computer;\n"
        "                            --port 0 listens on a free port; --max-moves stops the game\n"
        "                            on the host's first turn after N moves" },
    { "join", CmdJoin,
        "join ADDRESS [--port N] [--name NAME] [--level L] [--depth D]\n"
        "                            joins a hosted network game and plays it as the computer" },
    { "bench-host", CmdBenchHost,
        "bench-host [--messages N] [--megabytes M] [--connections C]\n"
        "                            a child host against misbehaving clients on loopback: floods\n"
        "                            during a pause, a client that never reads, C idle "
        "connections" },
    { "uci", CmdUci,
        "uci                       the computer player as a UCI engine on standard input and\n"
        "                            output, as wintermoot-engine" },
    { "bench-engine", CmdBenchEngine,
        "bench-engine [--threads N] [--max-depth D] [--stop-max-depth D] [--repeat N]\n"
        "                            times the UCI engine's go depth against one search of that\n"
        "                            depth, and its answer to stop while searching" },
    { "bench-agent", CmdAgentBench,
        "bench-agent [--engine COMMAND] [--movetime MS] [--seconds S]\n"
        "                            the event loop's gaps and the board's frame times while two\n"
        "                            UCI engines (wintermoot-engine by default) play, when one is\n"
        "                            killed mid-search, and when the game is stopped mid-search" },
    { "history", CmdHistory,
        "history [FILE]            the games of the history (the user's own by default): number,\n"
        "                            date, white, black, result and moves, tab-separated" },
    { "export", CmdExport,
        "export [--pgn] [--history FILE] (INDEX | --all) OUT\n"
        "                            writes game INDEX of the history as text, or as PGN;\n"
        "                            --all --pgn writes every game to one PGN file" },
    { "import", CmdImport,
        "import FILE.pgn [--game N] OUT.wtg | import --history FILE.pgn\n"
        "                            writes game N (1) of a PGN file as a saved game, or adds\n"
        "                            the file's games to the history, one line per game" },
    { "bench-pgn", CmdBenchPgn,
        "bench-pgn [FILE.pgn] [--games N] [--repeat R]\n"
        "                            times the PGN reader on the file, or on N (2000) random\n"
        "                            games it exports, in games and MB per second" },
    { "bench-resume", CmdResumeBench,
        "bench-resume [--moves N] [--folder DIR]\n"
        "                            times the keeping of the game in progress after each of\n"
        "                            N (100) moves, median and worst in microseconds" },
};

// The addresses the program was built with.
void PrintAddresses(std::ostream& out) {
    out << "Game server (default of the GameServer setting): " << DefaultGameServer << '\n'
        << "Version file of the update check: " << VersionFileAddress().toStdString() << '\n';
}

void PrintHelp(std::ostream& out) {
    out << "Usage: wintermoot-cli COMMAND [ARGUMENTS]\n\nCommands:\n";
    for (const TCommand& c : Commands)
        out << "  " << c.Usage << '\n';
    out << "  --version                 the version and the addresses the program was built with\n";
    out << "\nFEN arguments are one quoted argument, e.g. "
           "\"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1\".\n\n";
    PrintAddresses(out);
}

// 324 is "3.2.4".
void PrintVersion(std::ostream& out) {
    const std::string digits = std::to_string(CurrentVersion);
    std::string version;
    for (const char digit : digits) {
        if (!version.empty())
            version += '.';
        version += digit;
    }
    out << "wintermoot-cli (Wintermoot " << version << ")\n";
    PrintAddresses(out);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        PrintHelp(std::cerr);
        return 2;
    }
    const std::string name = argv[1];
    if (name == "--help" || name == "-h" || name == "help") {
        PrintHelp(std::cout);
        return 0;
    }
    if (name == "--version") {
        PrintVersion(std::cout);
        return 0;
    }
    for (const TCommand& c : Commands) {
        if (name != c.Name)
            continue;
        try {
            return c.Run(TArgs(argv + 2, argv + argc));
        } catch (const EUsageError& e) {
            std::cerr << "wintermoot-cli " << name << ": " << e.what() << '\n';
            return 2;
        }
    }
    std::cerr << "wintermoot-cli: unknown command '" << name << "' (try --help)\n";
    return 2;
}
