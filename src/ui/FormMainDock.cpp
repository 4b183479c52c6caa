// Showing, hiding and docking the chat and moves windows.

#include "FormMain.h"
#include "FormMoves.h"

void TfrmMain::ShowChat() { }

void TfrmMain::HideChat() { }

void TfrmMain::ShowMoves() {
    if (frmMoves) {
        frmMoves->show();
        frmMoves->raise();
    }
}

void TfrmMain::HideMoves() {
    if (frmMoves)
        frmMoves->hide();
}

void TfrmMain::DockChat() { }

void TfrmMain::UndockChat() { }

void TfrmMain::DockMoves() { }

void TfrmMain::UndockMoves() { }
