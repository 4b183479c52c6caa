// The PGN reader for files other programs wrote: spellings, movetext syntax, encodings, line
// ends, set-up positions, broken games among good ones, the limits, and our own export read back.

#include "Fen.h"
#include "Pgn.h"
#include "PgnFileReader.h"
#include "RandomGame.h"
#include "RecordsTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include <unistd.h>

namespace {

// The moves as "e2e4 e7e8q ...".
std::string Coordinates(const TMoveList& moves) {
    std::string text;
    for (const TMoveRecord* m = moves.First(); m; m = m->Next) {
        if (!text.empty())
            text += ' ';
        text += SquareName(m->From) + SquareName(m->To);
        if (m->Flags & mrPromotion)
            text += "?rnbq"[m->PromotionKind];
    }
    return text;
}

const TPgnGameRecord& OnlyGame(const TPgnFile& file) {
    EXPECT_TRUE(file.Error.empty()) << file.Error;
    EXPECT_EQ(file.Games.size(), 1u);
    static TPgnGameRecord none;
    return file.Games.empty() ? none : file.Games.front();
}

// The moves of one game read from movetext alone, or its error.
std::string MovesOf(const std::string& movetext) {
    const TPgnFile file = ReadPgnText(movetext);
    const TPgnGameRecord& game = OnlyGame(file);
    return game.Error.empty() ? Coordinates(game.Moves) : "error: " + game.Error;
}

std::string WithFen(const std::string& fen, const std::string& movetext) {
    return MovesOf("[SetUp \"1\"]\n[FEN \"" + fen + "\"]\n\n" + movetext);
}

// Two white knights (b1 and f3 ... ) can reach d2; the one on b1 must be named.
const char* const TwoKnightsFen = "4k3/8/8/8/8/5N2/8/1N2K3 w - - 0 1";
// Two white rooks on the e-file can both reach e4; the rank tells them apart.
const char* const TwoRooksFen = "k7/8/4R3/8/8/8/8/4RK2 w - - 0 1";
// Queens on e4, h4 and h1 can all go to e1: only file and rank together name the one on h4.
const char* const ThreeQueensFen = "2k5/8/8/8/4Q2Q/8/8/K6Q w - - 0 1";

TEST(PgnFileReader, DisambiguationNeededGivenAndOverGiven) {
    EXPECT_EQ(WithFen(TwoKnightsFen, "1. Nbd2 *"), "b1d2");
    EXPECT_EQ(WithFen(TwoKnightsFen, "1. Nfd2 *"), "f3d2");
    EXPECT_EQ(WithFen(TwoKnightsFen, "1. N1d2 *"), "b1d2");
    EXPECT_EQ(WithFen(TwoKnightsFen, "1. Nb1d2 *"), "b1d2");
    EXPECT_EQ(WithFen(TwoKnightsFen, "1. Nb1-d2 *"), "b1d2");
    // Only one knight reaches e5: the disambiguation-free and the over-disambiguated spelling.
    EXPECT_EQ(WithFen(TwoKnightsFen, "1. Ne5 *"), "f3e5");
    EXPECT_EQ(WithFen(TwoKnightsFen, "1. Nfe5 *"), "f3e5");
    const std::string ambiguous = WithFen(TwoKnightsFen, "1. Nd2 *");
    EXPECT_NE(ambiguous.find("ambiguous: 2 legal moves match"), std::string::npos) << ambiguous;
    EXPECT_NE(ambiguous.find("ply 1 (1. Nd2)"), std::string::npos) << ambiguous;
    // A named origin that holds no such piece matches nothing.
    EXPECT_NE(WithFen(TwoKnightsFen, "1. Ncd2 *").find("no legal move matches \"Ncd2\""),
        std::string::npos);

    EXPECT_EQ(WithFen(TwoRooksFen, "1. R1e4 *"), "e1e4");
    EXPECT_EQ(WithFen(TwoRooksFen, "1. R6e4 *"), "e6e4");
    EXPECT_EQ(WithFen(TwoRooksFen, "1. Ree4 *").substr(0, 6), "error:");

    EXPECT_EQ(WithFen(ThreeQueensFen, "1. Qh4e1 *"), "h4e1");
    EXPECT_EQ(WithFen(ThreeQueensFen, "1. Qh4xe1 *"), "h4e1");
    EXPECT_EQ(WithFen(ThreeQueensFen, "1. Qe4e1 *"), "e4e1");
    EXPECT_EQ(WithFen(ThreeQueensFen, "1. Qhe1 *").substr(0, 6), "error:");
    EXPECT_EQ(WithFen(ThreeQueensFen, "1. Q4e1 *").substr(0, 6), "error:");
}

// The same few moves in the spellings of different programs, with every annotation suffix.
TEST(PgnFileReader, SpellingsMarksAndSuffixes) {
    const std::string expected = "e2e4 e7e5 g1f3 b8c6 f1b5 a7a6 b5c6 d7c6 e1g1 f7f6";
    EXPECT_EQ(MovesOf("1. e4 e5 2. Nf3 Nc6 3. Bb5 a6 4. Bxc6 dxc6 5. O-O f6 *"), expected);
    EXPECT_EQ(MovesOf("1.e4 e5 2.Nf3 Nc6 3.Bb5 a6 4.Bxc6 dxc6 5.0-0 f6 *"), expected);
    EXPECT_EQ(
        MovesOf("1. e4! e5? 2. Nf3!? Nc6?! 3. Bb5!! a6?? 4. B:c6 d:c6 5. O-O+ f6 *"), expected);
    EXPECT_EQ(MovesOf("1. e2-e4 e7-e5 2. Ng1-f3 Nb8-c6 3. Bf1-b5 a7-a6 4. Bb5xc6 d7xc6 5. 0-0 "
                      "f7-f6 *"),
        expected);
    EXPECT_EQ(MovesOf("1. e4 1... e5 2. Nf3 2... Nc6 3. Bb5 3 ... a6 4. Bxc6 dxc6 5. O-O f6 *"),
        expected);
    EXPECT_EQ(MovesOf("1. Pe4 e5 2. Nf3 Nc6 3. Bb5 a6 4. Bxc6 dxc6 5. OO f6 *"), expected);
    EXPECT_EQ(
        MovesOf("1. e4 $1 e5 $2 2. Nf3 $14 Nc6 3. Bb5 += a6 4. Bxc6 ! dxc6 5. O-O f6 *"), expected);
    // Lower-case letters other than files, a null move, a piece that does not exist.
    EXPECT_NE(MovesOf("1. nf3 *").find("\"nf3\" is not a move"), std::string::npos);
    EXPECT_NE(MovesOf("1. e4 -- *").find("\"--\" is not a move"), std::string::npos);
    EXPECT_NE(MovesOf("1. Zf3 *").find("is not a move"), std::string::npos);
    EXPECT_NE(MovesOf("1. e5 *").find("no legal move matches \"e5\""), std::string::npos);
    // A long token is shown cut, and control characters as spaces.
    EXPECT_EQ(MovesOf("1. e4 " + std::string(50, 'Z') + " *"),
        "error: game 1 (? - ?), ply 2 (1... " + std::string(40, 'Z') + "...): \""
            + std::string(40, 'Z') + "...\" is not a move");
    EXPECT_NE(MovesOf("1. e\x01x *").find("\"e x\" is not a move"), std::string::npos);
}

TEST(PgnFileReader, CastlingBothWaysInBothSpellings) {
    const char* const fen = "r3k2r/pppppppp/8/8/8/8/PPPPPPPP/R3K2R w KQkq - 0 1";
    EXPECT_EQ(WithFen(fen, "1. O-O O-O *"), "e1g1 e8g8");
    EXPECT_EQ(WithFen(fen, "1. 0-0 0-0 *"), "e1g1 e8g8");
    EXPECT_EQ(WithFen(fen, "1. O-O-O O-O-O *"), "e1c1 e8c8");
    EXPECT_EQ(WithFen(fen, "1. 0-0-0 0-0-0+ *"), "e1c1 e8c8");
    EXPECT_EQ(WithFen(fen, "1. O-O 0-0-0 *"), "e1g1 e8c8");
    // The rook moved: no castling on that side.
    const std::string refused = WithFen(fen, "1. Rg1 a6 2. Rh1 b6 3. O-O *");
    EXPECT_NE(refused.find("ply 5 (3. O-O): castling short is not legal here"), std::string::npos)
        << refused;
    // Through check.
    EXPECT_NE(WithFen("r3k2r/8/8/8/8/8/3r4/R3K2R w KQkq - 0 1", "1. O-O-O *").find("not legal"),
        std::string::npos);
}

TEST(PgnFileReader, EnPassantAndPromotions) {
    EXPECT_EQ(MovesOf("1. e4 a6 2. e5 d5 3. exd6 *"), "e2e4 a7a6 e4e5 d7d5 e5d6");
    EXPECT_EQ(MovesOf("1. e4 a6 2. e5 d5 3. exd6 e.p. *"), "e2e4 a7a6 e4e5 d7d5 e5d6");
    EXPECT_EQ(MovesOf("1. e4 a6 2. e5 d5 3. exd6e.p. *"), "e2e4 a7a6 e4e5 d7d5 e5d6");
    EXPECT_EQ(MovesOf("1. e4 a6 2. e5 d5 3. ed6 *"), "e2e4 a7a6 e4e5 d7d5 e5d6");

    // The en passant capture is recorded as the controller records it.
    const TPgnFile file = ReadPgnText("1. e4 a6 2. e5 d5 3. exd6 *");
    TMoveList expected;
    Record(expected, { "e2e4", "a7a6", "e4e5", "d7d5", "e5d6" });
    ASSERT_EQ(file.Games.size(), 1u);
    EXPECT_EQ(file.Games[0].Moves.Last()->Flags, expected.Last()->Flags);

    const char* const fen = "1n2k3/P7/8/8/8/8/7p/4K3 w - - 0 1";
    EXPECT_EQ(WithFen(fen, "1. a8=Q h1=N *"), "a7a8q h2h1n");
    EXPECT_EQ(WithFen(fen, "1. a8Q h1R *"), "a7a8q h2h1r");
    EXPECT_EQ(WithFen(fen, "1. axb8=R+ Kd7 *"), "a7b8r e8d7");
    EXPECT_EQ(WithFen(fen, "1. a7b8=b Kd7 *"), "a7b8b e8d7");
    EXPECT_EQ(WithFen(fen, "1. a7-a8=N h1=Q+ *"), "a7a8n h2h1q");
    EXPECT_NE(WithFen(fen, "1. a8 *").find("reaches the last rank without naming the piece"),
        std::string::npos);
    EXPECT_NE(WithFen(fen, "1. Kd2 Kd7=Q *").find("is not a move"), std::string::npos);

    // A promotion that mates is recorded with its completed flags.
    const TPgnFile mate
        = ReadPgnText("[SetUp \"1\"]\n[FEN \"k7/2P5/1K6/8/8/8/8/8 w - - 0 1\"]\n\n1. c8=Q# 1-0\n");
    ASSERT_EQ(mate.Games.size(), 1u);
    const TMoveRecord* last = mate.Games[0].Moves.Last();
    ASSERT_NE(last, nullptr);
    EXPECT_EQ(last->Kind, pkPawn);
    EXPECT_EQ(last->PromotionKind, pkQueen);
    EXPECT_TRUE(last->Flags & mrPromotion);
    EXPECT_TRUE(last->Flags & mrGameOver);
    EXPECT_TRUE(last->Flags & mrCheck);
}

TEST(PgnFileReader, CommentsVariationsNagsAndEscapeLines) {
    // The first '}' ends a comment: "brace" is then a token, and no move.
    const TPgnFile file = ReadPgnText("1. e4 {a } brace} e5 *");
    ASSERT_EQ(file.Games.size(), 1u);
    EXPECT_NE(file.Games[0].Error.find("\"brace\" is not a move"), std::string::npos)
        << file.Games[0].Error;

    const TPgnFile good = ReadPgnText("% escape\n[Event \"x\"]\n\n{c} 1. e4 {best} (1. d4 d5 "
                                      "(1... Nf6 2. c4) 2. c4) 1... e5 ; comment ) (\n"
                                      "2. Nf3 $1 (2. f4 exf4 3. Nf3 (3. Bc4)) Nc6 3. Bb5\n"
                                      "%3. Qh5\n"
                                      "a6 1-0\n");
    const TPgnGameRecord& game = OnlyGame(good);
    EXPECT_EQ(game.Error, "");
    EXPECT_EQ(Coordinates(game.Moves), "e2e4 e7e5 g1f3 b8c6 f1b5 a7a6");
    EXPECT_EQ(game.Result, "1-0");
}

TEST(PgnFileReader, TagsInOrderWithEscapes) {
    const TPgnFile file = ReadPgnText("[Zeta \"last\"]\n[White \"Anna \\\"Ace\\\" O\\\\Neil\"]\n"
                                      "[Black \"Bo\"]  [Annotator \"He said \"hi\" there\"]\n"
                                      "[Event \"tab\there\"]\n\n1. e4 0-1\n");
    const TPgnGameRecord& game = OnlyGame(file);
    ASSERT_EQ(game.Tags.size(), 5u);
    EXPECT_EQ(game.Tags[0], (std::pair<std::string, std::string> { "Zeta", "last" }));
    EXPECT_EQ(game.Tags[1].second, "Anna \"Ace\" O\\Neil");
    EXPECT_EQ(game.Tags[2].first, "Black");
    EXPECT_EQ(game.Tags[3].second, "He said \"hi\" there");
    EXPECT_EQ(game.Tags[4].second, "tab here");
    EXPECT_EQ(game.Players(), "Anna \"Ace\" O\\Neil - Bo");
    EXPECT_EQ(game.Result, "0-1");
}

// Game 2 breaks at its fifth ply: it keeps its first four moves, games 1 and 3 read whole.
TEST(PgnFileReader, ABrokenGameAmongGoodOnes) {
    const std::string text = "[White \"A\"]\n[Black \"B\"]\n\n1. e4 e5 2. Nf3 1-0\n\n"
                             "[White \"Carla\"]\n[Black \"Dan\"]\n\n1. d4 d5 2. c4 e6 3. Ke3 "
                             "Nf6 4. Nc3 0-1\n\n"
                             "[White \"E\"]\n[Black \"F\"]\n\n1. c4 1/2-1/2\n";
    const TPgnFile file = ReadPgnText(text);
    EXPECT_EQ(file.Error, "");
    ASSERT_EQ(file.Games.size(), 3u);
    EXPECT_EQ(file.Games[0].Error, "");
    EXPECT_EQ(file.Games[0].Moves.Count(), 3);
    EXPECT_EQ(file.Games[0].Result, "1-0");
    EXPECT_EQ(
        file.Games[1].Error, "game 2 (Carla - Dan), ply 5 (3. Ke3): no legal move matches \"Ke3\"");
    EXPECT_EQ(Coordinates(file.Games[1].Moves), "d2d4 d7d5 c2c4 e7e6");
    EXPECT_EQ(file.Games[1].Result, "0-1");
    EXPECT_EQ(file.Games[2].Error, "");
    EXPECT_EQ(file.Games[2].Number, 3u);
    EXPECT_EQ(file.Games[2].Result, "1/2-1/2");
}

TEST(PgnFileReader, GamesWithoutResultTokensOrTags) {
    // The next tag starts the next game; the Result tag stands in for the missing token; the
    // file may end in the middle of the movetext.
    const TPgnFile file
        = ReadPgnText("[Result \"1-0\"]\n1. e4 e5\n[Result \"?\"]\n1. d4\n\n1. c4 e5 *\n2. Nc3");
    EXPECT_EQ(file.Error, "");
    ASSERT_EQ(file.Games.size(), 4u);
    EXPECT_EQ(file.Games[0].Result, "1-0");
    EXPECT_EQ(Coordinates(file.Games[0].Moves), "e2e4 e7e5");
    EXPECT_EQ(file.Games[1].Result, "*");
    EXPECT_EQ(Coordinates(file.Games[1].Moves), "d2d4");
    // Move 1 again after moves were played starts the next game, tags or not.
    EXPECT_TRUE(file.Games[2].Tags.empty());
    EXPECT_EQ(file.Games[2].Error, "");
    EXPECT_EQ(Coordinates(file.Games[2].Moves), "c2c4 e7e5");
    EXPECT_EQ(file.Games[3].Error, "");
    EXPECT_EQ(Coordinates(file.Games[3].Moves), "b1c3");
    const TPgnFile blankLines = ReadPgnText("1. e4 e5 2. Nf3\n\n1. d4 d5\n\n1. c4 1... e5\n");
    ASSERT_EQ(blankLines.Games.size(), 3u);
    EXPECT_EQ(Coordinates(blankLines.Games[1].Moves), "d2d4 d7d5");
    EXPECT_EQ(Coordinates(blankLines.Games[2].Moves), "c2c4 e7e5");
    // Black's first move after a comment is no new game, however its number is written.
    for (const char* text :
        { "1. e4 {x} 1... e5 *", "1. e4 {x} 1. ... e5 *", "1. e4 (1. d4) 1 ... e5" }) {
        const TPgnFile one = ReadPgnText(text);
        ASSERT_EQ(one.Games.size(), 1u) << text;
        EXPECT_EQ(Coordinates(one.Games[0].Moves), "e2e4 e7e5") << text;
    }
    // A result token, "*" too, is the game's result, whatever the tag says.
    EXPECT_EQ(OnlyGame(ReadPgnText("[Result \"1-0\"]\n\n1. e4 *\n")).Result, "*");
    EXPECT_EQ(ReadPgnText("").Games.size(), 0u);
    EXPECT_EQ(ReadPgnText("\n  \n{only a comment}\n").Games.size(), 0u);
}

TEST(PgnFileReader, Latin1AndUtf8Names) {
    const TPgnFile file = ReadPgnText("[White \"M\xFCller\"]\n[Black \"Jos\xC3\xA9\"]\n"
                                      "[Event \"A \x96 B\"]\n\n1. e4 *\n");
    const TPgnGameRecord& game = OnlyGame(file);
    EXPECT_EQ(game.Tag("White"), "M\xC3\xBCller");
    EXPECT_EQ(game.Tag("Black"), "Jos\xC3\xA9");
    // The byte 0x96 of Windows-1252 is an en dash.
    EXPECT_EQ(game.Tag("Event"), "A \xE2\x80\x93 B");
    EXPECT_EQ(PgnTextToUtf8("\xC0\xAF"), "\xC3\x80\xC2\xAF"); // an overlong form is no UTF-8
    EXPECT_EQ(PgnTextToUtf8("\xED\xA0\x80"), "\xC3\xAD\xC2\xA0\xE2\x82\xAC"); // nor a surrogate
    EXPECT_EQ(PgnTextToUtf8("\xF0\x9F\x98\x80"), "\xF0\x9F\x98\x80");
}

TEST(PgnFileReader, LineEndsAndByteOrderMark) {
    const std::string lf = "[White \"A\"]\n[Black \"B\"]\n\n1. e4 e5 ; note\n2. Nf3 *\n\n"
                           "[White \"C\"]\n\n%x\n1. d4 *\n";
    for (const std::string& eol : { std::string("\r\n"), std::string("\r") }) {
        std::string text = "\xEF\xBB\xBF%escape right after the mark" + eol;
        for (const char c : lf)
            text += c == '\n' ? eol : std::string(1, c);
        const TPgnFile file = ReadPgnText(text);
        ASSERT_EQ(file.Games.size(), 2u);
        EXPECT_EQ(file.Games[0].Tags[0].first, "White");
        EXPECT_EQ(file.Games[0].Tag("Black"), "B");
        EXPECT_EQ(Coordinates(file.Games[0].Moves), "e2e4 e7e5 g1f3");
        EXPECT_EQ(file.Games[1].Error, "");
        EXPECT_EQ(Coordinates(file.Games[1].Moves), "d2d4");
    }
}

TEST(PgnFileReader, SetUpPositions) {
    const std::string fen = "4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 37";
    const TPgnFile file = ReadPgnText("[FEN \"" + fen + "\"]\n[SetUp \"1\"]\n\n37. exd6 Kd7 *\n");
    const TPgnGameRecord& game = OnlyGame(file);
    EXPECT_EQ(game.StartFen, fen);
    EXPECT_EQ(game.StartSide, pcWhite);
    EXPECT_EQ(Coordinates(game.Moves), "e5d6 e8d7");

    // Black to move: the error counts moves from the FEN's number.
    const TPgnFile black = ReadPgnText("[SetUp \"1\"]\n[FEN \"4k3/8/8/8/8/8/8/4K3 b - - 0 12\"]\n"
                                       "\n12... Kd7 13. Ke2 Kc9 *\n");
    ASSERT_EQ(black.Games.size(), 1u);
    EXPECT_EQ(black.Games[0].StartSide, pcBlack);
    EXPECT_EQ(black.Games[0].Error, "game 1 (? - ?), ply 3 (13... Kc9): \"Kc9\" is not a move");
    TChessBoard board;
    ASSERT_TRUE(black.Games[0].SetUpStart(board));
    EXPECT_EQ(SaveFen(board, pcBlack), "4k3/8/8/8/8/8/8/4K3 b - - 0 1");

    // The initial position given as a FEN is no set-up.
    const TPgnFile initial
        = ReadPgnText(std::string("[SetUp \"1\"]\n[FEN \"") + StartFen + "\"]\n\n1. e4 *\n");
    EXPECT_EQ(OnlyGame(initial).StartFen, "");

    const TPgnFile bad = ReadPgnText("[White \"W\"]\n[FEN \"8/8/8 w - - 0 1\"]\n\n1. e4 *\n");
    ASSERT_EQ(bad.Games.size(), 1u);
    EXPECT_NE(
        bad.Games[0].Error.find("game 1 (W - ?): the FEN tag is not a position"), std::string::npos)
        << bad.Games[0].Error;
    EXPECT_EQ(bad.Games[0].Moves.Count(), 0);
}

// A FEN tag with castling rights its position cannot have opens without them, with a warning
// that names the game; StartFen is the position as set up, with the tag's move counters.
TEST(PgnFileReader, ImpossibleCastlingRightsAreDroppedWithAWarning) {
    const TPgnFile file = ReadPgnText("[White \"W\"]\n[Black \"B\"]\n[SetUp \"1\"]\n"
                                      "[FEN \"r3k3/8/8/8/8/8/8/3K3R w Kq - 4 30\"]\n\n"
                                      "30. Rh8+ Ke7 31. Rxa8 *\n");
    const TPgnGameRecord& game = OnlyGame(file);
    EXPECT_EQ(game.Error, "");
    EXPECT_EQ(game.DroppedCastling, "K");
    EXPECT_EQ(game.Warning,
        "game 1 (W - B): castling right \"K\" dropped: the king or the rook is not on its square");
    EXPECT_EQ(game.StartFen, "r3k3/8/8/8/8/8/8/3K3R w q - 4 30");
    EXPECT_EQ(Coordinates(game.Moves), "h1h8 e8e7 h8a8");
    TChessBoard board;
    EXPECT_TRUE(game.SetUpStart(board));

    TPgnGameRecord copy;
    copy.Assign(game);
    EXPECT_EQ(copy.Warning, game.Warning);
    EXPECT_EQ(copy.DroppedCastling, "K");

    // A game whose rights are all possible has no warning.
    const TPgnFile fine
        = ReadPgnText("[SetUp \"1\"]\n[FEN \"r3k3/8/8/8/8/8/8/4K2R w Kq - 0 1\"]\n\n1. O-O *\n");
    EXPECT_EQ(OnlyGame(fine).Warning, "");
    EXPECT_EQ(OnlyGame(fine).DroppedCastling, "");
}

// A large file is read in pieces that tell how far the reading got, and the caller may stop it
// there. A line longer than the limit (a sparse file of zeros, as `truncate -s` makes) ends the
// reading as soon as that many bytes were read, not at the end of the file.
TEST(PgnFileReader, ReadingInPiecesReportsProgressAndStopsWhenAsked) {
    const std::string games = "[White \"A\"]\n[Black \"B\"]\n\n1. f3 e5 2. g4 Qh4# 0-1\n\n";
    std::string text;
    for (int i = 0; i < 2000; ++i)
        text += games;
    std::istringstream in(text);
    uint64_t last = 0;
    int calls = 0;
    size_t read = 0;
    const std::string error = ReadPgnStream(
        in,
        [&](const TPgnGameRecord&) {
            ++read;
            return true;
        },
        {},
        [&](uint64_t bytes) {
            EXPECT_GT(bytes, last);
            last = bytes;
            // Stopped after the second piece.
            return ++calls < 2;
        });
    EXPECT_EQ(error, PgnReadCancelled);
    EXPECT_EQ(calls, 2);
    EXPECT_LT(read, size_t(2000));

    const std::filesystem::path sparse = std::filesystem::temp_directory_path()
        / ("wm-sparse-" + std::to_string(getpid()) + ".pgn");
    std::ofstream(sparse).close();
    std::filesystem::resize_file(sparse, uint64_t(1) << 31);
    TPgnLimits limits;
    limits.MaxLineBytes = size_t(1) << 20;
    uint64_t bytesRead = 0;
    const std::string lineError = ReadPgnFile(
        sparse.string(), [](const TPgnGameRecord&) { return true; }, limits,
        [&](uint64_t bytes) {
            bytesRead = bytes;
            return true;
        });
    std::filesystem::remove(sparse);
    EXPECT_NE(lineError.find("a line is longer than 1 MB"), std::string::npos) << lineError;
    EXPECT_LE(bytesRead, limits.MaxLineBytes + (uint64_t(1) << 17));
}

TEST(PgnFileReader, MalformedMovetext) {
    auto errorOf = [](const std::string& text) {
        const TPgnFile file = ReadPgnText(text);
        return file.Games.empty() ? std::string("no game") : file.Games[0].Error;
    };
    EXPECT_NE(errorOf("1. e4 {never closed").find("a comment is not closed"), std::string::npos);
    EXPECT_NE(errorOf("1. e4 ) e5 *").find("')' without its '('"), std::string::npos);
    EXPECT_NE(errorOf("1. e4 (1. d4 *").find("a variation is not closed"), std::string::npos);
    EXPECT_NE(errorOf("[White \"never closed\n1. e4 *").find("without its closing quote"),
        std::string::npos);
    EXPECT_NE(errorOf("[ \"no name\"]\n1. e4 *").find("a tag without a name"), std::string::npos);
    EXPECT_NE(errorOf("1. e4 \"e5\" *").find("is not a move"), std::string::npos);
    // A stray closing bracket or brace is a bad token, not a crash.
    EXPECT_NE(errorOf("1. e4 ] e5 } *").find("\"]\" is not a move"), std::string::npos);
}

TEST(PgnFileReader, LimitsGiveCleanErrors) {
    TPgnLimits limits;
    limits.MaxFileBytes = 10;
    EXPECT_EQ(ReadPgnText("1. e4 e5 2. Nf3 *", limits).Error, "the file is larger than 10 bytes");

    limits = {};
    limits.MaxTokenLength = 8;
    TPgnFile file
        = ReadPgnText("1. e4 Nf3xxxxxxxxxxxx *\n[White \"a very long name\"]\n1. e4 *", limits);
    ASSERT_EQ(file.Games.size(), 2u);
    EXPECT_NE(file.Games[0].Error.find("a token longer than 8 bytes"), std::string::npos);
    EXPECT_EQ(file.Games[0].Moves.Count(), 1);
    EXPECT_NE(file.Games[1].Error.find("a tag value longer than 8 bytes"), std::string::npos);

    limits = {};
    limits.MaxVariationDepth = 3;
    file = ReadPgnText("1. e4 (1. d4 (1. c4 (1. Nf3 (1. b3)))) e5 *\n1. d4 *", limits);
    ASSERT_EQ(file.Games.size(), 2u);
    EXPECT_NE(file.Games[0].Error.find("nested deeper than 3 levels"), std::string::npos);
    EXPECT_EQ(file.Games[1].Error, "");
    // Deep nesting within the default limit, and far beyond it, costs no stack.
    file = ReadPgnText("1. e4 " + std::string(100000, '(') + std::string(100000, ')') + " *");
    ASSERT_EQ(file.Games.size(), 1u);
    EXPECT_NE(file.Games[0].Error.find("nested deeper than 64 levels"), std::string::npos);

    limits = {};
    limits.MaxGames = 2;
    file = ReadPgnText("1. e4 *\n1. d4 *\n1. c4 *\n", limits);
    EXPECT_EQ(file.Games.size(), 2u);
    EXPECT_EQ(file.Error, "the file holds more than 2 games; the games after game 2 were not read");

    limits = {};
    limits.MaxTags = 2;
    file = ReadPgnText("[A \"1\"]\n[B \"2\"]\n[C \"3\"]\n1. e4 *", limits);
    ASSERT_EQ(file.Games.size(), 1u);
    EXPECT_NE(file.Games[0].Error.find("more than 2 tags"), std::string::npos);
}

// A game longer than a move list holds is stopped at the move that would overflow it.
TEST(PgnFileReader, GameLongerThanTheMoveListIsRefused) {
    std::string text;
    text.reserve(300000);
    for (int i = 0; i < 16384; ++i)
        text += "Nf3 Nf6 Ng1 Ng8 ";
    text += "Nc3 *";
    const TPgnFile file = ReadPgnText(text);
    ASSERT_EQ(file.Games.size(), 1u);
    EXPECT_EQ(file.Games[0].Moves.Count(), 65535);
    EXPECT_NE(file.Games[0].Error.find("ply 65536"), std::string::npos) << file.Games[0].Error;
    EXPECT_NE(file.Games[0].Error.find("more moves than a game can hold"), std::string::npos);
}

TEST(PgnFileReader, StopsWhenTheCallerHasEnough) {
    int seen = 0;
    const std::string error = ReadPgnGames("1. e4 *\n1. d4 *\n1. c4 *\n",
        [&](const TPgnGameRecord& game) { return ++seen < 2 && game.Number == 1; });
    EXPECT_EQ(error, "");
    EXPECT_EQ(seen, 2);
}

TEST(PgnFileReader, FileBytesAndTheirLimit) {
    const std::filesystem::path dir
        = std::filesystem::temp_directory_path() / ("wm-pgn-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "games.pgn").string();
    std::ofstream(path, std::ios::binary) << "1. e4 *\n";
    std::string bytes;
    std::string error;
    EXPECT_TRUE(ReadPgnFileBytes(path, bytes, error));
    EXPECT_EQ(bytes, "1. e4 *\n");
    TPgnLimits limits;
    limits.MaxFileBytes = 4;
    EXPECT_FALSE(ReadPgnFileBytes(path, bytes, error, limits));
    EXPECT_NE(error.find("is larger than"), std::string::npos);
    EXPECT_TRUE(bytes.empty());
    EXPECT_FALSE(ReadPgnFileBytes(dir.string(), bytes, error));
    EXPECT_EQ(error, dir.string() + " is not a file");
    EXPECT_FALSE(ReadPgnFileBytes((dir / "none.pgn").string(), bytes, error));
    EXPECT_EQ(error, "no file " + (dir / "none.pgn").string());
    std::filesystem::remove_all(dir);
}

// A file is read in pieces of whole lines; whatever falls at the edge of a piece (a comment over
// several lines, an escape line, CR LF, a long one-line movetext) must read as the whole text does.
TEST(PgnFileReader, FileReadInPiecesGivesWhatTheWholeTextGives) {
    std::string text = "\xEF\xBB\xBF";
    for (int g = 0; g < 3000; ++g) {
        text += "[Event \"E" + std::to_string(g) + " {not a comment}\"]\r\n[White \"W\"]\r\n\r\n";
        text += g % 7 == 0 ? "%escape [Event \"no\"]\n" : "";
        text += "1. e4 {a comment\nover lines\n[Event \"inside\"]\n} e5 ; rest } of line\n";
        text += g % 5 == 0 ? "2. Nf3 (2. f4 {x\n} exf4) Nc6 3. Bb5 a6 $1 1-0\n\n" : "2. Qh5 *\n\n";
    }
    // The end without a line end, inside a game.
    text += "[White \"Last\"]\n\n1. d4 d5";
    ASSERT_GT(text.size(), size_t(4) << 16);

    std::vector<std::string> whole;
    EXPECT_EQ(ReadPgnGames(text,
                  [&](const TPgnGameRecord& game) {
                      whole.push_back(game.Tag("Event") + "|" + game.Tag("White") + "|"
                          + Coordinates(game.Moves) + "|" + game.Result + "|" + game.Error);
                      return true;
                  }),
        "");
    ASSERT_EQ(whole.size(), 3001u);
    EXPECT_EQ(whole[0], "E0 {not a comment}|W|e2e4 e7e5 g1f3 b8c6 f1b5 a7a6|1-0|");
    EXPECT_EQ(whole[1], "E1 {not a comment}|W|e2e4 e7e5 d1h5|*|");
    EXPECT_EQ(whole[3000], "|Last|d2d4 d7d5|*|");

    std::vector<std::string> pieces;
    std::istringstream in(text);
    EXPECT_EQ(ReadPgnStream(in,
                  [&](const TPgnGameRecord& game) {
                      pieces.push_back(game.Tag("Event") + "|" + game.Tag("White") + "|"
                          + Coordinates(game.Moves) + "|" + game.Result + "|" + game.Error);
                      return true;
                  }),
        "");
    EXPECT_EQ(pieces, whole);
}

TEST(PgnFileReader, FileReadInPiecesStopsCleanly) {
    // A comment that never closes spoils only its own game, at the very end.
    std::istringstream open("1. e4 *\n\n1. d4 {never closed\n" + std::string(200000, 'x') + "\n");
    std::vector<std::string> errors;
    EXPECT_EQ(ReadPgnStream(open,
                  [&](const TPgnGameRecord& game) {
                      errors.push_back(game.Error);
                      return true;
                  }),
        "");
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(errors[0], "");
    EXPECT_NE(errors[1].find("a comment is not closed"), std::string::npos) << errors[1];

    // A line longer than the limit stops the reading with an error of the file.
    TPgnLimits limits;
    limits.MaxLineBytes = 100000;
    std::istringstream longLine("1. e4 *\n1. d4 " + std::string(300000, ' ') + "d5 *");
    int seen = 0;
    EXPECT_NE(ReadPgnStream(
                  longLine, [&](const TPgnGameRecord&) { return ++seen > 0; }, limits)
                  .find("a line is longer than"),
        std::string::npos);

    // The receiver that has enough stops the reading of the rest of the file.
    std::string many;
    for (int g = 0; g < 5000; ++g)
        many += "1. e4 e5 *\n";
    std::istringstream in(many);
    seen = 0;
    EXPECT_EQ(ReadPgnStream(in, [&](const TPgnGameRecord&) { return ++seen < 3; }), "");
    EXPECT_EQ(seen, 3);
    EXPECT_LT(in.tellg(), std::streampos(many.size()));
}

TEST(PgnFileReader, FileErrorsNameTheFile) {
    const std::filesystem::path dir
        = std::filesystem::temp_directory_path() / ("wm-pgnf-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const auto none = [](const TPgnGameRecord&) { return true; };
    EXPECT_EQ(
        ReadPgnFile((dir / "none.pgn").string(), none), "no file " + (dir / "none.pgn").string());
    EXPECT_EQ(ReadPgnFile(dir.string(), none), dir.string() + " is not a file");
    const std::string path = (dir / "many.pgn").string();
    {
        std::ofstream out(path, std::ios::binary);
        for (int g = 0; g < 4; ++g)
            out << "1. e4 *\n";
    }
    TPgnLimits limits;
    limits.MaxGames = 3;
    int seen = 0;
    const std::string error = ReadPgnFile(
        path, [&](const TPgnGameRecord&) { return ++seen > 0; }, limits);
    EXPECT_EQ(error.rfind(path + ": the file holds more than 3 games", 0), 0u) << error;
    EXPECT_EQ(seen, 3);
    std::filesystem::remove_all(dir);
}

// Random legal games with every kind of promotion, recorded as the controller records them,
// exported by GamePgn and read back: every record must come back the same, flags included.
TEST(PgnFileReader, OurOwnExportReadsBackToTheSameMoves) {
    std::mt19937 random(7);
    std::string text;
    std::vector<std::string> expected;
    std::vector<std::vector<TMoveResult>> flags;
    std::vector<std::vector<uint8_t>> kinds;
    int promotions = 0;
    for (int g = 0; g < 80; ++g) {
        TGameInfo game;
        game.White = "W" + std::to_string(g);
        game.Black = "B\xC3\xA9";
        game.Result = g % 2 ? grWhiteWon : grTied;
        TChessBoard board;
        PlayRandomGame(board, pcWhite, game.Moves, 250, random);
        text += GamePgn(game) + "\n";
        expected.push_back(Coordinates(game.Moves));
        flags.emplace_back();
        kinds.emplace_back();
        for (const TMoveRecord* m = game.Moves.First(); m; m = m->Next) {
            ASSERT_FALSE(m->Flags & mrInvalid);
            promotions += (m->Flags & mrPromotion) != 0;
            flags.back().push_back(m->Flags);
            kinds.back().push_back(m->Kind);
        }
    }
    EXPECT_GT(promotions, 15);

    const TPgnFile file = ReadPgnText(text);
    EXPECT_EQ(file.Error, "");
    ASSERT_EQ(file.Games.size(), expected.size());
    for (size_t g = 0; g < expected.size(); ++g) {
        const TPgnGameRecord& game = file.Games[g];
        EXPECT_EQ(game.Error, "") << g;
        EXPECT_EQ(game.Tag("White"), std::string("W") + std::to_string(g));
        EXPECT_EQ(game.Result, g % 2 ? "1-0" : "1/2-1/2");
        EXPECT_EQ(Coordinates(game.Moves), expected[g]) << g;
        size_t i = 0;
        for (const TMoveRecord* m = game.Moves.First(); m && i < flags[g].size(); m = m->Next) {
            EXPECT_EQ(m->Flags, flags[g][i]) << g << " " << i;
            EXPECT_EQ(m->Kind, kinds[g][i]) << g << " " << i;
            ++i;
        }
    }
}

} // namespace
