#include "UnitChessGame.h"

#include <QMetaObject>

namespace {

constexpr int ClockInterval = 1000;
constexpr uint8_t ComputerPromotionKind = pkQueen;

uint8_t StatusFor(TMoveResult flags, uint8_t current) {
    if ((flags & mrCheck) && (flags & mrGameOver))
        return 3;
    if (flags & mrGameOver)
        return 2;
    if (flags & mrCheck)
        return 1;
    return current;
}

} // namespace

TChessGame::TChessGame(QObject* parent)
    : QObject(parent)
    , m_Clock(this) {
    m_Clock.setInterval(ClockInterval);
    connect(&m_Clock, &QTimer::timeout, this, &TChessGame::ClockTick);
    ConnectLink();
    // A hand-over queued for a controller that has been destroyed is dropped by Qt.
    m_ComputerPlayer = std::make_unique<TChessAI>(SearchBoard, [this](std::function<void()> f) {
        QMetaObject::invokeMethod(this, std::move(f), Qt::QueuedConnection);
    });
    m_ComputerPlayer->OnMoveFound = [this](TChessAI&) { ComputerMoved(); };
}

TChessGame::~TChessGame() {
    m_Link.Abort();
    m_Clock.stop();
    m_ComputerPlayer.reset();
}

TPlayer* TChessGame::GetPlayer(uint8_t colour) {
    if (colour == pcWhite)
        return &WhitePlayer;
    if (colour == pcBlack)
        return &BlackPlayer;
    return nullptr;
}

const TPlayer* TChessGame::GetPlayer(uint8_t colour) const {
    return const_cast<TChessGame*>(this)->GetPlayer(colour);
}

void TChessGame::CancelSearch() {
    m_ComputerPlayer->Cancel();
    m_HeldComputerMove.reset();
}

void TChessGame::StartGame() {
    CancelSearch();
    ++m_GameSerial;
    m_UndoRequested = false;
    m_UndoAskedAt = -1;
    if (Board.Modified) {
        GameLoaded = false;
        for (TPlayer* p : { &WhitePlayer, &BlackPlayer }) {
            p->Time = 0;
            p->Status = 0;
        }
        Turn = pcWhite;
        Moves.Clear();
        Board.Reset();
        SearchBoard.Reset();
    }
    WhitePlayer.Ready = true;
    BlackPlayer.Ready = true;
    GameState = gsPlaying;
    if (GameKind != gkClient)
        m_Clock.start();
    Board.Modified = true;
    const uint64_t serial = m_GameSerial;
    emit gameStarted();
    if (serial != m_GameSerial || GameState != gsPlaying)
        return;
    // A loaded game may stop at a promotion still waiting for its piece; the computer chooses at
    // once, a person through the promotion choice.
    if (PromotionPending()) {
        if (!PlayerOf(Turn).Human)
            CompletePromotion(ComputerPromotionKind);
        return;
    }
    ThinkIfComputerToMove();
}

void TChessGame::PauseGame() {
    if (GameState != gsPlaying)
        return;
    m_Clock.stop();
    SendStateCommand(gsPaused);
    GameState = gsPaused;
    emit gamePaused();
}

void TChessGame::ResumeGame() {
    if (GameState != gsPaused)
        return;
    GameState = gsPlaying;
    if (GameKind != gkClient)
        m_Clock.start();
    SendStateCommand(gsPlaying);
    const uint64_t serial = m_GameSerial;
    emit gameResumed();
    if (serial != m_GameSerial || GameState != gsPlaying || !m_HeldComputerMove)
        return;
    const TMoveRecord held = *m_HeldComputerMove;
    m_HeldComputerMove.reset();
    ExecuteMove(held.From, held.To);
}

void TChessGame::StopGame() {
    if (GameState != gsPlaying && GameState != gsPaused)
        return;
    CancelSearch();
    m_Clock.stop();
    WhitePlayer.Ready = false;
    BlackPlayer.Ready = false;
    SendStateCommand(gsStopped);
    GameState = gsStopped;
    emit gameStopped();
}

