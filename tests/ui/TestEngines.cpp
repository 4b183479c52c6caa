// UCI engines in the window: the list in the settings file and the engines offered at first
// start, the options dialog's Engines page, the new-game dialog's engine players, the header
// while an engine thinks, and an engine's failure. The project's own engine plays; the
// misbehaving test engine fails.

#include "AppPaths.h"
#include "FormGame.h"
#include "FormMain.h"
#include "FormOptions.h"
#include "GameTestSupport.h"
#include "Settings.h"
#include "UciEngineAgent.h"
#include "UnitMessages.h"
#include "WindowTestSupport.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QStyle>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

namespace {

// The index of the first engine in the player combos, after the person and the three levels.
constexpr int FirstEngine = 4;

TEngineEntry ProjectEngine(const char* name = "Test engine") {
    return { QString::fromUtf8(name), QStringLiteral(WINTERMOOT_ENGINE), {}, {} };
}

class EnginesWindowTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_Home.isValid());
        qputenv("WINTERMOOT_HOME", m_Home.path().toLocal8Bit());
        SetMessagePresenter(std::make_unique<TRecordingPresenter>(Boxes, Answer));
        Start();
    }

    void TearDown() override {
        Main->Game().StopGame();
        Main.reset();
        SetMessagePresenter(nullptr);
    }

    void Start() {
        Main.reset();
        Main = std::make_unique<TfrmMain>();
        Main->Seams().PlaySound = nullptr;
        Main->Game().SetSearchDepth(2);
        Dialog = Main->findChild<TfrmGame*>("frmGame");
        Options = Main->findChild<TfrmOptions*>("frmOptions");
        Main->show();
    }

    void Trigger(const char* action) { Main->findChild<QAction*>(action)->trigger(); }

    // Runs the new-game dialog (or the loaded game's) with the choices made in `choose`, then Ok.
    void RunGameDialog(const char* action, const std::function<void()>& choose) {
        QTimer::singleShot(0, Dialog, [&] {
            choose();
            Dialog->btnOk->click();
        });
        Trigger(action);
    }

    // A person (White, "Ann") against the engine at `index` (Black) with the given limit.
    void NewGameAgainstEngine(int index, int limitKind, int limit) {
        RunGameDialog("Menu_Game_New", [&] {
            Dialog->cmbWhitePlayer->setCurrentIndex(0);
            Dialog->edtWhitePlayerName->setText(QStringLiteral("Ann"));
            Dialog->cmbBlackPlayer->setCurrentIndex(index);
            Dialog->cmbBlackLimit->setCurrentIndex(limitKind);
            Dialog->spnBlackLimit->setValue(limit);
        });
    }

    TUciEngineAgent* EngineOf(TPieceColour colour) const {
        return qobject_cast<TUciEngineAgent*>(Main->Game().Agent(colour));
    }
    int MoveCount() const { return Main->Game().Moves.Count(); }
    bool Shown(const char* fragment) const { return ::Shown(Boxes, fragment); }

    // The options dialog shown without its own event loop, on its Engines page.
    void ShowEnginesPage() {
        Options->show();
        Options->pgcOptions->setCurrentWidget(Options->tbsEngines);
    }
    template <typename T> T* OptionEditor(const char* option) const {
        for (T* editor : Options->pnlEngineOptions->findChildren<T*>()) {
            if (editor->property("uciOption").toString() == QLatin1String(option))
                return editor;
        }
        return nullptr;
    }

    // A saved game of the position, with the players as given (a computer when not human).
    QString SavePosition(const char* fen, TPlayer white, TPlayer black) {
        const QString file = m_Home.filePath(QStringLiteral("position%1.wtg").arg(++m_Files));
        TChessGame source;
        SetUpPosition(source, fen);
        source.WhitePlayer = white;
        source.BlackPlayer = black;
        source.SetAgentFactory(
            [](TPieceColour colour) { return std::make_unique<TLocalPersonStandIn>(colour); });
        source.StartGame();
        EXPECT_TRUE(source.SaveGame(file));
        source.StopGame();
        return file;
    }

    // Stands for either side while a position is saved: it never moves.
    class TLocalPersonStandIn : public TPlayerAgent {
    public:
        using TPlayerAgent::TPlayerAgent;
        void StartTurn(const TChessGame&) override { }
        bool TakesInput() const override { return true; }
    };

    QTemporaryDir m_Home;
    std::vector<std::string> Boxes;
    int Answer = idNo;
    int m_Files = 0;
    std::unique_ptr<TfrmMain> Main;
    TfrmGame* Dialog = nullptr;
    TfrmOptions* Options = nullptr;
};

