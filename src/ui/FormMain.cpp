#include "FormMain.h"

#include "AppPaths.h"
#include "BoardGeometry.h"
#include "FormAbout.h"
#include "FormChat.h"
#include "FormGame.h"
#include "FormHelp.h"
#include "FormHistory.h"
#include "FormMoves.h"
#include "FormOptions.h"
#include "LanguageApply.h"
#include "LanguagePack.h"
#include "MainMenu.h"
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
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int TimerInterval = 30;
constexpr int RepublishInterval = 30 * 60 * 1000;
const QString SavedGameFilter = QStringLiteral("Wintermoot Game (*.wtg)");

QFrame* MakePanel(QWidget* parent, const char* name, QRect geometry) {
    auto* panel = new QFrame(parent);
    panel->setObjectName(QString::fromLatin1(name));
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setLineWidth(2);
    panel->setAutoFillBackground(true);
    panel->setGeometry(geometry);
    panel->hide();
    return panel;
}

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

} // namespace

TfrmMain::TfrmMain(QWidget* parent)
    : QMainWindow(parent,
        Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
            | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint
            | Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QString::fromLatin1(Caption));
    // A network error is told before the chat window closes its input; a chat line is in the
    // chat window before this window sounds it and shows the window, and its input is closed
    // before a failed connection or a disconnection is told.
    QObject::connect(&Game, &TChessGame::networkError, this, [this] { GameNetworkError(); });
    frmChat = new TfrmChat(this);
    frmChat->SetGame(Game);
    BindGameEvents();
    CreateMenu();
    CreatePanels();
    frmHelp = new TfrmHelp(this);

    Timer = new QTimer(this);
    Timer->setObjectName(QStringLiteral("Timer"));
    Timer->setInterval(TimerInterval);
    connect(Timer, &QTimer::timeout, this, &TfrmMain::TimerTimer);
    Timer->start();

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
    Menu->Menu_View_LastMove->setChecked(Settings.ShowLastMove);
    GameList.SetBaseUrl(Settings.GameServer);
    GameList.OnBusy = [](bool busy) {
        if (busy)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        else
            QApplication::restoreOverrideCursor();
    };
    CreateForms();
}

