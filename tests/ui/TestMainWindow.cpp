// The main window through its real widgets: games played with the mouse, promotion, take-back,
// the menu and panel states, closing, and the window layout.

#include "AppPaths.h"
#include "BoardGeometry.h"
#include "FormAbout.h"
#include "FormChat.h"
#include "FormGame.h"
#include "FormHistory.h"
#include "FormMain.h"
#include "FormMoves.h"
#include "FormOptions.h"
#include "LanguagePack.h"
#include "MainMenu.h"
#include "SingleInstance.h"
#include "UnitMessages.h"
#include "WindowTestSupport.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLocalServer>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace {

TPoint Sq(const char* name) {
    return { name[0] - 'a' + 1, name[1] - '0' };
}

// The main window with its companions, as the program creates them, on a fresh home folder.
class MainWindowTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_Home.isValid());
        qputenv("WINTERMOOT_HOME", m_Home.path().toLocal8Bit());
        SetMessagePresenter(std::make_unique<TRecordingPresenter>(Boxes, Answer));
        Main = std::make_unique<TfrmMain>();
        About = Main->findChild<TfrmAbout*>("frmAbout");
        Dialog = Main->findChild<TfrmGame*>("frmGame");
        Moves = Main->findChild<TfrmMoves*>("frmMoves");
        // Tests that want the sounds record them; no sound is loaded for real.
        Main->Seams().PlaySound = nullptr;
        Main->Game().SetSearchDepth(2);
        Main->show();
    }

    void TearDown() override {
        Main->Game().StopGame();
        Main.reset();
        SetMessagePresenter(nullptr);
    }

    void StartLocal(bool whiteHuman, bool blackHuman) {
        Main->Game().WhitePlayer = TPlayer { 2, whiteHuman, "Alice", false, 0, 0 };
        Main->Game().BlackPlayer = TPlayer { 2, blackHuman, "Bob", false, 0, 0 };
        Main->Game().GameKind = gkLocal;
        Main->Game().StartGame();
    }

    QPoint Centre(TPoint square) const {
        const TPoint o = BoardGeometry::SquareOrigin(square, Main->Board().Switched);
        return { o.X + 27, o.Y + 27 };
    }
    void Press(TPoint square) {
        QTest::mousePress(Main->Board().pbBoard, Qt::LeftButton, {}, Centre(square));
    }
    void Release(TPoint square) {
        QTest::mouseRelease(Main->Board().pbBoard, Qt::LeftButton, {}, Centre(square));
    }
    void Drag(const char* from, const char* to) {
        Press(Sq(from));
        Release(Sq(to));
    }
    void ClickClick(const char* from, const char* to) {
        Press(Sq(from));
        Release(Sq(from));
        Press(Sq(to));
        Release(Sq(to));
    }
    bool Shown(const char* fragment) const { return ::Shown(Boxes, fragment); }

    // Shown for the first time, the moves window opens level with the main window and, where the
    // screen has the room, beside it.
    void ExpectMovesOpenBesideMain() {
        Main->findChild<QAction*>("Menu_View_Moves")->trigger();
        QCoreApplication::processEvents();
        const QRect main = Main->frameGeometry();
        const QRect moves = Moves->frameGeometry();
        EXPECT_EQ(moves.top(), main.top());
        if (Main->screen()->availableGeometry().width() >= main.width() + moves.width()) {
            EXPECT_FALSE(moves.intersects(main));
        }
    }

    QTemporaryDir m_Home;
    std::vector<std::string> Boxes;
    int Answer = idNo;
    std::unique_ptr<TfrmMain> Main;
    TfrmAbout* About = nullptr;
    TfrmGame* Dialog = nullptr;
    TfrmMoves* Moves = nullptr;
};

// A display name of the application would be appended to every caption under X11; the program
// sets none, so the display name follows the application name rather than being fixed.
TEST(ApplicationTitle, CaptionsCarryNoDisplayName) {
    const QString before = QApplication::applicationName();
    TfrmMain::SetApplicationTitle();
    EXPECT_EQ(QApplication::applicationName(), QStringLiteral("Wintermoot"));
    QApplication::setApplicationName(QStringLiteral("Probe"));
    EXPECT_EQ(QApplication::applicationDisplayName(), QStringLiteral("Probe"));
    QApplication::setApplicationName(before);
}

