#include "FormMain.h"

#include "AppPaths.h"
#include "FormAbout.h"
#include "FormChat.h"
#include "FormGame.h"
#include "FormHelp.h"
#include "FormHistory.h"
#include "FormMoves.h"
#include "FormOptions.h"
#include "FormPgnGames.h"
#include "GameResume.h"
#include "LanguageApply.h"
#include "LanguagePack.h"
#include "MainMenu.h"
#include "Sounds.h"
#include "StoredText.h"
#include "UciEngineAgent.h"
#include "UnitMessages.h"
#include "UserFiles.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLocale>
#include <QMenuBar>
#include <QMoveEvent>
#include <QScreen>
#include <QStandardPaths>
#include <QUrl>

#include <algorithm>

namespace {

constexpr int RepublishInterval = 30 * 60 * 1000;
// Where this window last centred a dialog, so that a dialog the user moved is left alone.
constexpr const char* CentredAtProperty = "wintermootCentredAt";
const QString SavedGameFilter = QStringLiteral("Wintermoot Game (*.wtg)");
const QString OpenGameFilter = QStringLiteral(
    "Chess games (*.wtg *.pgn);;Wintermoot Game (*.wtg);;PGN games (*.pgn);;All files (*)");

} // namespace

TfrmMain::TfrmMain(QWidget* parent)
    : QMainWindow(parent,
        Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
            | Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint
            | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QString::fromLatin1(Caption));
    // A network error is told before the chat window closes its input; a chat line is in the
    // chat window before this window sounds it and shows the window, and its input is closed
    // before a failed connection or a disconnection is told.
    QObject::connect(&m_Game, &TChessGame::networkError, this, [this] { GameNetworkError(); });
    frmChat = new TfrmChat(this);
    frmChat->SetGame(m_Game);
    BindGameEvents();
    CreateMenu();
    CreateBoard();
    frmHelp = new TfrmHelp(this);

    m_RepublishTimer = new QTimer(this);
    m_RepublishTimer->setObjectName(QStringLiteral("RepublishTimer"));
    m_RepublishTimer->setInterval(RepublishInterval);
    connect(m_RepublishTimer, &QTimer::timeout, this, &TfrmMain::RepublishTimerTimer);

    m_Updater.OnChecked = [this](bool manual) {
        UpdateChecked(m_Updater, manual, [](const QUrl& url) { QDesktopServices::openUrl(url); });
    };
    // Only a check the user asked for reports that the server could not be read.
    m_Updater.OnFailed = [] { ShowError(emVersionCheckFailed); };

    m_Sounds = std::make_unique<TEffectPlayer>();
    m_Seams.PlaySound = [this](int slot) {
        if (slot >= 0 && slot < SoundSlots)
            m_Sounds->Play(m_Settings.SoundFile[slot]);
    };

    m_Seams.ChooseOpenFile = [this] {
        return QFileDialog::getOpenFileName(this, QString(), FileFolder(), OpenGameFilter, nullptr,
            QFileDialog::DontUseNativeDialog);
    };
    m_Seams.ChooseEngineFile = [this] {
        return QFileDialog::getOpenFileName(
            this, QString(), QString(), QString(), nullptr, QFileDialog::DontUseNativeDialog);
    };
    // The proposed file is a whole path, so the dialog opens in its folder.
    m_Seams.ChooseSaveFile = [this](const QString& proposed) {
        QFileDialog dialog(this);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setNameFilter(SavedGameFilter);
        dialog.setDefaultSuffix(QStringLiteral("wtg"));
        dialog.selectFile(proposed);
        return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
    };

    // A missing history leaves it empty; a damaged one keeps its complete games, and the file
    // is kept aside before it is saved over.
    LoadHistoryFile(m_Games, AppPaths::HistoryFile());
    m_Settings = ::LoadSettings(AppPaths::SettingsFile());
    // Until the user has a list of engines, the engines found on this machine are offered; the
    // options dialog writes the list as the user leaves it.
    if (!m_Settings.Engines)
        m_Settings.Engines
            = OfferedEngines(QCoreApplication::applicationDirPath(), qEnvironmentVariable("PATH"));
    m_Game.SetSearchDepth(m_Settings.SearchDepth);
    m_Game.DeclareDraws = m_Settings.DeclareDraws;
    m_Game.SetAgentFactory([this](TPieceColour colour) { return MakeAgent(colour); });
    m_Menu->Menu_View_LastMove->setChecked(m_Settings.ShowLastMove);
    m_GameList.SetBaseUrl(m_Settings.GameServer);
    m_GameList.OnBusy = [](bool busy) {
        if (busy)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        else
            QApplication::restoreOverrideCursor();
    };
    CreateForms();
    KeepCurrentGame();
    BindHistoryImport();
    CreatePgnForms();
    BindClipboardCommands();
}

