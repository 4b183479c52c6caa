#include "GameTestSupport.h"

#include <gtest/gtest.h>

namespace {

std::string InitialPosition() {
    TChessBoard board;
    return SaveFen(board, pcWhite);
}

class PeopleGameTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetPlayers(Game, true, true);
        Game.StartGame();
        Log.Events.clear();
    }

    void Play(const char* from, const char* to) {
        const TMoveResult flags = Game.PlayMove(Sq(from), Sq(to));
        ASSERT_FALSE(flags & mrInvalid) << from << to;
    }

    TChessGame Game;
    TEventLog Log { Game };
};

TEST_F(PeopleGameTest, AMovePassesTheTurnAfterItsEvent) {
    Play("e2", "e4");
    EXPECT_EQ(Log.Events, (std::vector<std::string> { "MovePlayed e2e4 0", "TurnChanged" }));
    EXPECT_EQ(Game.Turn, pcBlack);
    ASSERT_EQ(Game.Moves.Count(), 1);
    EXPECT_EQ(Game.Moves.Last()->Kind, pkPawn);
    EXPECT_EQ(SaveFen(Game.SearchBoard, pcBlack), Position(Game));
}

TEST_F(PeopleGameTest, TheOpponentsPieceIsRefusedWithoutAnEvent) {
    EXPECT_EQ(Game.PlayMove(Sq("e7"), Sq("e5")), mrInvalid);
    EXPECT_EQ(Game.PlayMove(Sq("e2"), Sq("e5")), mrInvalid);
    EXPECT_TRUE(Log.Events.empty());
    EXPECT_EQ(Game.Turn, pcWhite);
    EXPECT_EQ(Game.Moves.Count(), 0);
    EXPECT_EQ(Position(Game), InitialPosition());
}

TEST_F(PeopleGameTest, SquaresOffTheBoardRaiseARangeErrorAndChangeNothing) {
    EXPECT_THROW(Game.PlayMove(MakePoint(5, 2), MakePoint(5, 9)), ERangeError);
    EXPECT_THROW(Game.PlayMove(MakePoint(0, 0), MakePoint(5, 4)), ERangeError);
    EXPECT_EQ(Game.Moves.Count(), 0);
    EXPECT_TRUE(Log.Events.empty());
}

TEST_F(PeopleGameTest, MovesAreIgnoredUnlessPlayingWithBothPlayersReady) {
    Game.BlackPlayer.Ready = false;
    EXPECT_EQ(Game.PlayMove(Sq("e2"), Sq("e4")), 0);
    Game.BlackPlayer.Ready = true;
    Game.PauseGame();
    EXPECT_EQ(Game.PlayMove(Sq("e2"), Sq("e4")), 0);
    Game.StopGame();
    EXPECT_EQ(Game.PlayMove(Sq("e2"), Sq("e4")), 0);
    EXPECT_EQ(Game.Moves.Count(), 0);
}

TEST_F(PeopleGameTest, UndoTakesBackOneMoveAndPassesTheTurnBack) {
    Play("e2", "e4");
    Play("e7", "e5");
    Log.Events.clear();
    Game.UndoMove();
    EXPECT_EQ(Log.Events, (std::vector<std::string> { "TurnChanged", "MoveUndone 0" }));
    EXPECT_EQ(Game.Moves.Count(), 1);
    EXPECT_EQ(Game.Turn, pcBlack);
    EXPECT_EQ(SaveFen(Game.SearchBoard, pcBlack), Position(Game));
    Play("d7", "d5");
}

TEST_F(PeopleGameTest, UndoOnAnEmptyListOrWhilePausedDoesNothing) {
    Game.UndoMove();
    Play("e2", "e4");
    Game.PauseGame();
    Log.Events.clear();
    Game.UndoMove();
    EXPECT_TRUE(Log.Events.empty());
    EXPECT_EQ(Game.Moves.Count(), 1);
}

TEST_F(PeopleGameTest, UndoClearsTheCheckMark) {
    Play("e2", "e4");
    Play("f7", "f6");
    Play("d1", "h5");
    EXPECT_EQ(Game.BlackPlayer.Status, 1);
    Game.UndoMove();
    EXPECT_EQ(Game.BlackPlayer.Status, 0);
    EXPECT_EQ(Game.WhitePlayer.Status, 0);
}

