#pragma once

// The moves window: the moves of a game in a three-column grid, one row per move number, White's
// and Black's moves side by side, each in the chosen notation style.

#include <QString>
#include <QWidget>

class QTableWidget;
struct TMoveRecord;
class TMoveList;

class TfrmMoves : public QWidget {
    Q_OBJECT

public:
    explicit TfrmMoves(QWidget* parent = nullptr);

    // The style (0 Algebraic, 1 Mixed, 2 Simplified) and the six piece letters (pawn, knight,
    // rook, bishop, queen, king) used for the moves added from now on.
    void SetNotation(int style, const QString& pieces);

    void AddMove(const TMoveRecord& move, bool white);
    void LoadMoves(const TMoveList& moves);
    void UndoLastMove(bool white);
    void ClearMoves();

    // Texts of the data rows, for tests and the history window: row 1 is move 1.
    QString Cell(int row, int column) const;
    int RowCount() const;

    // Sizes the columns to the font, the header texts and the widest move any style can write
    // with the current piece letters, and the window (fixed width) to the columns.
    void FitColumns();

    QTableWidget* stgMoves = nullptr;

private:
    // The grid keeps the data rows only (the header row is the table's header), so the table's
    // row r holds move r + 1.
    void EmptyGrid();
    QString CellText(int tableRow, int column) const;
    void SetCellText(int tableRow, int column, const QString& text);
    // Makes the given column of the last row current and scrolls it into view.
    void SelectLastRow(int column);

    int m_Notation = 2;
    QString m_Pieces = QStringLiteral("PNRBQK");
};