TfrmMain::~TfrmMain() {
    // The controller's signals call into this window; nothing may reach it while it goes (the
    // controller, a member, outlives this destructor's body).
    // The same for the other windows, which go after the controller.
    QObject::disconnect(&m_Game, nullptr, nullptr, nullptr);
}

void TfrmMain::SetSoundPlayer(std::unique_ptr<TSoundPlayer> player) {
    m_Sounds = std::move(player);
}

void TfrmMain::SetApplicationTitle() {
    QApplication::setApplicationName(QStringLiteral("Wintermoot"));
    // No display name: under X11 it would be added to every window's caption ("Wintermoot 3 —
    // Wintermoot"); desktops that want the program's name read it from the desktop file.
    QApplication::setDesktopFileName(QStringLiteral("wintermoot"));
}

void TfrmMain::CreateForms() {
    frmAbout = new TfrmAbout(this);
    frmGame = new TfrmGame(m_Game, this);
    // The moves window lists a move after this window has reported it.
    frmMoves = new TfrmMoves(this);
    frmMoves->SetGame(m_Game, m_Settings, m_Values);
    m_Docking.SetWindows(frmChat, frmMoves);
    frmHistory = new TfrmHistory(m_Games, m_Values, frmMoves, &m_Docking, this);
    frmHistory->HistoryFile = AppPaths::HistoryFile();
    m_Layout.SetWindows(frmChat, frmMoves, frmHistory);
    frmOptions = new TfrmOptions(m_Settings, m_Game, m_Values, m_Docking, this);
    frmOptions->PlaySoundFile = [this](const QString& file) {
        if (m_Sounds)
            m_Sounds->Play(file);
    };
    frmOptions->ChooseEngineFile
        = [this] { return m_Seams.ChooseEngineFile ? m_Seams.ChooseEngineFile() : QString(); };
    connect(frmOptions, &TfrmOptions::settingsApplied, this, &TfrmMain::OptionsApplied);

    frmGame->SettingsPath = AppPaths::SettingsFile();
    frmGame->Values = &m_Values;
    frmGame->EngineList = [this] { return m_Settings.Engines.value_or(TEngineCatalog()); };
    frmGame->ShowStatus = [this](TStatusText text) { ShowStatus(text); };
    frmGame->Connect = [this](const QString& address) {
        // The panels of a link left behind go with it; the new one shows its own status.
        m_Board->HideReady();
        m_Board->HideStatus();
        frmChat->DisableInput();
        m_ListingFailed = false;
        return m_Game.Connect(address.toStdString());
    };
    frmGame->FetchHostedGames = [this] { return m_GameList.HostedGames(); };
    frmGame->FetchPublicAddress = [this] { return m_GameList.PublicAddress(); };
    frmGame->PublishGame = [this](const QString& name) {
        // Hosting goes on without the listing; the dialog's choice is undone so that nothing
        // takes the game off a list it is not on, or lists it again unasked.
        if (!m_GameList.TryPublish(name)) {
            frmGame->GameListed = false;
            ListingFailed();
        }
    };
    frmGame->RemoveGame = [this] { RemoveHostedGame(); };
    frmGame->LeaveGame = [this] { return LeaveGame(); };
}

