#pragma once

// The window layout: the places and sizes of the main window and the windows around it, and
// whether the chat and moves windows are docked and shown, kept in the layout store between runs.

#include <QPointer>

class QWidget;
class TDocking;
class TfrmHistory;

class TLayoutStore {
public:
    // The main window and its docking must outlive the store.
    TLayoutStore(QWidget& main, TDocking& docking);

    // The windows it places besides the main window; any may be missing.
    void SetWindows(QWidget* chat, QWidget* moves, TfrmHistory* history);

    // Applies the stored values one at a time, in order; the first missing one ends the reading,
    // and the main window goes to (0, 0) and the moves window opens beside it when first shown
    // (TDocking::PlaceMovesBesideMain). A value that is not a 32-bit number counts as missing;
    // the history window's four values may be missing together (it never had a place). The main
    // window's size and maximised state are read on their own, last: without them, or with a size
    // it cannot take, it keeps its size.
    void Load();
    // Writes the layout; a failed write is reported once through the user-files report.
    void Save();

private:
    // Geometry of a window as the store held it, so that a save writes back what was read when
    // the window itself is missing. Known: all four were read.
    struct TStoredGeometry {
        int Left = 0, Top = 0, Height = 0, Width = 0;
        bool Known = false;
    };

    bool LoadValues();
    void LoadSize();

    QWidget& m_Main;
    TDocking& m_Docking;
    QPointer<QWidget> m_Chat;
    QPointer<QWidget> m_Moves;
    QPointer<TfrmHistory> m_History;
    TStoredGeometry m_ChatGeometry { 0, 0, 200, 510 };
    TStoredGeometry m_HistoryGeometry;
};