TEST_F(MainWindowTest, FixedClientAreaCaptionAndInitialMenuState) {
    EXPECT_EQ(Main->windowTitle(), QStringLiteral("Wintermoot 3"));
    EXPECT_EQ(Main->Board().size(), QSize(510, 510));
    EXPECT_EQ(Main->Board().pbBoard->geometry(), QRect(2, 2, 506, 506));
    EXPECT_EQ(Main->Values().Count(), 39);
    EXPECT_EQ(Main->Values().Strings().first(), QStringLiteral("Pieces=PNRBQK"));
    EXPECT_TRUE(Main->findChild<QAction*>("Menu_Game_New")->isEnabled());
    EXPECT_TRUE(Main->findChild<QAction*>("Menu_Game_Load")->isEnabled());
    EXPECT_FALSE(Main->findChild<QAction*>("Menu_Game_Save")->isEnabled());
    EXPECT_FALSE(Main->findChild<QAction*>("Menu_Game_Undo")->isEnabled());
    EXPECT_FALSE(Main->findChild<QAction*>("Menu_Game_Pause")->isEnabled());
    EXPECT_TRUE(Main->findChild<QAction*>("Menu_Game_Pause")->isVisible());
    EXPECT_FALSE(Main->findChild<QAction*>("Menu_Game_Resume")->isVisible());
    EXPECT_FALSE(Main->findChild<QAction*>("Menu_Game_Forfeit")->isEnabled());
    EXPECT_EQ(Main->findChild<QAction*>("Menu_Game_New")->shortcut(),
        QKeySequence(QStringLiteral("Ctrl+A")));
    EXPECT_EQ(Main->findChild<QAction*>("Menu_View_Switch")->shortcut(), QKeySequence(Qt::Key_F9));
    EXPECT_TRUE(Main->findChild<QAction*>("Menu_View_LastMove")->isChecked());
}

TEST_F(MainWindowTest, MenuAndPanelsFollowPlayingPausedAndStopped) {
    StartLocal(true, true);
    // Play and Load stay on during a game: they ask before leaving it.
    EXPECT_TRUE(Main->findChild<QAction*>("Menu_Game_New")->isEnabled());
    EXPECT_TRUE(Main->findChild<QAction*>("Menu_Game_Load")->isEnabled());
    EXPECT_TRUE(Main->findChild<QAction*>("Menu_Game_Save")->isEnabled());
    EXPECT_TRUE(Main->findChild<QAction*>("Menu_Game_Undo")->isEnabled());
    EXPECT_TRUE(Main->findChild<QAction*>("Menu_Game_Pause")->isEnabled());
    EXPECT_TRUE(Main->findChild<QAction*>("Menu_Game_Forfeit")->isEnabled());

    Main->findChild<QAction*>("Menu_Game_Pause")->trigger();
    EXPECT_EQ(Main->Game().GameState, gsPaused);
    EXPECT_FALSE(Main->findChild<QAction*>("Menu_Game_Pause")->isVisible());
    EXPECT_TRUE(Main->findChild<QAction*>("Menu_Game_Resume")->isVisible());
    EXPECT_FALSE(Main->findChild<QAction*>("Menu_Game_Undo")->isEnabled());
    EXPECT_FALSE(Main->findChild<QAction*>("Menu_Game_Forfeit")->isEnabled());
    EXPECT_TRUE(Main->findChild<QAction*>("Menu_Game_Save")->isEnabled());
    EXPECT_TRUE(Main->Board().pnlPaused->isVisible());

    Main->findChild<QAction*>("Menu_Game_Resume")->trigger();
    EXPECT_EQ(Main->Game().GameState, gsPlaying);
    EXPECT_TRUE(Main->findChild<QAction*>("Menu_Game_Pause")->isVisible());
    EXPECT_FALSE(Main->findChild<QAction*>("Menu_Game_Resume")->isVisible());
    EXPECT_FALSE(Main->Board().pnlPaused->isVisible());

    Answer = idYes;
    Main->findChild<QAction*>("Menu_Game_Forfeit")->trigger();
    EXPECT_EQ(Main->Game().GameState, gsStopped);
    EXPECT_TRUE(Main->findChild<QAction*>("Menu_Game_New")->isEnabled());
    EXPECT_FALSE(Main->findChild<QAction*>("Menu_Game_Save")->isEnabled());
    EXPECT_FALSE(Main->findChild<QAction*>("Menu_Game_Pause")->isEnabled());
    EXPECT_FALSE(Main->Board().pnlReady->isVisible());
}

TEST_F(MainWindowTest, ForfeitWithWhiteToMoveRecordsWhiteForfeited) {
    StartLocal(true, true);
    Answer = idYes;
    Main->findChild<QAction*>("Menu_Game_Forfeit")->trigger();
    EXPECT_TRUE(Shown("Alice has forfeited the game."));
    ASSERT_EQ(Main->History().Count(), 1);
    EXPECT_EQ(Main->History().Last()->Result, grWhiteForfeited);
    EXPECT_EQ(Main->History().Last()->White, "Alice");
}

TEST_F(MainWindowTest, ForfeitAsksFirstAndNoKeepsTheGame) {
    StartLocal(true, true);
    Answer = idNo;
    Main->findChild<QAction*>("Menu_Game_Forfeit")->trigger();
    EXPECT_TRUE(Shown("Do you really want to forfeit the game?"));
    EXPECT_FALSE(Shown("has forfeited the game."));
    EXPECT_EQ(Main->Game().GameState, gsPlaying);
    EXPECT_EQ(Main->History().Count(), 0);
}