TfrmMain::~TfrmMain() {
    Timer->stop();
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

void TfrmMain::CreateForms() {
    frmAbout = new TfrmAbout(this);
    frmGame = new TfrmGame(Game, this);
    // The moves window lists a move after this window has reported it.
    frmMoves = new TfrmMoves(this);
    frmMoves->SetGame(Game, Settings, Values);
    frmHistory = new TfrmHistory(History, Values, frmMoves, this, this);
    frmHistory->HistoryFile = AppPaths::HistoryFile();
    frmOptions = new TfrmOptions(Settings, Game, Values, this);
    frmOptions->Docking = [this] {
        return TWindowDocking { ChatDocked, ChatAlign, MovesDocked, MovesAlign };
    };
    frmOptions->PlaySoundFile = [this](const QString& file) {
        if (Sounds)
            Sounds->Play(file);
    };
    connect(frmOptions, &TfrmOptions::settingsApplied, this, &TfrmMain::OptionsApplied);

    frmGame->SettingsPath = AppPaths::SettingsFile();
    frmGame->ShowStatus = [this](int n) { ShowStatus(n); };
    frmGame->Connect = [this](const QString& address) {
        // The panels of a link left behind go with it; the new one shows its own status.
        pnlReady->hide();
        pnlStatus->hide();
        frmChat->DisableInput();
        return Game.Connect(address.toStdString());
    };
    frmGame->FetchHostedGames = [this] { return GameList.HostedGames(); };
    frmGame->FetchPublicAddress = [this] { return GameList.PublicAddress(); };
    frmGame->PublishGame = [this](const QString& name) { GameList.Publish(name); };
    frmGame->RemoveGame = [this] { RemoveHostedGame(); };
}

void TfrmMain::BindGameEvents() {
    QObject::connect(&Game, &TChessGame::opponentJoined, this, [this] { GameOpponentJoined(); });
    QObject::connect(&Game, &TChessGame::disconnected, this, [this] { GameDisconnected(); });
    QObject::connect(&Game, &TChessGame::chatReceived, this, [this] { GameChatReceived(); });
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
}

void TfrmMain::CreateMenu() {
    Menu = new TMainMenu(*menuBar(), Game, this);
    const std::pair<QAction*, void (TfrmMain::*)()> commands[] = {
        { Menu->Menu_Game_New, &TfrmMain::Menu_Game_NewClick },
        { Menu->Menu_Game_Load, &TfrmMain::Menu_Game_LoadClick },
        { Menu->Menu_Game_Save, &TfrmMain::Menu_Game_SaveClick },
        { Menu->Menu_Game_Undo, &TfrmMain::Menu_Game_UndoClick },
        { Menu->Menu_Game_Forfeit, &TfrmMain::Menu_Game_ForfeitClick },
        { Menu->Menu_View_Chat, &TfrmMain::Menu_View_ChatClick },
        { Menu->Menu_View_Moves, &TfrmMain::Menu_View_MovesClick },
        { Menu->Menu_View_History, &TfrmMain::Menu_View_HistoryClick },
        { Menu->Menu_View_Options, &TfrmMain::Menu_View_OptionsClick },
        { Menu->Menu_View_Switch, &TfrmMain::Menu_View_SwitchClick },
        { Menu->Menu_View_LastMove, &TfrmMain::Menu_View_LastMoveClick },
        { Menu->Menu_Help_Help, &TfrmMain::Menu_Help_HelpClick },
        { Menu->Menu_Help_Update, &TfrmMain::Menu_Help_UpdateClick },
        { Menu->Menu_Help_About, &TfrmMain::Menu_Help_AboutClick },
    };
    for (const auto& [action, command] : commands)
        connect(action, &QAction::triggered, this, command);
    connect(Menu->Menu_Game_Pause, &QAction::triggered, this, [this] { Game.PauseGame(); });
    connect(Menu->Menu_Game_Resume, &QAction::triggered, this, [this] { Game.ResumeGame(); });
    connect(Menu->Menu_Game_Exit, &QAction::triggered, this, &QWidget::close);
    connect(Menu->Menu_View, &QMenu::aboutToShow, this, [this] {
        Menu->Menu_View_Chat->setChecked(frmChat->isVisible());
        Menu->Menu_View_Moves->setChecked(frmMoves->isVisible());
        Menu->Menu_View_LastMove->setChecked(Settings.ShowLastMove);
    });
    Menu_Game = Menu->Menu_Game;
    Menu_Game_New = Menu->Menu_Game_New;
    Menu_Game_Load = Menu->Menu_Game_Load;
    Menu_Game_Save = Menu->Menu_Game_Save;
    Menu_Game_Undo = Menu->Menu_Game_Undo;
    Menu_Game_Pause = Menu->Menu_Game_Pause;
    Menu_Game_Resume = Menu->Menu_Game_Resume;
    Menu_Game_Forfeit = Menu->Menu_Game_Forfeit;
    Menu_View_Chat = Menu->Menu_View_Chat;
    Menu_View_Moves = Menu->Menu_View_Moves;
    Menu_View_History = Menu->Menu_View_History;
    Menu_View_Options = Menu->Menu_View_Options;
    Menu_View_Switch = Menu->Menu_View_Switch;
    Menu_View_LastMove = Menu->Menu_View_LastMove;
    Menu_Help_Help = Menu->Menu_Help_Help;
    Menu_Help_Update = Menu->Menu_Help_Update;
}

void TfrmMain::CreatePanels() {
    pnlBoard = new QFrame(this);
    pnlBoard->setObjectName(QStringLiteral("pnlBoard"));
    static_cast<QFrame*>(pnlBoard)->setFrameStyle(QFrame::Box | QFrame::Plain);
    static_cast<QFrame*>(pnlBoard)->setLineWidth(2);
    pnlBoard->setFixedSize(510, 510);
    setCentralWidget(pnlBoard);
    pbBoard = new TBoardPaintBox(*this, pnlBoard);
    pbBoard->setObjectName(QStringLiteral("pbBoard"));
    pbBoard->setGeometry(2, 2, BoardGeometry::ViewSize, BoardGeometry::ViewSize);

    pnlPromotion = MakePanel(pnlBoard, "pnlPromotion", QRect(74, 220, 324, 108));
    lblPromote = MakeLabel(pnlPromotion, "lblPromote", QStringLiteral("Your pawn is promoted!"));
    lblPromote2
        = MakeLabel(pnlPromotion, "lblPromote2", QStringLiteral("Please choose a new piece :"));
    lblPromote->setGeometry(0, 8, 324, 16);
    lblPromote2->setGeometry(0, 26, 324, 16);
    lblPromote->setAlignment(Qt::AlignHCenter);
    lblPromote2->setAlignment(Qt::AlignHCenter);
    const std::pair<TPromotionImage**, std::pair<const char*, int>> images[] = {
        { &imgPromoteRook, { "imgPromoteRook", 38 } },
        { &imgPromoteKnight, { "imgPromoteKnight", 102 } },
        { &imgPromoteBishop, { "imgPromoteBishop", 166 } },
        { &imgPromoteQueen, { "imgPromoteQueen", 230 } },
    };
    uint8_t kind = pkRook;
    for (const auto& [image, place] : images) {
        *image = new TPromotionImage(kind++, pnlPromotion);
        (*image)->setObjectName(QString::fromLatin1(place.first));
        (*image)->setGeometry(place.second, 48, 50, 50);
        TPromotionImage* sender = *image;
        connect(
            sender, &TPromotionImage::clicked, this, [this, sender] { imgPromotesClick(sender); });
    }

    pnlStatus = MakePanel(pnlBoard, "pnlStatus", QRect(20, 248, 432, 52));
    lblStatus = MakeLabel(pnlStatus, "lblStatus", QString());
    lblStatus->setGeometry(2, 2, 428, 48);
    lblStatus->setAlignment(Qt::AlignCenter);
    lblStatus->setWordWrap(true);

    pnlReady = MakePanel(pnlBoard, "pnlReady", QRect(74, 239, 324, 70));
    lblReady = MakeLabel(pnlReady, "lblReady",
        QStringLiteral("Click on the button below when you are ready to start."));
    lblReady->setGeometry(0, 8, 324, 16);
    lblReady->setAlignment(Qt::AlignHCenter);
    btnReady = new QPushButton(QStringLiteral("I'm ready!"), pnlReady);
    btnReady->setObjectName(QStringLiteral("btnReady"));
    btnReady->setGeometry(94, 32, 137, 25);
    QFont bold = btnReady->font();
    bold.setBold(true);
    btnReady->setFont(bold);
    connect(btnReady, &QPushButton::clicked, this, &TfrmMain::btnReadyClick);

    pnlPaused = MakePanel(pnlBoard, "pnlPaused", QRect(182, 255, 108, 38));
    lblPaused = MakeLabel(pnlPaused, "lblPaused", QStringLiteral("Paused"));
    lblPaused->setGeometry(2, 2, 104, 34);
    lblPaused->setAlignment(Qt::AlignCenter);
    QFont pausedFont = lblPaused->font();
    pausedFont.setBold(true);
    pausedFont.setPixelSize(13);
    lblPaused->setFont(pausedFont);

    FitPanels();
    adjustSize();
    setFixedSize(sizeHint());
}

void TfrmMain::FitPanels() {
    // Each panel keeps its place of old as its centre and its size as its smallest size; it grows
    // for longer texts up to the board's width, beyond which a text wraps.
    const QPoint centre(236, 274);
    const int widest = pnlBoard->width() - 8;
    // Measured in the fonts they are drawn with, which the style settles when it polishes them.
    for (QWidget* widget : std::initializer_list<QWidget*> {
             pnlPromotion, lblPromote, lblPromote2, pnlReady, lblReady, btnReady, lblPaused })
        widget->ensurePolished();
    const auto textWidth
        = [](const QLabel* label) { return label->fontMetrics().horizontalAdvance(label->text()); };
    const auto place = [&](QFrame* panel, int width, int height) {
        const int left = std::clamp(centre.x() - width / 2, 4, pnlBoard->width() - 4 - width);
        const int top = std::clamp(centre.y() - height / 2, 4, pnlBoard->height() - 4 - height);
        panel->setGeometry(left, top, width, height);
    };
    // Lays a centred label out at the top, wrapped when it is wider than the panel; answers the
    // label's bottom.
    const auto layLabel = [](QLabel* label, int top, int width) {
        label->setWordWrap(label->fontMetrics().horizontalAdvance(label->text()) > width);
        const int height = label->wordWrap() ? label->heightForWidth(width)
                                             : std::max(16, label->sizeHint().height());
        label->setGeometry(0, top, width, height);
        return top + height;
    };
    const int frame = 2 * pnlPromotion->frameWidth() + 4;

    int width = std::clamp(
        std::max({ 324, textWidth(lblPromote) + frame, textWidth(lblPromote2) + frame }), 324,
        widest);
    int bottom = layLabel(lblPromote, 8, width);
    bottom = layLabel(lblPromote2, bottom + 2, width) + 6;
    const int shift = (width - 324) / 2;
    const std::pair<TPromotionImage*, int> images[] = { { imgPromoteRook, 38 },
        { imgPromoteKnight, 102 }, { imgPromoteBishop, 166 }, { imgPromoteQueen, 230 } };
    for (const auto& [image, left] : images)
        image->setGeometry(left + shift, bottom, 50, 50);
    place(pnlPromotion, width, bottom + 50 + 10);

    const int buttonWidth = std::max(137, btnReady->sizeHint().width());
    width = std::clamp(
        std::max({ 324, textWidth(lblReady) + frame, buttonWidth + frame }), 324, widest);
    bottom = layLabel(lblReady, 8, width) + 8;
    btnReady->setGeometry((width - buttonWidth + 1) / 2, bottom, buttonWidth, 25);
    place(pnlReady, width, bottom + 25 + 13);

    width = std::clamp(textWidth(lblPaused) + frame + 4, 108, widest);
    const int height = std::max(38, lblPaused->sizeHint().height() + 4);
    lblPaused->setGeometry(2, 2, width - 4, height - 4);
    place(pnlPaused, width, height);
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
    LoadLayout();
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
    SaveLayout();
    frmMoves->hide();
    frmChat->hide();
}

void TfrmMain::ShowStatus(int n) {
    lblStatus->setText(Values.Value(QStringLiteral("Stat0") + QString::number(n)));
    pnlReady->hide();
    pnlStatus->show();
    pnlStatus->raise();
}

bool TfrmMain::LoadChessSet(int n) {
    const bool loaded = View.Pieces.LoadChessSet(
        n, Settings.PieceStyle, Settings.WhiteColor, Settings.BlackColor, Settings.Theme.Board);
    if (loaded)
        Settings.ChessSet = n;
    m_HasDrawn = false;
    return loaded;
}

bool TfrmMain::LoadLanguage(const QString& file) {
    const QString path = ResolveLanguageFile(file);
    TLangPack pack;
    if (path.isEmpty() || !pack.LoadFromFile(path.toStdString()))
        return false;
    for (QWidget* form : std::initializer_list<QWidget*> {
             frmAbout, frmChat, frmHistory, frmGame, this, frmMoves, frmOptions, frmHelp })
        TranslateForm(pack, form);
    TranslateList(pack, "values", Values);
    TranslateMessages(pack, Messages());
    FitPanels();
    // The texts the window caches: the piece letters of the moves window and its moves.
    SetMovesNotation();
    frmMoves->ReloadMoves();
    m_HasDrawn = false;
    return true;
}

bool TfrmMain::SaveSettings() {
    const QString path = AppPaths::SettingsFile();
    return SaveUserFile(path, [&] { return ::SaveSettings(Settings, path); });
}

void TfrmMain::SetMovesNotation() {
    frmMoves->ApplyNotation();
}

void TfrmMain::OptionsApplied(const TWindowDocking& docking) {
    LoadLanguage(Settings.LanguageFile);
    SetMovesNotation();
    frmMoves->ReloadMoves();
    LoadChessSet(Settings.ChessSet);
    SaveSettings();

    ChatAlign = docking.ChatAlign;
    if (docking.ChatDocked)
        DockChat();
    else
        UndockChat();
    MovesAlign = docking.MovesAlign;
    if (docking.MovesDocked)
        DockMoves();
    else
        UndockMoves();
}

bool TfrmMain::LendMoves() {
    if (!MovesDocked)
        return false;
    HideMoves();
    UndockMoves();
    return true;
}

void TfrmMain::ReturnMoves(bool docked, bool shown, int height) {
    frmMoves->setParent(this, Qt::Tool);
    if (docked) {
        DockMoves();
        if (shown)
            ShowMoves();
        return;
    }
    // Floating just left of this window with its own height, or just right of it with this
    // window's height.
    const QRect main = frameGeometry();
    const QSize extra = main.size() - size();
    const int width = frmMoves->width() + extra.width();
    const QRect outer = MovesAlign == 3
        ? QRect(main.left() - width, main.top(), width, height + extra.height())
        : QRect(main.left() + main.width(), main.top(), width, main.height());
    frmMoves->move(outer.topLeft());
    frmMoves->resize(outer.size() - extra);
    if (shown) {
        frmMoves->show();
        frmMoves->raise();
    }
}

void TfrmMain::Menu_Game_NewClick() {
    if (!frmGame->Execute(false))
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
    if (!frmGame->Execute(true))
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
    ShowStatus(2);
}

void TfrmMain::Menu_Game_ForfeitClick() {
    if (AskQuestion(6) != idYes)
        return;
    // The game may have ended while the question waited (a checkmate, the opponent leaving).
    if (Game.GameState != gsPlaying && Game.GameState != gsPaused)
        return;
    const TPieceColour loser = ForfeitingColour();
    Game.StopGame();
    if (Game.GameKind != gkLocal)
        ShowNotice(5);
    else
        ShowNotice(4, Game.GetPlayer(loser)->Name);
    AddGameToHistory(loser == pcWhite ? 3 : 4);
}

void TfrmMain::Menu_View_ChatClick() {
    if (frmChat->isVisible())
        HideChat();
    else
        ShowChat();
}

void TfrmMain::Menu_View_HistoryClick() {
    // The clock stands still while the history is open; the game goes on when it closes.
    Game.PauseGame();
    frmHistory->ShowHistory();
    Game.ResumeGame();
}

void TfrmMain::Menu_View_OptionsClick() {
    Game.PauseGame();
    frmOptions->ShowOptions();
    GameList.SetBaseUrl(Settings.GameServer);
    Game.ResumeGame();
}

void TfrmMain::Menu_View_MovesClick() {
    if (frmMoves->isVisible())
        HideMoves();
    else
        ShowMoves();
}

void TfrmMain::Menu_View_SwitchClick() {
    Switched = Menu->Menu_View_Switch->isChecked();
}

void TfrmMain::Menu_View_LastMoveClick() {
    Settings.ShowLastMove = Menu->Menu_View_LastMove->isChecked();
}

void TfrmMain::Menu_Help_HelpClick() {
    frmHelp->ShowHelp();
}

void TfrmMain::Menu_Help_UpdateClick() {
    if (Settings.AutoUpdate)
        Updater.Check(QStringLiteral("Wintermoot"), UpdateAddress, true);
}

void TfrmMain::Menu_Help_AboutClick() {
    frmAbout->Execute(QString::fromLatin1(Version));
}

void TfrmMain::btnReadyClick() {
    Game.SetReady();
    pnlReady->hide();
}

TPieceColour TfrmMain::ForfeitingColour() const {
    if (Game.GameKind != gkLocal)
        return LocalColour();
    // Against the computer the person forfeits, whoever is to move; between two persons (or two
    // computers) the side to move does.
    const bool whiteHuman = Game.WhitePlayer.Human;
    if (whiteHuman != Game.BlackPlayer.Human)
        return whiteHuman ? pcWhite : pcBlack;
    return Game.Turn;
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
    pnlReady->hide();
    pnlStatus->hide();
    if (Game.GameKind == gkHost) {
        PublishHostedGame();
        ShowStatus(3);
    }
}

void TfrmMain::GameOpponentJoined() {
    const bool hostBlack = Game.HostColour == pcBlack;
    if (Game.GameKind == gkHost) {
        if (hostBlack != Switched)
            Menu->Menu_View_Switch->trigger();
        RemoveHostedGame();
    } else if (hostBlack == Switched) {
        Menu->Menu_View_Switch->trigger();
    }
    pnlReady->show();
    pnlReady->raise();
    pnlStatus->hide();
}

void TfrmMain::GameConnectFailed() {
    pnlReady->hide();
    pnlStatus->hide();
    ShowError(1);
}

void TfrmMain::GameDisconnected() {
    pnlReady->hide();
    pnlStatus->hide();
    if (Closing) {
        // The close that asked for the disconnect is still running; close once it has returned.
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
        return;
    }
    if (Game.GameKind == gkHost) {
        ShowNotice(2);
        PublishHostedGame();
        ShowStatus(3);
    } else {
        ShowNotice(3);
    }
}

void TfrmMain::GameChatReceived() {
    // The chat window has added the line.
    if (Settings.SoundOn[ssMessage] && PlaySound)
        PlaySound(ssMessage);
    ShowChat();
}

void TfrmMain::GameStarted() {
    ClearHeldSquare();
    pnlReady->hide();
    pnlStatus->hide();
    pnlPaused->hide();
    // A game saved while a person's promotion waited goes on with the choice of the piece.
    if (Game.PromotionPending())
        ShowPromotion();
}

void TfrmMain::GamePaused() {
    // A held piece goes back to its square: no move can be made until the game resumes.
    ClearHeldSquare();
    pnlPaused->show();
    pnlPaused->raise();
}

void TfrmMain::GameResumed() {
    pnlPaused->hide();
}

void TfrmMain::GameStopped() {
    // However the game ended, a piece picked up for it is put back and the cursor restored.
    ClearHeldSquare();
    pnlPaused->hide();
    pnlPromotion->hide();
    if (Game.GameKind != gkLocal && Game.NetworkActive) {
        pnlReady->show();
        pnlReady->raise();
    }
}

void TfrmMain::GameMovePlayed(TPoint, TPoint, TMoveResult flags) {
    ClearHeldSquare();
    ReportMove(flags);
    if (flags & mrPromotion)
        ShowPromotion();
}

void TfrmMain::GameInvalidMove(TPoint from, TPoint to) {
    ShowError(9, SquareName(from) + "-" + SquareName(to));
}

void TfrmMain::GamePromoted(TPoint, TMoveResult flags) {
    ClearHeldSquare();
    pnlPromotion->hide();
    pnlStatus->hide();
    ReportMove(flags);
}

void TfrmMain::GameUndoRequested() {
    if (AskQuestion(3) == idYes)
        Game.AcceptUndo();
}

void TfrmMain::GameMoveUndone(TMoveResult flags) {
    ClearHeldSquare();
    pnlPromotion->hide();
    ReportMove(flags);
}

void TfrmMain::ReportMove(TMoveResult flags) {
    pnlStatus->hide();
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
    if (!over)
        return;
    uint8_t result = 5;
    if (check) {
        ShowNotice(6, Game.GetPlayer(Game.Turn)->Name);
        result = Game.Turn == pcWhite ? 1 : 2;
    } else {
        ShowNotice(7);
    }
    AddGameToHistory(result);
}

void TfrmMain::AddGameToHistory(uint8_t result) {
    History.AddGame(Game.WhitePlayer.Name, Game.BlackPlayer.Name,
        EncodeDate(QDateTime::currentDateTime()), Game.WhitePlayer.Time, Game.BlackPlayer.Time,
        result, Game.Moves);
    // Saved at once, so that a crash or a kill never loses a finished game.
    SaveHistoryFile(History, AppPaths::HistoryFile());
}
