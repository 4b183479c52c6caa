// Commands of the main window through its real widgets: the clock while the forfeit question
// waits, F1 for the help, the folder the save dialog opens in, where the moves window first
// opens and where the dialogs shown at start-up stand when a window manager places the main
// window late.

#include "FormHelp.h"
#include "FormMain.h"
#include "FormMoves.h"
#include "FormPgnGames.h"
#include "MessageBoxPresenter.h"
#include "UnitMessages.h"
#include "WindowTestSupport.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>

namespace {

class MainCommandsTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_Home.isValid());
        qputenv("WINTERMOOT_HOME", m_Home.path().toLocal8Bit());
        auto presenter = std::make_unique<TRecordingPresenter>(Boxes, Answer);
        Presenter = presenter.get();
        SetMessagePresenter(std::move(presenter));
        Main = std::make_unique<TfrmMain>();
        Main->Seams().PlaySound = nullptr;
        Main->show();
    }

    void TearDown() override {
        Main->Game().StopGame();
        Main.reset();
        SetMessagePresenter(nullptr);
    }

    void StartTwoPersons() {
        Main->Game().WhitePlayer = TPlayer { 2, true, "Alice", false, 0, 0 };
        Main->Game().BlackPlayer = TPlayer { 2, true, "Bob", false, 0, 0 };
        Main->Game().GameKind = gkLocal;
        Main->Game().StartGame();
    }

    void Trigger(const char* action) { Main->findChild<QAction*>(action)->trigger(); }

    QTemporaryDir m_Home;
    std::vector<std::string> Boxes;
    int Answer = idNo;
    TRecordingPresenter* Presenter = nullptr;
    std::unique_ptr<TfrmMain> Main;
};

// While the question waits the clock stands still, as for every other question; No lets the
// game go on with its clock, Yes forfeits.
TEST_F(MainCommandsTest, TheClockStandsStillWhileTheForfeitQuestionWaits) {
    StartTwoPersons();
    ASSERT_TRUE(Main->Game().Clock().isActive());
    bool clockRan = true;
    Presenter->OnShown = [&](const TShownBox&) { clockRan = Main->Game().Clock().isActive(); };
    Answer = idNo;
    Trigger("Menu_Game_Forfeit");
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_FALSE(clockRan);
    EXPECT_EQ(Main->Game().GameState, gsPlaying);
    EXPECT_TRUE(Main->Game().Clock().isActive());

    clockRan = true;
    Answer = idYes;
    Trigger("Menu_Game_Forfeit");
    EXPECT_FALSE(clockRan);
    EXPECT_EQ(Main->Game().GameState, gsStopped);
    ASSERT_EQ(Main->History().Count(), 1);
    EXPECT_EQ(Main->History().Last()->Result, grWhiteForfeited);
}

TEST_F(MainCommandsTest, F1OpensTheHelpFromTheBoard) {
    auto* help = Main->findChild<TfrmHelp*>("frmHelp");
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(Main->findChild<QAction*>("Menu_Help_Help")->shortcut(), QKeySequence(Qt::Key_F1));
    ASSERT_FALSE(help->isVisible());
    Main->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Main.get()));
    QTest::keyClick(&Main->Board(), Qt::Key_F1);
    EXPECT_TRUE(WaitFor([&] { return help->isVisible(); }, 5000));
    help->close();
}

// The save dialog opens in the user's documents folder (the home folder when there is none),
// then in the folder of the last game file chosen.
TEST_F(MainCommandsTest, TheSaveDialogOpensInTheDocumentsFolderThenInTheLastOneUsed) {
    StartTwoPersons();
    QStringList proposed;
    QString chosen = m_Home.filePath(QStringLiteral("games/first.wtg"));
    ASSERT_TRUE(QDir(m_Home.path()).mkpath(QStringLiteral("games")));
    Main->Seams().ChooseSaveFile = [&](const QString& path) {
        proposed.push_back(path);
        return chosen;
    };
    QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (documents.isEmpty() || !QFileInfo(documents).isDir())
        documents = QDir::homePath();
    Trigger("Menu_Game_Save");
    ASSERT_EQ(proposed.size(), 1);
    const QFileInfo first(proposed[0]);
    EXPECT_TRUE(first.isAbsolute()) << proposed[0].toStdString();
    EXPECT_EQ(first.absolutePath(), QFileInfo(documents).absoluteFilePath());
    EXPECT_TRUE(first.fileName().startsWith(QStringLiteral("Chess game - ")));
    EXPECT_TRUE(QFileInfo::exists(chosen));

    Trigger("Menu_Game_Save");
    ASSERT_EQ(proposed.size(), 2);
    EXPECT_EQ(QFileInfo(proposed[1]).absolutePath(), m_Home.filePath(QStringLiteral("games")));
    EXPECT_TRUE(Boxes.empty());
}