TEST_F(MainWindowTest, AgainstTheComputerThePersonForfeitsWhileTheComputerIsToMove) {
    StartLocal(true, false);
    Drag("e2", "e4");
    // The computer's reply comes through the event loop, which has not run yet.
    ASSERT_EQ(Main->Game().Turn, pcBlack);
    Answer = idYes;
    Main->findChild<QAction*>("Menu_Game_Forfeit")->trigger();
    EXPECT_TRUE(Shown("Alice has forfeited the game."));
    EXPECT_FALSE(Shown("Bob has forfeited the game."));
    ASSERT_EQ(Main->History().Count(), 1);
    EXPECT_EQ(Main->History().Last()->Result, grWhiteForfeited);
}

TEST_F(MainWindowTest, GamePlayedByDragAndClickClickToCheckmate) {
    StartLocal(true, true);
    Drag("f2", "f3");
    ClickClick("e7", "e5");
    Drag("g2", "g4");
    ClickClick("d8", "h4");
    EXPECT_EQ(Main->Game().GameState, gsStopped);
    EXPECT_EQ(Main->Game().Moves.Count(), 4);
    EXPECT_TRUE(Shown("Bob has won the game!"));
    ASSERT_EQ(Main->History().Count(), 1);
    EXPECT_EQ(Main->History().Last()->Result, grBlackWon);
    EXPECT_EQ(Main->History().Last()->Moves.Count(), 4);
    // The finished game is on disk at once, not only when the window closes.
    THistory onDisk;
    ASSERT_TRUE(onDisk.LoadFromFile(AppPaths::HistoryFile()));
    EXPECT_EQ(onDisk.Count(), 1);
    EXPECT_EQ(Moves->RowCount(), 2);
    EXPECT_EQ(Moves->Cell(2, 2), QStringLiteral("d8-h4"));
    EXPECT_EQ(Main->Board().HeldSquare, TPoint {});
}

// The shortest known stalemate: the tie is announced once and recorded as tied.
TEST_F(MainWindowTest, AStalemateShowsTheTieAndRecordsATiedGame) {
    StartLocal(true, true);
    const char* const moves[] = { "e2e3", "a7a5", "d1h5", "a8a6", "h5a5", "h7h5", "h2h4", "a6h6",
        "a5c7", "f7f6", "c7d7", "e8f7", "d7b7", "d8d3", "b7b8", "d3h7", "b8c8", "f7g6", "c8e6" };
    for (const char* move : moves) {
        const std::string text = move;
        ASSERT_FALSE(
            Main->Game().PlayMove(Sq(text.substr(0, 2).c_str()), Sq(text.substr(2).c_str()))
            & mrInvalid)
            << text;
    }
    EXPECT_EQ(Main->Game().GameState, gsStopped);
    EXPECT_EQ(std::count_if(Boxes.begin(), Boxes.end(),
                  [](const std::string& box) {
                      return box.find("The game is tied!") != std::string::npos;
                  }),
        1);
    EXPECT_FALSE(Shown("has won the game!"));
    ASSERT_EQ(Main->History().Count(), 1);
    EXPECT_EQ(Main->History().Last()->Result, grTied);
    EXPECT_EQ(Main->History().Last()->Moves.Count(), 19);
}

TEST_F(MainWindowTest, EachMovePlaysOneSoundWithSwitchedOffSoundsFallingThrough) {
    std::vector<int> played;
    Main->Seams().PlaySound = [&](int slot) { played.push_back(slot); };
    StartLocal(true, true);
    Drag("e2", "e4");
    Drag("d7", "d5");
    Drag("e4", "d5");
    EXPECT_EQ(played, (std::vector<int> { ssMoved, ssMoved, ssCaptured }));
    Drag("d8", "d5");
    Drag("f1", "e2");
    played.clear();
    Main->Settings().SoundOn[ssCheck] = false;
    Main->Settings().SoundOn[ssCaptured] = false;
    // The queen takes on g2 and then on g1 with check; with the capture and check sounds off,
    // both fall through to the move sound.
    Drag("d5", "g2");
    Drag("a2", "a3");
    Drag("g2", "g1");
    EXPECT_EQ(played, (std::vector<int> { ssMoved, ssMoved, ssMoved }));
    ASSERT_EQ(Main->Game().WhitePlayer.Status, 1);
    Main->Settings().SoundOn[ssMoved] = false;
    Drag("e2", "f1");
    EXPECT_EQ(played.size(), 3u);
}

TEST_F(MainWindowTest, RefusedMoveKeepsThePieceHeldUntilPutBack) {
    StartLocal(true, true);
    Press(Sq("e2"));
    EXPECT_EQ(Main->Board().HeldSquare, Sq("e2"));
    Release(Sq("e5"));
    EXPECT_EQ(Main->Board().HeldSquare, Sq("e2"));
    EXPECT_EQ(Main->Game().Moves.Count(), 0);
    Press(Sq("e2"));
    EXPECT_EQ(Main->Board().HeldSquare, TPoint {});
    // The opponent's pieces and empty squares cannot be picked up.
    Press(Sq("e7"));
    EXPECT_EQ(Main->Board().HeldSquare, TPoint {});
    Press(Sq("e4"));
    EXPECT_EQ(Main->Board().HeldSquare, TPoint {});
    // Every mouse button picks up alike.
    QTest::mousePress(Main->Board().pbBoard, Qt::RightButton, {}, Centre(Sq("g1")));
    EXPECT_EQ(Main->Board().HeldSquare, Sq("g1"));
}

