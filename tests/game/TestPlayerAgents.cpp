// The agents that choose each side's moves: a scripted agent from outside the controller plays
// through it as an engine would (asked on its turn, answering later, cancelled when the position
// changes under it), and the controller makes the right default agent for each kind of game.

#include "GameTestSupport.h"
#include "NetworkOpponent.h"

#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

// Plays its moves in order, each a while after it is asked; "e7e8q" names a promotion piece.
class TScriptedAgent : public TPlayerAgent {
public:
    TScriptedAgent(TPieceColour colour, std::vector<std::string> moves, int delay = 20)
        : TPlayerAgent(colour)
        , m_Moves(std::move(moves))
        , m_Delay(delay) { }

    void StartTurn(const TChessGame& game) override {
        ++Asked;
        AskedAt.push_back(Position(game));
        const int token = ++m_Token;
        QTimer::singleShot(m_Delay, this, [this, token] {
            if (token != m_Token || m_Next >= m_Moves.size())
                return;
            const std::string move = m_Moves[m_Next++];
            const uint8_t piece
                = move.size() == 5 ? uint8_t(std::string("?rnbq").find(move[4])) : 0;
            emit moveChosen(Sq(move.substr(0, 2).c_str()), Sq(move.substr(2, 2).c_str()), piece);
        });
    }
    void Cancel() override {
        ++m_Token;
        ++Cancelled;
    }
    bool IsComputer() const override { return true; }

    int Asked = 0;
    int Cancelled = 0;
    std::vector<std::string> AskedAt;

private:
    std::vector<std::string> m_Moves;
    int m_Delay;
    size_t m_Next = 0;
    int m_Token = 0;
};

// A person plays White at this machine against a scripted Black, plugged in through the factory.
class ScriptedOpponentTest : public ::testing::Test {
protected:
    void Use(std::vector<std::string> blackMoves, int delay = 20) {
        SetPlayers(Game, true, true);
        Game.SetAgentFactory([this, blackMoves, delay](TPieceColour colour) {
            if (colour == pcWhite)
                return Game.MakeDefaultAgent(colour);
            auto agent = std::make_unique<TScriptedAgent>(colour, blackMoves, delay);
            Black = agent.get();
            return std::unique_ptr<TPlayerAgent>(std::move(agent));
        });
    }

    void Play(const char* from, const char* to) {
        ASSERT_FALSE(Game.PlayMove(Sq(from), Sq(to)) & mrInvalid) << from << to;
    }

    TChessGame Game;
    TEventLog Log { Game };
    TScriptedAgent* Black = nullptr;
};

TEST_F(ScriptedOpponentTest, AnswersEachTurnThroughTheController) {
    Use({ "e7e5", "b8c6" });
    Game.StartGame();
    ASSERT_NE(Black, nullptr);
    EXPECT_EQ(Black->Asked, 0);
    Play("e2", "e4");
    EXPECT_EQ(Black->Asked, 1);
    EXPECT_EQ(Black->AskedAt[0], "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1");
    // Its side's moves come only from it.
    EXPECT_EQ(Game.PlayMove(Sq("d7"), Sq("d5")), 0);
    ASSERT_TRUE(WaitUntil([&] { return Game.Moves.Count() == 2; }));
    EXPECT_EQ(Game.Turn, pcWhite);
    Play("g1", "f3");
    ASSERT_TRUE(WaitUntil([&] { return Game.Moves.Count() == 4; }));
    EXPECT_EQ(Position(Game), "r1bqkbnr/pppp1ppp/2n5/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 0 1");
    EXPECT_EQ(SaveFen(Game.SearchBoard, Game.Turn), Position(Game));
    EXPECT_EQ(Black->Asked, 2);
    EXPECT_EQ(Log.Count("MovePlayed"), 4u);
    EXPECT_EQ(Log.Count("InvalidMove"), 0u);
}

TEST_F(ScriptedOpponentTest, ATakeBackCancelsItsTurnAndItsAnswerNeverComes) {
    Use({ "e7e5", "e7e6" }, 100);
    Game.StartGame();
    Play("e2", "e4");
    Game.UndoMove();
    EXPECT_EQ(Black->Cancelled, 1);
    EXPECT_EQ(Game.Moves.Count(), 0);
    EXPECT_EQ(Game.Turn, pcWhite);
    RunEventsFor(250);
    EXPECT_EQ(Game.Moves.Count(), 0);
    // Asked afresh on its next turn, it answers that one.
    Play("d2", "d4");
    ASSERT_TRUE(WaitUntil([&] { return Game.Moves.Count() == 2; }));
    EXPECT_EQ(Game.Moves.Last()->To, Sq("e5"));
}

