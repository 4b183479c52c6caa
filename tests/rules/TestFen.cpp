#include "RulesTestSupport.h"

#include <array>
#include <gtest/gtest.h>
#include <random>

class FenRoundTripTest : public testing::TestWithParam<std::string> { };

TEST_P(FenRoundTripTest, SavedTextEqualsTheLoadedText) {
    TChessBoard board;
    const TPieceColour side = LoadFen(board, GetParam());
    EXPECT_EQ(SaveFen(board, side), GetParam());
    EXPECT_EQ(board.CapturedCount(pcWhite), 0);
    EXPECT_EQ(board.CapturedCount(pcBlack), 0);
    EXPECT_FALSE(board.Modified);
}

// The names of the rows below, in their order.
const char* const RoundTripNames[] = { "Start", "Kiwipete", "PerftPosition3", "PerftPosition4",
    "BlackToMoveAfterE4", "EnPassantOnF6", "WhiteKingsideOnly", "BlackQueensideOnly" };

INSTANTIATE_TEST_SUITE_P(Positions, FenRoundTripTest,
    testing::Values(StartFen,
        "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
        "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
        "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1",
        "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1",
        "rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPP1PPP/RNBQKBNR w KQkq f6 0 1",
        "4k3/8/8/8/8/8/8/4K2R b K - 0 1", "r3k3/8/8/8/8/8/8/4K3 w q - 0 1"),
    [](const auto& info) { return std::string(RoundTripNames[info.index]); });

struct CastlingRow {
    std::string Name;
    friend void PrintTo(const CastlingRow& row, std::ostream* os) { *os << row.Name; }
    std::string Rights;
    // Expected move counts of e1, a1, h1, e8, a8, h8.
    std::array<int, 6> MoveCounts;
};

class CastlingRightsTest : public testing::TestWithParam<CastlingRow> { };

TEST_P(CastlingRightsTest, KeptRightIsZeroLostRightIsOne) {
    TChessBoard board;
    LoadFen(board, "r3k2r/8/8/8/8/8/8/R3K2R w " + GetParam().Rights + " - 0 1");
    const char* squares[6] = { "e1", "a1", "h1", "e8", "a8", "h8" };
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(board.PieceAt(Sq(squares[i]))->MoveCount, GetParam().MoveCounts[i]) << squares[i];
}

INSTANTIATE_TEST_SUITE_P(Rights, CastlingRightsTest,
    testing::Values(CastlingRow { "All", "KQkq", { 0, 0, 0, 0, 0, 0 } },
        CastlingRow { "None", "-", { 1, 1, 1, 1, 1, 1 } },
        CastlingRow { "WhiteKingsideBlackQueenside", "Kq", { 0, 1, 0, 0, 0, 1 } },
        CastlingRow { "BlackOnly", "kq", { 1, 1, 1, 0, 0, 0 } },
        CastlingRow { "WhiteQueensideOnly", "Q", { 0, 0, 1, 1, 1, 1 } }),
    RowName());

TEST(Fen, RightsDecideCastlingOnTheBoard) {
    TChessBoard board;
    LoadFen(board, "r3k2r/8/8/8/8/8/8/R3K2R w Kq - 0 1");
    EXPECT_TRUE(board.CanCastle(pcWhite, false));
    EXPECT_FALSE(board.CanCastle(pcWhite, true));
    EXPECT_TRUE(board.CanCastle(pcBlack, true));
    EXPECT_FALSE(board.CanCastle(pcBlack, false));
}

TEST(Fen, EnPassantFieldNamesThePawnThatJustMoved) {
    TChessBoard board;
    EXPECT_EQ(
        LoadFen(board, "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1"), pcBlack);
    EXPECT_TRUE(board.EnPassant);
    EXPECT_EQ(board.LastMoveTo, Sq("e4"));

    LoadFen(board, StartFen);
    EXPECT_FALSE(board.EnPassant);
    EXPECT_EQ(board.LastMoveTo, MakePoint(0, 0));
    EXPECT_EQ(board.WhiteKing, Sq("e1"));
}

TEST(Fen, ShortFormWithoutMoveNumbersIsRead) {
    TChessBoard board;
    EXPECT_EQ(LoadFen(board, "4k3/8/8/8/8/8/8/4K3 b"), pcBlack);
    EXPECT_EQ(SaveFen(board, pcBlack), "4k3/8/8/8/8/8/8/4K3 b - - 0 1");
}

