// PGN and FEN in the main window through its real widgets: opening a PGN file (one game, a list
// of several, a finished game, a broken file), a file named on the command line, and copying and
// pasting positions and games through the clipboard.

#include "FormGame.h"
#include "FormMain.h"
#include "FormMoves.h"
#include "FormPgnGames.h"
#include "PgnFileReader.h"
#include "UnitMessages.h"
#include "WindowTestSupport.h"

#include <QAction>
#include <QClipboard>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QProgressDialog>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>
#include <tuple>
#include <utility>
#include <vector>

namespace {

TPoint Sq(const char* name) {
    return { name[0] - 'a' + 1, name[1] - '0' };
}

const char* const TwoGames = "[Event \"Spring Open\"]\n[Date \"2024.03.09\"]\n"
                             "[White \"Alice\"]\n[Black \"Bob\"]\n[Result \"1/2-1/2\"]\n\n"
                             "1. e4 e5 2. Nf3 Nc6 1/2-1/2\n\n"
                             "[Event \"Club\"]\n[Date \"2024.04.01\"]\n"
                             "[White \"Carol\"]\n[Black \"Dave\"]\n[Result \"*\"]\n\n"
                             "1. d4 d5 2. c4 *\n\n"
                             "[Event \"Broken\"]\n[White \"Eve\"]\n[Black \"Frank\"]\n\n"
                             "1. e4 e5 2. Qh9 *\n";

const char* const FoolsMate = "[White \"Alice\"]\n[Black \"Bob\"]\n[Result \"0-1\"]\n\n"
                              "1. f3 e5 2. g4 Qh4# 0-1\n";

class PgnWindowTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_Home.isValid());
        qputenv("WINTERMOOT_HOME", m_Home.path().toLocal8Bit());
        SetMessagePresenter(std::make_unique<TRecordingPresenter>(Boxes, Answer));
        Main = std::make_unique<TfrmMain>();
        Dialog = Main->findChild<TfrmGame*>("frmGame");
        Games = Main->findChild<TfrmPgnGames*>("frmPgnGames");
        Moves = Main->findChild<TfrmMoves*>("frmMoves");
        Main->Seams().PlaySound = nullptr;
        Main->show();
        // Answers the modal windows as they come up: the game list picks ChosenRow, the new-game
        // dialog is accepted as it is.
        m_Answerer.setInterval(10);
        QObject::connect(&m_Answerer, &QTimer::timeout, [this] {
            if (Games->isVisible()) {
                ListedRows = Games->stgPgnGames->rowCount();
                for (int row = 0; row < ListedRows; ++row)
                    Listed.push_back(Games->stgPgnGames->item(row, TfrmPgnGames::colWhite)->text()
                        + "|" + Games->stgPgnGames->item(row, TfrmPgnGames::colError)->text());
                BrokenSelectable = ListedRows > 2
                    && (Games->stgPgnGames->item(2, 0)->flags() & Qt::ItemIsSelectable);
                Games->stgPgnGames->selectRow(ChosenRow);
                // A row that cannot be chosen leaves OK disabled: the list is closed without a
                // choice rather than left open.
                if (Games->btnOk->isEnabled())
                    Games->btnOk->click();
                else
                    Games->reject();
            } else if (Dialog->isVisible()) {
                ++DialogShown;
                DialogWhiteName = Dialog->edtWhitePlayerName->text();
                // A position without players' names asks for them, as a user would type them.
                for (QLineEdit* name : { Dialog->edtWhitePlayerName, Dialog->edtBlackPlayerName })
                    if (name->text().isEmpty())
                        name->setText(QStringLiteral("Player"));
                Dialog->btnOk->click();
            }
        });
        m_Answerer.start();
    }

    void TearDown() override {
        m_Answerer.stop();
        Main->Game().StopGame();
        Main.reset();
        SetMessagePresenter(nullptr);
    }

    QString Write(const char* name, const QByteArray& bytes) {
        const QString path = m_Home.filePath(QString::fromLatin1(name));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }

    void Load(const QString& path) {
        Main->Seams().ChooseOpenFile = [path] { return path; };
        Action("Menu_Game_Load")->trigger();
    }

    QAction* Action(const char* name) const { return Main->findChild<QAction*>(name); }

    void StartPeople() {
        Main->Game().WhitePlayer = TPlayer { 2, true, "Ann", false, 0, 0 };
        Main->Game().BlackPlayer = TPlayer { 2, true, "Ben", false, 0, 0 };
        Main->Game().GameKind = gkLocal;
        Main->Game().StartGame();
    }

    bool Shown(const char* fragment) const { return ::Shown(Boxes, fragment); }

    QTemporaryDir m_Home;
    std::vector<std::string> Boxes;
    int Answer = idNo;
    std::unique_ptr<TfrmMain> Main;
    TfrmGame* Dialog = nullptr;
    TfrmPgnGames* Games = nullptr;
    TfrmMoves* Moves = nullptr;
    QTimer m_Answerer;
    int ChosenRow = 0;
    int ListedRows = 0;
    QStringList Listed;
    bool BrokenSelectable = true;
    int DialogShown = 0;
    QString DialogWhiteName;
};

