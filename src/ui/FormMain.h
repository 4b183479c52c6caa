#pragma once

// The main window: it owns the game controller, the settings, the history and the other windows,
// hosts the board widget and carries the menu from which every command starts. Each other window
// follows the controller on its own; the main window reacts to what is its own (the panels over
// the board, the sounds, the boxes, the game list).

#include "BoardWidget.h"
#include "Docking.h"
#include "GameList.h"
#include "LayoutStore.h"
#include "QtTranslations.h"
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

class TGameResume;
class TfrmAbout;
class TfrmChat;
class TfrmGame;
class TfrmHelp;
class TfrmHistory;
class TfrmMoves;
class TfrmOptions;
class TfrmPgnGames;
struct TPgnGameRecord;
class TMainMenu;
class TSoundPlayer;

// What the main window takes from outside, replaceable by tests: the file dialogs of the saved
// games and of the engine programs, the sounds and the address of the version file.
struct TMainSeams {
    std::function<QString()> ChooseOpenFile;
    std::function<QString()> ChooseEngineFile;
    // The PGN file whose games the history window imports.
    std::function<QString()> ChooseImportFile;
    // Asks where to save the game, proposing a whole path: the last folder used, else the
    // user's documents folder.
    std::function<QString(const QString& proposedPath)> ChooseSaveFile;
    std::function<void(int slot)> PlaySound;
    QString UpdateAddress = VersionFileAddress();
};

class TfrmMain : public QMainWindow {
    Q_OBJECT

public:
    static constexpr const char* Caption = "Wintermoot 3";
    static constexpr const char* Version = "v3.2.4";

    // Makes the other windows as its own, reads the history and the settings.
    explicit TfrmMain(QWidget* parent = nullptr);
    // The application's title, "Wintermoot", set before any window is made; window captions are
    // shown exactly as each window sets them.
    static void SetApplicationTitle();
    ~TfrmMain() override;

    // The controller, the settings, every finished game (loaded at start, saved after each game
    // and at close) and the display texts, which the windows share.
    TChessGame& Game() { return m_Game; }
    TSettings& Settings() { return m_Settings; }
    THistory& History() { return m_Games; }
    TValueList& Values() { return m_Values; }
    // The piece images and the drawing of the board.
    TBoardView& View() { return m_View; }
    // The board area with its panels.
    TBoardWidget& Board() { return *m_Board; }
    // Showing, hiding and docking of the chat and moves windows.
    TDocking& Docking() { return m_Docking; }
    // The check for a newer version, on a thread of its own.
    TUpdater& Updater() { return m_Updater; }
    // The requests to the game-list server at the GameServer setting, and whether the hosted game
    // is to be listed there.
    TGameList& GameList() { return m_GameList; }
    bool GameListed() const { return m_GameListed; }
    void SetGameListed(bool listed) { m_GameListed = listed; }
    // Set while a close waits for the network link to close.
    bool Closing() const { return m_Closing; }
    TMainSeams& Seams() { return m_Seams; }
    // Replaces what plays the sound files (tests record them).
    void SetSoundPlayer(std::unique_ptr<TSoundPlayer> player);

    // The local game in progress as kept for the next start.
    TGameResume& Resume() { return *m_Resume; }

    // Applies a language file (a bare name is looked up in the language folders) to every window,
    // the display texts and the messages; answers false and changes nothing when it cannot be read.
    bool LoadLanguage(const QString& file);

    // Opens a saved game (.wtg) or a PGN file (.pgn) as "Load..." does: the game goes to the
    // new-game dialog's loaded-game mode; a file that cannot be read is reported and changes
    // nothing. Answers whether a game was opened and the dialog accepted.
    bool OpenGameFile(const QString& fileName);
    // The program's arguments: a game file named after the program's own name opens through
    // OpenGameFile once the event loop runs (the window is shown by then); a file that cannot
    // be read is reported and the program goes on.
    void OpenStartFile(const QStringList& arguments);
    // A file handed over by a later start: the window comes to the front and opens it as
    // OpenGameFile does, after asking when a game is in progress; while a network link is open the
    // file is refused with a message. An empty path only brings the window to the front. While
    // another dialog is open, the file waits until it closes.
    void OpenHandedFile(const QString& fileName);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // Keeps the dialogs that are open over this window when it moves (see the definition).
    void moveEvent(QMoveEvent* event) override;

private:
    void CreateMenu();
    void CreateBoard();
    // Makes the other windows and connects them to this one.
    void CreateForms();
    void BindGameEvents();
    // Keeps the local game in progress in its file, for a start after a crash or a close.
    void KeepCurrentGame();
    // At start: offers the game the last run left in progress and loads it as "Load..." does.
    void OfferCurrentGame();
    // Gives the history window its "Import PGN..." chooser, through this window's seams.
    void BindHistoryImport();
    // Applies what the options dialog wrote to the settings, and saves them.
    void OptionsApplied();

    void ShowStatus(TStatusText text);
    bool LoadChessSet(int n);
    bool SaveSettings();

