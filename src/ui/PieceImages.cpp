#include "BoardView.h"

#include <QFile>
#include <QPainter>

#include <algorithm>

namespace {

constexpr int StripWidth = 12 * BoardGeometry::PieceSize;
constexpr int HalfStrip = 6 * BoardGeometry::PieceSize;
constexpr int StripHeight = BoardGeometry::PieceSize;
constexpr int SmallSize = 25;
constexpr int IconSize = 40;

// The format every prepared image is kept in: the buffer's, so that plain copies are straight
// blits and the raster operations need no conversion per frame.
constexpr QImage::Format PreparedFormat = QImage::Format_RGB32;

// Draws the cell of the piece from strips of `cell` x `cell` pixel cells.
void DrawCell(QPainter& painter, const QImage& pieces, const QImage& masks, int cell, int x, int y,
    uint8_t colour, uint8_t kind) {
    if (kind > pkKing || pieces.isNull() || masks.isNull())
        return;
    const int left = ((colour == pcBlack ? 6 : 0) + kind) * cell;
    // Qt hands a blend of 96 rows or more to its thread pool, which costs a small image more
    // than it saves; large cells go in bands.
    constexpr int BandRows = 64;
    for (int top = 0; top < cell; top += BandRows) {
        const QRect source(left, top, cell, std::min(BandRows, cell - top));
        const QPoint at(x, y + top);
        painter.setCompositionMode(QPainter::RasterOp_SourceAndDestination);
        painter.drawImage(at, masks, source);
        painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        painter.drawImage(at, pieces, source);
    }
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
}

// A strip of twelve 50-pixel cells as twelve cells of `cell` pixels, without smoothing: every
// cell's pixels stay inside its own cell.
QImage ScaleStrip(const QImage& strip, int cell) {
    return strip.scaled(12 * cell, cell, Qt::IgnoreAspectRatio, Qt::FastTransformation);
}

qreal DeviceRatio(const QPainter& painter) {
    return painter.device() ? painter.device()->devicePixelRatio() : 1.0;
}

// Runs `draw` with the painter in device pixels: Qt's raster operations through a scaling
// transform are many times slower than plain ones, and a smoothed image is best copied as it is.
template <typename F> void InDevicePixels(QPainter& painter, qreal ratio, F&& draw) {
    if (ratio == 1.0) {
        draw();
        return;
    }
    const QTransform transform = painter.worldTransform();
    painter.setWorldTransform(QTransform::fromScale(1 / ratio, 1 / ratio), true);
    draw();
    painter.setWorldTransform(transform);
}

// "Colored": both armies take the white drawing; its white pixels are filled with the colour
// of their army.
void TintPieces(QImage& pieces, QImage& masks, QRgb whiteColor, QRgb blackColor) {
    {
        QPainter painter(&pieces);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(QPoint(HalfStrip, 0), pieces.copy(0, 0, HalfStrip, StripHeight));
    }
    for (int y = 0; y < StripHeight; ++y) {
        auto* line = reinterpret_cast<QRgb*>(pieces.scanLine(y));
        for (int x = 0; x < StripWidth; ++x) {
            if ((line[x] & 0xFFFFFF) == 0xFFFFFF)
                line[x] = x < HalfStrip ? whiteColor : blackColor;
        }
    }
    QPainter painter(&masks);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(QPoint(HalfStrip, 0), masks.copy(0, 0, HalfStrip, StripHeight));
}

// The strips drawn over a plain background: the mask cuts the silhouettes (AND), the drawing
// goes into them (XOR).
QImage ComposeStrips(const QImage& pieces, const QImage& masks, QRgb background) {
    QImage composed(pieces.size(), PreparedFormat);
    composed.fill(background);
    QPainter painter(&composed);
    painter.setCompositionMode(QPainter::RasterOp_SourceAndDestination);
    painter.drawImage(QPoint(0, 0), masks);
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    painter.drawImage(QPoint(0, 0), pieces);
    painter.end();
    return composed;
}

} // namespace