struct BadFenRow {
    std::string Name;
    friend void PrintTo(const BadFenRow& row, std::ostream* os) { *os << row.Name; }
    std::string Fen;
};

class BadFenTest : public testing::TestWithParam<BadFenRow> { };

TEST_P(BadFenTest, IsRefusedAndLeavesTheBoard) {
    TChessBoard board;
    Play(board, "e2e4");
    const std::string before = Snapshot(board);
    EXPECT_THROW(LoadFen(board, GetParam().Fen), EFenError);
    EXPECT_EQ(Snapshot(board), before);
}

INSTANTIATE_TEST_SUITE_P(Malformed, BadFenTest,
    testing::Values(BadFenRow { "Empty", "" }, BadFenRow { "OnlySpaces", "   " },
        BadFenRow { "MissingSide", "4k3/8/8/8/8/8/8/4K3" },
        BadFenRow { "SideNotWOrB", "4k3/8/8/8/8/8/8/4K3 x - - 0 1" },
        BadFenRow { "RankTooShort", "4k3/8/8/8/8/8/8/4K2 w - - 0 1" },
        BadFenRow { "RankTooLong", "4k3/8/8/8/8/8/8/4K4 w - - 0 1" },
        BadFenRow { "PieceBeyondTheRank", "4k3/8/8/8/8/8/8/4K3R w - - 0 1" },
        BadFenRow { "DigitNine", "4k3/8/8/8/8/8/8/9 w - - 0 1" },
        BadFenRow { "DigitZero", "4k3/8/8/8/8/8/08/4K3 w - - 0 1" },
        BadFenRow { "SevenRanks", "4k3/8/8/8/8/8/4K3 w - - 0 1" },
        BadFenRow { "NineRanks", "4k3/8/8/8/8/8/8/8/4K3 w - - 0 1" },
        BadFenRow { "TrailingSlash", "4k3/8/8/8/8/8/8/4K3/ w - - 0 1" },
        BadFenRow { "UnknownLetter", "4k3/8/8/8/8/8/8/4K2x w - - 0 1" },
        BadFenRow { "NonAsciiByte", "4k3/8/8/8/8/8/8/4K2\xe9 w - - 0 1" },
        BadFenRow { "NoWhiteKing", "4k3/8/8/8/8/8/8/8 w - - 0 1" },
        BadFenRow { "TwoBlackKings", "3kk3/8/8/8/8/8/8/4K3 w - - 0 1" },
        BadFenRow { "PawnOnFirstRank", "4k3/8/8/8/8/8/8/P3K3 w - - 0 1" },
        BadFenRow { "PawnOnLastRank", "p3k3/8/8/8/8/8/8/4K3 w - - 0 1" },
        BadFenRow { "SeventeenWhitePieces", "4k3/8/8/8/8/PPPPPPPP/NNNNNNNN/4K3 w - - 0 1" },
        BadFenRow { "CastlingWithoutRook", "4k3/8/8/8/8/8/8/4K3 w K - 0 1" },
        BadFenRow { "CastlingWithKingAway", "4k3/8/8/8/8/8/8/3K3R w K - 0 1" },
        BadFenRow { "CastlingUnknownLetter", "4k3/8/8/8/8/8/8/R3K3 w QX - 0 1" },
        BadFenRow { "EnPassantWrongRank", "4k3/8/8/3pP3/8/8/8/4K3 w - d3 0 1" },
        BadFenRow { "EnPassantWithoutPawn", "4k3/8/8/4P3/8/8/8/4K3 w - d6 0 1" },
        BadFenRow { "EnPassantSquareOccupied", "4k3/8/3n4/3pP3/8/8/8/4K3 w - d6 0 1" },
        BadFenRow { "EnPassantNotASquare", "4k3/8/8/3pP3/8/8/8/4K3 w - z6 0 1" },
        BadFenRow { "EnPassantTooLong", "4k3/8/8/3pP3/8/8/8/4K3 w - d66 0 1" },
        BadFenRow { "SideNotToMoveInCheck", "4k3/8/8/8/8/8/8/4R1K1 w - - 0 1" },
        BadFenRow { "NegativeMoveNumber", "4k3/8/8/8/8/8/8/4K3 w - - -1 1" },
        BadFenRow { "WordForMoveNumber", "4k3/8/8/8/8/8/8/4K3 w - - 0 one" },
        BadFenRow { "TrailingText", "4k3/8/8/8/8/8/8/4K3 w - - 0 1 extra" }),
    RowName());

