#include "FormMain.h"

#include "AppPaths.h"
#include "FormAbout.h"
#include "FormChat.h"
#include "FormGame.h"
#include "FormHelp.h"
#include "FormHistory.h"
#include "FormMoves.h"
#include "FormOptions.h"
#include "LanguageApply.h"
#include "LanguagePack.h"
#include "Sounds.h"
#include "UnitMessages.h"
#include "UserFiles.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFileDialog>
#include <QLocale>
#include <QMenuBar>
#include <QUrl>

namespace {

constexpr int RepublishInterval = 30 * 60 * 1000;
const QString SavedGameFilter = QStringLiteral("Wintermoot Game (*.wtg)");

} // namespace

TfrmMain::TfrmMain(QWidget* parent)
    : QMainWindow(parent,
        Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
            | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint
            | Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QString::fromLatin1(Caption));
    BindGameEvents();
    CreateMenu();
    CreateBoard();
    frmHelp = new TfrmHelp(this);

    RepublishTimer = new QTimer(this);
    RepublishTimer->setObjectName(QStringLiteral("RepublishTimer"));
    RepublishTimer->setInterval(RepublishInterval);
    connect(RepublishTimer, &QTimer::timeout, this, &TfrmMain::RepublishTimerTimer);

    Updater.OnChecked = [this](bool manual) {
        UpdateChecked(Updater, manual, [](const QUrl& url) { QDesktopServices::openUrl(url); });
    };
    // Only a check the user asked for reports that the server could not be read.
    Updater.OnFailed = [] { ShowError(4); };

    Sounds = std::make_unique<TEffectPlayer>();
    PlaySound = [this](int slot) {
        if (slot >= 0 && slot < SoundSlots)
            Sounds->Play(Settings.SoundFile[slot]);
    };

    ChooseOpenFile = [this] {
        return QFileDialog::getOpenFileName(
            this, QString(), QString(), SavedGameFilter, nullptr, QFileDialog::DontUseNativeDialog);
    };
    ChooseSaveFile = [this](const QString& proposed) {
        QFileDialog dialog(this);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setNameFilter(SavedGameFilter);
        dialog.setDefaultSuffix(QStringLiteral("wtg"));
        dialog.selectFile(proposed);
        return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
    };

    // A missing history leaves it empty; a damaged one keeps its complete games, and the file
    // is kept aside before it is saved over.
    LoadHistoryFile(History, AppPaths::HistoryFile());
    Settings = ::LoadSettings(AppPaths::SettingsFile());
    Game.SetSearchDepth(Settings.SearchDepth);
    Menu_View_LastMove->setChecked(Settings.ShowLastMove);
    GameList.SetBaseUrl(Settings.GameServer);
    GameList.OnBusy = [](bool busy) {
        if (busy)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        else
            QApplication::restoreOverrideCursor();
    };
}

TfrmMain::~TfrmMain() {
    // The controller's signals call into this window; nothing may reach it while it goes (the
    // controller, a member, outlives this destructor's body).
    QObject::disconnect(&Game, nullptr, this, nullptr);
}

void TfrmMain::SetApplicationTitle() {
    QApplication::setApplicationName(QStringLiteral("Wintermoot"));
    // No display name: under X11 it would be added to every window's caption ("Wintermoot 3 —
    // Wintermoot"); desktops that want the program's name read it from the desktop file.
    QApplication::setDesktopFileName(QStringLiteral("wintermoot"));
}

