#pragma once

// The messages two programs exchange over a network game's connection: a code byte followed by
// a payload whose size the code fixes, back to back on the stream. The game state (code 11) has
// no length of its own; its end follows from the layout of the game body it carries.
//
// TMessageReader gathers the bytes of the stream, in whatever pieces they arrive, into complete
// messages. It refuses a code outside 1..11 and a game state whose layout cannot be a game body
// (a move count above 65535); after a refusal it yields nothing more. It never holds more than
// the bytes fed to it, and it never allocates for a count a peer declares.

#include "UnitMoveList.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

enum TNetCode : uint8_t {
    ncCommand = 1,
    ncVersion = 2,
    ncHostColour = 3,
    ncName = 4,
    ncTime = 5,
    ncMove = 6,
    ncPromotion = 7,
    ncUndoRequest = 8,
    ncUndo = 9,
    ncChat = 10,
    ncGameState = 11,
};

// The payload of a command message.
enum TNetCommand : uint8_t {
    cmSendName = 1,
    cmDisconnect = 2,
    cmReady = 3,
    cmStart = 4,
    cmPause = 5,
    cmResume = 6,
    cmStop = 7,
};

// The file version whose game body layout a game state message carries (19-byte moves).
constexpr uint16_t GameStateVersion = 101;
constexpr size_t ShortStringFieldSize = 256;

// The payload size of a code, or nothing for the game state (whose size follows from its
// contents) and for a code that does not exist.
std::optional<size_t> FixedPayloadSize(uint8_t code);

// The length of the game body at the start of `bytes`, read from its layout.
struct TGameStateLength {
    enum TKind { Incomplete, Complete, Malformed } Kind = Incomplete;
    size_t Length = 0;
    // The number of moves the body holds, once Complete.
    uint32_t Moves = 0;
};
TGameStateLength MeasureGameState(std::string_view bytes);

struct TNetMessage {
    uint8_t Code = 0;
    std::string Payload;
};

class TMessageReader {
public:
    enum TResult { NeedMore, Message, Refused };

    void Feed(std::string_view bytes);
    // Takes the next complete message out of the bytes fed so far. NeedMore leaves `message`
    // alone; Refused is answered from then on, with the reason in Error().
    TResult Next(TNetMessage& message);
    // Forgets everything, for a new connection.
    void Reset();

    // The code of a message whose payload has not fully arrived, 0 when none.
    uint8_t PendingCode() const;
    size_t Buffered() const { return m_Buffer.size() - m_Start; }
    bool Failed() const { return !m_Error.empty(); }
    const std::string& Error() const { return m_Error; }

private:
    TResult Refuse(std::string reason);

    std::string m_Buffer;
    // Bytes before m_Start have been handed out already.
    size_t m_Start = 0;
    std::string m_Error;
};

// Whole messages, ready to send.
std::string EncodeMessage(TNetCode code, std::string_view payload);
std::string EncodeCommand(TNetCommand command);
std::string EncodeVersion(int16_t version);
std::string EncodeByteMessage(TNetCode code, uint8_t value);
std::string EncodeTime(int32_t seconds);
// Names and chat lines as a 256-byte short string, cut at a character boundary to 255 bytes.
std::string EncodeText(TNetCode code, std::string_view text);
// A move, undo request or undo: the 36-byte record.
std::string EncodeMoveRecord(TNetCode code, const TMoveRecord& record);

// Payload readers; each throws EStreamError when the payload is shorter than its code's size.
// Text that is not valid UTF-8 is decoded as a single-byte code page.
int32_t DecodeI32(std::string_view payload);
uint16_t DecodeU16(std::string_view payload);
std::string DecodeText(std::string_view payload);
TMoveRecord DecodeMoveRecord(std::string_view payload);