TEST_F(MainWindowTest, AHeldPieceIsPutBackWhenTheGameStopsOrPauses) {
    const auto expectDropped = [this] {
        EXPECT_EQ(Main->Board().HeldSquare, TPoint {});
        EXPECT_EQ(Main->Board().MakeSnapshot().HeldSquare, TPoint {});
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    };
    Answer = idYes;
    StartLocal(true, true);
    Press(Sq("e2"));
    ASSERT_EQ(Main->Board().HeldSquare, Sq("e2"));
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    Main->findChild<QAction*>("Menu_Game_Forfeit")->trigger();
    expectDropped();

    StartLocal(true, true);
    Press(Sq("g1"));
    Main->findChild<QAction*>("Menu_Game_Pause")->trigger();
    expectDropped();
    Main->findChild<QAction*>("Menu_Game_Resume")->trigger();
    // The piece can be picked up again once the game goes on.
    Press(Sq("g1"));
    EXPECT_EQ(Main->Board().HeldSquare, Sq("g1"));

    // A stop from elsewhere (a network game's end, the opponent leaving) does the same.
    Main->Game().StopGame();
    expectDropped();
}

TEST_F(MainWindowTest, PressesDuringTheComputersTurnAreIgnored) {
    StartLocal(false, true);
    // The computer's move arrives through the event loop, which has not run yet.
    Press(Sq("e2"));
    EXPECT_EQ(Main->Board().HeldSquare, TPoint {});
    Press(Sq("e7"));
    EXPECT_EQ(Main->Board().HeldSquare, TPoint {});
    ASSERT_TRUE(WaitFor([&] { return Main->Game().Moves.Count() == 1; }));
    Press(Sq("e7"));
    EXPECT_EQ(Main->Board().HeldSquare, Sq("e7"));
}

TEST_F(MainWindowTest, TheComputersHeaderShowsItsSearchWhileItThinks) {
    Main->Game().SetSearchDepth(6);
    StartLocal(false, true);
    const TBoardSnapshot snapshot = Main->Board().MakeSnapshot();
    EXPECT_TRUE(snapshot.Players[pcWhite].Activity.startsWith(QStringLiteral("Thinking... ")))
        << snapshot.Players[pcWhite].Activity.toStdString();
    EXPECT_TRUE(snapshot.Players[pcBlack].Activity.isEmpty());
    // The word comes from the display texts, which a language pack translates.
    Main->Values().SetValue(QStringLiteral("Val12"), QStringLiteral("Réflexion..."));
    EXPECT_TRUE(Main->Board().MakeSnapshot().Players[pcWhite].Activity.startsWith(
        QStringLiteral("Réflexion... ")));
    Main->Game().StopGame();
    EXPECT_TRUE(Main->Board().MakeSnapshot().Players[pcWhite].Activity.isEmpty());
}

TEST_F(MainWindowTest, HitTestingAtTheEdges) {
    Main->Board().pbBoardMouseMove(450, 300);
    EXPECT_EQ(Main->Board().HoverSquare.X, 8);
    Main->Board().pbBoardMouseMove(18, 488);
    EXPECT_EQ(Main->Board().HoverSquare, (TPoint { 1, 0 }));
    Main->Board().pbBoardMouseMove(17, 300);
    EXPECT_EQ(Main->Board().HoverSquare, (TPoint { -1, -1 }));
    Main->Board().Switched = true;
    Main->Board().pbBoardMouseMove(20, 60);
    EXPECT_EQ(Main->Board().HoverSquare, Sq("h1"));

    StartLocal(true, true);
    Main->Board().Switched = false;
    QTest::mousePress(Main->Board().pbBoard, Qt::LeftButton, {}, QPoint(30, 488));
    EXPECT_EQ(Main->Board().HeldSquare, TPoint {});
}

TEST_F(MainWindowTest, GrabOffsetAndSwitchedPickUp) {
    StartLocal(true, true);
    Main->findChild<QAction*>("Menu_View_Switch")->trigger();
    EXPECT_TRUE(Main->Board().Switched);
    // Seen from black's side, e2 is the fourth column from the left in the second row from the
    // top.
    QTest::mousePress(
        Main->Board().pbBoard, Qt::LeftButton, {}, QPoint(18 + 3 * 54 + 10, 56 + 54 + 20));
    EXPECT_EQ(Main->Board().HeldSquare, Sq("e2"));
    EXPECT_EQ(Main->Board().GrabOffset, (TPoint { 10, 20 }));
}

