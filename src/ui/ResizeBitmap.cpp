#include "BoardView.h"

#include <algorithm>
#include <cstdint>

namespace {

// a * b / c rounded to the nearest, for the non-negative values the scaler uses.
int64_t MulDiv(int64_t a, int64_t b, int64_t c) {
    return (a * b + c / 2) / c;
}

} // namespace

QImage ResizeBitmap(const QImage& source, int width, int height) {
    if (source.width() == width && source.height() == height)
        return source;
    if (source.isNull() || width <= 0 || height <= 0)
        return QImage();

    const QImage src = source.convertToFormat(QImage::Format_RGB888);
    QImage dst(width, height, QImage::Format_RGB888);
    const int srcWidth = src.width();
    const int srcHeight = src.height();
    const int64_t xStep = MulDiv(srcWidth - 1, 65536, width);
    const int64_t yStep = MulDiv(srcHeight - 1, 65536, height);

    int64_t fy = 0;
    for (int y = 0; y < height; ++y, fy += yStep) {
        // The rounded step can pass the last row only for sizes above 2^17; stay inside.
        const int sy = std::min(static_cast<int>(fy >> 16), srcHeight - 1);
        const uchar* rowA = src.constScanLine(sy);
        const uchar* rowB = src.constScanLine(sy < srcHeight - 1 ? sy + 1 : sy);
        const int64_t wB = (fy & 0xFFFF) + 1;
        const int64_t wA = (~fy & 0xFFFF) + 1;
        uchar* out = dst.scanLine(y);
        int64_t fx = 0;
        for (int x = 0; x < width; ++x, fx += xStep) {
            const int sx = std::min(static_cast<int>(fx >> 16), srcWidth - 1);
            // The right neighbour of the last column is the column itself: its weight is zero
            // whenever the step lands exactly on the last column.
            const int sx1 = sx < srcWidth - 1 ? sx + 1 : sx;
            const int64_t ux = fx & 0xFFFF;
            const int64_t r = MulDiv(ux, wA, 65536);
            const int64_t t = MulDiv(ux, wB, 65536);
            for (int c = 0; c < 3; ++c) {
                const int64_t value = rowA[sx * 3 + c] * (wA - r) + rowA[sx1 * 3 + c] * r
                    + rowB[sx * 3 + c] * (wB - t) + rowB[sx1 * 3 + c] * t;
                out[x * 3 + c] = static_cast<uchar>(value >> 16);
            }
        }
    }
    return dst;
}