TEST_F(PgnWindowTest, SeveralGamesAreListedAndTheChosenOneContinues) {
    ChosenRow = 1;
    Load(Write("games.pgn", TwoGames));
    ASSERT_EQ(ListedRows, 3);
    EXPECT_TRUE(Listed[0].startsWith("Alice|")) << Listed[0].toStdString();
    EXPECT_EQ(Listed[1], QStringLiteral("Carol|"));
    // The broken game is listed with its error and cannot be chosen.
    EXPECT_TRUE(Listed[2].contains("Qh9")) << Listed[2].toStdString();
    EXPECT_FALSE(BrokenSelectable);
    EXPECT_EQ(Games->stgPgnGames->item(0, TfrmPgnGames::colResult)->text(), "1/2-1/2");
    EXPECT_EQ(Games->stgPgnGames->item(1, TfrmPgnGames::colEvent)->text(), "Club");
    EXPECT_EQ(Games->stgPgnGames->item(1, TfrmPgnGames::colDate)->text(), "2024.04.01");
    EXPECT_EQ(Games->stgPgnGames->item(0, TfrmPgnGames::colMoves)->text(), "2");

    ASSERT_EQ(DialogShown, 1);
    EXPECT_EQ(DialogWhiteName, QStringLiteral("Carol"));
    TChessGame& game = Main->Game();
    EXPECT_EQ(game.GameState, gsPlaying);
    EXPECT_EQ(game.Moves.Count(), 3);
    EXPECT_EQ(game.BlackPlayer.Name, "Dave");
    EXPECT_EQ(game.Turn, pcBlack);
    EXPECT_EQ(Moves->Cell(2, 1), QStringLiteral("c2-c4"));
    EXPECT_TRUE(Boxes.empty());
}

TEST_F(PgnWindowTest, ChoosingNothingFromTheListChangesNothing) {
    ChosenRow = 2; // the broken game: OK stays disabled, so the list is closed without a choice
    m_Answerer.stop();
    QTimer::singleShot(50, [this] {
        Games->stgPgnGames->selectRow(2);
        EXPECT_FALSE(Games->btnOk->isEnabled());
        Games->btnCancel->click();
    });
    Load(Write("games.pgn", TwoGames));
    EXPECT_EQ(Main->Game().GameState, gsIdle);
    EXPECT_FALSE(Dialog->isVisible());
}