// Files in the wild carry castling rights their position cannot have; the lenient reader drops
// them and sets up the rest, where the strict one refuses the whole text.
struct DroppedCastlingRow {
    std::string Name;
    friend void PrintTo(const DroppedCastlingRow& row, std::ostream* os) { *os << row.Name; }
    std::string Fen;
    std::string Dropped;
    std::string Written;
};

class DroppedCastlingTest : public testing::TestWithParam<DroppedCastlingRow> { };

TEST_P(DroppedCastlingTest, ImpossibleRightsAreDroppedAndTheRestKept) {
    TChessBoard board;
    std::string dropped;
    const TPieceColour side = LoadFenDroppingCastling(board, GetParam().Fen, dropped);
    EXPECT_EQ(dropped, GetParam().Dropped);
    EXPECT_EQ(SaveFen(board, side), GetParam().Written);
    TChessBoard strict;
    if (GetParam().Dropped.empty())
        EXPECT_NO_THROW(LoadFen(strict, GetParam().Fen));
    else
        EXPECT_THROW(LoadFen(strict, GetParam().Fen), EFenError);
}

INSTANTIATE_TEST_SUITE_P(Rights, DroppedCastlingTest,
    testing::Values(DroppedCastlingRow { "KingNotOnE1", "4k3/8/8/8/8/8/8/3K3R w K - 0 1", "K",
                        "4k3/8/8/8/8/8/8/3K3R w - - 0 1" },
        DroppedCastlingRow { "RookMissing", "r3k3/8/8/8/8/8/8/4K3 b kq - 3 40", "k",
            "r3k3/8/8/8/8/8/8/4K3 b q - 0 1" },
        DroppedCastlingRow { "EveryRightImpossible", "8/4k3/8/8/8/8/4K3/8 w KQkq - 0 1", "KQkq",
            "8/4k3/8/8/8/8/4K3/8 w - - 0 1" },
        DroppedCastlingRow {
            "LetterTwice", "4k3/8/8/8/8/8/8/4K3 w KK - 0 1", "K", "4k3/8/8/8/8/8/8/4K3 w - - 0 1" },
        DroppedCastlingRow { "PossibleRightsKept", StartFen, "", StartFen }),
    RowName());

TEST(Fen, TheLenientReaderRefusesWhatElseIsWrong) {
    TChessBoard board;
    std::string dropped;
    EXPECT_THROW(
        LoadFenDroppingCastling(board, "4k3/8/8/8/8/8/8/3K4 w KX - 0 1", dropped), EFenError);
    EXPECT_THROW(
        LoadFenDroppingCastling(board, "4k3/8/8/8/8/8/8/3K4 w K - 0 1 extra", dropped), EFenError);
    // A refused text reports no dropped right.
    EXPECT_EQ(dropped, "");
}

// Random damage to valid texts never crashes the reader: it either loads a position that writes
// back as FEN and reloads, or refuses with EFenError.
TEST(Fen, DamagedTextIsLoadedOrRefusedNeverCrashes) {
    const std::string seeds[]
        = { StartFen, "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
              "rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPP1PPP/RNBQKBNR w KQkq f6 0 1" };
    const std::string alphabet = "pnbrqkPNBRQK12345678/ -wbKQkqa3e60\xff";
    std::mt19937 rng(20240611);
    int loaded = 0;
    for (int round = 0; round < 3000; ++round) {
        std::string fen = seeds[round % 3];
        const int edits = 1 + int(rng() % 3);
        for (int e = 0; e < edits && !fen.empty(); ++e) {
            const size_t at = rng() % fen.size();
            switch (rng() % 3) {
            case 0:
                fen[at] = alphabet[rng() % alphabet.size()];
                break;
            case 1:
                fen.erase(at, 1);
                break;
            default:
                fen.insert(at, 1, alphabet[rng() % alphabet.size()]);
            }
        }
        TChessBoard board;
        try {
            const TPieceColour side = LoadFen(board, fen);
            TChessBoard again;
            EXPECT_NO_THROW(LoadFen(again, SaveFen(board, side))) << fen;
            ++loaded;
        } catch (const EFenError&) { }
    }
    EXPECT_GT(loaded, 50) << "the damage should leave some texts valid";
}
