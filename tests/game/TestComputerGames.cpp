#include "GameTestSupport.h"

#include <gtest/gtest.h>

namespace {

std::string InitialPosition() {
    TChessBoard board;
    return SaveFen(board, pcWhite);
}

// A person plays White against the computer.
class PersonAgainstComputerTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetPlayers(Game, true, false);
        Game.SetSearchDepth(1);
        Game.ComputerPlayer().Seed(5);
    }

    bool WaitForMoves(uint16_t count) {
        return WaitUntil([&] { return Game.Moves.Count() >= count && Game.Turn == pcWhite; });
    }

    TChessGame Game;
    TEventLog Log { Game };
};

TEST_F(PersonAgainstComputerTest, TheComputerAnswersAndHandsTheTurnBack) {
    Game.StartGame();
    ASSERT_FALSE(Game.PlayMove(Sq("e2"), Sq("e4")) & mrInvalid);
    ASSERT_TRUE(WaitForMoves(2));
    EXPECT_EQ(Game.Moves.Count(), 2);
    EXPECT_EQ(Log.Count("MovePlayed"), 2u);
    EXPECT_EQ(Log.Count("TurnChanged"), 2u);
    EXPECT_EQ(SaveFen(Game.SearchBoard, pcWhite), Position(Game));
}

TEST_F(PersonAgainstComputerTest, AMoveForTheComputersSideIsNotTakenFromElsewhere) {
    Game.SetSearchDepth(4);
    Game.StartGame();
    Game.PlayMove(Sq("e2"), Sq("e4"));
    EXPECT_EQ(Game.PlayMove(Sq("e7"), Sq("e5")), 0);
    EXPECT_EQ(Game.Moves.Count(), 1);
    Game.StopGame();
}

TEST_F(PersonAgainstComputerTest, UndoAfterTheComputersReplyTakesBackBothMoves) {
    Game.StartGame();
    Game.PlayMove(Sq("e2"), Sq("e4"));
    ASSERT_TRUE(WaitForMoves(2));
    Log.Events.clear();
    Game.UndoMove();
    EXPECT_EQ(Game.Moves.Count(), 0);
    EXPECT_EQ(Game.Turn, pcWhite);
    EXPECT_EQ(Position(Game), InitialPosition());
    EXPECT_EQ(SaveFen(Game.SearchBoard, pcWhite), InitialPosition());
    EXPECT_EQ(Log.Events, (std::vector<std::string> { "MoveUndone 0" }));
    EXPECT_FALSE(Game.ComputerPlayer().IsThinking());
}

TEST_F(PersonAgainstComputerTest, UndoWhileTheComputerThinksCancelsItsMove) {
    Game.SetSearchDepth(5);
    Game.StartGame();
    Game.PlayMove(Sq("e2"), Sq("e4"));
    ASSERT_TRUE(Game.ComputerPlayer().IsThinking());
    Game.UndoMove();
    EXPECT_EQ(Game.Moves.Count(), 0);
    EXPECT_EQ(Game.Turn, pcWhite);
    EXPECT_FALSE(Game.ComputerPlayer().IsThinking());
    RunEventsFor(300);
    EXPECT_EQ(Game.Moves.Count(), 0);
    EXPECT_EQ(Position(Game), InitialPosition());
}

TEST_F(PersonAgainstComputerTest, StopWhileTheComputerThinksDeliversNoMove) {
    Game.SetSearchDepth(5);
    Game.StartGame();
    Game.PlayMove(Sq("e2"), Sq("e4"));
    Game.StopGame();
    EXPECT_FALSE(Game.ComputerPlayer().IsThinking());
    RunEventsFor(300);
    EXPECT_EQ(Game.Moves.Count(), 1);
    EXPECT_EQ(Log.Count("MovePlayed"), 1u);
}

TEST_F(PersonAgainstComputerTest, AMoveFoundDuringAPauseIsPlayedOnResume) {
    Game.StartGame();
    Game.PlayMove(Sq("e2"), Sq("e4"));
    Game.PauseGame();
    ASSERT_TRUE(WaitUntil([&] { return !Game.ComputerPlayer().IsThinking(); }));
    RunEventsFor(50);
    EXPECT_EQ(Game.Moves.Count(), 1);
    Log.Events.clear();
    Game.ResumeGame();
    EXPECT_EQ(Game.Moves.Count(), 2);
    EXPECT_EQ(Game.Turn, pcWhite);
    ASSERT_EQ(Log.Events.size(), 3u);
    EXPECT_EQ(Log.Events[0], "GameResumed");
}

