// The end of a game as the controller decides it: gameEnded's result and reason for each way a
// game can end, its place among the other events, and that it comes once per game.

#include "GameTestSupport.h"

#include <gtest/gtest.h>

namespace {

// The controller's events around the end of a game, in order, and each gameEnded.
struct TEndLog {
    explicit TEndLog(TChessGame& game) {
        QObject::connect(&game, &TChessGame::gameEnded, &Context,
            [this](TGameResult result, TGameEndReason reason) {
                Ends.emplace_back(result, reason);
                Events.push_back("GameEnded");
            });
        QObject::connect(&game, &TChessGame::movePlayed, &Context,
            [this](TPoint, TPoint, TMoveResult) { Events.push_back("MovePlayed"); });
        QObject::connect(&game, &TChessGame::promoted, &Context,
            [this](TPoint, TMoveResult) { Events.push_back("Promoted"); });
        QObject::connect(
            &game, &TChessGame::gameStopped, &Context, [this] { Events.push_back("GameStopped"); });
        QObject::connect(
            &game, &TChessGame::turnChanged, &Context, [this] { Events.push_back("TurnChanged"); });
    }

    QObject Context;
    std::vector<std::pair<TGameResult, TGameEndReason>> Ends;
    std::vector<std::string> Events;
};

struct TEndCase {
    const char* Name;
    const char* Fen;
    std::vector<const char*> Moves; // "e2e4"; a fifth letter completes a promotion
    TGameResult Result;
    TGameEndReason Reason;
    std::vector<std::string> LastEvents;
    friend void PrintTo(const TEndCase& row, std::ostream* os) { *os << row.Name; }
};

class GameEndTest : public ::testing::TestWithParam<TEndCase> { };

TEST_P(GameEndTest, EndsOnceWithTheResultBetweenTheMoveAndTheStop) {
    const TEndCase& row = GetParam();
    TChessGame game;
    SetPlayers(game, true, true);
    if (*row.Fen)
        SetUpPosition(game, row.Fen);
    game.StartGame();
    TEndLog log(game);
    for (const char* move : row.Moves) {
        const std::string text = move;
        ASSERT_FALSE(
            game.PlayMove(Sq(text.substr(0, 2).c_str()), Sq(text.substr(2, 2).c_str())) & mrInvalid)
            << text;
        if (text.size() == 5)
            game.Promote(static_cast<uint8_t>(std::string("?rnbq").find(text[4])));
    }
    ASSERT_EQ(log.Ends.size(), 1u);
    EXPECT_EQ(log.Ends[0].first, row.Result);
    EXPECT_EQ(log.Ends[0].second, row.Reason);
    ASSERT_GE(log.Events.size(), row.LastEvents.size());
    EXPECT_EQ(
        std::vector<std::string>(log.Events.end() - long(row.LastEvents.size()), log.Events.end()),
        row.LastEvents);
    EXPECT_EQ(game.GameState, gsStopped);
    // Nothing after the end gives a second result.
    game.Forfeit();
    game.StopGame();
    EXPECT_EQ(log.Ends.size(), 1u);
}

const std::vector<std::string> AfterAMove { "MovePlayed", "GameEnded", "GameStopped" };
const std::vector<std::string> AfterAPromotion { "Promoted", "GameEnded", "GameStopped" };

INSTANTIATE_TEST_SUITE_P(Ends, GameEndTest,
    ::testing::Values(TEndCase { "FoolsMateIsWonByBlack", "", { "f2f3", "e7e5", "g2g4", "d8h4" },
                          grBlackWon, geCheckmate, AfterAMove },
        TEndCase { "MateByWhiteIsWonByWhite", "k7/8/1K6/8/8/8/7Q/8 w - - 0 1", { "h2h8" },
            grWhiteWon, geCheckmate, AfterAMove },
        TEndCase { "StalemateIsTied", "k7/8/8/2Q5/8/8/8/4K3 w - - 0 1", { "c5b6" }, grTied,
            geStalemate, AfterAMove },
        TEndCase { "AQueenChosenForThePawnMates", "7k/4PK2/5N2/8/8/8/8/8 w - - 0 1", { "e7e8q" },
            grWhiteWon, geCheckmate, AfterAPromotion },
        TEndCase { "ABishopChosenForThePawnStalemates", "7k/4PK2/5N2/8/8/8/8/8 w - - 0 1",
            { "e7e8b" }, grTied, geStalemate, AfterAPromotion }),
    [](const auto& info) { return std::string(info.param.Name); });

// Taking the last piece but the kings ends the game as a tie, for its own reason.
TEST(GameEndBareKingsTest, TakingTheLastPieceTiesTheGame) {
    TChessBoard board;
    board.Clear();
    board.PutPiece(5, 1, std::make_unique<TPiece>(pkKing, pcWhite));
    board.PutPiece(5, 8, std::make_unique<TPiece>(pkKing, pcBlack));
    board.PutPiece(4, 2, std::make_unique<TPiece>(pkQueen, pcBlack));
    for (int i = 0; i < TChessBoard::MaxCaptured; ++i) {
        auto white = std::make_unique<TPiece>(pkPawn, pcWhite);
        ASSERT_TRUE(board.AddCaptured(white));
        if (i < TChessBoard::MaxCaptured - 1) {
            auto black = std::make_unique<TPiece>(pkPawn, pcBlack);
            ASSERT_TRUE(board.AddCaptured(black));
        }
    }
    TChessGame game;
    SetPlayers(game, true, true);
    game.Board.Assign(board);
    game.SearchBoard.Assign(board);
    game.StartGame();
    TEndLog log(game);
    ASSERT_EQ(game.PlayMove(Sq("e1"), Sq("d2")), mrCapture | mrGameOver);
    ASSERT_EQ(log.Ends.size(), 1u);
    EXPECT_EQ(log.Ends[0], std::make_pair(grTied, geBareKings));
    EXPECT_EQ(log.Events, AfterAMove);
}

// The move that fills the list ends the game without a result.
TEST(GameEndMoveListTest, TheMoveThatFillsTheListEndsTheGameUnfinished) {
    TChessGame game;
    SetPlayers(game, true, true);
    SetUpPosition(game, "4k3/8/8/8/8/8/8/R3K3 w - - 0 1");
    for (int i = 0; i < TChessGame::MaxMoves - 1; ++i)
        game.Moves.Add(pkRook, Sq("a1"), Sq("a2"), 0, 0);
    game.StartGame();
    TEndLog log(game);
    ASSERT_FALSE(game.PlayMove(Sq("a1"), Sq("a2")) & mrInvalid);
    EXPECT_EQ(game.Moves.Count(), TChessGame::MaxMoves);
    ASSERT_EQ(log.Ends.size(), 1u);
    EXPECT_EQ(log.Ends[0], std::make_pair(grUnfinished, geMoveListFull));
    EXPECT_EQ(log.Events, AfterAMove);
}

TEST(GameEndUndoTest, ATakeBackEndsNothingAndTheLaterMateEndsTheGameOnce) {
    TChessGame game;
    SetPlayers(game, true, true);
    game.StartGame();
    TEndLog log(game);
    for (const char* move : { "f2f3", "e7e5", "g2g4" }) {
        const std::string text = move;
        game.PlayMove(Sq(text.substr(0, 2).c_str()), Sq(text.substr(2, 2).c_str()));
    }
    game.UndoMove();
    game.UndoMove();
    EXPECT_TRUE(log.Ends.empty());
    game.PlayMove(Sq("e7"), Sq("e5"));
    game.PlayMove(Sq("g2"), Sq("g4"));
    game.PlayMove(Sq("d8"), Sq("h4"));
    ASSERT_EQ(log.Ends.size(), 1u);
    EXPECT_EQ(log.Ends[0], std::make_pair(grBlackWon, geCheckmate));
    // A new game ends afresh.
    game.StartGame();
    game.Forfeit();
    ASSERT_EQ(log.Ends.size(), 2u);
    EXPECT_EQ(log.Ends[1], std::make_pair(grWhiteForfeited, geForfeit));
}

TEST(GameEndStopTest, AStopOrALoadIsNoResult) {
    TChessGame game;
    SetPlayers(game, true, true);
    game.StartGame();
    TEndLog log(game);
    game.PlayMove(Sq("e2"), Sq("e4"));
    game.StopGame();
    game.Forfeit();
    EXPECT_TRUE(log.Ends.empty());
}

struct TForfeitCase {
    const char* Name;
    TGameKind Kind;
    uint8_t HostColour;
    bool WhiteHuman;
    bool BlackHuman;
    // Moves a person plays before the forfeit; the computer, if any, is then to move.
    std::vector<const char*> Moves;
    TGameResult Result;
    friend void PrintTo(const TForfeitCase& row, std::ostream* os) { *os << row.Name; }
};

class ForfeitTest : public ::testing::TestWithParam<TForfeitCase> { };

TEST_P(ForfeitTest, TheForfeitingSideFollowsWhoPlaysAtThisMachine) {
    const TForfeitCase& row = GetParam();
    TChessGame game;
    SetPlayers(game, row.WhiteHuman, row.BlackHuman);
    game.GameKind = row.Kind;
    game.HostColour = row.HostColour;
    game.SetSearchDepth(4);
    game.StartGame();
    for (const char* move : row.Moves) {
        const std::string text = move;
        ASSERT_FALSE(game.PlayMove(Sq(text.substr(0, 2).c_str()), Sq(text.substr(2, 2).c_str()))
            & mrInvalid);
    }
    TEndLog log(game);
    game.Forfeit();
    EXPECT_EQ(game.GameState, gsStopped);
    EXPECT_FALSE(game.ComputerPlayer().IsThinking());
    ASSERT_EQ(log.Ends.size(), 1u);
    EXPECT_EQ(log.Ends[0], std::make_pair(row.Result, geForfeit));
    // The stop comes first, as the menu did it.
    EXPECT_EQ(log.Events, (std::vector<std::string> { "GameStopped", "GameEnded" }));
    RunEventsFor(50);
    EXPECT_EQ(log.Ends.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Rules, ForfeitTest,
    ::testing::Values(TForfeitCase { "TwoPersonsWhiteToMove", gkLocal, pcWhite, true, true, {},
                          grWhiteForfeited },
        TForfeitCase {
            "TwoPersonsBlackToMove", gkLocal, pcWhite, true, true, { "e2e4" }, grBlackForfeited },
        TForfeitCase { "ThePersonWhileTheComputerIsToMove", gkLocal, pcWhite, true, false,
            { "e2e4" }, grWhiteForfeited },
        TForfeitCase { "ThePersonPlayingBlackAgainstTheComputer", gkLocal, pcWhite, false, true, {},
            grBlackForfeited },
        TForfeitCase {
            "TwoComputersTheSideToMove", gkLocal, pcWhite, false, false, {}, grWhiteForfeited },
        TForfeitCase { "TheHostPlayingBlackWhileWhiteIsToMove", gkHost, pcBlack, true, true, {},
            grBlackForfeited },
        TForfeitCase { "TheClientPlayingWhiteWhileBlackIsToMove", gkClient, pcBlack, true, true,
            { "e2e4" }, grWhiteForfeited }),
    [](const auto& info) { return std::string(info.param.Name); });

} // namespace