TEST_F(EnginesWindowTest, EnginesFoundAreOfferedUntilTheUserKeepsAListOfHisOwn) {
    // The test program lives beside wintermoot-engine, as the game does.
    ASSERT_TRUE(Main->Settings().Engines);
    const TEngineEntry* found = Main->Settings().Engines->Find(QStringLiteral("Wintermoot engine"));
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(QFileInfo(found->Command).canonicalFilePath(),
        QFileInfo(QStringLiteral(WINTERMOOT_ENGINE)).canonicalFilePath());

    ShowEnginesPage();
    const auto rows = Options->stgEngines->rowCount();
    for (int row = 0; row < rows; ++row) {
        Options->stgEngines->selectRow(0);
        Options->btnRemoveEngine->click();
    }
    EXPECT_EQ(Options->stgEngines->rowCount(), 0);
    EXPECT_FALSE(Options->btnRemoveEngine->isEnabled());
    Options->btnOk->click();
    ASSERT_EQ(LoadSettings(AppPaths::SettingsFile()).Engines, TEngineCatalog());

    // The emptied list is kept: nothing is offered again.
    Start();
    EXPECT_EQ(Main->Settings().Engines, TEngineCatalog());
    EXPECT_TRUE(Boxes.empty());
}

TEST_F(EnginesWindowTest, AddedEngineIsProbedAndOnlyChangedOptionsAreKept) {
    Main->Settings().Engines = TEngineCatalog();
    Main->Seams().ChooseEngineFile = [] { return QStringLiteral(WINTERMOOT_ENGINE); };
    ShowEnginesPage();
    Options->btnAddEngine->click();
    ASSERT_TRUE(WaitFor([&] { return Options->stgEngines->rowCount() == 1; }));
    EXPECT_TRUE(Options->stgEngines->item(0, 0)->text().startsWith(QStringLiteral("Wintermoot ")));
    EXPECT_EQ(Options->stgEngines->item(0, 1)->text(), QStringLiteral(WINTERMOOT_ENGINE));
    EXPECT_EQ(Options->edtEngineName->text(), Options->stgEngines->item(0, 0)->text());

    // The editors follow what the engine announces: a spin box with its range, a combo.
    QSpinBox* depth = OptionEditor<QSpinBox>("Depth");
    QComboBox* level = OptionEditor<QComboBox>("Level");
    ASSERT_NE(depth, nullptr);
    ASSERT_NE(level, nullptr);
    EXPECT_EQ(depth->minimum(), 1);
    EXPECT_EQ(level->count(), 3);
    EXPECT_EQ(level->currentText(), "expert");
    depth->setValue(depth->value() + 1);
    const QString changedDepth = QString::number(depth->value());
    level->setCurrentText(QStringLiteral("novice"));
    level->setCurrentText(QStringLiteral("expert"));
    Options->edtEngineName->selectAll();
    QTest::keyClicks(Options->edtEngineName, QStringLiteral("Mine"));
    Options->edtEngineArguments->selectAll();
    QTest::keyClicks(Options->edtEngineArguments, QStringLiteral("--quiet \"a b\""));
    Options->btnApply->click();

    TEngineEntry expected { QStringLiteral("Mine"), QStringLiteral(WINTERMOOT_ENGINE),
        { QStringLiteral("--quiet"), QStringLiteral("a b") },
        { { QStringLiteral("Depth"), changedDepth } } };
    ASSERT_TRUE(Main->Settings().Engines);
    ASSERT_EQ(Main->Settings().Engines->Entries.size(), 1u);
    EXPECT_EQ(Main->Settings().Engines->Entries[0], expected);
    EXPECT_EQ(LoadSettings(AppPaths::SettingsFile()).Engines, Main->Settings().Engines);

    // Cancel drops what changed since.
    Options->btnRemoveEngine->click();
    Options->btnCancel->click();
    EXPECT_EQ(Main->Settings().Engines->Entries.size(), 1u);
    ShowEnginesPage();
    EXPECT_EQ(Options->stgEngines->rowCount(), 1);
    EXPECT_EQ(Options->edtEngineName->text(), "Mine");
    ASSERT_TRUE(WaitFor([&] { return OptionEditor<QSpinBox>("Depth") != nullptr; }));
    EXPECT_EQ(OptionEditor<QSpinBox>("Depth")->value(), changedDepth.toInt());
    Options->btnCancel->click();
    EXPECT_TRUE(Boxes.empty());
}

