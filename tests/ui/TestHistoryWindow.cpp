// The history window through its real widgets: the list, removing and saving games, and the moves
// window taken in while the window is open and given back where it was.

#include "AppPaths.h"
#include "FormAbout.h"
#include "FormGame.h"
#include "FormHistory.h"
#include "FormMain.h"
#include "FormMoves.h"
#include "RecordingPresenter.h"
#include "UnitHistory.h"
#include "UnitMessages.h"

#include <QCheckBox>
#include <QFile>
#include <QHeaderView>
#include <QLocale>
#include <QPushButton>
#include <QSettings>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

namespace {

// The moves window's width of old; it is wider when the font needs it.
constexpr int MovesMinimumWidth = 170;
constexpr int MovesHeight = 400;

double Date(int year, int month, int day) {
    return EncodeDate(QDateTime(QDate(year, month, day), QTime(14, 30)));
}

class HistoryWindowTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_Home.isValid());
        qputenv("WINTERMOOT_HOME", m_Home.path().toLocal8Bit());
        SetMessagePresenter(std::make_unique<TRecordingPresenter>(Boxes));
        Main = std::make_unique<TfrmMain>();
        Moves = Main->findChild<TfrmMoves*>("frmMoves");
        Main->show();
        Main->move(300, 300);
        Moves->resize(MovesMinimumWidth, MovesHeight);
        MovesWidth = Moves->width();
        Window = new TfrmHistory(History, Main->Values(), Moves, &Main->Docking(), Main.get());
        Window->HistoryFile = m_Home.filePath(QStringLiteral("history.dat"));
        Window->ChooseSaveFile = [this](const QString& proposed, QString* filter) {
            Proposed.push_back(proposed);
            *filter = ChosenFilter;
            return ChosenFile;
        };
    }

    void TearDown() override {
        Main.reset();
        SetMessagePresenter(nullptr);
    }

    // A game of the moves e2-e4 e7-e5, or of g1-f3 alone.
    void AddGame(const char* white, double date, uint8_t result = grWhiteWon,
        int32_t whiteTime = 75, int32_t blackTime = 9, bool knight = false) {
        TMoveList moves;
        if (knight) {
            moves.Add(2, { 7, 1 }, { 6, 3 }, 0, 0);
        } else {
            moves.Add(0, { 5, 2 }, { 5, 4 }, 0, 0);
            moves.Add(0, { 5, 7 }, { 5, 5 }, 0, 0);
        }
        ASSERT_TRUE(History.AddGame(white, "Bob", date, whiteTime, blackTime, result, moves));
    }

    QStringList Row(int row) const {
        QStringList cells;
        for (int column = 0; column < 6; ++column) {
            const QTableWidgetItem* item = Window->stgHistory->item(row, column);
            cells << (item ? item->text() : QString());
        }
        return cells;
    }
    void Open() { Window->open(); }
    void Close() { Window->btnClose->click(); }
    // Whether the moves window sits inside the history window at its right, beside the grid.
    void ExpectHosted() const {
        EXPECT_TRUE(Moves->isVisible());
        EXPECT_EQ(Moves->parentWidget(), Window);
        EXPECT_EQ(Moves->geometry().right(), Window->width() - 1);
        EXPECT_GE(Moves->x(), Window->stgHistory->geometry().right());
        EXPECT_LT(Moves->geometry().bottom(), Window->pnlBottom->y());
    }

    QTemporaryDir m_Home;
    std::vector<std::string> Boxes;
    THistory History;
    std::unique_ptr<TfrmMain> Main;
    TfrmMoves* Moves = nullptr;
    int MovesWidth = 0;
    TfrmHistory* Window = nullptr;
    std::vector<QString> Proposed;
    QString ChosenFile;
    QString ChosenFilter;
};

TEST_F(HistoryWindowTest, TheCloseButtonKeepsToThePanelsRightAndTheGridFillsTheRest) {
    EXPECT_EQ(Window->size(), QSize(565, 260));
    EXPECT_EQ(Window->minimumSize(), QSize(565, 147));
    Open();
    EXPECT_EQ(Window->btnClose->geometry(), QRect(Window->width() - 85, 4, 81, 25));
    Window->resize(700, 300);
    QCoreApplication::processEvents();
    EXPECT_EQ(Window->btnClose->x(), 700 - 85);
    EXPECT_EQ(Window->stgHistory->geometry().bottom() + 1, Window->pnlBottom->y());
    Close();
}