void TfrmMain::BindGameEvents() {
    QObject::connect(&m_Game, &TChessGame::opponentJoined, this, [this] { GameOpponentJoined(); });
    QObject::connect(&m_Game, &TChessGame::disconnected, this, [this] { GameDisconnected(); });
    QObject::connect(&m_Game, &TChessGame::chatReceived, this, [this] { GameChatReceived(); });
    QObject::connect(&m_Game, &TChessGame::gameStarted, this, [this] { GameStarted(); });
    QObject::connect(&m_Game, &TChessGame::gamePaused, this, [this] { GamePaused(); });
    QObject::connect(&m_Game, &TChessGame::gameResumed, this, [this] { GameResumed(); });
    QObject::connect(&m_Game, &TChessGame::gameStopped, this, [this] { GameStopped(); });
    QObject::connect(&m_Game, &TChessGame::movePlayed, this,
        [this](TPoint from, TPoint to, TMoveResult flags) { GameMovePlayed(from, to, flags); });
    QObject::connect(&m_Game, &TChessGame::invalidMove, this,
        [this](TPoint from, TPoint to, TMoveResult) { GameInvalidMove(from, to); });
    QObject::connect(&m_Game, &TChessGame::promoted, this,
        [this](TPoint square, TMoveResult flags) { GamePromoted(square, flags); });
    QObject::connect(&m_Game, &TChessGame::undoRequested, this, [this] { GameUndoRequested(); });
    QObject::connect(&m_Game, &TChessGame::moveUndone, this,
        [this](TMoveResult flags) { GameMoveUndone(flags); });
    QObject::connect(&m_Game, &TChessGame::connectFailed, this, [this] { GameConnectFailed(); });
    QObject::connect(&m_Game, &TChessGame::playerFailed, this,
        [this](TPieceColour, const QString& reason) { GamePlayerFailed(reason); });
    QObject::connect(&m_Game, &TChessGame::gameEnded, this,
        [this](TGameResult result, TGameEndReason reason) { GameEnded(result, reason); });
}

void TfrmMain::KeepCurrentGame() {
    m_Resume = new TGameResume(m_Game, AppPaths::CurrentGameFile(), this);
}

void TfrmMain::BindHistoryImport() {
    m_Seams.ChooseImportFile = [this] {
        return QFileDialog::getOpenFileName(frmHistory, QString(), QString(),
            QStringLiteral("PGN (*.pgn);;* (*)"), nullptr, QFileDialog::DontUseNativeDialog);
    };
    frmHistory->ChooseImportFile
        = [this] { return m_Seams.ChooseImportFile ? m_Seams.ChooseImportFile() : QString(); };
}

void TfrmMain::OfferCurrentGame() {
    // A game already under way (one opened at start) is not replaced.
    if (m_Game.GameState == gsPlaying || m_Game.GameState == gsPaused || !m_Resume->Pending())
        return;
    if (AskQuestion(qmContinueCurrentGame) != idYes) {
        m_Resume->Remove();
        return;
    }
    const QString fileName = m_Resume->Path();
    const auto engineSides = frmGame->EngineSides();
    frmGame->SetEngineSides({});
    if (!m_Game.LoadGame(fileName)) {
        frmGame->SetEngineSides(engineSides);
        ShowError(emGameLoadFailed, fileName.toStdString());
        return;
    }
    if (!frmGame->Execute(true))
        return;
    m_GameListed = frmGame->GameListed;
    if (m_Game.GameKind == gkHost && m_Game.NetworkActive && m_GameListed)
        m_RepublishTimer->start();
}

void TfrmMain::CreateMenu() {
    m_Menu = new TMainMenu(*menuBar(), m_Game, this);
    const std::pair<QAction*, void (TfrmMain::*)()> commands[] = {
        { m_Menu->Menu_Game_New, &TfrmMain::Menu_Game_NewClick },
        { m_Menu->Menu_Game_Load, &TfrmMain::Menu_Game_LoadClick },
        { m_Menu->Menu_Game_Save, &TfrmMain::Menu_Game_SaveClick },
        { m_Menu->Menu_Game_Undo, &TfrmMain::Menu_Game_UndoClick },
        { m_Menu->Menu_Game_Forfeit, &TfrmMain::Menu_Game_ForfeitClick },
        { m_Menu->Menu_View_Chat, &TfrmMain::Menu_View_ChatClick },
        { m_Menu->Menu_View_Moves, &TfrmMain::Menu_View_MovesClick },
        { m_Menu->Menu_View_History, &TfrmMain::Menu_View_HistoryClick },
        { m_Menu->Menu_View_Options, &TfrmMain::Menu_View_OptionsClick },
        { m_Menu->Menu_View_Switch, &TfrmMain::Menu_View_SwitchClick },
        { m_Menu->Menu_View_LastMove, &TfrmMain::Menu_View_LastMoveClick },
        { m_Menu->Menu_Help_Help, &TfrmMain::Menu_Help_HelpClick },
        { m_Menu->Menu_Help_Update, &TfrmMain::Menu_Help_UpdateClick },
        { m_Menu->Menu_Help_About, &TfrmMain::Menu_Help_AboutClick },
    };
    for (const auto& [action, command] : commands)
        connect(action, &QAction::triggered, this, command);
    connect(m_Menu->Menu_Game_Pause, &QAction::triggered, this, [this] { m_Game.PauseGame(); });
    connect(m_Menu->Menu_Game_Resume, &QAction::triggered, this, [this] { m_Game.ResumeGame(); });
    connect(m_Menu->Menu_Game_Exit, &QAction::triggered, this, &QWidget::close);
    connect(m_Menu->Menu_View, &QMenu::aboutToShow, this, [this] {
        m_Menu->Menu_View_Chat->setChecked(frmChat->isVisible());
        m_Menu->Menu_View_Moves->setChecked(frmMoves->isVisible());
        m_Menu->Menu_View_LastMove->setChecked(m_Settings.ShowLastMove);
    });
}

