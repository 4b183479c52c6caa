// The engine list of the settings file, the engines offered at first start, the reading of the
// options an engine announces, and the probe that asks a program for them.

#include "EngineCatalog.h"
#include "EngineProbe.h"
#include "ForkingEngine.h"
#include "GameTestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <ostream>

namespace {

struct TOptionCase {
    const char* Name;
    const char* Line;
    std::optional<TUciOption> Expected;
};

TUciOption Option(const char* name, TUciOption::TType type, const char* fallback, int min = 0,
    int max = 0, QStringList vars = {}) {
    return { QString::fromUtf8(name), type, QString::fromUtf8(fallback), min, max, vars };
}

void PrintTo(const TOptionCase& option, std::ostream* out) {
    *out << '"' << option.Line << '"';
}

class UciOptionLine : public testing::TestWithParam<TOptionCase> { };

TEST_P(UciOptionLine, ReadsAsExpected) {
    EXPECT_EQ(ParseUciOption(QString::fromUtf8(GetParam().Line)), GetParam().Expected)
        << GetParam().Line;
}

INSTANTIATE_TEST_SUITE_P(EngineCatalog, UciOptionLine,
    testing::Values(TOptionCase { "SpinWithSpaceInName",
                        "option name Skill Level type spin default 20 min 0 max 20",
                        Option("Skill Level", TUciOption::Spin, "20", 0, 20) },
        TOptionCase { "CheckDefaultsToFalse", "option name UCI_LimitStrength type check",
            Option("UCI_LimitStrength", TUciOption::Check, "false") },
        TOptionCase { "CheckTrue", "option  name Ponder   type check default true",
            Option("Ponder", TUciOption::Check, "true") },
        TOptionCase { "ComboVarList",
            "option name Style type combo default Normal var Solid var Normal var Very Risky",
            Option("Style", TUciOption::Combo, "Normal", 0, 0,
                { QStringLiteral("Solid"), QStringLiteral("Normal"),
                    QStringLiteral("Very Risky") }) },
        TOptionCase { "Button", "option name Clear Hash type button",
            Option("Clear Hash", TUciOption::Button, "") },
        TOptionCase { "StringEmpty", "option name Debug Log File type string default <empty>",
            Option("Debug Log File", TUciOption::String, "") },
        TOptionCase { "StringWithSpaces",
            "option name SyzygyPath type string default /usr/share/syzygy tables",
            Option("SyzygyPath", TUciOption::String, "/usr/share/syzygy tables") },
        TOptionCase { "NameHoldingAKeyword",
            "option name Max Depth type spin default 3 min 1 max 9",
            Option("Max Depth", TUciOption::Spin, "3", 1, 9) },
        TOptionCase { "SpinDefaultOutsideRangeIsClamped",
            "option name UCI_Elo type spin default 100 min 1320 max 3190",
            Option("UCI_Elo", TUciOption::Spin, "1320", 1320, 3190) },
        TOptionCase { "OtherCommand", "id name Stockfish 16", std::nullopt },
        TOptionCase { "NoName", "option type spin default 1 min 0 max 2", std::nullopt },
        TOptionCase { "EmptyName", "option name type check", std::nullopt },
        TOptionCase { "NoType", "option name Hash default 16", std::nullopt },
        TOptionCase { "UnknownType", "option name Hash type slider default 16", std::nullopt },
        TOptionCase { "SpinWithoutNumbers", "option name Hash type spin default big min 1 max 2",
            std::nullopt },
        TOptionCase { "SpinWithoutRange", "option name Hash type spin default 16", std::nullopt },
        TOptionCase {
            "SpinMinAboveMax", "option name Hash type spin default 5 min 9 max 1", std::nullopt },
        TOptionCase { "Blank", "", std::nullopt },
        TOptionCase { "Binary", "option name \x01\x02 type", std::nullopt }),
    [](const testing::TestParamInfo<TOptionCase>& info) { return std::string(info.param.Name); });

class EngineCatalogFile : public testing::Test {
protected:
    QString Write(const QByteArray& text) {
        const QString path = m_Dir.filePath(QStringLiteral("case%1.ini").arg(++m_Files));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
        return path;
    }
    std::optional<TEngineCatalog> Read(const QString& path) {
        QSettings ini(path, QSettings::IniFormat);
        return ReadEngineCatalog(ini);
    }