TEST_F(ScriptedOpponentTest, AStopAForfeitOrALoadCancelsItsTurn) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.filePath("game.wtg");
    Use({ "e7e5" }, 100);
    Game.StartGame();
    ASSERT_TRUE(Game.SaveGame(file));
    Play("e2", "e4");
    Game.Forfeit();
    EXPECT_EQ(Black->Cancelled, 1);

    Game.StartGame();
    Play("e2", "e4");
    Game.StopGame();
    EXPECT_EQ(Black->Cancelled, 1);

    Game.StartGame();
    Play("e2", "e4");
    TScriptedAgent* asked = Black;
    ASSERT_TRUE(Game.LoadGame(file));
    EXPECT_GE(asked->Cancelled, 1);
    RunEventsFor(250);
    EXPECT_EQ(Game.Moves.Count(), 0);
    EXPECT_EQ(Log.Count("MovePlayed"), 3u);
}

TEST_F(ScriptedOpponentTest, AnAnswerDuringAPauseIsPlayedOnResume) {
    Use({ "e7e5" });
    Game.StartGame();
    Play("e2", "e4");
    Game.PauseGame();
    RunEventsFor(100);
    EXPECT_EQ(Game.Moves.Count(), 1);
    Game.ResumeGame();
    EXPECT_EQ(Game.Moves.Count(), 2);
    EXPECT_EQ(Game.Turn, pcWhite);
}

TEST_F(ScriptedOpponentTest, ARefusedMoveIsReportedAndChangesNothing) {
    Use({ "e7e4" });
    Game.StartGame();
    Play("e2", "e4");
    ASSERT_TRUE(WaitUntil([&] { return Log.Count("InvalidMove") == 1; }));
    EXPECT_EQ(Log.Events.back(), "InvalidMove e7e4");
    EXPECT_EQ(Game.Moves.Count(), 1);
    EXPECT_EQ(Game.Turn, pcBlack);
    EXPECT_EQ(Game.GameState, gsPlaying);
}

TEST_F(ScriptedOpponentTest, APieceChosenWithTheMoveIsPutInAtOnceAndCanMate) {
    // Black's pawn becomes a queen that mates the king boxed in by its own pawns.
    Use({ "f2f1q" });
    SetUpPosition(Game, "R7/8/2k5/8/8/8/5pPP/7K w - - 0 1");
    TGameResult result = grUnfinished;
    int ends = 0;
    QObject::connect(&Game, &TChessGame::gameEnded, [&](TGameResult ended, TGameEndReason) {
        result = ended;
        ++ends;
    });
    Game.StartGame();
    Play("a8", "a7");
    Log.Events.clear();
    ASSERT_TRUE(WaitUntil([&] { return Game.GameState == gsStopped; }));
    EXPECT_EQ(Log.Events,
        (std::vector<std::string> { "Promoted f1 " + std::to_string(mrCheck | mrGameOver),
            "GameStopped", "MovePlayed f2f1 0" }));
    EXPECT_EQ(Game.Moves.Last()->PromotionKind, pkQueen);
    EXPECT_EQ(ends, 1);
    EXPECT_EQ(result, grBlackWon);
    // The person forfeits against a program, even on its turn: here the game is already over.
    EXPECT_EQ(Game.ForfeitingColour(), pcWhite);
}

TEST(TwoScriptedAgentsTest, PlayAGameToItsEndWithoutAPerson) {
    TChessGame game;
    SetPlayers(game, true, true);
    game.SetAgentFactory([](TPieceColour colour) -> std::unique_ptr<TPlayerAgent> {
        if (colour == pcWhite)
            return std::make_unique<TScriptedAgent>(
                colour, std::vector<std::string> { "f2f3", "g2g4" }, 0);
        return std::make_unique<TScriptedAgent>(
            colour, std::vector<std::string> { "e7e5", "d8h4" }, 0);
    });
    std::vector<std::pair<TGameResult, TGameEndReason>> ends;
    QObject::connect(&game, &TChessGame::gameEnded,
        [&](TGameResult result, TGameEndReason reason) { ends.emplace_back(result, reason); });
    game.StartGame();
    // Neither side takes input; the side to move forfeits.
    EXPECT_EQ(game.ForfeitingColour(), pcWhite);
    EXPECT_EQ(game.PlayMove(Sq("e2"), Sq("e4")), 0);
    ASSERT_TRUE(WaitUntil([&] { return game.GameState == gsStopped; }));
    EXPECT_EQ(game.Moves.Count(), 4);
    ASSERT_EQ(ends.size(), 1u);
    EXPECT_EQ(ends[0], std::make_pair(grBlackWon, geCheckmate));
}