void TfrmMain::SetForms(TfrmAbout* about, TfrmGame* game, TfrmMoves* moves, TfrmChat* chat,
    TfrmHistory* history, TfrmOptions* options) {
    frmAbout = about;
    frmOptions = options;
    if (frmOptions) {
        frmOptions->LoadLanguage = [this](const QString& file) { LoadLanguage(file); };
        Menu_View_Options->setEnabled(true);
    }
    frmHistory = history;
    if (frmHistory) {
        frmHistory->HistoryFile = AppPaths::HistoryFile();
        Menu_View_History->setEnabled(true);
    }
    frmGame = game;
    frmMoves = moves;
    frmChat = chat;
    m_Docking.SetWindows(frmChat, frmMoves);
    m_Layout.SetWindows(frmChat, frmMoves, frmHistory);
    frmGame->SettingsPath = AppPaths::SettingsFile();
    frmGame->ShowStatus = [this](TStatusText text) { ShowStatus(text); };
    frmGame->Connect = [this](const QString& address) {
        // The panels of a link left behind go with it; the new one shows its own status.
        m_Board->HideReady();
        m_Board->HideStatus();
        if (frmChat)
            frmChat->DisableInput();
        return Game.Connect(address.toStdString());
    };
    frmGame->FetchHostedGames = [this] { return GameList.HostedGames(); };
    frmGame->FetchPublicAddress = [this] { return GameList.PublicAddress(); };
    frmGame->PublishGame = [this](const QString& name) { GameList.Publish(name); };
    frmGame->RemoveGame = [this] { RemoveHostedGame(); };
    if (frmChat) {
        frmChat->SendChat = [this](const std::string& text) { Game.SendChat(text); };
        frmChat->LocalName
            = [this] { return QString::fromStdString(Game.GetPlayer(LocalColour())->Name); };
        Menu_View_Chat->setEnabled(true);
    }
    SetMovesNotation();
}

void TfrmMain::BindGameEvents() {
    QObject::connect(&Game, &TChessGame::networkError, this, [this] { GameNetworkError(); });
    QObject::connect(&Game, &TChessGame::opponentJoined, this, [this] { GameOpponentJoined(); });
    QObject::connect(&Game, &TChessGame::disconnected, this, [this] { GameDisconnected(); });
    QObject::connect(&Game, &TChessGame::chatReceived, this,
        [this](const std::string& text) { GameChatReceived(text); });
    QObject::connect(&Game, &TChessGame::gameStarted, this, [this] { GameStarted(); });
    QObject::connect(&Game, &TChessGame::gamePaused, this, [this] { GamePaused(); });
    QObject::connect(&Game, &TChessGame::gameResumed, this, [this] { GameResumed(); });
    QObject::connect(&Game, &TChessGame::gameStopped, this, [this] { GameStopped(); });
    QObject::connect(&Game, &TChessGame::movePlayed, this,
        [this](TPoint from, TPoint to, TMoveResult flags) { GameMovePlayed(from, to, flags); });
    QObject::connect(&Game, &TChessGame::invalidMove, this,
        [this](TPoint from, TPoint to, TMoveResult) { GameInvalidMove(from, to); });
    QObject::connect(&Game, &TChessGame::promoted, this,
        [this](TPoint square, TMoveResult flags) { GamePromoted(square, flags); });
    QObject::connect(&Game, &TChessGame::undoRequested, this, [this] { GameUndoRequested(); });
    QObject::connect(
        &Game, &TChessGame::moveUndone, this, [this](TMoveResult flags) { GameMoveUndone(flags); });
    QObject::connect(&Game, &TChessGame::connectFailed, this, [this] { GameConnectFailed(); });
    QObject::connect(&Game, &TChessGame::gameEnded, this,
        [this](TGameResult result, TGameEndReason) { GameEnded(result); });
}

