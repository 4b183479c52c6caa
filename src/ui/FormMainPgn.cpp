// The main window's PGN and FEN commands: opening a PGN file, copying the position or the game to
// the clipboard, and pasting a position or a game from it.

#include "DrawRules.h"
#include "Fen.h"
#include "FormGame.h"
#include "FormMain.h"
#include "FormMoves.h"
#include "FormPgnGames.h"
#include "MainMenu.h"
#include "Pgn.h"
#include "PgnFileReader.h"
#include "PgnGame.h"
#include "ProgressRun.h"
#include "RegularFile.h"
#include "UnitMessages.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QFileInfo>

#include <QGuiApplication>
#include <QTimer>
#include <algorithm>
#include <cstdlib>
#include <utility>

namespace {

// How often a handed-over file that waits for an open dialog to close looks again.
constexpr int HandedFileRetryMs = 500;

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

// The half-move clock and the move number of a FEN; 0 and 1 when it has none that can be read.
std::pair<int, int> FenCounters(const std::string& fen) {
    std::pair<int, int> counters { 0, 1 };
    const size_t last = fen.find_last_of(' ');
    if (FenPosition(fen).size() >= fen.size() || last == std::string::npos)
        return counters;
    const size_t before = fen.find_last_of(' ', last - 1);
    if (before == std::string::npos || before < FenPosition(fen).size())
        return counters;
    const int half = std::atoi(fen.c_str() + before + 1);
    const int full = std::atoi(fen.c_str() + last + 1);
    if (half >= 0 && half < 100000)
        counters.first = half;
    if (full > 0 && full < 100000)
        counters.second = full;
    return counters;
}

// The FEN of a position with its own counters in place of the writer's.
std::string WithCounters(const std::string& fen, std::pair<int, int> counters) {
    return FenPosition(fen) + " " + std::to_string(counters.first) + " "
        + std::to_string(counters.second);
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

void TfrmMain::OpenStartFile(const QStringList& arguments) {
    if (arguments.size() < 2 || arguments.at(1).isEmpty())
        return;
    const QString file = arguments.at(1);
    QTimer::singleShot(0, this, [this, file] { OpenGameFile(file); });
}

void TfrmMain::OpenHandedFile(const QString& fileName) {
    if (isMinimized())
        showNormal();
    show();
    raise();
    activateWindow();
    if (fileName.isEmpty())
        return;
    if (QApplication::activeModalWidget()) {
        // A file that cannot be opened is told at once, so that a flood of such requests while a
        // box is up joins that box (the same error is not shown twice at a time); one that may
        // open waits until the dialog has closed.
        if (RefuseUnopenableFile(fileName))
            return;
        QTimer::singleShot(HandedFileRetryMs, this, [this, fileName] { OpenHandedFile(fileName); });
        return;
    }
    // An open network link (a game, or a host waiting for its opponent) is never replaced.
    if ((m_Game.GameKind == gkHost || m_Game.GameKind == gkClient) && m_Game.NetworkActive) {
        ShowError(emFileRefusedDuringNetworkGame, fileName.toStdString());
        return;
    }
    // A game in progress is left only after the file was read and the user agreed.
    OpenGameFile(fileName);
}

bool TfrmMain::RefuseUnopenableFile(const QString& fileName) {
    const bool pgn = fileName.endsWith(QLatin1String(".pgn"), Qt::CaseInsensitive);
    if (pgn ? IsRegularFile(QFile::encodeName(fileName).toStdString())
            : TChessGame::IsGameFile(fileName))
        return false;
    ShowError(pgn ? emPgnUnreadable : emGameLoadFailed, fileName.toStdString());
    return true;
}

bool TfrmMain::ReadPgnInBackground(const QString& fileName, const TPgnGameReceiver& onGame) {
    const std::string path = QFile::encodeName(fileName).toStdString();
    const uint64_t size = uint64_t(std::max<qint64>(0, QFileInfo(fileName).size()));
    const QString label
        = m_Values.Format(QStringLiteral("Prog01"), { QFileInfo(fileName).fileName() });
    return RunWithProgress(this, label, [&](TProgressControl& control) {
        ReadPgnFile(path, onGame, {}, [&](uint64_t bytesRead) {
            control.Report(bytesRead, size);
            return !control.Cancelled();
        });
    });
}

bool TfrmMain::OpenPgnFile(const QString& fileName) {
    const std::string shown = fileName.toStdString();
    // The file is read in pieces, off the window's thread: the list keeps what it shows of each
    // game, and only the first game whole, which is the one opened when the file holds no other.
    // A reading the user cancelled changes nothing.
    std::vector<TPgnGameSummary> summaries;
    TPgnGameRecord first;
    const bool read = ReadPgnInBackground(fileName, [&](const TPgnGameRecord& game) {
        if (summaries.empty())
            first.Assign(game);
        summaries.push_back(TPgnGameSummary::Of(game));
        return true;
    });
    if (!read)
        return false;
    const bool anyReadable = std::any_of(summaries.begin(), summaries.end(),
        [](const TPgnGameSummary& game) { return game.Error.isEmpty(); });
    if (!anyReadable) {
        ShowError(emPgnUnreadable, shown);
        return false;
    }
    if (summaries.size() == 1)
        return OpenPgnRecord(first);
    const int chosen = frmPgnGames->Choose(summaries);
    if (chosen < 0)
        return false;
    // The chosen game, read again; the reading stops there.
    const size_t number = summaries[size_t(chosen)].Number;
    TPgnGameRecord record;
    const bool again = ReadPgnInBackground(fileName, [&](const TPgnGameRecord& game) {
        if (game.Number != number)
            return true;
        record.Assign(game);
        return false;
    });
    if (!again)
        return false;
    // The file changed since it was listed.
    if (record.Number != number || !record.Error.empty()) {
        ShowError(emPgnUnreadable, shown);
        return false;
    }
    return OpenPgnRecord(record);
}

bool TfrmMain::OpenPgnRecord(const TPgnGameRecord& record) {
    // As for a saved game: the computer sides are the built-in computer until the dialog gives
    // them to an engine.
    if (!LeaveGame())
        return false;
    const auto engineSides = frmGame->EngineSides();
    frmGame->SetEngineSides({});
    // The controller keeps no move counters; those of a set-up position are remembered here.
    m_LoadedStartFen = record.StartFen;
    if (!LoadPgnGame(record, m_Game)) {
        frmGame->SetEngineSides(engineSides);
        ShowError(emPgnUnreadable, std::string("PGN"));
        return false;
    }
    if (!record.DroppedCastling.empty())
        ShowNotice(nmCastlingRightsDropped, record.DroppedCastling);
    return ContinueLoadedGame();
}

std::string TfrmMain::StartFenOfGame() const {
    TChessBoard start;
    TPieceColour side = pcWhite;
    if (!StartPosition(m_Game, start, side))
        return {};
    const std::string fen = SaveFen(start, side);
    if (!m_LoadedStartFen.empty() && FenPosition(fen) == FenPosition(m_LoadedStartFen))
        return WithCounters(fen, FenCounters(m_LoadedStartFen));
    return FenPosition(fen) == FenPosition(StartFen) ? std::string() : fen;
}

void TfrmMain::SetMovesStart() {
    const std::string startFen = StartFenOfGame();
    // Who moved first is read from the piece that made the first move (while a promotion waits
    // for its piece, the side to move has not passed yet).
    TChessBoard start;
    TPieceColour side = pcWhite;
    bool blackFirst = false;
    if (StartPosition(m_Game, start, side)) {
        const TMoveRecord* first = m_Game.Moves.First();
        const TPiece* mover = first ? start.PieceAt(first->From) : nullptr;
        blackFirst = mover ? mover->Colour == pcBlack : side == pcBlack;
    }
    frmMoves->SetGameStart(startFen.empty() ? 1 : FenCounters(startFen).second, blackFirst);
}

std::string TfrmMain::CurrentFen() const {
    const std::string startFen = StartFenOfGame();
    std::pair<int, int> counters = startFen.empty() ? std::pair { 0, 1 } : FenCounters(startFen);
    // Counted on from the start: the half-move clock restarts at a capture or a pawn move, the
    // move number grows after each black move.
    TPieceColour side = m_Game.Turn;
    for (int i = 0; i < int(m_Game.Moves.Count()); ++i)
        side = Opponent(side);
    for (const TMoveRecord* move = m_Game.Moves.First(); move; move = move->Next) {
        counters.first = IsIrreversible(*move) ? 0 : counters.first + 1;
        if (side == pcBlack)
            ++counters.second;
        side = Opponent(side);
    }
    return WithCounters(SaveFen(m_Game.Board, m_Game.Turn), counters);
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
    const std::string startFen = StartFenOfGame();
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
    QGuiApplication::clipboard()->setText(QString::fromStdString(CurrentFen()));
}

void TfrmMain::Menu_Game_CopyPgnClick() {
    if (!TMainMenu::ClipboardAllowed(m_Game))
        return;
    QGuiApplication::clipboard()->setText(QString::fromStdString(CurrentGamePgn()));
}

void TfrmMain::Menu_Game_PasteClick() {
    // A pasted game never replaces a network game; a local game in progress is left when the
    // user agrees.
    if (!TMainMenu::ClipboardAllowed(m_Game))
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
        pasted.Games.emplace_back().Assign(game);
        return false;
    });
    if (pasted.Games.empty()) {
        ShowError(emClipboardHoldsNoGame);
        return;
    }
    OpenPgnRecord(pasted.Games.front());
}
