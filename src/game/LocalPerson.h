#pragma once

// The person at this machine: nothing happens on its turn; the window's input reaches the
// controller through PlayMove and Promote.

#include "PlayerAgent.h"

class TLocalPerson : public TPlayerAgent {
public:
    using TPlayerAgent::TPlayerAgent;

    void StartTurn(const TChessGame& game) override;
    bool TakesInput() const override { return true; }
};
