// Every reader of the user's files refuses a FIFO instead of waiting for a writer: opening one for
// reading blocks until something writes, which would freeze the window for good. Each row hands
// a FIFO to one reader; a writer thread notices whether the reader opened it.

#include "FormMain.h"
#include "LanguagePack.h"
#include "Settings.h"
#include "UnitHistory.h"
#include "UnitThemes.h"
#include "WindowTestSupport.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

struct TFifoReader {
    const char* Name;
    const char* FileName;
    // Reads the file as the program does; answers whether the reader took it as readable.
    std::function<bool(const QString& path)> Read;
    friend void PrintTo(const TFifoReader& row, std::ostream* os) { *os << row.Name; }
};

class FifoReaderTest : public testing::TestWithParam<TFifoReader> { };

TEST_P(FifoReaderTest, IsRefusedWithoutOpeningIt) {
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    qputenv("WINTERMOOT_HOME", home.path().toLocal8Bit());
    const QString path = home.filePath(QString::fromLatin1(GetParam().FileName));
    ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);

    // The writer's open returns once a reader has opened the FIFO: before the reader was done,
    // that reader is the program (which may open it more than once); after, it is this test
    // letting the writer go.
    std::atomic<bool> released = false;
    std::atomic<bool> openedByReader = false;
    std::atomic<bool> writerDone = false;
    std::thread writer([&] {
        while (!released) {
            const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY);
            if (!released)
                openedByReader = true;
            if (fd >= 0)
                ::close(fd);
        }
        writerDone = true;
    });
    const bool readable = GetParam().Read(path);
    released = true;
    while (!writerDone) {
        const int release = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK);
        if (release >= 0)
            ::close(release);
        std::this_thread::yield();
    }
    writer.join();

    EXPECT_FALSE(openedByReader) << GetParam().Name << " opened the FIFO";
    EXPECT_FALSE(readable);
}

// The window, with boxes recorded instead of shown.
bool OpenInWindow(const QString& path) {
    std::vector<std::string> boxes;
    SetMessagePresenter(std::make_unique<TRecordingPresenter>(boxes));
    bool opened = false;
    {
        TfrmMain main;
        opened = main.OpenGameFile(path);
    }
    SetMessagePresenter(nullptr);
    return opened || boxes.empty();
}

// The window started and shown, with the file in its home folder.
bool StartWindow(const QString&) {
    SetMessagePresenter(std::make_unique<TRecordingPresenter>());
    {
        TfrmMain main;
        main.show();
        QCoreApplication::processEvents();
    }
    SetMessagePresenter(nullptr);
    return false;
}

const TFifoReader FifoReaders[] = {
    { "SavedGameInTheWindow", "game.wtg", OpenInWindow },
    { "PgnInTheWindow", "games.pgn", OpenInWindow },
    { "SavedGame", "game.wtg", [](const QString& path) { return TChessGame::IsGameFile(path); } },
    { "History", "history.dat",
        [](const QString& path) {
            THistory history;
            return history.Load(path) != hlUnreadable;
        } },
    { "Themes", "Themes.ini",
        [](const QString& path) {
            TThemeList themes;
            return themes.LoadThemes(path);
        } },
    { "LanguageFile", "Fifo.lang",
        [](const QString& path) {
            TLangPack pack;
            return pack.LoadFromFile(QFile::encodeName(path).toStdString());
        } },
    // The settings reader never fails: a file it cannot read gives the defaults.
    { "SettingsRead", "Wintermoot.ini",
        [](const QString& path) {
            LoadSettings(path);
            return false;
        } },
    // The window reads its settings and new-game entries, and its layout, at start.
    { "WindowSettings", "Wintermoot.ini", StartWindow },
    { "WindowLayout", "layout.ini", StartWindow },
    { "SettingsWrite", "Wintermoot.ini",
        [](const QString& path) { return SaveSettings(TSettings(), path); } },
};

INSTANTIATE_TEST_SUITE_P(Readers, FifoReaderTest, testing::ValuesIn(FifoReaders),
    [](const testing::TestParamInfo<TFifoReader>& info) { return std::string(info.param.Name); });

} // namespace
