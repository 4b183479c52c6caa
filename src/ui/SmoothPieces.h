#pragma once

// The smooth pieces: a set's anti-aliased artwork (":/pieces/smooth/Smooth<n>.png", twelve square
// cells of grey with an alpha channel, in the order of the one-bit strips) drawn at any size,
// pixel for pixel at the device's pixel ratio.

#include "Settings.h"

#include <QImage>
#include <QRectF>

#include <array>
#include <cstdint>
#include <map>
#include <utility>

class QPainter;

class TSmoothPieces {
public:
    // Loads set n (1 .. PieceSetCount) from the program's resources. "Colored" (pieceStyle 1)
    // draws both armies with the white drawing, its shades scaled to the army's colour. A set
    // without artwork answers false and keeps what was loaded.
    bool Load(int n, uint8_t pieceStyle, TColor whiteColor, TColor blackColor);
    // The same from a strip in memory: any format, twelve square cells side by side (width 12
    // times the height, cells of at least MinCell pixels). Other strips answer false.
    bool LoadFromImage(
        const QImage& strip, uint8_t pieceStyle, TColor whiteColor, TColor blackColor);
    void Clear();
    bool IsLoaded() const { return !m_Cells[0].isNull(); }

    // Draws the piece as a square as large as fits in `target`, centred in it, on whole device
    // pixels: the painter's transform and its device's pixel ratio decide how many pixels the
    // piece gets. A kind above 5, an empty target or nothing loaded draws nothing.
    void Draw(QPainter& painter, const QRectF& target, uint8_t colour, uint8_t kind) const;
    // The piece rendered at `pixels` x `pixels` device pixels (premultiplied ARGB), kept for the
    // next call with the same size; a null image when there is nothing to draw.
    QImage Rendered(int pixels, uint8_t colour, uint8_t kind) const;

    static constexpr int MinCell = 16;
    // Rendered pieces kept (several sizes of all twelve); a full cache starts again, so that a
    // window resized through many sizes does not gather them all.
    static constexpr size_t CacheLimit = 72;
    size_t CachedCount() const { return m_Cache.size(); }

private:
    // The cells in premultiplied ARGB, already in the style's colours.
    std::array<QImage, 12> m_Cells;
    // Keyed by (device pixels, cell index).
    mutable std::map<std::pair<int, int>, QImage> m_Cache;
};
