#include "framework/strings.h"

#include <gtest/gtest.h>

// "\x81\x7C" and "\x95\x5C" are GBK characters whose trail bytes equal '|' and '\'.
TEST(MultiByteText, TrailBytesAreNeverSeparators)
{
    const std::string text = "A\x81\x7C" "B|C";
    EXPECT_EQ(MbFind(text, '|'), 4u);
    EXPECT_EQ(MbFind(text, '|', 5), npos);
    EXPECT_EQ(MbFind(text, 'B'), 3u);

    const std::string path = "C:\\dir\\\x95\x5C";
    EXPECT_EQ(MbReverseFind(path, '\\'), 6u);
    EXPECT_EQ(MbFind(path, std::string("\\\x95")), 6u);
    // A needle that only matches from the middle of a character is not found.
    EXPECT_EQ(MbFind(std::string("\x81\x7C"), std::string("\x7C")), npos);
}

TEST(MultiByteText, TrimKeepsDoubleByteCharacters)
{
    EXPECT_EQ(Trim(" \t a b \r\n"), "a b");
    EXPECT_EQ(TrimRight("\xB0\xA1  "), "\xB0\xA1");
    EXPECT_EQ(TrimLeft("  \xB0\xA1 "), "\xB0\xA1 ");
    EXPECT_EQ(Trim("   "), "");
    // A lone lead byte at the end is kept as it stands.
    EXPECT_EQ(TrimRight("a\x81"), "a\x81");
}

TEST(MultiByteText, DecimalConversionLikeTheCRuntime)
{
    EXPECT_EQ(ToInt(""), 0);
    EXPECT_EQ(ToInt("abc"), 0);
    EXPECT_EQ(ToInt("  -12abc"), -12);
    EXPECT_EQ(ToInt("\t+7"), 7);
    EXPECT_EQ(ToInt("2147483647"), 2147483647);
    // Sizes written as unsigned 32-bit values above 2^31 read back negative.
    EXPECT_EQ(ToInt("3000000000"), static_cast<int>(3000000000u - 4294967296u));
    EXPECT_EQ(ToInt("- 5"), 0);
}

TEST(MultiByteText, FormatGrowsBeyondItsFirstBuffer)
{
    EXPECT_EQ(Format("%s\\%s", "a", "b"), "a\\b");
    std::string long_text(1000, 'x');
    EXPECT_EQ(Format("[%s]", long_text.c_str()), "[" + long_text + "]");
    EXPECT_EQ(Format("%i%i%i%i", 1, 2, 10, 0), "12100");
}

TEST(MultiByteText, LowerCaseTouchesAsciiLettersOnly)
{
    EXPECT_EQ(MbLowerAscii("Setup.EXE"), "setup.exe");
    // 0x81 0x41: a double-byte character whose trail byte is "A" stays.
    EXPECT_EQ(MbLowerAscii("\x81\x41Z\x81"), "\x81\x41z\x81");
}
