#pragma once

// The owner of the moves window when another window borrows it: the history window takes the
// moves window inside itself while it is open and gives it back when it closes.
class TMovesHost {
public:
    // Takes the moves window out of its dock, hidden, when it is docked; answers whether it was.
    virtual bool LendMoves() = 0;
    // Takes the moves window back: into the dock when it was docked, else floating beside the
    // main window at the moves window's side, with the given height when at the left. Shown when
    // `shown`.
    virtual void ReturnMoves(bool docked, bool shown, int height) = 0;

protected:
    ~TMovesHost() = default;
};
