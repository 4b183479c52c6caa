// The local game in progress kept in the data folder through the real main window: the file after
// every move, its removal when the game ends or stops, its keeping when the program closes, the
// question at the next start, a damaged file and a folder that cannot be written; and the history
// window's "Import PGN...".

#include "AppPaths.h"
#include "BoardGeometry.h"
#include "FormGame.h"
#include "FormHistory.h"
#include "FormMain.h"
#include "FormMoves.h"
#include "GameResume.h"
#include "UnitMessages.h"
#include "UserFiles.h"
#include "WindowTestSupport.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace {

TPoint Sq(const char* name) {
    return { name[0] - 'a' + 1, name[1] - '0' };
}

const char* const ContinueQuestion = "still in progress when Wintermoot last closed";

class ResumeTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_Folder.isValid());
        Home = m_Folder.path();
        SetMessagePresenter(std::make_unique<TRecordingPresenter>(Boxes, Answer));
    }

    void TearDown() override {
        if (Main)
            Main->Game().StopGame();
        Main.reset();
        SetMessagePresenter(nullptr);
        UserFiles().Clear();
    }

    // The main window on the home folder, shown; the question of a kept game, if any, waits in
    // the event loop.
    void Start() {
        qputenv("WINTERMOOT_HOME", Home.toLocal8Bit());
        Main = std::make_unique<TfrmMain>();
        Dialog = Main->findChild<TfrmGame*>("frmGame");
        Moves = Main->findChild<TfrmMoves*>("frmMoves");
        Main->Seams().PlaySound = nullptr;
        Main->show();
    }

    void StartLocal() {
        Main->Game().WhitePlayer = TPlayer { 2, true, "Alice", false, 0, 0 };
        Main->Game().BlackPlayer = TPlayer { 2, true, "Bob", false, 0, 0 };
        Main->Game().GameKind = gkLocal;
        Main->Game().StartGame();
    }

    void Drag(const char* from, const char* to) {
        for (const TPoint square : { Sq(from), Sq(to) }) {
            const TPoint o = BoardGeometry::SquareOrigin(square, Main->Board().Switched);
            const QPoint centre(o.X + 27, o.Y + 27);
            if (square == Sq(from))
                QTest::mousePress(Main->Board().pbBoard, Qt::LeftButton, {}, centre);
            else
                QTest::mouseRelease(Main->Board().pbBoard, Qt::LeftButton, {}, centre);
        }
    }

    QString GamePath() const { return Home + QStringLiteral("/current-game.wtg"); }

    // The moves of the kept file as "e2-e4" texts, and the side it gives the move to, read by a
    // controller of its own; none when the file cannot be loaded.
    std::optional<std::vector<std::string>> KeptMoves(TPieceColour* turn = nullptr) const {
        TChessGame kept;
        if (!kept.LoadGame(GamePath()))
            return std::nullopt;
        if (turn)
            *turn = kept.Turn;
        std::vector<std::string> moves;
        for (const TMoveRecord* m = kept.Moves.First(); m; m = m->Next)
            moves.push_back(SquareName(m->From) + "-" + SquareName(m->To));
        return moves;
    }

    // A kept game of three moves, as a run that was killed leaves it.
    void KeepThreeMoves() {
        QDir().mkpath(Home);
        TChessGame source;
        source.WhitePlayer = TPlayer { 2, true, "Alice", false, 0, 0 };
        source.BlackPlayer = TPlayer { 2, true, "Bob", false, 0, 0 };
        source.StartGame();
        for (auto [from, to] : { std::pair { "e2", "e4" }, { "e7", "e5" }, { "g1", "f3" } })
            source.PlayMove(Sq(from), Sq(to));
        ASSERT_TRUE(source.SaveGame(GamePath()));
        source.StopGame();
    }

    int Count(const char* fragment) const {
        int n = 0;
        for (const std::string& text : Boxes)
            n += text.find(fragment) != std::string::npos;
        return n;
    }
    bool Shown(const char* fragment) const { return Count(fragment) > 0; }

    QTemporaryDir m_Folder;
    QString Home;
    std::vector<std::string> Boxes;
    int Answer = idNo;
    std::unique_ptr<TfrmMain> Main;
    TfrmGame* Dialog = nullptr;
    TfrmMoves* Moves = nullptr;
};