TEST_F(MainWindowTest, PromotionThroughThePanel) {
    StartLocal(true, true);
    for (auto [from, to] : { std::pair { "h2", "h4" }, { "g7", "g5" }, { "h4", "g5" },
             { "h7", "h6" }, { "g5", "h6" }, { "b8", "c6" }, { "h6", "h7" }, { "c6", "b8" } })
        Drag(from, to);
    ASSERT_EQ(Main->Game().Moves.Count(), 8);
    Drag("h7", "g8");
    ASSERT_TRUE(Main->Board().pnlPromotion->isVisible());
    EXPECT_TRUE(Main->Game().PromotionPending());
    // The move is listed once its piece is chosen.
    EXPECT_EQ(Moves->Cell(5, 1), QString());
    QTest::mouseClick(Main->Board().imgPromoteKnight, Qt::LeftButton);
    EXPECT_FALSE(Main->Board().pnlPromotion->isVisible());
    const TPiece* piece = Main->Game().Board.PieceAt(Sq("g8"));
    ASSERT_NE(piece, nullptr);
    EXPECT_EQ(piece->Kind, pkKnight);
    EXPECT_EQ(Moves->Cell(5, 1), QStringLiteral("h7-g8"));
    EXPECT_EQ(Main->Game().Turn, pcBlack);
}

TEST_F(MainWindowTest, AWaitingPromotionIsListedOnceWhateverReloadsTheMovesWindow) {
    auto* history = Main->findChild<TfrmHistory*>("frmHistory");
    auto* options = Main->findChild<TfrmOptions*>("frmOptions");
    TLangPack pack;
    pack.LanguageName = "Test";
    pack.AddText("values", "Stat01", "Connecting...");
    const QString language = m_Home.filePath(QStringLiteral("Test.lang"));
    ASSERT_TRUE(pack.SaveToFile(language.toStdString()));

    StartLocal(true, true);
    for (auto [from, to] : { std::pair { "h2", "h4" }, { "g7", "g5" }, { "h4", "g5" },
             { "h7", "h6" }, { "g5", "h6" }, { "b8", "c6" }, { "h6", "h7" }, { "c6", "b8" } })
        Drag(from, to);
    Drag("h7", "g8");
    ASSERT_TRUE(Main->Board().pnlPromotion->isVisible());

    // Closing the history window, the options dialog's Ok and a language change each list the
    // game's moves again.
    QTimer::singleShot(0, history, [history] { history->btnClose->click(); });
    Main->findChild<QAction*>("Menu_View_History")->trigger();
    QTimer::singleShot(0, options, [options] { options->btnOk->click(); });
    Main->findChild<QAction*>("Menu_View_Options")->trigger();
    ASSERT_TRUE(Main->LoadLanguage(language));
    ASSERT_EQ(Main->Game().GameState, gsPlaying);
    EXPECT_EQ(Moves->RowCount(), 4);
    EXPECT_EQ(Moves->Cell(4, 2), QStringLiteral("c6-b8"));

    QTest::mouseClick(Main->Board().imgPromoteQueen, Qt::LeftButton);
    EXPECT_EQ(Moves->RowCount(), 5);
    EXPECT_EQ(Moves->Cell(5, 0), QStringLiteral("5"));
    EXPECT_EQ(Moves->Cell(5, 1), QStringLiteral("h7-g8"));
    Drag("e7", "e6");
    EXPECT_EQ(Moves->RowCount(), 5);
    EXPECT_EQ(Moves->Cell(5, 2), QStringLiteral("e7-e6"));
}

TEST_F(MainWindowTest, TheNetworkOpponentsPromotionShowsAWaitingNotice) {
    StartLocal(true, true);
    Main->Game().GameKind = gkHost;
    Main->Game().HostColour = pcBlack;
    Main->Board().ShowPromotion();
    EXPECT_FALSE(Main->Board().pnlPromotion->isVisible());
    ASSERT_TRUE(Main->Board().pnlStatus->isVisible());
    EXPECT_EQ(Main->Board().lblStatus->text(), Main->Values().Value(QStringLiteral("Stat04")));
    Main->Game().GameKind = gkLocal;
}

