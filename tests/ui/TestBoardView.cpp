// Pixels of the rendered board view, the snapshot of a game and the render command of
// wintermoot-cli.

#include "Fen.h"
#include "ViewTestSupport.h"

#include <QFontMetrics>
#include <QPainter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <string>
#include <vector>

extern char** environ;

using namespace ViewTest;

namespace {

class BoardViewTest : public testing::Test {
protected:
    void SetUp() override {
        Snapshot.Theme = DistinctTheme();
        ASSERT_TRUE(View.Pieces.LoadFromImages(
            SyntheticPieces(), SyntheticMasks(), 7, 0, 0xFFFFFF, 0x808080, Snapshot.Theme.Board));
    }

    QImage Draw() {
        QImage buffer;
        View.DrawBoard(Snapshot, buffer);
        return buffer;
    }

    QRgb SquarePixel(const QImage& image, TPoint square, int dx = 27, int dy = 27) const {
        const TPoint origin = SquareOrigin(square, Snapshot.Switched);
        return image.pixel(origin.X + dx, origin.Y + dy);
    }

    // The pixel (cx, cy) of the 50 x 50 piece cell standing on the square.
    QRgb PiecePixel(const QImage& image, TPoint square, int cx, int cy) const {
        return SquarePixel(image, square, 2 + cx, 2 + cy);
    }

    // A text drawn the way the view draws its header texts: opaque, top-left at (x, y).
    void DrawTextLikeTheView(QImage& image, int x, int y, const QString& text, TColor background) {
        QPainter painter(&image);
        painter.setFont(View.TextFont());
        painter.setPen(ToQColor(Snapshot.Theme.Text));
        painter.setBackgroundMode(Qt::OpaqueMode);
        painter.setBackground(ToQColor(background));
        painter.drawText(QPoint(x, y + QFontMetrics(View.TextFont()).ascent()), text);
    }

    int TextLineY() const { return 48 - QFontMetrics(View.TextFont()).height(); }

    int TextWidth(const QString& text) const {
        return QFontMetrics(View.TextFont()).horizontalAdvance(text);
    }

    TBoardView View;
    TBoardSnapshot Snapshot;
};

// The header line of one side: clock and word, between the name and the board.
QImage HeaderLine(const QImage& image, uint8_t colour) {
    return image.copy(colour == pcWhite ? 68 : 288, 30, 164, 18);
}

} // namespace

// The view ------------------------------------------------------------------------------------

TEST_F(BoardViewTest, TheBufferIsTheViewAndIsReused) {
    QImage buffer;
    View.DrawBoard(Snapshot, buffer);
    EXPECT_EQ(buffer.size(), QSize(506, 506));
    EXPECT_EQ(buffer.format(), QImage::Format_RGB32);
    const uchar* bits = buffer.constBits();
    View.DrawBoard(Snapshot, buffer);
    EXPECT_EQ(buffer.constBits(), bits) << "a buffer of the right size is drawn over in place";
}

TEST_F(BoardViewTest, HighDpiBufferCarriesTheRatioAndScalesEverything) {
    Snapshot.Set(1, 1, Code(pcWhite, pkRook));
    QImage buffer;
    View.DrawBoard(Snapshot, buffer, 2.0);
    ASSERT_EQ(buffer.size(), QSize(1012, 1012));
    EXPECT_EQ(buffer.devicePixelRatio(), 2.0);
    // a1's cell: pixel (cx, cy) of the piece is device pixel 2 * (20 + cx, 436 + cy).
    EXPECT_EQ(buffer.pixel(2 * 20 + 1, 2 * 436 + 1), Rgb(Snapshot.Theme.Blacks));
    EXPECT_EQ(buffer.pixel(2 * (20 + 11), 2 * (436 + 11)), Black);
    EXPECT_EQ(buffer.pixel(2 * (20 + 25) + 1, 2 * (436 + 25) + 1), White);
    EXPECT_EQ(buffer.pixel(2 * 453, 2 * 300), Rgb(Snapshot.Theme.Board));
}

TEST_F(BoardViewTest, PiecesOnAnyDevicePixelRatioLandWhereTheyBelong) {
    Snapshot.Set(1, 1, Code(pcWhite, pkRook));
    for (const qreal ratio : { 1.5, 2.0, 3.0 }) {
        QImage buffer;
        View.DrawBoard(Snapshot, buffer, ratio);
        ASSERT_EQ(buffer.width(), qRound(506 * ratio));
        // Centres of the silhouette's outline and of its interior, in device pixels.
        auto at = [&](qreal cx, qreal cy) {
            return buffer.pixel(qFloor((20 + cx) * ratio), qFloor((436 + cy) * ratio));
        };
        EXPECT_EQ(at(5, 5), Rgb(Snapshot.Theme.Blacks)) << ratio;
        EXPECT_EQ(at(12, 12), Black) << ratio;
        EXPECT_EQ(at(25, 25), White) << ratio;
        EXPECT_EQ(at(37, 20), Black) << ratio;
        EXPECT_EQ(at(45, 45), Rgb(Snapshot.Theme.Blacks)) << ratio;
    }
}

