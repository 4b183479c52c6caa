// host and join: a network player without a window. It plays one game over the real protocol
// through the real controller, its own side chosen by a computer player that the tool drives as a
// person at the board would, and prints what happens, one event a line.

#include "Commands.h"
#include "PrintableText.h"
#include "ShortString.h"
#include "UnitChessGame.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdlib>
#include <iostream>

namespace {

struct TNetworkOptions {
    bool Host = true;
    std::string Address;
    int Port = -1;
    TPieceColour Colour = pcWhite;
    std::string Name;
    int Level = 0;
    int Depth = -1;
    int MaxMoves = 0;
};

const char* const HostUsage = "usage: wintermoot-cli host [--port N] [--colour white|black] "
                              "[--name NAME] [--level L] [--depth D] [--max-moves N]";
const char* const JoinUsage = "usage: wintermoot-cli join ADDRESS [--port N] [--name NAME] "
                              "[--level L] [--depth D]";

// How long a link that has been told to end may take to close before the tool leaves anyway.
constexpr int ClosingPatience = 5000;
constexpr int LinkPollInterval = 50;

TNetworkOptions ParseOptions(const TArgs& args, bool host) {
    const char* usage = host ? HostUsage : JoinUsage;
    TNetworkOptions options;
    options.Host = host;
    options.Name = host ? "Host" : "Guest";
    size_t i = 0;
    if (!host) {
        if (args.empty() || args[0].rfind("--", 0) == 0)
            throw EUsageError(std::string("the host's address is missing\n") + usage);
        options.Address = args[0];
        i = 1;
    }
    for (; i < args.size(); i += 2) {
        const std::string& name = args[i];
        if (i + 1 >= args.size())
            throw EUsageError(name + " needs a value\n" + usage);
        const std::string& value = args[i + 1];
        if (name == "--port")
            options.Port = ParseInt(value, "--port", host ? 0 : 1, 65535);
        else if (name == "--name")
            options.Name = CutUtf8(value, ShortStringMax);
        else if (name == "--level")
            options.Level = ParseInt(value, "--level", 0, 2);
        else if (name == "--depth")
            options.Depth = ParseInt(value, "--depth", 0, 8);
        else if (host && name == "--colour") {
            if (value != "white" && value != "black")
                throw EUsageError("--colour must be white or black, not '" + value + "'");
            options.Colour = value == "white" ? pcWhite : pcBlack;
        } else if (host && name == "--max-moves")
            options.MaxMoves = ParseInt(value, "--max-moves", 1, 65535);
        else
            throw EUsageError("unknown option '" + name + "'\n" + usage);
    }
    return options;
}

const char* ColourName(TPieceColour colour) {
    return colour == pcWhite ? "white" : "black";
}

const char* KindName(uint8_t kind) {
    static const char* const names[] = { "pawn", "rook", "knight", "bishop", "queen", "king" };
    return kind <= pkKing ? names[kind] : "?";
}

class TNetworkPlayer {
public:
    explicit TNetworkPlayer(const TNetworkOptions& options)
        : m_Options(options)
        , m_Thinker(m_ThinkBoard, [this](std::function<void()> f) {
            QMetaObject::invokeMethod(&m_Game, std::move(f), Qt::QueuedConnection);
        }) {
        if (options.Depth >= 0)
            m_Thinker.SetDepth(options.Depth);
        m_Game.GameKind = options.Host ? gkHost : gkClient;
        m_Game.HostColour = options.Colour;
        // Both sides of a network game are persons to the controller; the tool is the person.
        m_Game.WhitePlayer = TPlayer { 0, true, "" };
        m_Game.BlackPlayer = TPlayer { 0, true, "" };
        const TPieceColour nameRecord = options.Host ? options.Colour : pcBlack;
        m_Game.GetPlayer(nameRecord)->Name = options.Name;
        Subscribe();
    }

