#pragma once

// The list of the games of a PGN file with several games, to choose the one to open: White,
// Black, Result, Date, Event and the number of moves of each; a game that could not be read is
// shown with its error and cannot be chosen, one that opens with a warning shows the warning.

#include "PgnFileReader.h"

#include <QDialog>

#include <vector>

// What the list shows of one game, so that a long file is listed without keeping its moves.
struct TPgnGameSummary {
    size_t Number = 0;
    QString White;
    QString Black;
    QString Result;
    // The known part of the date ("2024.04.??" gives "2024.04"); empty when none is known.
    QString Date;
    // The event, or when it is not known the opening (ECO code and name), as files of opening
    // lines have no event.
    QString Event;
    size_t Moves = 0;
    QString Error;
    // What was changed so that the game could be opened (castling rights dropped); shown in the
    // Error column of a game that can be chosen.
    QString Warning;

    static TPgnGameSummary Of(const TPgnGameRecord& game);
};

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
    int Choose(const std::vector<TPgnGameSummary>& games);

    QLabel* lblPgnGames = nullptr;
    QTableWidget* stgPgnGames = nullptr;
    QPushButton* btnOk = nullptr;
    QPushButton* btnCancel = nullptr;

private:
    void Fill(const std::vector<TPgnGameSummary>& games);
    void SelectionChanged();
};