TEST_F(HistoryWindowTest, EachGameIsOneRowOldestFirst) {
    AddGame("Alice", Date(2005, 3, 9), grWhiteWon, 75, 9);
    AddGame("Carol", Date(2011, 12, 24), grTied, 3600, 0);
    ASSERT_TRUE(Main->Values().SetValue(QStringLiteral("Res11"), QStringLiteral("Nulle")));
    Open();
    ASSERT_EQ(Window->stgHistory->rowCount(), 2);
    const QLocale locale = QLocale::system();
    EXPECT_EQ(Row(0),
        QStringList({ locale.toString(QDate(2005, 3, 9), QLocale::ShortFormat), "Alice", "Bob",
            "1:15", "0:09", "White won" }));
    EXPECT_EQ(Row(1),
        QStringList({ locale.toString(QDate(2011, 12, 24), QLocale::ShortFormat), "Carol", "Bob",
            "60:00", "0:00", "Nulle" }));
    Close();
}

struct TResultCase {
    const char* Name;
    uint8_t Result;
    const char* Text;
};

class HistoryResultTest : public HistoryWindowTest,
                          public testing::WithParamInterface<TResultCase> { };

TEST_P(HistoryResultTest, TheResultIsShownThroughTheMainWindowsTexts) {
    AddGame("Alice", Date(2005, 3, 9), GetParam().Result);
    Open();
    EXPECT_EQ(Row(0).value(5), QString::fromLatin1(GetParam().Text));
    Close();
}

INSTANTIATE_TEST_SUITE_P(Results, HistoryResultTest,
    testing::Values(TResultCase { "UnfinishedIsRes06", grUnfinished, "Unfinished" },
        TResultCase { "WhiteWonIsNotTheBlackWinOfRes07", grWhiteWon, "White won" },
        TResultCase { "BlackWonIsNotTheWhiteWinOfRes08", grBlackWon, "Black won" },
        TResultCase { "WhiteForfeitedIsRes10", grWhiteForfeited, "White forfeited" },
        TResultCase { "BlackForfeitedIsRes09", grBlackForfeited, "Black forfeited" },
        // A chess player says "Draw"; the stored code stays the tie's.
        TResultCase { "ATieIsADrawOfRes11", grTied, "Draw" },
        TResultCase { "AnUnknownCodeFromADamagedFileShowsNothing", 200, "" }),
    [](const testing::TestParamInfo<TResultCase>& info) { return std::string(info.param.Name); });

TEST_F(HistoryWindowTest, AnEmptyHistoryShowsOneEmptyRowOnWhichTheButtonsDoNothing) {
    TMoveList current;
    current.Add(2, { 7, 1 }, { 6, 3 }, 0, 0);
    Moves->LoadMoves(current);
    Open();
    ASSERT_EQ(Window->stgHistory->rowCount(), 1);
    EXPECT_EQ(Row(0), QStringList({ "", "", "", "", "", "" }));
    Window->btnDelete->click();
    Window->btnSaveToFile->click();
    EXPECT_EQ(Window->stgHistory->rowCount(), 1);
    EXPECT_TRUE(Proposed.empty());
    // Ticked, the moves window is shown with what it held.
    Window->chkShowMoves->click();
    ExpectHosted();
    EXPECT_EQ(Moves->Cell(1, 1), QStringLiteral("g1-f3"));
    Close();
}

TEST_F(HistoryWindowTest, RemovingAGameKeepsTheRowOrMovesToTheNewLastRow) {
    AddGame("Alice", Date(2005, 3, 9));
    AddGame("Carol", Date(2005, 3, 10));
    AddGame("Erin", Date(2005, 3, 11));
    Open();
    Window->stgHistory->setCurrentCell(1, 2);
    Window->btnDelete->click();
    ASSERT_EQ(History.Count(), 2);
    EXPECT_EQ(History.GetGame(2)->White, "Erin");
    EXPECT_EQ(Window->SelectedPosition(), 2);
    EXPECT_EQ(Row(1).value(1), QStringLiteral("Erin"));
    // The last game: the selection moves to the new last row.
    Window->btnDelete->click();
    EXPECT_EQ(Window->stgHistory->rowCount(), 1);
    EXPECT_EQ(Window->SelectedPosition(), 1);
    // The only game: one empty row is left.
    Window->btnDelete->click();
    EXPECT_EQ(History.Count(), 0);
    EXPECT_EQ(Row(0).value(1), QString());
    Close();
}

