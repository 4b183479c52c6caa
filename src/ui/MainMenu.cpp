#include "MainMenu.h"

#include "UnitChessGame.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>

namespace {

QMenu* AddMenu(QMenuBar& bar, const char* name, const QString& title) {
    QMenu* menu = bar.addMenu(title);
    menu->setObjectName(QString::fromLatin1(name));
    return menu;
}

QAction* AddAction(
    QMenu* menu, const char* name, const QString& caption, const QKeySequence& shortcut = {}) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(QString::fromLatin1(name));
    action->setShortcut(shortcut);
    return action;
}

void AddSeparator(QMenu* menu, const char* name) {
    menu->addSeparator()->setObjectName(QString::fromLatin1(name));
}

} // namespace

TMainMenu::TMainMenu(QMenuBar& bar, TChessGame& game, QObject* parent)
    : QObject(parent) {
    setObjectName(QStringLiteral("MainMenu"));
    Menu_Game = AddMenu(bar, "Menu_Game", QStringLiteral("&Game"));
    Menu_Game_New = AddAction(
        Menu_Game, "Menu_Game_New", QStringLiteral("&Play..."), QKeySequence(Qt::CTRL | Qt::Key_A));
    Menu_Game_Load = AddAction(Menu_Game, "Menu_Game_Load", QStringLiteral("&Load..."),
        QKeySequence(Qt::CTRL | Qt::Key_L));
    Menu_Game_Save = AddAction(Menu_Game, "Menu_Game_Save", QStringLiteral("&Save as..."),
        QKeySequence(Qt::CTRL | Qt::Key_S));
    AddSeparator(Menu_Game, "Menu_Game_N3");
    Menu_Game_CopyFen = AddAction(Menu_Game, "Menu_Game_CopyFen",
        QStringLiteral("Copy position (FEN)"), QKeySequence(Qt::CTRL | Qt::Key_C));
    Menu_Game_CopyPgn = AddAction(Menu_Game, "Menu_Game_CopyPgn", QStringLiteral("Copy game (PGN)"),
        QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C));
    Menu_Game_Paste = AddAction(Menu_Game, "Menu_Game_Paste", QStringLiteral("Paste game"),
        QKeySequence(Qt::CTRL | Qt::Key_V));
    AddSeparator(Menu_Game, "Menu_Game_N1");
    Menu_Game_Undo = AddAction(Menu_Game, "Menu_Game_Undo", QStringLiteral("&Undo last move"),
        QKeySequence(Qt::CTRL | Qt::Key_U));
    Menu_Game_Pause = AddAction(Menu_Game, "Menu_Game_Pause", QStringLiteral("&Pause game"),
        QKeySequence(Qt::CTRL | Qt::Key_P));
    Menu_Game_Resume = AddAction(Menu_Game, "Menu_Game_Resume", QStringLiteral("&Resume game"),
        QKeySequence(Qt::CTRL | Qt::Key_R));
    Menu_Game_Forfeit = AddAction(Menu_Game, "Menu_Game_Forfeit", QStringLiteral("&Forfeit game"),
        QKeySequence(Qt::CTRL | Qt::Key_F));
    AddSeparator(Menu_Game, "Menu_Game_N2");
    Menu_Game_Exit = AddAction(
        Menu_Game, "Menu_Game_Exit", QStringLiteral("E&xit"), QKeySequence(Qt::ALT | Qt::Key_F4));
    Menu_Game_Save->setEnabled(false);
    Menu_Game_Undo->setEnabled(false);
    Menu_Game_Pause->setEnabled(false);
    Menu_Game_Resume->setVisible(false);
    Menu_Game_Forfeit->setEnabled(false);

    Menu_View = AddMenu(bar, "Menu_View", QStringLiteral("&View"));
    Menu_View_Chat = AddAction(
        Menu_View, "Menu_View_Chat", QStringLiteral("&Chat window"), QKeySequence(Qt::Key_F5));
    Menu_View_Moves = AddAction(
        Menu_View, "Menu_View_Moves", QStringLiteral("&Moves list"), QKeySequence(Qt::Key_F6));
    AddSeparator(Menu_View, "Menu_View_N1");
    Menu_View_History = AddAction(Menu_View, "Menu_View_History",
        QStringLiteral("Games &history..."), QKeySequence(Qt::Key_F7));
    Menu_View_Options = AddAction(
        Menu_View, "Menu_View_Options", QStringLiteral("&Options..."), QKeySequence(Qt::Key_F8));
    AddSeparator(Menu_View, "Menu_View_N2");
    Menu_View_Switch = AddAction(Menu_View, "Menu_View_Switch",
        QStringLiteral("S&witch board view"), QKeySequence(Qt::Key_F9));
    Menu_View_LastMove = AddAction(Menu_View, "Menu_View_LastMove",
        QStringLiteral("&Show last piece moved"), QKeySequence(Qt::Key_F10));
    for (QAction* a : { Menu_View_Chat, Menu_View_Moves, Menu_View_Switch, Menu_View_LastMove })
        a->setCheckable(true);

    Menu_Help = AddMenu(bar, "Menu_Help", QStringLiteral("&Help"));
    Menu_Help_Help = AddAction(
        Menu_Help, "Menu_Help_Help", QStringLiteral("&Help..."), QKeySequence(Qt::Key_F1));
    Menu_Help_Update
        = AddAction(Menu_Help, "Menu_Help_Update", QStringLiteral("Check for &updates"));
    AddSeparator(Menu_Help, "Menu_Help_N1");
    Menu_Help_About = AddAction(Menu_Help, "Menu_Help_About", QStringLiteral("&About..."));

    // Copy and paste never reach a network game: the link may open or close without a change
    // of the game's state, so they are checked again whenever the menu opens.
    const auto follow = [this, &game] { UpdateClipboardActions(game); };
    for (auto signal :
        { &TChessGame::gameStarted, &TChessGame::gameStopped, &TChessGame::opponentJoined,
            &TChessGame::disconnected, &TChessGame::networkError, &TChessGame::connectFailed })
        connect(&game, signal, this, follow);
    connect(Menu_Game, &QMenu::aboutToShow, this, follow);
    UpdateClipboardActions(game);
    connect(&game, &TChessGame::gameStarted, this, &TMainMenu::GameStarted);
    connect(&game, &TChessGame::gamePaused, this, &TMainMenu::GamePaused);
    connect(&game, &TChessGame::gameResumed, this, &TMainMenu::GameResumed);
    connect(&game, &TChessGame::gameStopped, this, &TMainMenu::GameStopped);
}

