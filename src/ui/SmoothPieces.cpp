#include "SmoothPieces.h"

#include "BoardView.h"

#include <QPaintDevice>
#include <QPainter>

#include <algorithm>

namespace {

QRgb Shade(int grey, int alpha, QRgb colour) {
    return qRgba(
        qRed(colour) * grey / 255, qGreen(colour) * grey / 255, qBlue(colour) * grey / 255, alpha);
}

} // namespace

bool TSmoothPieces::Load(int n, uint8_t pieceStyle, TColor whiteColor, TColor blackColor) {
    if (n < 1 || n > PieceSetCount)
        return false;
    const QImage strip(QStringLiteral(":/pieces/smooth/Smooth%1.png").arg(n));
    return LoadFromImage(strip, pieceStyle, whiteColor, blackColor);
}

bool TSmoothPieces::LoadFromImage(
    const QImage& strip, uint8_t pieceStyle, TColor whiteColor, TColor blackColor) {
    const int cell = strip.height();
    if (strip.isNull() || cell < MinCell || strip.width() != 12 * cell)
        return false;
    // The artwork's grey is the piece's shade and its alpha the coverage; unpremultiplied, so
    // that the shade can be read back exactly wherever the edge is soft.
    const QImage source = strip.convertToFormat(QImage::Format_ARGB32);
    const bool coloured = pieceStyle == 1;
    std::array<QImage, 12> cells;
    for (int index = 0; index < 12; ++index) {
        // "Colored" takes the white drawing for both armies.
        const int from = coloured ? index % 6 : index;
        const QRgb tint = !coloured ? qRgb(255, 255, 255)
            : index < 6             ? ToQRgb(whiteColor)
                                    : ToQRgb(blackColor);
        QImage out(cell, cell, QImage::Format_ARGB32);
        for (int y = 0; y < cell; ++y) {
            const auto* in = reinterpret_cast<const QRgb*>(source.constScanLine(y)) + from * cell;
            auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
            for (int x = 0; x < cell; ++x)
                line[x] = Shade(qGray(in[x]), qAlpha(in[x]), tint);
        }
        cells[index] = out.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    }
    m_Cells = std::move(cells);
    m_Cache.clear();
    return true;
}

void TSmoothPieces::Clear() {
    m_Cells = {};
    m_Cache.clear();
}

QImage TSmoothPieces::Rendered(int pixels, uint8_t colour, uint8_t kind) const {
    if (kind > pkKing || colour > pcBlack || pixels <= 0 || !IsLoaded())
        return QImage();
    const int index = (colour == pcBlack ? 6 : 0) + kind;
    const auto key = std::make_pair(pixels, index);
    const auto found = m_Cache.find(key);
    if (found != m_Cache.end())
        return found->second;
    if (m_Cache.size() >= CacheLimit)
        m_Cache.clear();
    const QImage& cell = m_Cells[index];
    QImage image = pixels == cell.width()
        ? cell
        : cell.scaled(pixels, pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    m_Cache.emplace(key, image);
    return image;
}

void TSmoothPieces::Draw(
    QPainter& painter, const QRectF& target, uint8_t colour, uint8_t kind) const {
    if (kind > pkKing || !IsLoaded() || target.isEmpty())
        return;
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatio() : 1.0;
    // The target in device pixels; only scaling and translation keep a piece upright and square.
    const QTransform transform = painter.worldTransform();
    const QRectF logical = transform.mapRect(target);
    const QRectF box(logical.topLeft() * ratio, logical.size() * ratio);
    const int pixels = qFloor(std::min(box.width(), box.height()) + 0.5);
    const QImage image = Rendered(pixels, colour, kind);
    if (image.isNull())
        return;
    const QPoint at(
        qRound(box.center().x() - pixels / 2.0), qRound(box.center().y() - pixels / 2.0));
    if (transform.isRotating()) {
        // A turned view cannot be drawn pixel for pixel; the piece is scaled into place.
        painter.drawImage(target, image);
        return;
    }
    // Device pixels for the copy, so that it is a plain blit.
    painter.setWorldTransform(QTransform::fromScale(1 / ratio, 1 / ratio));
    painter.drawImage(at, image);
    painter.setWorldTransform(transform);
}