TEST_F(MainWindowTest, LoadedGameWithAWaitingPromotionOpensTheChoice) {
    const QString file = m_Home.filePath(QStringLiteral("promotion.wtg"));
    {
        TChessGame source;
        source.WhitePlayer.Name = "Alice";
        source.BlackPlayer.Name = "Bob";
        source.StartGame();
        for (auto [from, to] :
            { std::pair { "h2", "h4" }, { "g7", "g5" }, { "h4", "g5" }, { "h7", "h6" },
                { "g5", "h6" }, { "b8", "c6" }, { "h6", "h7" }, { "c6", "b8" }, { "h7", "g8" } })
            source.PlayMove(Sq(from), Sq(to));
        ASSERT_TRUE(source.PromotionPending());
        ASSERT_TRUE(source.SaveGame(file));
        source.StopGame();
    }
    Main->Seams().ChooseOpenFile = [&] { return file; };
    QTimer::singleShot(0, Dialog, [&] { Dialog->btnOk->click(); });
    Main->findChild<QAction*>("Menu_Game_Load")->trigger();
    ASSERT_EQ(Main->Game().GameState, gsPlaying);
    EXPECT_TRUE(Main->Board().pnlPromotion->isVisible());
    EXPECT_EQ(Moves->Cell(4, 2), QStringLiteral("c6-b8"));
    EXPECT_EQ(Moves->Cell(5, 1), QString());
    QTest::mouseClick(Main->Board().imgPromoteQueen, Qt::LeftButton);
    EXPECT_EQ(Main->Game().Board.PieceAt(Sq("g8"))->Kind, pkQueen);
    EXPECT_EQ(Moves->Cell(5, 1), QStringLiteral("h7-g8"));
}

TEST_F(MainWindowTest, FailedLoadShowsE10AndChangesNothing) {
    const QString file = m_Home.filePath(QStringLiteral("broken.wtg"));
    QFile out(file);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write("not a game");
    out.close();
    StartLocal(true, true);
    Drag("e2", "e4");
    Main->Game().StopGame();
    Main->Seams().ChooseOpenFile = [&] { return file; };
    Main->findChild<QAction*>("Menu_Game_Load")->trigger();
    EXPECT_TRUE(Shown("broken.wtg"));
    EXPECT_EQ(Main->Game().Moves.Count(), 1);
    EXPECT_EQ(Main->Game().GameState, gsStopped);
    EXPECT_FALSE(Dialog->isVisible());
}

TEST_F(MainWindowTest, FailedSaveShowsE11) {
    StartLocal(true, true);
    QString proposed;
    Main->Seams().ChooseSaveFile = [&](const QString& name) {
        proposed = name;
        return m_Home.filePath(QStringLiteral("no/such/folder/game.wtg"));
    };
    Main->findChild<QAction*>("Menu_Game_Save")->trigger();
    EXPECT_TRUE(QFileInfo(proposed).fileName().startsWith(QStringLiteral("Chess game - ")));
    EXPECT_TRUE(proposed.endsWith(QStringLiteral(".wtg")));
    EXPECT_TRUE(Shown("game.wtg"));
}

TEST_F(MainWindowTest, UndoAgainstTheComputerTakesBackTwoMovesAndTheListFollows) {
    StartLocal(true, false);
    Drag("e2", "e4");
    ASSERT_TRUE(WaitFor([&] { return Main->Game().Moves.Count() == 2; }));
    EXPECT_NE(Moves->Cell(1, 2), QString());
    Main->findChild<QAction*>("Menu_Game_Undo")->trigger();
    EXPECT_EQ(Main->Game().Moves.Count(), 0);
    EXPECT_EQ(Moves->RowCount(), 1);
    EXPECT_EQ(Moves->Cell(1, 1), QString());
    EXPECT_EQ(Moves->Cell(1, 2), QString());
    EXPECT_EQ(Main->Game().Turn, pcWhite);
    // Undo with an empty list does nothing.
    Main->findChild<QAction*>("Menu_Game_Undo")->trigger();
    EXPECT_EQ(Main->Game().GameState, gsPlaying);
}

TEST_F(MainWindowTest, CloseDuringAGameAsksAndNoKeepsTheGame) {
    StartLocal(true, true);
    Answer = idNo;
    EXPECT_FALSE(Main->close());
    EXPECT_TRUE(Main->isVisible());
    EXPECT_EQ(Main->Game().GameState, gsPlaying);
    EXPECT_TRUE(Shown("A game is in progress"));
    Answer = idYes;
    EXPECT_TRUE(Main->close());
    EXPECT_EQ(Main->Game().GameState, gsStopped);
}

TEST_F(MainWindowTest, FirstRunPlacesTheWindowsAndALayoutRoundTrips) {
    EXPECT_EQ(Main->pos(), QPoint(0, 0));
    ExpectMovesOpenBesideMain();
    Moves->hide();
    Moves->move(600, 40);
    Moves->show();
    Main->move(30, 20);
    ASSERT_TRUE(Main->close());
    auto store = AppPaths::LayoutStore();
    EXPECT_EQ(store->value(QStringLiteral("MovesLeft")).toInt(), 600);
    EXPECT_EQ(store->value(QStringLiteral("MovesVisible")).toInt(), 1);
    EXPECT_EQ(store->value(QStringLiteral("FormLeft")).toInt(), 30);
}

TEST_F(MainWindowTest, LayoutReadingStopsAtTheFirstMissingValue) {
    Main.reset();
    {
        auto store = AppPaths::LayoutStore();
        store->clear();
        store->setValue(QStringLiteral("FormLeft"), 40);
    }
    Main = std::make_unique<TfrmMain>();
    Moves = Main->findChild<TfrmMoves*>("frmMoves");
    Dialog = Main->findChild<TfrmGame*>("frmGame");
    About = Main->findChild<TfrmAbout*>("frmAbout");
    Main->show();
    EXPECT_EQ(Main->pos(), QPoint(0, 0));
    ExpectMovesOpenBesideMain();
}

