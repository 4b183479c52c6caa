// The draw rules in the controller: off by default between persons, on with the option and
// between programs whatever the option, never over the network; the drawn game's events come in
// the order of any other tie, once, and a take-back before the end keeps the count right.

#include "GameTestSupport.h"

#include <QTimer>

#include <gtest/gtest.h>

namespace {

struct TDrawLog {
    explicit TDrawLog(TChessGame& game) {
        QObject::connect(&game, &TChessGame::gameEnded, &Context,
            [this](TGameResult result, TGameEndReason reason) {
                Ends.emplace_back(result, reason);
                Events.push_back("GameEnded");
            });
        QObject::connect(&game, &TChessGame::movePlayed, &Context,
            [this](TPoint, TPoint, TMoveResult) { Events.push_back("MovePlayed"); });
        QObject::connect(
            &game, &TChessGame::gameStopped, &Context, [this] { Events.push_back("GameStopped"); });
    }

    QObject Context;
    std::vector<std::pair<TGameResult, TGameEndReason>> Ends;
    std::vector<std::string> Events;
};

// A program that plays its moves in order, each from the event loop.
class TScriptAgent : public TPlayerAgent {
public:
    TScriptAgent(TPieceColour colour, std::vector<std::string> moves)
        : TPlayerAgent(colour)
        , m_Moves(std::move(moves)) { }

