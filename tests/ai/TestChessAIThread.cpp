#include "MainQueue.h"
#include "UnitChessAI.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;

TEST(ChessAIThread, OneMoveFoundPerThink) {
    TChessBoard board;
    TMainQueue queue;
    TChessAI ai(board, queue.Poster());
    ai.SetDepth(1);
    int found = 0;
    ai.OnMoveFound = [&](TChessAI&) { ++found; };
    ai.Think(pcWhite, 0);
    ASSERT_TRUE(queue.RunUntil([&] { return found == 1; }, 20s));
    queue.RunUntil([] { return false; }, 200ms);
    EXPECT_EQ(found, 1);
    EXPECT_FALSE(ai.IsThinking());
    EXPECT_TRUE(board.IsLegalMove(ai.BestMove().From, ai.BestMove().To));
}