void TfrmMain::CreateMenu() {
    auto add = [this](QMenu* menu, const char* name, const QString& caption,
                   const QKeySequence& shortcut, void (TfrmMain::*slot)()) {
        QAction* action = menu->addAction(caption);
        action->setObjectName(QString::fromLatin1(name));
        action->setShortcut(shortcut);
        if (slot)
            connect(action, &QAction::triggered, this, slot);
        return action;
    };
    Menu_Game = menuBar()->addMenu(QStringLiteral("&Game"));
    Menu_Game->setObjectName(QStringLiteral("Menu_Game"));
    Menu_Game_New = add(Menu_Game, "Menu_Game_New", QStringLiteral("&Play..."),
        QKeySequence(Qt::CTRL | Qt::Key_A), &TfrmMain::Menu_Game_NewClick);
    Menu_Game_Load = add(Menu_Game, "Menu_Game_Load", QStringLiteral("&Load..."),
        QKeySequence(Qt::CTRL | Qt::Key_L), &TfrmMain::Menu_Game_LoadClick);
    Menu_Game_Save = add(Menu_Game, "Menu_Game_Save", QStringLiteral("&Save as..."),
        QKeySequence(Qt::CTRL | Qt::Key_S), &TfrmMain::Menu_Game_SaveClick);
    Menu_Game->addSeparator()->setObjectName(QStringLiteral("Menu_Game_N1"));
    Menu_Game_Undo = add(Menu_Game, "Menu_Game_Undo", QStringLiteral("&Undo last move"),
        QKeySequence(Qt::CTRL | Qt::Key_U), &TfrmMain::Menu_Game_UndoClick);
    Menu_Game_Pause = add(Menu_Game, "Menu_Game_Pause", QStringLiteral("&Pause game"),
        QKeySequence(Qt::CTRL | Qt::Key_P), nullptr);
    connect(Menu_Game_Pause, &QAction::triggered, this, [this] { Game.PauseGame(); });
    Menu_Game_Resume = add(Menu_Game, "Menu_Game_Resume", QStringLiteral("&Resume game"),
        QKeySequence(Qt::CTRL | Qt::Key_R), nullptr);
    connect(Menu_Game_Resume, &QAction::triggered, this, [this] { Game.ResumeGame(); });
    Menu_Game_Forfeit = add(Menu_Game, "Menu_Game_Forfeit", QStringLiteral("&Forfeit game"),
        QKeySequence(Qt::CTRL | Qt::Key_F), &TfrmMain::Menu_Game_ForfeitClick);
    Menu_Game->addSeparator()->setObjectName(QStringLiteral("Menu_Game_N2"));
    Menu_Game_Exit = add(Menu_Game, "Menu_Game_Exit", QStringLiteral("E&xit"),
        QKeySequence(Qt::ALT | Qt::Key_F4), nullptr);
    connect(Menu_Game_Exit, &QAction::triggered, this, &QWidget::close);
    Menu_Game_Save->setEnabled(false);
    Menu_Game_Undo->setEnabled(false);
    Menu_Game_Pause->setEnabled(false);
    Menu_Game_Resume->setVisible(false);
    Menu_Game_Forfeit->setEnabled(false);

    Menu_View = menuBar()->addMenu(QStringLiteral("&View"));
    Menu_View->setObjectName(QStringLiteral("Menu_View"));
    Menu_View_Chat = add(Menu_View, "Menu_View_Chat", QStringLiteral("&Chat window"),
        QKeySequence(Qt::Key_F5), &TfrmMain::Menu_View_ChatClick);
    Menu_View_Moves = add(Menu_View, "Menu_View_Moves", QStringLiteral("&Moves list"),
        QKeySequence(Qt::Key_F6), &TfrmMain::Menu_View_MovesClick);
    Menu_View->addSeparator()->setObjectName(QStringLiteral("Menu_View_N1"));
    Menu_View_History = add(Menu_View, "Menu_View_History", QStringLiteral("Games &history..."),
        QKeySequence(Qt::Key_F7), &TfrmMain::Menu_View_HistoryClick);
    Menu_View_Options = add(Menu_View, "Menu_View_Options", QStringLiteral("&Options..."),
        QKeySequence(Qt::Key_F8), &TfrmMain::Menu_View_OptionsClick);
    Menu_View->addSeparator()->setObjectName(QStringLiteral("Menu_View_N2"));
    Menu_View_Switch = add(Menu_View, "Menu_View_Switch", QStringLiteral("S&witch board view"),
        QKeySequence(Qt::Key_F9), &TfrmMain::Menu_View_SwitchClick);
    Menu_View_LastMove
        = add(Menu_View, "Menu_View_LastMove", QStringLiteral("&Show last piece moved"),
            QKeySequence(Qt::Key_F10), &TfrmMain::Menu_View_LastMoveClick);
    for (QAction* a : { Menu_View_Chat, Menu_View_Moves, Menu_View_Switch, Menu_View_LastMove })
        a->setCheckable(true);
    // The chat, history and options items are enabled once their windows are known.
    Menu_View_Chat->setEnabled(false);
    Menu_View_History->setEnabled(false);
    Menu_View_Options->setEnabled(false);
    connect(Menu_View, &QMenu::aboutToShow, this, [this] {
        Menu_View_Chat->setChecked(frmChat && frmChat->isVisible());
        Menu_View_Moves->setChecked(frmMoves && frmMoves->isVisible());
        Menu_View_LastMove->setChecked(Settings.ShowLastMove);
    });

    Menu_Help = menuBar()->addMenu(QStringLiteral("&Help"));
    Menu_Help->setObjectName(QStringLiteral("Menu_Help"));
    Menu_Help_Help = add(Menu_Help, "Menu_Help_Help", QStringLiteral("&Help..."), {},
        &TfrmMain::Menu_Help_HelpClick);
    Menu_Help_Update = add(Menu_Help, "Menu_Help_Update", QStringLiteral("Check for &updates"), {},
        &TfrmMain::Menu_Help_UpdateClick);
    Menu_Help->addSeparator()->setObjectName(QStringLiteral("Menu_Help_N1"));
    Menu_Help_About = add(Menu_Help, "Menu_Help_About", QStringLiteral("&About..."), {},
        &TfrmMain::Menu_Help_AboutClick);
}