TEST_F(PeopleGameTest, CheckmateMarksTheLoserAndStopsWithoutPassingTheTurn) {
    Play("f2", "f3");
    Play("e7", "e5");
    Play("g2", "g4");
    Log.Events.clear();
    Play("d8", "h4");
    EXPECT_EQ(Log.Events,
        (std::vector<std::string> {
            "MovePlayed d8h4 " + std::to_string(mrCheck | mrGameOver), "GameStopped" }));
    EXPECT_EQ(Game.WhitePlayer.Status, 3);
    EXPECT_EQ(Game.BlackPlayer.Status, 0);
    EXPECT_EQ(Game.GameState, gsStopped);
    EXPECT_EQ(Game.Turn, pcBlack);
    EXPECT_FALSE(Game.WhitePlayer.Ready || Game.BlackPlayer.Ready);
}

TEST_F(PeopleGameTest, TheClockStopsWithTheDecidingMoveBeforeItIsAnnounced) {
    Play("f2", "f3");
    Play("e7", "e5");
    Play("g2", "g4");
    // The window shows the result in a modal box from this event; the clock must not run on.
    bool clockRan = true;
    QObject::connect(&Game, &TChessGame::movePlayed,
        [&](TPoint, TPoint, TMoveResult) { clockRan = Game.Clock().isActive(); });
    Play("d8", "h4");
    EXPECT_FALSE(clockRan);
}

TEST_F(PeopleGameTest, StartingAfterAFinishedGameStartsAfresh) {
    Play("f2", "f3");
    Play("e7", "e5");
    Play("g2", "g4");
    Play("d8", "h4");
    Game.ClockTick();
    Game.WhitePlayer.Time = 12;
    Game.StartGame();
    EXPECT_EQ(Position(Game), InitialPosition());
    EXPECT_EQ(SaveFen(Game.SearchBoard, pcWhite), InitialPosition());
    EXPECT_EQ(Game.Moves.Count(), 0);
    EXPECT_EQ(Game.WhitePlayer.Time, 0);
    EXPECT_EQ(Game.WhitePlayer.Status, 0);
    EXPECT_EQ(Game.Turn, pcWhite);
    EXPECT_EQ(Game.GameState, gsPlaying);
}

TEST_F(PeopleGameTest, PauseResumeAndStopActOnlyInTheirState) {
    Game.ResumeGame();
    Game.PauseGame();
    Game.PauseGame();
    EXPECT_EQ(Game.GameState, gsPaused);
    EXPECT_FALSE(Game.Clock().isActive());
    Game.ResumeGame();
    Game.ResumeGame();
    EXPECT_TRUE(Game.Clock().isActive());
    Game.StopGame();
    Game.StopGame();
    Game.PauseGame();
    Game.ResumeGame();
    EXPECT_EQ(
        Log.Events, (std::vector<std::string> { "GamePaused", "GameResumed", "GameStopped" }));
    EXPECT_EQ(Game.GameState, gsStopped);
    EXPECT_FALSE(Game.Clock().isActive());
}

TEST_F(PeopleGameTest, TheClockCountsForTheSideToMoveWhilePlaying) {
    Game.ClockTick();
    Play("e2", "e4");
    Game.ClockTick();
    Game.ClockTick();
    Game.PauseGame();
    Game.ClockTick();
    EXPECT_EQ(Game.WhitePlayer.Time, 1);
    EXPECT_EQ(Game.BlackPlayer.Time, 2);
    EXPECT_EQ(Log.Count("ClockTick"), 3u);
}

TEST(ClockTest, TheRealTimerTicksOnceASecond) {
    TChessGame game;
    SetPlayers(game, true, true);
    game.StartGame();
    EXPECT_TRUE(WaitUntil([&] { return game.WhitePlayer.Time >= 1; }, 3000));
    EXPECT_EQ(game.BlackPlayer.Time, 0);
}

