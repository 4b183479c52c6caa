#pragma once

// The main window's menu bar: the Game, View and Help menus with their actions, named for the
// language files. The menu follows the controller's state on its own (what can be done while no
// game, a game or a paused game is on); the main window connects the actions to its commands.

#include <QObject>

class QAction;
class QMenu;
class QMenuBar;
class TChessGame;

class TMainMenu : public QObject {
    Q_OBJECT

public:
    // Builds the menus into the bar, in their order, and follows the controller, which outlives
    // the menu.
    TMainMenu(QMenuBar& bar, TChessGame& game, QObject* parent = nullptr);

    QMenu* Menu_Game = nullptr;
    QAction* Menu_Game_New = nullptr;
    QAction* Menu_Game_Load = nullptr;
    QAction* Menu_Game_Save = nullptr;
    QAction* Menu_Game_CopyFen = nullptr;
    QAction* Menu_Game_CopyPgn = nullptr;
    QAction* Menu_Game_Paste = nullptr;
    QAction* Menu_Game_Undo = nullptr;
    QAction* Menu_Game_Pause = nullptr;
    QAction* Menu_Game_Resume = nullptr;
    QAction* Menu_Game_Forfeit = nullptr;
    QAction* Menu_Game_Exit = nullptr;
    QMenu* Menu_View = nullptr;
    QAction* Menu_View_Chat = nullptr;
    QAction* Menu_View_Moves = nullptr;
    QAction* Menu_View_History = nullptr;
    QAction* Menu_View_Options = nullptr;
    QAction* Menu_View_Switch = nullptr;
    QAction* Menu_View_LastMove = nullptr;
    QMenu* Menu_Help = nullptr;
    QAction* Menu_Help_Help = nullptr;
    QAction* Menu_Help_Update = nullptr;
    QAction* Menu_Help_About = nullptr;

    // Copying and pasting are allowed: never while a network game's link is open.
    static bool ClipboardAllowed(const TChessGame& game);
    // Enables copy and paste as the game allows them.
    void UpdateClipboardActions(const TChessGame& game);

private:
    void GameStarted();
    void GamePaused();
    void GameResumed();
    void GameStopped();
};
