#include "AppPaths.h"
#include "Settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

// Failures print the fields rather than the bytes of the record.
void PrintTo(const TSettings& s, std::ostream* os) {
    QStringList fields { QString::number(s.AutoUpdate), QString::number(s.LearnMode),
        QString::number(s.ShowLastMove), s.LanguageFile, QString::number(s.Notation), s.GameServer,
        s.Theme.Name };
    for (TColor color : { s.Theme.Board, s.Theme.Player, s.Theme.Border, s.Theme.Text,
             s.Theme.Whites, s.Theme.Blacks, s.Theme.Hover, s.Theme.Selected, s.Theme.GoodMove,
             s.Theme.BadMove, s.Theme.LastMove })
        fields << QString::number(color, 16);
    fields << QString::number(s.Enhanced) << QString::number(s.ChessSet)
           << QString::number(s.PieceStyle) << QString::number(s.SmoothPieces)
           << QString::number(s.WhiteColor, 16) << QString::number(s.BlackColor, 16);
    for (int slot = 0; slot < SoundSlots; ++slot)
        fields << QString::number(s.SoundOn[slot]) << s.SoundFile[slot];
    *os << fields.join(QStringLiteral(" | ")).toStdString();
}

namespace {

class SettingsFileTest : public testing::Test {
protected:
    QString Path() const { return Dir.filePath(QStringLiteral("Wintermoot.ini")); }

    void WriteText(const QByteArray& text) const { WriteText(Path(), text); }

    void WriteText(const QString& path, const QByteArray& text) const {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
    }

