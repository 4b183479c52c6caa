#pragma once

// What the board view tests share: synthetic piece strips with known pixels, colours and an
// image comparison that says where two images differ.

#include "BoardView.h"

#include <QImage>

#include <gtest/gtest.h>

namespace ViewTest {

using namespace BoardGeometry;

constexpr QRgb White = 0xFFFFFFFF;
constexpr QRgb Black = 0xFF000000;

// A theme whose eleven colours all differ from each other, from black and from white.
inline TTheme DistinctTheme() {
    TTheme theme;
    theme.Board = 0x102030;
    theme.Player = 0x204060;
    theme.Border = 0x305070;
    theme.Text = 0x40C0F0;
    theme.Whites = 0xE0D0C0;
    theme.Blacks = 0x605040;
    theme.Hover = 0x11AA22;
    theme.Selected = 0x22BB33;
    theme.GoodMove = 0x33CC44;
    theme.BadMove = 0x44DD55;
    theme.LastMove = 0x55EE66;
    return theme;
}

// Synthetic strips with known pixels. Every cell's silhouette is the square 10 .. 39; the piece
// strip is black outside it. A white piece is white inside 15 .. 34 (a 5-pixel black outline
// around it); a black piece is black but for a white detail at 24 .. 25. Each kind also has a
// white marker pixel at (12 + 2 * kind, 37), inside the silhouette.
constexpr int SilhouetteLow = 10;
constexpr int SilhouetteHigh = 39;
constexpr int InteriorLow = 15;
constexpr int InteriorHigh = 34;

inline bool SyntheticWhitePixel(int x, int y) {
    const int cell = x / PieceSize;
    const int cx = x % PieceSize;
    const bool black = cell >= 6;
    const int kind = cell % 6;
    if (cx == 12 + 2 * kind && y == 37)
        return true;
    if (black)
        return cx >= 24 && cx <= 25 && y >= 24 && y <= 25;
    return cx >= InteriorLow && cx <= InteriorHigh && y >= InteriorLow && y <= InteriorHigh;
}

inline bool InSilhouette(int cx, int y) {
    return cx >= SilhouetteLow && cx <= SilhouetteHigh && y >= SilhouetteLow && y <= SilhouetteHigh;
}

// One-bit images with white at index 0 of the colour table, the way the resources load.
inline QImage MonoStrip(bool (*white)(int x, int y)) {
    QImage strip(12 * PieceSize, PieceSize, QImage::Format_Mono);
    strip.setColorTable({ White, Black });
    for (int y = 0; y < PieceSize; ++y) {
        for (int x = 0; x < strip.width(); ++x)
            strip.setPixel(x, y, white(x, y) ? 0 : 1);
    }
    return strip;
}

inline QImage SyntheticPieces() {
    return MonoStrip(SyntheticWhitePixel);
}

inline QImage SyntheticMasks() {
    return MonoStrip([](int x, int y) { return !InSilhouette(x % PieceSize, y); });
}

// Equal images, or where they first differ.
inline testing::AssertionResult SameImage(const QImage& actual, const QImage& expected) {
    if (actual.size() != expected.size())
        return testing::AssertionFailure() << "sizes differ";
    const QImage a = actual.convertToFormat(QImage::Format_RGB32);
    const QImage b = expected.convertToFormat(QImage::Format_RGB32);
    int differing = 0;
    QPoint first;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            if (a.pixel(x, y) != b.pixel(x, y) && differing++ == 0)
                first = QPoint(x, y);
        }
    }
    if (differing == 0)
        return testing::AssertionSuccess();
    return testing::AssertionFailure()
        << differing << " pixels differ, the first at (" << first.x() << ", " << first.y()
        << "): " << std::hex << a.pixel(first) << " instead of " << b.pixel(first);
}

inline QRgb Rgb(TColor colour) {
    return ToQRgb(colour);
}

inline int8_t Code(uint8_t colour, uint8_t kind) {
    return static_cast<int8_t>(colour * 6 + kind);
}

} // namespace ViewTest