TEST_F(BoardViewTest, SquareColoursTraditional) {
    const QImage image = Draw();
    EXPECT_EQ(SquarePixel(image, { 1, 1 }), Rgb(Snapshot.Theme.Blacks)) << "a1 is dark";
    EXPECT_EQ(SquarePixel(image, { 8, 1 }), Rgb(Snapshot.Theme.Whites)) << "h1 is light";
    EXPECT_EQ(SquarePixel(image, { 1, 8 }), Rgb(Snapshot.Theme.Whites));
    EXPECT_EQ(SquarePixel(image, { 8, 8 }), Rgb(Snapshot.Theme.Blacks));
    // Solid squares, edge to edge.
    EXPECT_EQ(image.pixel(18, 434), Rgb(Snapshot.Theme.Blacks));
    EXPECT_EQ(image.pixel(18 + 53, 434 + 53), Rgb(Snapshot.Theme.Blacks));
    EXPECT_EQ(image.pixel(18 + 54, 434), Rgb(Snapshot.Theme.Whites));
}

TEST_F(BoardViewTest, TraditionalStyleHasATwoPixelFrame) {
    const QImage image = Draw();
    const QRgb border = Rgb(Snapshot.Theme.Border);
    const QRgb board = Rgb(Snapshot.Theme.Board);
    for (const int x : { 16, 17, 450, 451 })
        EXPECT_EQ(image.pixel(x, 200), border) << x;
    for (const int y : { 54, 55, 488, 489 })
        EXPECT_EQ(image.pixel(200, y), border) << y;
    EXPECT_EQ(image.pixel(15, 200), board);
    EXPECT_EQ(image.pixel(452, 200), board);
    EXPECT_EQ(image.pixel(200, 53), board);
    EXPECT_EQ(image.pixel(200, 490), board);
}

TEST_F(BoardViewTest, EnhancedStyleOutlinesEverySquareAndHasNoFrame) {
    Snapshot.Enhanced = true;
    const QImage image = Draw();
    const QRgb border = Rgb(Snapshot.Theme.Border);
    const QRgb board = Rgb(Snapshot.Theme.Board);
    EXPECT_EQ(SquarePixel(image, { 1, 1 }), Rgb(Snapshot.Theme.Blacks));
    EXPECT_EQ(SquarePixel(image, { 8, 1 }), Rgb(Snapshot.Theme.Whites));
    // a1 at (18, 434): background band at 0 and 53, outline at 1 and 52, fill from 2 to 51.
    for (const int d : { 0, 53 }) {
        EXPECT_EQ(image.pixel(18 + d, 434 + 20), board) << d;
        EXPECT_EQ(image.pixel(18 + 20, 434 + d), board) << d;
    }
    for (const int d : { 1, 52 }) {
        EXPECT_EQ(image.pixel(18 + d, 434 + 20), border) << d;
        EXPECT_EQ(image.pixel(18 + 20, 434 + d), border) << d;
    }
    EXPECT_EQ(image.pixel(18 + 2, 434 + 2), Rgb(Snapshot.Theme.Blacks));
    EXPECT_EQ(image.pixel(18 + 51, 434 + 51), Rgb(Snapshot.Theme.Blacks));
    for (const int x : { 16, 17, 450, 451 })
        EXPECT_EQ(image.pixel(x, 200), board) << "no frame at " << x;
    EXPECT_EQ(image.pixel(200, 54), board);
    EXPECT_EQ(image.pixel(200, 489), board);
}

TEST_F(BoardViewTest, PiecesAreDrawnWithMaskAndDrawingOnBothSquareColours) {
    Snapshot.Set(1, 1, Code(pcWhite, pkRook)); // dark
    Snapshot.Set(2, 1, Code(pcWhite, pkKnight)); // light
    Snapshot.Set(1, 8, Code(pcBlack, pkRook)); // light
    Snapshot.Set(8, 8, Code(pcBlack, pkRook)); // dark
    for (const bool enhanced : { false, true }) {
        Snapshot.Enhanced = enhanced;
        const QImage image = Draw();
        for (const TPoint square :
            { TPoint { 1, 1 }, TPoint { 2, 1 }, TPoint { 1, 8 }, TPoint { 8, 8 } }) {
            const QRgb squareColour
                = Rgb((square.X - square.Y) % 2 ? Snapshot.Theme.Whites : Snapshot.Theme.Blacks);
            const bool white = square.Y == 1;
            EXPECT_EQ(PiecePixel(image, square, 2, 2), squareColour);
            EXPECT_EQ(PiecePixel(image, square, 45, 45), squareColour);
            EXPECT_EQ(PiecePixel(image, square, 11, 11), Black);
            EXPECT_EQ(PiecePixel(image, square, 20, 20), white ? White : Black);
            EXPECT_EQ(PiecePixel(image, square, 24, 24), White);
        }
        EXPECT_EQ(PiecePixel(image, { 2, 1 }, 12 + 2 * pkKnight, 37), White);
    }
}

