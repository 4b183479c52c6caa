// The scaler and the piece images: loading, tinting, the small pieces and king icons, drawing
// with mask and drawing, and the 20 built-in sets.

#include "ViewTestSupport.h"

#include <QPainter>

#include <gtest/gtest.h>

#include <string>

using namespace ViewTest;

// ResizeBitmap ---------------------------------------------------------------------------------

namespace {

// The scaler's arithmetic written out pixel by pixel, without the running sums.
QRgb ReferenceScaledPixel(const QImage& source, int width, int height, int x, int y) {
    auto mulDiv = [](int64_t a, int64_t b, int64_t c) { return (a * b + c / 2) / c; };
    const int64_t xStep = mulDiv(source.width() - 1, 65536, width);
    const int64_t yStep = mulDiv(source.height() - 1, 65536, height);
    const int64_t fy = y * yStep;
    const int64_t fx = x * xStep;
    const int sy = int(fy >> 16);
    const int sx = int(fx >> 16);
    const int syB = sy < source.height() - 1 ? sy + 1 : sy;
    const int sxB = sx < source.width() - 1 ? sx + 1 : sx;
    const int64_t wB = (fy & 0xFFFF) + 1;
    const int64_t wA = (~fy & 0xFFFF) + 1;
    const int64_t ux = fx & 0xFFFF;
    const int64_t r = mulDiv(ux, wA, 65536);
    const int64_t t = mulDiv(ux, wB, 65536);
    int channels[3];
    for (int c = 0; c < 3; ++c) {
        auto channel = [&](int px, int py) {
            const QRgb p = source.pixel(px, py);
            return int64_t(c == 0 ? qRed(p) : c == 1 ? qGreen(p) : qBlue(p));
        };
        channels[c] = int((channel(sx, sy) * (wA - r) + channel(sxB, sy) * r
                              + channel(sx, syB) * (wB - t) + channel(sxB, syB) * t)
            >> 16);
    }
    return qRgb(channels[0], channels[1], channels[2]);
}

QImage Gradient(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb((x * 53 + y * 7) % 256, (y * 91) % 256, (x * y * 13) % 256));
    }
    return image;
}

void ExpectMatchesReference(const QImage& source, int width, int height) {
    const QImage scaled = ResizeBitmap(source, width, height);
    ASSERT_EQ(scaled.size(), QSize(width, height));
    ASSERT_EQ(scaled.format(), QImage::Format_RGB888);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            ASSERT_EQ(scaled.pixel(x, y), ReferenceScaledPixel(source, width, height, x, y))
                << source.width() << "x" << source.height() << " to " << width << "x" << height
                << " at " << x << "," << y;
    }
}

} // namespace

TEST(ResizeBitmap, AnImageOfTheSizeIsReturnedUnchanged) {
    const QImage source = Gradient(7, 5);
    const QImage same = ResizeBitmap(source, 7, 5);
    EXPECT_EQ(same, source);
    EXPECT_EQ(same.format(), source.format());
}

TEST(ResizeBitmap, TwoPixelsToFourKeepTheQuirkyWeights) {
    // Weights of row A and B add up to 65537: the last columns come out one short of a plain
    // interpolation (63, 127, 191), and a row B weight of 1 adds a rounding step at x = 2.
    QImage source(2, 1, QImage::Format_RGB32);
    source.setPixel(0, 0, qRgb(0, 0, 0));
    source.setPixel(1, 0, qRgb(255, 255, 255));
    const QImage scaled = ResizeBitmap(source, 4, 1);
    ASSERT_EQ(scaled.format(), QImage::Format_RGB888);
    EXPECT_EQ(qRed(scaled.pixel(0, 0)), 0);
    EXPECT_EQ(qRed(scaled.pixel(1, 0)), 63);
    EXPECT_EQ(qRed(scaled.pixel(2, 0)), 127);
    EXPECT_EQ(qRed(scaled.pixel(3, 0)), 191);
}

