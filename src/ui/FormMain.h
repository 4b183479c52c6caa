#pragma once

// The main window: the hub of the program. It owns the game controller, hosts the board widget,
// holds the settings, carries the menu from which every command starts, and reacts to every event
// the controller raises.

#include "BoardWidget.h"
#include "Docking.h"
#include "GameList.h"
#include "LayoutStore.h"
#include "Settings.h"
#include "UnitChessGame.h"
#include "UnitHistory.h"
#include "Update.h"
#include "ValueList.h"

#include <QDateTime>
#include <QMainWindow>
#include <QTimer>

#include <functional>
#include <memory>

class QAction;
class QMenu;
class TfrmAbout;
class TfrmChat;
class TfrmGame;
class TfrmHelp;
class TfrmHistory;
class TfrmMoves;
class TfrmOptions;
class TfrmMain;
class TSoundPlayer;

class TfrmMain : public QMainWindow {
    Q_OBJECT

public:
    static constexpr const char* Caption = "Wintermoot 3";
    static constexpr const char* Version = "v3.2.4";

    explicit TfrmMain(QWidget* parent = nullptr);
    // The application's title, "Wintermoot", set before any window is made; window captions are
    // shown exactly as each window sets them.
    static void SetApplicationTitle();
    ~TfrmMain() override;

    // The other windows, created after this one (they reach it and it reaches them).
    void SetForms(TfrmAbout* about, TfrmGame* game, TfrmMoves* moves, TfrmChat* chat = nullptr,
        TfrmHistory* history = nullptr, TfrmOptions* options = nullptr);

    // Operations that other windows call.
    void ShowStatus(TStatusText text);
    // Showing, hiding and docking of the chat and moves windows.
    TDocking& Docking() { return m_Docking; }
    bool LoadChessSet(int n);
    bool SaveSettings();
    // Applies a language file (a bare name is looked up in the language folders) to every window,
    // the display texts and the messages; answers false and changes nothing when it cannot be read.
    bool LoadLanguage(const QString& file);

    // The board area with its panels.
    TBoardWidget& Board() { return *m_Board; }
    // Lists the current game's moves in the moves window again (after its notation changed or
    // another game was shown in it); a promotion still waiting for its piece is left out until
    // the piece is chosen.
    void ReloadMoves();

    TChessGame Game;
    // Every finished game; loaded at start, saved after each game and at close.
    THistory History;
    // Plays the sound files of the settings.
    std::unique_ptr<TSoundPlayer> Sounds;
    // The check for a newer version, on a thread of its own, and the version file it reads.
    TUpdater Updater;
    QString UpdateAddress = VersionFileAddress();
    // The requests to the game-list server at the GameServer setting.
    TGameList GameList;
    TValueList Values;
    TSettings Settings;
    TBoardView View;
    bool Closing = false;
    bool GameListed = false;

    // Seams the window uses for what comes from outside, replaceable by tests: the file dialogs
    // and the sounds.
    std::function<QString()> ChooseOpenFile;
    std::function<QString(const QString& proposedName)> ChooseSaveFile;
    std::function<void(int slot)> PlaySound;

    // While a listed game waits for its opponent, it is published again now and then so that the
    // server's listing never expires under it.
    QTimer* RepublishTimer = nullptr;

    QMenu* Menu_Game = nullptr;
    QAction* Menu_Game_New = nullptr;
    QAction* Menu_Game_Load = nullptr;
    QAction* Menu_Game_Save = nullptr;
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

    TfrmAbout* frmAbout = nullptr;
    TfrmGame* frmGame = nullptr;
    TfrmMoves* frmMoves = nullptr;
    TfrmChat* frmChat = nullptr;
    TfrmHistory* frmHistory = nullptr;
    TfrmOptions* frmOptions = nullptr;
    // The help page, in a window of the program's own; made with this window.
    TfrmHelp* frmHelp = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void CreateMenu();
    void CreateBoard();
    void BindGameEvents();

    void Menu_Game_NewClick();
    void Menu_Game_LoadClick();
    void Menu_Game_SaveClick();
    void Menu_Game_UndoClick();
    void Menu_Game_ForfeitClick();
    void Menu_View_ChatClick();
    void Menu_View_MovesClick();
    void Menu_View_HistoryClick();
    void Menu_View_OptionsClick();
    void Menu_View_SwitchClick();
    void Menu_View_LastMoveClick();
    void Menu_Help_HelpClick();
    void Menu_Help_AboutClick();
    void Menu_Help_UpdateClick();

    void GameNetworkError();
    void GameOpponentJoined();
    void GameDisconnected();
    void GameChatReceived(const std::string& text);
    void GameStarted();
    void GamePaused();
    void GameResumed();
    void GameStopped();
    void GameMovePlayed(TPoint from, TPoint to, TMoveResult flags);
    void GameInvalidMove(TPoint from, TPoint to);
    void GamePromoted(TPoint square, TMoveResult flags);
    void GameUndoRequested();
    void GameMoveUndone(TMoveResult flags);
    void GameConnectFailed();
    // Announces the result and records the game in the history.
    void GameEnded(TGameResult result);

    void ReportMove(TMoveResult flags);
    // The colour played at this machine: the host's colour on the host, the other on the client.
    TPieceColour LocalColour() const;
    // Publishes the hosted game under the host player's name when it is listed; keeps it listed.
    void PublishHostedGame();
    void RemoveHostedGame();
    void RepublishTimerTimer();
    void AddGameToHistory(TGameResult result);
    // Lists the game's last move in the moves window.
    void ListLastMove();
    void SetMovesNotation();
    // Whether a close may go ahead now (the close query).
    bool FormCloseQuery();
    void FormClose();

    TBoardWidget* m_Board = nullptr;
    TDocking m_Docking { *this };
    TLayoutStore m_Layout { *this, m_Docking };
    bool m_FirstShow = true;
    // Moves listed in the moves window, so that a take-back removes exactly what went.
    int m_ListedMoves = 0;
};