void TfrmMain::CreateBoard() {
    m_Board = new TBoardWidget(m_Game, m_View, m_Settings, m_Values, this);
    setCentralWidget(m_Board);
    connect(m_Board, &TBoardWidget::moveRequested, this,
        [this](TPoint from, TPoint to) { m_Game.PlayMove(from, to); });
    connect(m_Board, &TBoardWidget::promotionChosen, this,
        [this](uint8_t kind) { m_Game.Promote(kind); });
    connect(m_Board, &TBoardWidget::readyClicked, this, [this] { m_Game.SetReady(); });
    // The keyboard starts on the board, where a whole game can be played from it.
    m_Board->setFocus(Qt::OtherFocusReason);
    adjustSize();
    // The board grows with the window, never below its first size.
    setMinimumSize(sizeHint());
    resize(sizeHint());
}

void TfrmMain::showEvent(QShowEvent* event) {
    if (m_FirstShow)
        LoadLanguage(m_Settings.LanguageFile);
    QMainWindow::showEvent(event);
    if (!m_FirstShow)
        return;
    m_FirstShow = false;
    // Files found unreadable at start are told of once the window is up, in its language.
    QTimer::singleShot(0, this, [] { UserFiles().TellPending(); });
    QTimer::singleShot(0, this, [this] { OfferCurrentGame(); });
    m_Layout.Load();
    if (m_Settings.AutoUpdate)
        m_Updater.Check(QStringLiteral("Wintermoot"), m_Seams.UpdateAddress, false);
    LoadChessSet(m_Settings.ChessSet);
}

void TfrmMain::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    // A window manager may place this window only after a dialog shown at start-up was centred
    // on where the window was asked to go; a modal dialog the user has not moved follows it, so
    // that it opens over this window.
    for (QDialog* dialog : findChildren<QDialog*>()) {
        if (!dialog->isWindow() || !dialog->isVisible() || dialog->windowModality() == Qt::NonModal)
            continue;
        const QVariant placed = dialog->property(CentredAtProperty);
        if (placed.isValid() && placed.toPoint() != dialog->pos())
            continue;
        QRect frame = dialog->frameGeometry();
        frame.moveCenter(frameGeometry().center());
        if (const QScreen* screen = this->screen()) {
            const QRect room = screen->availableGeometry();
            frame.moveLeft(
                std::max(room.left(), std::min(frame.left(), room.right() + 1 - frame.width())));
            frame.moveTop(
                std::max(room.top(), std::min(frame.top(), room.bottom() + 1 - frame.height())));
        }
        dialog->move(frame.topLeft());
        dialog->setProperty(CentredAtProperty, dialog->pos());
        // As QDialog does after placing itself: the next showing is centred anew, not kept here.
        dialog->setAttribute(Qt::WA_Moved, false);
    }
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
    if (m_Closing)
        return true;
    if (m_Game.GameState == gsPlaying || m_Game.GameState == gsPaused) {
        if (AskQuestion(qmQuitDuringGame) != idYes)
            return false;
        // The game stays in its file, to be continued at the next start.
        m_Resume->KeepForNextStart();
        m_Game.StopGame();
    }
    // With an open link, this request only disconnects; the disconnect's event closes the window.
    if ((m_Game.GameKind == gkHost || m_Game.GameKind == gkClient) && m_Game.NetworkActive) {
        m_Closing = true;
        if (m_Game.GameKind == gkHost)
            RemoveHostedGame();
        m_Game.Disconnect();
        return false;
    }
    return true;
}