// Shown for the first time on a fresh home, the moves window opens beside the main window,
// wherever the main window stands and however wide it is.
TEST_F(MainCommandsTest, TheMovesWindowFirstOpensBesideTheMainWindow) {
    auto* moves = Main->findChild<TfrmMoves*>("frmMoves");
    ASSERT_NE(moves, nullptr);
    const QRect screen = Main->screen()->availableGeometry();
    // As a window manager may place it: away from the corner the first run asked for.
    Main->move(screen.left() + 300, screen.top() + 40);
    QCoreApplication::processEvents();
    const QRect main = Main->frameGeometry();
    Trigger("Menu_View_Moves");
    QCoreApplication::processEvents();
    ASSERT_TRUE(moves->isVisible());
    const QRect placed = moves->frameGeometry();
    EXPECT_EQ(placed.top(), main.top());
    if (main.left() - screen.left() < placed.width()
        && screen.right() - main.right() < placed.width())
        GTEST_SKIP() << "the screen has no room beside the main window";
    EXPECT_FALSE(placed.intersects(main));
    EXPECT_TRUE(screen.contains(placed));
}

// A dialog shown at start-up is centred on where the main window was asked to go; a window
// manager that places the main window elsewhere moves it after. The dialog follows it, unless
// the user moved the dialog.
class StartDialogTest : public MainCommandsTest {
protected:
    void SetUp() override {
        MainCommandsTest::SetUp();
        SetMessagePresenter(std::make_unique<TMessageBoxPresenter>(Main.get()));
        Presenter = nullptr;
    }

    // Runs `open` (which shows a modal dialog) and, while the dialog is up, moves the main window
    // as a window manager would, then (byHand) moves the dialog as the user would and the main
    // window again.
    void CheckDialogFollows(const std::function<void()>& open, bool byHand = true) {
        bool checked = false;
        QTimer poll;
        poll.setInterval(20);
        QObject::connect(&poll, &QTimer::timeout, [&] {
            QWidget* dialog = QApplication::activeModalWidget();
            if (!dialog || !dialog->isVisible() || checked)
                return;
            checked = true;
            poll.stop();
            const QRect screen = Main->screen()->availableGeometry();
            Main->move(screen.left() + 120, screen.top() + 90);
            QCoreApplication::processEvents();
            EXPECT_EQ(dialog->frameGeometry().center(), Centred(*dialog))
                << "main " << Main->frameGeometry().center().x() << ","
                << Main->frameGeometry().center().y();
            if (byHand) {
                dialog->move(dialog->pos() + QPoint(7, 5));
                QCoreApplication::processEvents();
                const QPoint moved = dialog->pos();
                Main->move(screen.left() + 100, screen.top() + 70);
                QCoreApplication::processEvents();
                EXPECT_EQ(dialog->pos(), moved) << "a dialog the user moved stays";
            }
            static_cast<QDialog*>(dialog)->reject();
        });
        poll.start();
        open();
        EXPECT_TRUE(checked);
    }

    // A PGN file of two games, which opens the list of its games.
    QString WriteTwoGames() {
        const QString file = m_Home.filePath(QStringLiteral("two.pgn"));
        QFile out(file);
        if (!out.open(QIODevice::WriteOnly))
            return {};
        out.write("[White \"Ann\"]\n[Black \"Bob\"]\n[Result \"*\"]\n\n1. e4 e5 *\n\n"
                  "[White \"Cid\"]\n[Black \"Dee\"]\n[Result \"*\"]\n\n1. d4 d5 *\n");
        return file;
    }

    // The centre of the dialog centred on the main window, kept on the screen.
    QPoint Centred(const QWidget& dialog) const {
        QRect frame = dialog.frameGeometry();
        frame.moveCenter(Main->frameGeometry().center());
        const QRect screen = Main->screen()->availableGeometry();
        frame.moveLeft(std::clamp(frame.left(), screen.left(), screen.right() + 1 - frame.width()));
        frame.moveTop(std::clamp(frame.top(), screen.top(), screen.bottom() + 1 - frame.height()));
        return frame.center();
    }
};

TEST_F(StartDialogTest, TheMessageBoxOfAFileThatCannotBeOpenedFollowsTheMainWindow) {
    const QString file = m_Home.filePath(QStringLiteral("missing.wtg"));
    CheckDialogFollows([&] {
        Main->OpenStartFile({ QStringLiteral("wintermoot"), file });
        WaitFor([] { return false; }, 300);
    });
}

TEST_F(StartDialogTest, ThePgnGameListFollowsTheMainWindow) {
    const QString file = WriteTwoGames();
    ASSERT_FALSE(file.isEmpty());
    CheckDialogFollows([&] {
        Main->OpenStartFile({ QStringLiteral("wintermoot"), file });
        WaitFor([] { return false; }, 300);
    });
}

// A dialog that followed the main window is centred on it again the next time it opens, wherever
// the main window went meanwhile.
TEST_F(StartDialogTest, ADialogThatFollowedIsCentredAgainWhenItOpensNextTime) {
    const QString file = WriteTwoGames();
    ASSERT_FALSE(file.isEmpty());
    CheckDialogFollows(
        [&] {
            Main->OpenStartFile({ QStringLiteral("wintermoot"), file });
            WaitFor([] { return false; }, 300);
        },
        false);
    const QRect screen = Main->screen()->availableGeometry();
    Main->move(screen.left() + 10, screen.top() + 20);
    QCoreApplication::processEvents();
    bool checked = false;
    QTimer::singleShot(50, Main.get(), [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        checked = true;
        // Qt centres the dialog itself, rounding its own way.
        EXPECT_LE((dialog->frameGeometry().center() - Centred(*dialog)).manhattanLength(), 2);
        dialog->reject();
    });
    Main->OpenGameFile(file);
    EXPECT_TRUE(checked);
}

} // namespace