TEST(ResizeBitmap, AUniformImageStaysUniform) {
    QImage source(9, 6, QImage::Format_RGB32);
    source.fill(qRgb(200, 17, 255));
    const QImage scaled = ResizeBitmap(source, 4, 13);
    for (int y = 0; y < scaled.height(); ++y) {
        for (int x = 0; x < scaled.width(); ++x)
            ASSERT_EQ(scaled.pixel(x, y), qRgb(200, 17, 255)) << x << "," << y;
    }
}

TEST(ResizeBitmap, MatchesThePixelByPixelArithmetic) {
    ExpectMatchesReference(Gradient(2, 2), 4, 4);
    ExpectMatchesReference(Gradient(4, 4), 2, 2);
    ExpectMatchesReference(Gradient(600, 50), 300, 25);
    ExpectMatchesReference(Gradient(100, 50), 80, 40);
    ExpectMatchesReference(Gradient(3, 7), 11, 2);
    ExpectMatchesReference(Gradient(1, 1), 3, 3);
}

TEST(ResizeBitmap, ColourChannelsStayInTheirPlaces) {
    QImage source(2, 2, QImage::Format_RGB32);
    source.fill(qRgb(10, 20, 30));
    EXPECT_EQ(ResizeBitmap(source, 5, 3).pixel(4, 2), qRgb(10, 20, 30));
}

TEST(ResizeBitmap, AnEmptySizeGivesANullImage) {
    EXPECT_TRUE(ResizeBitmap(Gradient(4, 4), 0, 3).isNull());
}

// Piece images --------------------------------------------------------------------------------

TEST(Colours, SettingsColoursHaveRedInTheLowByte) {
    EXPECT_EQ(ToQRgb(0x0000FF), qRgb(255, 0, 0));
    EXPECT_EQ(ToQRgb(0x00FF00), qRgb(0, 255, 0));
    EXPECT_EQ(ToQRgb(0xFF0000), qRgb(0, 0, 255));
    EXPECT_EQ(ToQRgb(0xBF8040), qRgb(0x40, 0x80, 0xBF));
}

TEST(PieceImages, NothingIsLoadedAtFirstAndDrawingThenDoesNothing) {
    TPieceImages pieces;
    EXPECT_EQ(pieces.ChessSet(), 0);
    QImage canvas(60, 60, QImage::Format_RGB32);
    canvas.fill(qRgb(1, 2, 3));
    const QImage before = canvas;
    QPainter painter(&canvas);
    pieces.DrawPiece(painter, 0, 0, pcWhite, pkKing);
    pieces.DrawSmallPiece(painter, 0, 0, pcWhite, pkKing);
    painter.end();
    EXPECT_EQ(canvas, before);
}

TEST(PieceImages, MonochromeStripsAreConvertedBeforeTheRasterOperations) {
    TPieceImages pieces;
    ASSERT_TRUE(pieces.LoadFromImages(SyntheticPieces(), SyntheticMasks(), 4, 0, 0, 0, 0));
    EXPECT_EQ(pieces.ChessSet(), 4);
    EXPECT_EQ(pieces.PiecesImage().format(), QImage::Format_RGB32);
    EXPECT_EQ(pieces.PiecesImage().pixel(20, 20), White) << "index 0 of the colour table is white";
    EXPECT_EQ(pieces.PiecesImage().pixel(2, 2), Black);
    EXPECT_EQ(pieces.MasksImage().pixel(20, 20), Black);
    EXPECT_EQ(pieces.MasksImage().pixel(2, 2), White);
}