void TfrmMain::CreateBoard() {
    m_Board = new TBoardWidget(Game, View, Settings, Values, this);
    setCentralWidget(m_Board);
    connect(m_Board, &TBoardWidget::moveRequested, this,
        [this](TPoint from, TPoint to) { Game.PlayMove(from, to); });
    connect(m_Board, &TBoardWidget::promotionChosen, this,
        [this](uint8_t kind) { Game.Promote(kind); });
    connect(m_Board, &TBoardWidget::readyClicked, this, [this] { Game.SetReady(); });
    adjustSize();
    setFixedSize(sizeHint());
}

void TfrmMain::showEvent(QShowEvent* event) {
    if (m_FirstShow)
        LoadLanguage(Settings.LanguageFile);
    QMainWindow::showEvent(event);
    if (!m_FirstShow)
        return;
    m_FirstShow = false;
    // Files found unreadable at start are told of once the window is up, in its language.
    QTimer::singleShot(0, this, [] { UserFiles().TellPending(); });
    m_Layout.Load();
    if (Settings.AutoUpdate)
        Updater.Check(QStringLiteral("Wintermoot"), UpdateAddress, false);
    LoadChessSet(Settings.ChessSet);
}

void TfrmMain::closeEvent(QCloseEvent* event) {
    if (!FormCloseQuery()) {
        event->ignore();
        return;
    }
    FormClose();
    event->accept();
}

bool TfrmMain::FormCloseQuery() {
    if (Closing)
        return true;
    if (Game.GameState == gsPlaying || Game.GameState == gsPaused) {
        if (AskQuestion(2) != idYes)
            return false;
        Game.StopGame();
    }
    // With an open link, this request only disconnects; the disconnect's event closes the window.
    if ((Game.GameKind == gkHost || Game.GameKind == gkClient) && Game.NetworkActive) {
        Closing = true;
        if (Game.GameKind == gkHost)
            RemoveHostedGame();
        Game.Disconnect();
        return false;
    }
    return true;
}

void TfrmMain::FormClose() {
    SaveHistoryFile(History, AppPaths::HistoryFile());
    m_Layout.Save();
    if (frmMoves)
        frmMoves->hide();
    if (frmChat)
        frmChat->hide();
}

void TfrmMain::ShowStatus(TStatusText text) {
    m_Board->ShowStatus(text);
}

bool TfrmMain::LoadChessSet(int n) {
    const bool loaded = View.Pieces.LoadChessSet(
        n, Settings.PieceStyle, Settings.WhiteColor, Settings.BlackColor, Settings.Theme.Board);
    if (loaded)
        Settings.ChessSet = n;
    m_Board->Redraw();
    return loaded;
}

bool TfrmMain::LoadLanguage(const QString& file) {
    const QString path = ResolveLanguageFile(file);
    TLangPack pack;
    if (path.isEmpty() || !pack.LoadFromFile(path.toStdString()))
        return false;
    for (QWidget* form : std::initializer_list<QWidget*> {
             frmAbout, frmChat, frmHistory, frmGame, this, frmMoves, frmOptions, frmHelp })
        if (form)
            TranslateForm(pack, form);
    TranslateList(pack, "values", Values);
    TranslateMessages(pack, Messages());
    m_Board->FitPanels();
    // The texts the window caches: the piece letters of the moves window and its moves.
    SetMovesNotation();
    ReloadMoves();
    m_Board->Redraw();
    return true;
}

bool TfrmMain::SaveSettings() {
    const QString path = AppPaths::SettingsFile();
    return SaveUserFile(path, [&] { return ::SaveSettings(Settings, path); });
}

void TfrmMain::SetMovesNotation() {
    if (frmMoves)
        frmMoves->SetNotation(Settings.Notation, Values.Value(QStringLiteral("Pieces")));
}

