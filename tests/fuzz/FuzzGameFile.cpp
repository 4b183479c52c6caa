// Saved games through the controller's own load path. A game that loads is continued as a game
// between two people, saved, read back, every move taken back and saved again; each save must
// read back to the very same game, and the two boards the controller keeps must stay in step.

#include "FuzzSupport.h"

#include "UnitChessGame.h"

#include <sstream>
#include <string>

namespace {

std::string GameBytes(const TChessGame& game) {
    std::ostringstream out;
    game.WriteGame(out);
    return out.str();
}

std::string BoardBytes(const TChessBoard& board) {
    std::ostringstream out;
    board.SaveToStream(out);
    return out.str();
}

// A controller costs its computer player's tables, so each of the two is made once and put back
// to the state of a new one before it is used, as the program's one controller is between loads.
TChessGame& Controller(int which) {
    static TChessGame* controllers[2] = { new TChessGame, new TChessGame };
    TChessGame& game = *controllers[which];
    game.StopGame();
    game.GameKind = gkLocal;
    game.GameState = gsIdle;
    game.GameLoaded = false;
    game.Board.Reset();
    game.SearchBoard.Reset();
    game.Board.Modified = false;
    game.Moves.Clear();
    game.WhitePlayer = TPlayer {};
    game.BlackPlayer = TPlayer {};
    game.Turn = pcWhite;
    return game;
}

// Saves the game and loads the file into a second controller, which must hold the same game.
void CheckSaveRoundTrip(TChessGame& game, const char* when) {
    const QString path = ScratchPath("saved.wmg");
    if (!game.SaveGame(path))
        FuzzFail(std::string("the game could not be saved ") + when);
    TChessGame& reloaded = Controller(1);
    if (!reloaded.LoadGame(path))
        FuzzFail(std::string("a game saved ") + when + " does not load");
    if (GameBytes(reloaded) != GameBytes(game))
        FuzzFail(std::string("a game saved ") + when + " loads as another game");
}

void CheckBoardsInStep(const TChessGame& game) {
    if (BoardBytes(game.Board) != BoardBytes(game.SearchBoard))
        FuzzFail("the game board and the search board differ");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    InitFuzzApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString path = ScratchPath("input.wmg");
    WriteScratch(path, data, size);
    TChessGame& game = Controller(0);
    if (!game.LoadGame(path))
        return 0;
    CheckBoardsInStep(game);

    // Two people, so that no search thread starts and every move can be taken back one by one.
    game.WhitePlayer.Human = true;
    game.BlackPlayer.Human = true;
    game.StartGame();
    if (game.GameState != gsPlaying)
        FuzzFail("a loaded game does not start");
    CheckSaveRoundTrip(game, "after loading");

    while (game.Moves.Count() > 0) {
        const uint16_t count = game.Moves.Count();
        game.UndoMove();
        CheckBoardsInStep(game);
        if (game.Moves.Count() >= count)
            break;
    }
    CheckSaveRoundTrip(game, "after taking back the moves");
    game.StopGame();
    return 0;
}
