// The main window's PGN and FEN commands: opening a PGN file, copying the position or the game to
// the clipboard, and pasting a position or a game from it.

#include "Fen.h"
#include "FormGame.h"
#include "FormMain.h"
#include "FormPgnGames.h"
#include "MainMenu.h"
#include "Pgn.h"
#include "PgnFileReader.h"
#include "PgnGame.h"
#include "UnitMessages.h"

#include <QAction>
#include <QClipboard>
#include <QFile>

#include <QGuiApplication>
#include <algorithm>

namespace {

// The game's start position: its moves taken back on a copy of the board. Empty when a move
// cannot be taken back, and the PGN then replays from the initial position.
bool StartPosition(const TChessGame& game, TChessBoard& start, TPieceColour& side) {
    start.Assign(game.Board);
    side = game.Turn;
    for (int index = int(game.Moves.Count()) - 1; index >= 0; --index) {
        const TMoveRecord* move = game.Moves.Item(uint16_t(index));
        const TMoveRecord* previous = index > 0 ? game.Moves.Item(uint16_t(index - 1)) : nullptr;
        if (start.UndoMove(move->From, move->To, move->Flags, previous) & mrInvalid)
            return false;
        side = Opponent(side);
    }
    return true;
}

// The first words of a FEN: the placement, the side to move, castling and en passant.
std::string FenPosition(const std::string& fen) {
    size_t end = 0;
    for (int field = 0; field < 4 && end != std::string::npos; ++field)
        end = fen.find(' ', end + (field > 0 ? 1 : 0));
    return fen.substr(0, end);
}

} // namespace

void TfrmMain::CreatePgnForms() {
    frmPgnGames = new TfrmPgnGames(this);
}

void TfrmMain::BindClipboardCommands() {
    connect(
        m_Menu->Menu_Game_CopyFen, &QAction::triggered, this, &TfrmMain::Menu_Game_CopyFenClick);
    connect(
        m_Menu->Menu_Game_CopyPgn, &QAction::triggered, this, &TfrmMain::Menu_Game_CopyPgnClick);
    connect(m_Menu->Menu_Game_Paste, &QAction::triggered, this, &TfrmMain::Menu_Game_PasteClick);
}

bool TfrmMain::OpenPgnFile(const QString& fileName) {
    std::string bytes;
    std::string error;
    const std::string shown = fileName.toStdString();
    if (!ReadPgnFileBytes(QFile::encodeName(fileName).toStdString(), bytes, error)) {
        ShowError(emPgnUnreadable, shown);
        return false;
    }
    const TPgnFile file = ReadPgnText(bytes);
    const bool anyReadable = std::any_of(file.Games.begin(), file.Games.end(),
        [](const TPgnGameRecord& game) { return game.Error.empty(); });
    if (!anyReadable) {
        ShowError(emPgnUnreadable, shown);
        return false;
    }
    if (file.Games.size() == 1)
        return OpenPgnRecord(file.Games.front());
    const int chosen = frmPgnGames->Choose(file.Games);
    if (chosen < 0)
        return false;
    return OpenPgnRecord(file.Games[size_t(chosen)]);
}

bool TfrmMain::OpenPgnRecord(const TPgnGameRecord& record) {
    // As for a saved game: the computer sides are the built-in computer until the dialog gives
    // them to an engine.
    const auto engineSides = frmGame->EngineSides();
    frmGame->SetEngineSides({});
    if (!LoadPgnGame(record, m_Game)) {
        frmGame->SetEngineSides(engineSides);
        ShowError(emPgnUnreadable, std::string("PGN"));
        return false;
    }
    return ContinueLoadedGame();
}

std::string TfrmMain::CurrentGamePgn() const {
    TGameInfo info;
    info.White = m_Game.WhitePlayer.Name;
    info.Black = m_Game.BlackPlayer.Name;
    info.WhiteTime = m_Game.WhitePlayer.Time;
    info.BlackTime = m_Game.BlackPlayer.Time;
    info.Date = EncodeDate(QDateTime::currentDateTime());
    info.Moves.Assign(m_Game.Moves);
    // A game that ended on the board carries its result; any other is still open.
    const TPlayer* toMove = m_Game.GetPlayer(m_Game.Turn);
    if (toMove && toMove->Status == 3)
        info.Result = m_Game.Turn == pcWhite ? grBlackWon : grWhiteWon;
    else if (toMove && toMove->Status == 2)
        info.Result = grTied;
    TChessBoard start;
    TPieceColour side = pcWhite;
    std::string startFen;
    if (StartPosition(m_Game, start, side)) {
        startFen = SaveFen(start, side);
        if (FenPosition(startFen) == FenPosition(StartFen))
            startFen.clear();
    }
    try {
        return GamePgn(info, startFen);
    } catch (const EFenError&) {
        return GamePgn(info);
    }
}

void TfrmMain::Menu_Game_CopyFenClick() {
    // The shortcut reaches here even while the menu item is disabled.
    if (!TMainMenu::ClipboardAllowed(m_Game))
        return;
    QGuiApplication::clipboard()->setText(
        QString::fromStdString(SaveFen(m_Game.Board, m_Game.Turn)));
}

void TfrmMain::Menu_Game_CopyPgnClick() {
    if (!TMainMenu::ClipboardAllowed(m_Game))
        return;
    QGuiApplication::clipboard()->setText(QString::fromStdString(CurrentGamePgn()));
}

void TfrmMain::Menu_Game_PasteClick() {
    // A pasted game never replaces a network game or one that is being played.
    if (!TMainMenu::ClipboardAllowed(m_Game) || m_Game.GameState == gsPlaying
        || m_Game.GameState == gsPaused)
        return;
    const std::string text = QGuiApplication::clipboard()->text().trimmed().toStdString();
    TPgnGameRecord fen;
    std::string error;
    // A FEN is one line; anything else is read as PGN.
    if (!text.empty() && text.find('\n') == std::string::npos
        && PgnRecordFromFen(text, fen, error)) {
        OpenPgnRecord(fen);
        return;
    }
    TPgnFile pasted;
    ReadPgnGames(text, [&](const TPgnGameRecord& game) {
        // Text that is no game at all reads as a game without tags or moves.
        if (!game.Error.empty() || (game.Tags.empty() && game.Moves.Count() == 0))
            return true;
        TPgnGameRecord& kept = pasted.Games.emplace_back();
        kept.Number = game.Number;
        kept.Tags = game.Tags;
        kept.StartFen = game.StartFen;
        kept.StartSide = game.StartSide;
        kept.Moves.Assign(game.Moves);
        kept.Result = game.Result;
        return false;
    });
    if (pasted.Games.empty()) {
        ShowError(emClipboardHoldsNoGame);
        return;
    }
    OpenPgnRecord(pasted.Games.front());
}
