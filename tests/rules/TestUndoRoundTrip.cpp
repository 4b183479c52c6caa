#include "Perft.h"
#include "RulesTestSupport.h"

#include <cstdlib>
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

// A random legal move; en passant, castling and pawn moves are preferred so that a short game
// holds promotions and the rarer moves.
TMoveSquares PickMove(
    TChessBoard& board, const std::vector<TMoveSquares>& moves, std::mt19937& rng) {
    std::vector<TMoveSquares> special, pawn;
    for (const TMoveSquares& m : moves) {
        const TPiece* piece = board.PieceAt(m.From);
        if (IsEnPassant(board, m) || (piece->Kind == pkKing && std::abs(m.To.X - m.From.X) == 2))
            special.push_back(m);
        else if (piece->Kind == pkPawn)
            pawn.push_back(m);
    }
    if (!special.empty() && rng() % 4)
        return special[rng() % special.size()];
    if (!pawn.empty() && rng() % 2)
        return pawn[rng() % pawn.size()];
    return moves[rng() % moves.size()];
}

// Plays random legal moves from the start position, promoting to a random kind, until the side to
// move has no move or `plies` moves are made. Every move goes into the list as the game controller
// records it.
void PlayRandomGame(TChessBoard& board, TGame& game, uint32_t seed, int plies) {
    std::mt19937 rng(seed);
    TPieceColour side = pcWhite;
    for (int ply = 0; ply < plies; ++ply) {
        const std::vector<TMoveSquares> moves = LegalMoves(board, side);
        if (moves.empty())
            break;
        const TMoveSquares move = PickMove(board, moves, rng);
        game.Snapshots.push_back(Snapshot(board));
        const bool enPassant = IsEnPassant(board, move);
        TMoveResult flags = board.MovePiece(move.From, move.To, true);
        ASSERT_EQ(flags & mrInvalid, 0);
        game.Moves.Add(board.PieceAt(move.To)->Kind, move.From, move.To, 0, flags);
        if (flags & mrPromotion) {
            const uint8_t kind = uint8_t(pkRook + rng() % 4);
            game.Moves.Last()->PromotionKind = kind;
            game.Moves.Last()->Flags |= board.Promote(move.To, kind);
            ++game.Promotions;
        }
        game.EnPassantCaptures += enPassant;
        game.Castlings += (flags & mrCastling) != 0;
        side = Opponent(side);
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
