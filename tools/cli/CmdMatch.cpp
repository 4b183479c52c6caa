// match: games between two players (the built-in computer at a level, or a UCI engine) through
// the real game controller, colours alternating, with the score and the Elo difference it
// implies.

#include "Commands.h"
#include "GameExport.h"
#include "Pgn.h"
#include "PrintableText.h"
#include "UciEngineAgent.h"
#include "UnitChessGame.h"
#include "UnitHistory.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTimer>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <sstream>

namespace {

const char* const Usage
    = "usage: wintermoot-cli match PLAYER1 PLAYER2 [--games N] [--movetime MS | --depth D]\n"
      "       [--max-moves N] [--pgn FILE]\n"
      "PLAYER is builtin:novice|skilled|expert[:DEPTH] or uci:COMMAND[,Option=Value...]";

constexpr int DefaultMaxMoves = 200;
constexpr int DefaultMoveTimeMs = 1000;

struct TMatchPlayer {
    std::string Text;
    bool Builtin = false;
    // The built-in computer's level (0 expert, 1 skilled, 2 novice) and its own search depth.
    int Level = 0;
    int Depth = -1;
    TUciEngineSetup Engine;
};

struct TMatchOptions {
    TMatchPlayer Players[2];
    int Games = 2;
    int MoveTimeMs = 0;
    int Depth = 0;
    int MaxMoves = DefaultMaxMoves;
    std::string Pgn;
};

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(text);
    while (std::getline(in, part, separator))
        parts.push_back(part);
    if (!text.empty() && text.back() == separator)
        parts.emplace_back();
    return parts;
}

TMatchPlayer ParsePlayer(const std::string& text) {
    TMatchPlayer player;
    player.Text = text;
    if (text.rfind("builtin:", 0) == 0) {
        const std::vector<std::string> parts = Split(text.substr(8), ':');
        const char* const levels[] = { "expert", "skilled", "novice" };
        if (parts.empty() || parts.size() > 2)
            throw EUsageError("bad player '" + text + "'\n" + Usage);
        player.Level = -1;
        for (int level = 0; level < 3; ++level) {
            if (parts[0] == levels[level])
                player.Level = level;
        }
        if (player.Level < 0)
            throw EUsageError(
                "unknown level '" + parts[0] + "' in '" + text + "' (novice, skilled or expert)");
        if (parts.size() == 2)
            player.Depth = ParseInt(parts[1], "the depth of a builtin player", 0, 8);
        player.Builtin = true;
        return player;
    }
    if (text.rfind("uci:", 0) != 0)
        throw EUsageError("unknown player '" + text + "'\n" + Usage);
    const std::vector<std::string> parts = Split(text.substr(4), ',');
    if (parts.empty() || parts[0].empty())
        throw EUsageError("no engine command in '" + text + "'");
    const QString command = QString::fromStdString(parts[0]);
    QString program;
    if (command.contains('/')) {
        const QFileInfo file(command);
        if (file.isFile() && file.isExecutable())
            program = file.absoluteFilePath();
    } else {
        program = QStandardPaths::findExecutable(command);
    }
    if (program.isEmpty())
        throw EUsageError("engine '" + parts[0] + "' not found or not executable");
    player.Engine.Command = program;
    player.Engine.Name = QFileInfo(command).fileName();
    for (size_t i = 1; i < parts.size(); ++i) {
        const size_t equals = parts[i].find('=');
        if (equals == std::string::npos || equals == 0)
            throw EUsageError("engine option '" + parts[i] + "' is not Name=Value");
        player.Engine.Options.push_back({ QString::fromStdString(parts[i].substr(0, equals)),
            QString::fromStdString(parts[i].substr(equals + 1)) });
    }
    return player;
}

TMatchOptions ParseOptions(const TArgs& args) {
    TMatchOptions options;
    std::vector<std::string> players;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& name = args[i];
        if (name.rfind("--", 0) != 0) {
            players.push_back(name);
            continue;
        }
        if (i + 1 >= args.size())
            throw EUsageError(name + " needs a value\n" + Usage);
        const std::string& value = args[++i];
        if (name == "--games")
            options.Games = ParseInt(value, "--games", 1, 100000);
        else if (name == "--movetime")
            options.MoveTimeMs = ParseInt(value, "--movetime", 1, 3600000);
        else if (name == "--depth")
            options.Depth = ParseInt(value, "--depth", 1, 64);
        else if (name == "--max-moves")
            options.MaxMoves = ParseInt(value, "--max-moves", 1, 65535);
        else if (name == "--pgn")
            options.Pgn = value;
        else
            throw EUsageError("unknown option '" + name + "'\n" + Usage);
    }
    if (players.size() != 2)
        throw EUsageError("two players needed\n" + std::string(Usage));
    if (options.MoveTimeMs && options.Depth)
        throw EUsageError("give --movetime or --depth, not both");
    if (!options.MoveTimeMs && !options.Depth)
        options.MoveTimeMs = DefaultMoveTimeMs;
    for (int i = 0; i < 2; ++i) {
        options.Players[i] = ParsePlayer(players[i]);
        TUciEngineSetup& engine = options.Players[i].Engine;
        engine.MoveTimeMs = options.MoveTimeMs;
        engine.Depth = options.Depth;
        // --depth also limits a built-in player that names no depth of its own.
        if (options.Players[i].Builtin && options.Players[i].Depth < 0 && options.Depth)
            options.Players[i].Depth = std::min(options.Depth, 8);
    }
    return options;
}