TEST_F(MainWindowTest, TheViewIsDrawnOnlyWhenSomethingChanged) {
    Main->Board().DrawBoard();
    EXPECT_FALSE(Main->Board().DrawBoard());
    Main->Board().pbBoardMouseMove(100, 100);
    EXPECT_TRUE(Main->Board().DrawBoard());
    EXPECT_FALSE(Main->Board().DrawBoard());
    StartLocal(true, true);
    EXPECT_TRUE(Main->Board().DrawBoard());
    Main->Game().ClockTick();
    EXPECT_TRUE(Main->Board().DrawBoard());
}

TEST_F(MainWindowTest, LearnModeHoverNeverResetsALoadedGame) {
    const QString file = m_Home.filePath(QStringLiteral("game.wtg"));
    {
        TChessGame source;
        source.StartGame();
        source.PlayMove(Sq("e2"), Sq("e4"));
        ASSERT_TRUE(source.SaveGame(file));
        source.StopGame();
    }
    ASSERT_TRUE(Main->Game().LoadGame(file));
    Main->Board().HeldSquare = Sq("e7");
    Main->Board().pbBoardMouseMove(Centre(Sq("e5")).x(), Centre(Sq("e5")).y());
    Main->Board().DrawBoard();
    EXPECT_FALSE(Main->Game().Board.Modified);
    Main->Board().HeldSquare = {};
    Main->Game().StartGame();
    EXPECT_EQ(Main->Game().Moves.Count(), 1);
}

} // namespace