TEST_F(HistoryWindowTest, ARemovedGameIsGoneFromTheHistoryFileOnceTheWindowCloses) {
    AddGame("Alice", Date(2005, 3, 9));
    AddGame("Carol", Date(2005, 3, 10));
    ASSERT_TRUE(History.SaveToFile(Window->HistoryFile));
    Open();
    Window->stgHistory->setCurrentCell(0, 0);
    Window->btnDelete->click();
    Close();
    THistory stored;
    ASSERT_TRUE(stored.LoadFromFile(Window->HistoryFile));
    ASSERT_EQ(stored.Count(), 1);
    EXPECT_EQ(stored.First()->White, "Carol");
}

TEST_F(HistoryWindowTest, ClosingInAnyWayButTheTitleBarAnswersOk) {
    QTimer::singleShot(0, Window, [this] { Window->btnClose->click(); });
    EXPECT_TRUE(Window->ShowHistory());
    QTimer::singleShot(0, Window, [this] { QTest::keyClick(Window, Qt::Key_Escape); });
    EXPECT_TRUE(Window->ShowHistory());
    QTimer::singleShot(0, Window, [this] { Window->close(); });
    EXPECT_FALSE(Window->ShowHistory());
}

TEST_F(HistoryWindowTest, AGameOf9March2005IsOfferedUnderItsLongDate) {
    AddGame("Alice", Date(2005, 3, 9));
    Open();
    Window->btnSaveToFile->click();
    ASSERT_EQ(Proposed.size(), 1u);
    const QString longDate = QLocale::system().toString(QDate(2005, 3, 9), QLocale::LongFormat);
    EXPECT_EQ(Proposed[0], QStringLiteral("Chess game - ") + longDate + QStringLiteral(".txt"));
    EXPECT_TRUE(Proposed[0].contains(QStringLiteral("2005")));
    // Cancelled: nothing is shown.
    EXPECT_TRUE(Boxes.empty());
    Close();
}

struct TSaveCase {
    const char* Name;
    const char* File;
    const char* Filter;
    // The token of 1. e4 in the form that must be written, and in the other.
    const char* Holds;
    const char* Lacks;
};

class HistorySaveTest : public HistoryWindowTest, public testing::WithParamInterface<TSaveCase> { };

TEST_P(HistorySaveTest, TheChosenFormOfTheSelectedGameIsWritten) {
    const TSaveCase& c = GetParam();
    AddGame("Alice", Date(2005, 3, 9));
    AddGame("Carol", Date(2005, 3, 10));
    Open();
    Window->stgHistory->setCurrentCell(1, 0);
    ChosenFile = m_Home.filePath(QString::fromLatin1(c.File));
    ChosenFilter = QString::fromLatin1(c.Filter);
    Window->btnSaveToFile->click();
    QFile file(ChosenFile);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    EXPECT_TRUE(text.startsWith("[Event \"")) << text.constData();
    EXPECT_TRUE(text.contains("Carol") && !text.contains("Alice"));
    EXPECT_TRUE(text.contains(c.Holds) && !text.contains(c.Lacks)) << text.constData();
    EXPECT_TRUE(Boxes.empty());
    Close();
}

INSTANTIATE_TEST_SUITE_P(Forms, HistorySaveTest,
    testing::Values(TSaveCase { "TextFilterWritesTheTagPairText", "game.txt", "Text file (*.txt)",
                        "Pe4", "1. e4" },
        TSaveCase { "PgnFilterWritesPgn", "game.pgn", "PGN file (*.pgn)", "1. e4", "Pe4" },
        TSaveCase { "PgnSuffixWritesPgnWhateverTheFilter", "game.PGN", "", "1. e4", "Pe4" },
        TSaveCase {
            "PgnFilterWinsOverATextSuffix", "game.txt", "PGN file (*.pgn)", "1. e4", "Pe4" }),
    [](const testing::TestParamInfo<TSaveCase>& info) { return std::string(info.param.Name); });