// The page shows five engines at once, each command whole beside its name, at any font size.
TEST_F(EnginesWindowTest, ThePageShowsFiveEnginesWithTheirWholeCommands) {
    TEngineCatalog catalog;
    catalog.Entries.push_back(
        { QStringLiteral("Stockfish"), QStringLiteral("/usr/games/stockfish"), {}, {} });
    catalog.Entries.push_back({ QStringLiteral("Wintermoot engine"),
        QStringLiteral("/usr/lib/wintermoot/bin/wintermoot-engine"), {}, {} });
    Main->Settings().Engines = catalog;
    ShowEnginesPage();
    QCoreApplication::processEvents();
    QTableWidget* table = Options->stgEngines;
    const int rowHeight = table->verticalHeader()->defaultSectionSize();
    EXPECT_GE(table->viewport()->height(), 5 * rowHeight)
        << table->viewport()->height() / double(rowHeight) << " rows";
    const int margin
        = 2 * (table->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, table) + 1);
    const QHeaderView* header = table->horizontalHeader();
    for (int row = 0; row < table->rowCount(); ++row) {
        for (int column = 0; column < 2; ++column) {
            const QString text = table->item(row, column)->text();
            EXPECT_GE(
                header->sectionSize(column), table->fontMetrics().horizontalAdvance(text) + margin)
                << text.toStdString();
        }
    }
    EXPECT_LE(
        header->sectionViewportPosition(1) + header->sectionSize(1), table->viewport()->width())
        << "the command column ends inside the table";
    EXPECT_EQ(table->item(1, 1)->toolTip(), catalog.Entries[1].Command);
    Options->btnCancel->click();
}

// The same program with the same arguments is one engine: an Add of it is refused with a
// message before it is asked anything, and arguments edited into another entry's are refused on
// Apply; the same program with other arguments is another engine.
TEST_F(EnginesWindowTest, TheSameEngineTwiceIsRefusedWithAMessage) {
    Main->Settings().Engines = TEngineCatalog { { ProjectEngine() } };
    Main->Seams().ChooseEngineFile = [] { return QStringLiteral(WINTERMOOT_ENGINE); };
    ShowEnginesPage();
    Options->btnAddEngine->click();
    ASSERT_TRUE(Shown("is already in the list of engines with the same arguments"));
    EXPECT_TRUE(Shown(WINTERMOOT_ENGINE));
    EXPECT_EQ(Options->stgEngines->rowCount(), 1);
    EXPECT_TRUE(Options->btnAddEngine->isEnabled());

    Boxes.clear();
    Options->edtEngineArguments->selectAll();
    QTest::keyClicks(Options->edtEngineArguments, QStringLiteral("--quiet"));
    Options->btnAddEngine->click();
    ASSERT_TRUE(WaitFor([&] { return Options->stgEngines->rowCount() == 2; }));
    EXPECT_TRUE(Boxes.empty());
    ASSERT_EQ(Options->stgEngines->currentRow(), 1);
    Options->edtEngineArguments->selectAll();
    QTest::keyClicks(Options->edtEngineArguments, QStringLiteral("--quiet"));
    Options->btnApply->click();
    EXPECT_TRUE(Shown("is already in the list of engines with the same arguments"));
    ASSERT_TRUE(Main->Settings().Engines);
    EXPECT_EQ(Main->Settings().Engines->Entries.size(), 1u) << "nothing applied";
    EXPECT_TRUE(Options->isVisible());
    EXPECT_EQ(Options->pgcOptions->currentWidget(), Options->tbsEngines);
    Options->btnCancel->click();
}