TEST_F(BoardViewTest, HoverSelectedAndLastMoveColours) {
    Snapshot.HoverSquare = { 5, 4 };
    Snapshot.HasLastMove = true;
    Snapshot.LastMoveTo = { 4, 5 };
    QImage image = Draw();
    EXPECT_EQ(SquarePixel(image, { 5, 4 }), Rgb(Snapshot.Theme.Hover));
    EXPECT_EQ(SquarePixel(image, { 4, 5 }), Rgb(Snapshot.Theme.LastMove));

    Snapshot.ShowLastMove = false;
    image = Draw();
    EXPECT_EQ(SquarePixel(image, { 4, 5 }), Rgb(Snapshot.Theme.Whites));

    Snapshot.ShowLastMove = true;
    Snapshot.HasLastMove = false;
    image = Draw();
    EXPECT_EQ(SquarePixel(image, { 4, 5 }), Rgb(Snapshot.Theme.Whites)) << "no moves yet";
}

TEST_F(BoardViewTest, TheOriginOfTheLastMoveIsMarkedOnlyWithItsOption) {
    Snapshot.HasLastMove = true;
    Snapshot.LastMoveFrom = { 5, 2 };
    Snapshot.LastMoveTo = { 5, 4 };
    QImage image = Draw();
    EXPECT_EQ(SquarePixel(image, { 5, 4 }), Rgb(Snapshot.Theme.LastMove));
    EXPECT_EQ(SquarePixel(image, { 5, 2 }), Rgb(Snapshot.Theme.Whites)) << "off by default";

    Snapshot.ShowLastMoveFrom = true;
    image = Draw();
    EXPECT_EQ(SquarePixel(image, { 5, 2 }), Rgb(Snapshot.Theme.LastMove));
    EXPECT_EQ(SquarePixel(image, { 5, 4 }), Rgb(Snapshot.Theme.LastMove));
    EXPECT_EQ(SquarePixel(image, { 5, 3 }), Rgb(Snapshot.Theme.Blacks));

    // The origin goes with the last-move highlight.
    Snapshot.ShowLastMove = false;
    image = Draw();
    EXPECT_EQ(SquarePixel(image, { 5, 2 }), Rgb(Snapshot.Theme.Whites));
    EXPECT_EQ(SquarePixel(image, { 5, 4 }), Rgb(Snapshot.Theme.Whites));
}

TEST_F(BoardViewTest, LearnModeShowsWhetherTheHeldPieceMayGoThere) {
    Snapshot.Set(4, 2, Code(pcWhite, pkPawn));
    Snapshot.HeldSquare = { 4, 2 };
    Snapshot.HoverSquare = { 4, 4 };
    Snapshot.HeldMoveLegal = true;
    QImage image = Draw();
    EXPECT_EQ(SquarePixel(image, { 4, 2 }), Rgb(Snapshot.Theme.Selected));
    EXPECT_EQ(SquarePixel(image, { 4, 4 }), Rgb(Snapshot.Theme.GoodMove));

    Snapshot.HeldMoveLegal = false;
    image = Draw();
    EXPECT_EQ(SquarePixel(image, { 4, 4 }), Rgb(Snapshot.Theme.BadMove));

    Snapshot.LearnMode = false;
    image = Draw();
    EXPECT_EQ(SquarePixel(image, { 4, 4 }), Rgb(Snapshot.Theme.Hover));
}

TEST_F(BoardViewTest, HeldAndHoverSquaresWinOverTheLastMove) {
    Snapshot.Set(3, 3, Code(pcWhite, pkBishop));
    Snapshot.HasLastMove = true;
    Snapshot.LastMoveTo = { 3, 3 };
    Snapshot.HeldSquare = { 3, 3 };
    QImage image = Draw();
    EXPECT_EQ(SquarePixel(image, { 3, 3 }, 2, 2), Rgb(Snapshot.Theme.Selected));

    Snapshot.HeldSquare = {};
    Snapshot.HoverSquare = { 3, 3 };
    image = Draw();
    EXPECT_EQ(SquarePixel(image, { 3, 3 }, 2, 2), Rgb(Snapshot.Theme.Hover));
}

// The keyboard's cursor: a black ring with a white one inside, within the square's edge, over
// whatever fill the square has; seen from black's side it moves with the square.
TEST_F(BoardViewTest, TheCursorRingsItsSquareOverAnyFill) {
    const auto ringAt = [&](const QImage& image, TPoint square) {
        // From the left edge inwards at mid height: black, then white, then the square's fill.
        int black = -1;
        int white = -1;
        for (int dx = 0; dx < 12; ++dx) {
            const QRgb pixel = SquarePixel(image, square, dx, 27);
            if (pixel == Black && black < 0)
                black = dx;
            if (pixel == White && black >= 0 && white < 0)
                white = dx;
        }
        return black >= 1 && white > black && white < 10;
    };
    Snapshot.HoverSquare = { 3, 3 };
    QImage image = Draw();
    EXPECT_FALSE(ringAt(image, { 3, 3 }));
    Snapshot.CursorSquare = { 3, 3 };
    image = Draw();
    EXPECT_TRUE(ringAt(image, { 3, 3 }));
    EXPECT_EQ(SquarePixel(image, { 3, 3 }), Rgb(Snapshot.Theme.Hover)) << "the fill stays inside";
    EXPECT_EQ(SquarePixel(image, { 3, 3 }, 0, 27), Rgb(Snapshot.Theme.Hover)) << "and outside";

    Snapshot.Switched = true;
    Snapshot.HoverSquare = { -1, -1 };
    Snapshot.CursorSquare = { 1, 1 };
    image = Draw();
    EXPECT_TRUE(ringAt(image, { 1, 1 }));
    // a1 seen from black's side is the top-right square.
    EXPECT_EQ(SquareOrigin({ 1, 1 }, true).X, Left + 7 * SquareSize);
}

