#include "Pgn.h"
#include "PgnReader.h"
#include "RandomGame.h"
#include "RecordsTestSupport.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <random>

namespace {

std::string JoinedSan(const std::vector<std::string>& moves) {
    TMoveList list;
    Record(list, moves);
    std::string text;
    for (const std::string& san : SanMoves(list))
        text += (text.empty() ? "" : " ") + san;
    return text;
}

struct SanRow {
    const char* Name;
    std::vector<std::string> Moves;
    const char* San;
    friend void PrintTo(const SanRow& row, std::ostream* os) { *os << row.Name; }
};

class SanTest : public ::testing::TestWithParam<SanRow> { };

TEST_P(SanTest, MovesAsStandardAlgebraicNotation) {
    EXPECT_EQ(JoinedSan(GetParam().Moves), GetParam().San);
}

INSTANTIATE_TEST_SUITE_P(Moves, SanTest,
    ::testing::Values(SanRow { "Checkmate", { "f2f3", "e7e5", "g2g4", "d8h4" }, "f3 e5 g4 Qh4#" },
        SanRow { "CastlingKingside",
            { "e2e4", "e7e5", "g1f3", "b8c6", "f1c4", "f8c5", "e1g1", "g8f6" },
            "e4 e5 Nf3 Nc6 Bc4 Bc5 O-O Nf6" },
        SanRow { "CastlingQueensideBothSides",
            { "d2d4", "d7d5", "b1c3", "b8c6", "c1f4", "c8f5", "d1d2", "d8d7", "e1c1", "e8c8" },
            "d4 d5 Nc3 Nc6 Bf4 Bf5 Qd2 Qd7 O-O-O O-O-O" },
        SanRow { "EnPassantIsAPawnCapture", { "e2e4", "a7a6", "e4e5", "d7d5", "e5d6" },
            "e4 a6 e5 d5 exd6" },
        SanRow { "PromotionCapturingWithCheck",
            { "e2e4", "d7d5", "e4d5", "c7c6", "d5c6", "d8b6", "c6b7", "e8d8", "b7c8q" },
            "e4 d5 exd5 c6 dxc6 Qb6 cxb7 Kd8 bxc8=Q+" },
        SanRow { "UnderpromotionToKnight",
            { "e2e4", "d7d5", "e4d5", "c7c6", "d5c6", "d8b6", "c6b7", "e8d8", "b7a8n" },
            "e4 d5 exd5 c6 dxc6 Qb6 cxb7 Kd8 bxa8=N" },
        SanRow { "KnightsDisambiguatedByFile", { "d2d4", "d7d5", "g1f3", "g8f6", "b1d2", "b8d7" },
            "d4 d5 Nf3 Nf6 Nbd2 Nbd7" },
        SanRow { "RooksByFileThenByRank",
            { "a2a4", "h7h6", "h2h4", "g7g6", "h1h3", "f7f6", "h3a3", "e7e6", "a1a2" },
            "a4 h6 h4 g6 Rh3 f6 Rha3 e6 R1a2" },
        SanRow { "PinnedKnightIsNoRival",
            { "d2d3", "e7e5", "b1c3", "f8b4", "e2e4", "a7a6", "g1e2" },
            "d3 e5 Nc3 Bb4 e4 a6 Ne2" }),
    [](const auto& info) { return std::string(info.param.Name); });

struct RefusedRow {
    const char* Name;
    TPoint From;
    TPoint To;
    friend void PrintTo(const RefusedRow& row, std::ostream* os) { *os << row.Name; }
};

class SanStopTest : public ::testing::TestWithParam<RefusedRow> { };

// A record the board refuses ends the SAN list; the moves before it are kept.
TEST_P(SanStopTest, StopsAtTheRefusedMove) {
    TMoveList list;
    Record(list, { "e2e4", "e7e5" });
    list.Add(pkPawn, GetParam().From, GetParam().To, 0, 0);
    Record(list, { "d2d4" });
    EXPECT_EQ(SanMoves(list), (std::vector<std::string> { "e4", "e5" }));
}

INSTANTIATE_TEST_SUITE_P(Refused, SanStopTest,
    ::testing::Values(RefusedRow { "PieceOfTheSideNotToMove", Sq("d7"), Sq("d5") },
        RefusedRow { "EmptyOrigin", Sq("e3"), Sq("e5") },
        RefusedRow { "IllegalMove", Sq("d1"), Sq("d8") },
        RefusedRow { "OffTheBoard", MakePoint(0, 2), MakePoint(9, 4) }),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(Pgn, PromotionWithoutAKindIsAQueen) {
    TMoveList list;
    Record(list, { "e2e4", "d7d5", "e4d5", "c7c6", "d5c6", "d8b6", "c6b7", "e8d8", "b7c8q" });
    list.Last()->PromotionKind = 0;
    EXPECT_EQ(SanMoves(list).back(), "bxc8=Q+");
}

TEST(Pgn, GameTagsEscapedAndReadBack) {
    THistory history;
    TMoveList list;
    Record(list, { "f2f3", "e7e5", "g2g4", "d8h4" });
    history.AddGame("Anna \"A\" \\ B", "Bo\tC", 38420.604166666664, 75, 9, grBlackWon, list);
    const std::string pgn = GamePgn(*history.First());
    EXPECT_EQ(pgn,
        "[Event \"Wintermoot game\"]\n[Site \"?\"]\n[Date \"2005.03.09\"]\n[Round \"-\"]\n"
        "[White \"Anna \\\"A\\\" \\\\ B\"]\n[Black \"Bo C\"]\n[Result \"0-1\"]\n"
        "[WhiteTime \"75\"]\n[BlackTime \"9\"]\n[PlyCount \"4\"]\n\n"
        "1. f3 e5 2. g4 Qh4# 0-1\n");
    const std::vector<TPgnGame> games = ReadPgn(pgn);
    ASSERT_EQ(games.size(), 1u);
    EXPECT_EQ(games[0].Tag("White"), "Anna \"A\" \\ B");
    EXPECT_EQ(games[0].Result, "0-1");
}

TEST(Pgn, ForfeitsAndUnfinishedGames) {
    THistory history;
    TMoveList none;
    history.AddGame("", "B", 0, 0, 0, grWhiteForfeited, none);
    history.AddGame("A", "B", 0, 0, 0, grBlackForfeited, none);
    history.AddGame("A", "B", 0, 0, 0, grUnfinished, none);
    history.AddGame("A", "B", 0, 0, 0, grTied, none);
    std::vector<std::string> results;
    for (const TGameInfo* g = history.First(); g; g = g->Next) {
        const std::vector<TPgnGame> games = ReadPgn(GamePgn(*g));
        ASSERT_EQ(games.size(), 1u);
        results.push_back(games[0].Result);
    }
    EXPECT_EQ(results, (std::vector<std::string> { "0-1", "1-0", "*", "1/2-1/2" }));
    EXPECT_EQ(ReadPgn(GamePgn(*history.First()))[0].Tag("White"), "?");
}

TEST(Pgn, UnreplayableMovesAreNamedInAComment) {
    THistory history;
    TMoveList list;
    Record(list, { "e2e4" });
    list.Add(pkPawn, Sq("e4"), Sq("e6"), 0, 0);
    list.Add(pkPawn, Sq("e7"), Sq("e5"), 0, 0);
    history.AddGame("A", "B", 0, 0, 0, grUnfinished, list);
    const std::string pgn = GamePgn(*history.First());
    EXPECT_NE(pgn.find("1. e4 {2 recorded moves could not be replayed} *\n"), std::string::npos)
        << pgn;
    EXPECT_EQ(ReadPgn(pgn)[0].Sans, (std::vector<std::string> { "e4" }));
}

// Random legal games with every kind of promotion, exported and read back by the strict reader:
// every SAN must name exactly the recorded move and the lines must stay short.
TEST(Pgn, RandomGamesReadBackMoveForMove) {
    std::mt19937 random(20240229);
    THistory history;
    std::vector<std::vector<TPgnMove>> recorded;
    for (int g = 0; g < 120; ++g) {
        TChessBoard board;
        TMoveList list;
        std::vector<TPgnMove> moves;
        PlayRandomGame(board, pcWhite, list, 220, random);
        for (const TMoveRecord* m = list.First(); m; m = m->Next) {
            ASSERT_FALSE(m->Flags & mrInvalid);
            moves.push_back(TPgnMove { m->From, m->To, m->PromotionKind });
        }
        history.AddGame(std::to_string(g), "B", 40000 + g, g, g, grUnfinished, list);
        recorded.push_back(moves);
    }

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(history.ExportAllPgn(dir.filePath("all.pgn")));
    QFile file(dir.filePath("all.pgn"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const std::vector<TPgnGame> games = ReadPgn(file.readAll().toStdString());
    ASSERT_EQ(games.size(), recorded.size());
    int promotions = 0;
    int disambiguated = 0;
    for (size_t g = 0; g < games.size(); ++g) {
        ASSERT_EQ(games[g].Moves.size(), recorded[g].size()) << g;
        EXPECT_EQ(games[g].Tag("PlyCount"), std::to_string(recorded[g].size()));
        for (size_t i = 0; i < recorded[g].size(); ++i) {
            EXPECT_EQ(games[g].Moves[i].From, recorded[g][i].From) << g << " " << i;
            EXPECT_EQ(games[g].Moves[i].To, recorded[g][i].To) << g << " " << i;
            EXPECT_EQ(games[g].Moves[i].Promotion, recorded[g][i].Promotion) << g << " " << i;
            promotions += recorded[g][i].Promotion != 0;
            const std::string& san = games[g].Sans[i];
            disambiguated += san.size() > 3 && std::isupper(san[0]) && san[1] != 'x'
                && !std::isdigit(san[2]) && san[2] != 'x';
        }
    }
    // The games must exercise what they are meant to test.
    EXPECT_GT(promotions, 20);
    EXPECT_GT(disambiguated, 20);
}

TEST(Pgn, ExportPgnRefusesAMissingPosition) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    THistory history;
    EXPECT_FALSE(history.ExportPgn(1, dir.filePath("one.pgn")));
    EXPECT_FALSE(QFile::exists(dir.filePath("one.pgn")));
    history.AddGame("A", "B", 0, 0, 0, grTied, TMoveList());
    ASSERT_TRUE(history.ExportPgn(1, dir.filePath("one.pgn")));
    QFile file(dir.filePath("one.pgn"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(ReadPgn(file.readAll().toStdString()).size(), 1u);
}

} // namespace