class DrawPieceTest : public testing::TestWithParam<QRgb> {
protected:
    QImage DrawOn(uint8_t colour, uint8_t kind, uint8_t style = 0) {
        TPieceImages pieces;
        EXPECT_TRUE(pieces.LoadFromImages(
            SyntheticPieces(), SyntheticMasks(), 1, style, 0x0000FF, 0x00FF00, 0x000000));
        QImage canvas(70, 70, QImage::Format_RGB32);
        canvas.fill(GetParam());
        QPainter painter(&canvas);
        pieces.DrawPiece(painter, 10, 10, colour, kind);
        EXPECT_EQ(painter.compositionMode(), QPainter::CompositionMode_SourceOver);
        return canvas;
    }
};

TEST_P(DrawPieceTest, WhitePieceShowsItsDrawingInsideTheSilhouetteOnly) {
    const QRgb square = GetParam();
    const QImage canvas = DrawOn(pcWhite, pkBishop);
    EXPECT_EQ(canvas.pixel(10 + 2, 10 + 2), square) << "outside the silhouette";
    EXPECT_EQ(canvas.pixel(10 + 45, 10 + 30), square) << "outside the silhouette";
    EXPECT_EQ(canvas.pixel(5, 5), square) << "outside the cell";
    EXPECT_EQ(canvas.pixel(10 + 11, 10 + 11), Black) << "outline";
    EXPECT_EQ(canvas.pixel(10 + 25, 10 + 25), White) << "interior";
    EXPECT_EQ(canvas.pixel(10 + 12 + 2 * pkBishop, 10 + 37), White) << "the bishop's marker";
    EXPECT_EQ(canvas.pixel(10 + 12 + 2 * pkRook, 10 + 37), Black) << "no rook's marker";
}

TEST_P(DrawPieceTest, BlackPieceTakesTheRightHalfOfTheStrip) {
    const QRgb square = GetParam();
    const QImage canvas = DrawOn(pcBlack, pkQueen);
    EXPECT_EQ(canvas.pixel(10 + 2, 10 + 2), square);
    EXPECT_EQ(canvas.pixel(10 + 20, 10 + 20), Black) << "a black body";
    EXPECT_EQ(canvas.pixel(10 + 24, 10 + 24), White) << "its white detail";
    EXPECT_EQ(canvas.pixel(10 + 12 + 2 * pkQueen, 10 + 37), White) << "the queen's marker";
}

TEST_P(DrawPieceTest, AKindAboveFiveDrawsNothing) {
    const QImage canvas = DrawOn(pcWhite, 6);
    for (int y = 0; y < canvas.height(); ++y) {
        for (int x = 0; x < canvas.width(); ++x)
            ASSERT_EQ(canvas.pixel(x, y), GetParam());
    }
}

TEST_P(DrawPieceTest, ColoredFillsBothArmiesWhiteDrawing) {
    const QImage white = DrawOn(pcWhite, pkPawn, 1);
    EXPECT_EQ(white.pixel(10 + 25, 10 + 25), Rgb(0x0000FF)) << "white interior in WhiteColor";
    EXPECT_EQ(white.pixel(10 + 11, 10 + 11), Black) << "the outline stays";
    EXPECT_EQ(white.pixel(10 + 2, 10 + 2), GetParam());
    const QImage black = DrawOn(pcBlack, pkPawn, 1);
    EXPECT_EQ(black.pixel(10 + 25, 10 + 25), Rgb(0x00FF00)) << "black army in BlackColor";
    EXPECT_EQ(black.pixel(10 + 20, 10 + 20), Rgb(0x00FF00)) << "the black drawing is not used";
    EXPECT_EQ(black.pixel(10 + 11, 10 + 11), Black);
    EXPECT_EQ(black.pixel(10 + 2, 10 + 2), GetParam());
}

INSTANTIATE_TEST_SUITE_P(OnLightAndDark, DrawPieceTest,
    testing::Values(qRgb(0xE0, 0xD0, 0xC0), qRgb(0x40, 0x50, 0x60)),
    [](const auto& info) { return info.index == 0 ? "LightSquare" : "DarkSquare"; });