    QByteArray ReadText() const {
        QFile file(Path());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir Dir;
};

// Every field changed from its default, with texts that INI files mangle easily.
TSettings Unusual() {
    TSettings settings;
    settings.AutoUpdate = false;
    settings.LearnMode = false;
    settings.ShowLastMove = false;
    settings.LanguageFile = QStringLiteral("Svenska (å ä ö).lang");
    settings.Notation = 0;
    settings.GameServer = QStringLiteral("http://chess.example:8080/a,b;c?x=\"1\"");
    settings.Theme.Name = QStringLiteral("Nuit étoilée");
    settings.Theme.Board = 1;
    settings.Theme.Player = 2;
    settings.Theme.Border = 0xFFFFFF;
    settings.Theme.Text = 0;
    settings.Theme.Whites = 0x123456;
    settings.Theme.Blacks = 0x654321;
    settings.Theme.Hover = 3;
    settings.Theme.Selected = 4;
    settings.Theme.GoodMove = 5;
    settings.Theme.BadMove = 6;
    settings.Theme.LastMove = 7;
    settings.Enhanced = true;
    settings.ChessSet = 20;
    settings.PieceStyle = 1;
    settings.SmoothPieces = true;
    settings.WhiteColor = 0xABCDEF;
    settings.BlackColor = 0;
    settings.SoundOn = { false, true, false, true, false, false };
    settings.SoundFile = { QStringLiteral("/home/ann/Sounds/move, soft.wav"),
        QStringLiteral("  @leading spaces and at"), QStringLiteral("back\\slash.wav"),
        QStringLiteral("ljud/schack#matt;1.wav"), QString(), QStringLiteral("Ъ.wav") };
    return settings;
}

TEST_F(SettingsFileTest, FirstRunWithoutAFileGivesTheDefaults) {
    const TSettings settings = LoadSettings(Path());
    EXPECT_TRUE(settings.LearnMode);
    EXPECT_TRUE(settings.AutoUpdate);
    EXPECT_TRUE(settings.ShowLastMove);
    for (bool on : settings.SoundOn)
        EXPECT_TRUE(on);
    EXPECT_EQ(settings.Theme.Board, 12550208u);
    EXPECT_EQ(settings.Theme.Blacks, 12541952u);
    EXPECT_EQ(settings.Theme.LastMove, 11184810u);
    EXPECT_EQ(settings.ChessSet, 3);
    EXPECT_EQ(settings.PieceStyle, 0);
    EXPECT_FALSE(settings.SmoothPieces) << "the one-bit pieces are the default look";
    EXPECT_EQ(settings.Notation, 2);
    EXPECT_EQ(settings.LanguageFile, "TolvanEn.lang");
    EXPECT_EQ(settings.GameServer, DefaultGameServer);
    EXPECT_EQ(settings.SoundFile[ssMessage], "ringout.wav");
    EXPECT_EQ(settings, TSettings());
    EXPECT_FALSE(QFile::exists(Path())) << "reading never creates the file";
}

TEST_F(SettingsFileTest, EveryFieldSurvivesASaveAndALoad) {
    ASSERT_TRUE(SaveSettings(Unusual(), Path()));
    EXPECT_EQ(LoadSettings(Path()), Unusual());
}

TEST_F(SettingsFileTest, FileHoldsTheKeysInDecimalWithBooleansAsDigits) {
    TSettings settings;
    settings.Enhanced = true;
    settings.ChessSet = 17;
    ASSERT_TRUE(SaveSettings(settings, Path()));
    const QString text = QString::fromUtf8(ReadText());
    for (const char* expected : { "[Options]", "[Gameboard]", "[ChessSet]", "[Sounds]",
             "AutoUpdate=1", "Enhanced=1", "ChessSet=17", "Board=12550208", "Hover=16749909",
             "BlackColor=8421504", "PlayOnMessage=1", "KingCheckmate=tada.wav",
             "LanguageFile=TolvanEn.lang", "Notation=2" })
        EXPECT_TRUE(text.contains(QLatin1String(expected))) << expected << "\n"
                                                            << text.toStdString();
    settings.Enhanced = false;
    ASSERT_TRUE(SaveSettings(settings, Path()));
    EXPECT_TRUE(QString::fromUtf8(ReadText()).contains(QLatin1String("Enhanced=0")));
}

TEST_F(SettingsFileTest, SavingKeepsTheKeysOfOtherSections) {
    WriteText("[Game]\nWhiteName=Ann\nBlackName=Bo\nLevel=2\n\n[Options]\nLearnMode=0\n");
    ASSERT_TRUE(SaveSettings(Unusual(), Path()));
    QSettings ini(Path(), QSettings::IniFormat);
    EXPECT_EQ(ini.value("Game/WhiteName").toString(), "Ann");
    EXPECT_EQ(ini.value("Game/BlackName").toString(), "Bo");
    EXPECT_EQ(ini.value("Game/Level").toString(), "2");
    EXPECT_EQ(LoadSettings(Path()), Unusual());
}

TEST_F(SettingsFileTest, AnOlderFileWithoutSmoothPiecesLoadsWithThemOff) {
    WriteText("[ChessSet]\nChessSet=5\nPieceStyle=1\nWhiteColor=255\nBlackColor=0\n");
    const TSettings settings = LoadSettings(Path());
    EXPECT_EQ(settings.ChessSet, 5);
    EXPECT_FALSE(settings.SmoothPieces);
    ASSERT_TRUE(SaveSettings(settings, Path()));
    EXPECT_TRUE(QString::fromUtf8(ReadText()).contains(QLatin1String("SmoothPieces=0")));
}

TEST_F(SettingsFileTest, HandWrittenValuesAreReadAsTheyStand) {
    WriteText("[Options]\nGameServer=http://a.example, backup\nNotation= 1 \n"
              "[Sounds]\nPieceMoved=/tmp/ä ö.wav\n[ChessSet]\nChessSet=020\n");
    const TSettings settings = LoadSettings(Path());
    EXPECT_EQ(settings.GameServer, "http://a.example, backup")
        << "an unquoted comma must not empty the value";
    EXPECT_EQ(settings.Notation, 1);
    EXPECT_EQ(settings.SoundFile[ssMoved], QStringLiteral("/tmp/ä ö.wav"));
    EXPECT_EQ(settings.ChessSet, 20);
}

TEST_F(SettingsFileTest, ASaveThatCannotBeWrittenFails) {
    WriteText("not a folder");
    EXPECT_FALSE(SaveSettings(TSettings(), Path() + QStringLiteral("/Wintermoot.ini")));
}

TEST_F(SettingsFileTest, ASaveOverADamagedFileRewritesIt) {
    WriteText("[Options\ngarbage line\n=orphan\n[Game]\nLevel=1\n");
    ASSERT_TRUE(SaveSettings(Unusual(), Path()));
    EXPECT_EQ(LoadSettings(Path()), Unusual());
}

// QSettings parses a section only when it is used, so damage in a section the settings do not
// read used to surface only in the write, which then reported a failure for a file it had written.
class DamagedSectionTest : public SettingsFileTest,
                           public testing::WithParamInterface<const char*> { };

TEST_P(DamagedSectionTest, ASaveOverTheFileSucceedsAndKeepsTheSettings) {
    WriteText(GetParam());
    const TSettings loaded = LoadSettings(Path());
    ASSERT_TRUE(SaveSettings(Unusual(), Path()));
    EXPECT_EQ(LoadSettings(Path()), Unusual());
    ASSERT_TRUE(SaveSettings(loaded, Path()));
    EXPECT_EQ(LoadSettings(Path()), loaded);
}

// The names of the rows below, in their order.
const char* const DamagedSectionNames[]
    = { "JunkEndingTheLastSection", "JunkEndingTheOnlySection", "JunkBeforeTheFirstSection" };

INSTANTIATE_TEST_SUITE_P(Files, DamagedSectionTest,
    testing::Values("[Options]\nNotation=1\n\n[Game]\nLevel=1\njunk line\n",
        "[Options]\nNotation=1\njunk line\n", "junk line\n[Sounds]\nPlayOnCheck=0\n"),
    [](const auto& info) { return std::string(DamagedSectionNames[info.index]); });

struct BadValueRow {
    std::string Name;
    QByteArray Text;
    std::function<void(TSettings&)> Expect;
    friend void PrintTo(const BadValueRow& row, std::ostream* os) { *os << row.Name; }
};

class SettingsValueTest : public SettingsFileTest,
                          public testing::WithParamInterface<BadValueRow> { };

// Each row's text replaces one key's line in a file of non-default values; the row's Expect says
// what that key then reads as. The edited copy gets its own name: QSettings keeps files it has
// read in a cache that a same-sized rewrite within the same moment would not refresh.
TEST_P(SettingsValueTest, ReadsAsExpected) {
    TSettings expected = Unusual();
    ASSERT_TRUE(SaveSettings(expected, Path()));
    QByteArray text = ReadText();
    const QByteArray section = GetParam().Text.left(GetParam().Text.indexOf('\n') + 1);
    const QByteArray line = GetParam().Text.mid(section.size());
    const qsizetype at = text.indexOf(section);
    ASSERT_GE(at, 0);
    const QByteArray key = line.left(line.indexOf('=') + 1);
    qsizetype old = text.indexOf("\n" + key, at);
    ASSERT_GE(old, 0) << key.toStdString();
    ++old;
    text.replace(old, text.indexOf('\n', old) - old + 1, line);
    const QString edited = Dir.filePath(QStringLiteral("Edited.ini"));
    WriteText(edited, text);

    GetParam().Expect(expected);
    EXPECT_EQ(LoadSettings(edited), expected);
}

INSTANTIATE_TEST_SUITE_P(Values, SettingsValueTest,
    testing::Values(BadValueRow { "ChessSetZero", "[ChessSet]\nChessSet=0\n",
                        [](TSettings& s) { s.ChessSet = 3; } },
        BadValueRow { "ChessSetAboveTheSets", "[ChessSet]\nChessSet=99\n",
            [](TSettings& s) { s.ChessSet = 3; } },
        BadValueRow { "ChessSetHuge", "[ChessSet]\nChessSet=4294967299\n",
            [](TSettings& s) { s.ChessSet = 3; } },
        BadValueRow {
            "ChessSetText", "[ChessSet]\nChessSet=five\n", [](TSettings& s) { s.ChessSet = 3; } },
        BadValueRow {
            "ChessSetFirst", "[ChessSet]\nChessSet=1\n", [](TSettings& s) { s.ChessSet = 1; } },
        BadValueRow {
            "NotationSeven", "[Options]\nNotation=7\n", [](TSettings& s) { s.Notation = 2; } },
        BadValueRow {
            "NotationNegative", "[Options]\nNotation=-1\n", [](TSettings& s) { s.Notation = 2; } },
        BadValueRow {
            "NotationStandard", "[Options]\nNotation=3\n", [](TSettings& s) { s.Notation = 3; } },
        BadValueRow {
            "NotationFour", "[Options]\nNotation=4\n", [](TSettings& s) { s.Notation = 2; } },
        BadValueRow { "BothSquaresOfTheLastMove", "[Options]\nShowLastMoveFrom=1\n",
            [](TSettings& s) { s.ShowLastMoveFrom = true; } },
        BadValueRow { "NotationAboveAByte", "[Options]\nNotation=256\n",
            [](TSettings& s) { s.Notation = 2; } },
        BadValueRow {
            "PieceStyleTwo", "[ChessSet]\nPieceStyle=2\n", [](TSettings& s) { s.PieceStyle = 0; } },
        BadValueRow { "SmoothPiecesOff", "[ChessSet]\nSmoothPieces=0\n",
            [](TSettings& s) { s.SmoothPieces = false; } },
        BadValueRow { "SmoothPiecesText", "[ChessSet]\nSmoothPieces=on\n",
            [](TSettings& s) { s.SmoothPieces = false; } },
        BadValueRow { "ColourAboveWhite", "[Gameboard]\nBoard=16777216\n",
            [](TSettings& s) { s.Theme.Board = 0xBF8040; } },
        BadValueRow { "ColourNegative", "[ChessSet]\nWhiteColor=-1\n",
            [](TSettings& s) { s.WhiteColor = 0xFFFFFF; } },
        BadValueRow { "ColourHexText", "[Gameboard]\nLastMove=0xAAAAAA\n",
            [](TSettings& s) { s.Theme.LastMove = 0xAAAAAA; } },
        BadValueRow { "ColourEmpty", "[Gameboard]\nSelected=\n",
            [](TSettings& s) { s.Theme.Selected = 0x55D5FF; } },
        BadValueRow { "ColourList", "[Gameboard]\nHover=1,2\n",
            [](TSettings& s) { s.Theme.Hover = 0xFF9555; } },
        BadValueRow { "BooleanTextTakesDefaultTrue", "[Options]\nAutoUpdate=no\n",
            [](TSettings& s) { s.AutoUpdate = true; } },
        BadValueRow { "BooleanTextTakesDefaultFalse", "[Gameboard]\nEnhanced=yes\n",
            [](TSettings& s) { s.Enhanced = false; } },
        BadValueRow { "BooleanAnyNonZeroIsTrue", "[Sounds]\nPlayOnMoved=-5\n",
            [](TSettings& s) { s.SoundOn[ssMoved] = true; } },
        BadValueRow { "BooleanZeroIsFalse", "[Sounds]\nPlayOnCaptured=0\n",
            [](TSettings& s) { s.SoundOn[ssCaptured] = false; } },
        BadValueRow { "KeysAreCaseSensitive", "[Options]\nLearnMode=1\nlearnmode=0\n",
            [](TSettings& s) { s.LearnMode = true; } }),
    [](const testing::TestParamInfo<BadValueRow>& info) { return info.param.Name; });

TEST(AppPathsTest, EveryUserFileLivesInTheHomeFolderWhenSet) {
    const QString home = qEnvironmentVariable("WINTERMOOT_HOME");
    ASSERT_FALSE(home.isEmpty());
    EXPECT_EQ(AppPaths::ConfigDir(), QDir::cleanPath(home));
    EXPECT_EQ(AppPaths::DataDir(), QDir::cleanPath(home));
    EXPECT_EQ(AppPaths::SettingsFile(), QDir::cleanPath(home) + "/Wintermoot.ini");
    EXPECT_EQ(AppPaths::HistoryFile(), QDir::cleanPath(home) + "/history.dat");
    const auto layout = AppPaths::LayoutStore();
    EXPECT_EQ(layout->format(), QSettings::IniFormat);
    EXPECT_EQ(layout->fileName(), QDir::cleanPath(home) + "/layout.ini");
}

class XdgPathsTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Root.isValid());
        m_Home = qgetenv("WINTERMOOT_HOME");
        m_Config = qgetenv("XDG_CONFIG_HOME");
        m_Data = qgetenv("XDG_DATA_HOME");
        qputenv("WINTERMOOT_HOME", "");
        qputenv("XDG_CONFIG_HOME", Root.filePath("config").toLocal8Bit());
        qputenv("XDG_DATA_HOME", Root.filePath("data").toLocal8Bit());
    }
    void TearDown() override {
        qputenv("WINTERMOOT_HOME", m_Home);
        qputenv("XDG_CONFIG_HOME", m_Config);
        qputenv("XDG_DATA_HOME", m_Data);
    }

    QTemporaryDir Root;