TEST_F(ResumeTest, TheFileHoldsEveryMoveAfterEachMoveAndGoesWhenTheGameEnds) {
    Start();
    EXPECT_EQ(Main->Resume().Path(), AppPaths::CurrentGameFile());
    EXPECT_EQ(
        QFileInfo(GamePath()).absolutePath(), QFileInfo(AppPaths::HistoryFile()).absolutePath());
    StartLocal();
    ASSERT_EQ(KeptMoves(), std::vector<std::string>());
    const std::vector<std::pair<const char*, const char*>> moves
        = { { "f2", "f3" }, { "e7", "e5" }, { "g2", "g4" } };
    std::vector<std::string> expected;
    for (const auto& [from, to] : moves) {
        Drag(from, to);
        expected.push_back(std::string(from) + "-" + to);
        TPieceColour turn = pcWhite;
        EXPECT_EQ(KeptMoves(&turn), expected) << "after " << from << "-" << to;
        // The side to move is the one after the move.
        EXPECT_EQ(turn, Main->Game().Turn) << "after " << from << "-" << to;
    }
    // A take-back is kept too.
    Main->findChild<QAction*>("Menu_Game_Undo")->trigger();
    expected.pop_back();
    TPieceColour turn = pcBlack;
    EXPECT_EQ(KeptMoves(&turn), expected);
    EXPECT_EQ(turn, pcWhite);
    Drag("g2", "g4");
    // The mate ends the game, which is in the history and no longer kept.
    Drag("d8", "h4");
    EXPECT_EQ(Main->Game().GameState, gsStopped);
    EXPECT_EQ(Main->History().Count(), 1);
    EXPECT_FALSE(QFileInfo::exists(GamePath()));
}

TEST_F(ResumeTest, APawnWaitingForItsPieceIsKeptAndThenThePieceChosen) {
    Start();
    StartLocal();
    for (auto [from, to] :
        { std::pair { "h2", "h4" }, { "g7", "g5" }, { "h4", "g5" }, { "h7", "h6" }, { "g5", "h6" },
            { "b8", "c6" }, { "h6", "h7" }, { "c6", "b8" }, { "h7", "g8" } })
        Drag(from, to);
    ASSERT_TRUE(Main->Game().PromotionPending());
    {
        TChessGame kept;
        ASSERT_TRUE(kept.LoadGame(GamePath()));
        EXPECT_EQ(kept.Moves.Count(), 9);
        EXPECT_TRUE(kept.PromotionPending());
        EXPECT_EQ(kept.Turn, pcWhite);
    }
    QTest::mouseClick(Main->Board().imgPromoteQueen, Qt::LeftButton);
    TChessGame kept;
    ASSERT_TRUE(kept.LoadGame(GamePath()));
    EXPECT_FALSE(kept.PromotionPending());
    EXPECT_EQ(kept.Board.PieceAt(Sq("g8"))->Kind, pkQueen);
    EXPECT_EQ(kept.Turn, pcBlack);
}

TEST_F(ResumeTest, AStoppedOrForfeitedGameIsRemovedAndAClosingProgramKeepsIt) {
    Answer = idYes;
    Start();
    StartLocal();
    Drag("e2", "e4");
    ASSERT_TRUE(QFileInfo::exists(GamePath()));
    Main->Game().StopGame();
    EXPECT_FALSE(QFileInfo::exists(GamePath()));

    StartLocal();
    Drag("d2", "d4");
    ASSERT_TRUE(QFileInfo::exists(GamePath()));
    Main->findChild<QAction*>("Menu_Game_Forfeit")->trigger();
    EXPECT_FALSE(QFileInfo::exists(GamePath()));

    StartLocal();
    Drag("c2", "c4");
    Main->Game().PauseGame();
    EXPECT_EQ(KeptMoves(), std::vector<std::string> { "c2-c4" });
    EXPECT_TRUE(Main->close());
    EXPECT_TRUE(Shown("A game is in progress"));
    EXPECT_EQ(KeptMoves(), std::vector<std::string> { "c2-c4" });
}

TEST_F(ResumeTest, YesAtTheNextStartContinuesEveryMoveOfTheKeptGame) {
    KeepThreeMoves();
    Answer = idYes;
    QTimer clicker;
    QObject::connect(&clicker, &QTimer::timeout, [this] {
        if (Dialog && Dialog->isVisible())
            Dialog->btnOk->click();
    });
    clicker.start(20);
    Start();
    ASSERT_TRUE(WaitFor([this] { return Main->Game().GameState == gsPlaying; }));
    EXPECT_EQ(Count(ContinueQuestion), 1);
    EXPECT_EQ(Main->Game().Moves.Count(), 3);
    EXPECT_EQ(Main->Game().Turn, pcBlack);
    EXPECT_EQ(Moves->Cell(1, 1), QStringLiteral("e2-e4"));
    EXPECT_EQ(Moves->Cell(1, 2), QStringLiteral("e7-e5"));
    EXPECT_EQ(Moves->Cell(2, 1), QStringLiteral("g1-f3"));
    // The continued game is kept as it goes on.
    Drag("b8", "c6");
    EXPECT_EQ(KeptMoves(), (std::vector<std::string> { "e2-e4", "e7-e5", "g1-f3", "b8-c6" }));
}

