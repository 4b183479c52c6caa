#pragma once

// Everything the board view reads, copied into plain values: the position, the game's state,
// the players, the settings and the mouse input. The window makes one every frame; the
// command-line renderer, the benchmark and the tests make their own.

#include "Settings.h"
#include "UnitChessGame.h"

#include <QString>

#include <array>
#include <cstdint>

struct TSnapshotPlayer {
    QString Name;
    bool Ready = false;
    int32_t Time = 0;
    // 0 nothing, 1 check, 2 stalemate, 3 checkmate.
    uint8_t Status = 0;
    // What the computer is doing for this side ("Thinking... 12/31"); empty for none.
    QString Activity;
    friend bool operator==(const TSnapshotPlayer&, const TSnapshotPlayer&) = default;
};

constexpr int8_t NoPiece = -1;

struct TBoardSnapshot {
    // Square (file, rank) at index (file - 1) * 8 + (rank - 1): NoPiece, or colour * 6 + kind.
    std::array<int8_t, 64> Squares;
    // Kinds of the pieces taken by each side, slot by slot; NoPiece for an empty slot.
    std::array<int8_t, 15> CapturedByWhite;
    std::array<int8_t, 15> CapturedByBlack;
    int CapturedByWhiteCount = 0;
    int CapturedByBlackCount = 0;

    TGameKind GameKind = gkLocal;
    TGameState GameState = gsIdle;
    uint8_t Turn = pcWhite;
    bool NetworkActive = false;
    std::array<TSnapshotPlayer, 2> Players;
    bool HasLastMove = false;
    TPoint LastMoveTo;
    TPoint LastMoveFrom;

    TPoint HoverSquare { -1, -1 };
    TPoint HeldSquare;
    TPoint MousePos;
    TPoint GrabOffset;
    // The keyboard's square cursor; (0, 0) while hidden.
    TPoint CursorSquare;
    // Learn mode: whether the held piece may move to the hover square.
    bool HeldMoveLegal = false;

    TTheme Theme;
    bool Enhanced = false;
    bool LearnMode = true;
    bool ShowLastMove = true;
    // With ShowLastMove, LastMoveFrom is marked too.
    bool ShowLastMoveFrom = false;
    bool Switched = false;
    // Why the game ended for a side whose Status is 2 (no check): stalemate, bare kings or a
    // draw rule.
    TGameEndReason DrawReason = geStalemate;
    // The header words, by index (HeaderWords gives their value names): not ready, ready, check,
    // checkmate, stalemate, then the draws by repetition, by the fifty-move rule and for
    // insufficient material.
    std::array<QString, 8> Words { QStringLiteral("Not ready!"), QStringLiteral("Ready!"),
        QStringLiteral("Check!"), QStringLiteral("Checkmate!"), QStringLiteral("Stalemate!"),
        QStringLiteral("Repetition!"), QStringLiteral("50-move rule!"),
        QStringLiteral("No mate possible!") };

    TBoardSnapshot() {
        Squares.fill(NoPiece);
        CapturedByWhite.fill(NoPiece);
        CapturedByBlack.fill(NoPiece);
    }
    int8_t At(int file, int rank) const { return Squares[(file - 1) * 8 + (rank - 1)]; }
    void Set(int file, int rank, int8_t piece) { Squares[(file - 1) * 8 + (rank - 1)] = piece; }
    friend bool operator==(const TBoardSnapshot&, const TBoardSnapshot&) = default;
};

// The value names of the snapshot's header words, in the order of TBoardSnapshot::Words.
extern const char* const HeaderWords[8];

// Copies the position and the game's state from the controller: squares, captured pieces,
// kind, state, turn, both players (not their Activity) and the last move's destination.
// Set HeldSquare and HoverSquare first: when both are board squares and differ, HeldMoveLegal
// is worked out on `scratch`, a copy of the game's board, so that the game's own board is never
// touched (the legality test changes a board's Modified flag); otherwise it is false. Input,
// settings, words and activities are left for the caller.
void SnapshotGame(const TChessGame& game, TChessBoard& scratch, TBoardSnapshot& snapshot);
// The snapshot of a bare position: the squares, the captured pieces and the side to move,
// everything else default (no last move, no names, clocks at 0, the default theme).
TBoardSnapshot SnapshotBoard(const TChessBoard& board, uint8_t turn);