// The built-in computer with its own search depth: the controller's one search is set to it
// before each of its turns.
class TBuiltinAgent : public TPlayerAgent {
public:
    TBuiltinAgent(TChessGame& game, TPieceColour colour, int depth)
        : TPlayerAgent(colour)
        , m_Game(game)
        , m_Depth(depth)
        , m_Inner(game.MakeDefaultAgent(colour)) {
        connect(m_Inner.get(), &TPlayerAgent::moveChosen, this, &TPlayerAgent::moveChosen);
    }

    void StartTurn(const TChessGame& game) override {
        m_Game.SetSearchDepth(m_Depth);
        m_Inner->StartTurn(game);
    }
    void Cancel() override { m_Inner->Cancel(); }
    bool IsComputer() const override { return true; }

private:
    TChessGame& m_Game;
    int m_Depth;
    std::unique_ptr<TPlayerAgent> m_Inner;
};

// The Elo difference of a score fraction by the logistic model.
double EloOf(double score) {
    return -400.0 * std::log10(1.0 / score - 1.0);
}

std::string EloText(double value) {
    // Rounded first, so that a tiny negative value shows as +0.0.
    value = std::round(value * 10.0) / 10.0;
    if (value == 0.0)
        value = 0.0;
    std::ostringstream text;
    text << std::showpos << std::fixed << std::setprecision(1) << value;
    return text.str();
}

} // namespace