TEST_F(ResumeTest, NoAtTheNextStartRemovesTheKeptGameAndLoadsNothing) {
    KeepThreeMoves();
    Answer = idNo;
    Start();
    ASSERT_TRUE(WaitFor([this] { return Shown(ContinueQuestion); }));
    EXPECT_FALSE(QFileInfo::exists(GamePath()));
    EXPECT_EQ(Main->Game().GameState, gsIdle);
    EXPECT_EQ(Main->Game().Moves.Count(), 0);
    EXPECT_FALSE(Dialog->isVisible());
    // No file, no question.
    Main.reset();
    Boxes.clear();
    Start();
    QTest::qWait(50);
    EXPECT_FALSE(Shown(ContinueQuestion));
}

TEST_F(ResumeTest, ADamagedFileIsNotOfferedAndIsKeptAside) {
    QDir().mkpath(Home);
    QFile damaged(GamePath());
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write("WintermootGame but not a game at all");
    damaged.close();
    Answer = idYes;
    Start();
    ASSERT_TRUE(WaitFor([this] { return Shown("could not be read and cannot be continued"); }));
    EXPECT_FALSE(Shown(ContinueQuestion));
    EXPECT_TRUE(Shown("The file that could not be read was kept as"));
    EXPECT_FALSE(QFileInfo::exists(GamePath()));
    const QStringList aside
        = QDir(Home).entryList({ QStringLiteral("current-game.wtg.unreadable-*") }, QDir::Files);
    ASSERT_EQ(aside.size(), 1);
    QFile kept(QDir(Home).filePath(aside.front()));
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("WintermootGame but not a game at all"));
    EXPECT_EQ(Main->Game().GameState, gsIdle);
    // The next game is kept as usual.
    StartLocal();
    Drag("e2", "e4");
    EXPECT_EQ(KeptMoves(), std::vector<std::string> { "e2-e4" });
}

