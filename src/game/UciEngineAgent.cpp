#include "UciEngineAgent.h"

#include "Fen.h"
#include "Perft.h"
#include "PrintableText.h"
#include "UnitChessGame.h"

#include <QFileInfo>
#include <QMetaObject>
#include <QThread>

#include <algorithm>
#include <utility>

namespace {

constexpr char PromotionLetters[] = "?rnbq";

QByteArray SquareText(TPoint p) {
    QByteArray text;
    text += char('a' + p.X - 1);
    text += char('0' + p.Y);
    return text;
}

bool ReadSquare(const QByteArray& text, qsizetype at, TPoint& square) {
    const char file = text[at];
    const char rank = text[at + 1];
    if (file < 'a' || file > 'h' || rank < '1' || rank > '8')
        return false;
    square = MakePoint(file - 'a' + 1, rank - '0');
    return true;
}

// An engine's text in a reason: printable and short.
QString Shown(const QByteArray& text) {
    return "'" + QString::fromStdString(PrintableForLog(text.toStdString(), 40)) + "'";
}

QString Seconds(int milliseconds) {
    return QString::number(milliseconds / 1000.0, 'g', 3) + " s";
}

} // namespace

int WindowEngineThreads() {
    return std::max(1, QThread::idealThreadCount() - 1);
}

TUciEngineAgent::TUciEngineAgent(TPieceColour colour, TUciEngineSetup setup, QObject* parent)
    : TPlayerAgent(colour, parent)
    , m_Setup(std::move(setup))
    , m_Process(this) {
    m_Timer.setSingleShot(true);
    connect(&m_Timer, &QTimer::timeout, this, &TUciEngineAgent::TimedOut);
    connect(&m_Process, &QProcess::readyReadStandardOutput, this, &TUciEngineAgent::ReadOutput);
    connect(&m_Process, &QProcess::errorOccurred, this, &TUciEngineAgent::ProcessError);
    connect(&m_Process, &QProcess::finished, this, &TUciEngineAgent::ProcessFinished);
    connect(&m_Process, &QProcess::started, this, [this] {
        m_Stage = stWaitingUciOk;
        Send("uci");
    });
    m_Process.setStandardErrorFile(QProcess::nullDevice());
    // Started from the event loop, so that a failure to start comes after the owner has
    // connected to the agent's signals.
    QMetaObject::invokeMethod(this, &TUciEngineAgent::Launch, Qt::QueuedConnection);
}

TUciEngineAgent::~TUciEngineAgent() {
    m_Timer.stop();
    disconnect(&m_Process, nullptr, this, nullptr);
    if (m_Process.state() != QProcess::NotRunning) {
        m_Process.write("quit\n");
        m_Process.KillGroup();
        m_Process.waitForFinished(2000);
    }
}

QString TUciEngineAgent::EngineName() const {
    if (!m_IdName.isEmpty())
        return m_IdName;
    if (!m_Setup.Name.isEmpty())
        return m_Setup.Name;
    return QFileInfo(m_Setup.Command).fileName();
}

QByteArray TUciEngineAgent::MovesText(const TMoveList& moves) {
    QByteArray text;
    for (const TMoveRecord* move = moves.First(); move; move = move->Next) {
        if (!text.isEmpty())
            text += ' ';
        text += SquareText(move->From) + SquareText(move->To);
        if ((move->Flags & mrPromotion) && move->PromotionKind >= pkRook
            && move->PromotionKind <= pkQueen)
            text += PromotionLetters[move->PromotionKind];
    }
    return text;
}

QByteArray TUciEngineAgent::PositionCommand(const TChessGame& game) const {
    // The moves from the initial position, unless they do not lead to the board (a position
    // set up without its moves): then the board itself.
    TChessBoard replay;
    bool same = true;
    try {
        for (const TMoveRecord* move = game.Moves.First(); move && same; move = move->Next) {
            same = !(replay.MovePiece(move->From, move->To, true) & mrInvalid);
            if (same && (move->Flags & mrPromotion) && move->PromotionKind >= pkRook
                && move->PromotionKind <= pkQueen)
                replay.Promote(move->To, move->PromotionKind);
        }
    } catch (const ERangeError&) {
        same = false;
    }
    const std::string fen = SaveFen(game.Board, Colour());
    if (!same || SaveFen(replay, Colour()) != fen)
        return "position fen " + QByteArray::fromStdString(fen);
    QByteArray position = "position startpos";
    const QByteArray moves = MovesText(game.Moves);
    if (!moves.isEmpty())
        position += " moves " + moves;
    return position;
}

