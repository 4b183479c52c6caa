#include "Player.h"

#include "ShortString.h"
#include "StreamIO.h"
#include "UnitChessBoard.h"

#include <array>

namespace {

constexpr uint8_t MaxStatus = 3;
constexpr uint16_t MaxLevel = 2;

bool ReadFlag(std::istream& in, const char* what) {
    const uint8_t value = ReadByte(in);
    if (value > 1)
        throw EStreamError(std::string("bad player ") + what + " flag");
    return value != 0;
}

} // namespace

void WritePlayer(std::ostream& out, const TPlayer& player) {
    WriteU16(out, player.Level);
    WriteByte(out, player.Human ? 1 : 0);
    WriteShortString(out, player.Name);
    WriteByte(out, player.Ready ? 1 : 0);
    WriteI32(out, player.Time);
    WriteByte(out, player.Status);
    const std::array<uint8_t, 3> reserved {};
    WriteBytes(out, reserved.data(), reserved.size());
}

TPlayer ReadPlayer(std::istream& in) {
    TPlayer player;
    player.Level = ReadU16(in);
    player.Human = ReadFlag(in, "human");
    player.Name = ReadShortString(in);
    player.Ready = ReadFlag(in, "ready");
    player.Time = ReadI32(in);
    player.Status = ReadByte(in);
    std::array<uint8_t, 3> reserved;
    ReadBytes(in, reserved.data(), reserved.size());
    if (player.Time < 0)
        throw EStreamError("negative player time");
    if (player.Status > MaxStatus)
        throw EStreamError("bad player status");
    if (!player.Human && player.Level > MaxLevel)
        throw EStreamError("bad computer level");
    return player;
}

uint8_t PlayerStatus(TChessBoard& board, TPieceColour side) {
    const bool check = board.InCheck(side);
    if (board.HasNoLegalMove(side))
        return check ? 3 : 2;
    return check ? 1 : 0;
}
