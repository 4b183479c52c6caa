// The message reader on its own, fed bytes in every way a TCP stream may split or join them.

#include "GameTestSupport.h"
#include "NetworkMessages.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

std::string Body(const TChessGame& game) {
    std::ostringstream out;
    game.WriteGame(out);
    return out.str();
}

// A game body with the moves played: knights out and back.
std::string BodyWithMoves(int moves) {
    TChessGame game;
    SetPlayers(game, true, true);
    game.StartGame();
    const char* cycle[4][2] = { { "g1", "f3" }, { "g8", "f6" }, { "f3", "g1" }, { "f6", "g8" } };
    for (int i = 0; i < moves; ++i)
        game.PlayMove(Sq(cycle[i % 4][0]), Sq(cycle[i % 4][1]));
    EXPECT_EQ(game.Moves.Count(), moves);
    return Body(game);
}

std::vector<TNetMessage> ReadAll(TMessageReader& reader) {
    std::vector<TNetMessage> messages;
    TNetMessage message;
    while (reader.Next(message) == TMessageReader::Message)
        messages.push_back(message);
    return messages;
}

struct TMessageRow {
    const char* Name;
    std::string Bytes;
    friend void PrintTo(const TMessageRow& row, std::ostream* os) { *os << row.Name; }
};

std::vector<TMessageRow> EveryCode() {
    TMoveRecord move;
    move.From = MakePoint(5, 2);
    move.To = MakePoint(5, 4);
    return {
        { "Command", EncodeCommand(cmReady) },
        { "Version", EncodeVersion(320) },
        { "HostColour", EncodeByteMessage(ncHostColour, 1) },
        { "Name", EncodeText(ncName, "Anna") },
        { "Time", EncodeTime(77) },
        { "Move", EncodeMoveRecord(ncMove, move) },
        { "Promotion", EncodeByteMessage(ncPromotion, 4) },
        { "UndoRequest", EncodeMoveRecord(ncUndoRequest, move) },
        { "Undo", EncodeMoveRecord(ncUndo, move) },
        { "Chat", EncodeText(ncChat, "hello") },
        { "GameState", EncodeMessage(ncGameState, BodyWithMoves(3)) },
    };
}

class SplitMessageTest : public ::testing::TestWithParam<TMessageRow> { };