TEST_F(HistoryWindowTest, AFailedSaveIsReported) {
    AddGame("Alice", Date(2005, 3, 9));
    Open();
    ChosenFile = m_Home.filePath(QStringLiteral("no such folder/game.txt"));
    Window->btnSaveToFile->click();
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_NE(Boxes[0].find("no such folder"), std::string::npos);
    Close();
}

TEST_F(HistoryWindowTest, MovesDockedOnTheLeftAreTakenInAndGivenBackDockedOnTheLeft) {
    AddGame("Alice", Date(2005, 3, 9));
    AddGame("Carol", Date(2005, 3, 10), grTied, 1, 2, true);
    Main->Docking().MovesAlign = 3;
    Main->Docking().DockMoves();
    Main->Docking().ShowMoves();
    Open();
    EXPECT_TRUE(Window->chkShowMoves->isChecked());
    EXPECT_FALSE(Main->Docking().MovesDocked());
    EXPECT_EQ(Main->width(), 510);
    ExpectHosted();
    EXPECT_EQ(Moves->Cell(1, 2), QStringLiteral("e7-e5"));
    // A click on a row shows that game's moves.
    const QRect second = Window->stgHistory->visualRect(Window->stgHistory->model()->index(1, 3));
    QTest::mouseClick(Window->stgHistory->viewport(), Qt::LeftButton, {}, second.center());
    EXPECT_EQ(Moves->Cell(1, 1), QStringLiteral("g1-f3"));
    Close();
    EXPECT_TRUE(Main->Docking().MovesDocked());
    EXPECT_FALSE(Moves->isWindow());
    EXPECT_TRUE(Moves->isVisible());
    EXPECT_EQ(Main->width(), 510 + MovesWidth);
    EXPECT_EQ(Moves->mapTo(Main.get(), QPoint(0, 0)).x(), 0);
    EXPECT_EQ(Main->Board().x(), MovesWidth);
    // The current game's moves again: none.
    EXPECT_EQ(Moves->Cell(1, 1), QString());
}

TEST_F(HistoryWindowTest, HiddenMovesStayHiddenUnlessTickedAndUntickedMovesHide) {
    AddGame("Alice", Date(2005, 3, 9));
    Main->Docking().DockMoves();
    Open();
    EXPECT_FALSE(Window->chkShowMoves->isChecked());
    EXPECT_TRUE(Moves->isHidden());
    Close();
    EXPECT_TRUE(Main->Docking().MovesDocked());
    EXPECT_TRUE(Moves->isHidden());
    EXPECT_EQ(Main->width(), 510);
    // Ticked while the window is open, the moves window stays shown.
    Open();
    Window->chkShowMoves->click();
    ExpectHosted();
    EXPECT_EQ(Moves->Cell(1, 1), QStringLiteral("e2-e4"));
    Close();
    EXPECT_TRUE(Moves->isVisible());
    EXPECT_EQ(Main->width(), 510 + MovesWidth);
    Open();
    Window->chkShowMoves->click();
    EXPECT_TRUE(Moves->isHidden());
    Close();
    EXPECT_TRUE(Moves->isHidden());
    EXPECT_EQ(Main->width(), 510);
}

TEST_F(HistoryWindowTest, FloatingMovesAreGivenBackBesideTheMainWindow) {
    AddGame("Alice", Date(2005, 3, 9));
    for (uint8_t align : { 3, 4 }) {
        SCOPED_TRACE(align);
        Main->Docking().MovesAlign = align;
        Moves->resize(MovesMinimumWidth, MovesHeight);
        Main->Docking().ShowMoves();
        Open();
        ExpectHosted();
        Close();
        const QRect main = Main->frameGeometry();
        const QSize extra = main.size() - Main->size();
        EXPECT_FALSE(Main->Docking().MovesDocked());
        EXPECT_TRUE(Moves->isWindow());
        EXPECT_TRUE(Moves->isVisible());
        if (align == 3) {
            EXPECT_EQ(QRect(Moves->pos(), Moves->size()),
                QRect(
                    main.left() - MovesWidth - extra.width(), main.top(), MovesWidth, MovesHeight));
        } else {
            EXPECT_EQ(QRect(Moves->pos(), Moves->size()),
                QRect(main.left() + main.width(), main.top(), MovesWidth,
                    main.height() - extra.height()));
        }
    }
}