// A game over on the board opens as a finished .wtg does: playing, the mated side marked, no
// move possible, and take-back steps back through it.
TEST_F(PgnWindowTest, AFinishedGameOpensForReviewAndTakesBack) {
    Load(Write("mate.pgn", FoolsMate));
    TChessGame& game = Main->Game();
    ASSERT_EQ(DialogShown, 1);
    EXPECT_TRUE(game.GameLoaded);
    EXPECT_EQ(game.Moves.Count(), 4);
    EXPECT_EQ(game.Turn, pcWhite);
    EXPECT_EQ(game.WhitePlayer.Status, 3);

    // The same game as a saved game is shown the same way.
    const QString saved = m_Home.filePath("mate.wtg");
    ASSERT_TRUE(game.SaveGame(saved));
    game.StopGame();
    Load(saved);
    EXPECT_EQ(game.GameState, gsPlaying);
    EXPECT_EQ(game.WhitePlayer.Status, 3);

    Action("Menu_Game_Undo")->trigger();
    EXPECT_EQ(game.Moves.Count(), 3);
    EXPECT_EQ(game.Turn, pcBlack);
    EXPECT_EQ(game.WhitePlayer.Status, 0);
    EXPECT_EQ(game.Board.PieceAt(Sq("d8"))->Kind, pkQueen);
}

TEST_F(PgnWindowTest, AnUnreadableFileIsReportedAndChangesNothing) {
    StartPeople();
    Main->Game().PlayMove(Sq("e2"), Sq("e4"));
    Main->Game().StopGame();
    for (const QString& path : { Write("broken.pgn", "1. e4 Ke7 2. Qh9 *\n"),
             Write("empty.pgn", ""), m_Home.filePath("missing.pgn") }) {
        Boxes.clear();
        Load(path);
        ASSERT_EQ(Boxes.size(), 1u) << path.toStdString();
        EXPECT_TRUE(Shown(QFileInfo(path).fileName().toUtf8().constData()));
        EXPECT_EQ(Main->Game().Moves.Count(), 1);
        EXPECT_EQ(Main->Game().GameState, gsStopped);
        EXPECT_EQ(Main->Game().WhitePlayer.Name, "Ann");
        EXPECT_EQ(DialogShown, 0);
    }
}

TEST_F(PgnWindowTest, AFileOnTheCommandLineOpensOnceTheLoopRuns) {
    const QString path = Write("start.pgn", FoolsMate);
    Main->OpenStartFile({ QStringLiteral("wintermoot"), path });
    EXPECT_EQ(DialogShown, 0) << "opened only after the window is up";
    ASSERT_TRUE(WaitFor([&] { return DialogShown == 1; }));
    EXPECT_EQ(Main->Game().Moves.Count(), 4);

    Main->Game().StopGame();
    Main->OpenStartFile({ QStringLiteral("wintermoot"), m_Home.filePath("gone.wtg") });
    ASSERT_TRUE(WaitFor([&] { return !Boxes.empty(); }));
    EXPECT_TRUE(Shown("gone.wtg"));
    EXPECT_EQ(DialogShown, 1);
    Main->OpenStartFile({ QStringLiteral("wintermoot") });
    QCoreApplication::processEvents();
    EXPECT_EQ(Boxes.size(), 1u);
}

// A file handed over by a later start: asked about over a game in progress, refused while a
// network link is open, opened as "Load..." does otherwise.
TEST_F(PgnWindowTest, AHandedFileAsksBeforeReplacingAGameAndNeverReplacesANetworkGame) {
    const QString path = Write("handed.pgn", FoolsMate);
    StartPeople();
    Main->Game().PlayMove(Sq("e2"), Sq("e4"));
    Answer = idNo;
    Main->OpenHandedFile(path);
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_TRUE(Shown("stop it without a result"));
    EXPECT_EQ(Main->Game().GameState, gsPlaying);
    EXPECT_EQ(Main->Game().Moves.Count(), 1);
    EXPECT_EQ(DialogShown, 0);

    Answer = idYes;
    Main->OpenHandedFile(path);
    EXPECT_EQ(Boxes.size(), 2u);
    EXPECT_EQ(DialogShown, 1);
    EXPECT_EQ(Main->Game().Moves.Count(), 4);

    // No game on the board: opened without a question; an empty path only raises the window.
    Main->Game().StopGame();
    Main->OpenHandedFile(path);
    EXPECT_EQ(Boxes.size(), 2u);
    EXPECT_EQ(DialogShown, 2);
    Main->OpenHandedFile(QString());
    EXPECT_EQ(Boxes.size(), 2u);
    EXPECT_TRUE(Main->isVisible());

    Main->Game().StopGame();
    Main->Game().GameKind = gkHost;
    Main->Game().NetworkActive = true;
    Main->OpenHandedFile(path);
    ASSERT_EQ(Boxes.size(), 3u);
    EXPECT_TRUE(Shown("network game is open"));
    EXPECT_EQ(DialogShown, 2);
    Main->Game().NetworkActive = false;
    Main->Game().GameKind = gkLocal;
}

