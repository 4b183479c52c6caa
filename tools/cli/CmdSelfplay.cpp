// selfplay: a computer-against-computer game through the real game controller, its clock and the
// computer player's thread, without any window.

#include "Commands.h"
#include "UnitChessGame.h"

#include <QCoreApplication>

#include <iostream>
#include <limits>
#include <optional>

namespace {

struct TSelfplayOptions {
    int Depth = -1;
    int WhiteLevel = 0;
    int BlackLevel = 0;
    int MaxMoves = 200;
    bool Seeded = false;
    uint32_t Seed = 0;
    int SaveAfter = 0;
    std::string SaveFile;
};

const char* const Usage = "usage: wintermoot-cli selfplay [--depth D] [--white-level L] "
                          "[--black-level L] [--max-moves N] [--seed S] [--save-after K FILE]";

TSelfplayOptions ParseOptions(const TArgs& args) {
    TSelfplayOptions options;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& name = args[i];
        const size_t needed = name == "--save-after" ? 2 : 1;
        if (i + needed >= args.size())
            throw EUsageError(name + " needs a value\n" + Usage);
        const std::string& value = args[i + 1];
        if (name == "--depth")
            options.Depth = ParseInt(value, "--depth", 0, 8);
        else if (name == "--white-level")
            options.WhiteLevel = ParseInt(value, "--white-level", 0, 2);
        else if (name == "--black-level")
            options.BlackLevel = ParseInt(value, "--black-level", 0, 2);
        else if (name == "--max-moves")
            options.MaxMoves = ParseInt(value, "--max-moves", 1, 65535);
        else if (name == "--seed") {
            options.Seed = static_cast<uint32_t>(
                ParseInt(value, "--seed", 0, std::numeric_limits<int>::max()));
            options.Seeded = true;
        } else if (name == "--save-after") {
            options.SaveAfter = ParseInt(value, "--save-after", 1, 65535);
            options.SaveFile = args[i + 2];
        } else
            throw EUsageError("unknown option '" + name + "'\n" + Usage);
        i += needed;
    }
    if (options.SaveAfter && options.SaveAfter >= options.MaxMoves)
        throw EUsageError("--save-after must be less than --max-moves");
    return options;
}

std::string FlagWords(TMoveResult flags) {
    std::string words;
    const std::pair<TMoveResult, const char*> names[] = {
        { mrCapture, "capture" },
        { mrCastling, "castling" },
        { mrPromotion, "promotion" },
        { mrCheck, "check" },
        { mrGameOver, "gameover" },
    };
    for (const auto& [flag, name] : names) {
        if (flags & flag) {
            words += ' ';
            words += name;
        }
    }
    return words;
}

// The move as the long algebraic notation writes it, with the letter of a promotion's piece.
std::string MoveWithPromotion(const TMoveRecord& move) {
    std::string text = MoveText(move.From, move.To);
    if (move.Flags & mrPromotion) {
        switch (move.PromotionKind) {
        case pkQueen:
            return text + 'q';
        case pkRook:
            return text + 'r';
        case pkBishop:
            return text + 'b';
        case pkKnight:
            return text + 'n';
        }
    }
    return text;
}

} // namespace

int CmdSelfplay(const TArgs& args) {
    const TSelfplayOptions options = ParseOptions(args);

    int argc = 1;
    char name[] = "wintermoot-cli";
    char* argv[] = { name, nullptr };
    QCoreApplication app(argc, argv);

    TChessGame game;
    // The draw rules end a drawn game before the move limit.
    game.DeclareDraws = true;
    game.WhitePlayer = TPlayer { static_cast<uint16_t>(options.WhiteLevel), false, "White" };
    game.BlackPlayer = TPlayer { static_cast<uint16_t>(options.BlackLevel), false, "Black" };
    if (options.Depth >= 0)
        game.SetSearchDepth(options.Depth);
    if (options.Seeded)
        game.ComputerPlayer().Seed(options.Seed);

    bool failed = false;
    TGameResult result = grUnfinished;
    std::optional<TGameEndReason> reason;
    QObject::connect(&game, &TChessGame::gameEnded, [&](TGameResult ended, TGameEndReason why) {
        result = ended;
        reason = why;
    });
    // A move is printed once it is complete. A piece chosen with the move is in before the move is
    // announced; a promotion left waiting is printed when its piece comes.
    bool promotionWaiting = false;
    const auto printMove = [&] {
        const TMoveRecord* last = game.Moves.Last();
        std::cout << MoveWithPromotion(*last) << FlagWords(last->Flags) << std::endl;
    };
    QObject::connect(&game, &TChessGame::promoted, [&](TPoint, TMoveResult) {
        if (promotionWaiting)
            printMove();
        promotionWaiting = false;
    });
    QObject::connect(&game, &TChessGame::movePlayed, [&](TPoint, TPoint, TMoveResult flags) {
        // The stored flags include a completed promotion and what it brought.
        const TMoveRecord* last = game.Moves.Last();
        promotionWaiting = flags & mrPromotion;
        if (!promotionWaiting)
            printMove();
        if (game.Moves.Count() >= options.MaxMoves && game.GameState == gsPlaying
            && !(last->Flags & mrGameOver) && !game.DrawByRule()) {
            game.StopGame();
        }
    });
    // Saved once the turn has passed, so that the file holds the side that moves next.
    QObject::connect(&game, &TChessGame::turnChanged, [&] {
        if (options.SaveAfter && game.Moves.Count() == options.SaveAfter) {
            if (game.SaveGame(QString::fromStdString(options.SaveFile))) {
                std::cerr << "saved after " << options.SaveAfter << " moves to " << options.SaveFile
                          << '\n';
            } else {
                std::cerr << "wintermoot-cli selfplay: could not save the game to "
                          << options.SaveFile << '\n';
                failed = true;
                game.StopGame();
            }
        }
    });
    QObject::connect(&game, &TChessGame::invalidMove, [&](TPoint from, TPoint to, TMoveResult) {
        std::cerr << "wintermoot-cli selfplay: the computer attempted an invalid move "
                  << SquareName(from) << '-' << SquareName(to) << '\n';
        failed = true;
        game.StopGame();
    });
    QObject::connect(&game, &TChessGame::gameStopped, [&] { QCoreApplication::exit(0); });

    game.StartGame();
    app.exec();

    std::cerr << "time: white " << game.WhitePlayer.Time << " s, black " << game.BlackPlayer.Time
              << " s\n";
    if (reason)
        std::cerr << "ended by: " << ReasonWords(*reason) << '\n';
    std::cout << "result: " << ResultWords(result) << std::endl;
    return failed ? 1 : 0;
}