TEST(PieceImages, ColoredTintsOnlyPureWhite) {
    QImage pieces = SyntheticPieces().convertToFormat(QImage::Format_RGB32);
    pieces.setPixel(20, 20, qRgb(254, 255, 255));
    TPieceImages images;
    ASSERT_TRUE(images.LoadFromImages(pieces, SyntheticMasks(), 1, 1, 0x0000FF, 0x00FF00, 0));
    EXPECT_EQ(images.PiecesImage().pixel(20, 20), qRgb(254, 255, 255));
    EXPECT_EQ(images.PiecesImage().pixel(21, 20), Rgb(0x0000FF));
    EXPECT_EQ(images.PiecesImage().pixel(300 + 21, 20), Rgb(0x00FF00));
    EXPECT_EQ(images.PiecesImage().pixel(300 + 20, 20), qRgb(254, 255, 255))
        << "the right half is a copy of the left";
    EXPECT_EQ(images.MasksImage().copy(300, 0, 300, 50), images.MasksImage().copy(0, 0, 300, 50));
}

TEST(PieceImages, SmallPiecesAndKingIconsAreComposedOnTheBackground) {
    TPieceImages pieces;
    const TColor background = 0x336699;
    ASSERT_TRUE(pieces.LoadFromImages(SyntheticPieces(), SyntheticMasks(), 1, 0, 0, 0, background));
    const QImage& small = pieces.SmallPieces();
    ASSERT_EQ(small.size(), QSize(300, 25));
    EXPECT_EQ(small.pixel(0, 0), Rgb(background));
    EXPECT_EQ(small.pixel(12, 12), White) << "white pawn's interior at half size";
    EXPECT_EQ(small.pixel(150 + 6, 6), Black) << "black pawn's body at half size";
    EXPECT_EQ(small.pixel(150 + 24, 24), Rgb(background));

    const QImage& kings = pieces.KingIcons();
    ASSERT_EQ(kings.size(), QSize(80, 40));
    EXPECT_EQ(kings.pixel(0, 0), Rgb(background));
    EXPECT_EQ(kings.pixel(20, 20), White) << "white king";
    EXPECT_EQ(kings.pixel(40 + 12, 12), Black) << "black king";
    EXPECT_EQ(kings.pixel(79, 39), Rgb(background));
}

TEST(PieceImages, StripsOfAnotherSizeAreRefusedAndTheImagesKept) {
    TPieceImages pieces;
    ASSERT_TRUE(pieces.LoadFromImages(SyntheticPieces(), SyntheticMasks(), 5, 0, 0, 0, 0));
    const QImage small = pieces.SmallPieces();
    EXPECT_FALSE(pieces.LoadFromImages(
        SyntheticPieces().copy(0, 0, 300, 50), SyntheticMasks(), 6, 0, 0, 0, 0xFFFFFF));
    EXPECT_FALSE(pieces.LoadFromImages(QImage(), QImage(), 6, 0, 0, 0, 0xFFFFFF));
    EXPECT_EQ(pieces.ChessSet(), 5);
    EXPECT_EQ(pieces.SmallPieces(), small);
}

TEST(PieceImages, ASetOutsideOneToTwentyIsRefusedAndTheImagesKept) {
    TPieceImages pieces;
    ASSERT_TRUE(pieces.LoadChessSet(3, 0, 0xFFFFFF, 0x808080, 0xBF8040));
    const QImage strip = pieces.PiecesImage();
    EXPECT_FALSE(pieces.LoadChessSet(0, 0, 0xFFFFFF, 0x808080, 0xBF8040));
    EXPECT_FALSE(pieces.LoadChessSet(21, 0, 0xFFFFFF, 0x808080, 0xBF8040));
    EXPECT_FALSE(pieces.LoadChessSet(-3, 0, 0xFFFFFF, 0x808080, 0xBF8040));
    EXPECT_EQ(pieces.ChessSet(), 3);
    EXPECT_EQ(pieces.PiecesImage(), strip);
}