    int Run() {
        if (m_Options.Port >= 0)
            setenv("WINTERMOOT_PORT", std::to_string(m_Options.Port).c_str(), 1);
        if (!m_Game.Connect(m_Options.Address)) {
            if (m_Options.Host)
                std::cerr << "wintermoot-cli host: cannot listen on port "
                          << TChessGame::NetworkPort() << '\n';
            else
                std::cerr << "wintermoot-cli join: no address to connect to\n";
            return 1;
        }
        if (m_Options.Host)
            std::cout << "listening on " << m_Game.ListeningPort() << std::endl;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [this] {
            if (m_LinkEnding && !m_Game.PeerConnected())
                QCoreApplication::exit(0);
        });
        poll.start(LinkPollInterval);
        QCoreApplication::exec();
        return m_Failed || !m_Finished ? 1 : 0;
    }

private:
    TPieceColour Local() const {
        const auto host = static_cast<TPieceColour>(m_Game.HostColour);
        return m_Options.Host ? host : Opponent(host);
    }

    void Subscribe() {
        QObject::connect(&m_Game, &TChessGame::opponentJoined, [this] {
            // The peer's words reach the terminal only as printable text: no escape sequence of
            // theirs can act on it.
            std::cout << "joined "
                      << PrintableForLog(m_Game.GetPlayer(Opponent(Local()))->Name, 256)
                      << std::endl;
            m_Game.SetReady();
        });
        QObject::connect(&m_Game, &TChessGame::readyChanged, [this] {
            for (TPieceColour colour : { pcWhite, pcBlack }) {
                const bool ready = m_Game.GetPlayer(colour)->Ready;
                if (ready && !m_Ready[colour])
                    std::cout << "ready " << ColourName(colour) << std::endl;
                m_Ready[colour] = ready;
            }
        });
        QObject::connect(&m_Game, &TChessGame::gameStarted, [this] {
            m_Ready[pcWhite] = m_Ready[pcBlack] = false;
            m_Result = grUnfinished;
            std::cout << "started" << std::endl;
            Think();
        });
        QObject::connect(&m_Game, &TChessGame::turnChanged, [this] {
            // Stopped only while the opponent waits for this side, so that no move of its crosses
            // the stop command and both sides end with the same moves.
            if (m_Options.MaxMoves && m_Game.Moves.Count() >= m_Options.MaxMoves
                && m_Game.Turn == Local()) {
                QMetaObject::invokeMethod(
                    &m_Game, [this] { m_Game.StopGame(); }, Qt::QueuedConnection);
                return;
            }
            Think();
        });
        QObject::connect(&m_Game, &TChessGame::movePlayed, [](TPoint from, TPoint to, TMoveResult) {
            std::cout << "move " << SquareName(from) << '-' << SquareName(to) << std::endl;
        });
        QObject::connect(&m_Game, &TChessGame::promoted, [this](TPoint square, TMoveResult) {
            std::cout << "promoted " << SquareName(square) << ' '
                      << KindName(m_Game.Moves.Last()->PromotionKind) << std::endl;
        });
        QObject::connect(&m_Game, &TChessGame::chatReceived, [this](const std::string& text) {
            std::cout << "chat: " << PrintableForLog(text, 4096) << std::endl;
            if (text.rfind("echo: ", 0) != 0)
                m_Game.SendChat("echo: " + text);
        });
        QObject::connect(&m_Game, &TChessGame::undoRequested, [this] {
            std::cout << "undo requested" << std::endl;
            m_Game.AcceptUndo();
        });
        QObject::connect(&m_Game, &TChessGame::moveUndone, [this](TMoveResult) {
            std::cout << "undone" << std::endl;
            Think();
        });
        QObject::connect(
            &m_Game, &TChessGame::gamePaused, [] { std::cout << "paused" << std::endl; });
        QObject::connect(&m_Game, &TChessGame::gameResumed, [this] {
            std::cout << "resumed" << std::endl;
            Think();
        });
        QObject::connect(&m_Game, &TChessGame::gameEnded,
            [this](TGameResult result, TGameEndReason) { m_Result = result; });
        QObject::connect(&m_Game, &TChessGame::gameStopped, [this] { GameStopped(); });
        QObject::connect(&m_Game, &TChessGame::networkError, [this] {
            std::cout << "network error" << std::endl;
            m_Failed = true;
            EndLink();
        });
        // A connection that could not be made ends the run as a failure of the network.
        QObject::connect(&m_Game, &TChessGame::connectFailed, [this] {
            std::cout << "network error" << std::endl;
            m_Failed = true;
            EndLink();
        });
        QObject::connect(&m_Game, &TChessGame::disconnected, [this] {
            std::cout << "disconnected" << std::endl;
            EndLink();
        });
        m_Thinker.OnMoveFound = [this](TChessAI&) { MoveFound(); };
    }

