// Dates of the history shown in a time zone with summer time: a game recorded at a reading the
// local clock skips (02:30 on the morning the clocks go forward) still shows its day.

#include "FormAbout.h"
#include "FormGame.h"
#include "FormHistory.h"
#include "FormMain.h"
#include "FormMoves.h"
#include "LanguageApply.h"
#include "UnitHistory.h"
#include "UnitMessages.h"
#include "WindowTestSupport.h"

#include <QLocale>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <ctime>
#include <memory>

namespace {

// Sets TZ for the test process and gives the previous value back afterwards. Europe/Berlin
// where the system has its zone data, else the same rule written out.
class TScopedTimeZone {
public:
    TScopedTimeZone() {
        m_Had = qEnvironmentVariableIsSet("TZ");
        m_Previous = qgetenv("TZ");
        Set("Europe/Berlin");
        if (QDateTime(QDate(2024, 3, 31), QTime(2, 30), Qt::LocalTime).isValid())
            Set("CET-1CEST,M3.5.0,M10.5.0/3");
    }
    ~TScopedTimeZone() {
        if (m_Had)
            qputenv("TZ", m_Previous);
        else
            qunsetenv("TZ");
        tzset();
    }

private:
    static void Set(const char* zone) {
        qputenv("TZ", zone);
        tzset();
    }
    bool m_Had = false;
    QByteArray m_Previous;
};

// 31 March 2024 at 02:30 as the history file counts it: days since 30 December 1899.
double SkippedReading() {
    return double(QDate(1899, 12, 30).daysTo(QDate(2024, 3, 31))) + 150.0 / 1440.0;
}

TEST(HistoryDatesTest, AReadingTheClockSkippedKeepsItsDayAndTime) {
    const TScopedTimeZone berlin;
    ASSERT_FALSE(QDateTime(QDate(2024, 3, 31), QTime(2, 30), Qt::LocalTime).isValid())
        << "the zone skips 02:00 to 03:00 on that day";
    const QDateTime date = DecodeDate(SkippedReading());
    ASSERT_TRUE(date.isValid());
    EXPECT_EQ(date.date(), QDate(2024, 3, 31));
    EXPECT_EQ(date.toString(QStringLiteral("yyyy-MM-dd hh:mm")), "2024-03-31 02:30");
    // The readings around it are plain local times, as before.
    EXPECT_EQ(DecodeDate(SkippedReading() - 1.0 / 24).timeSpec(), Qt::LocalTime);
    EXPECT_EQ(DecodeDate(SkippedReading() + 1.0 / 24).time(), QTime(3, 30));
}

TEST(HistoryDatesTest, TheHistoryWindowShowsTheDayOfSuchAGame) {
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    qputenv("WINTERMOOT_HOME", home.path().toLocal8Bit());
    std::vector<std::string> boxes;
    const int answer = idOk;
    SetMessagePresenter(std::make_unique<TRecordingPresenter>(boxes, answer));
    const TScopedTimeZone berlin;
    {
        TfrmMain main;
        THistory history;
        ASSERT_TRUE(history.AddGame("Ann", "Bob", SkippedReading(), 60, 60, grTied, TMoveList()));
        TfrmHistory window(history, main.Values(), nullptr, nullptr, &main);
        window.HistoryFile = home.filePath(QStringLiteral("history.dat"));
        window.open();
        const QTableWidgetItem* cell = window.stgHistory->item(0, 0);
        ASSERT_NE(cell, nullptr);
        EXPECT_EQ(
            cell->text(), QLocale::system().toString(QDate(2024, 3, 31), QLocale::ShortFormat));
        EXPECT_FALSE(cell->text().isEmpty());
        window.close();
    }
    SetMessagePresenter(nullptr);
}

// The history's dates in the interface language, whatever the system's: the date column and the
// name proposed for a saved game.
struct TInterfaceLanguage {
    const char* Name;
    const char* File;
    QLocale::Language Language;
    friend void PrintTo(const TInterfaceLanguage& row, std::ostream* os) { *os << row.Name; }
};

class HistoryLanguageTest : public testing::TestWithParam<TInterfaceLanguage> { };

TEST_P(HistoryLanguageTest, DatesFollowTheInterfaceLanguage) {
    const TInterfaceLanguage& language = GetParam();
    if (QLocale::system().language() == language.Language)
        GTEST_SKIP() << "the system speaks the language already";
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    qputenv("WINTERMOOT_HOME", home.path().toLocal8Bit());
    SetMessagePresenter(std::make_unique<TRecordingPresenter>());
    {
        TfrmMain main;
        ASSERT_TRUE(main.LoadLanguage(QString::fromLatin1(language.File)));
        const QLocale expected(language.Language);
        const double date = double(QDate(1899, 12, 30).daysTo(QDate(2024, 3, 9))) + 0.5;
        ASSERT_TRUE(main.History().AddGame("Ann", "Bob", date, 60, 60, grTied, TMoveList()));
        auto* window = main.findChild<TfrmHistory*>(QStringLiteral("frmHistory"));
        ASSERT_NE(window, nullptr);
        QString proposed;
        window->ChooseSaveFile = [&proposed](const QString& name, QString*) {
            proposed = name;
            return QString();
        };
        window->open();
        const QTableWidgetItem* cell = window->stgHistory->item(0, 0);
        ASSERT_NE(cell, nullptr);
        EXPECT_EQ(cell->text(), expected.toString(QDate(2024, 3, 9), QLocale::ShortFormat));
        window->btnSaveToFile->click();
        EXPECT_EQ(proposed,
            QStringLiteral("Chess game - ")
                + expected.toString(QDate(2024, 3, 9), QLocale::LongFormat).replace('/', '-')
                + QStringLiteral(".txt"));
        window->close();
    }
    SetMessagePresenter(nullptr);
}

const TInterfaceLanguage InterfaceLanguages[] = {
    { "French", "TolvanFr.lang", QLocale::French },
    { "German", "TolvanDe.lang", QLocale::German },
    { "Spanish", "TolvanEs.lang", QLocale::Spanish },
};

INSTANTIATE_TEST_SUITE_P(Languages, HistoryLanguageTest, testing::ValuesIn(InterfaceLanguages),
    [](const testing::TestParamInfo<TInterfaceLanguage>& info) {
        return std::string(info.param.Name);
    });

TEST(LocaleOfLanguageTest, NamesInTheLanguageOrInEnglish) {
    EXPECT_EQ(LocaleOfLanguage(QStringLiteral("Fran\u00e7ais")).language(), QLocale::French);
    EXPECT_EQ(LocaleOfLanguage(QStringLiteral("french")).language(), QLocale::French);
    EXPECT_EQ(LocaleOfLanguage(QStringLiteral("Deutsch")).language(), QLocale::German);
    // Unknown names keep the system's locale.
    EXPECT_EQ(LocaleOfLanguage(QStringLiteral("Klingon-ish")), QLocale::system());
    EXPECT_EQ(LocaleOfLanguage(QString()), QLocale::system());
}

} // namespace