// The grid's columns side by side fit the grid's viewport: no column is out of sight.
void ExpectEveryColumnInSight(const TfrmHistory& window) {
    int columns = 0;
    for (int column = 0; column < window.stgHistory->columnCount(); ++column)
        columns += window.stgHistory->columnWidth(column);
    EXPECT_LE(columns, window.stgHistory->viewport()->width());
    EXPECT_EQ(window.stgHistory->horizontalHeader()->offset(), 0);
}

TEST_F(HistoryWindowTest, TheFirstShowingIsWideEnoughForEveryColumn) {
    AddGame("A player with a rather long name", Date(2005, 3, 9), grBlackForfeited);
    EXPECT_FALSE(Window->GeometryKnown());
    Open();
    EXPECT_GE(Window->width(), 565);
    ExpectEveryColumnInSight(*Window);
    EXPECT_TRUE(Window->GeometryKnown());
    // From then on the window keeps the size the user gives it.
    Close();
    Window->resize(600, 200);
    Open();
    EXPECT_EQ(Window->size(), QSize(600, 200));
    Close();
}

// The layout of the last run places and sizes the history window, and closing the program keeps
// where the user left it.
TEST(HistoryLayoutTest, TheStoredPlaceAndSizeAreRestoredAndSaved) {
    QTemporaryDir home;
    qputenv("WINTERMOOT_HOME", home.path().toLocal8Bit());
    const std::pair<const char*, int> values[] = { { "FormLeft", 10 }, { "FormTop", 20 },
        { "ChatLeft", 0 }, { "ChatTop", 0 }, { "ChatHeight", 150 }, { "ChatWidth", 510 },
        { "ChatAlign", 2 }, { "ChatDocked", 0 }, { "ChatVisible", 0 }, { "MovesLeft", 600 },
        { "MovesTop", 0 }, { "MovesHeight", 400 }, { "MovesAlign", 4 }, { "MovesDocked", 0 },
        { "MovesVisible", 0 }, { "HistoryLeft", 40 }, { "HistoryTop", 50 },
        { "HistoryHeight", 333 }, { "HistoryWidth", 777 } };
    {
        auto store = AppPaths::LayoutStore();
        for (const auto& [name, value] : values)
            store->setValue(QString::fromLatin1(name), value);
    }
    {
        THistory history;
        TfrmMain main;
        auto* window = main.findChild<TfrmHistory*>("frmHistory");
        main.show();
        EXPECT_EQ(window->pos(), QPoint(40, 50));
        EXPECT_EQ(window->size(), QSize(777, 333));
        window->open();
        EXPECT_EQ(window->size(), QSize(777, 333)) << "a restored size is kept at the showing";
        // The user moves and sizes the open window.
        window->move(60, 70);
        window->resize(800, 350);
        QCoreApplication::processEvents();
        window->btnClose->click();
        ASSERT_TRUE(main.close());
    }
    auto store = AppPaths::LayoutStore();
    EXPECT_EQ(store->value(QStringLiteral("HistoryLeft")).toInt(), 60);
    EXPECT_EQ(store->value(QStringLiteral("HistoryTop")).toInt(), 70);
    EXPECT_EQ(store->value(QStringLiteral("HistoryWidth")).toInt(), 800);
    EXPECT_EQ(store->value(QStringLiteral("HistoryHeight")).toInt(), 350);
}

// A history window never opened has no place of its own: the next run opens it as a first run.
TEST(HistoryLayoutTest, AWindowNeverShownStoresNoPlace) {
    QTemporaryDir home;
    qputenv("WINTERMOOT_HOME", home.path().toLocal8Bit());
    {
        // The main window makes its history window, which stays unshown.
        TfrmMain main;
        main.show();
        ASSERT_TRUE(main.close());
    }
    auto store = AppPaths::LayoutStore();
    EXPECT_TRUE(store->contains(QStringLiteral("MovesVisible")));
    EXPECT_FALSE(store->contains(QStringLiteral("HistoryWidth")));
}

} // namespace