int CmdMatch(const TArgs& args) {
    const TMatchOptions options = ParseOptions(args);

    int argc = 1;
    char name[] = "wintermoot-cli";
    char* argv[] = { name, nullptr };
    QCoreApplication app(argc, argv);

    TChessGame game;
    // Programs on both sides: a drawn position ends the game rather than the move limit.
    game.DeclareDraws = true;
    const int defaultDepth = game.SearchDepth();
    int played = 0;
    int wins = 0;
    int draws = 0;
    int losses = 0;
    int status = 0;
    // The current game's first player plays White.
    bool firstIsWhite = true;
    TGameResult result = grUnfinished;
    TGameEndReason reason = geMoveListFull;
    bool ended = false;
    bool adjudicated = false;
    QString failure;

    const auto playerOf = [&](TPieceColour colour) -> const TMatchPlayer& {
        return options.Players[(colour == pcWhite) == firstIsWhite ? 0 : 1];
    };
    game.SetAgentFactory([&](TPieceColour colour) -> std::unique_ptr<TPlayerAgent> {
        const TMatchPlayer& player = playerOf(colour);
        if (player.Builtin) {
            return std::make_unique<TBuiltinAgent>(
                game, colour, player.Depth >= 0 ? player.Depth : defaultDepth);
        }
        return std::make_unique<TUciEngineAgent>(colour, player.Engine);
    });

    std::ofstream pgn;
    if (!options.Pgn.empty()) {
        pgn.open(options.Pgn, std::ios::binary | std::ios::app);
        if (!pgn)
            throw EUsageError("cannot write the PGN file " + options.Pgn);
    }

    const auto startGame = [&] {
        firstIsWhite = played % 2 == 0;
        for (TPieceColour colour : { pcWhite, pcBlack }) {
            const TMatchPlayer& player = playerOf(colour);
            *game.GetPlayer(colour)
                = TPlayer { static_cast<uint16_t>(player.Builtin ? player.Level : 0), false,
                      player.Text };
        }
        result = grUnfinished;
        reason = geMoveListFull;
        ended = false;
        adjudicated = false;
        game.StartGame();
    };

    const auto finishGame = [&] {
        ++played;
        if (adjudicated)
            result = grTied;
        const std::optional<TPieceColour> winner = WinnerOf(result);
        const bool firstWon = winner && (*winner == pcWhite) == firstIsWhite;
        if (!failure.isEmpty()) {
            // Not counted: the match ends here.
        } else if (result == grTied) {
            ++draws;
        } else if (firstWon) {
            ++wins;
        } else if (winner) {
            ++losses;
        }
        std::string how = failure.isEmpty() ? "" : "failed";
        if (adjudicated)
            how = "adjudicated at the move limit";
        else if (ended)
            how = ReasonWords(reason);
        std::cout << "game " << played << "/" << options.Games << ": " << playerOf(pcWhite).Text
                  << " - " << playerOf(pcBlack).Text << "  "
                  << (failure.isEmpty() ? ResultToken(result) : std::string("*")) << " (" << how
                  << ", " << game.Moves.Count() << " half-moves)  score " << wins + draws * 0.5
                  << "/" << wins + draws + losses << std::endl;
        if (pgn.is_open()) {
            TGameInfo info;
            info.Date = EncodeDate(QDateTime::currentDateTime());
            info.White = game.WhitePlayer.Name;
            info.Black = game.BlackPlayer.Name;
            info.WhiteTime = game.WhitePlayer.Time;
            info.BlackTime = game.BlackPlayer.Time;
            info.Result = failure.isEmpty() ? result : grUnfinished;
            info.Moves.Assign(game.Moves);
            pgn << GamePgn(info) << '\n' << std::flush;
            if (!pgn) {
                std::cerr << "wintermoot-cli match: could not write to " << options.Pgn << '\n';
                status = 1;
                QCoreApplication::exit(0);
                return;
            }
        }
        if (!failure.isEmpty()) {
            // The failure names the engine by its own "id name": printable text only.
            std::cerr << "wintermoot-cli match: " << PrintableForLog(failure.toStdString(), 1024)
                      << '\n';
            status = 1;
            QCoreApplication::exit(0);
        } else if (played >= options.Games) {
            QCoreApplication::exit(0);
        } else {
            startGame();
        }
    };

    QObject::connect(&game, &TChessGame::gameEnded, [&](TGameResult r, TGameEndReason why) {
        result = r;
        reason = why;
        ended = true;
    });
    QObject::connect(
        &game, &TChessGame::playerFailed, [&](TPieceColour, const QString& why) { failure = why; });
    QObject::connect(&game, &TChessGame::movePlayed, [&](TPoint, TPoint, TMoveResult) {
        const TMoveRecord* last = game.Moves.Last();
        if (game.Moves.Count() >= options.MaxMoves && game.GameState == gsPlaying
            && !(last->Flags & mrGameOver) && !game.DrawByRule()) {
            adjudicated = true;
            game.StopGame();
        }
    });
    QObject::connect(&game, &TChessGame::invalidMove, [&](TPoint from, TPoint to, TMoveResult) {
        failure = QString::fromStdString(
            "the computer attempted an invalid move " + SquareName(from) + SquareName(to));
        game.StopGame();
    });
    // The next game starts once the stopped one has been left behind; a failure is reported
    // just after the stop.
    QObject::connect(&game, &TChessGame::gameStopped,
        [&] { QTimer::singleShot(0, &app, [&] { finishGame(); }); });

    QTimer::singleShot(0, &app, startGame);
    app.exec();

    const int total = wins + draws + losses;
    if (total == 0)
        return status;
    const double score = (wins + 0.5 * draws) / total;
    std::cout << "score of " << options.Players[0].Text << " vs " << options.Players[1].Text << ": "
              << wins << " wins, " << draws << " draws, " << losses << " losses (" << std::fixed
              << std::setprecision(1) << 100.0 * score << "% of " << total << " games)"
              << std::endl;
    if (score <= 0.0 || score >= 1.0) {
        std::cout << "Elo difference: " << (score >= 1.0 ? "+inf" : "-inf") << " (a score of "
                  << (score >= 1.0 ? "100" : "0") << "% gives no finite estimate)" << std::endl;
        return status;
    }
    // The error of the mean score from the spread of the single games' scores.
    const double variance = (wins * std::pow(1.0 - score, 2) + draws * std::pow(0.5 - score, 2)
                                + losses * std::pow(score, 2))
        / total;
    const double margin = 1.959964 * std::sqrt(variance / total);
    const double low = score - margin;
    const double high = score + margin;
    std::cout << "Elo difference: " << EloText(EloOf(score));
    if (low <= 0.0 || high >= 1.0)
        std::cout << " +/- inf (95%, too few games for a finite margin)" << std::endl;
    else
        std::cout << " +/- " << std::fixed << std::setprecision(1) << (EloOf(high) - EloOf(low)) / 2
                  << " (95%)" << std::endl;
    return status;
}
