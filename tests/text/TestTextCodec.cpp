#include "StreamIO.h"
#include "TextCodec.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

struct TDecodeCase {
    const char* Name;
    std::string Bytes;
    std::string Expected;
};

class DecodeStoredTextTest : public ::testing::TestWithParam<TDecodeCase> { };

TEST_P(DecodeStoredTextTest, Decodes) {
    EXPECT_EQ(DecodeStoredText(GetParam().Bytes), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(Texts, DecodeStoredTextTest,
    ::testing::Values(TDecodeCase { "AsciiUnchanged", "Anna", "Anna" },
        TDecodeCase { "Utf8KeptAsItIs", "J\xC3\xBCrgen", "J\xC3\xBCrgen" },
        TDecodeCase { "Latin1ByteDecoded", "J\xFCrgen", "J\xC3\xBCrgen" },
        TDecodeCase { "Cp1252EuroSignDecoded", "\x80", "\xE2\x82\xAC" },
        TDecodeCase { "UndefinedCp1252ByteKeptAsControl", "\x81", "\xC2\x81" },
        TDecodeCase { "TruncatedUtf8SequenceIsSingleByte", "a\xC3", "a\xC3\x83" },
        TDecodeCase { "OverlongSlashIsSingleByte", "\xC0\xAF", "\xC3\x80\xC2\xAF" },
        TDecodeCase {
            "EncodedSurrogateIsSingleByte", "\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xE2\x82\xAC" }),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(CutUtf8Test, NeverSplitsACharacter) {
    // 254 ASCII bytes followed by a two-byte character: the character does not fit.
    const std::string text = std::string(254, 'x') + "\xC3\xBC";
    EXPECT_EQ(CutUtf8(text, 255), std::string(254, 'x'));
    EXPECT_EQ(CutUtf8("\xE2\x82\xAC\xE2\x82\xAC", 5), "\xE2\x82\xAC");
    EXPECT_EQ(CutUtf8("short", 255), "short");
}

TEST(ShortStringTest, RoundTripsAndFillsTheField) {
    std::ostringstream out;
    WriteShortString(out, "Anna");
    const std::string bytes = out.str();
    ASSERT_EQ(bytes.size(), 256u);
    EXPECT_EQ(bytes[0], 4);
    EXPECT_EQ(bytes.substr(1, 4), "Anna");
    EXPECT_EQ(bytes.find_first_not_of('\0', 5), std::string::npos);
    std::istringstream in(bytes);
    EXPECT_EQ(ReadShortString(in), "Anna");
}

TEST(ShortStringTest, ALongNameIsCutToTheFieldAtACharacterBoundary) {
    std::string name;
    for (int i = 0; i < 200; ++i)
        name += "\xC3\xBC";
    std::ostringstream out;
    WriteShortString(out, name);
    EXPECT_EQ(static_cast<unsigned char>(out.str()[0]), 254);
    std::istringstream in(out.str());
    EXPECT_EQ(ReadShortString(in), name.substr(0, 254));
}

TEST(ShortStringTest, SingleByteTextGrowsButStaysWithinTheLimit) {
    std::string field(256, '\xFC');
    field[0] = char(255);
    std::istringstream in(field);
    const std::string text = ReadShortString(in);
    EXPECT_EQ(text.size(), 254u);
    EXPECT_TRUE(IsValidUtf8(text));
}

TEST(ShortStringTest, AShortStreamIsRefused) {
    std::istringstream in(std::string("\x04"
                                      "Anna",
        5));
    EXPECT_THROW(ReadShortString(in), EStreamError);
}

} // namespace