TEST_F(PgnWindowTest, CopyPutsThePositionAndTheGameOnTheClipboard) {
    StartPeople();
    Main->Game().PlayMove(Sq("e2"), Sq("e4"));
    Main->Game().PlayMove(Sq("c7"), Sq("c5"));
    Action("Menu_Game_CopyFen")->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString().substr(0, 62),
        "rnbqkbnr/pp1ppppp/8/2p5/4P3/8/PPPP1PPP/RNBQKBNR w KQkq c6 0 2");
    EXPECT_EQ(Action("Menu_Game_CopyFen")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_C));
    EXPECT_EQ(
        Action("Menu_Game_CopyPgn")->shortcut(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C));
    EXPECT_EQ(Action("Menu_Game_Paste")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_V));

    Action("Menu_Game_CopyPgn")->trigger();
    const std::string pgn = QGuiApplication::clipboard()->text().toStdString();
    EXPECT_NE(pgn.find("[White \"Ann\"]"), std::string::npos) << pgn;
    EXPECT_NE(pgn.find("1. e4 c5 *"), std::string::npos) << pgn;
    EXPECT_EQ(pgn.find("[FEN"), std::string::npos) << pgn;
    const TPgnFile read = ReadPgnText(pgn);
    ASSERT_EQ(read.Games.size(), 1u);
    EXPECT_EQ(read.Games[0].Moves.Count(), 2);
}

// A game from a set-up position is copied from that position, with its move numbers.
TEST_F(PgnWindowTest, APastedPositionIsCopiedBackWithItsFen) {
    const char* fen = "4k3/8/8/8/8/8/4P3/4K3 b - - 0 40";
    QGuiApplication::clipboard()->setText(QString::fromLatin1(fen));
    Action("Menu_Game_Paste")->trigger();
    ASSERT_EQ(DialogShown, 1);
    TChessGame& game = Main->Game();
    EXPECT_EQ(game.GameState, gsPlaying);
    EXPECT_EQ(game.Moves.Count(), 0);
    EXPECT_EQ(game.Turn, pcBlack);
    ASSERT_NE(game.Board.PieceAt(Sq("e2")), nullptr);
    EXPECT_EQ(game.Board.PieceAt(Sq("d2")), nullptr);
    EXPECT_EQ(game.PlayMove(Sq("e8"), Sq("d7")) & mrInvalid, 0);
    game.PlayMove(Sq("e2"), Sq("e4"));

    Action("Menu_Game_CopyPgn")->trigger();
    const std::string pgn = QGuiApplication::clipboard()->text().toStdString();
    EXPECT_NE(pgn.find("[SetUp \"1\"]"), std::string::npos) << pgn;
    EXPECT_NE(pgn.find("[FEN \"4k3/8/8/8/8/8/4P3/4K3 b - - 0 40\"]"), std::string::npos) << pgn;
    EXPECT_NE(pgn.find("40... Kd7 41. e4"), std::string::npos) << pgn;
    const TPgnFile read = ReadPgnText(pgn);
    ASSERT_EQ(read.Games.size(), 1u);
    EXPECT_TRUE(read.Games[0].Error.empty()) << read.Games[0].Error;
    EXPECT_EQ(read.Games[0].Moves.Count(), 2);
}

