// The user's files when they cannot be read or written, through the real windows: a history or
// themes file that could not be read is told of and kept aside before anything is saved over
// it, a newer version's history is never written, and every failed save is reported once per
// file and cause while the program goes on.

#include "AppPaths.h"
#include "FormAbout.h"
#include "FormGame.h"
#include "FormHistory.h"
#include "FormMain.h"
#include "FormMoves.h"
#include "FormOptions.h"
#include "ThemeEditor.h"
#include "UnitHistory.h"
#include "UnitMessages.h"
#include "UnitThemes.h"
#include "UserFiles.h"
#include "WindowTestSupport.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

namespace {

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

class UserFilesTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_Folder.isValid());
        Home = m_Folder.path();
        // Records each box and whether the watched file was still in its place when the box
        // came up; questions (the forfeit's confirmation) are answered Yes.
        auto presenter = std::make_unique<TRecordingPresenter>(Boxes, idYes);
        presenter->OnShown = [this](const TShownBox&) {
            WatchedThere.push_back(!Watched.isEmpty() && QFileInfo::exists(Watched));
        };
        SetMessagePresenter(std::move(presenter));
    }

    void TearDown() override {
        Main.reset();
        SetMessagePresenter(nullptr);
        UserFiles().Clear();
    }

    // The program's windows on the home folder, made as the program makes them; the main window
    // is shown.
    void Start() {
        qputenv("WINTERMOOT_HOME", Home.toLocal8Bit());
        Main = std::make_unique<TfrmMain>();
        Moves = Main->findChild<TfrmMoves*>("frmMoves");
        History = Main->findChild<TfrmHistory*>("frmHistory");
        Options = Main->findChild<TfrmOptions*>("frmOptions");
        Main->Seams().PlaySound = nullptr;
        Main->show();
    }

    // A local game of two people that white forfeits at once: it ends in the history.
    void PlayAGame() {
        Main->Game().WhitePlayer = TPlayer { 2, true, "Alice", false, 0, 0 };
        Main->Game().BlackPlayer = TPlayer { 2, true, "Bob", false, 0, 0 };
        Main->Game().GameKind = gkLocal;
        Main->Game().StartGame();
        Main->findChild<QAction*>("Menu_Game_Forfeit")->trigger();
    }

    QString HistoryPath() const { return Home + QStringLiteral("/history.dat"); }

    // The files set aside beside the named one.
    QStringList Aside(const QString& name) const {
        return QDir(Home).entryList({ name + QStringLiteral(".unreadable-*") }, QDir::AllEntries);
    }

    int Count(const char* fragment) const {
        int n = 0;
        for (const std::string& text : Boxes)
            n += text.find(fragment) != std::string::npos;
        return n;
    }
    int Index(const char* fragment) const {
        for (size_t i = 0; i < Boxes.size(); ++i)
            if (Boxes[i].find(fragment) != std::string::npos)
                return int(i);
        return -1;
    }

    // A history file of two games.
    QByteArray TwoGames() {
        THistory two;
        TMoveList moves;
        moves.Add(pkPawn, { 5, 2 }, { 5, 4 }, 0, 0);
        two.AddGame("Ann", "Ben", 38420.5, 5, 6, grWhiteWon, moves);
        two.AddGame("Cid", "Dee", 38421.5, 7, 8, grTied, moves);
        const QString path = m_Folder.filePath(QStringLiteral("two.dat"));
        EXPECT_TRUE(two.SaveToFile(path));
        return ReadAll(path);
    }

    QTemporaryDir m_Folder;
    QString Home;
    QString Watched;
    std::vector<std::string> Boxes;
    std::vector<bool> WatchedThere;
    std::unique_ptr<TfrmMain> Main;
    // The main window's own; it goes, and writes the themes, with the main window.
    TfrmOptions* Options = nullptr;
    TfrmMoves* Moves = nullptr;
    TfrmHistory* History = nullptr;
};

const char* const ReadInPart = "could not be read completely";
const char* const KeptAs = "The file that could not be read was kept as";
const char* const CannotSave = "Could not save";

