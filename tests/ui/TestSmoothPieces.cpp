// The smooth pieces: the committed artwork of every set, drawing at any size and pixel ratio,
// the styles, and the switch between them and the one-bit pieces in the board view.

#include "ViewTestSupport.h"

#include <QPainter>

#include <gtest/gtest.h>

#include <string>

using namespace ViewTest;

namespace {

constexpr QRgb Ground = 0xFF336699;

// A strip of twelve 20-pixel cells: each cell a centred 10 x 10 square whose grey tells the cell
// (white cells light, black cells dark), with a soft half-covered ring around it.
QImage SyntheticSmoothStrip() {
    constexpr int Cell = 20;
    QImage strip(12 * Cell, Cell, QImage::Format_ARGB32);
    strip.fill(Qt::transparent);
    for (int index = 0; index < 12; ++index) {
        const int grey = index < 6 ? 255 - index : 40 + index;
        for (int y = 4; y < 16; ++y) {
            for (int x = 4; x < 16; ++x) {
                const bool ring = x == 4 || x == 15 || y == 4 || y == 15;
                strip.setPixel(index * Cell + x, y, qRgba(grey, grey, grey, ring ? 128 : 255));
            }
        }
    }
    return strip;
}

// Draws one piece into a canvas of `size` logical pixels at `ratio`, the piece's target `box`.
QImage DrawOne(const TSmoothPieces& pieces, QSize size, qreal ratio, const QRectF& box,
    uint8_t colour, uint8_t kind) {
    QImage canvas(
        qRound(size.width() * ratio), qRound(size.height() * ratio), QImage::Format_RGB32);
    canvas.setDevicePixelRatio(ratio);
    canvas.fill(Ground);
    QPainter painter(&canvas);
    pieces.Draw(painter, box, colour, kind);
    return canvas;
}

// How many pixels differ from the ground inside and outside a device-pixel rectangle.
std::pair<int, int> Changed(const QImage& image, const QRect& inside) {
    int in = 0;
    int out = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) != Ground)
                ++(inside.contains(x, y) ? in : out);
        }
    }
    return { in, out };
}

} // namespace

class SmoothSetTest : public testing::TestWithParam<int> { };