TEST_F(PgnWindowTest, PastedPgnStartsItsFirstReadableGame) {
    QGuiApplication::clipboard()->setText(
        QStringLiteral("[White \"Eve\"]\n\n1. e4 Ke7 2. Qh9 *\n\n") + TwoGames);
    Action("Menu_Game_Paste")->trigger();
    ASSERT_EQ(DialogShown, 1);
    EXPECT_EQ(DialogWhiteName, QStringLiteral("Alice"));
    EXPECT_EQ(Main->Game().Moves.Count(), 4);
    EXPECT_EQ(Moves->Cell(2, 2), QStringLiteral("b8-c6"));
}

TEST_F(PgnWindowTest, YesToTheQuestionReplacesTheGameInProgressByThePastedOne) {
    Answer = idYes;
    StartPeople();
    Main->Game().PlayMove(Sq("d2"), Sq("d4"));
    QGuiApplication::clipboard()->setText(TwoGames);
    Action("Menu_Game_Paste")->trigger();
    EXPECT_TRUE(Shown("stop it without a result"));
    ASSERT_EQ(DialogShown, 1);
    EXPECT_EQ(Main->Game().WhitePlayer.Name, "Alice");
    EXPECT_EQ(Main->Game().Moves.Count(), 4);
    EXPECT_EQ(Main->History().Count(), 0);
}

TEST_F(PgnWindowTest, PastedPlainTextIsRefusedAndChangesNothing) {
    StartPeople();
    Main->Game().PlayMove(Sq("d2"), Sq("d4"));
    Main->Game().StopGame();
    for (const char* text : { "hello world", "", "rnbqkbnr/pppppppp/8 w" }) {
        Boxes.clear();
        QGuiApplication::clipboard()->setText(QString::fromLatin1(text));
        Action("Menu_Game_Paste")->trigger();
        ASSERT_EQ(Boxes.size(), 1u) << text;
        EXPECT_TRUE(Shown("clipboard")) << text;
        EXPECT_EQ(Main->Game().Moves.Count(), 1);
        EXPECT_EQ(Main->Game().GameState, gsStopped);
        EXPECT_EQ(DialogShown, 0);
    }
}

TEST_F(PgnWindowTest, PasteAsksWhileAGameIsOnAndCopyAndPasteStayOffInANetworkGame) {
    StartPeople();
    QGuiApplication::clipboard()->setText(QString::fromLatin1(FoolsMate));
    // During a game the paste asks first; No keeps the game.
    EXPECT_TRUE(Action("Menu_Game_Paste")->isEnabled());
    Answer = idNo;
    Action("Menu_Game_Paste")->trigger();
    EXPECT_TRUE(Shown("stop it without a result"));
    EXPECT_EQ(DialogShown, 0);
    EXPECT_EQ(Main->Game().WhitePlayer.Name, "Ann");
    EXPECT_EQ(Main->Game().GameState, gsPlaying);
    Boxes.clear();
    Main->Game().StopGame();
    EXPECT_TRUE(Action("Menu_Game_Paste")->isEnabled());

    // A host waiting for its opponent has its link open: nothing may replace its game.
    Main->Game().GameKind = gkHost;
    Main->Game().NetworkActive = true;
    QMetaObject::invokeMethod(Main->findChild<QMenu*>("Menu_Game"), "aboutToShow");
    for (const char* name : { "Menu_Game_CopyFen", "Menu_Game_CopyPgn", "Menu_Game_Paste" })
        EXPECT_FALSE(Action(name)->isEnabled()) << name;
    QGuiApplication::clipboard()->setText(QStringLiteral("unchanged"));
    Action("Menu_Game_Paste")->trigger();
    Action("Menu_Game_CopyFen")->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("unchanged"));
    EXPECT_EQ(DialogShown, 0);
    EXPECT_TRUE(Boxes.empty());
    Main->Game().NetworkActive = false;
    Main->Game().GameKind = gkLocal;
}

