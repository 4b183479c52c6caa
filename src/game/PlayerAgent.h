#pragma once

// The side of a game that moves next, as the controller sees it: whoever or whatever chooses that
// side's moves. The controller makes one agent per side when a game starts or is loaded, asks the
// agent of the side to move for a move after every turn, and cancels it when the position changes
// under it (a take-back, a stop, a load, a forfeit). A person at this machine answers through the
// controller's PlayMove; every other agent answers with moveChosen.

#include "UnitChessPiece.h"

#include <QObject>
#include <QString>

#include <cstdint>

class TChessGame;

class TPlayerAgent : public QObject {
    Q_OBJECT

public:
    explicit TPlayerAgent(TPieceColour colour, QObject* parent = nullptr)
        : QObject(parent)
        , m_Colour(colour) { }

    TPieceColour Colour() const { return m_Colour; }

    // It is this side's turn in the game's position. An agent that chooses moves answers later,
    // from the event loop, with one moveChosen (never before StartTurn returns). Called again
    // for the same turn only after a Cancel.
    virtual void StartTurn(const TChessGame& game) = 0;
    // Drops the turn under way: no moveChosen for it comes after. Harmless when none is.
    virtual void Cancel() { }
    // The person at this machine plays this side: its moves come in through PlayMove, and it is
    // the side that forfeits when the other side is not played here.
    virtual bool TakesInput() const { return false; }
    // A program at this machine chooses this side's moves (the built-in computer, an engine): a
    // move of its that the rules refuse is reported through invalidMove, its pawn left waiting in
    // a loaded game becomes a queen at once, and a take-back after its reply takes back the
    // reply and the person's move before it.
    virtual bool IsComputer() const { return false; }

signals:
    // The agent's move for the turn it was given. `promotion` is the piece (1 rook .. 4 queen)
    // for a pawn that reaches the last rank, completed at once; 0 leaves a promotion waiting for
    // Promote, as a person's does.
    void moveChosen(TPoint from, TPoint to, uint8_t promotion);
    // The agent can no longer play (a program that is missing, crashed, hangs or answers
    // nonsense); `reason` names it and the cause. No moveChosen follows. The built-in agents
    // never fail.
    void failed(const QString& reason);

private:
    TPieceColour m_Colour;
};