TEST_P(SmoothSetTest, EveryPieceDrawsInsideItsBoxAtEverySizeAndRatio) {
    const int n = GetParam();
    TSmoothPieces pieces;
    for (const uint8_t style : { 0, 1 }) {
        ASSERT_TRUE(pieces.Load(n, style, 0xFFFFFF, 0x808080)) << "set " << n;
        for (const qreal ratio : { 1.0, 1.5, 2.0 }) {
            for (const int side : { 25, 50, 77 }) {
                const QRectF box(6, 4, side, side);
                const QRect device(qRound(6 * ratio), qRound(4 * ratio), qRound(side * ratio),
                    qRound(side * ratio));
                for (int index = 0; index < 12; ++index) {
                    const QImage drawn = DrawOne(pieces, QSize(side + 12, side + 10), ratio, box,
                        uint8_t(index / 6), uint8_t(index % 6));
                    const auto [in, out] = Changed(drawn, device);
                    EXPECT_GT(in, device.width() * device.height() / 20)
                        << "set " << n << " style " << int(style) << " piece " << index << " side "
                        << side << " ratio " << ratio;
                    EXPECT_EQ(out, 0) << "set " << n << " piece " << index << " side " << side
                                      << " ratio " << ratio;
                }
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(BuiltIn, SmoothSetTest, testing::Range(1, PieceSetCount + 1),
    [](const auto& info) { return "Set" + std::to_string(info.param); });

TEST(SmoothPieces, TheArtworkIsLargeEnoughForAHighDensityBoard) {
    const QImage strip(QStringLiteral(":/pieces/smooth/Smooth3.png"));
    ASSERT_FALSE(strip.isNull());
    EXPECT_EQ(strip.width(), 12 * strip.height());
    EXPECT_GE(strip.height(), 200);
    EXPECT_TRUE(strip.hasAlphaChannel());
}

TEST(SmoothPieces, ClassicKeepsEachArmysShadesAndColoredTintsTheWhiteDrawing) {
    TSmoothPieces pieces;
    ASSERT_TRUE(pieces.LoadFromImage(SyntheticSmoothStrip(), 0, 0x0000FF, 0xFF0000));
    // At the artwork's own size the cell comes back as it is, premultiplied.
    EXPECT_EQ(pieces.Rendered(20, pcWhite, pkRook).pixel(10, 10), qRgb(254, 254, 254));
    EXPECT_EQ(pieces.Rendered(20, pcBlack, pkRook).pixel(10, 10), qRgb(47, 47, 47));
    EXPECT_EQ(qAlpha(pieces.Rendered(20, pcBlack, pkRook).pixel(4, 10)), 128);

    ASSERT_TRUE(pieces.LoadFromImage(SyntheticSmoothStrip(), 1, 0x0000FF, 0xFF0000));
    // Settings colours are 0x00BBGGRR: 0x0000FF is red, 0xFF0000 blue. Both armies take the
    // white drawing (grey 254 for the rook), scaled to their colour.
    EXPECT_EQ(pieces.Rendered(20, pcWhite, pkRook).pixel(10, 10), qRgb(254, 0, 0));
    EXPECT_EQ(pieces.Rendered(20, pcBlack, pkRook).pixel(10, 10), qRgb(0, 0, 254));
    EXPECT_EQ(pieces.Rendered(20, pcBlack, pkPawn).pixel(10, 10), qRgb(0, 0, 255));
}

TEST(SmoothPieces, ThePieceFillsTheLargestCentredSquareOnWholeDevicePixels) {
    TSmoothPieces pieces;
    ASSERT_TRUE(pieces.LoadFromImage(SyntheticSmoothStrip(), 0, 0, 0));
    // A 40 x 60 box at (10, 0): the piece is 40 x 40 at (10, 10), its solid square the middle
    // 16 x 16 of that (the cell's 4 .. 16 scaled by two, less the soft ring).
    const QImage drawn = DrawOne(pieces, QSize(60, 60), 1.0, QRectF(10, 0, 40, 60), 0, pkKing);
    EXPECT_EQ(drawn.pixel(30, 30), qRgb(250, 250, 250));
    EXPECT_EQ(drawn.pixel(30, 8), Ground);
    EXPECT_EQ(drawn.pixel(30, 52), Ground);
    const auto [in, out] = Changed(drawn, QRect(10, 10, 40, 40));
    EXPECT_GT(in, 16 * 16);
    EXPECT_EQ(out, 0);

    // At ratio 2 the same box gets 80 device pixels.
    const QImage sharp = DrawOne(pieces, QSize(60, 60), 2.0, QRectF(10, 0, 40, 60), 0, pkKing);
    EXPECT_EQ(Changed(sharp, QRect(20, 20, 80, 80)).second, 0);
    EXPECT_EQ(sharp.pixel(60, 60), qRgb(250, 250, 250));
}

TEST(SmoothPieces, RenderedPiecesAreKeptPerSizeAndForgottenOnALoad) {
    TSmoothPieces pieces;
    EXPECT_TRUE(pieces.Rendered(30, pcWhite, pkPawn).isNull()) << "nothing loaded";
    ASSERT_TRUE(pieces.LoadFromImage(SyntheticSmoothStrip(), 0, 0, 0));
    const QImage first = pieces.Rendered(30, pcWhite, pkPawn);
    EXPECT_EQ(first.size(), QSize(30, 30));
    EXPECT_EQ(pieces.Rendered(30, pcWhite, pkPawn).cacheKey(), first.cacheKey());
    EXPECT_EQ(pieces.CachedCount(), 1u);
    EXPECT_TRUE(pieces.Rendered(30, pcWhite, 6).isNull());
    EXPECT_TRUE(pieces.Rendered(0, pcWhite, pkPawn).isNull());
    for (int size = 1; size <= int(TSmoothPieces::CacheLimit) + 5; ++size)
        pieces.Rendered(size, pcBlack, pkQueen);
    EXPECT_LE(pieces.CachedCount(), TSmoothPieces::CacheLimit);
    ASSERT_TRUE(pieces.LoadFromImage(SyntheticSmoothStrip(), 1, 0, 0));
    EXPECT_EQ(pieces.CachedCount(), 0u);
}

TEST(SmoothPieces, BadStripsAndSetsAreRefusedAndThePiecesKept) {
    TSmoothPieces pieces;
    ASSERT_TRUE(pieces.LoadFromImage(SyntheticSmoothStrip(), 0, 0, 0));
    const QImage before = pieces.Rendered(20, pcWhite, pkBishop);
    EXPECT_FALSE(pieces.LoadFromImage(QImage(), 0, 0, 0));
    EXPECT_FALSE(pieces.LoadFromImage(QImage(100, 10, QImage::Format_ARGB32), 0, 0, 0));
    EXPECT_FALSE(pieces.LoadFromImage(QImage(120, 10, QImage::Format_ARGB32), 0, 0, 0))
        << "cells too small";
    EXPECT_FALSE(pieces.Load(0, 0, 0, 0));
    EXPECT_FALSE(pieces.Load(PieceSetCount + 1, 0, 0, 0));
    EXPECT_TRUE(pieces.IsLoaded());
    EXPECT_EQ(pieces.Rendered(20, pcWhite, pkBishop), before);
}

// The board view with the option on and off ----------------------------------------------------

namespace {

QImage DrawStart(TBoardView& view, qreal ratio = 1.0) {
    TChessBoard board;
    board.Reset();
    TBoardSnapshot snapshot = SnapshotBoard(board, pcWhite);
    snapshot.CapturedByWhite[0] = pkQueen;
    snapshot.CapturedByWhiteCount = 1;
    QImage image;
    view.DrawBoard(snapshot, image, ratio);
    return image;
}

// Pixels of a region that are neither of the two colours a one-bit piece is drawn on a square
// with: the blends of a smooth edge.
int Blends(const QImage& image, const QRect& region, QRgb ground) {
    int count = 0;
    for (int y = region.top(); y <= region.bottom(); ++y) {
        for (int x = region.left(); x <= region.right(); ++x) {
            const QRgb p = image.pixel(x, y) | 0xFF000000;
            if (p != ground && p != White && p != Black)
                ++count;
        }
    }
    return count;
}

} // namespace

TEST(SmoothBoard, TheOptionSwitchesWhatTheBoardDraws) {
    TBoardView view;
    const TBoardSnapshot plain;
    ASSERT_TRUE(view.Pieces.LoadChessSet(3, 0, 0xFFFFFF, 0x808080, plain.Theme.Board));
    EXPECT_FALSE(view.Pieces.Smooth());
    const QImage oneBit = DrawStart(view);
    ASSERT_TRUE(view.Pieces.LoadChessSet(3, 0, 0xFFFFFF, 0x808080, plain.Theme.Board, true));
    EXPECT_TRUE(view.Pieces.Smooth());
    const QImage smooth = DrawStart(view);

    // The white king on e1, on its square's colour.
    const TPoint e1 = SquareOrigin({ 5, 1 }, false);
    const QRect king(e1.X, e1.Y, SquareSize, SquareSize);
    const QRgb square = oneBit.pixel(e1.X + 1, e1.Y + 1);
    EXPECT_EQ(Blends(oneBit, king, square), 0);
    EXPECT_GT(Blends(smooth, king, square), 20);
    // The header's king icons and the captured queen are drawn smooth too.
    const QRect icon(22, 8, 40, 40);
    EXPECT_NE(oneBit.copy(icon), smooth.copy(icon));
    const QRect captured(Right + 3, Top, 25, 25);
    EXPECT_NE(oneBit.copy(captured), smooth.copy(captured));
    EXPECT_GT(Blends(smooth, captured, Rgb(plain.Theme.Board)), 0);

    // Loading without the option gives back exactly the one-bit view.
    ASSERT_TRUE(view.Pieces.LoadChessSet(3, 0, 0xFFFFFF, 0x808080, plain.Theme.Board));
    EXPECT_FALSE(view.Pieces.Smooth());
    EXPECT_TRUE(SameImage(DrawStart(view), oneBit));
}

TEST(SmoothBoard, OneBitStripsFromMemoryTurnTheSmoothPiecesOff) {
    TPieceImages pieces;
    ASSERT_TRUE(pieces.LoadChessSet(6, 1, 0xFFFFFF, 0x808080, 0, true));
    EXPECT_EQ(pieces.SmallPieces().size(), QSize(300, 25));
    EXPECT_EQ(pieces.KingIcons().size(), QSize(80, 40));
    ASSERT_TRUE(pieces.LoadFromImages(SyntheticPieces(), SyntheticMasks(), 1, 0, 0, 0, 0));
    EXPECT_FALSE(pieces.Smooth());
}

TEST(SmoothBoard, AtRatioTwoThePiecesUseTheDevicePixels) {
    TBoardView view;
    const TBoardSnapshot plain;
    ASSERT_TRUE(view.Pieces.LoadChessSet(1, 0, 0xFFFFFF, 0x808080, plain.Theme.Board, true));
    const QImage sharp = DrawStart(view, 2.0);
    ASSERT_EQ(sharp.size(), QSize(2 * ViewSize, 2 * ViewSize));
    // The knight on b1 drawn at 100 device pixels is not the 50-pixel one doubled: some pair of
    // neighbouring device pixels inside one logical pixel differs.
    const TPoint b1 = SquareOrigin({ 2, 1 }, false);
    int split = 0;
    for (int y = 2 * b1.Y; y < 2 * (b1.Y + SquareSize); y += 2) {
        for (int x = 2 * b1.X; x < 2 * (b1.X + SquareSize); x += 2)
            split += sharp.pixel(x, y) != sharp.pixel(x + 1, y + 1);
    }
    EXPECT_GT(split, 50);
}
