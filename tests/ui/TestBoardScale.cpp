// The board view at other sizes: the layout and its mouse mapping, the default size kept pixel for
// pixel, the scaled pieces, the redraw of what changed, and render --size.

#include "ViewTestSupport.h"

#include "Fen.h"

#include <QCryptographicHash>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

using namespace ViewTest;

namespace {

const int Sizes[] = { 506, 507, 600, 844, 1012, 1125, 2000, 4096 };

// Every point of every square maps back to that square, on both sides of the board, and the
// board with its captured columns and labels fits the view.
TEST(BoardLayout, SquaresRoundTripAtEverySize) {
    EXPECT_EQ(TBoardLayout::ForSize(506), TBoardLayout());
    EXPECT_EQ(TBoardLayout::ForSize(100).ViewSize, 506) << "never below the default";
    for (const int size : Sizes) {
        const TBoardLayout l = TBoardLayout::ForSize(size);
        EXPECT_EQ(l.ViewSize, size);
        EXPECT_EQ(l.PieceSize + 2 * l.Inset, l.SquareSize) << size;
        EXPECT_GE(l.SquareSize * 506, 54 * size - 506) << "squares keep the proportion";
        EXPECT_LE(l.Right() + l.Scaled(3 + 25 + 2 + 25), size) << "captured columns fit";
        EXPECT_LE(l.Bottom() + l.Scaled(16), size) << "letters fit";
        for (const bool switched : { false, true }) {
            for (int file = 1; file <= 8; ++file) {
                for (int rank = 1; rank <= 8; ++rank) {
                    const TPoint square { file, rank };
                    const TPoint o = l.SquareOrigin(square, switched);
                    const int last = l.SquareSize - 1;
                    for (const auto& [dx, dy] : { std::pair { 0, 0 }, { last, last }, { last, 0 },
                             { l.SquareSize / 2, l.SquareSize / 2 } })
                        ASSERT_EQ(l.SquareAt(o.X + dx, o.Y + dy, switched), square)
                            << size << " " << file << rank << " " << dx << "," << dy;
                }
            }
            EXPECT_EQ(l.SquareAt(l.Left - 1, l.Top, switched), TPoint(-1, -1));
            EXPECT_EQ(l.SquareAt(l.Right() + 1, l.Top, switched), TPoint(-1, -1));
        }
    }
}

// SHA-1 of the pixels of a part of the view that draws no text, so that the figure holds with any
// fonts: the board with its frame and the captured columns.
QByteArray BoardChecksum(const QImage& view) {
    const QImage part = view.copy(Left - 2, Top - 2, 506 - Left + 2, Bottom - Top + 4)
                            .convertToFormat(QImage::Format_RGB32);
    QCryptographicHash hash(QCryptographicHash::Sha1);
    for (int y = 0; y < part.height(); ++y)
        hash.addData(
            QByteArrayView(reinterpret_cast<const char*>(part.constScanLine(y)), part.width() * 4));
    return hash.result().toHex();
}

// The default view as it always was, pixel for pixel, with the real piece sets.
TEST(BoardLayout, TheDefaultViewIsPinned) {
    TBoardView view;
    TChessBoard board;
    board.Reset();
    TBoardSnapshot start = SnapshotBoard(board, pcWhite);
    ASSERT_TRUE(view.Pieces.LoadChessSet(3, 0, 0xFFFFFF, 0x808080, start.Theme.Board));
    QImage image;
    view.DrawBoard(start, image);
    ASSERT_EQ(image.size(), QSize(506, 506));
    EXPECT_EQ(BoardChecksum(image).toStdString(), "0628c99f490bb683b47038987101dcad2867c044");

    // Captures on both sides, the enhanced style from black's side, set 7 in colour (as
    // "render FEN OUT --enhanced --switched --colored --set 7" draws it).
    LoadFen(board, "r1b1k2r/ppp2ppp/2n5/3Np3/2B1P3/8/PPP2PPP/R3K2R b KQkq - 0 9");
    TBoardSnapshot middle = SnapshotBoard(board, pcBlack);
    middle.Enhanced = true;
    middle.Switched = true;
    const TSettings defaults;
    ASSERT_TRUE(view.Pieces.LoadChessSet(
        7, 1, defaults.WhiteColor, defaults.BlackColor, middle.Theme.Board));
    view.DrawBoard(middle, image);
    EXPECT_EQ(BoardChecksum(image).toStdString(), "f64de41fe050149ae16ebc09071b352c2dad7e15");
}

class ScaledViewTest : public testing::Test {
protected:
    void SetUp() override {
        Snapshot.Theme = DistinctTheme();
        ASSERT_TRUE(View.Pieces.LoadFromImages(
            SyntheticPieces(), SyntheticMasks(), 1, 0, 0xFFFFFF, 0, Snapshot.Theme.Board));
    }
    TBoardView View;
    TBoardSnapshot Snapshot;
};

// At twice the size every pixel of the one-bit art becomes a 2 x 2 block in its square.
TEST_F(ScaledViewTest, PiecesGrowWithoutSmoothing) {
    Snapshot.Set(1, 1, Code(pcWhite, pkRook));
    Snapshot.Set(8, 8, Code(pcBlack, pkQueen));
    for (const qreal ratio : { 1.0, 2.0 }) {
        QImage buffer;
        View.DrawBoard(Snapshot, buffer, ratio, 1012);
        const TBoardLayout l = TBoardLayout::ForSize(1012);
        ASSERT_EQ(l.PieceSize, 100);
        ASSERT_EQ(buffer.width(), qRound(1012 * ratio));
        for (const TPoint square : { TPoint { 1, 1 }, TPoint { 8, 8 } }) {
            const TPoint o = l.SquareOrigin(square, false);
            const bool white = square.X == 1;
            const int cell = white ? pkRook : 6 + pkQueen;
            for (int cy = 0; cy < PieceSize; cy += 3) {
                for (int cx = 0; cx < PieceSize; cx += 3) {
                    // a1 and h8 are both dark squares.
                    QRgb expected = Rgb(Snapshot.Theme.Blacks);
                    if (InSilhouette(cx, cy))
                        expected = SyntheticWhitePixel(cell * PieceSize + cx, cy) ? White : Black;
                    for (const int d : { 0, 1 }) {
                        const QPoint at(qFloor((o.X + l.Inset + 2 * cx + d) * ratio),
                            qFloor((o.Y + l.Inset + 2 * cy + d) * ratio));
                        ASSERT_EQ(buffer.pixel(at), expected)
                            << ratio << " " << square.X << " " << cx << "," << cy;
                    }
                }
            }
        }
    }
}

// A game's frames as the window sees them: the mouse, a held piece, the keyboard's cursor, a
// clock, a capture and the board turned.
std::vector<TBoardSnapshot> GameFrames(const TTheme& theme) {
    TChessBoard board;
    LoadFen(board, "r1b1k2r/ppp2ppp/2n5/3Np3/2B1P3/8/PPP2PPP/R3K2R w KQkq - 0 9");
    TBoardSnapshot first = SnapshotBoard(board, pcWhite);
    first.Theme = theme;
    first.Players[pcWhite].Name = QStringLiteral("Alice");
    std::vector<TBoardSnapshot> frames { first };
    auto next = [&](auto change) {
        TBoardSnapshot s = frames.back();
        change(s);
        frames.push_back(s);
    };
    next([](TBoardSnapshot& s) { s.HoverSquare = { 4, 5 }; });
    next([](TBoardSnapshot& s) {
        s.HeldSquare = { 4, 5 };
        s.GrabOffset = { 10, 12 };
        s.MousePos = { 240, 200 };
    });
    next([](TBoardSnapshot& s) { s.MousePos = { 247, 30 }; });
    next([](TBoardSnapshot& s) {
        s.MousePos = { 20, 480 };
        s.HoverSquare = { 3, 7 };
        s.HeldMoveLegal = true;
    });
    next([](TBoardSnapshot& s) { s.CursorSquare = { 2, 2 }; });
    next([](TBoardSnapshot& s) { s.CursorSquare = { 3, 2 }; });
    next([](TBoardSnapshot& s) { s.Players[pcBlack].Time = 61; });
    next([](TBoardSnapshot& s) {
        s.HeldSquare = {};
        s.CursorSquare = {};
        s.Set(3, 7, s.At(4, 5));
        s.Set(4, 5, NoPiece);
        s.CapturedByWhite[0] = pkPawn;
        s.CapturedByWhiteCount = 1;
        s.Turn = pcBlack;
        s.HasLastMove = true;
        s.LastMoveFrom = { 4, 5 };
        s.LastMoveTo = { 3, 7 };
    });
    next([](TBoardSnapshot& s) { s.ShowLastMoveFrom = true; });
    next([](TBoardSnapshot& s) { s.Switched = true; });
    return frames;
}

// Draws the frames one after the other into one buffer, each time only what changed, and checks
// each against a whole drawing.
void ExpectRedrawsMatch(TBoardView& view, const std::vector<TBoardSnapshot>& frames) {
    for (const int size : { 506, 844 }) {
        for (const qreal ratio : { 1.0, 2.0 }) {
            QImage kept;
            for (size_t i = 0; i < frames.size(); ++i) {
                const QRegion drawn = view.DrawBoard(
                    frames[i], kept, ratio, size, i > 0 ? &frames[i - 1] : nullptr);
                EXPECT_FALSE(drawn.isEmpty()) << "every frame changes something";
                QImage whole;
                view.DrawBoard(frames[i], whole, ratio, size);
                ASSERT_TRUE(SameImage(kept, whole)) << size << " x" << ratio << " frame " << i;
            }
            EXPECT_TRUE(view.DrawBoard(frames.back(), kept, ratio, size, &frames.back()).isEmpty())
                << "nothing changed, nothing drawn";
        }
    }
}

// Drawing only what changed since the last frame gives the very image a whole drawing gives.
TEST_F(ScaledViewTest, RedrawingTheChangesMatchesAWholeDrawing) {
    ExpectRedrawsMatch(View, GameFrames(Snapshot.Theme));
}

TEST(SmoothScaledView, RedrawingTheChangesMatchesAWholeDrawing) {
    TBoardView view;
    const TTheme theme;
    ASSERT_TRUE(view.Pieces.LoadChessSet(3, 0, 0xFFFFFF, 0x808080, theme.Board, true));
    ExpectRedrawsMatch(view, GameFrames(theme));
}

int RunCli(std::vector<std::string> args) {
    args.insert(args.begin(), WINTERMOOT_CLI);
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    int status = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
        waitpid(pid, &status, 0);
        status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    posix_spawn_file_actions_destroy(&actions);
    return status;
}

const char* const StartPosition = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

TEST(RenderSize, DrawsTheViewAtTheSizeAskedFor) {
    QTemporaryDir dir;
    const std::string out = dir.filePath(QStringLiteral("big.png")).toStdString();
    ASSERT_EQ(RunCli({ "render", StartPosition, out, "--size", "844", "--enhanced" }), 0);
    const QImage written(QString::fromStdString(out));
    ASSERT_EQ(written.size(), QSize(844, 844));

    TBoardView view;
    TChessBoard board;
    board.Reset();
    TBoardSnapshot snapshot = SnapshotBoard(board, pcWhite);
    snapshot.Enhanced = true;
    ASSERT_TRUE(view.Pieces.LoadChessSet(3, 0, 0xFFFFFF, 0x808080, snapshot.Theme.Board));
    QImage expected;
    view.DrawBoard(snapshot, expected, 1.0, 844);
    EXPECT_TRUE(SameImage(written, expected));
}

TEST(RenderSize, RefusesSizesOutsideTheRange) {
    for (const char* size : { "505", "4097", "0", "-600", "big", "600x600", "" })
        EXPECT_EQ(RunCli({ "render", StartPosition, "/tmp/x.png", "--size", size }), 2) << size;
    EXPECT_EQ(RunCli({ "render", StartPosition, "/tmp/x.png", "--size" }), 2);
}

} // namespace
