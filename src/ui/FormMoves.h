#pragma once

// The moves window: the moves of a game in a three-column grid, one row per move number, White's
// and Black's moves side by side, each in the chosen notation style. Given the controller, it
// follows the game on its own: every move played, promoted or taken back is listed or removed as
// it happens.

#include <QPointer>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <string>
#include <vector>

class QTableWidget;
class TChessGame;
struct TMoveRecord;
class TMoveList;
struct TSettings;
class TValueList;

class TfrmMoves : public QWidget {
    Q_OBJECT

public:
    explicit TfrmMoves(QWidget* parent = nullptr);

    // Follows the controller's game from now on, in the notation of the settings with the piece
    // letters of the display texts; the three outlive this window.
    void SetGame(TChessGame& game, const TSettings& settings, const TValueList& values);
    // Takes the notation style and the piece letters from the settings and the display texts
    // again (after they changed).
    void ApplyNotation();
    // Lists the current game's moves again (after its notation changed or another game was shown
    // here); a promotion still waiting for its piece is left out until the piece is chosen.
    void ReloadMoves();

    // The style (0 Algebraic, 1 Mixed, 2 Simplified, 3 Standard, the SAN of PGN) and the six piece
    // letters (pawn, knight, rook, bishop, queen, king) used for the moves added from now on.
    void SetNotation(int style, const QString& pieces);

    // Where the current game starts: the number of its first move and whether Black made it (a
    // game from a set-up position). The current game is listed from there; the moves of a stored
    // game start at move 1 with White.
    void SetGameStart(int moveNumber, bool blackFirst);

    // A move without its position: in the Standard style it is written as Algebraic with the
    // letters of PGN, since its SAN needs the position.
    void AddMove(const TMoveRecord& move, bool white);
    // The moves of a game from the initial position (numbered from move 1).
    void LoadMoves(const TMoveList& moves);
    void UndoLastMove(bool white);
    void ClearMoves();

    // Texts of the data rows, for tests and the history window: row 1 is the first move.
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
    // The text of a move in the current style; `san` is its SAN, when known.
    QString MoveCellText(const TMoveRecord& move, const std::string* san) const;
    void AddText(const QString& text, bool white);
    // Lists the moves, in the Standard style with the SAN of each that `sans` holds.
    void LoadMoves(const TMoveList& moves, const std::vector<std::string>& sans);
    QString CellText(int tableRow, int column) const;
    void SetCellText(int tableRow, int column, const QString& text);
    // Makes the given column of the last row current and scrolls it into view.
    void SelectLastRow(int column);
    // Lists the game's last move, unless it is listed already.
    void ListLastMove();
    void GameMovePlayed(uint8_t flags);
    void GameMoveUndone();

    QPointer<TChessGame> m_Game;
    const TSettings* m_Settings = nullptr;
    const TValueList* m_Values = nullptr;
    // The game's moves listed here, so that a take-back removes exactly what went.
    int m_ListedMoves = 0;
    // Whether the move at that index (0 the first) of what is listed is White's.
    bool IsWhiteMove(int index) const { return (index + (m_BlackFirst ? 1 : 0)) % 2 == 0; }
    // The number of the first row and whether its White cell is left to a move made before the
    // list begins: of what is listed now, and of the current game.
    int m_FirstNumber = 1;
    bool m_BlackFirst = false;
    int m_GameFirstNumber = 1;
    bool m_GameBlackFirst = false;

    int m_Notation = 2;
    QString m_Pieces = QStringLiteral("PNRBQK");
};
