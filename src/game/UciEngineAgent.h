#pragma once

// A UCI engine run as a child process, as the agent of one side. Everything is driven from the
// event loop: the agent never waits for the engine. An engine that is missing, does not answer in
// time, exits, answers a move that is not legal or not a move, or writes more than the agent is
// willing to read is killed, and the agent reports it once through `failed`.

#include "EngineCatalog.h"
#include "EngineProcess.h"
#include "PlayerAgent.h"
#include "UnitChessBoard.h"
#include "UnitMoveList.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QPair>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QVector>

#include <memory>
#include <optional>

// The threads an engine the window starts is given by default: one core is left to the window.
int WindowEngineThreads();

struct TUciEngineSetup {
    // Shown in failure reasons until the engine names itself; the command when empty.
    QString Name;
    QString Command;
    QStringList Arguments;
    // Sent as setoption before the first isready.
    QVector<QPair<QString, QString>> Options;
    // When above 0 and Options sets no "Threads": the value sent for the engine's Threads option,
    // if it offers one (kept within the option's bounds).
    int DefaultThreads = 0;
    // The limit of each move: a fixed time when MoveTimeMs > 0, else a fixed depth.
    int MoveTimeMs = 0;
    int Depth = 0;
    // How long the engine may take to answer uci and isready.
    int ReadyTimeoutMs = 10000;
    // Time allowed beyond the move time before a search counts as hung, and the fixed limit of a
    // search to a depth.
    int MoveMarginMs = 5000;
    int DepthTimeoutMs = 120000;
};

class TUciEngineAgent : public TPlayerAgent {
    Q_OBJECT

public:
    // The longest line the agent keeps; a longer one is a fault.
    static constexpr qsizetype MaxLineBytes = 64 * 1024;
    // The most output the agent reads in one second; more is a fault.
    static constexpr qint64 MaxBytesPerSecond = 4 * 1024 * 1024;

    // Starts the engine from the event loop, once the agent has been handed over.
    TUciEngineAgent(TPieceColour colour, TUciEngineSetup setup, QObject* parent = nullptr);
    ~TUciEngineAgent() override;

    void StartTurn(const TChessGame& game) override;
    void Cancel() override;
    bool IsComputer() const override { return true; }

    // The engine's own name once it has given one, else the name it was set up with.
    QString EngineName() const;
    // The last search report of the current or last search: its depth and score in centipawns
    // from the engine's side, or the moves to a mate it reports (negative when it is mated)
    // instead. Zero and none before any report.
    int LastDepth() const { return m_LastDepth; }
    std::optional<int> LastScore() const { return m_LastScore; }
    std::optional<int> LastMate() const { return m_LastMate; }
    bool HasFailed() const { return m_Failed; }
    // A search of this agent's turn is running (not one being stopped).
    bool IsSearching() const { return m_Stage == stThinking; }

    // The move text of the move list's moves for a position command ("e2e4 e7e8q").
    static QByteArray MovesText(const TMoveList& moves);

signals:
    void thinkingChanged();

private:
    enum TStage { stStarting, stWaitingUciOk, stWaitingReadyOk, stReady, stThinking, stStopping };

    QByteArray PositionCommand(const TChessGame& game) const;
    void Launch();
    void ReadOutput();
    void HandleLine(const QByteArray& line);
    void HandleInfo(const QList<QByteArray>& words);
    void HandleBestMove(const QList<QByteArray>& words);
    void SendTurn();
    void Send(const QByteArray& command);
    void Fail(const QString& cause);
    void TimedOut();
    void ProcessError(QProcess::ProcessError error);
    void ProcessFinished(int exitCode, QProcess::ExitStatus status);

    TUciEngineSetup m_Setup;
    QString m_IdName;
    TEngineProcess m_Process;
    QTimer m_Timer;
    TStage m_Stage = stStarting;
    bool m_Failed = false;
    bool m_NewGameSent = false;
    // A turn asked for and not yet sent (the engine is starting, or a cancelled search has not
    // given its move yet): the position command and the side it is for.
    std::optional<QByteArray> m_PendingPosition;
    QByteArray m_Buffer;
    QElapsedTimer m_RateWindow;
    qint64 m_BytesInWindow = 0;
    int m_LastDepth = 0;
    std::optional<int> m_LastScore;
    std::optional<int> m_LastMate;
    // The engine's Threads option, as it announced it.
    std::optional<TUciOption> m_ThreadsOption;
    // The position of the turn asked for, to check the engine's move against.
    std::unique_ptr<TChessBoard> m_Board;
};
