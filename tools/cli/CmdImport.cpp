// import: games of a PGN file as a saved game or into the user's history; bench-pgn: the read
// speed of the PGN reader.

#include "Commands.h"
#include "HistoryImport.h"
#include "Pgn.h"
#include "PgnFileReader.h"
#include "PgnGame.h"
#include "RandomGame.h"
#include "UnitChessGame.h"
#include "UnitHistory.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <chrono>
#include <filesystem>
#include <iostream>
#include <optional>
#include <random>

#include <sys/resource.h>

namespace {

const char* const ImportUsage = "usage: wintermoot-cli import FILE.pgn [--game N] OUT.wtg\n"
                                "       wintermoot-cli import --history FILE.pgn";
const char* const BenchUsage
    = "usage: wintermoot-cli bench-pgn [FILE.pgn] [--games N] [--repeat R]";

int ImportGame(const std::string& pgnPath, int number, const std::string& outPath) {
    // Only game N is kept; the reading stops there.
    TPgnFile file;
    const std::string fileError = ReadPgnFile(pgnPath, [&](const TPgnGameRecord& game) {
        if (game.Number != size_t(number))
            return true;
        file.Games.emplace_back().Assign(game);
        return false;
    });
    if (file.Games.empty()) {
        if (!fileError.empty())
            std::cerr << "wintermoot-cli import: " << fileError << '\n';
        else
            std::cerr << "wintermoot-cli import: " << pgnPath << " holds no game " << number
                      << '\n';
        return 1;
    }
    const TPgnGameRecord& record = file.Games.front();
    if (!record.Warning.empty())
        std::cerr << "wintermoot-cli import: warning: " << record.Warning << '\n';
    if (!record.Error.empty()) {
        if (record.Moves.Count() == 0) {
            std::cerr << "wintermoot-cli import: " << record.Error << "; " << outPath
                      << " not written\n";
            return 1;
        }
        std::cerr << "wintermoot-cli import: warning: " << record.Error << "; the "
                  << MoveCountText(record.Moves.Count()) << " before it are saved\n";
    }

    int argc = 1;
    char name[] = "wintermoot-cli";
    char* argv[] = { name, nullptr };
    QCoreApplication app(argc, argv);

    TChessGame game;
    if (!LoadPgnGame(record, game)) {
        std::cerr << "wintermoot-cli import: " << DescribePgnGame(record) << ": its start position "
                  << "cannot be set up; " << outPath << " not written\n";
        return 1;
    }
    // The saved-game writer saves a game that is under way; one that is paused continues from
    // its last position when it is loaded.
    game.GameState = gsPaused;
    if (!game.SaveGame(QFile::decodeName(outPath.c_str()))) {
        std::cerr << "wintermoot-cli import: cannot write " << outPath << '\n';
        return 1;
    }
    if (!record.StartFen.empty())
        std::cerr << "wintermoot-cli import: note: " << DescribePgnGame(record)
                  << " starts from a set-up position; the saved game holds it, but the "
                     "history, which replays its games from the initial position, cannot\n";
    std::cout << "saved " << DescribePgnGame(record) << ", " << MoveCountText(record.Moves.Count())
              << ", to " << outPath << '\n';
    return 0;
}

int ImportHistory(const std::string& pgnPath) {
    const QString historyPath = DefaultHistoryFile();
    const std::string shown = QFile::encodeName(historyPath).toStdString();
    THistory history;
    const THistoryLoad load = history.Load(historyPath);
    if (load != hlLoaded && load != hlMissing) {
        // Saving now would lose what the file holds beyond what could be read.
        std::cerr << "wintermoot-cli import: the history file " << shown
                  << " cannot be read whole; nothing added\n";
        return 1;
    }
    const qint64 size = load == hlLoaded ? QFileInfo(historyPath).size() : EmptyHistoryFileSize;

    const THistoryImport import
        = ImportPgnFileIntoHistory(history, pgnPath, size, [](bool added, const std::string& line) {
              std::cout << (added ? "added " : "skipped ") << line << '\n';
          });
    const std::string& fileError = import.FileError;
    if (!fileError.empty() && import.Read == 0 && import.Skipped == 0) {
        // Not a file that could be opened, or nothing in it read at all.
        std::cerr << "wintermoot-cli import: " << fileError << '\n';
        return 1;
    }
    const int added = import.Added;
    const int skipped = import.Skipped;
    const int read = import.Read;
    if (!fileError.empty())
        std::cerr << "wintermoot-cli import: " << fileError << '\n';
    if (added > 0) {
        QDir().mkpath(QFileInfo(historyPath).absolutePath());
        if (!history.SaveToFile(historyPath)) {
            std::cerr << "wintermoot-cli import: cannot write the history file " << shown
                      << "; nothing added\n";
            return 1;
        }
    }
    std::cout << added << (added == 1 ? " game" : " games") << " added to " << shown << ", "
              << skipped << " skipped\n";
    if (read == 0) {
        std::cerr << "wintermoot-cli import: no game of " << pgnPath << " could be read\n";
        return 1;
    }
    return 0;
}

// Random legal games exported as PGN, as the program itself writes them.
std::string RandomGames(int count) {
    std::mt19937 random(2026);
    std::string text;
    for (int g = 0; g < count; ++g) {
        TGameInfo game;
        game.White = "White " + std::to_string(g);
        game.Black = "Black " + std::to_string(g);
        game.Result = grTied;
        TChessBoard board;
        const int plies = 60 + int(random() % 100);
        TRandomPlay play;
        play.Promotion = pkQueen;
        PlayRandomGame(board, pcWhite, game.Moves, plies, random, play);
        text += GamePgn(game) + '\n';
    }
    return text;
}

} // namespace