    // Starts a search when the tool's side is to move.
    void Think() {
        if (m_Game.GameState != gsPlaying || m_Game.Turn != Local() || m_Game.PromotionPending())
            return;
        m_ThinkBoard.Assign(m_Game.Board);
        m_ThinkingAt = m_Game.Moves.Count();
        m_Thinker.Think(Local(), m_Options.Level);
    }

    void MoveFound() {
        // A search overtaken by a pause, an undo or the end of the game is dropped; whatever
        // changed the game starts the next one.
        if (m_Game.GameState != gsPlaying || m_Game.Turn != Local()
            || m_Game.Moves.Count() != m_ThinkingAt)
            return;
        const TMoveRecord move = m_Thinker.BestMove();
        const uint16_t before = m_Game.Moves.Count();
        TMoveResult flags = mrInvalid;
        if (OnBoard(move.From) && OnBoard(move.To))
            flags = m_Game.PlayMove(move.From, move.To);
        if ((flags & mrInvalid) || m_Game.Moves.Count() == before) {
            std::cerr << "wintermoot-cli: the computer found no move to play\n";
            m_Failed = true;
            m_Game.StopGame();
            return;
        }
        if ((flags & mrPromotion) && m_Game.PromotionPending())
            m_Game.Promote(pkQueen);
    }

    void GameStopped() {
        m_Thinker.Cancel();
        // A game that ends while the link is up has a result both sides agree on; one whose
        // link went away has not.
        const bool ended = m_Game.PeerConnected();
        std::string result = ResultWords(m_Result);
        if (m_Result == grUnfinished && ended)
            result = "stopped after " + std::to_string(m_Game.Moves.Count()) + " moves";
        std::cout << "result: " << result << std::endl;
        m_Finished = ended;
        // The host ends the link once the game is over; the client waits for it to.
        if (m_Options.Host && ended)
            QMetaObject::invokeMethod(
                &m_Game, [this] { m_Game.Disconnect(); }, Qt::QueuedConnection);
        if (!ended)
            EndLink();
    }

    void EndLink() {
        if (m_LinkEnding)
            return;
        m_LinkEnding = true;
        QTimer::singleShot(ClosingPatience, [] { QCoreApplication::exit(0); });
    }

    TNetworkOptions m_Options;
    TChessGame m_Game;
    TChessBoard m_ThinkBoard;
    TChessAI m_Thinker;
    uint16_t m_ThinkingAt = 0;
    // The result of the game under way, from the controller once it has one.
    TGameResult m_Result = grUnfinished;
    bool m_Ready[2] = { false, false };
    bool m_Finished = false;
    bool m_Failed = false;
    bool m_LinkEnding = false;
};

int RunNetworkPlayer(const TNetworkOptions& options) {
    int argc = 1;
    char name[] = "wintermoot-cli";
    char* argv[] = { name, nullptr };
    QCoreApplication app(argc, argv);
    TNetworkPlayer player(options);
    return player.Run();
}

} // namespace

int CmdHost(const TArgs& args) {
    return RunNetworkPlayer(ParseOptions(args, true));
}

int CmdJoin(const TArgs& args) {
    return RunNetworkPlayer(ParseOptions(args, false));
}
