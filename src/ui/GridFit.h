#pragma once

// How wide a grid's columns must be to show their texts whole, measured in the fonts the grid
// draws them with (cells in the grid's font, the header of the current column in bold).

#include <QFontMetrics>

class QTableWidget;

class TGridFit {
public:
    // Polishes the grid and its header first, so that the style has settled their fonts.
    explicit TGridFit(QTableWidget& grid);

    // The metrics of the cells' font.
    const QFontMetrics& Cells() const { return m_Cells; }
    // The width a cell needs for a text of the given advance.
    int Cell(int textWidth) const { return textWidth + m_CellPadding; }
    int Cell(const QString& text) const { return Cell(m_Cells.horizontalAdvance(text)); }
    // The width the column's header text needs; 0 for a column without a header item.
    int Header(int column) const;
    // The widest of the column's header and cells, and at least the given width.
    int Column(int column, int atLeast) const;
    // The grid's width beside its columns: the vertical scroll bar and the frame.
    int Chrome() const;

private:
    QTableWidget& m_Grid;
    QFontMetrics m_Cells;
    QFontMetrics m_Headers;
    int m_CellPadding;
    int m_HeaderPadding;
};