TEST_F(EnginesWindowTest, AProgramThatIsNotAnEngineIsRefusedWithAMessage) {
    Main->Settings().Engines = TEngineCatalog();
    const QString notes = m_Home.filePath(QStringLiteral("notes.txt"));
    QFile file(notes);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not a chess engine\n");
    file.close();
    Main->Seams().ChooseEngineFile = [&] { return notes; };
    ShowEnginesPage();
    Options->btnAddEngine->click();
    ASSERT_TRUE(WaitFor([&] { return !Boxes.empty(); }));
    EXPECT_TRUE(Shown("Could not add the chess engine"));
    EXPECT_TRUE(Shown(notes.toUtf8().constData()));
    EXPECT_EQ(Options->stgEngines->rowCount(), 0);
    EXPECT_TRUE(Options->btnAddEngine->isEnabled());
    Options->btnCancel->click();
}

TEST_F(EnginesWindowTest, AnEnginePlaysAPersonThroughPauseTakeBackSaveLoadAndForfeit) {
    Main->Settings().Engines = TEngineCatalog { { ProjectEngine() } };
    TChessGame& game = Main->Game();
    RunGameDialog("Menu_Game_New", [&] {
        // The engines come after the person and the built-in levels.
        ASSERT_EQ(Dialog->cmbBlackPlayer->count(), FirstEngine + 1);
        EXPECT_EQ(Dialog->cmbBlackPlayer->itemText(FirstEngine), "Test engine");
        EXPECT_FALSE(Dialog->cmbBlackLimit->isEnabled());
        Dialog->cmbWhitePlayer->setCurrentIndex(0);
        Dialog->edtWhitePlayerName->setText(QStringLiteral("Ann"));
        Dialog->cmbBlackPlayer->setCurrentIndex(FirstEngine);
        EXPECT_EQ(Dialog->edtBlackPlayerName->text(), "Test engine");
        EXPECT_TRUE(Dialog->edtBlackPlayerName->isEnabled()) << "the name may be changed";
        EXPECT_TRUE(Dialog->cmbBlackLimit->isEnabled());
        EXPECT_TRUE(Dialog->spnBlackLimit->isEnabled());
        Dialog->cmbBlackLimit->setCurrentIndex(0);
        Dialog->spnBlackLimit->setValue(1);
    });
    ASSERT_EQ(game.GameState, gsPlaying);
    ASSERT_NE(EngineOf(pcBlack), nullptr);
    EXPECT_EQ(EngineOf(pcWhite), nullptr);
    EXPECT_FALSE(game.BlackPlayer.Human);
    EXPECT_EQ(game.BlackPlayer.Level, 0);
    EXPECT_EQ(game.BlackPlayer.Name, "Test engine");
    {
        // The choice and the limit are remembered with the dialog's other entries.
        const QSettings ini(AppPaths::SettingsFile(), QSettings::IniFormat);
        EXPECT_EQ(ini.value(QStringLiteral("Game/BlackEngine")).toString(), "Test engine");
        EXPECT_EQ(ini.value(QStringLiteral("Game/BlackLimitKind")).toInt(), 0);
        EXPECT_EQ(ini.value(QStringLiteral("Game/BlackLimit")).toInt(), 1);
    }

    // While the engine thinks, its header shows its depth and score; once it has moved, nothing.
    QString activity;
    game.PlayMove(Sq("e2"), Sq("e4"));
    ASSERT_TRUE(WaitFor([&] {
        const QString now = Main->Board().MakeSnapshot().Players[pcBlack].Activity;
        if (!now.isEmpty())
            activity = now;
        return MoveCount() == 2;
    }));
    EXPECT_TRUE(activity.startsWith(QStringLiteral("depth "))) << activity.toStdString();
    EXPECT_TRUE(activity.contains(QLatin1Char('+')) || activity.contains(QLatin1Char('-')))
        << activity.toStdString();
    EXPECT_EQ(Main->Board().MakeSnapshot().Players[pcBlack].Activity, QString());

    // A reply that comes during a pause waits for the game to resume.
    game.PlayMove(Sq("d2"), Sq("d4"));
    Trigger("Menu_Game_Pause");
    RunEventsFor(1700);
    EXPECT_EQ(MoveCount(), 3);
    Trigger("Menu_Game_Resume");
    ASSERT_TRUE(WaitFor([&] { return MoveCount() == 4; }));

    // A take-back removes the engine's reply and the person's move.
    Trigger("Menu_Game_Undo");
    EXPECT_EQ(MoveCount(), 2);
    EXPECT_EQ(game.Turn, pcWhite);

    // Saved, and loaded again with the engine chosen for its side by its name.
    const QString file = m_Home.filePath(QStringLiteral("engine.wtg"));
    Main->Seams().ChooseSaveFile = [&](const QString&) { return file; };
    Trigger("Menu_Game_Save");
    ASSERT_TRUE(QFile::exists(file));
    Trigger("Menu_Game_Forfeit"); // answered No: the game goes on
    ASSERT_EQ(game.GameState, gsPlaying);
    game.StopGame();
    Main->Seams().ChooseOpenFile = [&] { return file; };
    RunGameDialog("Menu_Game_Load", [&] {
        EXPECT_EQ(Dialog->cmbWhitePlayer->currentIndex(), 0);
        EXPECT_EQ(Dialog->cmbBlackPlayer->currentIndex(), FirstEngine);
        EXPECT_EQ(Dialog->edtBlackPlayerName->text(), "Test engine");
    });
    ASSERT_EQ(game.GameState, gsPlaying);
    EXPECT_NE(EngineOf(pcBlack), nullptr);
    EXPECT_EQ(MoveCount(), 2);

    // The person forfeits; the game goes into the history.
    const int before = Main->History().Count();
    Answer = idYes;
    Trigger("Menu_Game_Forfeit");
    EXPECT_EQ(game.GameState, gsStopped);
    EXPECT_TRUE(Shown("Ann has forfeited the game."));
    EXPECT_EQ(Main->History().Count(), before + 1);
}