// A payload gathered from two reads must equal the payload read at once, wherever the cut lies,
// and the message after it must come out whole too.
TEST_P(SplitMessageTest, EverySplitGivesTheWholeMessage) {
    const std::string bytes = GetParam().Bytes + EncodeCommand(cmStart);
    TMessageReader whole;
    whole.Feed(bytes);
    const std::vector<TNetMessage> expected = ReadAll(whole);
    ASSERT_EQ(expected.size(), 2u);
    EXPECT_EQ(expected[0].Code, uint8_t(GetParam().Bytes[0]));
    EXPECT_EQ(expected[0].Payload.size() + 1, GetParam().Bytes.size());

    for (size_t cut = 1; cut < bytes.size(); ++cut) {
        TMessageReader reader;
        reader.Feed(bytes.substr(0, cut));
        std::vector<TNetMessage> got = ReadAll(reader);
        if (cut < GetParam().Bytes.size()) {
            EXPECT_TRUE(got.empty()) << "cut " << cut;
            EXPECT_EQ(reader.PendingCode(), uint8_t(bytes[0]));
        }
        reader.Feed(bytes.substr(cut));
        for (const TNetMessage& m : ReadAll(reader))
            got.push_back(m);
        ASSERT_EQ(got.size(), 2u) << "cut " << cut;
        EXPECT_EQ(got[0].Code, expected[0].Code);
        EXPECT_EQ(got[0].Payload, expected[0].Payload) << "cut " << cut;
        EXPECT_EQ(got[1].Payload, expected[1].Payload) << "cut " << cut;
        EXPECT_EQ(reader.Buffered(), 0u);
        EXPECT_EQ(reader.PendingCode(), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Codes, SplitMessageTest, ::testing::ValuesIn(EveryCode()),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(MessageReaderTest, ByteByByteFeedingYieldsEveryMessageInOrder) {
    std::string stream;
    for (const TMessageRow& row : EveryCode())
        stream += row.Bytes;
    TMessageReader reader;
    std::vector<uint8_t> codes;
    TNetMessage message;
    for (char c : stream) {
        reader.Feed(std::string_view(&c, 1));
        while (reader.Next(message) == TMessageReader::Message)
            codes.push_back(message.Code);
    }
    EXPECT_EQ(codes, (std::vector<uint8_t> { 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11 }));
}

struct TRefusalRow {
    const char* Name;
    std::string Bytes;
    friend void PrintTo(const TRefusalRow& row, std::ostream* os) { *os << row.Name; }
};

class RefusalTest : public ::testing::TestWithParam<TRefusalRow> { };

// Garbage cannot be framed; the reader says so once and stays refused, even for good bytes.
TEST_P(RefusalTest, BadBytesAreRefusedForGood) {
    TMessageReader reader;
    reader.Feed(EncodeCommand(cmReady) + GetParam().Bytes);
    TNetMessage message;
    ASSERT_EQ(reader.Next(message), TMessageReader::Message);
    EXPECT_EQ(reader.Next(message), TMessageReader::Refused);
    EXPECT_TRUE(reader.Failed());
    EXPECT_FALSE(reader.Error().empty());
    reader.Feed(EncodeCommand(cmReady));
    EXPECT_EQ(reader.Next(message), TMessageReader::Refused);
    EXPECT_EQ(reader.Buffered(), 0u);
    reader.Reset();
    reader.Feed(EncodeCommand(cmReady));
    EXPECT_EQ(reader.Next(message), TMessageReader::Message);
}

std::string StateWithMoveCount(uint32_t count) {
    std::string body = BodyWithMoves(0);
    const size_t countAt = 94 + 32 * 6 + 33;
    for (int i = 0; i < 4; ++i)
        body[countAt + i] = char(count >> (8 * i));
    return EncodeMessage(ncGameState, body);
}

INSTANTIATE_TEST_SUITE_P(Bytes, RefusalTest,
    ::testing::Values(TRefusalRow { "CodeZero", std::string(1, '\0') },
        TRefusalRow { "CodeTwelve", "\x0c" }, TRefusalRow { "CodeFF", "\xff\x01\x02" },
        TRefusalRow { "PresenceByteTwo", "\x0b\x02" },
        TRefusalRow { "MoveCountAbove65535", StateWithMoveCount(0x10000) },
        TRefusalRow { "MoveCountHugeNegative", StateWithMoveCount(0xFFFFFFFF) }),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(GameStateLengthTest, TheLengthFollowsTheLayoutForAnyNumberOfMoves) {
    for (int moves : { 0, 1, 200 }) {
        const std::string body = BodyWithMoves(moves);
        const TGameStateLength length = MeasureGameState(body + "trailing");
        EXPECT_EQ(length.Kind, TGameStateLength::Complete);
        EXPECT_EQ(length.Length, body.size()) << moves;
        // Every proper prefix waits for more.
        for (size_t cut = 0; cut < body.size(); cut += 7)
            EXPECT_EQ(MeasureGameState(body.substr(0, cut)).Kind, TGameStateLength::Incomplete);
        EXPECT_EQ(
            MeasureGameState(body.substr(0, body.size() - 1)).Kind, TGameStateLength::Incomplete);
    }
    EXPECT_GT(BodyWithMoves(200).size(), 4096u);
}

TEST(GameStateLengthTest, AHugeDeclaredCountWaitsWithoutAllocating) {
    // 65535 moves is the most a game holds: the reader waits for 1.2 MB it has not been given.
    TMessageReader reader;
    reader.Feed(StateWithMoveCount(0xFFFF));
    TNetMessage message;
    EXPECT_EQ(reader.Next(message), TMessageReader::NeedMore);
    EXPECT_EQ(reader.PendingCode(), ncGameState);
    EXPECT_LT(reader.Buffered(), 2000u);
}

TEST(MessageTextTest, NamesAndChatAreCutAtACharacterBoundary) {
    std::string text;
    for (int i = 0; i < 200; ++i)
        text += "\xc3\xa9"; // é, two bytes
    const std::string message = EncodeText(ncChat, text);
    ASSERT_EQ(message.size(), 1 + ShortStringFieldSize);
    EXPECT_EQ(uint8_t(message[1]), 254);
    EXPECT_EQ(DecodeText(message.substr(1)), text.substr(0, 254));
    // Bytes that are not UTF-8 come from a single-byte peer.
    std::string latin(ShortStringFieldSize, '\0');
    latin[0] = 3;
    latin.replace(1, 3, "J\xf6n");
    EXPECT_EQ(DecodeText(latin), "J\xc3\xb6n");
}

TEST(MessageBytesTest, TheMoveCarriesFromAndToAtTheirOffsets) {
    TMoveRecord move;
    move.From = MakePoint(5, 2);
    move.To = MakePoint(5, 4);
    const std::string bytes = EncodeMoveRecord(ncMove, move);
    ASSERT_EQ(bytes.size(), 37u);
    EXPECT_EQ(bytes.substr(5, 16), std::string("\x05\0\0\0\x02\0\0\0\x05\0\0\0\x04\0\0\0", 16));
    EXPECT_EQ(EncodeVersion(320), std::string("\x02\x40\x01"));
    EXPECT_EQ(EncodeTime(258), std::string("\x05\x02\x01\0\0", 5));
}

} // namespace
