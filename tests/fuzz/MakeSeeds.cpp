// Writes the seed corpora of the fuzz targets with the program's own writers: saved games and
// histories of games played through the controller, settings and themes files, the streams each
// side of a network game reads, the server's answers and requests, and FEN positions.
// Usage: fuzz_make_seeds <corpus folder> (one subfolder per target is filled).

#include "FuzzSupport.h"

#include "Fen.h"
#include "NetworkMessages.h"
#include "Perft.h"
#include "RandomGame.h"
#include "Settings.h"
#include "StreamIO.h"
#include "UnitChessGame.h"
#include "UnitHistory.h"
#include "UnitThemes.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstdio>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

QString Root;

void Put(const char* target, const QString& name, const std::string& bytes) {
    const QString dir = Root + QLatin1Char('/') + QLatin1String(target);
    QDir().mkpath(dir);
    QFile file(dir + QLatin1Char('/') + name);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || file.write(bytes.data(), qint64(bytes.size())) != qint64(bytes.size()))
        FuzzFail("cannot write " + file.fileName().toStdString());
}

std::string FileBytes(const QString& path) {
    return ReadScratch(path);
}

const char* const Positions[] = {
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
    "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1",
    "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8",
    "rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPP1PPP/RNBQKBNR w KQkq f6 0 3",
    "rnbqkbnr/pppp1ppp/8/8/3Pp3/8/PPP1PPPP/RNBQKBNR b KQkq d3 0 2",
    "7k/5Q2/6K1/8/8/8/8/8 b - - 0 1",
    "6k1/5ppp/8/8/8/8/5PPP/3R2K1 b - - 0 1",
    "4k3/1P6/8/8/8/8/6p1/4K3 w - - 0 1",
    "r3k3/8/8/8/8/8/8/4K2R b Kq - 5 20",
    "8/8/8/8/8/8/8/k1K5 w - -",
};

// Plays random legal moves between two people on the controller; promotions are to a piece the
// seed picks, or left waiting at the very end when `leavePromotion` is set.
void PlayRandomMoves(TChessGame& game, uint32_t seed, int plies, bool leavePromotion = false) {
    std::mt19937 rng(seed);
    for (int ply = 0; ply < plies; ++ply) {
        const std::vector<TMoveSquares> moves = LegalMoves(game.Board, game.Turn);
        if (moves.empty())
            return;
        // Pawn moves first, so that short games reach promotions.
        const TMoveSquares move = PickRandomMove(game.Board, moves, rng, mpPawns);
        game.PlayMove(move.From, move.To);
        if (game.PromotionPending()) {
            if (leavePromotion)
                return;
            game.Promote(RandomPromotion(rng));
        }
        if (game.GameState != gsPlaying)
            return;
    }
}

void NewGame(TChessGame& game, const char* white, const char* black) {
    game.WhitePlayer = TPlayer { 0, true, white };
    game.BlackPlayer = TPlayer { 0, true, black };
    game.Board.Modified = true;
    game.StartGame();
}

std::string SavedGame(TChessGame& game) {
    const QString path = ScratchPath("seed.wmg");
    if (!game.SaveGame(path))
        FuzzFail("cannot save a seed game");
    return FileBytes(path);
}

// A move list in the oldest layout: the count, then 17-byte moves without their kind bytes.
std::string OldMoves(const TMoveList& moves) {
    std::ostringstream out;
    WriteI32(out, moves.Count());
    for (const TMoveRecord* r = moves.First(); r; r = r->Next) {
        WriteI32(out, r->From.X);
        WriteI32(out, r->From.Y);
        WriteI32(out, r->To.X);
        WriteI32(out, r->To.Y);
        WriteByte(out, r->Flags);
    }
    return out.str();
}

// The oldest form of a saved game: no header, and the old move layout.
std::string HeaderlessGame(const TChessGame& game) {
    std::ostringstream out;
    game.Board.SaveToStream(out);
    out << OldMoves(game.Moves);
    WritePlayer(out, game.WhitePlayer);
    WritePlayer(out, game.BlackPlayer);
    WriteByte(out, game.Turn);
    return out.str();
}

std::string GameBody(const TChessGame& game) {
    std::ostringstream out;
    game.WriteGame(out);
    return out.str();
}

void MakeFen() {
    int i = 0;
    for (const char* fen : Positions)
        Put("fen", QStringLiteral("position-%1.fen").arg(++i, 2, 10, QLatin1Char('0')), fen);
}