void TfrmMain::Menu_Game_NewClick() {
    if (!frmGame || !frmGame->Execute(false))
        return;
    GameListed = frmGame->GameListed;
    if (Game.GameKind == gkHost && Game.NetworkActive && GameListed)
        RepublishTimer->start();
}

void TfrmMain::Menu_Game_LoadClick() {
    const QString fileName = ChooseOpenFile ? ChooseOpenFile() : QString();
    if (fileName.isEmpty())
        return;
    if (!Game.LoadGame(fileName)) {
        ShowError(10, fileName.toStdString());
        return;
    }
    if (!frmGame || !frmGame->Execute(true))
        return;
    GameListed = frmGame->GameListed;
    if (Game.GameKind == gkHost && Game.NetworkActive && GameListed)
        RepublishTimer->start();
}

void TfrmMain::Menu_Game_SaveClick() {
    const QString proposed = QStringLiteral("Chess game - ")
        + QLocale::system().toString(QDate::currentDate(), QLocale::LongFormat)
        + QStringLiteral(".wtg");
    const QString fileName = ChooseSaveFile ? ChooseSaveFile(proposed) : QString();
    if (fileName.isEmpty())
        return;
    if (!Game.SaveGame(fileName))
        ShowError(11, fileName.toStdString());
}

void TfrmMain::Menu_Game_UndoClick() {
    if ((Game.GameKind == gkHost && Game.Turn == Game.HostColour)
        || (Game.GameKind == gkClient && Game.Turn != Game.HostColour)) {
        ShowError(5);
        return;
    }
    if (Game.Moves.Count() == 0)
        return;
    if (Game.GameKind == gkLocal) {
        Game.UndoMove();
        return;
    }
    Game.RequestUndo();
    ShowStatus(stWaitingForOpponentAnswer);
}

void TfrmMain::Menu_Game_ForfeitClick() {
    if (AskQuestion(6) != idYes)
        return;
    // A game that ended while the question waited (a checkmate, the opponent leaving) is not
    // forfeited.
    Game.Forfeit();
}

void TfrmMain::Menu_View_ChatClick() {
    if (frmChat && frmChat->isVisible())
        m_Docking.HideChat();
    else
        m_Docking.ShowChat();
}

void TfrmMain::Menu_View_HistoryClick() {
    if (!frmHistory)
        return;
    // The clock stands still while the history is open; the game goes on when it closes.
    Game.PauseGame();
    frmHistory->ShowHistory();
    Game.ResumeGame();
}

void TfrmMain::Menu_View_OptionsClick() {
    if (!frmOptions)
        return;
    Game.PauseGame();
    frmOptions->ShowOptions();
    GameList.SetBaseUrl(Settings.GameServer);
    Game.ResumeGame();
}

void TfrmMain::Menu_View_MovesClick() {
    if (frmMoves && frmMoves->isVisible())
        m_Docking.HideMoves();
    else
        m_Docking.ShowMoves();
}

void TfrmMain::Menu_View_SwitchClick() {
    m_Board->Switched = Menu_View_Switch->isChecked();
}

void TfrmMain::Menu_View_LastMoveClick() {
    Settings.ShowLastMove = Menu_View_LastMove->isChecked();
}

void TfrmMain::Menu_Help_HelpClick() {
    frmHelp->ShowHelp();
}

void TfrmMain::Menu_Help_UpdateClick() {
    if (Settings.AutoUpdate)
        Updater.Check(QStringLiteral("Wintermoot"), UpdateAddress, true);
}

void TfrmMain::Menu_Help_AboutClick() {
    if (frmAbout)
        frmAbout->Execute(QString::fromLatin1(Version));
}

TPieceColour TfrmMain::LocalColour() const {
    const auto host = static_cast<TPieceColour>(Game.HostColour);
    return Game.GameKind == gkClient ? Opponent(host) : host;
}

void TfrmMain::PublishHostedGame() {
    if (Game.GameKind != gkHost || !GameListed)
        return;
    GameList.Publish(QString::fromStdString(Game.GetPlayer(Game.HostColour)->Name));
    RepublishTimer->start();
}

void TfrmMain::RemoveHostedGame() {
    RepublishTimer->stop();
    // A game that was never listed is not asked off the list.
    if (GameListed)
        GameList.Remove();
}

