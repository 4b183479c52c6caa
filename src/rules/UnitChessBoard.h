#pragma once

// A chess position with its pieces, captured lists, king squares and en passant state, and the
// rules that test, execute and take back moves on it. Squares outside 1..8 passed to any
// operation that needs a real square raise ERangeError and change nothing.

#include "UnitChessPiece.h"
#include "UnitMoveList.h"

#include <array>
#include <iosfwd>
#include <memory>
#include <vector>

class TChessBoard {
public:
    static constexpr int MaxCaptured = 15;

    TChessBoard();
    ~TChessBoard();
    TChessBoard(const TChessBoard&) = delete;
    TChessBoard& operator=(const TChessBoard&) = delete;

    void Clear();
    void Reset();
    void Assign(const TChessBoard& source);

    const TPiece* PieceAt(int32_t x, int32_t y) const;
    TPiece* PieceAt(int32_t x, int32_t y);
    const TPiece* PieceAt(TPoint p) const { return PieceAt(p.X, p.Y); }
    // The piece on square (x - 1) * 8 + (y - 1) for an index 0..63 the caller keeps in range; for
    // loops over the whole board that must be cheap.
    const TPiece* PieceAtIndex(int index) const { return m_Squares[size_t(index)].get(); }
    TPiece* PieceAt(TPoint p) { return PieceAt(p.X, p.Y); }
    // Places the piece, freeing any piece on the square; false (and nothing changed) for none.
    // An off-board square raises ERangeError and leaves the piece with the caller.
    bool PutPiece(int32_t x, int32_t y, std::unique_ptr<TPiece>&& piece);
    // Removes and returns the piece on the square; none for an empty square.
    std::unique_ptr<TPiece> TakePiece(int32_t x, int32_t y);
    // Moves the piece into the list of the side that took it. On success the list owns it and
    // `piece` is empty; on failure (no piece, list full) `piece` keeps it.
    bool AddCaptured(std::unique_ptr<TPiece>& piece);
    std::unique_ptr<TPiece> PopCaptured(TPieceColour capturingSide);
    // Slot 1..CapturedCount of the pieces taken by the given side.
    const TPiece* Captured(TPieceColour capturingSide, int slot) const;
    int CapturedCount(TPieceColour capturingSide) const;
    TPoint KingSquare(TPieceColour colour) const {
        return colour == pcWhite ? WhiteKing : BlackKing;
    }

    // Board section of a saved game. Loading reads everything into temporaries first and throws
    // EStreamError for a short stream or bad values, leaving the board unchanged. An en passant
    // flag whose pawn is not on LastMoveTo is read as clear.
    void LoadFromStream(std::istream& in);
    void SaveToStream(std::ostream& out) const;

    // Move rules.
    bool CanReach(TPoint from, TPoint to) const;
    bool IsLegalMove(TPoint from, TPoint to);
    bool IsAttacked(int32_t x, int32_t y, TPieceColour colour) const;
    bool IsDefended(int32_t x, int32_t y, TPieceColour colour);
    bool InCheck(TPieceColour colour) const;
    bool CanMove(int32_t x, int32_t y);
    bool HasNoLegalMove(TPieceColour colour);
    bool CanCastle(TPieceColour colour, bool queenside) const;
    TMoveResult MovePiece(TPoint from, TPoint to, bool validate);
    TMoveResult Promote(TPoint square, uint8_t kind);
    // Takes back the last move executed on this board. The board remembers what each of its
    // moves changed (an en passant capture, the previous en passant state); for a move it did
    // not execute itself (after a load) the move before it, when given, tells the same.
    TMoveResult UndoMove(
        TPoint from, TPoint to, TMoveResult flags, const TMoveRecord* previousMove = nullptr);

    TPoint WhiteKing;
    TPoint BlackKing;
    bool EnPassant = false;
    TPoint LastMoveTo;
    bool Modified = false;

private:
    struct TUndoEntry {
        TPoint From;
        TPoint To;
        bool PreviousEnPassant;
        TPoint PreviousLastMoveTo;
        bool EnPassantCapture;
    };

    using TPieceSlot = std::unique_ptr<TPiece>;
    TPieceSlot& Slot(int32_t x, int32_t y) { return m_Squares[(x - 1) * 8 + (y - 1)]; }
    const TPieceSlot& Slot(int32_t x, int32_t y) const { return m_Squares[(x - 1) * 8 + (y - 1)]; }
    bool IsEnPassantCapture(TPoint from, TPoint to) const;
    void MoveReference(TPoint from, TPoint to);

    std::array<TPieceSlot, 64> m_Squares;
    std::array<TPieceSlot, MaxCaptured> m_CapturedByWhite;
    std::array<TPieceSlot, MaxCaptured> m_CapturedByBlack;
    int32_t m_CapturedByWhiteCount = 0;
    int32_t m_CapturedByBlackCount = 0;
    std::vector<TUndoEntry> m_History;
};

// Throws ERangeError unless the square is on the board.
void CheckSquare(int32_t x, int32_t y);