void MakeGames(std::vector<std::string>& bodies, THistory& history) {
    const struct {
        uint32_t Seed;
        int Plies;
        bool LeavePromotion;
        bool Paused;
    } games[] = { { 1, 0, false, false }, { 2, 6, false, false }, { 3, 40, false, true },
        { 4, 120, false, false }, { 5, 200, false, false }, { 6, 300, true, false } };
    int i = 0;
    for (const auto& g : games) {
        TChessGame game;
        NewGame(game, "Anna", "Björn");
        PlayRandomMoves(game, g.Seed, g.Plies, g.LeavePromotion);
        if (g.Paused)
            game.PauseGame();
        if (game.GameState != gsPlaying && game.GameState != gsPaused)
            game.GameState = gsStopped;
        ++i;
        if (game.GameState == gsPlaying || game.GameState == gsPaused)
            Put("gamefile", QStringLiteral("game-%1.wmg").arg(i), SavedGame(game));
        if (i == 2 || i == 4)
            Put("gamefile", QStringLiteral("headerless-%1.wmg").arg(i), HeaderlessGame(game));
        bodies.push_back(GameBody(game));
        history.AddGame(game.WhitePlayer.Name, game.BlackPlayer.Name, 45000.5 + i, 60 * i, 61 * i,
            uint8_t(i % 6), game.Moves);
    }
}

void MakeHistory(const THistory& games) {
    const QString path = ScratchPath("seed.dat");
    THistory empty;
    empty.SaveToFile(path);
    Put("history", QStringLiteral("empty.dat"), FileBytes(path));
    THistory some;
    for (const TGameInfo* g = games.First(); g; g = g->Next) {
        some.AddGame(g->White, g->Black, g->Date, g->WhiteTime, g->BlackTime, g->Result, g->Moves);
        if (some.Count() == 1 || some.Count() == 3) {
            some.SaveToFile(path);
            Put("history", QStringLiteral("games-%1.dat").arg(some.Count()), FileBytes(path));
        }
    }
    // The oldest form: no header, and the old move layout in its one game.
    THistory one;
    const TGameInfo* g = games.First()->Next;
    one.AddGame(g->White, g->Black, -1.25, 0, 0, grTied, g->Moves);
    one.SaveToFile(path);
    const std::string body = FileBytes(path).substr(4 + 15 + 2);
    Put("history", QStringLiteral("headerless.dat"),
        body.substr(0, body.size() - 4 - 19 * size_t(g->Moves.Count())) + OldMoves(g->Moves));
}

void MakeSettings() {
    const QString path = ScratchPath("seed.ini", true);
    TSettings settings;
    SaveSettings(settings, path);
    Put("settings", QStringLiteral("defaults.ini"), FileBytes(path));
    QFile::remove(path);
    settings.LanguageFile = QStringLiteral("TolvanFr.lang");
    settings.Notation = 0;
    settings.GameServer = QStringLiteral("http://games.example.org:8570/list, second");
    settings.Theme.Name = QStringLiteral("Nuit d'hiver");
    settings.Theme.Board = 0x123456;
    settings.ChessSet = 17;
    settings.PieceStyle = 1;
    settings.SoundOn[2] = false;
    settings.SoundFile[0] = QStringLiteral("/home/anna/sons/déplacé.wav");
    const QString changed = ScratchPath("seed.ini", true);
    SaveSettings(settings, changed);
    Put("settings", QStringLiteral("changed.ini"), FileBytes(changed));
    QFile::remove(changed);
}

void MakeThemes(const QString& shipped) {
    QFile file(shipped);
    if (!file.open(QIODevice::ReadOnly))
        FuzzFail("cannot read " + shipped.toStdString());
    const QByteArray bytes = file.readAll();
    Put("themes", QStringLiteral("shipped.ini"),
        std::string(bytes.constData(), size_t(bytes.size())));
    TThemeList list;
    TTheme theme = DefaultFileTheme();
    theme.Name = QStringLiteral("Bleu, blanc");
    list.Themes.push_back(theme);
    theme.Name = QStringLiteral("Grün");
    theme.LastMove = 0xFFFFFF;
    list.Themes.push_back(theme);
    const QString path = ScratchPath("seed-themes.ini", true);
    list.SaveThemes(path);
    Put("themes", QStringLiteral("saved.ini"), FileBytes(path));
    QFile::remove(path);
}

// A network seed: the set-up byte (bit 0 the host's side, for the controller bit 1 the host's
// colour and bit 2 a loaded game on the host), the stream, and a last byte that asks for no
// cut points. The controller's target reads the same form.
void PutStream(const QString& name, bool host, const std::string& stream, uint8_t controller = 0) {
    const std::string tail = stream + std::string(1, '\0');
    Put("network", name, std::string(1, host ? '\1' : '\0') + tail);
    Put("netgame", name, std::string(1, char((host ? 1 : 0) | controller)) + tail);
}

