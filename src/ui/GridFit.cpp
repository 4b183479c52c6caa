#include "GridFit.h"

#include <QHeaderView>
#include <QStyle>
#include <QTableWidget>

#include <algorithm>

namespace {

// Room for a grid line and a pixel of air beside the text of a cell or a header.
constexpr int ColumnSlack = 2;

QFont PolishedFont(QWidget& widget) {
    widget.ensurePolished();
    return widget.font();
}

QFont BoldHeaderFont(QTableWidget& grid) {
    QFont bold = PolishedFont(*grid.horizontalHeader());
    bold.setBold(true);
    return bold;
}

} // namespace

TGridFit::TGridFit(QTableWidget& grid)
    : m_Grid(grid)
    , m_Cells(PolishedFont(grid))
    , m_Headers(BoldHeaderFont(grid))
    , m_CellPadding(
          2 * (grid.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &grid) + 1)
          + ColumnSlack)
    , m_HeaderPadding(
          2 * grid.style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, &grid) + ColumnSlack) { }

int TGridFit::Header(int column) const {
    const QTableWidgetItem* item = m_Grid.horizontalHeaderItem(column);
    return item ? m_Headers.horizontalAdvance(item->text()) + m_HeaderPadding : 0;
}

int TGridFit::Column(int column, int atLeast) const {
    int width = std::max(atLeast, Header(column));
    for (int row = 0; row < m_Grid.rowCount(); ++row)
        if (const QTableWidgetItem* item = m_Grid.item(row, column))
            width = std::max(width, Cell(item->text()));
    return width;
}

int TGridFit::Chrome() const {
    return m_Grid.style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, &m_Grid)
        + 2 * m_Grid.frameWidth();
}