void TUciEngineAgent::Launch() {
    if (m_Failed)
        return;
    m_Timer.start(m_Setup.ReadyTimeoutMs);
    m_Process.start(m_Setup.Command, m_Setup.Arguments);
}

void TUciEngineAgent::StartTurn(const TChessGame& game) {
    if (m_Failed)
        return;
    m_Board = std::make_unique<TChessBoard>();
    m_Board->Assign(game.Board);
    m_PendingPosition = PositionCommand(game);
    if (m_Stage == stReady)
        SendTurn();
}

void TUciEngineAgent::Cancel() {
    m_PendingPosition.reset();
    if (m_Failed || m_Stage != stThinking)
        return;
    // The move that answers stop is dropped; the next search waits for it.
    Send("stop");
    m_Stage = stStopping;
    m_Timer.start(m_Setup.MoveMarginMs);
}

void TUciEngineAgent::SendTurn() {
    if (!m_NewGameSent) {
        Send("ucinewgame");
        m_NewGameSent = true;
    }
    Send(*m_PendingPosition);
    m_PendingPosition.reset();
    m_LastDepth = 0;
    m_LastScore.reset();
    m_LastMate.reset();
    if (m_Setup.MoveTimeMs > 0) {
        Send("go movetime " + QByteArray::number(m_Setup.MoveTimeMs));
        m_Timer.start(m_Setup.MoveTimeMs + m_Setup.MoveMarginMs);
    } else {
        Send("go depth " + QByteArray::number(std::max(1, m_Setup.Depth)));
        m_Timer.start(m_Setup.DepthTimeoutMs);
    }
    m_Stage = stThinking;
    emit thinkingChanged();
}

void TUciEngineAgent::Send(const QByteArray& command) {
    if (m_Process.state() == QProcess::Running)
        m_Process.write(command + '\n');
}

void TUciEngineAgent::ReadOutput() {
    const QByteArray data = m_Process.readAllStandardOutput();
    if (m_Failed)
        return;
    if (!m_RateWindow.isValid() || m_RateWindow.elapsed() >= 1000) {
        m_RateWindow.start();
        m_BytesInWindow = 0;
    }
    m_BytesInWindow += data.size();
    if (m_BytesInWindow > MaxBytesPerSecond) {
        Fail(QString("writes more than %1 MB a second").arg(MaxBytesPerSecond / (1024 * 1024)));
        return;
    }
    m_Buffer += data;
    qsizetype start = 0;
    for (;;) {
        const qsizetype end = m_Buffer.indexOf('\n', start);
        if (end < 0)
            break;
        if (end - start > MaxLineBytes) {
            Fail(QString("writes a line longer than %1 KB").arg(MaxLineBytes / 1024));
            return;
        }
        HandleLine(m_Buffer.mid(start, end - start));
        if (m_Failed)
            return;
        start = end + 1;
    }
    m_Buffer.remove(0, start);
    if (m_Buffer.size() > MaxLineBytes)
        Fail(QString("writes a line longer than %1 KB").arg(MaxLineBytes / 1024));
}

void TUciEngineAgent::HandleLine(const QByteArray& line) {
    const QList<QByteArray> words = line.simplified().split(' ');
    const QByteArray& command = words.front();
    if (command == "id" && words.size() > 2 && words[1] == "name") {
        m_IdName = QString::fromUtf8(line.simplified().mid(8)).left(80);
    } else if (command == "option" && m_Stage == stWaitingUciOk) {
        const std::optional<TUciOption> option = ParseUciOption(QString::fromUtf8(line));
        if (option && option->Type == TUciOption::Spin
            && option->Name.compare(QLatin1String("Threads"), Qt::CaseInsensitive) == 0)
            m_ThreadsOption = option;
    } else if (command == "uciok" && m_Stage == stWaitingUciOk) {
        bool threadsSet = false;
        for (const auto& [name, value] : m_Setup.Options) {
            Send("setoption name " + name.toUtf8() + " value " + value.toUtf8());
            threadsSet
                = threadsSet || name.compare(QLatin1String("Threads"), Qt::CaseInsensitive) == 0;
        }
        if (m_Setup.DefaultThreads > 0 && m_ThreadsOption && !threadsSet) {
            const int threads = std::clamp(m_Setup.DefaultThreads, m_ThreadsOption->Min,
                std::max(m_ThreadsOption->Min, m_ThreadsOption->Max));
            Send("setoption name " + m_ThreadsOption->Name.toUtf8() + " value "
                + QByteArray::number(threads));
        }
        Send("isready");
        m_Stage = stWaitingReadyOk;
        m_Timer.start(m_Setup.ReadyTimeoutMs);
    } else if (command == "readyok" && m_Stage == stWaitingReadyOk) {
        m_Timer.stop();
        m_Stage = stReady;
        if (m_PendingPosition)
            SendTurn();
    } else if (command == "info" && m_Stage == stThinking) {
        HandleInfo(words);
    } else if (command == "bestmove") {
        HandleBestMove(words);
    }
}