TEST_F(BoardViewTest, TheHeldPieceLeavesItsSquareAndFollowsTheMouse) {
    Snapshot.Set(4, 2, Code(pcWhite, pkPawn));
    Snapshot.HeldSquare = { 4, 2 };
    Snapshot.GrabOffset = { 20, 30 };
    Snapshot.MousePos = { 200, 150 };
    const QImage image = Draw();
    EXPECT_EQ(PiecePixel(image, { 4, 2 }, 25, 25), Rgb(Snapshot.Theme.Selected))
        << "not drawn on its square";
    // At the mouse position minus the grab offset plus one pixel.
    const int x = 200 - 20 + 1;
    const int y = 150 - 30 + 1;
    EXPECT_EQ(image.pixel(x + 25, y + 25), White);
    EXPECT_EQ(image.pixel(x + 11, y + 11), Black);
    EXPECT_EQ(image.pixel(x + 10, y + 10), Black);
    EXPECT_NE(image.pixel(x + 9, y + 9), Black);
}

TEST_F(BoardViewTest, TheDraggedPieceStaysInsideTheView) {
    Snapshot.Set(1, 1, Code(pcWhite, pkRook));
    Snapshot.HeldSquare = { 1, 1 };
    Snapshot.GrabOffset = { 10, 10 };
    Snapshot.MousePos = { 900, 700 };
    QImage image = Draw();
    EXPECT_EQ(image.pixel(456 + 10, 456 + 10), Black) << "silhouette corner at (456, 456)";
    EXPECT_NE(image.pixel(456 + 9, 456 + 9), Black);
    EXPECT_EQ(image.pixel(456 + 25, 456 + 25), White);
    EXPECT_EQ(image.pixel(456 + 39, 456 + 39), Black);

    Snapshot.MousePos = { -300, -5 };
    image = Draw();
    EXPECT_EQ(image.pixel(10, 10), Black) << "silhouette corner at (0, 0)";
    EXPECT_EQ(image.pixel(25, 25), White);
}

TEST_F(BoardViewTest, SwitchedTurnsTheBoardAndItsLabels) {
    Snapshot.Set(8, 8, Code(pcWhite, pkPawn));
    const QImage normal = Draw();
    Snapshot.Switched = true;
    const QImage switched = Draw();
    // h8 at (18, 434), its piece at (20, 436).
    EXPECT_EQ(switched.pixel(20 + 25, 436 + 25), White);
    EXPECT_EQ(switched.pixel(20 + 11, 436 + 11), Black);
    EXPECT_EQ(switched.pixel(20 + 2, 436 + 2), Rgb(Snapshot.Theme.Blacks));
    EXPECT_EQ(SquarePixel(switched, { 1, 1 }), Rgb(Snapshot.Theme.Blacks));
    EXPECT_EQ(switched.pixel(18 + 27, 56 + 27), Rgb(Snapshot.Theme.Whites)) << "h1 top left";

    // The bottom rank label now reads what the top one read ("8"), the leftmost file label
    // what the rightmost read ("H"), and the other way round.
    const QRect bottomRank(0, 56 + 7 * 54, 17, 54);
    const QRect topRank(0, 56, 17, 54);
    const QRect leftFile(18, 490, 54, 16);
    const QRect rightFile(18 + 7 * 54, 490, 54, 16);
    EXPECT_EQ(switched.copy(bottomRank), normal.copy(topRank));
    EXPECT_EQ(switched.copy(topRank), normal.copy(bottomRank));
    EXPECT_EQ(switched.copy(leftFile), normal.copy(rightFile));
    EXPECT_EQ(switched.copy(rightFile), normal.copy(leftFile));
    EXPECT_NE(normal.copy(topRank), normal.copy(bottomRank));
    EXPECT_NE(normal.copy(leftFile), normal.copy(rightFile));
}

TEST_F(BoardViewTest, LabelsAreCentredOnTheWidthAndHeightOfAnEight) {
    Snapshot.Theme.Text = 0xFFFFFF;
    const QImage image = Draw();
    const QFontMetrics metrics(View.TextFont());
    const int x = 18 - 6 - metrics.horizontalAdvance(QLatin1Char('8'));
    QRect ink;
    for (int y = 56; y < 110; ++y) {
        for (int px = 0; px < 16; ++px) {
            if (image.pixel(px, y) != Rgb(Snapshot.Theme.Board))
                ink |= QRect(px, y, 1, 1);
        }
    }
    ASSERT_FALSE(ink.isEmpty()) << "the label 8 is drawn";
    EXPECT_GE(ink.left(), x);
    EXPECT_LE(ink.right(), 18 - 6);
    const int top = 56 + 2 + (54 - metrics.height()) / 2;
    EXPECT_GE(ink.top(), top);
    EXPECT_LE(ink.bottom(), top + metrics.height());
}

