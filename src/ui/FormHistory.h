#pragma once

// The history window: the finished games of the history, one row per game, oldest first. A game
// can be removed, saved as a text or PGN file, and its moves shown in the moves window, which
// the history window takes inside itself while it is open and gives back when it closes.

#include <QDialog>
#include <QLocale>
#include <QPointer>
#include <QString>

#include <cstdint>
#include <functional>

class QCheckBox;
class QHBoxLayout;
class QPushButton;
class QTableWidget;
class QWidget;
class TfrmMoves;
class THistory;
class TMovesHost;
class TValueList;

class TfrmHistory : public QDialog {
    Q_OBJECT

public:
    // Shows the history's games with the result texts of the display texts, and their moves in
    // the moves window, which it borrows from its host while it is open. The history, the texts,
    // the moves window and the host outlive the window; without a moves window no moves are
    // shown.
    TfrmHistory(THistory& history, const TValueList& values, TfrmMoves* moves = nullptr,
        TMovesHost* host = nullptr, QWidget* parent = nullptr);

    // Shows the window modally; true when closed with Ok.
    bool ShowHistory();

    // Path of "history.dat", saved to when the window closes; nothing is saved when empty.
    QString HistoryFile;

    // Asks for the file a game is saved to, offering the proposed name; answers the chosen file
    // (empty when cancelled) and sets the chosen filter. Tests replace it.
    std::function<QString(const QString& proposedName, QString* selectedFilter)> ChooseSaveFile;
    // Asks for the PGN file whose games "Import PGN..." adds; empty when cancelled. The main
    // window hands its own chooser over; tests replace it.
    std::function<QString()> ChooseImportFile;

    // Rebuilds the grid from the history, keeping the selected row where it still exists.
    void RefreshList();
    // Sizes each column to its header and its cells in the grid's fonts, never below its width
    // of old.
    void FitColumns();
    // The window's width that shows every column (and the moves window when it is inside).
    int FittingWidth() const;
    // The size of the window layout of the last run; the window keeps it at its showing.
    void RestoreSize(int width, int height);
    // Whether the window has a size of its own: restored, or taken at its first showing.
    bool GeometryKnown() const;
    // The position in the history (1-based) of the selected row; 0 when none is selected.
    int SelectedPosition() const;
    // "Chess game - " and the game's date in the locale's long date format, ".txt".
    static QString ProposedFileName(double date, const QLocale& locale);
    // Seconds as minutes, ":", two-digit seconds.
    static QString TimeText(int32_t seconds);

    QTableWidget* stgHistory = nullptr;
    QWidget* pnlBottom = nullptr;
    QPushButton* btnSaveToFile = nullptr;
    QPushButton* btnDelete = nullptr;
    QPushButton* btnImportPgn = nullptr;
    QCheckBox* chkShowMoves = nullptr;
    QPushButton* btnClose = nullptr;

    // Set while the moves window sits inside this window; whether it was docked in the main
    // window before.
    bool MovesHosted = false;
    bool MovesWereDocked = false;

    // Every way of closing ends here: the history is saved and the moves window given back.
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;
    // Escape clicks "Close", which closes with Ok.
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormShow();
    void FormClose();
    void stgHistoryClick();
    void btnSaveToFileClick();
    void btnDeleteClick();
    // Adds the finished games of a PGN file, saves the history and says how many were added and
    // skipped; a file that cannot be read changes nothing.
    void btnImportPgnClick();
    void chkShowMovesClick();
    void pnlBottomResize();
    // Sizes the buttons and the check box of the bottom panel to their texts.
    void FitBottomPanel();
    void HostMoves();
    void ReleaseMoves();
    void SelectRow(int row);
    // The selected position as the history addresses games; 0 (no game) beyond 65535.
    uint16_t SelectedGamePosition() const;

    THistory& m_History;
    const TValueList& m_Values;
    QPointer<TfrmMoves> m_Moves;
    TMovesHost* m_Host = nullptr;
    QHBoxLayout* m_MovesLayout = nullptr;
    QPointer<TfrmMoves> m_HostedMoves;
    // The moves window's height before it was taken in, which it keeps when it floats again.
    int m_MovesHeight = 0;
    // Set while the grid is rebuilt, so that its row changes show no moves.
    bool m_Refreshing = false;
    // Set once the window's size is the user's: restored from the layout or taken at its first
    // showing.
    bool m_SizeSettled = false;
};