// Castling rights a position cannot have, as real-world files carry them: the game opens without
// them, the list shows the warning in its Error column, and a box says what was dropped.
TEST_F(PgnWindowTest, ImpossibleCastlingRightsAreDroppedAndTold) {
    Load(Write("rights.pgn",
        "[White \"Alice\"]\n[Black \"Bob\"]\n[SetUp \"1\"]\n"
        "[FEN \"4k3/8/8/8/8/8/8/3K3R w K - 0 1\"]\n\n1. Rh8+ *\n\n"
            + QByteArray(TwoGames)));
    ASSERT_GE(Listed.size(), 1);
    EXPECT_TRUE(Listed[0].startsWith("Alice|game 1 (Alice - Bob): castling right \"K\" dropped"))
        << Listed[0].toStdString();
    ASSERT_EQ(DialogShown, 1);
    EXPECT_EQ(Main->Game().GameState, gsPlaying);
    EXPECT_EQ(Main->Game().Moves.Count(), 1);
    EXPECT_TRUE(Shown("castling rights \"K\" cannot be")) << (Boxes.empty() ? "" : Boxes[0]);
}

TEST_F(PgnWindowTest, APastedPositionWithImpossibleCastlingRightsOpensWithoutThem) {
    QGuiApplication::clipboard()->setText(QStringLiteral("r3k3/8/8/8/8/8/8/3K3R b KQkq - 0 12"));
    Action("Menu_Game_Paste")->trigger();
    ASSERT_EQ(DialogShown, 1);
    EXPECT_EQ(Main->Game().GameState, gsPlaying);
    EXPECT_EQ(Main->Game().Turn, pcBlack);
    EXPECT_TRUE(Shown("castling rights \"KQk\" cannot be")) << (Boxes.empty() ? "" : Boxes[0]);
    // The copied position holds the rights that remain, and the pasted move counters.
    Action("Menu_Game_CopyFen")->trigger();
    EXPECT_EQ(
        QGuiApplication::clipboard()->text(), QStringLiteral("r3k3/8/8/8/8/8/8/3K3R b q - 0 12"));
}

// A game of unknown players opens without inventing names: its sides are offered "White" and
// "Black"; a pasted position, the names used in the game before.
TEST_F(PgnWindowTest, UnknownPlayersAreOfferedNamesInsteadOfBeingAskedFor) {
    Load(Write("unknown.pgn", "[White \"?\"]\n[Black \"?\"]\n\n1. e4 e5 *\n"));
    ASSERT_EQ(DialogShown, 1);
    EXPECT_EQ(DialogWhiteName, QStringLiteral("White"));
    EXPECT_EQ(Main->Game().BlackPlayer.Name, "Black");
    EXPECT_TRUE(Boxes.empty());

    Main->Game().StopGame();
    Load(Write("named.pgn", FoolsMate));
    ASSERT_EQ(DialogShown, 2);
    EXPECT_EQ(DialogWhiteName, QStringLiteral("Alice"));
    Main->Game().StopGame();
    QGuiApplication::clipboard()->setText(QStringLiteral("4k3/8/8/8/8/8/4P3/4K3 w - - 0 1"));
    Action("Menu_Game_Paste")->trigger();
    ASSERT_EQ(DialogShown, 3);
    EXPECT_EQ(DialogWhiteName, QStringLiteral("Alice"));
    EXPECT_EQ(Main->Game().BlackPlayer.Name, "Bob");
}