private:
    QByteArray m_Home, m_Config, m_Data;
};

TEST_F(XdgPathsTest, SettingsAndHistoryGoToTheXdgFoldersCreatedOnFirstUse) {
    EXPECT_EQ(AppPaths::SettingsFile(), Root.filePath("config/Wintermoot/Wintermoot.ini"));
    EXPECT_EQ(AppPaths::HistoryFile(), Root.filePath("data/Wintermoot/history.dat"));
    EXPECT_TRUE(QDir(Root.filePath("config/Wintermoot")).exists());
    EXPECT_TRUE(QDir(Root.filePath("data/Wintermoot")).exists());
}

TEST_F(XdgPathsTest, RelativeXdgFoldersAreIgnored) {
    qputenv("XDG_CONFIG_HOME", "relative/config");
    EXPECT_EQ(AppPaths::ConfigDir(), QDir::homePath() + "/.config/Wintermoot");
}

TEST(AppPathsTest, SharedFilesAreLookedUpNextToTheProgramFirst) {
    const QString program = QCoreApplication::applicationDirPath();
    const QStringList folders = AppPaths::ShareDirs();
    ASSERT_GE(folders.size(), 2);
    EXPECT_EQ(folders[0], program);
    EXPECT_EQ(folders[1], QDir::cleanPath(program + "/../share/wintermoot"));

    const QString name = QStringLiteral("wm-test-%1.lang").arg(QCoreApplication::applicationPid());
    EXPECT_EQ(AppPaths::FindShared(name), QString());
    QFile shipped(program + "/" + name);
    ASSERT_TRUE(shipped.open(QIODevice::WriteOnly));
    shipped.close();
    EXPECT_EQ(AppPaths::FindShared(name), shipped.fileName());
    shipped.remove();
    EXPECT_EQ(AppPaths::FindShared(QString()), QString());
}

} // namespace
