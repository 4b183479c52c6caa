// The network stream of a game, as one side reads it: the bytes are cut into pieces at points
// the input chooses, fed to the message reader, and every message it yields is decoded as the
// controller decodes it, the game state read into a controller. The first byte picks the side.

#include "FuzzSupport.h"

#include "NetworkMessages.h"
#include "StreamIO.h"
#include "UnitChessGame.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <sstream>
#include <string>

namespace {

// What a side does with the payload of a message, short of acting on it in a game.
void Decode(const TNetMessage& message, bool host) {
    const std::optional<size_t> fixed = FixedPayloadSize(message.Code);
    if (message.Code != ncGameState && (!fixed || message.Payload.size() != *fixed))
        FuzzFail("the reader yields a message of the wrong size");
    switch (message.Code) {
    case ncMove:
    case ncUndoRequest:
    case ncUndo: {
        const TMoveRecord move = DecodeMoveRecord(message.Payload);
        try {
            CheckSquare(move.From.X, move.From.Y);
            CheckSquare(move.To.X, move.To.Y);
        } catch (const ERangeError&) { }
        return;
    }
    case ncName:
    case ncChat:
        DecodeText(message.Payload);
        return;
    case ncVersion:
        DecodeU16(message.Payload);
        return;
    case ncTime:
        DecodeI32(message.Payload);
        return;
    case ncGameState: {
        if (host)
            return;
        // The reader measured the body by its layout, so a body that reads must end exactly
        // where the reader cut it.
        // One controller for the process: a new one costs its computer player's tables.
        static TChessGame* game = new TChessGame;
        std::istringstream in(message.Payload);
        try {
            game->ReadGame(in, GameStateVersion);
        } catch (const EStreamError&) {
            return;
        }
        if (in.peek() != std::char_traits<char>::eof())
            FuzzFail("a game state reads shorter than the reader measured it");
        return;
    }
    default:
        return;
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    InitFuzzApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const bool host = input.ConsumeBool();
    // The cut points come from the end of the input, the stream from what is left.
    std::vector<size_t> pieces;
    const size_t cuts = input.ConsumeIntegralInRange<size_t>(0, 16);
    for (size_t i = 0; i < cuts; ++i)
        pieces.push_back(input.ConsumeIntegralInRange<size_t>(1, 512));
    const std::string stream = input.ConsumeRemainingBytesAsString();

    TMessageReader reader;
    size_t at = 0;
    size_t piece = 0;
    bool refused = false;
    while (at < stream.size()) {
        const size_t length = piece < pieces.size() ? pieces[piece++] : stream.size() - at;
        const std::string_view bytes = std::string_view(stream).substr(at, length);
        at += bytes.size();
        reader.Feed(bytes);
        if (reader.Buffered() > at)
            FuzzFail("the reader holds more than it was fed");
        TNetMessage message;
        for (;;) {
            const TMessageReader::TResult result = reader.Next(message);
            if (result == TMessageReader::NeedMore)
                break;
            if (result == TMessageReader::Refused) {
                refused = true;
                break;
            }
            if (refused)
                FuzzFail("the reader yields a message after a refusal");
            try {
                Decode(message, host);
            } catch (const EStreamError&) {
                FuzzFail("a framed message's payload is too short for its code");
            }
        }
    }
    TNetMessage last;
    if (refused && reader.Next(last) != TMessageReader::Refused)
        FuzzFail("the reader recovers from a refusal");
    return 0;
}
