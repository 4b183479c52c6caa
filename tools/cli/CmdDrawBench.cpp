#include "Commands.h"

#include "BoardView.h"
#include "UnitChessGame.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <iostream>
#include <vector>

namespace {

// A middle game with captures on both sides: 1. e4 e5 2. Nf3 Nc6 3. d4 exd4 4. Nxd4 Nxd4
// 5. Qxd4 Nf6 6. Bc4 Bc5 7. Qxc5 d6 8. Qb4 Nxe4 9. Bxf7+ Kxf7 10. Qxe4.
const char* const BenchMoves[] = { "e2e4", "e7e5", "g1f3", "b8c6", "d2d4", "e5d4", "f3d4", "c6d4",
    "d1d4", "g8f6", "f1c4", "f8c5", "d4c5", "d7d6", "c5b4", "f6e4", "c4f7", "e8f7", "b4e4" };

double Milliseconds(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

struct TTiming {
    double Mean = 0;
    double Min = 0;
};

template <typename F> TTiming Time(int frames, F&& frame) {
    TTiming timing;
    double total = 0;
    for (int i = 0; i < frames; ++i) {
        const auto start = std::chrono::steady_clock::now();
        frame(i);
        const double ms = Milliseconds(start);
        total += ms;
        timing.Min = i == 0 ? ms : std::min(timing.Min, ms);
    }
    timing.Mean = total / frames;
    return timing;
}

// The processor time of the whole process (all of Qt's drawing threads), in milliseconds: on a
// busy machine a frame's wall time also counts the time others had the processor.
double ProcessMilliseconds() {
    timespec now {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

// Times of single frames, in milliseconds: wall time, and the median of processor time.
struct TFrameTimes {
    double First = 0;
    double Median = 0;
    double Worst = 0;
    double CpuMedian = 0;
    double CpuWorst = 0;
};

// The first frame (which prepares the images for a new size) is told apart; the median and the
// worst are of the frames after it.
template <typename F> TFrameTimes TimeFrames(int frames, F&& frame) {
    TFrameTimes times;
    std::vector<double> all;
    std::vector<double> cpu;
    all.reserve(frames);
    cpu.reserve(frames);
    for (int i = 0; i <= frames; ++i) {
        const double cpuStart = ProcessMilliseconds();
        const auto start = std::chrono::steady_clock::now();
        frame(i);
        const double ms = Milliseconds(start);
        if (i == 0) {
            times.First = ms;
            continue;
        }
        all.push_back(ms);
        cpu.push_back(ProcessMilliseconds() - cpuStart);
    }
    std::sort(all.begin(), all.end());
    std::sort(cpu.begin(), cpu.end());
    times.Median = all[all.size() / 2];
    times.Worst = all.back();
    times.CpuMedian = cpu[cpu.size() / 2];
    times.CpuWorst = cpu.back();
    return times;
}

// The smallest view whose squares are `square` pixels.
int ViewSizeForSquare(int square) {
    return (square * BoardGeometry::ViewSize + BoardGeometry::SquareSize - 1)
        / BoardGeometry::SquareSize;
}

} // namespace

int CmdDrawBench(const TArgs& args) {
    int frames = 2000;
    int set = 3;
    ParseIntOptions(
        args, { { "--frames", &frames, 1, 1000000 }, { "--set", &set, 1, PieceSetCount } });

    TChessBoard board;
    board.Reset();
    TPoint lastTo;
    for (const char* move : BenchMoves) {
        const std::string text(move);
        const TPoint from = ParseSquare(text.substr(0, 2));
        lastTo = ParseSquare(text.substr(2, 2));
        if (board.MovePiece(from, lastTo, true) & mrInvalid) {
            std::cerr << "wintermoot-cli bench-draw: the bench game's move " << text
                      << " is refused\n";
            return 1;
        }
    }

    return RunWithGui([&] {
        TChessGame game;
        game.Board.Assign(board);
        game.Moves.Add(pkQueen, MakePoint(2, 4), lastTo, 0, mrCapture);
        game.Turn = pcBlack;
        game.GameState = gsPlaying;
        game.WhitePlayer.Name = "White player";
        game.BlackPlayer.Name = "Black player";
        game.WhitePlayer.Time = 605;
        game.BlackPlayer.Time = 59;

        // Black's queen picked up from d8, grabbed at (20, 25) inside its square, and carried
        // over e7 with learn mode on.
        TBoardSnapshot snapshot;
        snapshot.HeldSquare = MakePoint(4, 8);
        snapshot.HoverSquare = MakePoint(5, 7);
        snapshot.GrabOffset = { 20, 25 };
        snapshot.MousePos = { 18 + 4 * 54 + 30, 56 + 1 * 54 + 30 };
        TChessBoard scratch;
        SnapshotGame(game, scratch, snapshot);
        snapshot.Players[pcBlack].Activity = QStringLiteral("Thinking... 12/31");

        TBoardView view;
        if (!view.Pieces.LoadChessSet(set, 0, 0xFFFFFF, 0x808080, snapshot.Theme.Board)) {
            std::cerr << "wintermoot-cli bench-draw: piece set " << set
                      << " is missing from the program's resources\n";
            return 1;
        }
        QImage buffer;
        std::printf("%-24s %8s %10s %10s\n", "frame", "frames", "mean ms", "min ms");
        struct TStyle {
            const char* Name;
            bool Enhanced;
            qreal Ratio;
        };
        for (const TStyle& style :
            { TStyle { "draw, traditional", false, 1 }, TStyle { "draw, enhanced", true, 1 },
                TStyle { "draw, traditional, x2", false, 2 } }) {
            snapshot.Enhanced = style.Enhanced;
            // The clock ticks now and then, as in a game, so its text is rebuilt.
            const TTiming t = Time(frames, [&](int i) {
                snapshot.Players[pcBlack].Time = 59 + i / 33;
                view.DrawBoard(snapshot, buffer, style.Ratio);
            });
            std::printf("%-24s %8d %10.4f %10.4f\n", style.Name, frames, t.Mean, t.Min);
        }
        // The smooth pieces: loading the set and its first frame (every piece rendered at its
        // size), then frames from the rendered pieces.
        snapshot.Enhanced = false;
        for (const qreal ratio : { 1.0, 2.0 }) {
            const bool single = ratio == 1.0;
            const TTiming first = Time(1, [&](int) {
                view.Pieces.LoadChessSet(set, 0, 0xFFFFFF, 0x808080, snapshot.Theme.Board, true);
                view.DrawBoard(snapshot, buffer, ratio);
            });
            std::printf("%-24s %8d %10.4f %10.4f\n",
                single ? "smooth, load and frame" : "smooth, load and frame x2", 1, first.Mean,
                first.Min);
            const TTiming t = Time(frames, [&](int i) {
                snapshot.Players[pcBlack].Time = 59 + i / 33;
                view.DrawBoard(snapshot, buffer, ratio);
            });
            std::printf("%-24s %8d %10.4f %10.4f\n",
                single ? "smooth, traditional" : "smooth, traditional, x2", frames, t.Mean, t.Min);
        }
        const TTiming t = Time(frames, [&](int) { SnapshotGame(game, scratch, snapshot); });
        std::printf("%-24s %8d %10.4f %10.4f\n", "snapshot, learn mode", frames, t.Mean, t.Min);

        // The view at larger sizes, the held queen following the mouse a pixel a frame.
        const int sizedFrames = std::max(1, frames / 4);
        std::printf("\n%-8s %6s %6s %8s %10s %10s %10s %10s %10s\n", "square", "view", "ratio",
            "frames", "first ms", "median ms", "worst ms", "cpu med", "cpu worst");
        snapshot.Enhanced = false;
        for (const int square : { 54, 90, 120 }) {
            const TBoardLayout layout = TBoardLayout::ForSize(ViewSizeForSquare(square));
            const TPoint origin = layout.SquareOrigin(MakePoint(5, 7), false);
            snapshot.GrabOffset = { square * 20 / 54, square * 25 / 54 };
            for (const qreal ratio : { 1.0, 2.0 }) {
                // As the window draws: the whole view first, then what changed since the last
                // frame.
                QImage sized;
                TBoardSnapshot last;
                const TFrameTimes f = TimeFrames(sizedFrames, [&](int i) {
                    snapshot.Players[pcBlack].Time = 59 + i / 33;
                    snapshot.MousePos = { origin.X + square / 2 + i % 16, origin.Y + square / 2 };
                    view.DrawBoard(
                        snapshot, sized, ratio, layout.ViewSize, i > 0 ? &last : nullptr);
                    last = snapshot;
                });
                std::printf("%-8d %6d %6.1f %8d %10.4f %10.4f %10.4f %10.4f %10.4f\n", square,
                    layout.ViewSize, ratio, sizedFrames, f.First, f.Median, f.Worst, f.CpuMedian,
                    f.CpuWorst);
            }
        }
        return 0;
    });
}