    void StartTurn(const TChessGame&) override {
        const int token = ++m_Token;
        QTimer::singleShot(0, this, [this, token] {
            if (token != m_Token || m_Next >= m_Moves.size())
                return;
            const std::string move = m_Moves[m_Next++];
            emit moveChosen(Sq(move.substr(0, 2).c_str()), Sq(move.substr(2, 2).c_str()), 0);
        });
    }
    void Cancel() override { ++m_Token; }
    bool IsComputer() const override { return true; }

private:
    std::vector<std::string> m_Moves;
    size_t m_Next = 0;
    int m_Token = 0;
};

void PlayAll(TChessGame& game, const std::vector<std::string>& moves) {
    for (const std::string& move : moves) {
        ASSERT_FALSE(
            game.PlayMove(Sq(move.substr(0, 2).c_str()), Sq(move.substr(2, 2).c_str())) & mrInvalid)
            << move;
    }
}

// The knights go out and back twice and out again: the start position stands on the board for
// the third time after the last move.
const std::vector<std::string> ThreeTimesTheStart { "g1f3", "g8f6", "f3g1", "f6g8", "g1f3", "g8f6",
    "f3g1", "f6g8" };

TEST(DrawGameTest, TheRulesAreOffByDefaultInAGameBetweenPersons) {
    TChessGame game;
    EXPECT_FALSE(game.DeclareDraws);
    SetPlayers(game, true, true);
    game.StartGame();
    EXPECT_FALSE(game.DrawRulesApply());
    TDrawLog log(game);
    PlayAll(game, ThreeTimesTheStart);
    PlayAll(game, { "g1f3", "g8f6", "f3g1", "f6g8" });
    EXPECT_TRUE(log.Ends.empty());
    EXPECT_EQ(game.GameState, gsPlaying);
    EXPECT_FALSE(game.DrawByRule());
}

TEST(DrawGameTest, ARepetitionEndsTheGameOnceBetweenTheMoveAndTheStop) {
    TChessGame game;
    game.DeclareDraws = true;
    SetPlayers(game, true, true);
    game.StartGame();
    TDrawLog log(game);
    PlayAll(
        game, std::vector<std::string>(ThreeTimesTheStart.begin(), ThreeTimesTheStart.end() - 1));
    EXPECT_TRUE(log.Ends.empty());
    EXPECT_TRUE(game.Clock().isActive());
    PlayAll(game, { ThreeTimesTheStart.back() });
    ASSERT_EQ(log.Ends.size(), 1u);
    EXPECT_EQ(log.Ends[0], std::make_pair(grTied, geRepetition));
    EXPECT_EQ(std::vector<std::string>(log.Events.end() - 3, log.Events.end()),
        (std::vector<std::string> { "MovePlayed", "GameEnded", "GameStopped" }));
    EXPECT_EQ(game.GameState, gsStopped);
    EXPECT_FALSE(game.Clock().isActive());
    // The side that would move next is marked as after a stalemate.
    EXPECT_EQ(game.WhitePlayer.Status, 2);
    // A take-back after the end does what it does after a stalemate: nothing.
    game.UndoMove();
    game.Forfeit();
    EXPECT_EQ(game.Moves.Count(), ThreeTimesTheStart.size());
    EXPECT_EQ(log.Ends.size(), 1u);
}

TEST(DrawGameTest, TakenBackPositionsNoLongerCount) {
    TChessGame game;
    game.DeclareDraws = true;
    SetPlayers(game, true, true);
    game.StartGame();
    TDrawLog log(game);
    PlayAll(game, { "g1f3", "g8f6", "f3g1", "f6g8" });
    game.UndoMove();
    game.UndoMove();
    // The start comes back a second time, not a third.
    PlayAll(game, { "f3g1", "f6g8", "g1f3", "g8f6", "f3g1" });
    EXPECT_TRUE(log.Ends.empty());
    PlayAll(game, { "f6g8" });
    ASSERT_EQ(log.Ends.size(), 1u);
    EXPECT_EQ(log.Ends[0], std::make_pair(grTied, geRepetition));
    EXPECT_EQ(game.Moves.Count(), 8);
}

TEST(DrawGameTest, TheCaptureThatLeavesTooLittleToMateDraws) {
    TChessGame game;
    game.DeclareDraws = true;
    SetPlayers(game, true, true);
    SetUpPosition(game, "4k3/8/8/8/8/8/3r4/4KB2 w - - 0 1");
    game.StartGame();
    TDrawLog log(game);
    PlayAll(game, { "e1d2" });
    ASSERT_EQ(log.Ends.size(), 1u);
    EXPECT_EQ(log.Ends[0], std::make_pair(grTied, geInsufficientMaterial));
}

TEST(DrawGameTest, FiftyMovesWithoutACaptureOrAPawnMoveDraw) {
    // White's king walks fifty squares it never comes back to while Black's steps back and
    // forth: no position comes back, nothing is taken and no pawn moves.
    std::vector<std::string> path;
    for (int rank = 1; rank <= 5; ++rank) {
        for (int i = 0; i < 8; ++i) {
            const char file = rank % 2 ? char('h' - i) : char('a' + i);
            path.push_back(std::string(1, file) + char('0' + rank));
        }
    }
    for (const char* square : { "a6", "b6", "c6", "d6", "e6", "f6", "e7", "d7", "c7", "b7", "a7" })
        path.push_back(square);
    ASSERT_EQ(path.size(), 51u);
    TChessGame game;
    game.DeclareDraws = true;
    SetPlayers(game, true, true);
    SetUpPosition(game, "7k/7p/8/8/8/8/8/7K w - - 0 1");
    game.StartGame();
    TDrawLog log(game);
    for (size_t i = 1; i < path.size(); ++i) {
        PlayAll(game, { path[i - 1] + path[i] });
        PlayAll(game, { i % 2 ? "h8g8" : "g8h8" });
        if (i + 1 < path.size()) {
            ASSERT_TRUE(log.Ends.empty()) << "after White's move to " << path[i];
        }
    }
    EXPECT_EQ(game.Moves.Count(), 100);
    ASSERT_EQ(log.Ends.size(), 1u);
    EXPECT_EQ(log.Ends[0], std::make_pair(grTied, geFiftyMoves));
}

TEST(DrawGameTest, AStalemateThatAlsoLeavesTooLittleToMateIsAStalemate) {
    // Bxd4 leaves king and bishop against king, and Black without a move.
    TChessGame game;
    game.DeclareDraws = true;
    SetPlayers(game, true, true);
    SetUpPosition(game, "k7/2K5/8/4B3/3n4/8/8/8 w - - 0 1");
    game.StartGame();
    TDrawLog log(game);
    PlayAll(game, { "e5d4" });
    ASSERT_EQ(log.Ends.size(), 1u);
    EXPECT_EQ(log.Ends[0], std::make_pair(grTied, geStalemate));
}

struct TApplyCase {
    const char* Name;
    TGameKind Kind;
    bool WhiteHuman;
    bool BlackHuman;
    bool DeclareDraws;
    bool Apply;
    friend void PrintTo(const TApplyCase& row, std::ostream* os) { *os << row.Name; }
};

class DrawRulesApplyTest : public ::testing::TestWithParam<TApplyCase> { };

TEST_P(DrawRulesApplyTest, FollowsWhoPlaysAndTheOption) {
    const TApplyCase& row = GetParam();
    TChessGame game;
    SetPlayers(game, row.WhiteHuman, row.BlackHuman);
    game.GameKind = row.Kind;
    game.DeclareDraws = row.DeclareDraws;
    // Programs that never answer, so that nothing moves.
    game.SetAgentFactory([&](TPieceColour colour) -> std::unique_ptr<TPlayerAgent> {
        if (game.GetPlayer(colour)->Human || row.Kind != gkLocal)
            return game.MakeDefaultAgent(colour);
        return std::make_unique<TScriptAgent>(colour, std::vector<std::string> {});
    });
    game.StartGame();
    EXPECT_EQ(game.DrawRulesApply(), row.Apply);
    game.StopGame();
}

INSTANTIATE_TEST_SUITE_P(Games, DrawRulesApplyTest,
    ::testing::Values(TApplyCase { "TwoPersons", gkLocal, true, true, false, false },
        TApplyCase { "TwoPersonsWithTheOption", gkLocal, true, true, true, true },
        TApplyCase { "APersonAgainstTheComputer", gkLocal, true, false, false, false },
        TApplyCase { "TheComputerAgainstAPerson", gkLocal, false, true, false, false },
        TApplyCase { "TwoProgramsWithoutTheOption", gkLocal, false, false, false, true },
        TApplyCase { "ANetworkHostWithTheOption", gkHost, true, true, true, false },
        TApplyCase { "ANetworkClientWithTheOption", gkClient, true, true, true, false }),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(DrawGameTest, TwoProgramsRepeatingThemselvesDrawWithTheOptionOff) {
    TChessGame game;
    SetPlayers(game, false, false);
    game.SetAgentFactory([](TPieceColour colour) -> std::unique_ptr<TPlayerAgent> {
        if (colour == pcWhite)
            return std::make_unique<TScriptAgent>(colour,
                std::vector<std::string> { "g1f3", "f3g1", "g1f3", "f3g1", "g1f3", "f3g1" });
        return std::make_unique<TScriptAgent>(
            colour, std::vector<std::string> { "g8f6", "f6g8", "g8f6", "f6g8", "g8f6", "f6g8" });
    });
    TDrawLog log(game);
    game.StartGame();
    ASSERT_TRUE(WaitUntil([&] { return game.GameState == gsStopped; }));
    ASSERT_EQ(log.Ends.size(), 1u);
    EXPECT_EQ(log.Ends[0], std::make_pair(grTied, geRepetition));
    EXPECT_EQ(game.Moves.Count(), 8);
}

} // namespace