void TfrmMain::FormClose() {
    SaveHistoryFile(m_Games, AppPaths::HistoryFile());
    m_Layout.Save();
    frmMoves->hide();
    frmChat->hide();
}

void TfrmMain::ShowStatus(TStatusText text) {
    m_Board->ShowStatus(text);
}

bool TfrmMain::LoadChessSet(int n) {
    const bool loaded = m_View.Pieces.LoadChessSet(n, m_Settings.PieceStyle, m_Settings.WhiteColor,
        m_Settings.BlackColor, m_Settings.Theme.Board, m_Settings.SmoothPieces);
    if (loaded)
        m_Settings.ChessSet = n;
    m_Board->Redraw();
    return loaded;
}

bool TfrmMain::LoadLanguage(const QString& file) {
    const QString path = ResolveLanguageFile(file);
    TLangPack pack;
    if (path.isEmpty() || !pack.LoadFromFile(path.toStdString()))
        return false;
    for (QWidget* form : std::initializer_list<QWidget*> { frmAbout, frmChat, frmHistory, frmGame,
             this, frmMoves, frmOptions, frmHelp, frmPgnGames })
        TranslateForm(pack, form);
    TranslateList(pack, "values", m_Values);
    m_Values.SetLocale(LocaleOfLanguage(QString::fromStdString(pack.LanguageName)));
    TranslateMessages(pack, Messages());
    m_QtTexts.Apply(DecodeStoredText(pack.LanguageName));
    m_Board->FitPanels();
    // The texts the window caches: the piece letters of the moves window and its moves.
    SetMovesNotation();
    frmMoves->ReloadMoves();
    m_Board->Redraw();
    return true;
}

bool TfrmMain::SaveSettings() {
    const QString path = AppPaths::SettingsFile();
    return SaveUserFile(path, [&] { return ::SaveSettings(m_Settings, path); });
}

void TfrmMain::SetMovesNotation() {
    frmMoves->ApplyNotation();
}

void TfrmMain::OptionsApplied() {
    LoadLanguage(m_Settings.LanguageFile);
    SetMovesNotation();
    frmMoves->ReloadMoves();
    LoadChessSet(m_Settings.ChessSet);
    SaveSettings();
}

bool TfrmMain::LeaveGame() {
    if (m_Game.GameState != gsPlaying && m_Game.GameState != gsPaused)
        return true;
    if (AskQuestion(qmLeaveGame) != idYes)
        return false;
    // Nothing is recorded: the game stops without a result, and its kept copy goes with it.
    if (m_Game.GameKind != gkLocal && m_Game.NetworkActive) {
        if (m_Game.GameKind == gkHost)
            RemoveHostedGame();
        // The peer is told this side left, as when the window closes; no forfeit is sent.
        m_Game.CloseLink();
        m_Board->HideReady();
        m_Board->HideStatus();
        frmChat->DisableInput();
    }
    m_Game.StopGame();
    m_Resume->Remove();
    return true;
}

void TfrmMain::WhileGameWaits(const std::function<void()>& command) {
    // The clock stands still while the user chooses; a game that was not left goes on.
    const bool playing = m_Game.GameState == gsPlaying;
    m_Game.PauseGame();
    const uint64_t started = m_GamesStarted;
    command();
    if (playing && started == m_GamesStarted)
        m_Game.ResumeGame();
}

void TfrmMain::Menu_Game_NewClick() {
    WhileGameWaits([this] {
        if (!frmGame->Execute(false))
            return;
        m_GameListed = frmGame->GameListed;
        if (m_Game.GameKind == gkHost && m_Game.NetworkActive && m_GameListed)
            m_RepublishTimer->start();
    });
}

void TfrmMain::Menu_Game_LoadClick() {
    WhileGameWaits([this] {
        const QString fileName = m_Seams.ChooseOpenFile ? m_Seams.ChooseOpenFile() : QString();
        if (fileName.isEmpty())
            return;
        m_FileFolder = QFileInfo(fileName).absolutePath();
        OpenGameFile(fileName);
    });
}

