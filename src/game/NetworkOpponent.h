#pragma once

// The opponent across the network: its moves arrive from the link, which hands each to this
// agent once it has checked the message; the agent passes it on to the controller. Its pawn's
// piece comes later in a message of its own, through the controller's Promote.

#include "PlayerAgent.h"

class TNetworkOpponent : public TPlayerAgent {
    Q_OBJECT

public:
    using TPlayerAgent::TPlayerAgent;

    void StartTurn(const TChessGame& game) override;
    // A move message from the opponent, with squares already checked to lie on the board.
    void MoveArrived(TPoint from, TPoint to);
};
