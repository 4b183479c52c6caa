// The messages of the link: each complete message the reader yields is checked against the
// protocol and emitted decoded; each Send call encodes one message. The bytes on the wire are
// NetworkMessages' encoding.

#include "NetworkLink.h"

#include "UnitChessBoard.h"

#include <QTcpSocket>

#include <stdexcept>

namespace {

class EProtocolError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The codes a side acts on; any other is refused as soon as its code byte arrives.
bool ActsOn(bool host, uint8_t code) {
    switch (code) {
    case ncCommand:
    case ncName:
    case ncMove:
    case ncPromotion:
    case ncUndoRequest:
    case ncUndo:
    case ncChat:
        return true;
    case ncVersion:
        return host;
    case ncHostColour:
    case ncTime:
    case ncGameState:
        return !host;
    default:
        return false;
    }
}

} // namespace

bool TNetworkLink::ActOnBufferedMessages(QTcpSocket* socket, bool& progressed) {
    TNetMessage message;
    while (socket == m_Connection && !m_OutputOverflow) {
        const TMessageReader::TResult result = m_Reader.Next(message);
        const uint8_t pending = m_Reader.PendingCode();
        if (result == TMessageReader::NeedMore && (pending == 0 || ActsOn(m_Host, pending)))
            return true;
        if (result != TMessageReader::Message) {
            Fail();
            return false;
        }
        progressed = true;
        try {
            Dispatch(message);
        } catch (const std::exception&) {
            if (socket == m_Connection)
                Fail();
            return false;
        }
    }
    return false;
}

void TNetworkLink::Dispatch(const TNetMessage& message) {
    if (!ActsOn(m_Host, message.Code))
        throw EProtocolError("a message this side does not act on");
    const std::string& payload = message.Payload;
    // Until the host's name or game state has arrived, only its greeting may come.
    if (!m_Host && !m_Joined) {
        const bool greeting = message.Code == ncHostColour || message.Code == ncName
            || message.Code == ncGameState
            || (message.Code == ncCommand
                && (uint8_t(payload[0]) == cmSendName || uint8_t(payload[0]) == cmDisconnect));
        if (!greeting)
            throw EProtocolError("a message before the greeting is complete");
    }
    switch (message.Code) {
    case ncCommand: {
        const auto command = static_cast<uint8_t>(payload[0]);
        if (command < cmSendName || command > cmStop)
            throw EProtocolError("unknown command");
        if (m_Host && command == cmReady)
            m_ReadyTimer.stop();
        emit commandArrived(static_cast<TNetCommand>(command));
        return;
    }
    case ncMove: {
        const TMoveRecord move = DecodeMoveRecord(payload);
        CheckSquare(move.From.X, move.From.Y);
        CheckSquare(move.To.X, move.To.Y);
        emit moveArrived(move.From, move.To);
        return;
    }
    case ncPromotion: {
        const auto kind = static_cast<uint8_t>(payload[0]);
        if (kind < pkRook || kind > pkQueen)
            throw EProtocolError("bad promotion piece");
        emit promotionArrived(kind);
        return;
    }
    case ncUndoRequest:
        emit undoRequestArrived();
        return;
    case ncUndo:
        emit undoArrived();
        return;
    case ncChat:
        emit chatArrived(DecodeText(payload));
        return;
    case ncVersion:
        // The host's greeting takes the version and the name; they do not come again.
        throw EProtocolError("a second greeting");
    case ncName: {
        if (m_Host)
            throw EProtocolError("a second greeting");
        const std::string name = DecodeText(payload);
        m_Joined = true;
        m_GreetingTimer.stop();
        emit nameArrived(name);
        return;
    }
    case ncHostColour: {
        const auto colour = static_cast<uint8_t>(payload[0]);
        if (colour > pcBlack)
            throw EProtocolError("bad host colour");
        emit hostColourArrived(colour);
        return;
    }
    case ncTime: {
        const int32_t seconds = DecodeI32(payload);
        if (seconds < 0)
            throw EProtocolError("negative time");
        emit timeArrived(seconds);
        return;
    }
    case ncGameState:
        m_Joined = true;
        m_GreetingTimer.stop();
        emit gameStateArrived(payload);
        return;
    default:
        return;
    }
}

void TNetworkLink::SendCommand(TNetCommand command) {
    Send(EncodeCommand(command));
}

void TNetworkLink::SendName(const std::string& name) {
    Send(EncodeText(ncName, name));
}

void TNetworkLink::SendHostColour(uint8_t colour) {
    Send(EncodeByteMessage(ncHostColour, colour));
}

void TNetworkLink::SendTime(int32_t seconds) {
    Send(EncodeTime(seconds));
}

void TNetworkLink::SendMove(TPoint from, TPoint to) {
    TMoveRecord record;
    record.From = from;
    record.To = to;
    Send(EncodeMoveRecord(ncMove, record));
}

void TNetworkLink::SendPromotion(uint8_t kind) {
    Send(EncodeByteMessage(ncPromotion, kind));
}

void TNetworkLink::SendUndoRequest(const TMoveRecord& move) {
    Send(EncodeMoveRecord(ncUndoRequest, move));
}

void TNetworkLink::SendUndo(const TMoveRecord& move) {
    Send(EncodeMoveRecord(ncUndo, move));
}

void TNetworkLink::SendChat(const std::string& text) {
    Send(EncodeText(ncChat, text));
}

void TNetworkLink::SendGameState(const std::string& body) {
    Send(EncodeMessage(ncGameState, body));
}
