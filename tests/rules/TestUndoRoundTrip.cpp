#include "Perft.h"
#include "RandomGame.h"
#include "RulesTestSupport.h"

#include <gtest/gtest.h>
#include <random>

namespace {

struct TGame {
    TMoveList Moves;
    // Snapshots[i] is the board before move i; the last one is the final position.
    std::vector<std::string> Snapshots;
    int Promotions = 0;
    int EnPassantCaptures = 0;
    int Castlings = 0;
};

bool IsEnPassant(TChessBoard& board, const TMoveSquares& move) {
    return board.PieceAt(move.From)->Kind == pkPawn && move.From.X != move.To.X
        && !board.PieceAt(move.To);
}

// Plays random legal moves from the start position, promoting to a random kind, until the side to
// move has no move or `plies` moves are made. En passant, castling and pawn moves are preferred so
// that a short game holds promotions and the rarer moves. Every move goes into the list as the game
// controller records it.
void PlayRandomGame(TChessBoard& board, TGame& game, uint32_t seed, int plies) {
    std::mt19937 rng(seed);
    TRandomPlay play;
    play.Preference = mpSpecial;
    play.BeforeMove = [&game](TChessBoard& before, const TMoveSquares& move) {
        game.Snapshots.push_back(Snapshot(before));
        game.EnPassantCaptures += IsEnPassant(before, move);
    };
    ::PlayRandomGame(board, pcWhite, game.Moves, plies, rng, play);
    for (const TMoveRecord* move = game.Moves.First(); move; move = move->Next) {
        ASSERT_EQ(move->Flags & mrInvalid, 0);
        game.Promotions += (move->Flags & mrPromotion) != 0;
        game.Castlings += (move->Flags & mrCastling) != 0;
    }
    game.Snapshots.push_back(Snapshot(board));
}

// Takes back every move of the game, last first, and checks each position on the way. With
// `fromList` the board is told the move before each undone one, as after a load.
void UndoWholeGame(TChessBoard& board, const TGame& game, bool fromList) {
    for (int i = game.Moves.Count() - 1; i >= 0; --i) {
        const TMoveRecord* move = game.Moves.Item(uint16_t(i));
        const TMoveRecord* previous = fromList && i > 0 ? move->Prev : nullptr;
        board.UndoMove(move->From, move->To, move->Flags, previous);
        ASSERT_EQ(Snapshot(board), game.Snapshots[i])
            << "after undoing move " << i << " " << SquareName(move->From) << SquareName(move->To);
    }
}

constexpr int Plies = 200;
const uint32_t Seeds[] = { 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12 };

} // namespace

TEST(UndoRoundTrip, RandomGamesCoverPromotionsEnPassantAndCastling) {
    int promotions = 0, enPassant = 0, castlings = 0;
    for (uint32_t seed : Seeds) {
        TChessBoard board;
        TGame game;
        PlayRandomGame(board, game, seed, Plies);
        promotions += game.Promotions;
        enPassant += game.EnPassantCaptures;
        castlings += game.Castlings;
    }
    EXPECT_GT(promotions, 0);
    EXPECT_GT(enPassant, 0);
    EXPECT_GT(castlings, 0);
}

class UndoRoundTripTest : public testing::TestWithParam<uint32_t> { };

TEST_P(UndoRoundTripTest, BoardsOwnMemoryRestoresEveryPosition) {
    TChessBoard board;
    TGame game;
    PlayRandomGame(board, game, GetParam(), Plies);
    UndoWholeGame(board, game, false);
}

TEST_P(UndoRoundTripTest, PreviousMoveRestoresEveryPositionAfterALoad) {
    TChessBoard played;
    TGame game;
    PlayRandomGame(played, game, GetParam(), Plies);
    TChessBoard loaded;
    LoadSnapshot(loaded, Snapshot(played));
    UndoWholeGame(loaded, game, true);
}

TEST_P(UndoRoundTripTest, PreviousMoveRestoresEveryPositionOnACopyOfALoadedBoard) {
    TChessBoard played;
    TGame game;
    PlayRandomGame(played, game, GetParam(), Plies);
    TChessBoard loaded;
    LoadSnapshot(loaded, Snapshot(played));
    TChessBoard copy;
    copy.Assign(loaded);
    UndoWholeGame(copy, game, true);
}

INSTANTIATE_TEST_SUITE_P(Seeds, UndoRoundTripTest, testing::ValuesIn(Seeds),
    [](const auto& info) { return "Seed" + std::to_string(info.param); });

TEST(UndoRoundTrip, MovesPlayedAfterALoadUseMemoryThenTheList) {
    TChessBoard played;
    TGame game;
    PlayRandomGame(played, game, 11, 60);
    ASSERT_GT(game.Moves.Count(), 40);
    TChessBoard board;
    LoadSnapshot(board, game.Snapshots[40]);
    for (uint16_t i = 40; i < game.Moves.Count(); ++i) {
        const TMoveRecord* move = game.Moves.Item(i);
        board.MovePiece(move->From, move->To, false);
        if (move->Flags & mrPromotion)
            board.Promote(move->To, move->PromotionKind);
    }
    ASSERT_EQ(Snapshot(board), game.Snapshots.back());
    UndoWholeGame(board, game, true);
}
