// import: games of a PGN file as a saved game or into the user's history; bench-pgn: the read
// speed of the PGN reader.

#include "Commands.h"
#include "Perft.h"
#include "Pgn.h"
#include "PgnFileReader.h"
#include "PgnGame.h"
#include "UnitChessGame.h"
#include "UnitHistory.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <chrono>
#include <iostream>
#include <optional>
#include <random>

namespace {

const char* const ImportUsage = "usage: wintermoot-cli import FILE.pgn [--game N] OUT.wtg\n"
                                "       wintermoot-cli import --history FILE.pgn";
const char* const BenchUsage
    = "usage: wintermoot-cli bench-pgn [FILE.pgn] [--games N] [--repeat R]";

// Files above this size are not read back by the history (THistory::Load), so an import never
// makes one.
constexpr qint64 HistoryFileLimit = qint64(1) << 30;

uint8_t HistoryResult(const std::string& result) {
    if (result == "1-0")
        return grWhiteWon;
    if (result == "0-1")
        return grBlackWon;
    if (result == "1/2-1/2")
        return grTied;
    return grUnfinished;
}

// The day of the Date tag ("2024.03.09"), with the Time tag's time of day when it has one;
// none when the tag gives no whole date.
std::optional<double> HistoryDate(const TPgnGameRecord& game) {
    const QDate day = QDate::fromString(QString::fromStdString(game.Tag("Date")), "yyyy.MM.dd");
    if (!day.isValid())
        return std::nullopt;
    QTime time = QTime::fromString(QString::fromStdString(game.Tag("Time")), "hh:mm:ss");
    if (!time.isValid())
        time = QTime(0, 0);
    return EncodeDate(QDateTime(day, time));
}

std::string Describe(const TPgnGameRecord& game) {
    return "game " + std::to_string(game.Number) + " (" + game.Players() + ")";
}

bool SameMoves(const TMoveList& a, const TMoveList& b) {
    if (a.Count() != b.Count())
        return false;
    for (const TMoveRecord *x = a.First(), *y = b.First(); x && y; x = x->Next, y = y->Next) {
        if (x->From != y->From || x->To != y->To
            || ((x->Flags & mrPromotion) && x->PromotionKind != y->PromotionKind))
            return false;
    }
    return true;
}

// A game of the history with the same players, result and moves, and the same date unless the
// PGN game has none (its date is then the moment of the import, different every time).
bool InHistory(const THistory& history, const std::string& white, const std::string& black,
    const double* date, uint8_t result, const TMoveList& moves) {
    for (const TGameInfo* game = history.First(); game; game = game->Next) {
        if ((!date || game->Date == *date) && game->Result == result && game->White == white
            && game->Black == black && SameMoves(game->Moves, moves))
            return true;
    }
    return false;
}

// The bytes a game takes in the history file: date, both names, both clocks, result, moves.
qint64 StoredSize(const std::string& white, const std::string& black, const TMoveList& moves) {
    return 8 + 4 + qint64(white.size()) + 4 + qint64(black.size()) + 4 + 4 + 1 + 4
        + 19 * qint64(moves.Count());
}

bool ReadFileOrSay(const std::string& path, std::string& bytes) {
    std::string error;
    if (ReadPgnFileBytes(path, bytes, error))
        return true;
    std::cerr << "wintermoot-cli import: " << error << '\n';
    return false;
}

std::string Moves(size_t count) {
    return std::to_string(count) + (count == 1 ? " move" : " moves");
}

int ImportGame(const std::string& pgnPath, int number, const std::string& outPath) {
    std::string bytes;
    if (!ReadFileOrSay(pgnPath, bytes))
        return 1;
    // Only game N is kept; the reading stops there.
    TPgnFile file;
    const std::string fileError = ReadPgnGames(bytes, [&](const TPgnGameRecord& game) {
        if (game.Number != size_t(number))
            return true;
        TPgnGameRecord& kept = file.Games.emplace_back();
        kept.Number = game.Number;
        kept.Tags = game.Tags;
        kept.StartFen = game.StartFen;
        kept.StartSide = game.StartSide;
        kept.Moves.Assign(game.Moves);
        kept.Result = game.Result;
        kept.Error = game.Error;
        return false;
    });
    if (file.Games.empty()) {
        if (!fileError.empty())
            std::cerr << "wintermoot-cli import: " << pgnPath << ": " << fileError << '\n';
        else
            std::cerr << "wintermoot-cli import: " << pgnPath << " holds no game " << number
                      << '\n';
        return 1;
    }
    const TPgnGameRecord& record = file.Games.front();
    if (!record.Error.empty()) {
        if (record.Moves.Count() == 0) {
            std::cerr << "wintermoot-cli import: " << record.Error << "; " << outPath
                      << " not written\n";
            return 1;
        }
        std::cerr << "wintermoot-cli import: warning: " << record.Error << "; the "
                  << Moves(record.Moves.Count()) << " before it are saved\n";
    }

    int argc = 1;
    char name[] = "wintermoot-cli";
    char* argv[] = { name, nullptr };
    QCoreApplication app(argc, argv);

    TChessGame game;
    if (!LoadPgnGame(record, game)) {
        std::cerr << "wintermoot-cli import: " << Describe(record) << ": its start position "
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
        std::cerr << "wintermoot-cli import: note: " << Describe(record)
                  << " starts from a set-up position; the saved game holds it, but the "
                     "history, which replays its games from the initial position, cannot\n";
    std::cout << "saved " << Describe(record) << ", " << Moves(record.Moves.Count()) << ", to "
              << outPath << '\n';
    return 0;
}

int ImportHistory(const std::string& pgnPath) {
    std::string bytes;
    if (!ReadFileOrSay(pgnPath, bytes))
        return 1;

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
    qint64 size = load == hlLoaded ? QFileInfo(historyPath).size() : 4 + 15 + 2 + 4;

    int read = 0;
    int added = 0;
    int skipped = 0;
    auto skip = [&](const std::string& why) {
        std::cout << "skipped " << why << '\n';
        ++skipped;
    };
    auto consider = [&](const TPgnGameRecord& game) {
        if (!game.Error.empty())
            return skip(game.Error);
        ++read;
        if (!game.StartFen.empty())
            return skip(
                Describe(game) + ": starts from a set-up position, which the history cannot hold");
        if (game.Moves.Count() == 0)
            return skip(Describe(game) + ": no moves");
        const std::string white = PgnPlayerName(game, "White");
        const std::string black = PgnPlayerName(game, "Black");
        // A game without a whole date is dated by its import.
        const std::optional<double> tagDate = HistoryDate(game);
        const double date = tagDate ? *tagDate : EncodeDate(QDateTime::currentDateTime());
        const uint8_t result = HistoryResult(game.Result);
        if (InHistory(history, white, black, tagDate ? &date : nullptr, result, game.Moves))
            return skip(Describe(game) + ": already in the history");
        const qint64 stored = StoredSize(white, black, game.Moves);
        if (size + stored >= HistoryFileLimit)
            return skip(Describe(game) + ": the history file would grow past what it can read");
        if (!history.AddGame(white, black, date, PgnSeconds(game, "WhiteTime"),
                PgnSeconds(game, "BlackTime"), result, game.Moves))
            return skip(Describe(game) + ": the history cannot hold it");
        size += stored;
        ++added;
        std::cout << "added " << Describe(game) << ", " << game.Result << ", "
                  << Moves(game.Moves.Count()) << '\n';
    };
    const std::string fileError = ReadPgnGames(bytes, [&](const TPgnGameRecord& game) {
        consider(game);
        return true;
    });
    if (!fileError.empty())
        std::cerr << "wintermoot-cli import: " << pgnPath << ": " << fileError << '\n';
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
        TPieceColour side = pcWhite;
        const int plies = 60 + int(random() % 100);
        for (int ply = 0; ply < plies; ++ply) {
            const std::vector<TMoveSquares> legal = LegalMoves(board, side);
            if (legal.empty())
                break;
            const TMoveSquares m = legal[random() % legal.size()];
            const TMoveResult flags = board.MovePiece(m.From, m.To, true);
            // Recorded as the controller records moves.
            if (flags & mrPromotion) {
                game.Moves.Add(board.PieceAt(m.To)->Kind, m.From, m.To, 0, flags & ~mrGameOver);
                game.Moves.Last()->PromotionKind = pkQueen;
                game.Moves.Last()->Flags |= board.Promote(m.To, pkQueen);
            } else {
                game.Moves.Add(board.PieceAt(m.To)->Kind, m.From, m.To, 0, flags);
            }
            side = Opponent(side);
        }
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

    std::string text;
    if (path.empty()) {
        text = RandomGames(games);
        std::cout << "file: " << games << " random games exported as PGN";
    } else {
        if (!ReadFileOrSay(path, text))
            return 1;
        std::cout << "file: " << path;
    }
    std::cout << ", " << text.size() << " bytes\n";

    double best = 0;
    size_t read = 0;
    size_t moves = 0;
    size_t errors = 0;
    for (int r = 0; r < repeat; ++r) {
        read = moves = errors = 0;
        const auto start = std::chrono::steady_clock::now();
        const std::string error = ReadPgnGames(text, [&](const TPgnGameRecord& game) {
            ++read;
            moves += game.Moves.Count();
            errors += game.Error.empty() ? 0 : 1;
            return true;
        });
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
              << " games/s, " << double(text.size()) / (1 << 20) / best << " MB/s, " << moves / best
              << " half-moves/s\n";
    return 0;
}
