#include "ComputerAgent.h"

#include "UnitChessGame.h"

#include <QMetaObject>

#include <utility>

TComputerSearch::TComputerSearch(TChessBoard& board, QObject* parent)
    : QObject(parent) {
    // A hand-over queued for a search object that has been destroyed is dropped by Qt.
    m_Engine = std::make_unique<TChessAI>(board, [this](std::function<void()> f) {
        QMetaObject::invokeMethod(this, std::move(f), Qt::QueuedConnection);
    });
    m_Engine->OnMoveFound = [this](TChessAI& engine) {
        if (TComputerAgent* asker = std::exchange(m_Asker, nullptr))
            asker->SearchFinished(engine.BestMove());
    };
}

TComputerSearch::~TComputerSearch() {
    m_Engine.reset();
}

void TComputerSearch::Think(TComputerAgent& agent, TPieceColour colour, int level) {
    m_Asker = &agent;
    m_Engine->Think(colour, level);
}

void TComputerSearch::Cancel(const TComputerAgent& agent) {
    if (m_Asker != &agent)
        return;
    m_Asker = nullptr;
    m_Engine->Cancel();
}

TComputerAgent::TComputerAgent(TPieceColour colour, TComputerSearch& search, QObject* parent)
    : TPlayerAgent(colour, parent)
    , m_Search(search) { }

void TComputerAgent::StartTurn(const TChessGame& game) {
    m_Search.Think(*this, Colour(), game.GetPlayer(Colour())->Level);
}

void TComputerAgent::Cancel() {
    m_Search.Cancel(*this);
}

void TComputerAgent::SearchFinished(const TMoveRecord& move) {
    emit moveChosen(move.From, move.To, pkQueen);
}
