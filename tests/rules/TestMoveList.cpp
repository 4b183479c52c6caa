#include "RulesTestSupport.h"
#include "UnitMoveList.h"

#include <gtest/gtest.h>

namespace {

// Adds one record per score; the From square's file tells the records apart (a = 1, b = 2 ...).
void AddScores(TMoveList& list, std::initializer_list<int> scores) {
    int file = list.Count() + 1;
    for (int score : scores) {
        list.Add(pkPawn, MakePoint(file, 2), MakePoint(file, 3), score, 0);
        ++file;
    }
}

std::string Order(const TMoveList& list) {
    std::string names;
    for (const TMoveRecord* r = list.First(); r; r = r->Next)
        names += char('a' + r->From.X - 1);
    return names;
}

std::string BackwardOrder(const TMoveList& list) {
    std::string names;
    for (const TMoveRecord* r = list.Last(); r; r = r->Prev)
        names += char('a' + r->From.X - 1);
    return names;
}

} // namespace

TEST(MoveList, FirstRecordIsFirstAndLastWithoutLinks) {
    TMoveList list;
    EXPECT_TRUE(list.Add(pkKnight, Sq("g1"), Sq("f3"), 5, mrCheck));
    ASSERT_EQ(list.Count(), 1);
    TMoveRecord* r = list.First();
    EXPECT_EQ(r, list.Last());
    EXPECT_EQ(r->Prev, nullptr);
    EXPECT_EQ(r->Next, nullptr);
    EXPECT_EQ(r->Kind, pkKnight);
    EXPECT_EQ(r->PromotionKind, 0);
    EXPECT_EQ(r->To, Sq("f3"));
    EXPECT_EQ(r->Score, 5);
    EXPECT_EQ(r->Flags, mrCheck);
}

TEST(MoveList, DeleteRelinksNeighboursAndRefusesMissingIndex) {
    TMoveList list;
    AddScores(list, { 0, 0, 0, 0 });
    EXPECT_TRUE(list.Delete(1));
    EXPECT_EQ(Order(list), "acd");
    EXPECT_EQ(BackwardOrder(list), "dca");
    EXPECT_TRUE(list.Delete(2));
    EXPECT_EQ(BackwardOrder(list), "ca");
    EXPECT_TRUE(list.Delete(0));
    EXPECT_EQ(BackwardOrder(list), "c");
    EXPECT_FALSE(list.Delete(1));
    EXPECT_TRUE(list.Delete(list.Count() - 1));
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.First(), nullptr);
    EXPECT_EQ(list.Last(), nullptr);
    EXPECT_FALSE(list.Delete(0));
    EXPECT_EQ(list.Item(0), nullptr);
}

TEST(MoveList, ItemFindsEveryRecordOfALongList) {
    TMoveList list;
    for (int i = 0; i < 300; ++i)
        list.Add(pkPawn, Sq("a2"), Sq("a3"), i, 0);
    for (int i = 0; i < 300; ++i)
        ASSERT_EQ(list.Item(i)->Score, i);
    EXPECT_EQ(list.Item(299), list.Last());
    EXPECT_EQ(list.Item(300), nullptr);
    EXPECT_EQ(list.Item(65535), nullptr);
}

TEST(MoveList, AddRefusesTheRecordAfter65535) {
    TMoveList list;
    for (int i = 0; i < 65535; ++i)
        ASSERT_TRUE(list.Add(pkPawn, Sq("a2"), Sq("a3"), i, 0));
    EXPECT_FALSE(list.Add(pkPawn, Sq("a2"), Sq("a3"), -1, 0));
    EXPECT_EQ(list.Count(), 65535);
    EXPECT_EQ(list.Last()->Score, 65534);
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.First(), nullptr);
}

struct SortRow {
    std::string Name;
    friend void PrintTo(const SortRow& row, std::ostream* os) { *os << row.Name; }
    std::vector<int> Scores;
    std::string Order;
};

class SortByScoreTest : public testing::TestWithParam<SortRow> { };

TEST_P(SortByScoreTest, DescendingWithEqualScoresReversed) {
    TMoveList list;
    for (int score : GetParam().Scores)
        AddScores(list, { score });
    list.SortByScore();
    EXPECT_EQ(Order(list), GetParam().Order);
    EXPECT_EQ(BackwardOrder(list), std::string(GetParam().Order.rbegin(), GetParam().Order.rend()));
}

INSTANTIATE_TEST_SUITE_P(Orders, SortByScoreTest,
    testing::Values(SortRow { "MixedScoresWithTies", { 5, 3, 5, 3, 7 }, "ecadb" },
        SortRow { "AllEqualReversed", { 1, 1, 1 }, "cba" },
        SortRow { "AlreadyDescending", { 9, 5, 1 }, "abc" },
        SortRow { "Ascending", { 1, 2, 3, 4 }, "dcba" },
        SortRow { "SmallestFirst", { -4, 8, 0 }, "bca" },
        SortRow { "SmallestLast", { 3, 2, 1 }, "abc" }, SortRow { "OneRecord", { 4 }, "a" },
        SortRow { "Empty", {}, "" }),
    RowName());

TEST(MoveList, AddAfterSortAppendsBehindTheLowestScore) {
    TMoveList list;
    AddScores(list, { 5, 3, 5, 3, 7 });
    list.SortByScore();
    AddScores(list, { 100 });
    EXPECT_EQ(Order(list), "ecadbf");
    EXPECT_EQ(list.Last()->Prev->From.X, 2);
}

TEST(MoveList, AssignCopiesEveryFieldIntoNewRecords) {
    TMoveList source;
    source.Add(pkPawn, Sq("b7"), Sq("b8"), -9, mrPromotion | mrCheck);
    source.Last()->PromotionKind = pkKnight;
    AddScores(source, { 4 });
    TMoveList copy;
    AddScores(copy, { 1, 2, 3 });
    copy.Assign(source);
    ASSERT_EQ(copy.Count(), 2);
    const TMoveRecord* r = copy.First();
    EXPECT_NE(r, source.First());
    EXPECT_EQ(r->PromotionKind, pkKnight);
    EXPECT_EQ(r->Score, -9);
    EXPECT_EQ(r->Flags, mrPromotion | mrCheck);
    EXPECT_EQ(r->From, Sq("b7"));
    EXPECT_EQ(r->Next, copy.Last());
    EXPECT_EQ(copy.Last()->Prev, r);
    copy.Delete(0);
    EXPECT_EQ(source.Count(), 2);
}