int CmdImport(const TArgs& args) {
    bool toHistory = false;
    int number = 1;
    bool numbered = false;
    std::vector<std::string> operands;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--history") {
            toHistory = true;
        } else if (arg == "--game") {
            if (++i >= args.size())
                throw EUsageError(std::string("--game needs a number\n") + ImportUsage);
            try {
                number = ParseInt(args[i], "--game", 1, int(TPgnLimits {}.MaxGames));
            } catch (const EUsageError& error) {
                throw EUsageError(std::string(error.what()) + "\n" + ImportUsage);
            }
            numbered = true;
        } else if (arg.rfind("--", 0) == 0) {
            throw EUsageError("unknown option " + arg + "\n" + ImportUsage);
        } else {
            operands.push_back(arg);
        }
    }
    if (toHistory) {
        if (numbered || operands.size() != 1)
            throw EUsageError(ImportUsage);
        return ImportHistory(operands[0]);
    }
    if (operands.size() != 2)
        throw EUsageError(ImportUsage);
    return ImportGame(operands[0], number, operands[1]);
}

int CmdBenchPgn(const TArgs& args) {
    int games = 2000;
    int repeat = 5;
    std::string path;
    TArgs options;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i].rfind("--", 0) == 0) {
            options.push_back(args[i]);
            if (i + 1 < args.size())
                options.push_back(args[++i]);
        } else if (path.empty()) {
            path = args[i];
        } else {
            throw EUsageError(BenchUsage);
        }
    }
    ParseIntOptions(
        options, { { "--games", &games, 1, 100000 }, { "--repeat", &repeat, 1, 1000 } });

    // A file is read from the disk in pieces at each round, as the program reads one; without a
    // file the random games are read from memory.
    std::string text;
    uintmax_t bytes = 0;
    if (path.empty()) {
        text = RandomGames(games);
        bytes = text.size();
        std::cout << "file: " << games << " random games exported as PGN";
    } else {
        std::error_code code;
        bytes = std::filesystem::file_size(path, code);
        if (code) {
            std::cerr << "wintermoot-cli bench-pgn: cannot read " << path << '\n';
            return 1;
        }
        std::cout << "file: " << path;
    }
    std::cout << ", " << bytes << " bytes\n";

    double best = 0;
    size_t read = 0;
    size_t moves = 0;
    size_t errors = 0;
    for (int r = 0; r < repeat; ++r) {
        read = moves = errors = 0;
        const auto start = std::chrono::steady_clock::now();
        const auto count = [&](const TPgnGameRecord& game) {
            ++read;
            moves += game.Moves.Count();
            errors += game.Error.empty() ? 0 : 1;
            return true;
        };
        const std::string error
            = path.empty() ? ReadPgnGames(text, count) : ReadPgnFile(path, count);
        const double seconds
            = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (r == 0 || seconds < best)
            best = seconds;
        if (!error.empty()) {
            std::cerr << "wintermoot-cli bench-pgn: " << error << '\n';
            return 1;
        }
    }
    std::cout << "games: " << read << " (" << errors << " with an error), half-moves: " << moves
              << '\n';
    std::cout << "best of " << repeat << ": " << best * 1000 << " ms, " << read / best
              << " games/s, " << double(bytes) / (1 << 20) / best << " MB/s, " << moves / best
              << " half-moves/s\n";
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    std::cout << "peak memory of the process: " << usage.ru_maxrss / 1024 << " MB\n";
    return 0;
}