void TUciEngineAgent::HandleInfo(const QList<QByteArray>& words) {
    bool changed = false;
    for (qsizetype i = 1; i + 1 < words.size(); ++i) {
        bool ok = false;
        if (words[i] == "depth") {
            const int depth = words[i + 1].toInt(&ok);
            if (ok) {
                m_LastDepth = depth;
                changed = true;
            }
        } else if (words[i] == "score" && i + 2 < words.size()) {
            if (words[i + 1] == "cp") {
                const int score = words[i + 2].toInt(&ok);
                if (ok) {
                    m_LastScore = score;
                    m_LastMate.reset();
                    changed = true;
                }
            } else if (words[i + 1] == "mate") {
                const int moves = words[i + 2].toInt(&ok);
                m_LastScore.reset();
                m_LastMate = ok ? std::optional<int>(moves) : std::nullopt;
                changed = true;
            }
        }
    }
    if (changed)
        emit thinkingChanged();
}

void TUciEngineAgent::HandleBestMove(const QList<QByteArray>& words) {
    if (m_Stage == stStopping) {
        // The answer to a cancelled search.
        m_Timer.stop();
        m_Stage = stReady;
        if (m_PendingPosition)
            SendTurn();
        return;
    }
    // A move nobody asked for (late, or before any go) is ignored.
    if (m_Stage != stThinking)
        return;
    m_Timer.stop();
    m_Stage = stReady;
    const QByteArray move = words.size() > 1 ? words[1] : QByteArray();
    TPoint from;
    TPoint to;
    if ((move.size() != 4 && move.size() != 5) || !ReadSquare(move, 0, from)
        || !ReadSquare(move, 2, to)
        || (move.size() == 5 && !QByteArray("rnbq").contains(move[4]))) {
        Fail("answered a malformed move " + Shown(move));
        return;
    }
    uint8_t promotion = 0;
    if (move.size() == 5)
        promotion = static_cast<uint8_t>(QByteArray(PromotionLetters).indexOf(move[4]));
    const std::vector<TMoveSquares> legal = LegalMoves(*m_Board, Colour());
    const bool listed = std::any_of(legal.begin(), legal.end(),
        [&](const TMoveSquares& m) { return m.From == from && m.To == to; });
    const TPiece* piece = m_Board->PieceAt(from);
    const bool promotes = piece && piece->Kind == pkPawn && (to.Y == 1 || to.Y == 8);
    if (!listed || promotes != (promotion != 0)) {
        Fail("answered an illegal move " + Shown(move));
        return;
    }
    emit moveChosen(from, to, promotion);
}

void TUciEngineAgent::TimedOut() {
    switch (m_Stage) {
    case stStarting:
    case stWaitingUciOk:
        Fail("did not answer uci within " + Seconds(m_Setup.ReadyTimeoutMs));
        break;
    case stWaitingReadyOk:
        Fail("did not answer isready within " + Seconds(m_Setup.ReadyTimeoutMs));
        break;
    case stThinking:
        Fail("did not answer go within "
            + Seconds(m_Setup.MoveTimeMs > 0 ? m_Setup.MoveTimeMs + m_Setup.MoveMarginMs
                                             : m_Setup.DepthTimeoutMs));
        break;
    case stStopping:
        Fail("did not answer stop within " + Seconds(m_Setup.MoveMarginMs));
        break;
    case stReady:
        break;
    }
}

void TUciEngineAgent::ProcessError(QProcess::ProcessError error) {
    if (error == QProcess::FailedToStart)
        Fail("could not be started (" + m_Process.errorString() + ")");
}

void TUciEngineAgent::ProcessFinished(int exitCode, QProcess::ExitStatus status) {
    if (status == QProcess::CrashExit)
        Fail("crashed");
    else
        Fail(QString("exited with code %1").arg(exitCode));
}

void TUciEngineAgent::Fail(const QString& cause) {
    if (m_Failed)
        return;
    m_Failed = true;
    m_Timer.stop();
    m_PendingPosition.reset();
    disconnect(&m_Process, nullptr, this, nullptr);
    if (m_Process.state() != QProcess::NotRunning) {
        m_Process.KillGroup();
        m_Process.waitForFinished(2000);
    }
    emit failed(EngineName() + ": " + cause);
}
