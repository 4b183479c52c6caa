#include "BoardSnapshot.h"

namespace {

int8_t PieceCode(const TPiece* piece) {
    return piece ? static_cast<int8_t>(piece->Colour * 6 + piece->Kind) : NoPiece;
}

void CopyBoard(const TChessBoard& board, TBoardSnapshot& snapshot) {
    for (int file = 1; file <= 8; ++file) {
        for (int rank = 1; rank <= 8; ++rank)
            snapshot.Set(file, rank, PieceCode(board.PieceAt(file, rank)));
    }
    for (const TPieceColour side : { pcWhite, pcBlack }) {
        auto& list = side == pcWhite ? snapshot.CapturedByWhite : snapshot.CapturedByBlack;
        const int count = board.CapturedCount(side);
        list.fill(NoPiece);
        for (int slot = 1; slot <= count && slot <= TChessBoard::MaxCaptured; ++slot) {
            const TPiece* piece = board.Captured(side, slot);
            list[slot - 1] = piece ? static_cast<int8_t>(piece->Kind) : NoPiece;
        }
        (side == pcWhite ? snapshot.CapturedByWhiteCount : snapshot.CapturedByBlackCount) = count;
    }
}

void CopyPlayer(const TPlayer& player, TSnapshotPlayer& snapshot) {
    snapshot.Name = QString::fromStdString(player.Name);
    snapshot.Ready = player.Ready;
    snapshot.Time = player.Time;
    snapshot.Status = player.Status;
}

// Why a game over without check ended: the draw rule the controller applied, else bare kings
// or stalemate, read from the board (a loaded game has no rule applied).
TGameEndReason DrawReasonOf(const TChessGame& game) {
    if (const auto rule = game.DrawByRule())
        return *rule;
    const bool bareKings = game.Board.CapturedCount(pcWhite) == TChessBoard::MaxCaptured
        && game.Board.CapturedCount(pcBlack) == TChessBoard::MaxCaptured;
    return bareKings ? geBareKings : geStalemate;
}

} // namespace

const char* const HeaderWords[8]
    = { "Res01", "Res02", "Res03", "Res04", "Res05", "Res12", "Res13", "Res14" };

void SnapshotGame(const TChessGame& game, TChessBoard& scratch, TBoardSnapshot& snapshot) {
    CopyBoard(game.Board, snapshot);
    snapshot.GameKind = game.GameKind;
    snapshot.GameState = game.GameState;
    snapshot.Turn = game.Turn;
    snapshot.NetworkActive = game.NetworkActive;
    CopyPlayer(game.WhitePlayer, snapshot.Players[pcWhite]);
    CopyPlayer(game.BlackPlayer, snapshot.Players[pcBlack]);
    snapshot.DrawReason = DrawReasonOf(game);
    const TMoveRecord* last = game.Moves.Last();
    snapshot.HasLastMove = last != nullptr;
    snapshot.LastMoveTo = last ? last->To : TPoint {};
    snapshot.LastMoveFrom = last ? last->From : TPoint {};

    const TPoint held = snapshot.HeldSquare;
    const TPoint hover = snapshot.HoverSquare;
    snapshot.HeldMoveLegal = false;
    if (OnBoard(held) && OnBoard(hover) && held != hover) {
        scratch.Assign(game.Board);
        snapshot.HeldMoveLegal = scratch.IsLegalMove(held, hover);
    }
}

TBoardSnapshot SnapshotBoard(const TChessBoard& board, uint8_t turn) {
    TBoardSnapshot snapshot;
    CopyBoard(board, snapshot);
    snapshot.Turn = turn;
    return snapshot;
}
