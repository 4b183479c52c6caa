#pragma once

// The list of the games of a PGN file with several games, to choose the one to open: White,
// Black, Result, Date, Event and the number of moves of each; a game that could not be read is
// shown with its error and cannot be chosen.

#include "PgnFileReader.h"

#include <QDialog>

#include <deque>

class QLabel;
class QPushButton;
class QTableWidget;

class TfrmPgnGames : public QDialog {
    Q_OBJECT

public:
    enum TColumn { colWhite, colBlack, colResult, colDate, colEvent, colMoves, colError };
    static constexpr int ColumnCount = colError + 1;

    explicit TfrmPgnGames(QWidget* parent = nullptr);

    // Lists the games and shows the list modally; answers the index of the chosen game, or -1
    // when the user cancelled.
    int Choose(const std::deque<TPgnGameRecord>& games);

    QLabel* lblPgnGames = nullptr;
    QTableWidget* stgPgnGames = nullptr;
    QPushButton* btnOk = nullptr;
    QPushButton* btnCancel = nullptr;

private:
    void Fill(const std::deque<TPgnGameRecord>& games);
    void SelectionChanged();
};