TEST_F(EnginesWindowTest, ALoadedComputerSideWhoseNameIsNoEngineStaysTheBuiltInComputer) {
    Main->Settings().Engines = TEngineCatalog { { ProjectEngine() } };
    const QString file = SavePosition("4k3/8/8/8/8/8/8/4K2R w K - 0 1",
        TPlayer { 0, false, "Computer expert" }, TPlayer { 0, false, "Test engine" });
    Main->Seams().ChooseOpenFile = [&] { return file; };
    RunGameDialog("Menu_Game_Load", [&] {
        EXPECT_EQ(Dialog->cmbWhitePlayer->currentIndex(), 3);
        EXPECT_EQ(Dialog->cmbBlackPlayer->currentIndex(), FirstEngine);
        Dialog->cmbBlackLimit->setCurrentIndex(1);
        Dialog->spnBlackLimit->setValue(1);
    });
    EXPECT_EQ(EngineOf(pcWhite), nullptr);
    EXPECT_NE(EngineOf(pcBlack), nullptr);
    Main->Game().StopGame();
}

// Engine against engine, and engine against the built-in computer, from a won position: the
// game is played to its mate in the window, announced and put into the history. (A position
// close to the end, since the game has no draw by repetition for two programs that shuffle.)
TEST_F(EnginesWindowTest, EngineGamesArePlayedToTheEnd) {
    Main->Settings().Engines
        = TEngineCatalog { { ProjectEngine("Engine A"), ProjectEngine("Engine B") } };
    TChessGame& game = Main->Game();
    // Black's one legal move, then White's mate: each side plays.
    const char* const won = "7k/8/6K1/8/8/8/8/R7 b - - 0 1";
    struct TCase {
        TPlayer White;
        TPlayer Black;
        int WhiteIndex;
        int BlackIndex;
    };
    for (const TCase& match :
        { TCase {
              { 0, false, "Engine A" }, { 0, false, "Engine B" }, FirstEngine, FirstEngine + 1 },
            TCase { { 0, false, "Engine A" }, { 2, false, "Computer novice" }, FirstEngine, 1 } }) {
        const int before = Main->History().Count();
        Boxes.clear();
        Main->Seams().ChooseOpenFile = [&] { return SavePosition(won, match.White, match.Black); };
        RunGameDialog("Menu_Game_Load", [&] {
            EXPECT_EQ(Dialog->cmbWhitePlayer->currentIndex(), match.WhiteIndex);
            EXPECT_EQ(Dialog->cmbBlackPlayer->currentIndex(), match.BlackIndex);
            for (auto [kind, number] : { std::pair { Dialog->cmbWhiteLimit, Dialog->spnWhiteLimit },
                     std::pair { Dialog->cmbBlackLimit, Dialog->spnBlackLimit } }) {
                kind->setCurrentIndex(1);
                number->setValue(3);
            }
        });
        ASSERT_EQ(game.GameState, gsPlaying);
        ASSERT_NE(EngineOf(pcWhite), nullptr);
        EXPECT_EQ(EngineOf(pcBlack) != nullptr, match.BlackIndex >= FirstEngine);
        ASSERT_TRUE(WaitFor([&] { return game.GameState == gsStopped; }, 60000)) << Position(game);
        EXPECT_TRUE(Shown("Engine A has won the game!")) << (Boxes.empty() ? "" : Boxes.back());
        EXPECT_EQ(Main->History().Count(), before + 1);
        EXPECT_EQ(MoveCount(), 2);
    }
}

