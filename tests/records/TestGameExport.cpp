#include "GameExport.h"
#include "RecordsTestSupport.h"

#include <QFile>
#include <QLocale>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const double March9th2005 = 38420.604166666664; // 14:30

std::string Tags(const std::string& round, const std::string& result,
    const std::string& white = "Anna", const std::string& black = "Bo") {
    return "[Event \"Wintermoot 3 Game\"]\r\n"
           "[Site \"\"]\r\n"
           "[Date \"2005.03.09\"]\r\n"
           "[Round \""
        + round + "\"]\r\n[White \"" + white + "\"]\r\n[Black \"" + black + "\"]\r\n[Result \""
        + result
        + "\"]\r\n"
          "[White time \"1:15\"]\r\n"
          "[Black time \"0:09\"]\r\n"
          "\r\n";
}

std::string ExportOf(const std::vector<std::string>& moves, uint8_t result) {
    THistory history;
    TMoveList list;
    Record(list, moves);
    history.AddGame("Anna", "Bo", March9th2005, 75, 9, result, list);
    return GameExportText(*history.First());
}

TEST(GameExport, MateInThreeMovesAsTheExample) {
    EXPECT_EQ(ExportOf({ "e2e4", "f7f6", "d2d4", "g7g5", "d1h5" }, grWhiteWon),
        Tags("5", "1-0") + "1.Pe4 Pf6 2.Pd4 Pg5 3.Qh5# 1-0\r\n");
}

struct ResultRow {
    const char* Name;
    uint8_t Result;
    const char* Tag;
    const char* Closing; // the last line after the moves
    friend void PrintTo(const ResultRow& row, std::ostream* os) { *os << row.Name; }
};

class ExportResultTest : public ::testing::TestWithParam<ResultRow> { };

TEST_P(ExportResultTest, TagAndClosingToken) {
    const ResultRow& row = GetParam();
    EXPECT_EQ(ExportOf({ "e2e4" }, row.Result), Tags("1", row.Tag) + "1.Pe4 " + row.Closing);
    EXPECT_EQ(ExportOf({}, row.Result), Tags("0", row.Tag) + row.Closing);
}

INSTANTIATE_TEST_SUITE_P(Results, ExportResultTest,
    ::testing::Values(ResultRow { "UnfinishedEndsAfterTheMoves", grUnfinished, "*", "" },
        ResultRow { "WhiteWon", grWhiteWon, "1-0", "1-0\r\n" },
        ResultRow { "BlackWon", grBlackWon, "0-1", "0-1\r\n" },
        ResultRow { "WhiteForfeitingLoses", grWhiteForfeited, "0-1", "0-1\r\n" },
        ResultRow { "BlackForfeitingLoses", grBlackForfeited, "1-0", "1-0\r\n" },
        ResultRow { "StalemateIsADraw", grTied, "1/2-1/2", "1/2-1/2\r\n" },
        ResultRow { "UnknownCodeIsUnfinished", 9, "*", "" }),
    [](const auto& info) { return std::string(info.param.Name); });

struct TokenRow {
    const char* Name;
    TMoveRecord Move;
    const char* Token;
    friend void PrintTo(const TokenRow& row, std::ostream* os) { *os << row.Name; }
};

class MoveTokenTest : public ::testing::TestWithParam<TokenRow> { };

TEST_P(MoveTokenTest, Token) {
    EXPECT_EQ(ExportMoveToken(GetParam().Move), GetParam().Token);
}

TMoveRecord Rec(uint8_t kind, const char* to, TMoveResult flags, uint8_t promotion = 0) {
    TMoveRecord r;
    r.Kind = kind;
    r.To = Sq(to);
    r.Flags = flags;
    r.PromotionKind = promotion;
    return r;
}