void TfrmMain::RepublishTimerTimer() {
    if (Game.GameKind == gkHost && Game.NetworkActive && GameListed && !Game.PeerConnected())
        GameList.Publish(QString::fromStdString(Game.GetPlayer(Game.HostColour)->Name));
    else
        RepublishTimer->stop();
}

void TfrmMain::GameNetworkError() {
    ShowError(2);
    m_Board->HideReady();
    m_Board->HideStatus();
    if (frmChat)
        frmChat->DisableInput();
    if (Game.GameKind == gkHost) {
        PublishHostedGame();
        ShowStatus(stWaitingForPlayer);
    }
}

void TfrmMain::GameOpponentJoined() {
    const bool hostBlack = Game.HostColour == pcBlack;
    if (Game.GameKind == gkHost) {
        if (hostBlack != m_Board->Switched)
            Menu_View_Switch->trigger();
        RemoveHostedGame();
    } else if (hostBlack == m_Board->Switched) {
        Menu_View_Switch->trigger();
    }
    m_Board->ShowReady();
    m_Board->HideStatus();
    if (frmChat)
        frmChat->EnableInput();
}

void TfrmMain::GameConnectFailed() {
    m_Board->HideReady();
    m_Board->HideStatus();
    if (frmChat)
        frmChat->DisableInput();
    ShowError(1);
}

void TfrmMain::GameDisconnected() {
    m_Board->HideReady();
    m_Board->HideStatus();
    if (frmChat)
        frmChat->DisableInput();
    if (Closing) {
        // The close that asked for the disconnect is still running; close once it has returned.
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
        return;
    }
    if (Game.GameKind == gkHost) {
        ShowNotice(2);
        PublishHostedGame();
        ShowStatus(stWaitingForPlayer);
    } else {
        ShowNotice(3);
    }
}

void TfrmMain::GameChatReceived(const std::string& text) {
    if (!frmChat)
        return;
    const TPieceColour opponent = Opponent(LocalColour());
    frmChat->AddLine(
        QString::fromStdString(Game.GetPlayer(opponent)->Name), QString::fromStdString(text));
    if (Settings.SoundOn[ssMessage] && PlaySound)
        PlaySound(ssMessage);
    m_Docking.ShowChat();
}

void TfrmMain::GameStarted() {
    m_Board->ClearHeldSquare();
    Menu_Game_New->setEnabled(false);
    Menu_Game_Load->setEnabled(false);
    Menu_Game_Save->setEnabled(true);
    Menu_Game_Undo->setEnabled(true);
    Menu_Game_Pause->setEnabled(true);
    Menu_Game_Forfeit->setEnabled(true);
    Menu_Game_Pause->setVisible(true);
    Menu_Game_Resume->setVisible(false);
    m_Board->HideReady();
    m_Board->HideStatus();
    m_Board->HidePaused();
    if (Game.GameKind == gkLocal && frmChat)
        frmChat->DisableInput();
    // A continued game lists the moves it was saved with; a new game starts from an empty list.
    SetMovesNotation();
    ReloadMoves();
    // A game saved while a person's promotion waited goes on with the choice of the piece.
    if (Game.PromotionPending())
        m_Board->ShowPromotion();
}

void TfrmMain::GamePaused() {
    // A held piece goes back to its square: no move can be made until the game resumes.
    m_Board->ClearHeldSquare();
    Menu_Game_Undo->setEnabled(false);
    Menu_Game_Forfeit->setEnabled(false);
    Menu_Game_Pause->setVisible(false);
    Menu_Game_Resume->setVisible(true);
    m_Board->ShowPaused();
}

void TfrmMain::GameResumed() {
    Menu_Game_Undo->setEnabled(true);
    Menu_Game_Forfeit->setEnabled(true);
    Menu_Game_Pause->setVisible(true);
    Menu_Game_Resume->setVisible(false);
    m_Board->HidePaused();
}

void TfrmMain::GameStopped() {
    // However the game ended, a piece picked up for it is put back and the cursor restored.
    m_Board->ClearHeldSquare();
    Menu_Game_New->setEnabled(true);
    Menu_Game_Load->setEnabled(true);
    Menu_Game_Save->setEnabled(false);
    Menu_Game_Undo->setEnabled(false);
    Menu_Game_Pause->setEnabled(false);
    Menu_Game_Forfeit->setEnabled(false);
    Menu_Game_Pause->setVisible(true);
    Menu_Game_Resume->setVisible(false);
    m_Board->HidePaused();
    m_Board->HidePromotion();
    if (Game.GameKind != gkLocal && Game.NetworkActive) {
        m_Board->ShowReady();
    }
}