void TChessGame::NextTurn() {
    Turn = Opponent(Turn);
    const uint64_t serial = m_GameSerial;
    emit turnChanged();
    if (serial == m_GameSerial)
        ThinkIfComputerToMove();
}

void TChessGame::ThinkIfComputerToMove() {
    // A search may run while the game is paused; its move is held until the game resumes.
    if (GameState != gsPlaying && GameState != gsPaused)
        return;
    const TPlayer& player = PlayerOf(Turn);
    if (!player.Human)
        m_ComputerPlayer->Think(Turn, player.Level);
}

bool TChessGame::PromotionPending() const {
    const TMoveRecord* last = Moves.Last();
    if (!last || !(last->Flags & mrPromotion) || !OnBoard(last->To))
        return false;
    if (last->To.Y != 1 && last->To.Y != 8)
        return false;
    const TPiece* piece = Board.PieceAt(last->To);
    return piece && piece->Kind == pkPawn;
}

TMoveResult TChessGame::PlayMove(TPoint from, TPoint to) {
    // The computer's moves come only from its own search (ComputerMoved); a move for its side
    // from elsewhere would change the board it is searching.
    if (!PlayerOf(Turn).Human) {
        CheckSquare(from.X, from.Y);
        CheckSquare(to.X, to.Y);
        return 0;
    }
    return ExecuteMove(from, to);
}

void TChessGame::ComputerMoved() {
    if (GameState != gsPlaying && GameState != gsPaused)
        return;
    if (PlayerOf(Turn).Human)
        return;
    const TMoveRecord move = m_ComputerPlayer->BestMove();
    if (GameState == gsPaused) {
        m_HeldComputerMove = move;
        return;
    }
    ExecuteMove(move.From, move.To);
}

TMoveResult TChessGame::ExecuteMove(TPoint from, TPoint to) {
    const TPieceColour mover = Turn;
    const bool byComputer = !PlayerOf(mover).Human;
    // A square off the board from the computer can only mean it found no move at all; it is
    // reported like any other move the rules refuse.
    if (byComputer && (!OnBoard(from) || !OnBoard(to))) {
        emit invalidMove(from, to, mrInvalid);
        return mrInvalid;
    }
    CheckSquare(from.X, from.Y);
    CheckSquare(to.X, to.Y);
    if (GameState != gsPlaying || !WhitePlayer.Ready || !BlackPlayer.Ready || PromotionPending())
        return 0;
    // A move the list could not record would leave the board and the list apart.
    if (Moves.Count() >= MaxMoves)
        return 0;

    const TPiece* piece = Board.PieceAt(from);
    TMoveResult flags = mrInvalid;
    if (!piece || piece->Colour == mover)
        flags = Board.MovePiece(from, to, true);
    if (flags & mrInvalid) {
        if (byComputer)
            emit invalidMove(from, to, flags);
        return flags;
    }
    SearchBoard.MovePiece(from, to, false);
    if (IsLocalMover())
        SendMove(from, to);
    // A promotion is judged for the end of the game once its piece is chosen: a pawn that leaves
    // the opponent without a move may stalemate, while the queen it becomes mates.
    const bool promoting = flags & mrPromotion;
    if (promoting)
        flags &= ~mrGameOver;
    Moves.Add(Board.PieceAt(to)->Kind, from, to, 0, flags);
    SetStatusAfterMove(mover, flags);
    // The deciding move ends both clocks, even while the handlers announce the result.
    if (flags & mrGameOver)
        m_Clock.stop();

    const uint64_t serial = m_GameSerial;
    if (!byComputer) {
        emit movePlayed(from, to, flags);
    } else {
        // The computer always takes a queen, at once; completing the promotion stops the game or
        // passes the turn.
        if (promoting)
            CompletePromotion(ComputerPromotionKind);
        if (serial != m_GameSerial)
            return flags;
        emit movePlayed(from, to, flags & ~mrPromotion);
    }
    // A person's promotion is completed by Promote, which then ends the game or passes the turn.
    if (serial != m_GameSerial || promoting)
        return flags;
    if ((flags & mrGameOver) || Moves.Count() >= MaxMoves)
        StopGame();
    if (GameState != gsStopped)
        NextTurn();
    return flags;
}

