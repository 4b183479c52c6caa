// wintermoot-cli history in a time zone with summer time: a game recorded at a reading the local
// clock skips is listed with that reading, not as an unknown date.

#include "RunProgram.h"
#include "UnitHistory.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

namespace {

// Runs with TZ set for this process and its children; the previous value comes back afterwards.
class CliDatesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Home.isValid());
        const char* zone = std::getenv("TZ");
        m_Had = zone != nullptr;
        m_Previous = zone ? zone : "";
        SetZone("Europe/Berlin");
        if (QDateTime(QDate(2024, 3, 31), QTime(2, 30), Qt::LocalTime).isValid())
            SetZone("CET-1CEST,M3.5.0,M10.5.0/3");
    }
    void TearDown() override {
        if (m_Had)
            setenv("TZ", m_Previous.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    static void SetZone(const char* zone) {
        setenv("TZ", zone, 1);
        tzset();
    }

    QTemporaryDir Home;

private:
    bool m_Had = false;
    std::string m_Previous;
};

TEST_F(CliDatesTest, AReadingTheClockSkippedIsListedAsStored) {
    ASSERT_FALSE(QDateTime(QDate(2024, 3, 31), QTime(2, 30), Qt::LocalTime).isValid());
    const double days = double(QDate(1899, 12, 30).daysTo(QDate(2024, 3, 31)));
    THistory history;
    ASSERT_TRUE(history.AddGame("Ann", "Bob", days + 150.0 / 1440, 0, 0, grTied, TMoveList()));
    ASSERT_TRUE(history.AddGame("Cy", "Di", days + 210.0 / 1440, 0, 0, grWhiteWon, TMoveList()));
    const std::string path = Home.filePath("history.dat").toStdString();
    ASSERT_TRUE(history.SaveToFile(QString::fromStdString(path)));

    const TProgramRun run = RunProgram(WINTERMOOT_CLI, { "history", path });
    EXPECT_EQ(run.Status, 0) << run.Err;
    EXPECT_EQ(run.Out,
        "1\t2024-03-31 02:30\tAnn\tBob\tTied\t0\n"
        "2\t2024-03-31 03:30\tCy\tDi\tWhite won\t0\n");
}

} // namespace
