#include "UnitChessGame.h"

#include "ComputerAgent.h"
#include "LocalPerson.h"
#include "NetworkOpponent.h"

#include <QMetaObject>

namespace {

constexpr int ClockInterval = 1000;

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
    m_Search = std::make_unique<TComputerSearch>(SearchBoard);
}

TChessGame::~TChessGame() {
    m_Link.Abort();
    m_Clock.stop();
    // The agents go before the search that the computer's agents use.
    CancelAgents();
    for (TPlayerAgent*& agent : m_Agents)
        delete std::exchange(agent, nullptr);
    m_Search.reset();
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

TChessAI& TChessGame::ComputerPlayer() {
    return m_Search->Engine();
}

const TChessAI& TChessGame::ComputerPlayer() const {
    return m_Search->Engine();
}

void TChessGame::SetAgentFactory(TAgentFactory factory) {
    m_AgentFactory = std::move(factory);
}

std::unique_ptr<TPlayerAgent> TChessGame::MakeDefaultAgent(TPieceColour colour) {
    if (GameKind != gkLocal) {
        const auto host = static_cast<TPieceColour>(HostColour);
        const TPieceColour local = GameKind == gkHost ? host : Opponent(host);
        if (colour == local)
            return std::make_unique<TLocalPerson>(colour);
        return std::make_unique<TNetworkOpponent>(colour);
    }
    if (PlayerOf(colour).Human)
        return std::make_unique<TLocalPerson>(colour);
    return std::make_unique<TComputerAgent>(colour, *m_Search);
}

TPlayerAgent* TChessGame::Agent(TPieceColour colour) const {
    return colour == pcWhite || colour == pcBlack ? m_Agents[colour] : nullptr;
}

TNetworkOpponent* TChessGame::NetworkOpponent() const {
    for (TPlayerAgent* agent : m_Agents) {
        if (auto* opponent = qobject_cast<TNetworkOpponent*>(agent))
            return opponent;
    }
    return nullptr;
}

void TChessGame::MakeAgents() {
    CancelAgents();
    for (TPieceColour colour : { pcWhite, pcBlack }) {
        // An agent may be replaced from inside its own signal (a handler of the move it chose
        // starts a new game), so it goes once that has returned.
        if (TPlayerAgent* old = std::exchange(m_Agents[colour], nullptr)) {
            disconnect(old, nullptr, this, nullptr);
            old->deleteLater();
        }
        std::unique_ptr<TPlayerAgent> agent
            = m_AgentFactory ? m_AgentFactory(colour) : MakeDefaultAgent(colour);
        if (!agent)
            agent = MakeDefaultAgent(colour);
        TPlayerAgent* made = agent.release();
        made->setParent(this);
        connect(made, &TPlayerAgent::moveChosen, this,
            [this, made](TPoint from, TPoint to, uint8_t promotion) {
                AgentMoved(made, from, to, promotion);
            });
        connect(made, &TPlayerAgent::failed, this,
            [this, made](const QString& reason) { AgentFailed(made, reason); });
        m_Agents[colour] = made;
    }
}

void TChessGame::CancelAgents() {
    for (TPlayerAgent* agent : m_Agents) {
        if (agent)
            agent->Cancel();
    }
    m_TurnAsked = false;
    m_HeldMove.reset();
}

void TChessGame::AskAgentToMove() {
    // An agent may think while the game is paused; its move is held until the game resumes.
    if (GameState != gsPlaying && GameState != gsPaused)
        return;
    TPlayerAgent* agent = m_Agents[Turn];
    if (!agent || m_TurnAsked)
        return;
    m_TurnAsked = true;
    agent->StartTurn(*this);
}

void TChessGame::AgentMoved(const TPlayerAgent* agent, TPoint from, TPoint to, uint8_t promotion) {
    if (GameState != gsPlaying && GameState != gsPaused)
        return;
    // Only the side to move moves; an answer for a turn that has passed is dropped.
    if (agent != m_Agents[Turn])
        return;
    if (GameState == gsPaused) {
        TMoveRecord held;
        held.From = from;
        held.To = to;
        held.PromotionKind = promotion;
        m_HeldMove = held;
        return;
    }
    ExecuteMove(from, to, agent, promotion);
}

void TChessGame::AgentFailed(const TPlayerAgent* agent, const QString& reason) {
    if (agent != m_Agents[pcWhite] && agent != m_Agents[pcBlack])
        return;
    // The game stops without a result; what was played stays, so it can still be saved.
    const TPieceColour colour = agent->Colour();
    StopGame();
    m_StoppedByFailure = GameState == gsStopped;
    emit playerFailed(colour, reason);
}

void TChessGame::StartGame() {
    m_StoppedByFailure = false;
    MakeAgents();
    ++m_GameSerial;
    m_Draws.Clear();
    m_DrawReason.reset();
    m_UndoRequested = false;
    m_UndoAskedAt = -1;
    if (Board.Modified)
        ClearGame();
    WhitePlayer.Ready = true;
    BlackPlayer.Ready = true;
    GameState = gsPlaying;
    if (GameKind != gkClient)
        m_Clock.start();
    WatchHost();
    Board.Modified = true;
    SendClock();
    const uint64_t serial = m_GameSerial;
    emit gameStarted();
    if (serial != m_GameSerial || GameState != gsPlaying)
        return;
    // A loaded game may stop at a promotion still waiting for its piece; a program takes a queen
    // at once, a person chooses through the promotion choice.
    if (PromotionPending()) {
        if (m_Agents[Turn]->IsComputer())
            CompletePromotion(pkQueen);
        return;
    }
    AskAgentToMove();
}

void TChessGame::ClearGame() {
    GameLoaded = false;
    m_StoppedByFailure = false;
    for (TPlayer* p : { &WhitePlayer, &BlackPlayer }) {
        p->Time = 0;
        p->Status = 0;
    }
    Turn = pcWhite;
    Moves.Clear();
    Board.Reset();
    SearchBoard.Reset();
}

bool TChessGame::ContinuesLoadedGame() const {
    return GameLoaded && !Board.Modified;
}

void TChessGame::PauseGame() {
    if (GameState != gsPlaying)
        return;
    m_Clock.stop();
    SendStateCommand(gsPaused);
    GameState = gsPaused;
    WatchHost();
    emit gamePaused();
}

void TChessGame::ResumeGame() {
    if (GameState != gsPaused)
        return;
    GameState = gsPlaying;
    if (GameKind != gkClient)
        m_Clock.start();
    WatchHost();
    SendStateCommand(gsPlaying);
    const uint64_t serial = m_GameSerial;
    emit gameResumed();
    if (serial != m_GameSerial || GameState != gsPlaying || !m_HeldMove)
        return;
    const TMoveRecord held = *m_HeldMove;
    m_HeldMove.reset();
    ExecuteMove(held.From, held.To, m_Agents[Turn], held.PromotionKind);
}

void TChessGame::StopGame() {
    if (GameState != gsPlaying && GameState != gsPaused)
        return;
    CancelAgents();
    m_Clock.stop();
    WhitePlayer.Ready = false;
    BlackPlayer.Ready = false;
    SendStateCommand(gsStopped);
    GameState = gsStopped;
    WatchHost();
    emit gameStopped();
}

void TChessGame::NextTurn() {
    Turn = Opponent(Turn);
    m_TurnAsked = false;
    SendClock();
    const uint64_t serial = m_GameSerial;
    emit turnChanged();
    if (serial == m_GameSerial)
        AskAgentToMove();
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
    // The other sides' moves come only from their agents; a move for the computer's side from
    // elsewhere would change the board it is searching.
    const TPlayerAgent* agent = m_Agents[Turn];
    if (!agent || !agent->TakesInput()) {
        CheckSquare(from.X, from.Y);
        CheckSquare(to.X, to.Y);
        return 0;
    }
    return ExecuteMove(from, to, nullptr, 0);
}

TMoveResult TChessGame::ExecuteMove(
    TPoint from, TPoint to, const TPlayerAgent* agent, uint8_t promotion) {
    const TPieceColour mover = Turn;
    const bool reportRefusal = agent && agent->IsComputer();
    // A square off the board from an agent can only mean it found no move at all; it is
    // refused like any other move the rules refuse.
    if (agent && (!OnBoard(from) || !OnBoard(to))) {
        if (reportRefusal)
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
        if (reportRefusal)
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
    if (!promoting)
        JudgeDraw(flags);
    // The deciding move ends both clocks, even while the handlers announce the result.
    if (flags & mrGameOver)
        m_Clock.stop();

    const uint64_t serial = m_GameSerial;
    // The turn's answer is in; the next is asked for once the turn has passed.
    m_TurnAsked = false;
    const bool promoteNow = promotion >= pkRook && promotion <= pkQueen;
    if (!promoteNow) {
        emit movePlayed(from, to, flags);
    } else {
        // A piece chosen with the move is put in at once; completing the promotion stops the
        // game or passes the turn.
        if (promoting)
            CompletePromotion(promotion);
        if (serial != m_GameSerial)
            return flags;
        emit movePlayed(from, to, flags & ~mrPromotion);
    }
    // A promotion left waiting is completed by Promote, which then ends the game or passes the
    // turn.
    if (serial != m_GameSerial || promoting)
        return flags;
    if (!EndAfterMove(flags) && GameState != gsStopped)
        NextTurn();
    return flags;
}

bool TChessGame::EndAfterMove(TMoveResult flags) {
    TGameResult result = grUnfinished;
    TGameEndReason reason = geMoveListFull;
    if (flags & mrGameOver) {
        // The turn has not passed: the side to move made the deciding move.
        if (flags & mrCheck) {
            result = WonBy(Turn);
            reason = geCheckmate;
        } else {
            result = grTied;
            const bool bareKings = Board.CapturedCount(pcWhite) == TChessBoard::MaxCaptured
                && Board.CapturedCount(pcBlack) == TChessBoard::MaxCaptured;
            reason = bareKings ? geBareKings : geStalemate;
        }
    } else if (m_DrawReason) {
        result = grTied;
        reason = *m_DrawReason;
    } else if (Moves.Count() < MaxMoves) {
        return false;
    }
    // A game that a handler of the move already stopped has ended without a result.
    if (GameState != gsPlaying && GameState != gsPaused)
        return true;
    const uint64_t serial = m_GameSerial;
    emit gameEnded(result, reason);
    if (serial == m_GameSerial)
        StopGame();
    return true;
}

void TChessGame::SetStatusAfterMove(TPieceColour mover, TMoveResult flags) {
    PlayerOf(mover).Status = 0;
    TPlayer& other = PlayerOf(Opponent(mover));
    other.Status = StatusFor(flags, other.Status);
}

bool TChessGame::DrawRulesApply() const {
    if (GameKind != gkLocal)
        return false;
    if (DeclareDraws)
        return true;
    // Between programs nobody would stop a drawn game.
    for (const TPlayerAgent* agent : m_Agents) {
        if (!agent || agent->TakesInput())
            return false;
    }
    return true;
}

void TChessGame::JudgeDraw(TMoveResult flags) {
    m_DrawReason.reset();
    if (!DrawRulesApply()) {
        m_Draws.Clear();
        return;
    }
    const TPieceColour toMove = Opponent(Turn);
    const TDrawRule rule = m_Draws.Follow(Board, toMove, Moves);
    if (flags & mrGameOver)
        return;
    switch (rule) {
    case TDrawRule::Repetition:
        m_DrawReason = geRepetition;
        break;
    case TDrawRule::FiftyMoves:
        m_DrawReason = geFiftyMoves;
        break;
    case TDrawRule::InsufficientMaterial:
        m_DrawReason = geInsufficientMaterial;
        break;
    case TDrawRule::None:
        return;
    }
    m_Clock.stop();
    PlayerOf(toMove).Status = StatusFor(mrGameOver, 0);
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
    JudgeDraw(flags);
    if (flags & mrGameOver)
        m_Clock.stop();
    const uint64_t serial = m_GameSerial;
    emit promoted(square, flags);
    if (serial != m_GameSerial)
        return;
    if (!EndAfterMove(flags) && GameState != gsStopped)
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
    m_Draws.Truncate(Moves.Count());
    m_DrawReason.reset();
    return flags;
}

void TChessGame::UndoMove() {
    if (GameState != gsPlaying || Moves.Count() == 0)
        return;
    CancelAgents();
    const bool promotionPending = PromotionPending();
    TMoveResult flags = UndoLastMove();
    // A list that does not fit the position (possible only in a damaged file) is not undone.
    if (flags & mrInvalid) {
        AskAgentToMove();
        return;
    }
    const uint64_t serial = m_GameSerial;
    if (promotionPending) {
        // The turn had not passed yet: the same player moves again.
    } else if (!m_Agents[Opponent(Turn)]->IsComputer()) {
        NextTurn();
    } else if (Moves.Count() > 0) {
        // A program's reply goes, and the person's move before it; the person moves again.
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
    if (serial == m_GameSerial && GameState == gsPlaying)
        AskAgentToMove();
}

void TChessGame::Forfeit() {
    if (GameState != gsPlaying && GameState != gsPaused)
        return;
    const TPieceColour loser = ForfeitingColour();
    StopGame();
    emit gameEnded(ForfeitedBy(loser), geForfeit);
}

TPieceColour TChessGame::ForfeitingColour() const {
    // Against the computer or a network opponent the person here forfeits, whoever is to move;
    // between two persons at this machine (or two programs) the side to move does.
    const bool white = m_Agents[pcWhite] && m_Agents[pcWhite]->TakesInput();
    const bool black = m_Agents[pcBlack] && m_Agents[pcBlack]->TakesInput();
    if (white != black)
        return white ? pcWhite : pcBlack;
    return Turn;
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
    return m_Search->Engine().Depth();
}

void TChessGame::SetSearchDepth(int depth) {
    m_Search->Engine().SetDepth(depth);
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