INSTANTIATE_TEST_SUITE_P(Tokens, MoveTokenTest,
    ::testing::Values(TokenRow { "PawnKeepsItsLetter", Rec(pkPawn, "e4", 0), "Pe4" },
        TokenRow { "CaptureByPawnPromotingToKnightWithCheck",
            Rec(pkPawn, "d8", mrCapture | mrPromotion | mrCheck, pkKnight), "Pxd8=N+" },
        TokenRow { "PromotionToEachPiece", Rec(pkPawn, "a1", mrPromotion, pkRook), "Pa1=R" },
        TokenRow { "PromotionToBishop", Rec(pkPawn, "h8", mrPromotion, pkBishop), "Ph8=B" },
        TokenRow { "PromotionWithoutKindHasNoSuffix", Rec(pkPawn, "h8", mrPromotion, 0), "Ph8" },
        TokenRow { "QueensideCastlingWithCheckHasNoSign", Rec(pkKing, "c1", mrCastling | mrCheck),
            "O-O-O" },
        TokenRow { "KingsideCastling", Rec(pkKing, "g8", mrCastling), "O-O" },
        TokenRow { "MateIsHash", Rec(pkQueen, "h5", mrCheck | mrGameOver), "Qh5#" },
        TokenRow { "StalemateMoveHasNoSign", Rec(pkRook, "b7", mrGameOver), "Rb7" },
        TokenRow { "KnightCaptureWithCheck", Rec(pkKnight, "f7", mrCapture | mrCheck), "Nxf7+" }),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(GameExport, TimeTexts) {
    EXPECT_EQ(TimeText(0), "0:00");
    EXPECT_EQ(TimeText(9), "0:09");
    EXPECT_EQ(TimeText(75), "1:15");
    EXPECT_EQ(TimeText(600), "10:00");
    EXPECT_EQ(TimeText(3600), "60:00");
    EXPECT_EQ(TimeText(-75), "-1:15");
    EXPECT_EQ(TimeText(INT32_MIN), "-35791394:08");
}

TEST(GameExport, DateIgnoresTheLocale) {
    const QLocale previous;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(DateTag(March9th2005), "2005.03.09");
    QLocale::setDefault(previous);
    EXPECT_EQ(DateTag(std::nan("")), "????.??.??");
}

TEST(GameExport, HundredSixtyThreeRecordsOnOneLine) {
    std::vector<std::string> moves;
    for (int i = 0; i < 40; ++i) {
        for (const char* m : { "g1f3", "g8f6", "f3g1", "f6g8" })
            moves.push_back(m);
    }
    for (const char* m : { "g1f3", "g8f6", "f3g1" })
        moves.push_back(m);
    ASSERT_EQ(moves.size(), 163u);
    const std::string text = ExportOf(moves, grTied);
    const std::string last = text.substr(Tags("163", "1/2-1/2").size());
    EXPECT_EQ(last.find("\r\n"), last.size() - 2);
    EXPECT_EQ(last.rfind("82.Ng1 1/2-1/2\r\n"), last.size() - 16);
    EXPECT_EQ(last.find("83."), std::string::npos);
    EXPECT_EQ(last.substr(0, 16), "1.Nf3 Nf6 2.Ng1 ");
}

TEST(GameExport, NamesAreWrittenAsStored) {
    THistory history;
    history.AddGame("Zoë \"Z\"", "[B]", March9th2005, 75, 9, grTied, TMoveList());
    EXPECT_EQ(
        GameExportText(*history.First()), Tags("0", "1/2-1/2", "Zoë \"Z\"", "[B]") + "1/2-1/2\r\n");
}

// A network opponent's name arrives as sent: a line break in it must not start a tag line of its
// own, which would put a forged result before the real one.
TEST(GameExport, ALineBreakInANameCannotAddATagLine) {
    const std::string forged = "Mallory\"]\r\n[Result \"1-0\"]";
    THistory history;
    history.AddGame(
        forged, "Bo\n[Site \"x\"]\tB\x7f", March9th2005, 75, 9, grBlackWon, TMoveList());
    history.AddGame("Eve\xc2\x85[A \"1\"]\xe2\x80\xa8[B \"2\"]\xe2\x80\xa9.", "Bo", March9th2005,
        75, 9, grBlackWon, TMoveList());
    EXPECT_EQ(GameExportText(*history.First()),
        Tags("0", "0-1", "Mallory\"]  [Result \"1-0\"]", "Bo [Site \"x\"] B ") + "0-1\r\n");
    EXPECT_EQ(
        GameExportText(*history.Last()), Tags("0", "0-1", "Eve [A \"1\"] [B \"2\"] .") + "0-1\r\n");
    // Letters outside ASCII that merely share a byte with a line separator stay as they are.
    EXPECT_EQ(ExportTagValue("Zo\xc3\xab \xc2\xa0\xe2\x80\x94"), "Zo\xc3\xab \xc2\xa0\xe2\x80\x94");
}

TEST(GameExport, ExportGameWritesTheFileAndRefusesAMissingPosition) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    THistory history;
    TMoveList list;
    Record(list, { "f2f3", "e7e5", "g2g4", "d8h4" });
    history.AddGame("Anna", "Bo", March9th2005, 75, 9, grBlackWon, list);
    const QString path = dir.filePath("game.txt");
    ASSERT_TRUE(history.ExportGame(1, path));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().toStdString(), Tags("4", "0-1") + "1.Pf3 Pe5 2.Pg4 Qh4# 0-1\r\n");
    file.close();

    EXPECT_FALSE(history.ExportGame(2, path));
    EXPECT_FALSE(history.ExportGame(0, dir.filePath("none.txt")));
    EXPECT_FALSE(QFile::exists(dir.filePath("none.txt")));
    EXPECT_FALSE(history.ExportGame(1, dir.filePath("missing/game.txt")));
}

} // namespace
