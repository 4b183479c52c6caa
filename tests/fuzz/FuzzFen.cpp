// FEN text: the reader must refuse what it cannot load, and a position it loads must come back
// unchanged through the writer and survive move generation two plies deep.

#include "FuzzSupport.h"

#include "Fen.h"
#include "Perft.h"

#include <sstream>
#include <string>

namespace {

std::string BoardBytes(const TChessBoard& board) {
    std::ostringstream out;
    board.SaveToStream(out);
    return out.str();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    TChessBoard board;
    TPieceColour side;
    try {
        side = LoadFen(board, text);
    } catch (const EFenError&) {
        return 0;
    }

    const std::string fen = SaveFen(board, side);
    TChessBoard again;
    TPieceColour sideAgain;
    try {
        sideAgain = LoadFen(again, fen);
    } catch (const EFenError& error) {
        FuzzFail("the writer's FEN does not load: " + fen + ": " + error.what());
    }
    if (sideAgain != side || SaveFen(again, sideAgain) != fen)
        FuzzFail("the FEN changes on a second round trip: " + fen);
    if (BoardBytes(again) != BoardBytes(board))
        FuzzFail("the board read back from its FEN differs: " + fen);

    // Every move is executed and taken back; the position must be as it was.
    const std::string before = BoardBytes(board);
    Perft(board, side, 2);
    if (BoardBytes(board) != before)
        FuzzFail("moves taken back leave another position: " + fen);
    return 0;
}