// A home folder that cannot be made (its parent is a file) fails every save, also as root.
TEST_F(ResumeTest, AFolderThatCannotBeWrittenReportsTheFailureOnceAndTheGamePlaysOn) {
    QFile blocker(m_Folder.filePath(QStringLiteral("blocker")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.write("a file, not a folder");
    blocker.close();
    Home = m_Folder.filePath(QStringLiteral("blocker/home"));
    Start();
    StartLocal();
    for (auto [from, to] : { std::pair { "e2", "e4" }, { "e7", "e5" }, { "g1", "f3" } })
        Drag(from, to);
    EXPECT_EQ(Main->Game().Moves.Count(), 3);
    EXPECT_EQ(Main->Game().GameState, gsPlaying);
    EXPECT_EQ(Count("current-game.wtg"), 1);
    EXPECT_EQ(Count("Could not save"), 1);
}

const char* const LeaveQuestion = "stop it without a result";

// Ok in the new-game dialog for a local game between Cy and Di, once it shows.
void NewLocalGameOnOk(TfrmGame* dialog) {
    QTimer::singleShot(0, dialog, [dialog] {
        dialog->pgcGame->setCurrentWidget(dialog->tbsLocal);
        dialog->cmbWhitePlayer->setCurrentIndex(0);
        dialog->cmbBlackPlayer->setCurrentIndex(0);
        dialog->edtWhitePlayerName->setText(QStringLiteral("Cy"));
        dialog->edtBlackPlayerName->setText(QStringLiteral("Di"));
        dialog->btnOk->click();
    });
}

TEST_F(ResumeTest, PlayDuringALocalGameAsksThenLeavesItWithoutAResult) {
    Answer = idYes;
    Start();
    StartLocal();
    Drag("e2", "e4");
    ASSERT_EQ(KeptMoves(), std::vector<std::string> { "e2-e4" });
    ASSERT_TRUE(Main->findChild<QAction*>("Menu_Game_New")->isEnabled());
    NewLocalGameOnOk(Dialog);
    Main->findChild<QAction*>("Menu_Game_New")->trigger();
    EXPECT_EQ(Count(LeaveQuestion), 1);
    EXPECT_FALSE(Shown("forfeited"));
    EXPECT_EQ(Main->History().Count(), 0);
    EXPECT_EQ(Main->Game().GameState, gsPlaying);
    EXPECT_EQ(Main->Game().WhitePlayer.Name, "Cy");
    EXPECT_EQ(Main->Game().Moves.Count(), 0);
    EXPECT_EQ(Moves->Cell(1, 1), QString());
    // The kept file now holds the new game, with none of the old one's moves.
    EXPECT_EQ(KeptMoves(), std::vector<std::string> {});
}

TEST_F(ResumeTest, NoToTheQuestionOrCancelInTheDialogKeepsTheGameGoing) {
    Answer = idNo;
    Start();
    StartLocal();
    Drag("e2", "e4");
    NewLocalGameOnOk(Dialog);
    Main->findChild<QAction*>("Menu_Game_New")->trigger();
    EXPECT_EQ(Count(LeaveQuestion), 1);
    EXPECT_FALSE(Dialog->isVisible());
    // Cancel asks nothing.
    QTimer::singleShot(0, Dialog, [this] { Dialog->btnCancel->click(); });
    Main->findChild<QAction*>("Menu_Game_New")->trigger();
    EXPECT_EQ(Count(LeaveQuestion), 1);
    // No file chosen: nothing asked either.
    Main->Seams().ChooseOpenFile = [] { return QString(); };
    Main->findChild<QAction*>("Menu_Game_Load")->trigger();
    EXPECT_EQ(Count(LeaveQuestion), 1);
    // The game was paused while the user chose, and goes on where it was.
    EXPECT_EQ(Main->Game().GameState, gsPlaying);
    EXPECT_EQ(Main->Game().WhitePlayer.Name, "Alice");
    EXPECT_EQ(KeptMoves(), std::vector<std::string> { "e2-e4" });
    Drag("e7", "e5");
    EXPECT_EQ(Main->Game().Moves.Count(), 2);
    EXPECT_EQ(Main->History().Count(), 0);
}

TEST_F(ResumeTest, LoadDuringAComputerGameLeavesItForTheFileAndAnUnreadableFileLeavesNothing) {
    Answer = idYes;
    Start();
    Main->Game().WhitePlayer = TPlayer { 2, true, "Alice", false, 0, 0 };
    Main->Game().BlackPlayer = TPlayer { 2, false, "Computer", false, 0, 0 };
    Main->Game().StartGame();
    Drag("d2", "d4");
    ASSERT_TRUE(WaitFor([this] { return Main->Game().Moves.Count() == 2; }));

    // A file that cannot be loaded is reported before anything is asked.
    const QString bad = Home + QStringLiteral("/bad.wtg");
    QFile file(bad);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not a game");
    file.close();
    Main->Seams().ChooseOpenFile = [bad] { return bad; };
    Main->findChild<QAction*>("Menu_Game_Load")->trigger();
    EXPECT_TRUE(Shown("Could not load the game"));
    EXPECT_EQ(Count(LeaveQuestion), 0);
    EXPECT_EQ(Main->Game().GameState, gsPlaying);
    EXPECT_EQ(Main->Game().Moves.Count(), 2);

    const QString saved = Home + QStringLiteral("/saved.wtg");
    {
        TChessGame source;
        source.WhitePlayer = TPlayer { 2, true, "Eve", false, 0, 0 };
        source.BlackPlayer = TPlayer { 2, true, "Fay", false, 0, 0 };
        source.StartGame();
        for (auto [from, to] : { std::pair { "e2", "e4" }, { "e7", "e5" }, { "g1", "f3" } })
            source.PlayMove(Sq(from), Sq(to));
        ASSERT_TRUE(source.SaveGame(saved));
        source.StopGame();
    }
    Main->Seams().ChooseOpenFile = [saved] { return saved; };
    QTimer::singleShot(0, Dialog, [this] { Dialog->btnOk->click(); });
    Main->findChild<QAction*>("Menu_Game_Load")->trigger();
    EXPECT_EQ(Count(LeaveQuestion), 1);
    EXPECT_FALSE(Shown("forfeited"));
    EXPECT_EQ(Main->History().Count(), 0);
    EXPECT_EQ(Main->Game().GameState, gsPlaying);
    EXPECT_EQ(Main->Game().WhitePlayer.Name, "Eve");
    EXPECT_EQ(Main->Game().Moves.Count(), 3);
    EXPECT_EQ(KeptMoves(), (std::vector<std::string> { "e2-e4", "e7-e5", "g1-f3" }));
}

// A small PGN file: two finished games and one whose second move cannot be played.
const char* const ThreeGames = "[Event \"Club\"]\n[Date \"2024.03.09\"]\n[White \"Ann\"]\n"
                               "[Black \"Ben\"]\n[Result \"1-0\"]\n\n"
                               "1. e4 e5 2. Bc4 Nc6 3. Qh5 Nf6 4. Qxf7# 1-0\n\n"
                               "[White \"Cy\"]\n[Black \"Di\"]\n[Result \"0-1\"]\n\n"
                               "1. f3 e5 2. g4 Qh4# 0-1\n\n"
                               "[White \"Ed\"]\n[Black \"Flo\"]\n[Result \"1-0\"]\n\n"
                               "1. e4 Ke3 1-0\n";

class HistoryImportTest : public ResumeTest {
protected:
    // Opens the main window's history window, clicks "Import PGN..." with the file chosen, and
    // closes it.
    void Import(const QString& file) {
        Main->Seams().ChooseImportFile = [file] { return file; };
        auto* history = Main->findChild<TfrmHistory*>("frmHistory");
        QTimer::singleShot(0, history, [this, history] {
            history->btnImportPgn->click();
            Rows = history->stgHistory->rowCount();
            for (int row = 0; row < Rows; ++row)
                White.push_back(history->stgHistory->item(row, 1)
                        ? history->stgHistory->item(row, 1)->text()
                        : QString());
            history->btnClose->click();
        });
        Main->findChild<QAction*>("Menu_View_History")->trigger();
    }

    int Rows = 0;
    QStringList White;
};

TEST_F(HistoryImportTest, TheFinishedGamesAreAddedListedAndCountedOnce) {
    Start();
    const QString pgn = m_Folder.filePath(QStringLiteral("three.pgn"));
    QFile file(pgn);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(ThreeGames);
    file.close();

    auto* history = Main->findChild<TfrmHistory*>("frmHistory");
    ASSERT_NE(history->btnImportPgn, nullptr);
    EXPECT_EQ(history->btnImportPgn->text(), QStringLiteral("Import PGN..."));
    // Beside the other buttons, before the check box.
    EXPECT_GT(history->btnImportPgn->x(), history->btnDelete->geometry().right());
    EXPECT_LT(history->btnImportPgn->geometry().right(),
        history->findChild<QWidget*>("chkShowMoves")->x());

    Import(pgn);
    EXPECT_TRUE(Shown("Games added to the history: 2. Games skipped: 1."));
    ASSERT_EQ(Main->History().Count(), 2);
    EXPECT_EQ(Main->History().GetGame(1)->White, "Ann");
    EXPECT_EQ(Main->History().GetGame(1)->Result, grWhiteWon);
    EXPECT_EQ(Main->History().GetGame(1)->Moves.Count(), 7);
    EXPECT_EQ(Main->History().GetGame(2)->Black, "Di");
    EXPECT_EQ(Main->History().GetGame(2)->Result, grBlackWon);
    EXPECT_EQ(Rows, 2);
    EXPECT_EQ(White, (QStringList { QStringLiteral("Ann"), QStringLiteral("Cy") }));
    // The history file holds them at once.
    THistory saved;
    ASSERT_EQ(saved.Load(AppPaths::HistoryFile()), hlLoaded);
    EXPECT_EQ(saved.Count(), 2);

    // The same file again adds nothing.
    Boxes.clear();
    Import(pgn);
    EXPECT_TRUE(Shown("Games added to the history: 0. Games skipped: 3."));
    EXPECT_EQ(Main->History().Count(), 2);
}

TEST_F(HistoryImportTest, AFileThatCannotBeReadIsReportedAndChangesNothing) {
    Start();
    Import(m_Folder.filePath(QStringLiteral("missing.pgn")));
    EXPECT_TRUE(Shown("Could not read the PGN file"));
    EXPECT_TRUE(Shown("missing.pgn"));
    EXPECT_FALSE(Shown("Games added"));
    EXPECT_EQ(Main->History().Count(), 0);
    EXPECT_FALSE(QFileInfo::exists(AppPaths::HistoryFile())
        && QFileInfo(AppPaths::HistoryFile()).size() > 25);

    // A folder in the file's place is refused the same way.
    Boxes.clear();
    Import(m_Folder.path());
    EXPECT_TRUE(Shown("Could not read the PGN file"));
    EXPECT_EQ(Main->History().Count(), 0);
    // Cancelling the chooser does nothing.
    Boxes.clear();
    Import(QString());
    EXPECT_TRUE(Boxes.empty());
}

} // namespace