TEST_F(UserFilesTest, AHistoryCutShortIsToldOfOnceAndKeptAsideBeforeTheNextGameIsSaved) {
    const QByteArray cut = TwoGames().chopped(3);
    WriteAll(HistoryPath(), cut);
    Watched = HistoryPath();
    Start();
    ASSERT_TRUE(WaitFor([&] { return Count(ReadInPart) == 1; }));
    EXPECT_NE(
        Boxes[size_t(Index(ReadInPart))].find(HistoryPath().toStdString()), std::string::npos);
    EXPECT_EQ(Main->History().Count(), 1);
    EXPECT_EQ(ReadAll(HistoryPath()), cut) << "untouched until something is saved";

    PlayAGame();
    const QStringList aside = Aside(QStringLiteral("history.dat"));
    ASSERT_EQ(aside.size(), 1);
    EXPECT_EQ(ReadAll(Home + QLatin1Char('/') + aside[0]), cut);
    ASSERT_EQ(Count(KeptAs), 1);
    EXPECT_NE(Boxes[Index(KeptAs)].find(aside[0].toStdString()), std::string::npos);
    THistory onDisk;
    EXPECT_EQ(onDisk.Load(HistoryPath()), hlLoaded);
    ASSERT_EQ(onDisk.Count(), 2);
    EXPECT_EQ(onDisk.First()->White, "Ann");
    EXPECT_EQ(onDisk.Last()->White, "Alice");

    // Later saves write the new file: nothing more is moved or said.
    PlayAGame();
    Main->close();
    EXPECT_EQ(Aside(QStringLiteral("history.dat")).size(), 1);
    EXPECT_EQ(Count(ReadInPart), 1);
    EXPECT_EQ(Count(KeptAs), 1);
    EXPECT_EQ(Count(CannotSave), 0);
    ASSERT_EQ(onDisk.Load(HistoryPath()), hlLoaded);
    EXPECT_EQ(onDisk.Count(), 3);
}

// A damaged length field in the first game leaves no game to show; closing the program without
// a game used to replace the file by an empty history.
TEST_F(UserFilesTest, AHistoryWithoutAReadableGameIsKeptAsideWhenTheProgramCloses) {
    QByteArray damaged = TwoGames();
    damaged[33] = char(0xE8); // the white name's length: 1000 and more than the file holds
    damaged[34] = char(0x03);
    WriteAll(HistoryPath(), damaged);
    Watched = HistoryPath();
    Start();
    EXPECT_EQ(Main->History().Count(), 0);
    EXPECT_TRUE(Main->close());

    const QStringList aside = Aside(QStringLiteral("history.dat"));
    ASSERT_EQ(aside.size(), 1);
    EXPECT_EQ(ReadAll(Home + QLatin1Char('/') + aside[0]), damaged);
    THistory onDisk;
    EXPECT_EQ(onDisk.Load(HistoryPath()), hlLoaded);
    // Told once, while the file was still in its place, and only then moved.
    ASSERT_EQ(Count(ReadInPart), 1);
    ASSERT_EQ(Count(KeptAs), 1);
    EXPECT_LT(Index(ReadInPart), Index(KeptAs));
    EXPECT_TRUE(WatchedThere[size_t(Index(ReadInPart))]);
}

TEST_F(UserFilesTest, AFileThatIsNoHistoryIsKeptAsideButAnEmptyOneIsSimplyReplaced) {
    const QByteArray png("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x10\0\0\0\x10", 24);
    WriteAll(HistoryPath(), png);
    Start();
    EXPECT_TRUE(Main->close());
    const QStringList aside = Aside(QStringLiteral("history.dat"));
    ASSERT_EQ(aside.size(), 1);
    EXPECT_EQ(ReadAll(Home + QLatin1Char('/') + aside[0]), png);
    EXPECT_EQ(Count(ReadInPart), 1);

    Main.reset();
    Boxes.clear();
    WriteAll(HistoryPath(), QByteArray());
    Start();
    PlayAGame();
    EXPECT_EQ(Aside(QStringLiteral("history.dat")).size(), 1);
    EXPECT_EQ(Count(ReadInPart), 0);
    EXPECT_EQ(Count(KeptAs), 0);
    THistory onDisk;
    EXPECT_EQ(onDisk.Load(HistoryPath()), hlLoaded);
    EXPECT_EQ(onDisk.Count(), 1);
}

TEST_F(UserFilesTest, ANewerVersionsHistoryIsNeverWritten) {
    QByteArray newer = TwoGames();
    newer[19] = 102; // the version after the magic text
    WriteAll(HistoryPath(), newer);
    Start();
    ASSERT_TRUE(WaitFor([&] { return Count("was written by a newer version") == 1; }));
    PlayAGame();
    History->open();
    History->btnClose->click();
    EXPECT_EQ(Main->History().Count(), 1) << "the game is shown for this run";
    EXPECT_TRUE(Main->close());
    EXPECT_EQ(ReadAll(HistoryPath()), newer);
    EXPECT_TRUE(Aside(QStringLiteral("history.dat")).isEmpty());
    EXPECT_EQ(Count("was written by a newer version"), 1);
    EXPECT_EQ(Count(CannotSave), 0);
    EXPECT_EQ(Count(KeptAs), 0);
}

