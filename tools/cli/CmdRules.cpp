#include "Commands.h"
#include "Perft.h"

#include <chrono>
#include <iostream>

int CmdLegal(const TArgs& args) {
    if (args.size() != 1)
        throw EUsageError("usage: wintermoot-cli legal FEN");
    TChessBoard board;
    const TPieceColour side = SetUpFen(board, args[0]);
    for (const TMoveSquares& m : LegalMoves(board, side))
        std::cout << MoveText(m.From, m.To) << '\n';
    return 0;
}

int CmdPerft(const TArgs& args) {
    if (args.size() != 2)
        throw EUsageError("usage: wintermoot-cli perft FEN DEPTH");
    TChessBoard board;
    const TPieceColour side = SetUpFen(board, args[0]);
    const int depth = ParseInt(args[1], "DEPTH", 0, 12);
    const auto start = std::chrono::steady_clock::now();
    const uint64_t nodes = Perft(board, side, depth);
    const double seconds
        = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::cerr << "perft " << depth << ": " << seconds << " s\n";
    std::cout << nodes << '\n';
    return 0;
}