    QTemporaryDir m_Dir;
    int m_Files = 0;
};

TEST_F(EngineCatalogFile, EveryFieldSurvivesAWriteAndARead) {
    TEngineCatalog catalog;
    catalog.Entries.push_back(
        { QStringLiteral("Stockfish 16, strong"), QStringLiteral("/usr/games/stockfish"), {},
            { { QStringLiteral("Skill Level"), QStringLiteral("5") },
                { QStringLiteral("Debug Log File"), QStringLiteral("/tmp/a b, c.log") } } });
    catalog.Entries.push_back(
        { QStringLiteral("Wintermoot ä"), QStringLiteral("/opt/my engines/wintermoot-engine"),
            { QStringLiteral("--threads"), QStringLiteral("2"), QStringLiteral("a b") }, {} });
    const QString path = m_Dir.filePath(QStringLiteral("round.ini"));
    {
        QSettings ini(path, QSettings::IniFormat);
        ini.setValue(QStringLiteral("Game/SearchDepth"), 4);
        WriteEngineCatalog(ini, catalog);
    }
    EXPECT_EQ(Read(path), catalog);
    // An emptied list stays a list: the engines found on the machine are not offered again.
    {
        QSettings ini(path, QSettings::IniFormat);
        WriteEngineCatalog(ini, TEngineCatalog());
    }
    EXPECT_EQ(Read(path), TEngineCatalog());
    QSettings ini(path, QSettings::IniFormat);
    EXPECT_EQ(ini.value(QStringLiteral("Game/SearchDepth")).toInt(), 4) << "other sections kept";
}

TEST_F(EngineCatalogFile, AnOlderFileHasNoList) {
    EXPECT_EQ(Read(m_Dir.filePath(QStringLiteral("missing.ini"))), std::nullopt);
    EXPECT_EQ(Read(Write("[Options]\nAutoUpdate=0\n[Game]\nWhitePlayerName=Ann\n")), std::nullopt);
}

TEST_F(EngineCatalogFile, ADamagedSectionGivesWhatCanBeRead) {
    EXPECT_EQ(Read(Write("[Engines]\nCount=lots\nEngine1\\Command=/bin/x\n")), TEngineCatalog());
    EXPECT_EQ(Read(Write("[Engines]\nCount=-5\n")), TEngineCatalog());
    // A section the user emptied by hand is an empty list, not a file that never had one, so
    // the engines found on the machine are not offered again.
    EXPECT_EQ(Read(Write("[Engines]\n")), TEngineCatalog());
    EXPECT_EQ(
        Read(Write("[Options]\nAutoUpdate=0\n\n  [Engines]  \r\n[Game]\nA=1\n")), TEngineCatalog());

    // A missing command drops its entry; a missing name is the program's file name; a bad
    // option count reads no options; a huge count is cut.
    const auto catalog = Read(Write("[Engines]\nCount=99999999\n"
                                    "Engine1\\Name=No command\n"
                                    "Engine2\\Command=/usr/bin/eng\n"
                                    "Engine2\\OptionCount=x\nEngine2\\Option1=Hash\n"
                                    "Engine3\\Name=Three\nEngine3\\Command=/e3\n"
                                    "Engine3\\OptionCount=3\nEngine3\\Option1=Hash\n"
                                    "Engine3\\Value1=64\nEngine3\\Option3=\n"
                                    "garbage line without equals\n"));
    ASSERT_TRUE(catalog);
    ASSERT_EQ(catalog->Entries.size(), 2u);
    EXPECT_EQ(catalog->Entries[0].Name, "eng");
    EXPECT_TRUE(catalog->Entries[0].Options.isEmpty());
    EXPECT_EQ(catalog->Entries[1].Name, "Three");
    ASSERT_EQ(catalog->Entries[1].Options.size(), 1);
    EXPECT_EQ(
        catalog->Entries[1].Options[0], qMakePair(QStringLiteral("Hash"), QStringLiteral("64")));
}

TEST(EngineCatalog, ArgumentsSplitAndJoinBack) {
    const QStringList parts
        = SplitArguments(QStringLiteral("  --uci  \"/a dir/book.bin\" -x \"\"  last"));
    EXPECT_EQ(parts,
        QStringList({ QStringLiteral("--uci"), QStringLiteral("/a dir/book.bin"),
            QStringLiteral("-x"), QString(), QStringLiteral("last") }));
    EXPECT_EQ(SplitArguments(JoinArguments(parts)), parts);
    // Every kind of space is kept inside its argument.
    const QStringList spaced { QStringLiteral("a\u00A0b"), QStringLiteral("c\td"),
        QStringLiteral("e\nf") };
    EXPECT_EQ(SplitArguments(JoinArguments(spaced)), spaced);
    EXPECT_TRUE(SplitArguments(QStringLiteral("   ")).isEmpty());
}

// Makes an executable (or plain) file in the folder.
void MakeProgram(const QString& folder, const char* name, bool executable) {
    QDir().mkpath(folder);
    QFile file(QDir(folder).filePath(QLatin1String(name)));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("#!/bin/sh\n");
    file.close();
    file.setPermissions(executable ? QFileDevice::ReadOwner | QFileDevice::ExeOwner
                                   : QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

TEST(EngineCatalog, OffersTheEnginesFoundInTheirPlacesOrOnThePath) {
    QTemporaryDir dir;
    const QString fixed = dir.filePath(QStringLiteral("games"));
    const QString program = dir.filePath(QStringLiteral("bin"));
    const QString onPath = dir.filePath(QStringLiteral("path"));
    const QString notExecutable = dir.filePath(QStringLiteral("plain"));
    MakeProgram(onPath, "stockfish", true);
    MakeProgram(notExecutable, "wintermoot-engine", false);
    MakeProgram(program, "wintermoot-engine", true);
    const std::vector<std::pair<QString, QStringList>> candidates {
        { QStringLiteral("stockfish"), { fixed } },
        { QStringLiteral("wintermoot-engine"), { notExecutable, program } },
    };
    TEngineCatalog found = FindEngines(candidates, onPath + QStringLiteral(":/nonexistent"));
    ASSERT_EQ(found.Entries.size(), 2u);
    EXPECT_EQ(found.Entries[0].Name, "Stockfish");
    EXPECT_EQ(found.Entries[0].Command, QDir(onPath).filePath(QStringLiteral("stockfish")));
    EXPECT_EQ(found.Entries[1].Name, "Wintermoot engine");
    EXPECT_EQ(
        found.Entries[1].Command, QDir(program).filePath(QStringLiteral("wintermoot-engine")));

    // The fixed places come before the path.
    MakeProgram(fixed, "stockfish", true);
    found = FindEngines(candidates, onPath);
    EXPECT_EQ(found.Entries[0].Command, QDir(fixed).filePath(QStringLiteral("stockfish")));
    EXPECT_TRUE(FindEngines(candidates, QString()).Entries.size() == 2);
    EXPECT_TRUE(FindEngines({ { QStringLiteral("stockfish"), {} } }, QString()).Entries.empty());
}

class EngineProbeTest : public testing::Test {
protected:
    EngineProbeTest() {
        QObject::connect(&Probe, &TEngineProbe::finished, &Probe, [this](const TEngineInfo& info) {
            Info = info;
            ++Answers;
        });
        QObject::connect(&Probe, &TEngineProbe::failed, &Probe, [this](const QString& cause) {
            Cause = cause;
            ++Answers;
        });
    }

    TEngineProbe Probe;
    std::optional<TEngineInfo> Info;
    QString Cause;
    int Answers = 0;
};

TEST_F(EngineProbeTest, ReadsTheNameAndOptionsOfTheProjectsEngine) {
    Probe.Start(QStringLiteral(WINTERMOOT_ENGINE));
    ASSERT_TRUE(WaitUntil([&] { return Answers > 0; }));
    ASSERT_TRUE(Info) << Cause.toStdString();
    EXPECT_TRUE(Info->Name.startsWith(QStringLiteral("Wintermoot "))) << Info->Name.toStdString();
    const auto level = std::find_if(Info->Options.begin(), Info->Options.end(),
        [](const TUciOption& option) { return option.Name == QLatin1String("Level"); });
    ASSERT_NE(level, Info->Options.end());
    EXPECT_EQ(level->Type, TUciOption::Combo);
    EXPECT_EQ(level->Vars.size(), 3);
    // The engine is asked to quit and goes.
    EXPECT_TRUE(WaitUntil([&] { return Probe.findChildren<QProcess*>().isEmpty(); }, 5000));
    RunEventsFor(50);
    EXPECT_EQ(Answers, 1);
}

// A program the engine started ends with the engine once the probe has its answer.
TEST_F(EngineProbeTest, TheProgramsChildrenEndWithIt) {
    QTemporaryDir dir;
    const std::string script = dir.filePath("engine.sh").toStdString();
    ASSERT_TRUE(WriteForkingEngine(script, script + ".pid", "exec '" WINTERMOOT_ENGINE "'"));
    Probe.Start(QString::fromStdString(script));
    ASSERT_TRUE(WaitUntil([&] { return Answers > 0; }));
    ASSERT_TRUE(Info) << Cause.toStdString();
    const pid_t sleeper = ReadSleeperPid(script + ".pid");
    ASSERT_GT(sleeper, 0);
    EXPECT_TRUE(WaitForProcessEnd(sleeper, 5000, [] { RunEventsFor(10); }));
    if (!ProcessEnded(sleeper))
        ::kill(sleeper, SIGKILL);
}

TEST_F(EngineProbeTest, AProgramWithoutUciOkFailsAtTheLimitAndIsStopped) {
    Probe.TimeoutMs = 300;
    Probe.Start(QStringLiteral(BAD_ENGINE), { QStringLiteral("no-uciok") });
    ASSERT_TRUE(WaitUntil([&] { return Answers > 0; }, 5000));
    EXPECT_FALSE(Info);
    EXPECT_EQ(Cause, "did not answer uci within 0.3 s");
    EXPECT_TRUE(WaitUntil([&] { return Probe.findChildren<QProcess*>().isEmpty(); }, 5000));
    EXPECT_EQ(Answers, 1);
}

TEST_F(EngineProbeTest, AProgramThatCannotRunOrExitsFailsAtOnce) {
    QTemporaryDir dir;
    const QString plain = dir.filePath(QStringLiteral("notes.txt"));
    QFile file(plain);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not a program\n");
    file.close();
    Probe.Start(plain);
    ASSERT_TRUE(WaitUntil([&] { return Answers > 0; }, 5000));
    EXPECT_TRUE(Cause.startsWith(QStringLiteral("could not be started"))) << Cause.toStdString();

    // A program that ends at once without a word.
    Probe.Start(QStringLiteral("/bin/sh"), { QStringLiteral("-c"), QStringLiteral("exit 0") });
    ASSERT_TRUE(WaitUntil([&] { return Answers > 1; }, 5000));
    EXPECT_EQ(Cause, "exited without answering uci");
    EXPECT_FALSE(Info);
}

} // namespace