// A large file is read off the window's thread: the window goes on (its timers fire), a progress
// dialog naming the file comes up with Cancel, and a cancelled reading changes nothing.
TEST_F(PgnWindowTest, ALargeFileIsReadWithProgressAndCanBeCancelled) {
    QByteArray games;
    for (int i = 0; i < 200000; ++i)
        games += "[White \"A\"]\n[Black \"B\"]\n\n1. f3 e5 2. g4 Qh4# 0-1\n\n";
    const QString path = Write("large.pgn", games);
    m_Answerer.stop();
    bool timerRan = false;
    QString label;
    QTimer::singleShot(10, [&timerRan] { timerRan = true; });
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* progress = Main->findChild<QProgressDialog*>(QStringLiteral("dlgProgress"));
        if (progress && progress->isVisible() && label.isEmpty()) {
            label = progress->labelText();
            progress->findChild<QPushButton*>()->click();
        }
        // Without a reading in the background, the list of games would come up at its end.
        if (Games->isVisible())
            Games->reject();
    });
    poll.start(10);
    EXPECT_FALSE(Main->OpenGameFile(path));
    poll.stop();
    EXPECT_TRUE(timerRan);
    EXPECT_EQ(label, QStringLiteral("Reading \"large.pgn\"..."));
    EXPECT_EQ(DialogShown, 0);
    EXPECT_TRUE(Boxes.empty());
    EXPECT_EQ(Main->Game().GameState, gsIdle);
}

// A sparse file of 2 GB (one endless line) is refused as soon as the line passes its limit.
TEST_F(PgnWindowTest, AHugeSparseFileIsRefusedQuickly) {
    const QString path = Write("sparse.pgn", QByteArray());
    ASSERT_TRUE(QFile::resize(path, qint64(1) << 31));
    EXPECT_FALSE(Main->OpenGameFile(path));
    EXPECT_TRUE(Shown("Could not open")) << (Boxes.empty() ? "" : Boxes[0]);
    EXPECT_EQ(Main->Game().GameState, gsIdle);
}

// A pasted position is numbered in the moves window from its own move number, as the copied PGN
// numbers it; when Black moves first, White's cell of the first row stands for the move before.
struct TNumberedStart {
    const char* Name;
    const char* Fen;
    std::vector<std::pair<const char*, const char*>> Moves;
    // Number, White's cell is "...", Black's cell is filled, of each row.
    std::vector<std::tuple<const char*, bool, bool>> Rows;
    friend void PrintTo(const TNumberedStart& row, std::ostream* os) { *os << row.Name; }
};

class MovesNumberTest : public PgnWindowTest,
                        public testing::WithParamInterface<TNumberedStart> { };

TEST_P(MovesNumberTest, RowsStartAtThePositionsMoveNumber) {
    QGuiApplication::clipboard()->setText(QString::fromLatin1(GetParam().Fen));
    Action("Menu_Game_Paste")->trigger();
    ASSERT_EQ(DialogShown, 1);
    for (const auto& [from, to] : GetParam().Moves)
        ASSERT_EQ(Main->Game().PlayMove(Sq(from), Sq(to)) & mrInvalid, 0) << from << to;
    const auto check = [this] {
        ASSERT_EQ(Moves->RowCount(), int(GetParam().Rows.size()));
        int row = 1;
        for (const auto& [number, dots, black] : GetParam().Rows) {
            EXPECT_EQ(Moves->Cell(row, 0), QString::fromLatin1(number)) << "row " << row;
            EXPECT_EQ(Moves->Cell(row, 1) == QStringLiteral("..."), dots) << "row " << row;
            EXPECT_EQ(!Moves->Cell(row, 2).isEmpty(), black) << "row " << row;
            ++row;
        }
    };
    check();
    // Listed again (another notation, the history window closing) the same way.
    Moves->ReloadMoves();
    check();
    // Every move taken back: an empty list, or the start's row when Black moves first.
    for (size_t i = 0; i < GetParam().Moves.size(); ++i)
        Action("Menu_Game_Undo")->trigger();
    ASSERT_EQ(Main->Game().Moves.Count(), 0);
    EXPECT_EQ(Moves->RowCount(), 1);
    const bool blackFirst = std::get<1>(GetParam().Rows.front());
    EXPECT_EQ(Moves->Cell(1, 0),
        blackFirst ? QString::fromLatin1(std::get<0>(GetParam().Rows.front())) : QString());
    EXPECT_TRUE(Moves->Cell(1, 2).isEmpty());
}

