#include "TestPositions.h"

#include "Fen.h"
#include "Perft.h"
#include "RandomGame.h"

#include <random>
#include <sstream>

const char* const PublishedFens[] = {
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R b KQkq - 0 1",
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
    "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1",
    "r2q1rk1/pP1p2pp/Q4n2/bbp1p3/Np6/1B3NBn/pPPP1PPP/R3K2R b KQ - 0 1",
    "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8",
    "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10",
    "rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPP1PPP/RNBQKBNR w KQkq f6 0 3",
    "rnbqkbnr/pppp1ppp/8/8/3Pp3/8/PPP1PPPP/RNBQKBNR b KQkq d3 0 2",
    "8/8/3p4/KPp4r/1R3p1k/8/4P1P1/8 w - c6 0 2",
    "3k4/3p4/8/K1P4r/8/8/8/8 b - - 0 1",
    "8/8/4k3/8/2p5/8/B2P2K1/8 w - - 0 1",
    "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1",
    "r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1",
    "r3k2r/8/8/8/8/8/8/2R1K2R b Kkq - 0 1",
    "4k3/8/8/8/8/8/8/4K2R w K - 0 1",
    "4k3/8/8/8/8/8/8/R3K3 w Q - 0 1",
    "r3k2r/8/3Q4/8/8/5q2/8/R3K2R b KQkq - 0 1",
    "2k5/P7/8/8/8/8/8/7K w - - 0 1",
    "7k/8/8/8/8/8/p7/K7 b - - 0 1",
    "rnbqkbnr/pppp1ppp/8/4p3/6P1/5P2/PPPPP2P/RNBQKBNR b KQkq - 0 2",
    "rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq - 1 3",
    "7k/5Q2/6K1/8/8/8/8/8 b - - 0 1",
    "k7/8/1Q6/8/8/8/8/7K b - - 0 1",
    "6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1",
    "4k3/8/8/2pP4/8/8/8/4K3 w - c6 0 2",
    "8/8/8/1k6/3Pp3/8/8/4KQ2 b - d3 0 1",
    "8/8/8/8/k2Pp2Q/8/8/4K3 b - d3 0 1",
    "1k6/1b6/8/8/7R/8/8/4K2R b K - 0 1",
    "n1n5/PPPk4/8/8/8/8/4Kppp/5N1N b - - 0 1",
    "2K2r2/4P3/8/8/8/8/8/3k4 w - - 0 1",
    "8/P1k5/K7/8/8/8/8/8 w - - 0 1",
    "4k3/8/8/3pP3/4K3/8/8/8 w - d6 0 2",
    "8/8/8/8/2k5/8/3P4/4K3 w - - 0 1",
    "8/8/8/5k2/4Pp2/8/8/4K3 b - e3 0 1",
    "r1bqkb1r/pppp1Qpp/2n2n2/4p3/2B1P3/8/PPPP1PPP/RNB1K1NR b KQkq - 0 4",
};
const int PublishedFenCount = int(sizeof(PublishedFens) / sizeof(PublishedFens[0]));

namespace {

TTestPosition Snapshot(const TChessBoard& board, TPieceColour toMove, std::string origin,
    bool promotionPending = false) {
    TTestPosition position;
    position.Board = std::make_unique<TChessBoard>();
    position.Board->Assign(board);
    position.ToMove = toMove;
    position.Origin = std::move(origin);
    position.PromotionPending = promotionPending;
    return position;
}

} // namespace

std::vector<TTestPosition> MakeTestPositions(int count, uint32_t seed) {
    std::vector<TTestPosition> positions;
    for (int i = 0; i < PublishedFenCount && int(positions.size()) < count; ++i) {
        TChessBoard board;
        const TPieceColour toMove = LoadFen(board, PublishedFens[i]);
        positions.push_back(Snapshot(board, toMove, PublishedFens[i]));
    }
    std::mt19937 rng(seed);
    for (int game = 0; int(positions.size()) < count; ++game) {
        TChessBoard board;
        const char* start = PublishedFens[game % 3 == 0 ? 0 : game % PublishedFenCount];
        TPieceColour toMove = LoadFen(board, start);
        const std::string origin = "game " + std::to_string(game) + " from " + start;
        for (int ply = 0; ply < 160 && int(positions.size()) < count; ++ply) {
            const std::vector<TMoveSquares> moves = LegalMoves(board, toMove);
            // Every sixth position or so, and always the interesting ones.
            const bool wanted
                = rng() % 6 == 0 || moves.empty() || board.EnPassant || board.InCheck(toMove);
            if (wanted)
                positions.push_back(
                    Snapshot(board, toMove, origin + ", ply " + std::to_string(ply)));
            if (moves.empty())
                break;
            const TMoveSquares move = PickRandomMove(board, moves, rng, mpCaptures);
            TMoveResult flags = board.MovePiece(move.From, move.To, true);
            if (flags & mrPromotion) {
                if (rng() % 4 == 0 && int(positions.size()) < count)
                    positions.push_back(Snapshot(board, Opponent(toMove),
                        origin + ", ply " + std::to_string(ply) + ", promotion pending", true));
                flags |= board.Promote(move.To, RandomPromotion(rng));
            }
            toMove = Opponent(toMove);
            if (flags & mrGameOver) {
                if (int(positions.size()) < count)
                    positions.push_back(Snapshot(board, toMove,
                        origin + ", ply " + std::to_string(ply + 1) + ", game over"));
                break;
            }
        }
    }
    return positions;
}

std::string Describe(const TTestPosition& position) {
    return SaveFen(*position.Board, position.ToMove) + " (" + position.Origin + ")";
}

std::string CandidateText(const TMoveList& list) {
    std::ostringstream out;
    for (const TMoveRecord* m = list.First(); m; m = m->Next)
        out << SquareName(m->From) << SquareName(m->To) << ' ' << m->Score << ' ' << int(m->Kind)
            << '\n';
    return out.str();
}
