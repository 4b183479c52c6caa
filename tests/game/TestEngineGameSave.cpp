// A game that an engine's failure stopped stays on the board and can still be saved, until the
// next game is started or loaded; a game stopped otherwise cannot.

#include "GameTestSupport.h"
#include "UciEngineAgent.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

TEST(EngineGameSave, AGameStoppedByAnEngineFailureCanStillBeSaved) {
    QTemporaryDir dir;
    TChessGame game;
    SetPlayers(game, false, false);
    game.SetAgentFactory([&game](TPieceColour colour) -> std::unique_ptr<TPlayerAgent> {
        if (colour == pcBlack)
            return game.MakeDefaultAgent(colour);
        TUciEngineSetup setup;
        setup.Command = QStringLiteral(BAD_ENGINE);
        setup.Arguments = { QStringLiteral("malformed") };
        setup.MoveTimeMs = 50;
        return std::make_unique<TUciEngineAgent>(colour, setup);
    });
    game.SetSearchDepth(2);
    int failures = 0;
    QObject::connect(&game, &TChessGame::playerFailed, &game, [&] { ++failures; });
    game.StartGame();
    ASSERT_TRUE(WaitUntil([&] { return failures > 0; }));
    ASSERT_EQ(game.GameState, gsStopped);
    ASSERT_EQ(game.Moves.Count(), 4);

    const QString file = dir.filePath(QStringLiteral("failed.wtg"));
    ASSERT_TRUE(game.SaveGame(file));
    TChessGame loaded;
    ASSERT_TRUE(loaded.LoadGame(file));
    EXPECT_EQ(Position(loaded), Position(game));
    EXPECT_EQ(loaded.Moves.Count(), 4);

    // A new game ends that: once stopped by the user, nothing is saved.
    game.SetAgentFactory({});
    game.StartGame();
    game.StopGame();
    EXPECT_FALSE(game.SaveGame(dir.filePath(QStringLiteral("stopped.wtg"))));
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("stopped.wtg"))));
}

} // namespace