TEST_F(BoardViewTest, KingIconsAndTheHighlightOfTheSideToMove) {
    Snapshot.Turn = pcWhite;
    QImage image = Draw();
    EXPECT_EQ(image.copy(22, 8, 40, 40), View.Pieces.KingIcons().copy(0, 0, 40, 40));
    EXPECT_EQ(image.copy(242, 8, 40, 40), View.Pieces.KingIcons().copy(40, 0, 40, 40));
    EXPECT_EQ(image.pixel(150, 6), Rgb(Snapshot.Theme.Player));
    EXPECT_EQ(image.pixel(233, 27), Rgb(Snapshot.Theme.Player));
    EXPECT_EQ(image.pixel(234, 27), Rgb(Snapshot.Theme.Board));
    EXPECT_EQ(image.pixel(66, 3), Rgb(Snapshot.Theme.Board));
    EXPECT_EQ(image.pixel(66, 4), Rgb(Snapshot.Theme.Board)) << "a rounded corner";
    EXPECT_EQ(image.pixel(360, 6), Rgb(Snapshot.Theme.Board));

    Snapshot.Turn = pcBlack;
    image = Draw();
    EXPECT_EQ(image.pixel(150, 6), Rgb(Snapshot.Theme.Board));
    EXPECT_EQ(image.pixel(360, 6), Rgb(Snapshot.Theme.Player));
    EXPECT_EQ(image.pixel(449, 27), Rgb(Snapshot.Theme.Player));
    EXPECT_EQ(image.pixel(286, 27), Rgb(Snapshot.Theme.Player));
    EXPECT_EQ(image.pixel(285, 27), Rgb(Snapshot.Theme.Board));
}

TEST_F(BoardViewTest, ClocksReadMinutesAndTwoDigitSeconds) {
    Snapshot.Turn = pcBlack;
    const QImage zero = Draw();
    for (const auto& [seconds, text] : { std::pair { 605, "10:05" }, std::pair { 59, "0:59" },
             std::pair { 60, "1:00" }, std::pair { 0, "0:00" } }) {
        Snapshot.Players[pcWhite].Time = seconds;
        const QImage image = Draw();
        QImage expected = zero;
        const int y = TextLineY();
        QPainter(&expected).fillRect(70, y, 60, 48 - y, ToQColor(Snapshot.Theme.Board));
        DrawTextLikeTheView(expected, 70, y, QString::fromLatin1(text), Snapshot.Theme.Board);
        EXPECT_TRUE(SameImage(image, expected)) << seconds << " s reads " << text;
    }
    Snapshot.Players[pcWhite].Time = 59;
    const QImage before = Draw();
    Snapshot.Players[pcWhite].Time = 60;
    EXPECT_NE(HeaderLine(Draw(), pcWhite), HeaderLine(before, pcWhite));
}

TEST_F(BoardViewTest, TheClockOfTheSideToMoveIsOnTheHighlight) {
    Snapshot.Turn = pcBlack;
    Snapshot.Players[pcBlack].Time = 75;
    const QImage image = Draw();
    Snapshot.Players[pcBlack].Time = 0;
    QImage expected = Draw();
    const int y = TextLineY();
    QPainter(&expected).fillRect(290, y, 60, 48 - y, ToQColor(Snapshot.Theme.Player));
    DrawTextLikeTheView(expected, 290, y, QStringLiteral("1:15"), Snapshot.Theme.Player);
    EXPECT_TRUE(SameImage(image, expected));
}

TEST_F(BoardViewTest, NamesAreBoldAndDrawnAtTheTopOfTheHeader) {
    const QImage empty = Draw();
    Snapshot.Players[pcBlack].Name = QStringLiteral("Magnus");
    const QImage named = Draw();
    EXPECT_EQ(named.copy(0, 0, 253, 506), empty.copy(0, 0, 253, 506));
    EXPECT_NE(named.copy(290, 8, 100, 20), empty.copy(290, 8, 100, 20));
    EXPECT_TRUE(View.NameFont().bold());
    EXPECT_EQ(View.NameFont().pixelSize(), 16);
    EXPECT_EQ(View.TextFont().pixelSize(), 13);
    EXPECT_FALSE(View.TextFont().bold());
}

namespace {

struct TWordRow {
    const char* Name;
    uint8_t Colour;
    uint8_t Status;
    TGameKind Kind;
    bool NetworkActive;
    TGameState State;
    bool Ready;
    int Word; // index into the words, -1 for none
    friend void PrintTo(const TWordRow& row, std::ostream* os) { *os << row.Name; }
};

class HeaderWordTest : public BoardViewTest, public testing::WithParamInterface<TWordRow> { };

} // namespace