TEST(PieceImages, TwentySetNamesFromTheResources) {
    const QStringList names = PieceSetNames();
    ASSERT_EQ(names.size(), PieceSetCount);
    for (int i = 0; i < PieceSetCount; ++i) {
        EXPECT_FALSE(names[i].isEmpty());
        EXPECT_NE(names[i], QStringLiteral("Set %1").arg(i + 1)) << "names.txt is in the resources";
    }
}

class PieceSetTest : public testing::TestWithParam<int> { };

TEST_P(PieceSetTest, LoadsAndDrawsEveryPiece) {
    const int n = GetParam();
    TBoardView view;
    TBoardSnapshot snapshot;
    for (const uint8_t style : { 0, 1 }) {
        ASSERT_TRUE(view.Pieces.LoadChessSet(n, style, 0xFFFFFF, 0x808080, snapshot.Theme.Board));
        EXPECT_EQ(view.Pieces.ChessSet(), n);
        EXPECT_EQ(view.Pieces.PiecesImage().size(), QSize(600, 50));
        EXPECT_EQ(view.Pieces.SmallPieces().size(), QSize(300, 25));
        EXPECT_EQ(view.Pieces.KingIcons().size(), QSize(80, 40));

        QImage empty;
        view.DrawBoard(snapshot, empty);
        TChessBoard board;
        board.Reset();
        TBoardSnapshot start = SnapshotBoard(board, pcWhite);
        QImage drawn;
        view.DrawBoard(start, drawn);
        // Every one of the twelve pieces changes its square and nothing else.
        for (const TPoint square :
            { TPoint { 1, 2 }, TPoint { 1, 1 }, TPoint { 2, 1 }, TPoint { 3, 1 }, TPoint { 4, 1 },
                TPoint { 5, 1 }, TPoint { 1, 7 }, TPoint { 1, 8 }, TPoint { 2, 8 }, TPoint { 3, 8 },
                TPoint { 4, 8 }, TPoint { 5, 8 } }) {
            const TPoint origin = SquareOrigin(square, false);
            const QRect cell(origin.X, origin.Y, SquareSize, SquareSize);
            EXPECT_NE(drawn.copy(cell), empty.copy(cell))
                << "set " << n << " style " << int(style) << " square " << square.X << ","
                << square.Y;
            EXPECT_EQ(
                drawn.copy(cell.adjusted(0, 0, 0, -52)), empty.copy(cell.adjusted(0, 0, 0, -52)))
                << "the top rows of the square stay clear";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(BuiltIn, PieceSetTest, testing::Range(1, PieceSetCount + 1),
    [](const auto& info) { return "Set" + std::to_string(info.param); });

TEST(PieceImages, AHighResolutionCanvasKeepsThePaintersTransform) {
    TPieceImages pieces;
    ASSERT_TRUE(pieces.LoadFromImages(SyntheticPieces(), SyntheticMasks(), 1, 0, 0, 0, 0));
    QImage canvas(200, 200, QImage::Format_RGB32);
    canvas.setDevicePixelRatio(2);
    canvas.fill(qRgb(9, 9, 9));
    QPainter painter(&canvas);
    painter.translate(10, 20);
    pieces.DrawPiece(painter, 0, 0, pcWhite, pkPawn);
    painter.fillRect(0, 0, 1, 1, Qt::red);
    painter.end();
    EXPECT_EQ(canvas.pixel(2 * (10 + 25), 2 * (20 + 25)), White);
    EXPECT_EQ(canvas.pixel(2 * (10 + 11), 2 * (20 + 11)), Black);
    EXPECT_EQ(canvas.pixel(2 * (10 + 5), 2 * (20 + 5)), qRgb(9, 9, 9));
    EXPECT_EQ(canvas.pixel(2 * 10, 2 * 20), qRgb(255, 0, 0)) << "the transform is restored";
}