void TChessGame::SetStatusAfterMove(TPieceColour mover, TMoveResult flags) {
    PlayerOf(mover).Status = 0;
    TPlayer& other = PlayerOf(Opponent(mover));
    other.Status = StatusFor(flags, other.Status);
}

void TChessGame::Promote(uint8_t kind) {
    if (GameState != gsPlaying || kind < pkRook || kind > pkQueen || !PromotionPending())
        return;
    CompletePromotion(kind);
}

void TChessGame::CompletePromotion(uint8_t kind) {
    if (IsLocalMover())
        SendPromotion(kind);
    TMoveRecord* last = Moves.Last();
    const TPoint square = last->To;
    const TMoveResult flags = Board.Promote(square, kind);
    SearchBoard.Promote(square, kind);
    last->PromotionKind = kind;
    last->Flags |= flags;
    // The promoted piece may give check or mate where the pawn did not.
    SetStatusAfterMove(Turn, flags);
    if (flags & mrGameOver)
        m_Clock.stop();
    const uint64_t serial = m_GameSerial;
    emit promoted(square, flags);
    if (serial != m_GameSerial)
        return;
    if ((flags & mrGameOver) || Moves.Count() >= MaxMoves)
        StopGame();
    else if (GameState != gsStopped)
        NextTurn();
}

TMoveResult TChessGame::UndoLastMove() {
    const uint16_t count = Moves.Count();
    const TMoveRecord last = *Moves.Item(count - 1);
    const TMoveRecord* previous = count >= 2 ? Moves.Item(count - 2) : nullptr;
    const TMoveResult flags = Board.UndoMove(last.From, last.To, last.Flags, previous);
    if (flags & mrInvalid)
        return flags;
    SearchBoard.UndoMove(last.From, last.To, last.Flags, previous);
    Moves.Delete(count - 1);
    return flags;
}

void TChessGame::UndoMove() {
    if (GameState != gsPlaying || Moves.Count() == 0)
        return;
    CancelSearch();
    const bool promotionPending = PromotionPending();
    TMoveResult flags = UndoLastMove();
    // A list that does not fit the position (possible only in a damaged file) is not undone.
    if (flags & mrInvalid) {
        ThinkIfComputerToMove();
        return;
    }
    const uint64_t serial = m_GameSerial;
    if (promotionPending) {
        // The turn had not passed yet: the same player moves again.
    } else if (PlayerOf(Opponent(Turn)).Human) {
        NextTurn();
    } else if (Moves.Count() > 0) {
        // The computer's reply goes, and the person's move before it; the person moves again.
        const TMoveResult earlier = UndoLastMove();
        if (!(earlier & mrInvalid))
            flags = earlier;
    }
    if (serial != m_GameSerial || GameState != gsPlaying)
        return;
    // The marks follow the position that is back on the board.
    PlayerOf(Opponent(Turn)).Status = 0;
    PlayerOf(Turn).Status = (flags & mrCheck) ? 1 : 0;
    emit moveUndone(flags);
    if (serial == m_GameSerial && GameState == gsPlaying && !m_ComputerPlayer->IsThinking())
        ThinkIfComputerToMove();
}

void TChessGame::ClockTick() {
    if (GameState != gsPlaying)
        return;
    ++PlayerOf(Turn).Time;
    if (GameKind == gkHost)
        SendTime(PlayerOf(Turn).Time);
    emit clockTicked();
}

int TChessGame::SearchDepth() const {
    return m_ComputerPlayer->Depth();
}

void TChessGame::SetSearchDepth(int depth) {
    m_ComputerPlayer->SetDepth(depth);
}

bool TChessGame::IsLocalMover() const {
    switch (GameKind) {
    case gkHost:
        return Turn == HostColour;
    case gkClient:
        return Turn != HostColour;
    case gkLocal:
        break;
    }
    return true;
}