TEST_P(HeaderWordTest, ShowsTheWordRightAligned) {
    const TWordRow& row = GetParam();
    Snapshot.Turn = Opponent(TPieceColour(row.Colour));
    const QImage plain = Draw();
    TSnapshotPlayer& player = Snapshot.Players[row.Colour];
    player.Status = row.Status;
    player.Ready = row.Ready;
    Snapshot.GameKind = row.Kind;
    Snapshot.NetworkActive = row.NetworkActive;
    Snapshot.GameState = row.State;
    const QImage image = Draw();
    QImage expected = plain;
    if (row.Word >= 0) {
        const QString& word = Snapshot.Words[row.Word];
        const int right = row.Colour == pcWhite ? 230 : 446;
        DrawTextLikeTheView(
            expected, right - TextWidth(word), TextLineY(), word, Snapshot.Theme.Board);
    }
    // The other side may show a readiness word of its own.
    const QRect half(row.Colour == pcWhite ? 0 : 253, 0, 253, 506);
    EXPECT_TRUE(SameImage(image.copy(half), expected.copy(half)));
}

INSTANTIATE_TEST_SUITE_P(Words, HeaderWordTest,
    testing::Values(TWordRow { "WhiteCheck", pcWhite, 1, gkLocal, false, gsPlaying, false, 2 },
        TWordRow { "WhiteStalemate", pcWhite, 2, gkLocal, false, gsStopped, false, 4 },
        TWordRow { "WhiteCheckmate", pcWhite, 3, gkLocal, false, gsStopped, false, 3 },
        TWordRow { "BlackCheck", pcBlack, 1, gkHost, true, gsPlaying, true, 2 },
        TWordRow { "BlackCheckmate", pcBlack, 3, gkClient, true, gsPaused, true, 3 },
        TWordRow { "StatusAboveThree", pcWhite, 4, gkLocal, false, gsPlaying, false, -1 },
        TWordRow { "LocalGameNoReadiness", pcWhite, 0, gkLocal, true, gsIdle, false, -1 },
        TWordRow { "NoConnectionNoReadiness", pcWhite, 0, gkHost, false, gsIdle, false, -1 },
        TWordRow { "WhiteNotReady", pcWhite, 0, gkHost, true, gsIdle, false, 0 },
        TWordRow { "WhiteReady", pcWhite, 0, gkClient, true, gsStopped, true, 1 },
        TWordRow { "WhiteReadyWhilePaused", pcWhite, 0, gkHost, true, gsPaused, true, 1 },
        TWordRow { "WhiteNothingWhilePlaying", pcWhite, 0, gkHost, true, gsPlaying, true, -1 },
        TWordRow { "BlackNotReady", pcBlack, 0, gkClient, true, gsIdle, false, 0 },
        TWordRow { "BlackReadyWhenStopped", pcBlack, 0, gkHost, true, gsStopped, true, 1 },
        TWordRow { "BlackNothingWhilePaused", pcBlack, 0, gkHost, true, gsPaused, true, -1 },
        TWordRow { "BlackNothingWhilePlaying", pcBlack, 0, gkHost, true, gsPlaying, true, -1 }),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(BoardViewTest, ActivityShowsWhereNoWordIs) {
    Snapshot.Turn = pcWhite;
    const QImage plain = Draw();
    const QString activity = QStringLiteral("Thinking... 12/31");
    Snapshot.Players[pcBlack].Activity = activity;
    QImage expected = plain;
    DrawTextLikeTheView(
        expected, 446 - TextWidth(activity), TextLineY(), activity, Snapshot.Theme.Board);
    EXPECT_TRUE(SameImage(Draw(), expected));

    // A word wins over the activity.
    Snapshot.Players[pcBlack].Status = 1;
    const QImage withWord = Draw();
    Snapshot.Players[pcBlack].Activity.clear();
    EXPECT_EQ(withWord, Draw());
}

TEST_F(BoardViewTest, CapturedPiecesTakeTheRowOfTheirSlot) {
    const QImage empty = Draw();
    const QImage& small = View.Pieces.SmallPieces();
    Snapshot.CapturedByWhiteCount = 3;
    Snapshot.CapturedByWhite[0] = pkRook;
    Snapshot.CapturedByWhite[2] = pkQueen;
    Snapshot.CapturedByBlackCount = 1;
    Snapshot.CapturedByBlack[0] = pkPawn;
    Snapshot.CapturedByBlack[1] = pkKnight; // beyond the count
    const QImage image = Draw();
    EXPECT_EQ(image.copy(453, 56, 25, 25), small.copy(150 + 25 * pkRook, 0, 25, 25));
    EXPECT_EQ(image.copy(453, 56 + 27, 25, 25), empty.copy(453, 56 + 27, 25, 25)) << "a gap";
    EXPECT_EQ(image.copy(453, 56 + 54, 25, 25), small.copy(150 + 25 * pkQueen, 0, 25, 25));
    EXPECT_EQ(image.copy(480, 56, 25, 25), small.copy(0, 0, 25, 25));
    EXPECT_EQ(image.copy(480, 56 + 27, 25, 25), empty.copy(480, 56 + 27, 25, 25));
    EXPECT_EQ(image.copy(0, 0, 453, 506), empty.copy(0, 0, 453, 506));
}

TEST_F(BoardViewTest, FifteenCapturedPiecesFitTheColumn) {
    Snapshot.CapturedByWhiteCount = 15;
    Snapshot.CapturedByWhite.fill(pkPawn);
    const QImage image = Draw();
    EXPECT_EQ(
        image.copy(453, 56 + 27 * 14, 25, 25), View.Pieces.SmallPieces().copy(150, 0, 25, 25));
}

// Snapshots -----------------------------------------------------------------------------------

TEST(BoardSnapshot, ABoardsSquaresAndCapturedPieces) {
    TChessBoard board;
    LoadFen(board, "rnbqkbnr/ppp1pppp/8/3P4/8/8/PPPP1PPP/RNBQKBNR b KQkq - 0 2");
    auto pawn = board.TakePiece(5, 7);
    board.AddCaptured(pawn);
    const TBoardSnapshot snapshot = SnapshotBoard(board, pcBlack);
    EXPECT_EQ(snapshot.Turn, pcBlack);
    EXPECT_EQ(snapshot.At(1, 1), Code(pcWhite, pkRook));
    EXPECT_EQ(snapshot.At(4, 1), Code(pcWhite, pkQueen));
    EXPECT_EQ(snapshot.At(5, 8), Code(pcBlack, pkKing));
    EXPECT_EQ(snapshot.At(4, 5), Code(pcWhite, pkPawn));
    EXPECT_EQ(snapshot.At(4, 4), NoPiece);
    EXPECT_EQ(snapshot.CapturedByWhiteCount, 1);
    EXPECT_EQ(snapshot.CapturedByWhite[0], pkPawn);
    EXPECT_EQ(snapshot.CapturedByBlackCount, 0);
    EXPECT_FALSE(snapshot.HasLastMove);
    EXPECT_EQ(snapshot.Players[pcWhite].Time, 0);
}

class GameSnapshotTest : public testing::Test {
protected:
    void SetUp() override {
        Game.Board.Reset();
        Play({ 5, 2 }, { 5, 4 });
        Play({ 4, 7 }, { 4, 5 });
        Play({ 5, 4 }, { 4, 5 });
        Game.Turn = pcBlack;
        Game.GameKind = gkHost;
        Game.GameState = gsPaused;
        Game.NetworkActive = true;
        Game.WhitePlayer.Name = "Zoë";
        Game.WhitePlayer.Time = 605;
        Game.WhitePlayer.Ready = true;
        Game.BlackPlayer.Status = 1;
        Game.Board.Modified = false;
    }

    void Play(TPoint from, TPoint to) {
        ASSERT_FALSE(Game.Board.MovePiece(from, to, true) & mrInvalid);
        Game.Moves.Add(Game.Board.PieceAt(to)->Kind, from, to, 0, 0);
    }

    TChessGame Game;
    TChessBoard Scratch;
    TBoardSnapshot Snapshot;
};

TEST_F(GameSnapshotTest, CopiesTheGameState) {
    SnapshotGame(Game, Scratch, Snapshot);
    EXPECT_EQ(Snapshot.At(4, 5), Code(pcWhite, pkPawn));
    EXPECT_EQ(Snapshot.At(5, 2), NoPiece);
    EXPECT_EQ(Snapshot.CapturedByWhiteCount, 1);
    EXPECT_EQ(Snapshot.CapturedByWhite[0], pkPawn);
    EXPECT_EQ(Snapshot.GameKind, gkHost);
    EXPECT_EQ(Snapshot.GameState, gsPaused);
    EXPECT_EQ(Snapshot.Turn, pcBlack);
    EXPECT_TRUE(Snapshot.NetworkActive);
    EXPECT_EQ(Snapshot.Players[pcWhite].Name, QStringLiteral("Zoë"));
    EXPECT_EQ(Snapshot.Players[pcWhite].Time, 605);
    EXPECT_TRUE(Snapshot.Players[pcWhite].Ready);
    EXPECT_EQ(Snapshot.Players[pcBlack].Status, 1);
    EXPECT_TRUE(Snapshot.HasLastMove);
    EXPECT_EQ(Snapshot.LastMoveTo, (TPoint { 4, 5 }));
    EXPECT_EQ(Snapshot.LastMoveFrom, (TPoint { 5, 4 }));
    EXPECT_FALSE(Snapshot.HeldMoveLegal);
}

TEST_F(GameSnapshotTest, LearnModeLegalityOnACopyOfTheBoard) {
    Snapshot.HeldSquare = { 4, 8 }; // black queen
    Snapshot.HoverSquare = { 4, 5 }; // takes the pawn on d5
    SnapshotGame(Game, Scratch, Snapshot);
    EXPECT_TRUE(Snapshot.HeldMoveLegal);
    EXPECT_FALSE(Game.Board.Modified) << "the game's board is not touched";

    Snapshot.HoverSquare = { 4, 4 }; // through the pawn
    SnapshotGame(Game, Scratch, Snapshot);
    EXPECT_FALSE(Snapshot.HeldMoveLegal);

    Snapshot.HoverSquare = { 4, 8 }; // its own square
    Snapshot.HeldMoveLegal = true;
    SnapshotGame(Game, Scratch, Snapshot);
    EXPECT_FALSE(Snapshot.HeldMoveLegal);

    Snapshot.HoverSquare = { -1, -1 }; // off the board
    Snapshot.HeldMoveLegal = true;
    SnapshotGame(Game, Scratch, Snapshot);
    EXPECT_FALSE(Snapshot.HeldMoveLegal);
}

TEST_F(GameSnapshotTest, AGameWithoutMovesHasNoLastMove) {
    Game.Moves.Clear();
    SnapshotGame(Game, Scratch, Snapshot);
    EXPECT_FALSE(Snapshot.HasLastMove);
}

// The render command --------------------------------------------------------------------------

namespace {

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

} // namespace

TEST(RenderCommand, WritesTheViewAsTheWindowDrawsIt) {
    QTemporaryDir dir;
    const std::string out = dir.filePath(QStringLiteral("start.png")).toStdString();
    ASSERT_EQ(RunCli({ "render", StartFen, out, "--set", "5" }), 0);
    const QImage written(QString::fromStdString(out));
    ASSERT_EQ(written.size(), QSize(506, 506));

    TBoardView view;
    TChessBoard board;
    board.Reset();
    const TBoardSnapshot snapshot = SnapshotBoard(board, pcWhite);
    ASSERT_TRUE(view.Pieces.LoadChessSet(5, 0, 0xFFFFFF, 0x808080, snapshot.Theme.Board));
    QImage expected;
    view.DrawBoard(snapshot, expected);
    EXPECT_TRUE(SameImage(written, expected));
}

TEST(RenderCommand, ShowsCheckForTheSideToMove) {
    QTemporaryDir dir;
    const std::string out = dir.filePath(QStringLiteral("check.png")).toStdString();
    const char* const fen = "4k3/8/8/8/8/8/8/4RK2 b - - 0 1";
    ASSERT_EQ(RunCli({ "render", fen, out, "--enhanced", "--switched", "--colored" }), 0);
    const QImage written(QString::fromStdString(out));

    TBoardView view;
    TChessBoard board;
    LoadFen(board, fen);
    TBoardSnapshot snapshot = SnapshotBoard(board, pcBlack);
    snapshot.Players[pcBlack].Status = 1;
    snapshot.Enhanced = true;
    snapshot.Switched = true;
    ASSERT_TRUE(view.Pieces.LoadChessSet(3, 1, 0xFFFFFF, 0x808080, snapshot.Theme.Board));
    QImage expected;
    view.DrawBoard(snapshot, expected);
    EXPECT_TRUE(SameImage(written, expected));
}

TEST(RenderCommand, SmoothDrawsTheSmoothPiecesAtTheRatio) {
    QTemporaryDir dir;
    const std::string out = dir.filePath(QStringLiteral("smooth.png")).toStdString();
    ASSERT_EQ(RunCli({ "render", StartFen, out, "--set", "16", "--smooth", "--ratio", "2" }), 0);
    const QImage written(QString::fromStdString(out));
    ASSERT_EQ(written.size(), QSize(1012, 1012));

    TBoardView view;
    TChessBoard board;
    board.Reset();
    const TBoardSnapshot snapshot = SnapshotBoard(board, pcWhite);
    ASSERT_TRUE(view.Pieces.LoadChessSet(16, 0, 0xFFFFFF, 0x808080, snapshot.Theme.Board, true));
    QImage expected;
    view.DrawBoard(snapshot, expected, 2.0);
    EXPECT_TRUE(SameImage(written, expected));
}

struct TRenderArgsRow {
    const char* Name;
    std::vector<std::string> Args;
    friend void PrintTo(const TRenderArgsRow& row, std::ostream* os) { *os << row.Name; }
};

class RenderBadArgsTest : public testing::TestWithParam<TRenderArgsRow> { };

TEST_P(RenderBadArgsTest, ExitsTwo) {
    EXPECT_EQ(RunCli(GetParam().Args), 2);
}

INSTANTIATE_TEST_SUITE_P(Arguments, RenderBadArgsTest,
    testing::Values(TRenderArgsRow { "NoArguments", { "render" } },
        TRenderArgsRow { "NoOutput", { "render", StartFen } },
        TRenderArgsRow { "BadFen", { "render", "rnbqkbnr/8 w - - 0 1", "/tmp/x.png" } },
        TRenderArgsRow { "SetZero", { "render", StartFen, "/tmp/x.png", "--set", "0" } },
        TRenderArgsRow { "SetTwentyOne", { "render", StartFen, "/tmp/x.png", "--set", "21" } },
        TRenderArgsRow { "SetNotANumber", { "render", StartFen, "/tmp/x.png", "--set", "x" } },
        TRenderArgsRow { "SetWithoutValue", { "render", StartFen, "/tmp/x.png", "--set" } },
        TRenderArgsRow { "UnknownOption", { "render", StartFen, "/tmp/x.png", "--big" } },
        TRenderArgsRow { "UnwritableOutput", { "render", StartFen, "/nonexistent-dir/wm/x.png" } },
        TRenderArgsRow { "RatioZero", { "render", StartFen, "/tmp/x.png", "--ratio", "0" } },
        TRenderArgsRow { "RatioWithoutValue", { "render", StartFen, "/tmp/x.png", "--ratio" } },
        TRenderArgsRow { "SetsWithoutOutput", { "render-sets" } },
        TRenderArgsRow { "SetsUnknownOption", { "render-sets", "/tmp/x.png", "--set", "3" } }),
    [](const auto& info) { return std::string(info.param.Name); });
