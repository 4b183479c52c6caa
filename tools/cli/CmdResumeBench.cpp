// bench-resume: the cost of keeping the game in progress after each move, as the window does
// (the saved-game writer and the atomic write of the whole file), over a game of N half-moves.

#include "Commands.h"
#include "Perft.h"
#include "RandomGame.h"
#include "UnitChessGame.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <iostream>
#include <random>
#include <vector>

namespace {

const char* const Usage = "usage: wintermoot-cli bench-resume [--moves N] [--folder DIR]";

// Plays a random game of `moves` half-moves between two persons, timing the save after each;
// false when the game ended first.
bool TimeOneGame(unsigned seed, int moves, const QString& path, std::vector<double>& micros) {
    TChessGame game;
    game.WhitePlayer = TPlayer { 0, true, "White" };
    game.BlackPlayer = TPlayer { 0, true, "Black" };
    game.StartGame();
    std::mt19937 random(seed);
    micros.clear();
    for (int ply = 0; ply < moves; ++ply) {
        const std::vector<TMoveSquares> legal = LegalMoves(game.Board, game.Turn);
        if (legal.empty() || game.GameState != gsPlaying)
            return false;
        const TMoveSquares m = PickRandomMove(game.Board, legal, random);
        const TMoveResult flags = game.PlayMove(m.From, m.To);
        if (flags & mrPromotion)
            game.Promote(pkQueen);
        if (game.GameState != gsPlaying)
            return false;
        const auto start = std::chrono::steady_clock::now();
        const bool saved = game.SaveGame(path);
        micros.push_back(
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
                .count());
        if (!saved) {
            std::cerr << "wintermoot-cli bench-resume: cannot write "
                      << QFile::encodeName(path).toStdString() << '\n';
            micros.clear();
            return true;
        }
    }
    game.StopGame();
    return true;
}

} // namespace

int CmdResumeBench(const TArgs& args) {
    int moves = 100;
    std::string folder;
    TArgs options;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--folder") {
            if (++i >= args.size())
                throw EUsageError(Usage);
            folder = args[i];
        } else if (args[i] == "--moves") {
            options.push_back(args[i]);
            if (++i >= args.size())
                throw EUsageError(Usage);
            options.push_back(args[i]);
        } else {
            throw EUsageError(Usage);
        }
    }
    ParseIntOptions(options, { { "--moves", &moves, 1, 10000 } });

    int argc = 1;
    char name[] = "wintermoot-cli";
    char* argv[] = { name, nullptr };
    QCoreApplication app(argc, argv);
    QTemporaryDir temporary;
    const QString dir = folder.empty() ? temporary.path() : QFile::decodeName(folder.c_str());
    if (dir.isEmpty() || !QFileInfo(dir).isDir()) {
        std::cerr << "wintermoot-cli bench-resume: no folder to write in\n";
        return 1;
    }
    const QString path = QDir(dir).filePath(QStringLiteral("current-game.wtg"));

    std::vector<double> micros;
    unsigned seed = 2026;
    while (!TimeOneGame(seed, moves, path, micros))
        ++seed;
    if (micros.empty())
        return 1;
    const qint64 size = QFileInfo(path).size();
    std::vector<double> sorted = micros;
    std::sort(sorted.begin(), sorted.end());
    const double median = sorted.size() % 2
        ? sorted[sorted.size() / 2]
        : (sorted[sorted.size() / 2 - 1] + sorted[sorted.size() / 2]) / 2;
    const auto worst = std::max_element(micros.begin(), micros.end());
    std::cout << "game: " << moves << " half-moves (seed " << seed << "), file at the end " << size
              << " bytes, in " << QFile::encodeName(dir).toStdString() << '\n';
    std::cout << "save after a move: median " << median << " us, worst " << *worst
              << " us (after move " << (worst - micros.begin()) + 1 << "), best " << sorted.front()
              << " us\n";
    return 0;
}