TEST_F(PeopleGameTest, APromotionWaitsForItsPieceBeforeTheTurnPasses) {
    SetUpPosition(Game, "7k/P7/8/8/8/8/8/K7 w - - 0 1");
    Game.StartGame();
    Log.Events.clear();
    EXPECT_EQ(Game.PlayMove(Sq("a7"), Sq("a8")), mrPromotion);
    EXPECT_TRUE(Game.PromotionPending());
    EXPECT_EQ(Game.Turn, pcWhite);
    // Nothing else moves meanwhile, and only a real piece kind completes it.
    EXPECT_EQ(Game.PlayMove(Sq("a1"), Sq("b1")), 0);
    Game.Promote(0);
    Game.Promote(pkKing);
    EXPECT_TRUE(Game.PromotionPending());
    Game.Promote(pkRook);
    EXPECT_EQ(Log.Events,
        (std::vector<std::string> { "MovePlayed a7a8 " + std::to_string(mrPromotion),
            "Promoted a8 " + std::to_string(mrCheck), "TurnChanged" }));
    EXPECT_EQ(Game.Board.PieceAt(Sq("a8"))->Kind, pkRook);
    EXPECT_EQ(Game.SearchBoard.PieceAt(Sq("a8"))->Kind, pkRook);
    EXPECT_EQ(Game.Moves.Last()->PromotionKind, pkRook);
    EXPECT_EQ(Game.Moves.Last()->Flags, mrPromotion | mrCheck);
    // The rook's check is marked although the pawn's move gave none.
    EXPECT_EQ(Game.BlackPlayer.Status, 1);
    EXPECT_EQ(Game.Turn, pcBlack);
    Game.Promote(pkQueen);
    EXPECT_EQ(Game.Board.PieceAt(Sq("a8"))->Kind, pkRook);
}

TEST_F(PeopleGameTest, UndoOfAWaitingPromotionLeavesTheSameSideToMove) {
    SetUpPosition(Game, "7k/P7/8/8/8/8/8/K7 w - - 0 1");
    Game.StartGame();
    Game.PlayMove(Sq("a7"), Sq("a8"));
    Game.UndoMove();
    EXPECT_EQ(Game.Turn, pcWhite);
    EXPECT_EQ(Game.Moves.Count(), 0);
    EXPECT_EQ(Game.Board.PieceAt(Sq("a7"))->Kind, pkPawn);
    Play("a1", "b1");
}

struct TPromotionEnd {
    const char* Name;
    uint8_t Kind;
    uint8_t BlackStatus;
    friend void PrintTo(const TPromotionEnd& row, std::ostream* os) { *os << row.Name; }
};

class PromotionEndTest : public ::testing::TestWithParam<TPromotionEnd> { };

// With the pawn still a pawn on e8 Black has no move; whether that is mate or stalemate depends on
// the piece chosen, so the game may only end once it is.
TEST_P(PromotionEndTest, TheGameEndsByThePieceChosen) {
    TChessGame game;
    SetPlayers(game, true, true);
    SetUpPosition(game, "7k/4PK2/5N2/8/8/8/8/8 w - - 0 1");
    game.StartGame();
    TEventLog log(game);
    const TMoveResult flags = game.PlayMove(Sq("e7"), Sq("e8"));
    EXPECT_EQ(flags, mrPromotion);
    EXPECT_EQ(game.GameState, gsPlaying);
    EXPECT_EQ(game.BlackPlayer.Status, 0);
    game.Promote(GetParam().Kind);
    EXPECT_EQ(game.GameState, gsStopped);
    EXPECT_EQ(game.BlackPlayer.Status, GetParam().BlackStatus);
    EXPECT_EQ(log.Count("GameStopped"), 1u);
    EXPECT_EQ(log.Count("TurnChanged"), 0u);
    const TMoveResult stored = game.Moves.Last()->Flags;
    EXPECT_EQ(bool(stored & mrCheck), GetParam().BlackStatus == 3);
    EXPECT_TRUE(stored & mrGameOver);
}

INSTANTIATE_TEST_SUITE_P(Kinds, PromotionEndTest,
    ::testing::Values(TPromotionEnd { "QueenMates", pkQueen, 3 },
        TPromotionEnd { "RookMates", pkRook, 3 }, TPromotionEnd { "BishopStalemates", pkBishop, 2 },
        TPromotionEnd { "KnightStalemates", pkKnight, 2 }),
    [](const auto& info) { return std::string(info.param.Name); });

} // namespace