bool TPieceImages::LoadChessSet(int n, uint8_t pieceStyle, TColor whiteColor, TColor blackColor,
    TColor background, bool smooth) {
    if (n < 1 || n > PieceSetCount)
        return false;
    TSmoothPieces smoothPieces;
    if (smooth && !smoothPieces.Load(n, pieceStyle, whiteColor, blackColor))
        return false;
    const QImage pieces(QStringLiteral(":/pieces/Pieces%1.png").arg(n));
    const QImage masks(QStringLiteral(":/pieces/Masks%1.png").arg(n));
    if (!LoadFromImages(pieces, masks, n, pieceStyle, whiteColor, blackColor, background))
        return false;
    if (smooth) {
        m_Smooth = std::move(smoothPieces);
        // The composed images of the one-bit pieces, redrawn smooth for whoever copies them.
        const QRgb board = ToQRgb(background);
        m_SmallPieces.fill(board);
        m_KingIcons.fill(board);
        QPainter small(&m_SmallPieces);
        QPainter kings(&m_KingIcons);
        for (int index = 0; index < 12; ++index) {
            const auto colour = static_cast<uint8_t>(index / 6);
            const auto kind = static_cast<uint8_t>(index % 6);
            m_Smooth.Draw(small, QRectF(index * SmallSize, 0, SmallSize, SmallSize), colour, kind);
        }
        for (uint8_t colour : { pcWhite, pcBlack })
            m_Smooth.Draw(kings, QRectF(colour * IconSize, 0, IconSize, IconSize), colour, pkKing);
    }
    return true;
}

bool TPieceImages::LoadFromImages(const QImage& piecesSource, const QImage& masksSource, int n,
    uint8_t pieceStyle, TColor whiteColor, TColor blackColor, TColor background) {
    const QSize stripSize(StripWidth, StripHeight);
    if (piecesSource.size() != stripSize || masksSource.size() != stripSize)
        return false;

    // Monochrome strips load with white at index 0 of their colour table; the raster operations
    // need the real colours, so convert before anything is combined.
    QImage pieces = piecesSource.convertToFormat(PreparedFormat);
    QImage masks = masksSource.convertToFormat(PreparedFormat);
    if (pieceStyle == 1)
        TintPieces(pieces, masks, ToQRgb(whiteColor), ToQRgb(blackColor));

    const QRgb board = ToQRgb(background);
    QImage small = ComposeStrips(pieces, masks, board);
    small = ResizeBitmap(small, 6 * SmallSize * 2, SmallSize).convertToFormat(PreparedFormat);

    QImage kings(2 * BoardGeometry::PieceSize, BoardGeometry::PieceSize, PreparedFormat);
    kings.fill(board);
    {
        QPainter painter(&kings);
        DrawCell(painter, pieces, masks, BoardGeometry::PieceSize, 0, 0, pcWhite, pkKing);
        DrawCell(painter, pieces, masks, BoardGeometry::PieceSize, BoardGeometry::PieceSize, 0,
            pcBlack, pkKing);
    }
    kings = ResizeBitmap(kings, 80, 40).convertToFormat(PreparedFormat);

    m_Pieces = std::move(pieces);
    m_Masks = std::move(masks);
    m_SmallPieces = std::move(small);
    m_KingIcons = std::move(kings);
    m_Scaled = TScaledStrips();
    m_SmallAt = TComposedStrip();
    m_IconAt = TComposedStrip();
    m_Background = board;
    m_Smooth.Clear();
    m_ChessSet = n;
    return true;
}

const TPieceImages::TScaledStrips& TPieceImages::ScaledFor(int cell) const {
    if (m_Scaled.Cell != cell && !m_Pieces.isNull())
        m_Scaled = { cell, ScaleStrip(m_Pieces, cell), ScaleStrip(m_Masks, cell) };
    return m_Scaled;
}

void TPieceImages::DrawPiece(
    QPainter& painter, const QRect& target, uint8_t colour, uint8_t kind) const {
    if (m_Smooth.IsLoaded()) {
        m_Smooth.Draw(painter, QRectF(target), colour, kind);
        return;
    }
    if (m_Pieces.isNull())
        return;
    const qreal ratio = DeviceRatio(painter);
    const int cell = qRound(target.width() * ratio);
    if (cell <= 0)
        return;
    const TScaledStrips* scaled = cell == BoardGeometry::PieceSize ? nullptr : &ScaledFor(cell);
    const QImage& pieces = scaled ? scaled->Pieces : m_Pieces;
    const QImage& masks = scaled ? scaled->Masks : m_Masks;
    InDevicePixels(painter, ratio, [&] {
        DrawCell(painter, pieces, masks, cell, qRound(target.x() * ratio),
            qRound(target.y() * ratio), colour, kind);
    });
}