bool TfrmMain::OpenGameFile(const QString& fileName) {
    if (fileName.endsWith(QLatin1String(".pgn"), Qt::CaseInsensitive))
        return OpenPgnFile(fileName);
    // A file that cannot be loaded is reported before the game in progress is left for it.
    if (!TChessGame::IsGameFile(fileName)) {
        ShowError(emGameLoadFailed, fileName.toStdString());
        return false;
    }
    if (!LeaveGame())
        return false;
    // The loaded game's agents are made as it was saved: its computer sides are the built-in
    // computer until the dialog gives them to an engine. A game that fails to load keeps its own.
    const auto engineSides = frmGame->EngineSides();
    frmGame->SetEngineSides({});
    if (!m_Game.LoadGame(fileName)) {
        frmGame->SetEngineSides(engineSides);
        ShowError(emGameLoadFailed, fileName.toStdString());
        return false;
    }
    return ContinueLoadedGame();
}

bool TfrmMain::ContinueLoadedGame() {
    if (!frmGame->Execute(true))
        return false;
    m_GameListed = frmGame->GameListed;
    if (m_Game.GameKind == gkHost && m_Game.NetworkActive && m_GameListed)
        m_RepublishTimer->start();
    return true;
}

QString TfrmMain::FileFolder() const {
    if (!m_FileFolder.isEmpty() && QFileInfo(m_FileFolder).isDir())
        return m_FileFolder;
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return !documents.isEmpty() && QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

void TfrmMain::Menu_Game_SaveClick() {
    const QString proposed
        = QDir(FileFolder())
              .filePath(QStringLiteral("Chess game - ")
                  + m_Values.Locale().toString(QDate::currentDate(), QLocale::LongFormat)
                  + QStringLiteral(".wtg"));
    const QString fileName = m_Seams.ChooseSaveFile ? m_Seams.ChooseSaveFile(proposed) : QString();
    if (fileName.isEmpty())
        return;
    m_FileFolder = QFileInfo(fileName).absolutePath();
    if (!m_Game.SaveGame(fileName))
        ShowError(emGameSaveFailed, fileName.toStdString());
}

void TfrmMain::Menu_Game_UndoClick() {
    if ((m_Game.GameKind == gkHost && m_Game.Turn == m_Game.HostColour)
        || (m_Game.GameKind == gkClient && m_Game.Turn != m_Game.HostColour)) {
        ShowError(emCannotUndoOpponentMove);
        return;
    }
    if (m_Game.Moves.Count() == 0)
        return;
    if (m_Game.GameKind == gkLocal) {
        m_Game.UndoMove();
        return;
    }
    m_Game.RequestUndo();
    ShowStatus(stWaitingForOpponentAnswer);
}

void TfrmMain::Menu_Game_ForfeitClick() {
    // The clock stands still while the question waits, as for every other question.
    WhileGameWaits([this] {
        if (AskQuestion(qmForfeitGame) != idYes)
            return;
        // A game that ended while the question waited (the opponent leaving) is not forfeited.
        m_Game.Forfeit();
    });
}

void TfrmMain::Menu_View_ChatClick() {
    if (frmChat->isVisible())
        m_Docking.HideChat();
    else
        m_Docking.ShowChat();
}

void TfrmMain::Menu_View_HistoryClick() {
    // The clock stands still while the history is open; the game goes on when it closes.
    m_Game.PauseGame();
    frmHistory->ShowHistory();
    m_Game.ResumeGame();
}

void TfrmMain::Menu_View_OptionsClick() {
    m_Game.PauseGame();
    frmOptions->ShowOptions();
    m_GameList.SetBaseUrl(m_Settings.GameServer);
    m_Game.ResumeGame();
}

void TfrmMain::Menu_View_MovesClick() {
    if (frmMoves->isVisible())
        m_Docking.HideMoves();
    else
        m_Docking.ShowMoves();
}

void TfrmMain::Menu_View_SwitchClick() {
    m_Board->Switched = m_Menu->Menu_View_Switch->isChecked();
}

void TfrmMain::Menu_View_LastMoveClick() {
    m_Settings.ShowLastMove = m_Menu->Menu_View_LastMove->isChecked();
}

void TfrmMain::Menu_Help_HelpClick() {
    frmHelp->ShowHelp();
}

void TfrmMain::Menu_Help_UpdateClick() {
    if (m_Settings.AutoUpdate)
        m_Updater.Check(QStringLiteral("Wintermoot"), m_Seams.UpdateAddress, true);
}

void TfrmMain::Menu_Help_AboutClick() {
    frmAbout->Execute(QString::fromLatin1(Version));
}

void TfrmMain::PublishHostedGame() {
    if (m_Game.GameKind != gkHost || !m_GameListed)
        return;
    if (!m_GameList.TryPublish(QString::fromStdString(m_Game.GetPlayer(m_Game.HostColour)->Name))) {
        m_GameListed = false;
        ListingFailed();
        return;
    }
    m_RepublishTimer->start();
}

void TfrmMain::ListingFailed() {
    m_RepublishTimer->stop();
    m_ListingFailed = true;
    ShowHostWaiting();
}

void TfrmMain::ShowHostWaiting() {
    if (m_ListingFailed)
        m_Board->ShowStatus(stWaitingForPlayer, QString::fromStdString(Messages().Text("E3")));
    else
        ShowStatus(stWaitingForPlayer);
}

void TfrmMain::RemoveHostedGame() {
    m_RepublishTimer->stop();
    // A game that was never listed is not asked off the list.
    if (m_GameListed)
        m_GameList.Remove();
}

void TfrmMain::RepublishTimerTimer() {
    if (m_Game.GameKind == gkHost && m_Game.NetworkActive && m_GameListed
        && !m_Game.PeerConnected())
        PublishHostedGame();
    else
        m_RepublishTimer->stop();
}

void TfrmMain::GameNetworkError() {
    ShowError(emNetworkError);
    m_Board->HideReady();
    m_Board->HideStatus();
    if (m_Game.GameKind == gkHost) {
        PublishHostedGame();
        ShowHostWaiting();
    }
}

void TfrmMain::GameOpponentJoined() {
    const bool hostBlack = m_Game.HostColour == pcBlack;
    if (m_Game.GameKind == gkHost) {
        if (hostBlack != m_Board->Switched)
            m_Menu->Menu_View_Switch->trigger();
        RemoveHostedGame();
    } else if (hostBlack == m_Board->Switched) {
        m_Menu->Menu_View_Switch->trigger();
    }
    m_Board->ShowReady();
    m_Board->HideStatus();
}

void TfrmMain::GameConnectFailed() {
    m_Board->HideReady();
    m_Board->HideStatus();
    ShowError(emConnectFailed);
}

std::unique_ptr<TPlayerAgent> TfrmMain::MakeAgent(TPieceColour colour) {
    const auto& side = frmGame ? frmGame->EngineSide(colour) : std::nullopt;
    if (m_Game.GameKind != gkLocal || !side)
        return m_Game.MakeDefaultAgent(colour);
    TUciEngineSetup setup;
    setup.Name = side->Engine.Name;
    setup.Command = side->Engine.Command;
    setup.Arguments = side->Engine.Arguments;
    setup.Options = side->Engine.Options;
    // The window keeps a core of its own unless the user chose the engine's threads.
    setup.DefaultThreads = WindowEngineThreads();
    setup.MoveTimeMs = side->MoveTimeMs;
    setup.Depth = side->Depth;
    return std::make_unique<TUciEngineAgent>(colour, std::move(setup));
}

void TfrmMain::GamePlayerFailed(const QString& reason) {
    // The stopped game stays on the board and can still be saved.
    m_Menu->Menu_Game_Save->setEnabled(true);
    ShowStatus(stEngineStopped);
    ShowError(emEngineFailed, reason.toStdString());
}

void TfrmMain::GameDisconnected() {
    m_Board->HideReady();
    m_Board->HideStatus();
    if (m_Closing) {
        // The close that asked for the disconnect is still running; close once it has returned.
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
        return;
    }
    if (m_Game.GameKind == gkHost) {
        ShowNotice(m_Game.DisconnectCause() == dcPeerNotReady ? nmOpponentNotReady
                                                              : nmOpponentDisconnected);
        PublishHostedGame();
        ShowHostWaiting();
    } else {
        ShowNotice(nmConnectionLost);
    }
}

void TfrmMain::GameChatReceived() {
    // The chat window has added the line.
    if (m_Settings.SoundOn[ssMessage] && m_Seams.PlaySound)
        m_Seams.PlaySound(ssMessage);
    m_Docking.ShowChat();
}

void TfrmMain::GameStarted() {
    ++m_GamesStarted;
    // Before the moves window lists the game's moves.
    SetMovesStart();
    m_Board->ClearHeldSquare();
    m_Board->CloseMoveEntry();
    m_Board->setFocus(Qt::OtherFocusReason);
    m_Board->HideReady();
    m_Board->HideStatus();
    m_Board->HidePaused();
    // A game saved while a person's promotion waited goes on with the choice of the piece.
    if (m_Game.PromotionPending())
        m_Board->ShowPromotion();
}

void TfrmMain::GamePaused() {
    // A held piece goes back to its square: no move can be made until the game resumes.
    m_Board->ClearHeldSquare();
    m_Board->ShowPaused();
}

void TfrmMain::GameResumed() {
    m_Board->HidePaused();
}

void TfrmMain::GameStopped() {
    // However the game ended, a piece picked up for it is put back and the cursor restored.
    m_Board->ClearHeldSquare();
    m_Board->HidePaused();
    m_Board->HidePromotion();
    if (m_Game.GameKind != gkLocal && m_Game.NetworkActive) {
        m_Board->ShowReady();
    }
}

void TfrmMain::GameMovePlayed(TPoint, TPoint, TMoveResult flags) {
    m_Board->ClearHeldSquare();
    ReportMove(flags);
    if (flags & mrPromotion)
        m_Board->ShowPromotion();
}

void TfrmMain::GameInvalidMove(TPoint from, TPoint to) {
    ShowError(emComputerInvalidMove, SquareName(from) + "-" + SquareName(to));
}

void TfrmMain::GamePromoted(TPoint, TMoveResult flags) {
    m_Board->ClearHeldSquare();
    m_Board->HidePromotion();
    m_Board->HideStatus();
    ReportMove(flags);
}

void TfrmMain::GameUndoRequested() {
    if (AskQuestion(qmAcceptOpponentUndo) == idYes)
        m_Game.AcceptUndo();
}

void TfrmMain::GameMoveUndone(TMoveResult flags) {
    m_Board->ClearHeldSquare();
    m_Board->HidePromotion();
    ReportMove(flags);
}

void TfrmMain::ReportMove(TMoveResult flags) {
    m_Board->HideStatus();
    const bool check = flags & mrCheck;
    const bool over = flags & mrGameOver;
    int slot = -1;
    // A move that meets a draw rule sounds like the other ties, even when it gives check.
    if (m_Game.DrawByRule() && m_Settings.SoundOn[ssStalemate])
        slot = ssStalemate;
    else if (check && over && m_Settings.SoundOn[ssCheckmate])
        slot = ssCheckmate;
    else if (check && m_Settings.SoundOn[ssCheck])
        slot = ssCheck;
    else if (over && m_Settings.SoundOn[ssStalemate])
        slot = ssStalemate;
    else if ((flags & mrCapture) && m_Settings.SoundOn[ssCaptured])
        slot = ssCaptured;
    else if (m_Settings.SoundOn[ssMoved])
        slot = ssMoved;
    if (slot >= 0 && m_Seams.PlaySound)
        m_Seams.PlaySound(slot);
}

void TfrmMain::GameEnded(TGameResult result, TGameEndReason reason) {
    const std::optional<TPieceColour> winner = WinnerOf(result);
    if (reason == geRepetition)
        ShowNotice(nmDrawnByRepetition);
    else if (reason == geFiftyMoves)
        ShowNotice(nmDrawnByFiftyMoves);
    else if (reason == geInsufficientMaterial)
        ShowNotice(nmDrawnByInsufficientMaterial);
    else if (result == grTied)
        ShowNotice(nmGameTied);
    else if (!winner) // a full move list: nothing to announce or record
        return;
    else if (!IsForfeit(result))
        ShowNotice(nmPlayerWon, m_Game.GetPlayer(*winner)->Name);
    else if (m_Game.GameKind != gkLocal)
        ShowNotice(nmYouForfeited);
    else
        ShowNotice(nmPlayerForfeited, m_Game.GetPlayer(Opponent(*winner))->Name);
    AddGameToHistory(result);
}

void TfrmMain::AddGameToHistory(TGameResult result) {
    m_Games.AddGame(m_Game.WhitePlayer.Name, m_Game.BlackPlayer.Name,
        EncodeDate(QDateTime::currentDateTime()), m_Game.WhitePlayer.Time, m_Game.BlackPlayer.Time,
        result, m_Game.Moves);
    // Saved at once, so that a crash or a kill never loses a finished game.
    SaveHistoryFile(m_Games, AppPaths::HistoryFile());
}