void TfrmMain::GameMovePlayed(TPoint, TPoint, TMoveResult flags) {
    m_Board->ClearHeldSquare();
    ReportMove(flags);
    if (flags & mrPromotion) {
        m_Board->ShowPromotion();
        return;
    }
    // The computer's promotion was completed, and listed, before this event.
    const TMoveRecord* last = Game.Moves.Last();
    if (last && !(last->Flags & mrPromotion))
        ListLastMove();
}

void TfrmMain::GameInvalidMove(TPoint from, TPoint to) {
    ShowError(9, SquareName(from) + "-" + SquareName(to));
}

void TfrmMain::GamePromoted(TPoint, TMoveResult flags) {
    m_Board->ClearHeldSquare();
    m_Board->HidePromotion();
    m_Board->HideStatus();
    ReportMove(flags);
    ListLastMove();
}

void TfrmMain::GameUndoRequested() {
    if (AskQuestion(3) == idYes)
        Game.AcceptUndo();
}

void TfrmMain::GameMoveUndone(TMoveResult flags) {
    m_Board->ClearHeldSquare();
    m_Board->HidePromotion();
    const int remaining = Game.Moves.Count();
    while (m_ListedMoves > remaining) {
        --m_ListedMoves;
        if (frmMoves)
            frmMoves->UndoLastMove(m_ListedMoves % 2 == 0);
    }
    ReportMove(flags);
}

void TfrmMain::ReloadMoves() {
    m_ListedMoves = Game.Moves.Count();
    // A move whose promotion piece is still to be chosen is listed once the piece is known.
    if (Game.PromotionPending())
        --m_ListedMoves;
    if (!frmMoves)
        return;
    frmMoves->LoadMoves(Game.Moves);
    if (m_ListedMoves < Game.Moves.Count())
        frmMoves->UndoLastMove(m_ListedMoves % 2 == 0);
}

void TfrmMain::ListLastMove() {
    const TMoveRecord* last = Game.Moves.Last();
    if (!last)
        return;
    const int count = Game.Moves.Count();
    if (m_ListedMoves >= count)
        return;
    if (frmMoves)
        frmMoves->AddMove(*last, count % 2 == 1);
    m_ListedMoves = count;
}

void TfrmMain::ReportMove(TMoveResult flags) {
    m_Board->HideStatus();
    const bool check = flags & mrCheck;
    const bool over = flags & mrGameOver;
    int slot = -1;
    if (check && over && Settings.SoundOn[ssCheckmate])
        slot = ssCheckmate;
    else if (check && Settings.SoundOn[ssCheck])
        slot = ssCheck;
    else if (over && Settings.SoundOn[ssStalemate])
        slot = ssStalemate;
    else if ((flags & mrCapture) && Settings.SoundOn[ssCaptured])
        slot = ssCaptured;
    else if (Settings.SoundOn[ssMoved])
        slot = ssMoved;
    if (slot >= 0 && PlaySound)
        PlaySound(slot);
}

void TfrmMain::GameEnded(TGameResult result) {
    const std::optional<TPieceColour> winner = WinnerOf(result);
    if (result == grTied)
        ShowNotice(7);
    else if (!winner) // a full move list: nothing to announce or record
        return;
    else if (!IsForfeit(result))
        ShowNotice(6, Game.GetPlayer(*winner)->Name);
    else if (Game.GameKind != gkLocal)
        ShowNotice(5);
    else
        ShowNotice(4, Game.GetPlayer(Opponent(*winner))->Name);
    AddGameToHistory(result);
}

void TfrmMain::AddGameToHistory(TGameResult result) {
    History.AddGame(Game.WhitePlayer.Name, Game.BlackPlayer.Name,
        EncodeDate(QDateTime::currentDateTime()), Game.WhitePlayer.Time, Game.BlackPlayer.Time,
        result, Game.Moves);
    // Saved at once, so that a crash or a kill never loses a finished game.
    SaveHistoryFile(History, AppPaths::HistoryFile());
}