const QImage& TPieceImages::ComposedFor(TComposedStrip& cache, int cell) const {
    if (cache.Cell != cell) {
        // Composed at the art's size, or at the cell's own when it is larger, then smoothed down.
        const int at = std::max(cell, BoardGeometry::PieceSize);
        const QImage pieces = at == BoardGeometry::PieceSize ? m_Pieces : ScaleStrip(m_Pieces, at);
        const QImage masks = at == BoardGeometry::PieceSize ? m_Masks : ScaleStrip(m_Masks, at);
        const QImage composed = ComposeStrips(pieces, masks, m_Background);
        cache = { cell, ResizeBitmap(composed, 12 * cell, cell).convertToFormat(PreparedFormat) };
    }
    return cache.Image;
}

void TPieceImages::DrawComposed(QPainter& painter, TComposedStrip& cache, const QRect& target,
    uint8_t colour, uint8_t kind) const {
    if (kind > pkKing || m_Pieces.isNull())
        return;
    const qreal ratio = DeviceRatio(painter);
    const int cell = qRound(target.width() * ratio);
    if (cell <= 0)
        return;
    const QImage& strip = ComposedFor(cache, cell);
    const QRect source(((colour == pcBlack ? 6 : 0) + kind) * cell, 0, cell, cell);
    InDevicePixels(painter, ratio, [&] {
        painter.drawImage(
            QPoint(qRound(target.x() * ratio), qRound(target.y() * ratio)), strip, source);
    });
}

void TPieceImages::DrawPiece(
    QPainter& painter, const QRectF& target, uint8_t colour, uint8_t kind) const {
    if (m_Smooth.IsLoaded()) {
        m_Smooth.Draw(painter, target, colour, kind);
        return;
    }
    const QPointF centre = target.center();
    DrawPiece(painter, qRound(centre.x() - BoardGeometry::PieceSize / 2.0),
        qRound(centre.y() - BoardGeometry::PieceSize / 2.0), colour, kind);
}

void TPieceImages::DrawSmallPiece(
    QPainter& painter, const QRect& target, uint8_t colour, uint8_t kind) const {
    if (m_Smooth.IsLoaded()) {
        m_Smooth.Draw(painter, QRectF(target), colour, kind);
        return;
    }
    if (kind > pkKing || m_SmallPieces.isNull())
        return;
    if (target.width() != SmallSize || DeviceRatio(painter) != 1.0) {
        DrawComposed(painter, m_SmallAt, target, colour, kind);
        return;
    }
    painter.drawImage(target.topLeft(), m_SmallPieces,
        QRect((colour == pcBlack ? 6 * SmallSize : 0) + SmallSize * kind, 0, SmallSize, SmallSize));
}

void TPieceImages::DrawKingIcon(QPainter& painter, const QRect& target, uint8_t colour) const {
    if (m_Smooth.IsLoaded()) {
        m_Smooth.Draw(painter, target, colour, pkKing);
        return;
    }
    if (m_KingIcons.isNull() || colour > pcBlack)
        return;
    if (target.width() != IconSize || DeviceRatio(painter) != 1.0) {
        DrawComposed(painter, m_IconAt, target, colour, pkKing);
        return;
    }
    painter.drawImage(
        target.topLeft(), m_KingIcons, QRect(colour * IconSize, 0, IconSize, IconSize));
}

QStringList PieceSetNames() {
    QStringList names;
    QFile file(QStringLiteral(":/pieces/names.txt"));
    if (file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
        for (const QString& line : lines) {
            if (names.size() < PieceSetCount)
                names.append(line.trimmed());
        }
    }
    while (names.size() < PieceSetCount)
        names.append(QString());
    for (int i = 0; i < PieceSetCount; ++i) {
        if (names[i].isEmpty())
            names[i] = QStringLiteral("Set %1").arg(i + 1);
    }
    return names;
}
