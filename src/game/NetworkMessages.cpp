#include "NetworkMessages.h"

#include "Player.h"
#include "ShortString.h"
#include "StreamIO.h"

#include <sstream>

namespace {

constexpr int BoardSlots = 64 + 15 + 15;
constexpr size_t PieceRecordSize = 6;
// Captured counts, both kings, the en-passant flag and the last move's square.
constexpr size_t BoardTailSize = 4 + 4 + 8 + 8 + 1 + 8;
constexpr size_t MoveSize = 19;
constexpr size_t BodyTailSize = 2 * PlayerRecordSize + 1;
// Bytes read from the stream before a compaction of the buffer is worth its copy.
constexpr size_t CompactAfter = 64 * 1024;

uint32_t LittleEndianU32(std::string_view bytes, size_t at) {
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | static_cast<uint8_t>(bytes[at + i]);
    return value;
}

} // namespace

std::optional<size_t> FixedPayloadSize(uint8_t code) {
    switch (code) {
    case ncCommand:
    case ncHostColour:
    case ncPromotion:
        return 1;
    case ncVersion:
        return 2;
    case ncTime:
        return 4;
    case ncName:
    case ncChat:
        return ShortStringFieldSize;
    case ncMove:
    case ncUndoRequest:
    case ncUndo:
        return MoveRecordWireSize;
    default:
        return std::nullopt;
    }
}

TGameStateLength MeasureGameState(std::string_view bytes) {
    size_t at = 0;
    for (int slot = 0; slot < BoardSlots; ++slot) {
        if (at >= bytes.size())
            return {};
        const auto present = static_cast<uint8_t>(bytes[at]);
        if (present > 1)
            return { TGameStateLength::Malformed, 0 };
        at += 1 + (present ? PieceRecordSize : 0);
    }
    at += BoardTailSize;
    if (at + 4 > bytes.size())
        return {};
    // The count is written in the low 16 bits with the upper ones 0; anything else declares
    // more moves than a game can hold.
    const uint32_t count = LittleEndianU32(bytes, at);
    if (count > 0xFFFF)
        return { TGameStateLength::Malformed, 0 };
    at += 4 + count * MoveSize + BodyTailSize;
    if (at > bytes.size())
        return {};
    return { TGameStateLength::Complete, at, count };
}

void TMessageReader::Feed(std::string_view bytes) {
    if (Failed())
        return;
    if (m_Start >= CompactAfter || m_Start == m_Buffer.size()) {
        m_Buffer.erase(0, m_Start);
        m_Start = 0;
    }
    m_Buffer.append(bytes);
}

TMessageReader::TResult TMessageReader::Next(TNetMessage& message) {
    if (Failed())
        return Refused;
    const std::string_view rest = std::string_view(m_Buffer).substr(m_Start);
    if (rest.empty())
        return NeedMore;
    const auto code = static_cast<uint8_t>(rest[0]);
    size_t size = 0;
    if (code == ncGameState) {
        const TGameStateLength length = MeasureGameState(rest.substr(1));
        if (length.Kind == TGameStateLength::Malformed)
            return Refuse("the game state is not a game body");
        if (length.Kind == TGameStateLength::Incomplete)
            return NeedMore;
        size = length.Length;
    } else if (const std::optional<size_t> fixed = FixedPayloadSize(code)) {
        size = *fixed;
    } else {
        return Refuse("unknown message code " + std::to_string(code));
    }
    if (rest.size() < 1 + size)
        return NeedMore;
    message.Code = code;
    message.Payload.assign(rest.substr(1, size));
    m_Start += 1 + size;
    return Message;
}

void TMessageReader::Reset() {
    m_Buffer.clear();
    m_Start = 0;
    m_Error.clear();
}

uint8_t TMessageReader::PendingCode() const {
    return Buffered() > 0 && !Failed() ? static_cast<uint8_t>(m_Buffer[m_Start]) : 0;
}

TMessageReader::TResult TMessageReader::Refuse(std::string reason) {
    m_Error = std::move(reason);
    m_Buffer.clear();
    m_Start = 0;
    return Refused;
}

std::string EncodeMessage(TNetCode code, std::string_view payload) {
    std::string message(1, static_cast<char>(code));
    message.append(payload);
    return message;
}

std::string EncodeCommand(TNetCommand command) {
    return EncodeByteMessage(ncCommand, command);
}

std::string EncodeVersion(int16_t version) {
    std::ostringstream out;
    WriteByte(out, ncVersion);
    WriteU16(out, static_cast<uint16_t>(version));
    return out.str();
}

std::string EncodeByteMessage(TNetCode code, uint8_t value) {
    return std::string { static_cast<char>(code), static_cast<char>(value) };
}

std::string EncodeTime(int32_t seconds) {
    std::ostringstream out;
    WriteByte(out, ncTime);
    WriteI32(out, seconds);
    return out.str();
}

std::string EncodeText(TNetCode code, std::string_view text) {
    std::ostringstream out;
    WriteByte(out, code);
    WriteShortString(out, text);
    return out.str();
}

std::string EncodeMoveRecord(TNetCode code, const TMoveRecord& record) {
    std::ostringstream out;
    WriteByte(out, code);
    WriteMoveRecordWire(out, record);
    return out.str();
}

namespace {

std::istringstream PayloadStream(std::string_view payload) {
    return std::istringstream(std::string(payload));
}

} // namespace

int32_t DecodeI32(std::string_view payload) {
    std::istringstream in = PayloadStream(payload);
    return ReadI32(in);
}

uint16_t DecodeU16(std::string_view payload) {
    std::istringstream in = PayloadStream(payload);
    return ReadU16(in);
}

std::string DecodeText(std::string_view payload) {
    std::istringstream in = PayloadStream(payload);
    return ReadShortString(in);
}

TMoveRecord DecodeMoveRecord(std::string_view payload) {
    std::istringstream in = PayloadStream(payload);
    return ReadMoveRecordWire(in);
}