namespace {

TEST(SingleInstanceTest, ASecondHolderIsRefusedUntilTheFirstEnds) {
    QTemporaryDir folder;
    auto first = std::make_unique<TSingleInstance>(folder.path());
    EXPECT_TRUE(first->IsFirst());
    EXPECT_FALSE(TSingleInstance(folder.path()).IsFirst());
    first.reset();
    EXPECT_TRUE(TSingleInstance(folder.path()).IsFirst());
}

TEST(SingleInstanceTest, AFolderWithoutALockLetsTheProgramRun) {
    EXPECT_TRUE(TSingleInstance(QStringLiteral("/proc/no/such/folder")).IsFirst());
}

// The program itself: a second copy on the same home ends at once and touches no file.
TEST(SingleInstanceTest, ASecondCopyEndsWithoutTouchingTheFirstsFiles) {
    QTemporaryDir home;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("WINTERMOOT_HOME"), home.path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    QProcess first;
    first.setProcessEnvironment(env);
    first.start(QStringLiteral(WINTERMOOT_PROGRAM), {});
    ASSERT_TRUE(first.waitForStarted());
    const QString lock = QDir(home.path()).filePath(QStringLiteral("Wintermoot.lock"));
    QElapsedTimer timer;
    timer.start();
    while (!QFile::exists(lock) && timer.elapsed() < 10000)
        QThread::msleep(20);
    ASSERT_TRUE(QFile::exists(lock));
    // The first copy finishes its start-up (it may create its themes file) before the second
    // starts: its files must then stay as they are.
    QStringList before;
    for (int quiet = 0; quiet < 10 && timer.elapsed() < 10000;) {
        QThread::msleep(100);
        const QStringList now = QDir(home.path()).entryList(QDir::Files);
        quiet = now == before ? quiet + 1 : 0;
        before = now;
    }

    QProcess second;
    second.setProcessEnvironment(env);
    second.start(QStringLiteral(WINTERMOOT_PROGRAM), {});
    EXPECT_TRUE(second.waitForFinished(10000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(QDir(home.path()).entryList(QDir::Files), before);

    first.kill();
    first.waitForFinished();
    // A killed copy leaves its socket in the shared runtime folder.
    QLocalServer::removeServer(TSingleInstance::ServerName(home.path()));
}

// The board grows with the window as a centred square, its view and mouse mapping with it, and
// never below its first size.
TEST_F(MainWindowTest, TheBoardGrowsWithTheWindow) {
    const QSize first = Main->size();
    EXPECT_EQ(Main->minimumSize(), first);
    const int menu = Main->menuBar()->height();
    Main->resize(1000, menu + 900);
    QApplication::processEvents();
    TBoardWidget& board = Main->Board();
    EXPECT_EQ(board.size(), QSize(1000, 900));
    EXPECT_EQ(board.Square(), QRect(50, 0, 900, 900));
    EXPECT_EQ(board.pbBoard->geometry(), QRect(52, 2, 896, 896));
    EXPECT_EQ(board.Layout().ViewSize, 896);
    board.DrawBoard();
    EXPECT_EQ(board.Buffer().width(), qRound(896 * board.pbBoard->devicePixelRatioF()));
    // The mouse maps through the larger layout.
    const TPoint o = board.Layout().SquareOrigin({ 5, 2 }, board.Switched);
    board.pbBoardMouseMove(o.X + board.Layout().SquareSize - 1, o.Y + 1);
    EXPECT_EQ(board.HoverSquare, TPoint(5, 2));
    // The panels over the board are centred on it and scaled.
    board.ShowPaused();
    EXPECT_GT(board.pnlPaused->width(), 108);
    EXPECT_NEAR(board.pnlPaused->geometry().center().x(), 50 + 2 + 896 * 234 / 506, 3);
    board.HidePaused();

    Main->resize(300, 300);
    QApplication::processEvents();
    EXPECT_EQ(Main->size(), first);
    EXPECT_EQ(board.pbBoard->geometry(), QRect(2, 2, 506, 506));
}

} // namespace

namespace {

// The layout of the last run docks and shows the chat and moves windows again.
TEST(LayoutDockingTest, TheStoredLayoutDocksAndShowsTheToolWindows) {
    QTemporaryDir home;
    qputenv("WINTERMOOT_HOME", home.path().toLocal8Bit());
    {
        auto store = AppPaths::LayoutStore();
        const std::pair<const char*, int> values[] = { { "FormLeft", 10 }, { "FormTop", 20 },
            { "ChatLeft", 0 }, { "ChatTop", 0 }, { "ChatHeight", 150 }, { "ChatWidth", 510 },
            { "ChatAlign", 1 }, { "ChatDocked", 1 }, { "ChatVisible", 1 }, { "MovesLeft", 600 },
            { "MovesTop", 0 }, { "MovesHeight", 400 }, { "MovesAlign", 3 }, { "MovesDocked", 1 },
            { "MovesVisible", 1 }, { "HistoryLeft", 0 }, { "HistoryTop", 0 },
            { "HistoryHeight", 300 }, { "HistoryWidth", 400 } };
        for (const auto& [name, value] : values)
            store->setValue(QString::fromLatin1(name), value);
    }
    TfrmMain main;
    auto* chat = main.findChild<TfrmChat*>("frmChat");
    auto* moves = main.findChild<TfrmMoves*>("frmMoves");
    main.show();
    EXPECT_TRUE(main.Docking().ChatDocked());
    EXPECT_TRUE(main.Docking().MovesDocked());
    EXPECT_TRUE(chat->isVisible());
    EXPECT_TRUE(moves->isVisible());
    // The board sits below the chat at the top and right of the moves window at the left.
    EXPECT_EQ(main.Board().geometry().topLeft() - QPoint(0, main.menuBar()->height()),
        QPoint(moves->width(), chat->height()));
    EXPECT_EQ(main.Board().size(), QSize(510, 510));
    EXPECT_EQ(main.pos(), QPoint(10, 20));
    ASSERT_TRUE(main.close());
    auto store = AppPaths::LayoutStore();
    EXPECT_EQ(store->value(QStringLiteral("ChatDocked")).toInt(), 1);
    EXPECT_EQ(store->value(QStringLiteral("MovesAlign")).toInt(), 3);
    EXPECT_EQ(store->value(QStringLiteral("ChatVisible")).toInt(), 1);
}

} // namespace

namespace {

// The menu bar's actions follow the controller's state on their own.
TEST(MainMenuTest, TheActionsFollowTheGamesState) {
    TChessGame game;
    QMenuBar bar;
    TMainMenu menu(bar, game);
    ASSERT_EQ(bar.actions().size(), 3);
    EXPECT_EQ(bar.actions()[0]->menu(), menu.Menu_Game);
    EXPECT_EQ(bar.findChild<QAction*>("Menu_Game_Forfeit"), menu.Menu_Game_Forfeit);
    EXPECT_EQ(menu.Menu_View_Options->shortcut(), QKeySequence(Qt::Key_F8));
    const auto expect = [&](bool idle, bool playing, bool paused) {
        // Play and Load are always on; during a game they ask first.
        EXPECT_TRUE(menu.Menu_Game_New->isEnabled());
        EXPECT_TRUE(menu.Menu_Game_Load->isEnabled());
        EXPECT_EQ(menu.Menu_Game_Save->isEnabled(), !idle);
        EXPECT_EQ(menu.Menu_Game_Undo->isEnabled(), playing);
        EXPECT_EQ(menu.Menu_Game_Forfeit->isEnabled(), playing);
        // A hidden action also counts as disabled.
        EXPECT_EQ(menu.Menu_Game_Pause->isEnabled(), !idle && !paused);
        EXPECT_EQ(menu.Menu_Game_Pause->isVisible(), !paused);
        EXPECT_EQ(menu.Menu_Game_Resume->isVisible(), paused);
    };
    expect(true, false, false);
    game.StartGame();
    expect(false, true, false);
    game.PauseGame();
    expect(false, false, true);
    game.ResumeGame();
    expect(false, true, false);
    game.PauseGame();
    game.StopGame();
    expect(true, false, false);
}

} // namespace
