#pragma once

// The built-in computer player as an agent. All the computer sides of a game share one search
// (TComputerSearch: one worker thread and one transposition table, searching the controller's
// SearchBoard, which the controller keeps in step with the game's board); each side asks it with
// its own level and always promotes to a queen.

#include "PlayerAgent.h"
#include "UnitChessAI.h"

#include <memory>

class TComputerAgent;

class TComputerSearch : public QObject {
public:
    // Searches `board`; a search's move is handed to the agent that asked, on this object's
    // thread.
    explicit TComputerSearch(TChessBoard& board, QObject* parent = nullptr);
    ~TComputerSearch() override;

    TChessAI& Engine() { return *m_Engine; }

    // Starts one search for the agent, cancelling any search still running.
    void Think(TComputerAgent& agent, TPieceColour colour, int level);
    // Cancels the search if it is the agent's; its move is never handed over.
    void Cancel(const TComputerAgent& agent);

private:
    std::unique_ptr<TChessAI> m_Engine;
    // The agent whose search is running or whose move is on its way.
    TComputerAgent* m_Asker = nullptr;
};

class TComputerAgent : public TPlayerAgent {
public:
    TComputerAgent(TPieceColour colour, TComputerSearch& search, QObject* parent = nullptr);

    // Starts a search at the level of this side's player record.
    void StartTurn(const TChessGame& game) override;
    void Cancel() override;
    bool IsComputer() const override { return true; }

    // The search this agent asked for has delivered its move.
    void SearchFinished(const TMoveRecord& move);

private:
    TComputerSearch& m_Search;
};
