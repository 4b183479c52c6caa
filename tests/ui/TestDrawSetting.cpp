// The draw rules' option: kept in section "Game" of the settings file (off for a file without
// it), a check box on the options dialog's Game page that the controller follows, and a game
// drawn by a rule announced with the rule, the tie's sound and mark, and recorded as tied.

#include "AppPaths.h"
#include "BoardView.h"
#include "BoardWidget.h"
#include "Fen.h"
#include "FormMain.h"
#include "FormOptions.h"
#include "Pgn.h"
#include "Settings.h"
#include "UnitHistory.h"
#include "UnitMessages.h"
#include "WindowTestSupport.h"

#include <QCheckBox>
#include <QFile>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace {

TPoint Sq(const char* name) {
    return { name[0] - 'a' + 1, name[1] - '0' };
}

class DrawSettingTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_Home.isValid());
        qputenv("WINTERMOOT_HOME", m_Home.path().toLocal8Bit());
        SetMessagePresenter(std::make_unique<TRecordingPresenter>(Boxes, Answer));
    }
    void TearDown() override { SetMessagePresenter(nullptr); }

    std::unique_ptr<TfrmMain> Start() {
        auto main = std::make_unique<TfrmMain>();
        main->Seams().PlaySound = [this](int slot) { Sounds.push_back(slot); };
        return main;
    }

    // Two persons move their knights out and back twice: the start position is on the board for
    // the third time after the last move.
    static void PlayKnightsOutAndBackTwice(TfrmMain& main) {
        main.Game().WhitePlayer = TPlayer { 2, true, "Alice", false, 0, 0 };
        main.Game().BlackPlayer = TPlayer { 2, true, "Bob", false, 0, 0 };
        main.Game().GameKind = gkLocal;
        main.Game().StartGame();
        const char* const moves[][2] = { { "g1", "f3" }, { "g8", "f6" }, { "f3", "g1" },
            { "f6", "g8" }, { "g1", "f3" }, { "g8", "f6" }, { "f3", "g1" }, { "f6", "g8" } };
        for (const auto& move : moves)
            ASSERT_FALSE(main.Game().PlayMove(Sq(move[0]), Sq(move[1])) & mrInvalid) << move[0];
    }

    long Count(const char* fragment) const {
        return std::count_if(Boxes.begin(), Boxes.end(),
            [&](const std::string& box) { return box.find(fragment) != std::string::npos; });
    }

    QTemporaryDir m_Home;
    std::vector<std::string> Boxes;
    std::vector<int> Sounds;
    int Answer = idNo;
};

TEST_F(DrawSettingTest, OffUnlessTheFileSaysOnAndKeptBesideTheOtherGameKeys) {
    EXPECT_FALSE(TSettings().DeclareDraws);
    EXPECT_FALSE(LoadSettings(m_Home.filePath(QStringLiteral("none.ini"))).DeclareDraws);
    {
        QFile file(AppPaths::SettingsFile());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[Game]\nSearchDepth=5\nWhitePlayerName=Ann\n");
    }
    EXPECT_FALSE(LoadSettings(AppPaths::SettingsFile()).DeclareDraws)
        << "a file of an older version";
    TSettings settings = LoadSettings(AppPaths::SettingsFile());
    settings.DeclareDraws = true;
    ASSERT_TRUE(SaveSettings(settings, AppPaths::SettingsFile()));
    QSettings ini(AppPaths::SettingsFile(), QSettings::IniFormat);
    EXPECT_EQ(ini.value("Game/DeclareDraws").toString(), "1");
    EXPECT_EQ(ini.value("Game/WhitePlayerName").toString(), "Ann");
    EXPECT_EQ(LoadSettings(AppPaths::SettingsFile()), settings);
}

TEST_F(DrawSettingTest, TheGamePagesCheckBoxTurnsTheRulesOnForThisAndTheNextStart) {
    {
        auto main = Start();
        EXPECT_FALSE(main->Game().DeclareDraws) << "first run";
        auto* options = main->findChild<TfrmOptions*>("frmOptions");
        auto* box = options->findChild<QCheckBox*>("chkDeclareDraws");
        ASSERT_NE(box, nullptr);
        EXPECT_TRUE(options->tbsGame->isAncestorOf(box));
        EXPECT_EQ(box->text(),
            QStringLiteral(
                "Declare draws: threefold repetition, fifty moves, insufficient material"));
        QTimer::singleShot(0, options, [options, box] {
            EXPECT_FALSE(box->isChecked());
            box->setChecked(true);
            QTest::mouseClick(options->btnOk, Qt::LeftButton);
            if (options->isVisible())
                options->reject();
        });
        EXPECT_TRUE(options->ShowOptions());
        EXPECT_TRUE(main->Settings().DeclareDraws);
        EXPECT_TRUE(main->Game().DeclareDraws);
    }
    auto next = Start();
    EXPECT_TRUE(next->Game().DeclareDraws);
    auto* options = next->findChild<TfrmOptions*>("frmOptions");
    QTimer::singleShot(0, options, [options] {
        EXPECT_TRUE(options->findChild<QCheckBox*>("chkDeclareDraws")->isChecked());
        options->reject();
    });
    options->ShowOptions();
}

TEST_F(DrawSettingTest, WithTheOptionOffTwoPersonsPlayOnThroughARepetition) {
    auto main = Start();
    PlayKnightsOutAndBackTwice(*main);
    EXPECT_EQ(main->Game().GameState, gsPlaying);
    EXPECT_TRUE(Boxes.empty());
    EXPECT_EQ(main->History().Count(), 0);
    main->Game().StopGame();
}