void TMainMenu::GameStarted() {
    // Play and Load stay enabled: they ask before they leave the game.
    Menu_Game_Save->setEnabled(true);
    Menu_Game_Undo->setEnabled(true);
    Menu_Game_Pause->setEnabled(true);
    Menu_Game_Forfeit->setEnabled(true);
    Menu_Game_Pause->setVisible(true);
    Menu_Game_Resume->setVisible(false);
}

void TMainMenu::GamePaused() {
    Menu_Game_Undo->setEnabled(false);
    Menu_Game_Forfeit->setEnabled(false);
    Menu_Game_Pause->setVisible(false);
    Menu_Game_Resume->setVisible(true);
}

void TMainMenu::GameResumed() {
    Menu_Game_Undo->setEnabled(true);
    Menu_Game_Forfeit->setEnabled(true);
    Menu_Game_Pause->setVisible(true);
    Menu_Game_Resume->setVisible(false);
}

void TMainMenu::GameStopped() {
    Menu_Game_Save->setEnabled(false);
    Menu_Game_Undo->setEnabled(false);
    Menu_Game_Pause->setEnabled(false);
    Menu_Game_Forfeit->setEnabled(false);
    Menu_Game_Pause->setVisible(true);
    Menu_Game_Resume->setVisible(false);
}

bool TMainMenu::ClipboardAllowed(const TChessGame& game) {
    return game.GameKind == gkLocal || !game.NetworkActive;
}

void TMainMenu::UpdateClipboardActions(const TChessGame& game) {
    const bool allowed = ClipboardAllowed(game);
    Menu_Game_CopyFen->setEnabled(allowed);
    Menu_Game_CopyPgn->setEnabled(allowed);
    // A pasted game replaces the one on the board; like a load, it asks first during a game.
    Menu_Game_Paste->setEnabled(allowed);
}