void MakeNetwork(const std::vector<std::string>& bodies) {
    TMoveRecord e2e4;
    e2e4.From = MakePoint(5, 2);
    e2e4.To = MakePoint(5, 4);
    TMoveRecord e7e5;
    e7e5.From = MakePoint(5, 7);
    e7e5.To = MakePoint(5, 5);
    // What the host reads from its client in a short game.
    PutStream(QStringLiteral("host-game.bin"), true,
        EncodeVersion(TChessGame::ProtocolVersion) + EncodeText(ncName, "Björn")
            + EncodeCommand(cmReady) + EncodeMoveRecord(ncMove, e7e5) + EncodeText(ncChat, "gg")
            + EncodeMoveRecord(ncUndoRequest, e7e5) + EncodeMoveRecord(ncUndo, e2e4)
            + EncodeCommand(cmPause) + EncodeCommand(cmResume) + EncodeByteMessage(ncPromotion, 4)
            + EncodeCommand(cmStop) + EncodeCommand(cmDisconnect));
    PutStream(QStringLiteral("host-loaded-game.bin"), true,
        EncodeVersion(TChessGame::ProtocolVersion) + EncodeText(ncName, "Björn")
            + EncodeCommand(cmReady) + EncodeMoveRecord(ncMove, e7e5),
        2 | 4);
    PutStream(QStringLiteral("host-bad-version.bin"), true, EncodeVersion(319));
    // What the client reads from its host: a new game, then a loaded one.
    PutStream(QStringLiteral("client-game.bin"), false,
        EncodeCommand(cmSendName) + EncodeByteMessage(ncHostColour, 1) + EncodeText(ncName, "Anna")
            + EncodeCommand(cmReady) + EncodeCommand(cmStart) + EncodeMoveRecord(ncMove, e2e4)
            + EncodeTime(42) + EncodeText(ncChat, "hello") + EncodeCommand(cmStop));
    for (size_t i = 0; i < bodies.size() && i < 4; ++i) {
        PutStream(QStringLiteral("client-state-%1.bin").arg(i), false,
            EncodeCommand(cmSendName) + EncodeByteMessage(ncHostColour, 0)
                + EncodeMessage(ncGameState, bodies[i]) + EncodeCommand(cmReady)
                + EncodeCommand(cmStart));
    }
}

void MakeGameList() {
    const auto put = [](const char* name, char reader, const std::string& answer) {
        Put("gamelist", QLatin1String(name), std::string(1, reader) + answer);
    };
    put("list.txt", 0, "Anna's game|192.0.2.7\r\nBjörn|198.51.100.3\r\n");
    put("list-empty.txt", 0, "");
    put("address.txt", 1, "IP address=203.0.113.9\r\n");
    put("version.txt", 2,
        "WintermootVersion=325\r\nWintermootURL=https://example.org/download\r\n");
    put("version-no-url.txt", 2, "WintermootVersion=324\r\n");
    put("keyvalue.txt", 3,
        std::string("a=1;IP address=5;b=2", 20) + '\0' + "IP address" + '\0' + ";");
}

void MakeServer() {
    const auto put = [](const char* name, const std::string& lines) {
        Put("server", QLatin1String(name), lines);
    };
    put("list.txt", std::string("\x00/wintermoot.inf\n", 17));
    put("add-list-remove.txt",
        std::string("\x00/wintermoot.php?action=add&name=Anna%27s+game\n\x05/wintermoot.inf\n", 63)
            + "\x06/wintermoot.php?action=remove\n\x04/wintermoot.inf\n");
    put("address-version.txt", "\x01/ipaddress.php\n\x02/versions.inf\n\x03/nothing\n");
    put("many.txt",
        "\x01/wintermoot.php?action=add&name=a\n\x02/wintermoot.php?action=add&name=b\n"
        "\x03/wintermoot.php?action=add&name=%7C%0D%0A\n\xff/wintermoot.inf\n"
        "\x01/wintermoot.php?action=frobnicate\n");
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: fuzz_make_seeds <corpus folder> <Themes.ini>\n");
        return 2;
    }
    InitFuzzApplication(&argc, &argv);
    Root = QString::fromLocal8Bit(argv[1]);
    MakeFen();
    std::vector<std::string> bodies;
    THistory games;
    MakeGames(bodies, games);
    MakeHistory(games);
    MakeSettings();
    MakeThemes(QString::fromLocal8Bit(argv[2]));
    MakeNetwork(bodies);
    MakeGameList();
    MakeServer();
    return 0;
}
