#include "ShortString.h"
#include "StreamIO.h"

#include <gtest/gtest.h>

#include <QStringDecoder>

#include <sstream>

namespace {

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
    QStringDecoder utf8(QStringConverter::Utf8);
    EXPECT_EQ(QString(utf8(text)).size(), 127); // each 0xFC became a two-byte "ü"
    EXPECT_FALSE(utf8.hasError());
}

TEST(ShortStringTest, AShortStreamIsRefused) {
    std::istringstream in(std::string("\x04"
                                      "Anna",
        5));
    EXPECT_THROW(ReadShortString(in), EStreamError);
}

} // namespace
