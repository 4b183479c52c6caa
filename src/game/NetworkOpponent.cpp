#include "NetworkOpponent.h"

void TNetworkOpponent::StartTurn(const TChessGame&) { }

void TNetworkOpponent::MoveArrived(TPoint from, TPoint to) {
    emit moveChosen(from, to, 0);
}