struct TDefaultAgentCase {
    const char* Name;
    TGameKind Kind;
    uint8_t HostColour;
    bool WhiteHuman;
    bool BlackHuman;
    // 'p' the person at this machine, 'c' the built-in computer, 'n' the network opponent.
    char White;
    char Black;
    friend void PrintTo(const TDefaultAgentCase& row, std::ostream* os) { *os << row.Name; }
};

char KindOf(const TPlayerAgent* agent) {
    if (!agent)
        return '-';
    if (qobject_cast<const TNetworkOpponent*>(agent))
        return 'n';
    if (agent->TakesInput())
        return 'p';
    return agent->IsComputer() ? 'c' : '?';
}

class DefaultAgentTest : public ::testing::TestWithParam<TDefaultAgentCase> { };

TEST_P(DefaultAgentTest, FollowTheRecordsAndTheKindOfGame) {
    const TDefaultAgentCase& row = GetParam();
    TChessGame game;
    SetPlayers(game, row.WhiteHuman, row.BlackHuman);
    game.GameKind = row.Kind;
    game.HostColour = row.HostColour;
    game.SetSearchDepth(1);
    EXPECT_EQ(game.Agent(pcWhite), nullptr);
    game.StartGame();
    EXPECT_EQ(KindOf(game.Agent(pcWhite)), row.White);
    EXPECT_EQ(KindOf(game.Agent(pcBlack)), row.Black);
    EXPECT_EQ(game.Agent(static_cast<TPieceColour>(2)), nullptr);
    game.StopGame();
}

INSTANTIATE_TEST_SUITE_P(Kinds, DefaultAgentTest,
    ::testing::Values(TDefaultAgentCase { "TwoPersons", gkLocal, pcWhite, true, true, 'p', 'p' },
        TDefaultAgentCase { "PersonAgainstComputer", gkLocal, pcWhite, true, false, 'p', 'c' },
        TDefaultAgentCase { "TwoComputers", gkLocal, pcWhite, false, false, 'c', 'c' },
        TDefaultAgentCase { "HostPlayingBlack", gkHost, pcBlack, true, true, 'n', 'p' },
        TDefaultAgentCase { "ClientOfAWhiteHost", gkClient, pcWhite, true, true, 'n', 'p' },
        // A record marked as the computer plays no part in a network game.
        TDefaultAgentCase { "HostWhateverTheRecordsSay", gkHost, pcWhite, false, false, 'p', 'n' }),
    [](const auto& info) { return std::string(info.param.Name); });

// A move for the opponent's side made here would never reach the opponent: the boards would part.
TEST(NetworkAgentsTest, TheOpponentsSideTakesNoMoveFromThisMachine) {
    TChessGame game;
    SetPlayers(game, true, true);
    game.GameKind = gkHost;
    game.HostColour = pcWhite;
    game.StartGame();
    ASSERT_FALSE(game.PlayMove(Sq("e2"), Sq("e4")) & mrInvalid);
    EXPECT_EQ(game.PlayMove(Sq("e7"), Sq("e5")), 0);
    EXPECT_EQ(game.Moves.Count(), 1);
    EXPECT_EQ(game.Turn, pcBlack);
    game.StopGame();
}

TEST(LoadedAgentsTest, ALoadedGameGetsTheAgentsOfItsRecords) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.filePath("game.wtg");
    {
        TChessGame saved;
        SetPlayers(saved, true, false);
        saved.SetSearchDepth(1);
        saved.StartGame();
        ASSERT_TRUE(saved.SaveGame(file));
        saved.StopGame();
    }
    TChessGame game;
    SetPlayers(game, true, true);
    ASSERT_TRUE(game.LoadGame(file));
    EXPECT_EQ(KindOf(game.Agent(pcWhite)), 'p');
    EXPECT_EQ(KindOf(game.Agent(pcBlack)), 'c');
}

} // namespace