// A home folder that cannot be made (its parent is a file) fails every save, also as root.
TEST_F(UserFilesTest, AnUnwritableHomeReportsEachFailedSaveOnceAndTheProgramGoesOn) {
    WriteAll(m_Folder.filePath(QStringLiteral("blocker")), "a file, not a folder");
    Home = m_Folder.filePath(QStringLiteral("blocker/home"));
    Start();
    ASSERT_FALSE(QFileInfo::exists(Home));
    // The shipped themes are offered although none could be copied to the home folder.
    EXPECT_EQ(Options->Themes->cmbThemes->count(), 4);

    PlayAGame();
    PlayAGame();
    EXPECT_EQ(Main->History().Count(), 2);
    History->open();
    History->btnClose->click();
    const std::string history = HistoryPath().toStdString();
    // The game in progress could not be kept either: told once for both games, before the
    // history.
    EXPECT_EQ(Count(CannotSave), 2);
    EXPECT_EQ(Count("current-game.wtg"), 1);
    ASSERT_GE(Index(history.c_str()), 0);
    EXPECT_EQ(Count(history.c_str()), 1);
    EXPECT_NE(Boxes[size_t(Index(history.c_str()))].find(CannotSave), std::string::npos);

    // Apply saves the settings; a second Apply fails for the same cause and says nothing.
    for (int i = 0; i < 2; ++i) {
        QTimer::singleShot(0, Options, [this] {
            Options->btnApply->click();
            Options->reject();
        });
        Options->ShowOptions();
    }
    EXPECT_EQ(Count("Wintermoot.ini"), 1);

    EXPECT_TRUE(Main->close());
    EXPECT_EQ(Count("layout.ini"), 1);
    Main.reset();
    EXPECT_EQ(Count("Themes.ini"), 1);
    EXPECT_EQ(Count(CannotSave), 5);
    EXPECT_EQ(Count(history.c_str()), 1);
}

// The new-game dialog keeps its entries in the settings file; a game still starts when they
// cannot be written.
TEST_F(UserFilesTest, TheNewGameDialogsEntriesThatCannotBeSavedAreReportedOnce) {
    WriteAll(m_Folder.filePath(QStringLiteral("blocker")), "a file, not a folder");
    TChessGame game;
    TfrmGame dialog(game);
    dialog.SettingsPath = m_Folder.filePath(QStringLiteral("blocker/Wintermoot.ini"));
    for (int i = 0; i < 2; ++i) {
        game.StopGame();
        QTimer::singleShot(0, &dialog, [&dialog] {
            dialog.edtWhitePlayerName->setText(QStringLiteral("Wendy"));
            dialog.edtBlackPlayerName->setText(QStringLiteral("Bert"));
            dialog.btnOk->click();
            if (dialog.isVisible())
                dialog.reject();
        });
        EXPECT_TRUE(dialog.Execute(false));
        EXPECT_EQ(game.WhitePlayer.Name, "Wendy");
    }
    ASSERT_EQ(Count(CannotSave), 1);
    EXPECT_NE(Boxes[0].find("blocker/Wintermoot.ini"), std::string::npos) << Boxes[0];
    game.StopGame();
}

TEST_F(UserFilesTest, AnUnreadableThemesFileOffersTheShippedThemesAndIsKeptAsideBeforeSaving) {
    const QString themes = Home + QStringLiteral("/Themes.ini");
    const QByteArray huge = "[Theme0]\nName=Mine\n" + QByteArray(2 * 1024 * 1024, ';');
    WriteAll(themes, huge);
    Watched = themes;
    Start();
    TThemeList shipped;
    ASSERT_TRUE(shipped.LoadThemes(AppPaths::FindShared(QStringLiteral("Themes.ini"))));
    ASSERT_EQ(shipped.Themes.size(), 4u);
    QComboBox* names = Options->Themes->cmbThemes;
    ASSERT_EQ(names->count(), 4);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(names->itemText(i), shipped.Themes[size_t(i)].Name);
    ASSERT_TRUE(WaitFor([&] { return Count("The themes file") == 1; }));
    EXPECT_NE(
        Boxes[size_t(Index("The themes file"))].find(themes.toStdString()), std::string::npos);

    Main->close();
    EXPECT_EQ(ReadAll(themes), huge);
    Main.reset();
    const QStringList aside = Aside(QStringLiteral("Themes.ini"));
    ASSERT_EQ(aside.size(), 1);
    EXPECT_EQ(ReadAll(Home + QLatin1Char('/') + aside[0]), huge);
    EXPECT_EQ(Count(KeptAs), 1);
    TThemeList written;
    ASSERT_TRUE(written.LoadThemes(themes));
    EXPECT_EQ(written.Themes, shipped.Themes);
    EXPECT_EQ(Count("The themes file"), 1);
    EXPECT_EQ(Count(CannotSave), 0);
}

} // namespace