    // During a game: asks whether to leave it and, when the user agrees, stops it without a
    // result (a network game's link is closed, the peer told), its kept copy removed. True when
    // no game is playing or paused, or it was left.
    bool LeaveGame();
    // Runs a command that chooses a new game with the game in progress paused, and resumes it
    // after unless a game was started meanwhile.
    void WhileGameWaits(const std::function<void()>& command);
    // The folder the file dialogs open in: the last one used, else the user's documents folder
    // (else the home folder).
    QString FileFolder() const;
    void Menu_Game_NewClick();
    void Menu_Game_LoadClick();
    void Menu_Game_SaveClick();
    void Menu_Game_CopyFenClick();
    void Menu_Game_CopyPgnClick();
    void Menu_Game_PasteClick();
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
    void GameChatReceived();
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
    // An engine could not go on: the game has stopped and stays on the board.
    void GamePlayerFailed(const QString& reason);
    // The agent of a side: an engine the new-game dialog chose, else the controller's own.
    std::unique_ptr<TPlayerAgent> MakeAgent(TPieceColour colour);
    // Announces the result and records the game in the history.
    void GameEnded(TGameResult result, TGameEndReason reason);

    void ReportMove(TMoveResult flags);
    // PGN and FEN into the window (FormMainPgn.cpp).
    void CreatePgnForms();
    void BindClipboardCommands();
    bool OpenPgnFile(const QString& fileName);
    // Reads the PGN file off the window's thread (handing each game to `onGame` there), with a
    // progress dialog and Cancel when it takes a moment; false when the user cancelled.
    bool ReadPgnInBackground(
        const QString& fileName, const std::function<bool(const TPgnGameRecord&)>& onGame);
    // Tells the error of a file that surely cannot be opened (a saved game that does not read, a
    // PGN file that is no regular file) and answers true; false for one that may open.
    bool RefuseUnopenableFile(const QString& fileName);
    // Puts the record's game into the controller as a loaded game and continues it through the
    // new-game dialog.
    bool OpenPgnRecord(const TPgnGameRecord& record);
    // The new-game dialog for the game just loaded; answers whether it was accepted.
    bool ContinueLoadedGame();
    // The current game as PGN text, from its start position.
    std::string CurrentGamePgn() const;
    // The FEN of the game's start position, or empty for the initial position.
    std::string StartFenOfGame() const;
    // The FEN of the board, with the move counters the game has reached.
    std::string CurrentFen() const;
    // Tells the moves window the number of the game's first move and who made it.
    void SetMovesStart();
    // Publishes the hosted game under the host player's name when it is listed; keeps it listed.
    // A server that does not take it leaves the game unlisted (ShowHostWaiting says so).
    void PublishHostedGame();
    // The host's status while it waits for an opponent, with the failed listing below it.
    void ShowHostWaiting();
    // The game-list server did not take the hosted game: it is not listed, and the user reads it
    // in the status line rather than in a box at every attempt.
    void ListingFailed();
    void RemoveHostedGame();
    void RepublishTimerTimer();
    void AddGameToHistory(TGameResult result);
    void SetMovesNotation();
    // Whether a close may go ahead now (the close query).
    bool FormCloseQuery();
    void FormClose();

    TChessGame m_Game;
    THistory m_Games;
    std::unique_ptr<TSoundPlayer> m_Sounds;
    TUpdater m_Updater;
    TGameList m_GameList;
    TValueList m_Values;
    TSettings m_Settings;
    TBoardView m_View;
    TMainSeams m_Seams;
    // Qt's own texts in the interface language.
    TQtTranslations m_QtTexts;
    bool m_Closing = false;
    bool m_GameListed = false;
    // The last attempt to list the hosted game failed.
    bool m_ListingFailed = false;
    // Counts the games started, so that a command knows whether it started one.
    uint64_t m_GamesStarted = 0;
    // While a listed game waits for its opponent, it is published again now and then so that the
    // server's listing never expires under it.
    QTimer* m_RepublishTimer = nullptr;

    TBoardWidget* m_Board = nullptr;
    TDocking m_Docking { *this };
    TLayoutStore m_Layout { *this, m_Docking };
    // The menu bar's actions, which follow the game's state.
    TMainMenu* m_Menu = nullptr;
    // The other windows, made with this one as their parent.
    TfrmAbout* frmAbout = nullptr;
    TfrmGame* frmGame = nullptr;
    TfrmMoves* frmMoves = nullptr;
    TfrmChat* frmChat = nullptr;
    TfrmHistory* frmHistory = nullptr;
    TfrmOptions* frmOptions = nullptr;
    TfrmHelp* frmHelp = nullptr;
    TfrmPgnGames* frmPgnGames = nullptr;
    // The start position of the last game opened from PGN or FEN, for its move counters.
    std::string m_LoadedStartFen;
    bool m_FirstShow = true;
    // The folder of the last game file chosen in a file dialog; empty before the first.
    QString m_FileFolder;
    TGameResume* m_Resume = nullptr;
};