TEST_F(EnginesWindowTest, AFailingEngineIsNamedWithItsCauseAndTheGameCanBeSaved) {
    TEngineEntry bad { QStringLiteral("Bad engine"), QStringLiteral(BAD_ENGINE),
        { QStringLiteral("illegal") }, {} };
    Main->Settings().Engines = TEngineCatalog { { bad } };
    TChessGame& game = Main->Game();
    RunGameDialog("Menu_Game_New", [&] {
        Dialog->cmbWhitePlayer->setCurrentIndex(FirstEngine);
        Dialog->cmbWhiteLimit->setCurrentIndex(1);
        Dialog->spnWhiteLimit->setValue(1);
        Dialog->cmbBlackPlayer->setCurrentIndex(1);
    });
    ASSERT_TRUE(WaitFor([&] { return !Boxes.empty(); }));
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_TRUE(Shown("The chess engine stopped playing: BadEngine illegal: answered an illegal "
                      "move 'e1e8'."))
        << Boxes.front();
    EXPECT_EQ(game.GameState, gsStopped);
    EXPECT_EQ(MoveCount(), 4);
    EXPECT_TRUE(Main->Board().pnlStatus->isVisible());
    EXPECT_EQ(Main->Board().lblStatus->text(), "The engine stopped playing.");

    QAction* save = Main->findChild<QAction*>("Menu_Game_Save");
    EXPECT_TRUE(save->isEnabled());
    const QString file = m_Home.filePath(QStringLiteral("failed.wtg"));
    Main->Seams().ChooseSaveFile = [&](const QString&) { return file; };
    save->trigger();
    EXPECT_EQ(Boxes.size(), 1u) << Boxes.back();
    TChessGame loaded;
    ASSERT_TRUE(loaded.LoadGame(file));
    EXPECT_EQ(loaded.Moves.Count(), 4);
    EXPECT_EQ(loaded.WhitePlayer.Name, "Bad engine");
}

} // namespace
