// Checks over the committed piece strips in resources/pieces: the program
// draws a piece with mask AND destination, then piece XOR destination, which
// only works if the strips keep these invariants.

#include <gtest/gtest.h>

#include <QImage>
#include <QString>

#include <fstream>
#include <string>
#include <vector>

#ifndef WINTERMOOT_SOURCE_DIR
#error "WINTERMOOT_SOURCE_DIR must name the project root"
#endif

namespace {

constexpr int SetCount = 20;
constexpr int Cell = 50;
constexpr int Cells = 12; // white P R N B Q K, then black P R N B Q K

std::string PiecesDir() {
    return std::string(WINTERMOOT_SOURCE_DIR) + "/resources/pieces/";
}

// A strip as booleans: true where the pixel is white.
struct Strip {
    int Width = 0;
    int Height = 0;
    std::vector<bool> White;
    bool At(int x, int y) const { return White[static_cast<size_t>(y) * Width + x]; }
};

// Loads a strip and fails the test if it is not 600 x 50 pure black and white.
Strip LoadStrip(const std::string& name) {
    Strip strip;
    const std::string path = PiecesDir() + name;
    QImage image(QString::fromStdString(path));
    EXPECT_FALSE(image.isNull()) << path << " does not load";
    if (image.isNull())
        return strip;
    EXPECT_EQ(image.width(), Cell * Cells) << path;
    EXPECT_EQ(image.height(), Cell) << path;
    EXPECT_EQ(image.depth(), 1) << path << " is not a 1-bit image";
    image = image.convertToFormat(QImage::Format_RGB32);
    strip.Width = image.width();
    strip.Height = image.height();
    strip.White.resize(static_cast<size_t>(strip.Width) * strip.Height);
    int grey = 0;
    for (int y = 0; y < strip.Height; ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < strip.Width; ++x) {
            const QRgb rgb = line[x] & 0xFFFFFF;
            if (rgb != 0xFFFFFF && rgb != 0)
                ++grey;
            strip.White[static_cast<size_t>(y) * strip.Width + x] = rgb == 0xFFFFFF;
        }
    }
    EXPECT_EQ(grey, 0) << path << " has pixels that are neither black nor white";
    return strip;
}

class PieceSetTest : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override {
        const std::string n = std::to_string(GetParam());
        Pieces = LoadStrip("Pieces" + n + ".png");
        Masks = LoadStrip("Masks" + n + ".png");
        if (Pieces.White.empty() || Masks.White.empty() || Pieces.Width != Masks.Width
            || Pieces.Height != Masks.Height || Pieces.Width != Cell * Cells
            || Pieces.Height != Cell)
            GTEST_SKIP() << "set " << n << " strips are unusable";
    }

    // Mask pixels are black on the silhouette.
    bool InSilhouette(int x, int y) const { return !Masks.At(x, y); }

    Strip Pieces;
    Strip Masks;
};

TEST_P(PieceSetTest, PiecePixelsStayInsideTheSilhouette) {
    int stray = 0;
    for (int y = 0; y < Cell; ++y)
        for (int x = 0; x < Cell * Cells; ++x)
            if (Pieces.At(x, y) && !InSilhouette(x, y))
                ++stray;
    EXPECT_EQ(stray, 0)
        << "white piece pixels outside the silhouette would be XORed onto the board";
}

TEST_P(PieceSetTest, EveryCellHasAPieceClearOfTheCellEdge) {
    for (int k = 0; k < Cells; ++k) {
        int area = 0;
        int onEdge = 0;
        for (int y = 0; y < Cell; ++y)
            for (int x = 0; x < Cell; ++x) {
                if (!InSilhouette(k * Cell + x, y))
                    continue;
                ++area;
                if (x == 0 || y == 0 || x == Cell - 1 || y == Cell - 1)
                    ++onEdge;
            }
        EXPECT_GT(area, 0) << "cell " << k << " is empty";
        EXPECT_EQ(onEdge, 0) << "cell " << k << " touches its outer row or column";
    }
}

// White pieces need white bodies (the coloured style tints them); black pieces
// must be mostly black. Counted away from the outer ring, which holds the
// white pieces' outline and the black pieces' light rim. This catches
// swapped halves and inverted strips.
TEST_P(PieceSetTest, WhitePiecesAreLightAndBlackPiecesDark) {
    for (int k = 0; k < Cells; ++k) {
        int inner = 0;
        int white = 0;
        for (int y = 1; y < Cell - 1; ++y)
            for (int x = 1; x < Cell - 1; ++x) {
                const int sx = k * Cell + x;
                if (!InSilhouette(sx, y) || !InSilhouette(sx - 1, y) || !InSilhouette(sx + 1, y)
                    || !InSilhouette(sx, y - 1) || !InSilhouette(sx, y + 1))
                    continue;
                ++inner;
                if (Pieces.At(sx, y))
                    ++white;
            }
        ASSERT_GT(inner, 0) << "cell " << k << " has no body";
        const double share = static_cast<double>(white) / inner;
        if (k < Cells / 2)
            EXPECT_GE(share, 0.15) << "white piece in cell " << k << " is mostly black";
        else
            EXPECT_LE(share, 0.45) << "black piece in cell " << k << " is mostly white";
    }
}

INSTANTIATE_TEST_SUITE_P(AllSets, PieceSetTest, ::testing::Range(1, SetCount + 1),
    [](const ::testing::TestParamInfo<int>& info) { return "Set" + std::to_string(info.param); });

TEST(PieceSetNames, OneNonEmptyNamePerSet) {
    std::ifstream in(PiecesDir() + "names.txt");
    ASSERT_TRUE(in) << "names.txt is missing";
    std::vector<std::string> names;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        names.push_back(line);
    }
    ASSERT_EQ(names.size(), static_cast<size_t>(SetCount));
    for (size_t i = 0; i < names.size(); ++i) {
        EXPECT_FALSE(names[i].empty()) << "set " << i + 1 << " has no name";
        for (size_t j = 0; j < i; ++j)
            EXPECT_NE(names[i], names[j])
                << "sets " << j + 1 << " and " << i + 1 << " share a name";
    }
}

} // namespace
