#include "GameTestSupport.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct TRun {
    int ExitCode = -1;
    QStringList Lines;
    QString Errors;
};

TRun RunSelfplay(const QStringList& arguments) {
    QProcess process;
    process.start(WINTERMOOT_CLI, QStringList { "selfplay" } + arguments);
    TRun run;
    if (!process.waitForFinished(120000))
        return run;
    run.ExitCode = process.exitCode();
    run.Lines = QString::fromUtf8(process.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    run.Errors = QString::fromUtf8(process.readAllStandardError());
    return run;
}

TEST(SelfplayTest, PlaysPrintsSavesAndEndsWithTheResult) {
    QTemporaryDir dir;
    const QString file = dir.filePath("game.wtg");
    const QStringList arguments { "--depth", "1", "--seed", "9", "--max-moves", "40",
        "--save-after", "10", file };
    const TRun run = RunSelfplay(arguments);
    ASSERT_EQ(run.ExitCode, 0) << run.Errors.toStdString();
    ASSERT_GE(run.Lines.size(), 12);
    EXPECT_LE(run.Lines.size(), 41);
    const QStringList results { "result: white won", "result: black won", "result: tied",
        "result: unfinished" };
    EXPECT_TRUE(results.contains(run.Lines.last())) << run.Lines.last().toStdString();
    EXPECT_TRUE(run.Lines.first().contains(QRegularExpression("^[a-h][1-8][a-h][1-8]( |$)")));

    TChessGame game;
    ASSERT_TRUE(game.LoadGame(file));
    EXPECT_EQ(game.Moves.Count(), 10);
    EXPECT_EQ(game.Turn, pcWhite);
    for (uint16_t i = 0; i < 10; ++i) {
        const TMoveRecord* m = game.Moves.Item(i);
        EXPECT_TRUE(run.Lines[i].startsWith(
            QString::fromStdString(SquareName(m->From) + SquareName(m->To))));
    }
    EXPECT_EQ(RunSelfplay(arguments).Lines, run.Lines);
}

TEST(SelfplayTest, BadArgumentsAreRefused) {
    for (const QStringList& arguments : { QStringList { "--depth", "x" }, QStringList { "--depth" },
             QStringList { "--white-level", "3" }, QStringList { "--save-after", "5" },
             QStringList { "--max-moves", "5", "--save-after", "5", "f.wtg" },
             QStringList { "--colour", "white" } }) {
        const TRun run = RunSelfplay(arguments);
        EXPECT_EQ(run.ExitCode, 2) << arguments.join(' ').toStdString();
        EXPECT_TRUE(run.Lines.isEmpty());
        EXPECT_TRUE(run.Errors.startsWith("wintermoot-cli selfplay: "));
    }
}

// A promotion is printed with its piece, so that the printed game can be played again.
TEST(SelfplayTest, PrintsThePieceOfEveryPromotion) {
    const QRegularExpression promotion("^[a-h][27][a-h][18][qrbn]( capture)? promotion( |$)");
    QStringList promotions;
    for (int seed = 1; seed <= 20 && promotions.isEmpty(); ++seed) {
        const TRun run = RunSelfplay(
            { "--depth", "1", "--seed", QString::number(seed), "--max-moves", "200" });
        ASSERT_EQ(run.ExitCode, 0) << run.Errors.toStdString();
        for (const QString& line : run.Lines) {
            if (line.contains("promotion"))
                promotions << line;
        }
    }
    ASSERT_FALSE(promotions.isEmpty()) << "no game of the first 20 seeds promoted";
    for (const QString& line : promotions)
        EXPECT_TRUE(line.contains(promotion)) << line.toStdString();
}

} // namespace
