// The draw rules: threefold repetition (by side to move, pieces, castling rights and a usable en
// passant capture), the fifty-move rule and its resets, insufficient material, and the tracker
// kept in step through take-backs and games it did not follow from the start.

#include "DrawRules.h"
#include "RulesTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <vector>

namespace {

// A game played move by move on a board, with its move list and a tracker following it.
struct TLine {
    explicit TLine(const std::string& fen = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - "
                                            "0 1") {
        Side = LoadFen(Board, fen);
        Start.Assign(Board);
        StartSide = Side;
        Tracker.Follow(Board, Side, Moves);
        ++Seen[PositionKey(Board, Side)];
    }

    // Plays "e2e4" (a fifth letter promotes) and answers the rule the new position meets.
    TDrawRule Move(const std::string& move) {
        const TMoveResult flags = Play(Board, move);
        EXPECT_FALSE(flags & mrInvalid) << move;
        if (move.size() == 5)
            Board.Promote(Sq(move.substr(2, 2)), uint8_t(std::string("?rnbq").find(move[4])));
        Moves.Add(Board.PieceAt(Sq(move.substr(2, 2)))->Kind, Sq(move.substr(0, 2)),
            Sq(move.substr(2, 2)), 0, flags);
        Side = Opponent(Side);
        ++Seen[PositionKey(Board, Side)];
        return Tracker.Follow(Board, Side, Moves);
    }

    // Each move in turn; the rule after the last.
    TDrawRule Moves_(const std::vector<std::string>& moves) {
        TDrawRule rule = TDrawRule::None;
        for (const std::string& move : moves)
            rule = Move(move);
        return rule;
    }

    TDrawRule TakeBack() {
        const uint16_t count = Moves.Count();
        const TMoveRecord last = *Moves.Item(count - 1);
        const TMoveRecord* previous = count >= 2 ? Moves.Item(count - 2) : nullptr;
        EXPECT_FALSE(Board.UndoMove(last.From, last.To, last.Flags, previous) & mrInvalid);
        Moves.Delete(count - 1);
        Side = Opponent(Side);
        return Tracker.Follow(Board, Side, Moves);
    }

    // Quiet king moves (no capture, check or pawn move, never onto `avoid` or the edge) that bring
    // no position back a third time: the least seen position first, chosen the same way in every
    // run.
    TDrawRule Wander(int plies, const std::vector<std::string>& avoid = {}) {
        TDrawRule rule = TDrawRule::None;
        for (int ply = 0; ply < plies && rule == TDrawRule::None; ++ply) {
            const TPoint king = Board.KingSquare(Side);
            std::vector<std::pair<int, std::string>> choices;
            for (int x = 1; x <= 8; ++x) {
                for (int y = 1; y <= 8; ++y) {
                    const TPoint to = MakePoint(x, y);
                    bool avoided = false;
                    for (const std::string& square : avoid)
                        avoided = avoided || Sq(square) == to;
                    // Off the edges no king can be cornered.
                    const bool edge = x == 1 || x == 8 || y == 1 || y == 8;
                    if (avoided || edge || Board.PieceAt(to) || !Board.IsLegalMove(king, to))
                        continue;
                    TChessBoard trial;
                    trial.Assign(Board);
                    trial.MovePiece(king, to, false);
                    const int seen = Seen[PositionKey(trial, Opponent(Side))];
                    if (seen < 2)
                        choices.emplace_back(seen, SquareName(king) + SquareName(to));
                }
            }
            if (choices.empty()) {
                ADD_FAILURE() << "no quiet move at ply " << ply << " in " << SaveFen(Board, Side);
                return rule;
            }
            std::stable_sort(choices.begin(), choices.end(),
                [](const auto& a, const auto& b) { return a.first < b.first; });
            size_t least = 0;
            while (least < choices.size() && choices[least].first == choices[0].first)
                ++least;
            rule = Move(choices[(size_t(ply) * 7 + Moves.Count()) % least].second);
        }
        return rule;
    }