TEST_F(DrawSettingTest, ARepetitionIsAnnouncedByItsRuleAndRecordedAsATie) {
    auto main = Start();
    main->Settings().DeclareDraws = true;
    main->Game().DeclareDraws = true;
    PlayKnightsOutAndBackTwice(*main);
    EXPECT_EQ(main->Game().GameState, gsStopped);
    EXPECT_EQ(Count("the same position has come up three times"), 1);
    EXPECT_EQ(Count("The game is tied!"), 0);
    EXPECT_EQ(Count("has won the game!"), 0);
    ASSERT_FALSE(Sounds.empty());
    EXPECT_EQ(Sounds.back(), ssStalemate);
    EXPECT_EQ(std::count(Sounds.begin(), Sounds.end(), int(ssStalemate)), 1);
    EXPECT_EQ(main->Game().WhitePlayer.Status, 2);

    // The history file holds the game with the tie's code, and its PGN says so.
    THistory saved;
    ASSERT_EQ(saved.Load(AppPaths::HistoryFile()), hlLoaded);
    ASSERT_EQ(saved.Count(), 1);
    EXPECT_EQ(int(saved.Last()->Result), 5);
    EXPECT_EQ(saved.Last()->Moves.Count(), 8);
    const std::string pgn = GamePgn(*saved.Last());
    EXPECT_NE(pgn.find("[Result \"1/2-1/2\"]"), std::string::npos) << pgn;
    EXPECT_NE(pgn.find("Ng8 1/2-1/2"), std::string::npos) << pgn;
}

// How a game ends without check, and the word the header of the side left to move shows.
struct TEndCase {
    const char* Name;
    // The start position; empty for the initial position.
    const char* Fen;
    std::vector<std::string> (*Moves)();
    const char* Word;
};

void PrintTo(const TEndCase& end, std::ostream* out) {
    *out << end.Name;
}

std::vector<std::string> KnightsOutAndBackTwice() {
    return { "g1f3", "g8f6", "f3g1", "f6g8", "g1f3", "g8f6", "f3g1", "f6g8" };
}

// White's king walks fifty squares it never comes back to while Black's steps back and forth:
// a hundred half-moves without a capture or a pawn move, and no position twice.
std::vector<std::string> FiftyKingMoves() {
    std::vector<std::string> path;
    for (int rank = 1; rank <= 5; ++rank) {
        for (int i = 0; i < 8; ++i)
            path.push_back(
                std::string(1, rank % 2 ? char('h' - i) : char('a' + i)) + char('0' + rank));
    }
    for (const char* square : { "a6", "b6", "c6", "d6", "e6", "f6", "e7", "d7", "c7", "b7", "a7" })
        path.push_back(square);
    std::vector<std::string> moves;
    for (size_t i = 1; i < path.size(); ++i) {
        moves.push_back(path[i - 1] + path[i]);
        moves.push_back(i % 2 ? "h8g8" : "g8h8");
    }
    return moves;
}

std::vector<std::string> KingTakesTheRook() {
    return { "e1d2" };
}

std::vector<std::string> QueenToB6() {
    return { "b5b6" };
}

class DrawHeaderTest : public DrawSettingTest, public testing::WithParamInterface<TEndCase> { };

TEST_P(DrawHeaderTest, TheHeaderNamesTheRuleThatEndedTheGame) {
    const TEndCase& end = GetParam();
    auto main = Start();
    main->show();
    main->Game().DeclareDraws = true;
    main->Game().WhitePlayer = TPlayer { 2, true, "Alice", false, 0, 0 };
    main->Game().BlackPlayer = TPlayer { 2, true, "Bob", false, 0, 0 };
    main->Game().GameKind = gkLocal;
    if (*end.Fen) {
        TChessBoard board;
        main->Game().Turn = LoadFen(board, end.Fen);
        main->Game().Board.Assign(board);
        main->Game().SearchBoard.Assign(board);
    }
    main->Game().StartGame();
    for (const std::string& move : end.Moves()) {
        ASSERT_EQ(main->Game().GameState, gsPlaying) << "before " << move;
        ASSERT_FALSE(
            main->Game().PlayMove(Sq(move.substr(0, 2).c_str()), Sq(move.substr(2, 2).c_str()))
            & mrInvalid)
            << move;
    }
    ASSERT_EQ(main->Game().GameState, gsStopped);
    const TPieceColour toMove = Opponent(main->Game().Turn);
    const TBoardSnapshot snapshot = main->Board().MakeSnapshot();
    const QString* word = HeaderWord(snapshot, toMove);
    ASSERT_NE(word, nullptr);
    EXPECT_EQ(*word, QString::fromUtf8(end.Word));
    EXPECT_EQ(HeaderWord(snapshot, Opponent(toMove)), nullptr) << "the side that moved";
}

INSTANTIATE_TEST_SUITE_P(Ends, DrawHeaderTest,
    testing::Values(TEndCase { "Repetition", "", KnightsOutAndBackTwice, "Repetition!" },
        TEndCase { "FiftyMoves", "7k/7p/8/8/8/8/8/7K w - - 0 1", FiftyKingMoves, "50-move rule!" },
        TEndCase { "InsufficientMaterial", "4k3/8/8/8/8/8/3r4/4KB2 w - - 0 1", KingTakesTheRook,
            "No mate possible!" },
        TEndCase {
            "BareKings", "4k3/8/8/8/8/8/3r4/4K3 w - - 0 1", KingTakesTheRook, "No mate possible!" },
        TEndCase { "Stalemate", "k7/8/8/1Q6/8/8/8/7K w - - 0 1", QueenToB6, "Stalemate!" }),
    [](const testing::TestParamInfo<TEndCase>& info) { return std::string(info.param.Name); });

} // namespace