const TNumberedStart NumberedStarts[] = {
    { "WhiteAtMove50", "4k3/8/8/8/8/8/4P3/4K3 w - - 0 50",
        { { "e2", "e4" }, { "e8", "d7" }, { "e1", "d2" } },
        { { "50", false, true }, { "51", false, false } } },
    { "BlackAtMove40", "4k3/8/8/8/8/8/4P3/4K3 b - - 0 40",
        { { "e8", "d7" }, { "e2", "e4" }, { "d7", "d6" } },
        { { "40", true, true }, { "41", false, true } } },
    { "InitialPosition", "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
        { { "e2", "e4" }, { "e7", "e5" }, { "g1", "f3" } },
        { { "1", false, true }, { "2", false, false } } },
};

TEST_F(PgnWindowTest, MovesOfAStoredGameStartAtMoveOneAfterAPastedPosition) {
    QGuiApplication::clipboard()->setText(QStringLiteral("4k3/8/8/8/8/8/4P3/4K3 b - - 0 40"));
    Action("Menu_Game_Paste")->trigger();
    TMoveList stored;
    TChessBoard board;
    board.MovePiece(Sq("e2"), Sq("e4"), false);
    stored.Add(pkPawn, Sq("e2"), Sq("e4"), 0, 0);
    Moves->LoadMoves(stored);
    EXPECT_EQ(Moves->Cell(1, 0), QStringLiteral("1"));
    EXPECT_FALSE(Moves->Cell(1, 1).isEmpty());
    EXPECT_NE(Moves->Cell(1, 1), QStringLiteral("..."));
}

// What the list shows of a game: the unknown parts of a date dropped, and the opening of a file
// of opening lines (no event) in the event's place.
TEST(PgnGameSummary, DatesAndOpenings) {
    const char* const text
        = "[Event \"?\"]\n[Date \"????.??.??\"]\n[White \"?\"]\n"
          "[ECO \"C42\"]\n[Opening \"Petrov\"]\n[Variation \"Classical\"]\n\n"
          "1. e4 e5 2. Nf3 Nf6 *\n\n"
          "[Event \"Club\"]\n[Date \"2024.??.??\"]\n[ECO \"A00\"]\n\n1. g4 *\n\n"
          "[Date \"2024.05.??\"]\n\n1. g4 *\n\n[Date \"2024.05.01\"]\n\n1. g4 *\n";
    const TPgnFile file = ReadPgnText(text);
    ASSERT_EQ(file.Games.size(), 4u);
    const TPgnGameSummary first = TPgnGameSummary::Of(file.Games[0]);
    EXPECT_EQ(first.Date, QString());
    EXPECT_EQ(first.White, QString());
    EXPECT_EQ(first.Event, QStringLiteral("C42 Petrov Classical"));
    EXPECT_EQ(first.Moves, 2u);
    EXPECT_EQ(first.Number, 1u);
    const TPgnGameSummary second = TPgnGameSummary::Of(file.Games[1]);
    EXPECT_EQ(second.Date, QStringLiteral("2024"));
    EXPECT_EQ(second.Event, QStringLiteral("Club"));
    EXPECT_EQ(TPgnGameSummary::Of(file.Games[2]).Date, QStringLiteral("2024.05"));
    EXPECT_EQ(TPgnGameSummary::Of(file.Games[3]).Date, QStringLiteral("2024.05.01"));
}

INSTANTIATE_TEST_SUITE_P(PastedPositions, MovesNumberTest, testing::ValuesIn(NumberedStarts),
    [](const testing::TestParamInfo<TNumberedStart>& info) {
        return std::string(info.param.Name);
    });

} // namespace