    TChessBoard Board;
    TChessBoard Start;
    TPieceColour Side;
    TPieceColour StartSide;
    TMoveList Moves;
    TDrawTracker Tracker;
    std::map<uint64_t, int> Seen;
};

const std::vector<std::string> KnightsOutAndBack { "g1f3", "g8f6", "f3g1", "f6g8" };

TEST(RepetitionTest, TheThirdOccurrenceDrawsAndTheSecondDoesNot) {
    TLine line;
    EXPECT_EQ(line.Moves_(KnightsOutAndBack), TDrawRule::None);
    EXPECT_EQ(line.Tracker.Occurrences(), 2);
    EXPECT_EQ(line.Moves_({ "g1f3", "g8f6", "f3g1" }), TDrawRule::None);
    EXPECT_EQ(line.Move("f6g8"), TDrawRule::Repetition);
    EXPECT_EQ(line.Tracker.Occurrences(), 3);
    EXPECT_EQ(FindDraw(line.Start, line.StartSide, line.Moves), TDrawRule::Repetition);
}

TEST(RepetitionTest, TheSamePiecesWithTheOtherSideToMoveAreAnotherPosition) {
    // White's king walks a triangle while Black's steps back and forth: every placement comes
    // back after six half-moves with the other side to move, and after twelve with the same.
    TLine line("r3k3/8/8/8/8/8/8/R3K3 w - - 0 1");
    const std::vector<std::string> cycle { "e1d1", "e8d8", "d1d2", "d8e8", "d2e1", "e8d8", "e1d1",
        "d8e8", "d1d2", "e8d8", "d2e1", "d8e8" };
    EXPECT_EQ(line.Moves_(cycle), TDrawRule::None);
    EXPECT_EQ(line.Tracker.Occurrences(), 2);
    EXPECT_EQ(line.Moves_(cycle), TDrawRule::Repetition);
}

TEST(RepetitionTest, LostCastlingRightsMakeAnotherPosition) {
    // The rooks go out and back: the same squares as at the start, but the queenside rights are
    // gone, so the start does not count with the later positions.
    TLine line("r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1");
    const std::vector<std::string> rooksOutAndBack { "a1b1", "a8b8", "b1a1", "b8a8" };
    EXPECT_EQ(line.Moves_(rooksOutAndBack), TDrawRule::None);
    EXPECT_EQ(line.Moves_(rooksOutAndBack), TDrawRule::None);
    EXPECT_EQ(line.Tracker.Occurrences(), 2);
    EXPECT_EQ(line.Moves_(rooksOutAndBack), TDrawRule::Repetition);
}

TEST(RepetitionTest, AnEnPassantSquareNoPawnCanUseMakesNoDifference) {
    // After 1. e4 no black pawn can take en passant: the position after it is the same as after
    // the knights' round trips.
    TLine line;
    line.Move("e2e4");
    EXPECT_EQ(line.Moves_({ "g8f6", "g1f3", "f6g8", "f3g1" }), TDrawRule::None);
    EXPECT_EQ(line.Moves_({ "g8f6", "g1f3", "f6g8" }), TDrawRule::None);
    EXPECT_EQ(line.Move("f3g1"), TDrawRule::Repetition);
}

TEST(RepetitionTest, AnEnPassantCaptureThatWouldExposeTheKingMakesNoDifference) {
    // exd3 would take both pawns off the fourth rank and leave the black king to the rook.
    TLine line("8/8/8/8/k2p3R/8/4P3/4K3 w - - 0 1");
    line.Move("e2e4");
    const std::vector<std::string> kingsOutAndBack { "a4a3", "e1d1", "a3a4", "d1e1" };
    EXPECT_EQ(line.Moves_(kingsOutAndBack), TDrawRule::None);
    EXPECT_EQ(line.Moves_(kingsOutAndBack), TDrawRule::Repetition);
}

TEST(RepetitionTest, AUsableEnPassantCaptureMakesAnotherPosition) {
    TLine line("4k3/8/8/8/3p4/8/4P3/4K3 w - - 0 1");
    line.Move("e2e4");
    const std::vector<std::string> kingsOutAndBack { "e8d8", "e1d1", "d8e8", "d1e1" };
    EXPECT_EQ(line.Moves_(kingsOutAndBack), TDrawRule::None);
    EXPECT_EQ(line.Moves_(kingsOutAndBack), TDrawRule::None);
    EXPECT_EQ(line.Moves_(kingsOutAndBack), TDrawRule::Repetition);
}

TEST(RepetitionTest, ATakenBackMoveNoLongerCounts) {
    TLine line;
    line.Moves_(KnightsOutAndBack);
    line.Moves_({ "g1f3", "g8f6", "f3g1" });
    // Taken back and replaced by another move: the third occurrence does not come.
    EXPECT_EQ(line.TakeBack(), TDrawRule::None);
    EXPECT_EQ(line.Move("b1c3"), TDrawRule::None);
    EXPECT_EQ(line.TakeBack(), TDrawRule::None);
    EXPECT_EQ(line.Move("f3g1"), TDrawRule::None);
    // The same move played again after the take-back still completes the repetition.
    EXPECT_EQ(line.Move("f6g8"), TDrawRule::Repetition);
    EXPECT_EQ(line.TakeBack(), TDrawRule::None);
    EXPECT_EQ(line.Tracker.Occurrences(), 2);
    EXPECT_EQ(line.Move("f6g8"), TDrawRule::Repetition);
}

TEST(RepetitionTest, AGameFollowedFromItsMiddleIsReadBackFromTheBoard) {
    TLine line;
    line.Moves_({ "e2e4", "e7e5" });
    line.Moves_(KnightsOutAndBack);
    line.Moves_({ "g1f3", "g8f6", "f3g1" });
    // A tracker that sees the game for the first time here, as after a load.
    TDrawTracker fresh;
    EXPECT_EQ(fresh.Follow(line.Board, line.Side, line.Moves), TDrawRule::None);
    EXPECT_EQ(fresh.Occurrences(), 2);
    EXPECT_EQ(fresh.Clock(), 7);
    EXPECT_EQ(fresh.Ply(), 9);
    line.Move("f6g8");
    EXPECT_EQ(fresh.Follow(line.Board, line.Side, line.Moves), TDrawRule::Repetition);
}

TEST(FiftyMovesTest, AHundredQuietHalfMovesDraw) {
    TLine line("4k3/8/8/8/8/7p/8/1N2K1N1 w - - 0 1");
    EXPECT_EQ(line.Wander(99, { "h2" }), TDrawRule::None);
    EXPECT_EQ(line.Tracker.Clock(), 99);
    EXPECT_EQ(line.Wander(1, { "h2" }), TDrawRule::FiftyMoves);
}

TEST(FiftyMovesTest, ACaptureStartsTheCountAgain) {
    TLine line("4k3/8/8/8/8/7p/8/1N2K1N1 w - - 0 1");
    EXPECT_EQ(line.Wander(60, { "h2" }), TDrawRule::None);
    ASSERT_EQ(line.Side, pcWhite);
    EXPECT_EQ(line.Move("g1h3"), TDrawRule::None);
    EXPECT_EQ(line.Tracker.Clock(), 0);
    EXPECT_EQ(line.Wander(99), TDrawRule::None);
    EXPECT_EQ(line.Wander(1), TDrawRule::FiftyMoves);
}

TEST(FiftyMovesTest, APawnMoveStartsTheCountAgain) {
    TLine line("4k3/8/8/8/8/7p/8/1N2K1N1 w - - 0 1");
    EXPECT_EQ(line.Wander(61, { "h2", "h1" }), TDrawRule::None);
    ASSERT_EQ(line.Side, pcBlack);
    EXPECT_EQ(line.Move("h3h2"), TDrawRule::None);
    EXPECT_EQ(line.Tracker.Clock(), 0);
    EXPECT_EQ(line.Wander(99, { "h1" }), TDrawRule::None);
    EXPECT_EQ(line.Wander(1, { "h1" }), TDrawRule::FiftyMoves);
}

struct TMaterialCase {
    const char* Name;
    const char* Fen;
    bool Insufficient;
    friend void PrintTo(const TMaterialCase& row, std::ostream* os) { *os << row.Name; }
};

class InsufficientMaterialTest : public ::testing::TestWithParam<TMaterialCase> { };

TEST_P(InsufficientMaterialTest, JudgesWhetherAMateCanStillHappen) {
    TChessBoard board;
    LoadFen(board, GetParam().Fen);
    EXPECT_EQ(InsufficientMaterial(board), GetParam().Insufficient);
}

INSTANTIATE_TEST_SUITE_P(Material, InsufficientMaterialTest,
    ::testing::Values(TMaterialCase { "KingAgainstKing", "4k3/8/8/8/8/8/8/4K3 w - - 0 1", true },
        TMaterialCase { "KingAndBishopAgainstKing", "4k3/8/8/8/8/8/8/4KB2 w - - 0 1", true },
        TMaterialCase { "KingAndKnightAgainstKing", "4k3/8/8/8/8/8/8/4KN2 b - - 0 1", true },
        TMaterialCase {
            "BishopsOnTheSameColourEachSide", "2b1k3/8/8/8/8/8/8/4KB2 w - - 0 1", true },
        TMaterialCase {
            "BishopsOnOppositeColoursCanMate", "4kb2/8/8/8/8/8/8/4KB2 w - - 0 1", false },
        TMaterialCase { "KnightAgainstKnightCanMate", "4kn2/8/8/8/8/8/8/4KN2 w - - 0 1", false },
        TMaterialCase { "BishopAgainstKnightCanMate", "4kn2/8/8/8/8/8/8/4KB2 w - - 0 1", false },
        TMaterialCase { "TwoKnightsCanMate", "4k3/8/8/8/8/8/8/1N2KN2 w - - 0 1", false },
        TMaterialCase { "APawnCanPromote", "4k3/8/8/8/8/8/4P3/4K3 w - - 0 1", false },
        TMaterialCase { "ARookMates", "4k3/8/8/8/8/8/8/R3K3 w - - 0 1", false }),
    RowName());

TEST(InsufficientMaterialTest, TheCaptureThatLeavesTooLittleDraws) {
    TLine line("4k3/8/8/8/8/8/3r4/4KB2 w - - 0 1");
    EXPECT_EQ(line.Move("e1d2"), TDrawRule::InsufficientMaterial);
}

TEST(DrawRulesTest, APromotionIsIrreversibleAndItsPieceCounts) {
    // The pawn becomes a knight: king and knight against king is a draw at once.
    TLine line("4k3/P7/8/8/8/8/8/4K3 w - - 0 1");
    EXPECT_EQ(line.Move("a7a8n"), TDrawRule::InsufficientMaterial);
    EXPECT_EQ(line.Tracker.Clock(), 0);
}

} // namespace
