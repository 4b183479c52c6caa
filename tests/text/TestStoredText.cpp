#include "StoredText.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Decoded(const std::string& bytes) {
    return DecodeStoredText(bytes).toStdString();
}

struct TDecodeCase {
    const char* Name;
    std::string Bytes;
    std::string Expected;
    friend void PrintTo(const TDecodeCase& row, std::ostream* os) { *os << row.Name; }
};

class DecodeStoredTextTest : public ::testing::TestWithParam<TDecodeCase> { };

TEST_P(DecodeStoredTextTest, Decodes) {
    EXPECT_EQ(Decoded(GetParam().Bytes), GetParam().Expected);
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
            "EncodedSurrogateIsSingleByte", "\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xE2\x82\xAC" },
        // Past U+10FFFF is not UTF-8 either.
        TDecodeCase { "BeyondUnicodeIsSingleByte", "\xF4\x90\x80\x80",
            "\xC3\xB4\xC2\x90\xE2\x82\xAC\xE2\x82\xAC" },
        // A leading byte-order mark and an embedded NUL stay in the text.
        TDecodeCase { "ByteOrderMarkKept", "\xEF\xBB\xBFx", "\xEF\xBB\xBFx" },
        TDecodeCase { "NulKept", std::string("a\0b", 3), std::string("a\0b", 3) }),
    [](const auto& info) { return std::string(info.param.Name); });

// The 32 bytes where Windows-1252 differs from Latin-1, each alone in otherwise invalid UTF-8.
TEST(DecodeStoredTextTest, EveryWindows1252ControlRangeByte) {
    const char16_t expected[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, //
        0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, //
        0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, //
        0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178, //
    };
    for (int b = 0x80; b < 0xA0; ++b) {
        const QString text = DecodeStoredText(std::string { 'a', static_cast<char>(b) });
        ASSERT_EQ(text.size(), 2) << std::hex << b;
        EXPECT_EQ(text[1].unicode(), expected[b - 0x80]) << std::hex << b;
    }
    // The upper half is Latin-1.
    for (int b = 0xA0; b < 0x100; ++b)
        EXPECT_EQ(DecodeStoredText(std::string(1, static_cast<char>(b)))[0].unicode(), b);
}

} // namespace
