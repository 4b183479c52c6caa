#include "AtomicFile.h"
#include "RegularFile.h"
#include "StreamIO.h"
#include "UnitChessGame.h"

#include <QFile>

#include <cstring>
#include <sstream>

namespace {

// The largest file a game can make: header, a board whose every slot holds a piece, 65535 moves
// and the rest of the body. Anything larger is not read into memory.
constexpr qint64 MaxFileSize = 20 + (94 * 7 + 33) + (4 + 65535 * 19) + 2 * PlayerRecordSize + 1;
constexpr size_t MagicLength = 14;
constexpr size_t HeaderTextSize = 4 + MagicLength;

// A file without the magic is the oldest form: a bare game body with 17-byte moves.
constexpr uint16_t HeaderlessVersion = 100;

bool StartsWithMagic(const std::string& bytes) {
    return StartsWithTextItem(bytes, TChessGame::Magic);
}

} // namespace

struct TChessGame::TGameBody {
    TChessBoard Board;
    TMoveList Moves;
    TPlayer White;
    TPlayer Black;
    TPieceColour Turn = pcWhite;
};

void TChessGame::WriteGame(std::ostream& out) const {
    Board.SaveToStream(out);
    Moves.SaveToStream(out);
    WritePlayer(out, WhitePlayer);
    WritePlayer(out, BlackPlayer);
    WriteByte(out, Turn);
}

void TChessGame::ParseGameBody(std::istream& in, uint16_t version, TGameBody& body) {
    body.Board.LoadFromStream(in);
    body.Moves.LoadFromStream(in, version);
    body.White = ReadPlayer(in);
    body.Black = ReadPlayer(in);
    const uint8_t turn = ReadByte(in);
    if (turn > pcBlack)
        throw EStreamError("bad colour to move");
    body.Turn = static_cast<TPieceColour>(turn);
}

void TChessGame::ApplyGameBody(TGameBody& body) {
    // The agents are cancelled before the boards change under them, and replaced after.
    CancelAgents();
    m_StoppedByFailure = false;
    Board.Assign(body.Board);
    SearchBoard.Assign(body.Board);
    Moves.Assign(body.Moves);
    WhitePlayer = body.White;
    BlackPlayer = body.Black;
    Turn = body.Turn;
    ++m_GameSerial;
    m_Draws.Clear();
    m_DrawReason.reset();
    MakeAgents();
}

void TChessGame::ReadGame(std::istream& in, uint16_t version) {
    TGameBody body;
    ParseGameBody(in, version, body);
    ApplyGameBody(body);
}

bool TChessGame::SaveGame(const QString& fileName) {
    if (GameState != gsPlaying && GameState != gsPaused
        && !(GameState == gsStopped && m_StoppedByFailure))
        return false;
    std::ostringstream out;
    WriteText(out, Magic);
    WriteU16(out, FileVersion);
    WriteGame(out);
    return WriteFileAtomically(fileName, out.str());
}

bool TChessGame::ReadGameFile(const QString& fileName, TGameBody& body) {
    if (!IsRegularFile(QFile::encodeName(fileName).toStdString()))
        return false;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly) || file.size() > MaxFileSize)
        return false;
    const QByteArray data = file.read(MaxFileSize + 1);
    if (data.size() > MaxFileSize)
        return false;
    const std::string bytes(data.constData(), size_t(data.size()));

    try {
        std::istringstream in(bytes);
        uint16_t version = HeaderlessVersion;
        if (StartsWithMagic(bytes)) {
            in.seekg(std::streamoff(HeaderTextSize));
            version = ReadU16(in);
            if (version < MinFileVersion || version > FileVersion)
                return false;
        }
        ParseGameBody(in, version, body);
        // The file must end with the body: bytes after it mean it is not a game this program
        // wrote, or that it was damaged.
        if (in.peek() != std::char_traits<char>::eof())
            return false;
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

bool TChessGame::IsGameFile(const QString& fileName) {
    TGameBody body;
    return ReadGameFile(fileName, body);
}

bool TChessGame::LoadGame(const QString& fileName) {
    TGameBody body;
    if (!ReadGameFile(fileName, body))
        return false;
    StopGame();
    ApplyGameBody(body);
    GameLoaded = true;
    return true;
}
