#pragma once

// The main window: it owns the game controller, the settings and the other windows, hosts the
// board view and its mouse input, and carries the menu from which every command starts. Each
// other window follows the controller on its own; the main window reacts to what is its own.

#include "BoardView.h"
#include "FormHistory.h"
#include "GameList.h"
#include "Settings.h"
#include "UnitChessGame.h"
#include "UnitHistory.h"
#include "Update.h"
#include "ValueList.h"

#include <QDateTime>
#include <QFrame>
#include <QImage>
#include <QLabel>
#include <QMainWindow>
#include <QTimer>

#include <functional>
#include <memory>

class QAction;
class QLabel;
class QMenu;
class QPushButton;
class TfrmAbout;
class TfrmChat;
class TfrmGame;
class TfrmHelp;
class TfrmHistory;
class TfrmMoves;
class TfrmOptions;
class TfrmMain;
class TMainMenu;
class TSoundPlayer;
struct TWindowDocking;

// The paint box of the board view: shows the main window's buffer and passes the mouse on.
class TBoardPaintBox : public QWidget {
    Q_OBJECT

public:
    explicit TBoardPaintBox(TfrmMain& owner, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    TfrmMain& m_Owner;
};

// One of the four promotion images; a click chooses its piece.
class TPromotionImage : public QLabel {
    Q_OBJECT

public:
    TPromotionImage(uint8_t kind, QWidget* parent);
    uint8_t Kind() const { return m_Kind; }

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    uint8_t m_Kind;
};

class TfrmMain : public QMainWindow, public TMovesHost {
    Q_OBJECT

public:
    static constexpr const char* Caption = "Wintermoot 3";
    static constexpr const char* Version = "v3.2.4";

    explicit TfrmMain(QWidget* parent = nullptr);
    // The application's title, "Wintermoot", set before any window is made; window captions are
    // shown exactly as each window sets them.
    static void SetApplicationTitle();
    ~TfrmMain() override;

    // Operations that other windows call.
    void ShowStatus(int n);
    void ShowChat();
    void HideChat();
    void ShowMoves();
    void HideMoves();
    // Docking of the chat window (top or bottom) and the moves window (left or right) inside the
    // main window, which grows by a docked window while it is shown.
    void DockChat();
    void UndockChat();
    void DockMoves();
    void UndockMoves();
    // 1 top, 2 bottom.
    uint8_t ChatAlign = 2;
    // 3 left, 4 right.
    uint8_t MovesAlign = 4;
    bool ChatDocked = false;
    bool MovesDocked = false;
    bool LoadChessSet(int n);
    bool SaveSettings();
    // Applies a language file (a bare name is looked up in the language folders) to every window,
    // the display texts and the messages; answers false and changes nothing when it cannot be read.
    bool LoadLanguage(const QString& file);

    // Board input.
    void pbBoardMouseDown(Qt::MouseButton button, int x, int y);
    void pbBoardMouseMove(int x, int y);
    void pbBoardMouseUp(Qt::MouseButton button, int x, int y);
    void imgPromotesClick(TPromotionImage* sender);
    void ShowPromotion();
    // The input rule: the side to move is played by a person at this machine.
    bool InputAllowed() const;
    // Draws the view into the buffer when anything it shows changed; answers whether it drew.
    bool DrawBoard();
    const QImage& Buffer() const { return m_Buffer; }
    // What the view shows now.
    TBoardSnapshot MakeSnapshot();

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
    bool Switched = false;

    TPoint HoverSquare { -1, -1 };
    TPoint HeldSquare;
    TPoint MousePos;
    TPoint GrabOffset;

    // Seams the window uses for what comes from outside, replaceable by tests: the file dialogs
    // and the sounds.
    std::function<QString()> ChooseOpenFile;
    std::function<QString(const QString& proposedName)> ChooseSaveFile;
    std::function<void(int slot)> PlaySound;

    QWidget* pnlBoard = nullptr;
    TBoardPaintBox* pbBoard = nullptr;
    QFrame* pnlPromotion = nullptr;
    QLabel* lblPromote = nullptr;
    QLabel* lblPromote2 = nullptr;
    TPromotionImage* imgPromoteRook = nullptr;
    TPromotionImage* imgPromoteKnight = nullptr;
    TPromotionImage* imgPromoteBishop = nullptr;
    TPromotionImage* imgPromoteQueen = nullptr;
    QFrame* pnlStatus = nullptr;
    QLabel* lblStatus = nullptr;
    QFrame* pnlReady = nullptr;
    QLabel* lblReady = nullptr;
    QPushButton* btnReady = nullptr;
    QFrame* pnlPaused = nullptr;
    QLabel* lblPaused = nullptr;
    QTimer* Timer = nullptr;
    // While a listed game waits for its opponent, it is published again now and then so that the
    // server's listing never expires under it.
    QTimer* RepublishTimer = nullptr;

    // The menu bar's actions, which follow the game's state.
    TMainMenu* Menu = nullptr;
    QMenu* Menu_Game = nullptr;
    QAction* Menu_Game_New = nullptr;
    QAction* Menu_Game_Load = nullptr;
    QAction* Menu_Game_Save = nullptr;
    QAction* Menu_Game_Undo = nullptr;
    QAction* Menu_Game_Pause = nullptr;
    QAction* Menu_Game_Resume = nullptr;
    QAction* Menu_Game_Forfeit = nullptr;
    QAction* Menu_View_Chat = nullptr;
    QAction* Menu_View_Moves = nullptr;
    QAction* Menu_View_History = nullptr;
    QAction* Menu_View_Options = nullptr;
    QAction* Menu_View_Switch = nullptr;
    QAction* Menu_View_LastMove = nullptr;
    QAction* Menu_Help_Help = nullptr;
    QAction* Menu_Help_Update = nullptr;

    // The other windows, made with this one as their parent.
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
    void CreatePanels();
    // Makes the other windows and connects them to this one.
    void CreateForms();
    // Sizes the promotion, ready and paused panels over the board to their texts.
    void FitPanels();
    void BindGameEvents();
    // Applies what the options dialog wrote to the settings, and saves them.
    void OptionsApplied(const TWindowDocking& docking);
    bool LendMoves() override;
    void ReturnMoves(bool docked, bool shown, int height) override;

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
    void TimerTimer();
    void btnReadyClick();

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

    void ReportMove(TMoveResult flags);
    // The colour played at this machine: the host's colour on the host, the other on the client.
    TPieceColour LocalColour() const;
    // The colour that forfeits: the person at this machine.
    TPieceColour ForfeitingColour() const;
    // Publishes the hosted game under the host player's name when it is listed; keeps it listed.
    void PublishHostedGame();
    void RemoveHostedGame();
    void RepublishTimerTimer();
    void AddGameToHistory(uint8_t result);
    void SetMovesNotation();
    void ClearHeldSquare();
    void SetGrabCursor(bool grab);
    // Whether a close may go ahead now (the close query).
    bool FormCloseQuery();
    void FormClose();

    void LoadLayout();
    void SaveLayout();

    TChessBoard m_Scratch;
    QImage m_Buffer;
    TBoardSnapshot m_Drawn;
    bool m_HasDrawn = false;
    bool m_GrabCursor = false;
    bool m_FirstShow = true;

    // Geometry of the chat and history windows as the layout store held it, so that a save
    // writes back what was read when the window itself is missing. Known: all four were read.
    struct TStoredGeometry {
        int Left = 0, Top = 0, Height = 0, Width = 0;
        bool Known = false;
    };
    TStoredGeometry m_Chat { 0, 0, 200, 510 };
    TStoredGeometry m_History;
};
