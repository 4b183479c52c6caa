// The computer's search depth is a setting: kept in section "Game" of the settings file, set by
// the options dialog and given to the controller when the program starts.

#include "AppPaths.h"
#include "FormAbout.h"
#include "FormGame.h"
#include "FormMain.h"
#include "FormMoves.h"
#include "FormOptions.h"
#include "Settings.h"
#include "UnitMessages.h"
#include "WindowTestSupport.h"

#include <QComboBox>
#include <QFile>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

namespace {

class SearchDepthSettingTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_Home.isValid());
        qputenv("WINTERMOOT_HOME", m_Home.path().toLocal8Bit());
        SetMessagePresenter(std::make_unique<TRecordingPresenter>(Boxes, Answer));
    }
    void TearDown() override {
        SetMessagePresenter(nullptr);
        EXPECT_TRUE(Boxes.empty());
    }

    void WriteIni(const QByteArray& text) {
        QFile file(AppPaths::SettingsFile());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }

    // A main window made as at program start, with its options dialog.
    std::unique_ptr<TfrmMain> Start() {
        auto main = std::make_unique<TfrmMain>();
        main->Seams().PlaySound = nullptr;
        return main;
    }

    QTemporaryDir m_Home;
    std::vector<std::string> Boxes;
    int Answer = idNo;
};

TEST_F(SearchDepthSettingTest, ReadFromSectionGameWithThreeForAMissingOrBadValue) {
    // One file per case: QSettings may keep a file it has read when a rewrite leaves its size
    // and time unchanged.
    int files = 0;
    const auto depthIn = [&](const QByteArray& text) {
        const QString path = m_Home.filePath(QStringLiteral("case%1.ini").arg(++files));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
        file.close();
        return LoadSettings(path).SearchDepth;
    };
    EXPECT_EQ(LoadSettings(m_Home.filePath(QStringLiteral("none.ini"))).SearchDepth, 3)
        << "no file";
    EXPECT_EQ(depthIn("[Options]\nAutoUpdate=0\n[Game]\nWhitePlayerName=Ann\n"), 3)
        << "a file of an older version";
    for (const char* value : { "6", "2", "8" })
        EXPECT_EQ(
            depthIn(QByteArray("[Game]\nSearchDepth=") + value + "\n"), QByteArray(value).toInt());
    for (const char* bad : { "1", "9", "-3", "deep", "", "4.5", "99999999999999999999" })
        EXPECT_EQ(depthIn(QByteArray("[Game]\nSearchDepth=") + bad + "\n"), 3) << bad;
}

TEST_F(SearchDepthSettingTest, SavedBesideTheNewGameDialogsEntries) {
    WriteIni("[Game]\nWhitePlayerName=Ann\nHostIp=10.0.0.2\n");
    TSettings settings;
    settings.SearchDepth = 7;
    ASSERT_TRUE(SaveSettings(settings, AppPaths::SettingsFile()));
    QSettings ini(AppPaths::SettingsFile(), QSettings::IniFormat);
    EXPECT_EQ(ini.value("Game/SearchDepth").toString(), "7");
    EXPECT_EQ(ini.value("Game/WhitePlayerName").toString(), "Ann");
    EXPECT_EQ(ini.value("Game/HostIp").toString(), "10.0.0.2");
    EXPECT_EQ(LoadSettings(AppPaths::SettingsFile()), settings);
}

TEST_F(SearchDepthSettingTest, TheDepthChosenInTheOptionsIsTheDepthOfTheNextStart) {
    {
        auto main = Start();
        EXPECT_EQ(main->Game().SearchDepth(), 3) << "first run";
        auto* options = main->findChild<TfrmOptions*>("frmOptions");
        QTimer::singleShot(0, options, [options] {
            options->cmbSearchDepth->setCurrentIndex(4); // "6"
            QTest::mouseClick(options->btnOk, Qt::LeftButton);
            if (options->isVisible())
                options->reject();
        });
        EXPECT_TRUE(options->ShowOptions());
        EXPECT_EQ(main->Game().SearchDepth(), 6);
        EXPECT_EQ(main->Settings().SearchDepth, 6);
    }
    auto next = Start();
    EXPECT_EQ(next->Game().SearchDepth(), 6);
    EXPECT_EQ(next->Settings().SearchDepth, 6);

    auto* options = next->findChild<TfrmOptions*>("frmOptions");
    QTimer::singleShot(0, options, [options] {
        EXPECT_EQ(options->cmbSearchDepth->currentText(), "6");
        options->reject();
    });
    options->ShowOptions();
}

TEST_F(SearchDepthSettingTest, ABadStoredDepthStartsAtThree) {
    WriteIni("[Game]\nSearchDepth=12\n");
    EXPECT_EQ(Start()->Game().SearchDepth(), 3);
}

} // namespace
