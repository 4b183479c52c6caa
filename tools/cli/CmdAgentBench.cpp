// bench-agent: how the window's event loop fares while UCI engines play through the controller.
// A 1 ms timer stands for the window: each tick takes a snapshot of the game and draws the board
// view, as a repaint does. The figures are the gaps between ticks (how long input would wait)
// and the frame times, first with no game, then while two engines search, then around an engine
// killed with SIGKILL in the middle of a search, and around a game stopped mid-search.

#include "Commands.h"

#include "BoardSnapshot.h"
#include "BoardView.h"
#include "UciEngineAgent.h"
#include "UnitChessGame.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <vector>

namespace {

struct TPhase {
    std::vector<double> Gaps;
    std::vector<double> Frames;
};

double Percentile(std::vector<double> values, double fraction) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t index = std::min(values.size() - 1, static_cast<size_t>(fraction * values.size()));
    return values[index];
}

double Mean(const std::vector<double>& values) {
    double total = 0;
    for (double value : values)
        total += value;
    return values.empty() ? 0 : total / static_cast<double>(values.size());
}

// The processes this program started: the children of each of its threads.
std::vector<pid_t> ChildProcesses() {
    std::vector<pid_t> children;
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile file(tasks.filePath(task) + QStringLiteral("/children"));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray& word : file.readAll().split(' ')) {
            bool ok = false;
            const int pid = word.trimmed().toInt(&ok);
            if (ok && pid > 0)
                children.push_back(pid);
        }
    }
    return children;
}

void PrintPhase(const char* name, const TPhase& phase, const char* note = "") {
    std::printf("%-30s %7zu %8.3f %8.3f %8.3f %9.4f %9.4f  %s\n", name, phase.Gaps.size(),
        Percentile(phase.Gaps, 0.5), Percentile(phase.Gaps, 0.99),
        phase.Gaps.empty() ? 0.0 : *std::max_element(phase.Gaps.begin(), phase.Gaps.end()),
        Mean(phase.Frames),
        phase.Frames.empty() ? 0.0 : *std::max_element(phase.Frames.begin(), phase.Frames.end()),
        note);
}

} // namespace

int CmdAgentBench(const TArgs& args) {
    std::string command;
    TArgs numbers;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--engine") {
            if (i + 1 >= args.size())
                throw EUsageError("--engine needs a command");
            command = args[++i];
        } else {
            numbers.push_back(args[i]);
        }
    }
    int movetime = 500;
    int seconds = 4;
    ParseIntOptions(
        numbers, { { "--movetime", &movetime, 10, 60000 }, { "--seconds", &seconds, 1, 600 } });

    return RunWithGui([&] {
        if (command.empty())
            command
                = (QCoreApplication::applicationDirPath() + QStringLiteral("/wintermoot-engine"))
                      .toStdString();
        TUciEngineSetup setup;
        setup.Name = QString::fromStdString(command);
        setup.Command = setup.Name;
        setup.MoveTimeMs = movetime;

        TChessGame game;
        game.WhitePlayer = TPlayer { 0, false, "Engine A" };
        game.BlackPlayer = TPlayer { 0, false, "Engine B" };
        game.SetAgentFactory(
            [&](TPieceColour colour) { return std::make_unique<TUciEngineAgent>(colour, setup); });
        QString failure;
        QObject::connect(&game, &TChessGame::playerFailed,
            [&](TPieceColour, const QString& why) { failure = why; });

        TBoardView view;
        TBoardSnapshot snapshot;
        if (!view.Pieces.LoadChessSet(3, 0, 0xFFFFFF, 0x808080, snapshot.Theme.Board)) {
            std::cerr << "wintermoot-cli bench-agent: piece set 3 is missing\n";
            return 1;
        }
        TChessBoard scratch;
        QImage buffer;

        TPhase* phase = nullptr;
        QElapsedTimer clock;
        clock.start();
        qint64 last = clock.nsecsElapsed();
        QTimer tick;
        tick.setTimerType(Qt::PreciseTimer);
        tick.setInterval(1);
        QObject::connect(&tick, &QTimer::timeout, [&] {
            const qint64 now = clock.nsecsElapsed();
            if (phase)
                phase->Gaps.push_back((now - last) / 1e6);
            const qint64 start = clock.nsecsElapsed();
            SnapshotGame(game, scratch, snapshot);
            view.DrawBoard(snapshot, buffer, 1);
            if (phase)
                phase->Frames.push_back((clock.nsecsElapsed() - start) / 1e6);
            last = clock.nsecsElapsed();
        });
        tick.start();

        // Runs the event loop for `ms` or until `done` answers true, recording into `into`.
        const auto run = [&](TPhase& into, int ms, const std::function<bool()>& done = {}) {
            phase = &into;
            last = clock.nsecsElapsed();
            QElapsedTimer spent;
            spent.start();
            while (spent.elapsed() < ms && !(done && done()))
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
            phase = nullptr;
        };

        std::printf("engine: %s, %d ms a move\n", command.c_str(), movetime);
        std::printf("%-30s %7s %8s %8s %8s %9s %9s\n", "phase", "ticks", "gap p50", "gap p99",
            "gap max", "frame ms", "frame max");
        TPhase idle;
        run(idle, 1000);
        PrintPhase("no game", idle);

        TPhase searching;
        game.StartGame();
        run(searching, seconds * 1000, [&] { return game.GameState != gsPlaying; });
        char note[96];
        std::snprintf(note, sizeof note, "%d moves played", game.Moves.Count());
        PrintPhase("two engines searching", searching, note);
        if (!failure.isEmpty()) {
            std::cerr << "wintermoot-cli bench-agent: " << failure.toStdString() << '\n';
            return 1;
        }

        // Kill the engine that is searching, half-way through its move.
        TPhase killed;
        run(killed, movetime / 2);
        const std::vector<pid_t> children = ChildProcesses();
        for (pid_t child : children)
            ::kill(child, SIGKILL);
        QElapsedTimer reported;
        reported.start();
        run(killed, 3000, [&] { return !failure.isEmpty(); });
        const qint64 toReport = reported.elapsed();
        run(killed, 200);
        std::snprintf(note, sizeof note, "%zu killed, failure after %lld ms", children.size(),
            static_cast<long long>(toReport));
        PrintPhase("engine killed mid-search", killed, note);

        // A new game, stopped while an engine searches: the agents end their processes.
        failure.clear();
        TPhase stopped;
        game.StartGame();
        run(stopped, movetime / 2);
        QElapsedTimer stopping;
        stopping.start();
        game.StopGame();
        const double stopMs = stopping.nsecsElapsed() / 1e6;
        run(stopped, 300);
        std::snprintf(note, sizeof note, "StopGame took %.2f ms", stopMs);
        PrintPhase("game stopped mid-search", stopped, note);
        tick.stop();
        return 0;
    });
}