TEST(ComputerFirstTest, UndoOfTheComputersFirstMoveLeavesThePersonToMove) {
    TChessGame game;
    SetPlayers(game, false, true);
    game.SetSearchDepth(1);
    game.StartGame();
    ASSERT_TRUE(WaitUntil([&] { return game.Moves.Count() == 1; }));
    game.UndoMove();
    EXPECT_EQ(game.Moves.Count(), 0);
    EXPECT_EQ(game.Turn, pcBlack);
    EXPECT_FALSE(game.ComputerPlayer().IsThinking());
    EXPECT_EQ(SaveFen(game.Board, pcWhite), InitialPosition());
}

// White's only legal move is b7-b8; the computer takes a queen at once.
TEST(ComputerPromotionTest, OnPromotedComesFirstAndTheMoveEventCarriesNoPromotion) {
    TChessGame game;
    SetPlayers(game, false, true);
    SetUpPosition(game, "8/1P6/8/7k/8/8/3n3r/K7 w - - 0 1");
    game.SetSearchDepth(1);
    TEventLog log(game);
    game.StartGame();
    ASSERT_TRUE(WaitUntil([&] { return log.Count("MovePlayed") == 1; }));
    std::vector<std::string> sinceStart(log.Events.begin() + 1, log.Events.end());
    EXPECT_EQ(sinceStart,
        (std::vector<std::string> { "Promoted b8 0", "TurnChanged", "MovePlayed b7b8 0" }));
    const TMoveRecord* last = game.Moves.Last();
    EXPECT_EQ(last->PromotionKind, pkQueen);
    EXPECT_TRUE(last->Flags & mrPromotion);
    EXPECT_EQ(game.Board.PieceAt(Sq("b8"))->Kind, pkQueen);
    EXPECT_EQ(game.SearchBoard.PieceAt(Sq("b8"))->Kind, pkQueen);
    EXPECT_EQ(game.Turn, pcBlack);
}

// A stalemated computer finds no move at all; that is reported, not played or thrown.
TEST(ComputerWithoutAMoveTest, IsReportedAsAnInvalidMove) {
    TChessGame game;
    SetPlayers(game, false, true);
    SetUpPosition(game, "8/8/8/8/8/5k2/5p2/5K2 w - - 0 1");
    game.SetSearchDepth(1);
    TEventLog log(game);
    game.StartGame();
    ASSERT_TRUE(WaitUntil([&] { return log.Count("InvalidMove") == 1; }));
    EXPECT_EQ(log.Events.back(), "InvalidMove ????");
    EXPECT_EQ(game.Moves.Count(), 0);
    EXPECT_EQ(game.Turn, pcWhite);
    EXPECT_EQ(game.GameState, gsPlaying);
}

TEST(ComputerGameTest, TwoComputersPlayToTheEndWithTheClockRunning) {
    TChessGame game;
    SetPlayers(game, false, false);
    game.BlackPlayer.Level = 2;
    game.SetSearchDepth(1);
    game.ComputerPlayer().Seed(11);
    TEventLog log(game);
    constexpr uint16_t MaxMoves = 150;
    QObject::connect(&game, &TChessGame::movePlayed, [&](TPoint, TPoint, TMoveResult) {
        EXPECT_EQ(SaveFen(game.SearchBoard, game.Turn), Position(game));
        if (game.Moves.Count() >= MaxMoves)
            game.StopGame();
    });
    game.StartGame();
    EXPECT_TRUE(game.Clock().isActive());
    ASSERT_TRUE(WaitUntil([&] { return game.GameState == gsStopped; }, 120000));
    EXPECT_FALSE(game.Clock().isActive());
    EXPECT_EQ(log.Count("InvalidMove"), 0u);
    const TMoveRecord* last = game.Moves.Last();
    ASSERT_NE(last, nullptr);
    if (game.Moves.Count() < MaxMoves) {
        EXPECT_TRUE(last->Flags & mrGameOver);
        const TPlayer* loser = game.GetPlayer(Opponent(game.Turn));
        EXPECT_EQ(loser->Status, (last->Flags & mrCheck) ? 3 : 2);
    }
}

} // namespace
