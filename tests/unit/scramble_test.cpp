#include "common/scramble.h"
#include "support.h"

#include <gtest/gtest.h>

namespace {
uint8_t KeyByte() { return static_cast<uint8_t>(KeyValueFromString(kScrambleKey)); }
}  // namespace

TEST(Scramble, KeyDerivationFoldsEveryCharacterIntoTheLowByte)
{
    const uint64_t start = KeyValueFromString("");
    // ASCII characters leave the high half alone; GBK lead bytes invert it.
    const uint64_t a = KeyValueFromString("a");
    EXPECT_EQ(a >> 32, start >> 32);
    EXPECT_EQ(static_cast<uint32_t>(a), static_cast<uint32_t>(start) ^ ('a' | 0x80u));
    const uint64_t g = KeyValueFromString("\xB0");
    EXPECT_EQ(g >> 32, (start >> 32) ^ 0xFFFFFFFFu);
    EXPECT_EQ(static_cast<uint32_t>(g), static_cast<uint32_t>(start) ^ 0xFFFFFFB0u);
    uint8_t expected = static_cast<uint8_t>(start);
    for (const char* p = "mirtol"; *p; ++p)
        expected ^= static_cast<uint8_t>(*p | 0x80);
    EXPECT_EQ(KeyByte(), expected);
}

TEST(Scramble, MaskDependsOnTheLengthByte)
{
    const std::string folder = NewScratchFolder();
    for (size_t length : {256u, 257u, 512u, 3u}) {
        const std::string plain(length, 'A');
        const std::string path = folder + "f" + std::to_string(length);
        ASSERT_TRUE(WriteWholeFile(path, plain));
        ASSERT_EQ(ScrambleFile(path), 1);
        const std::string scrambled = ReadWholeFile(path);
        ASSERT_EQ(scrambled.size(), length);
        const uint8_t mask = KeyByte() ^ static_cast<uint8_t>(length & 0xFF);
        EXPECT_EQ(static_cast<uint8_t>(scrambled[0]), static_cast<uint8_t>('A' ^ mask)) << length;
        EXPECT_EQ(static_cast<uint8_t>(scrambled[length - 1]), static_cast<uint8_t>('A' ^ mask)) << length;
        // Its own inverse.
        ASSERT_EQ(UnscrambleFile(path), 1);
        EXPECT_EQ(ReadWholeFile(path), plain) << length;
    }
}

TEST(Scramble, EmptyMissingAndGrownFiles)
{
    const std::string folder = NewScratchFolder();
    ASSERT_TRUE(WriteWholeFile(folder + "empty", ""));
    EXPECT_EQ(ScrambleFile(folder + "empty"), 0);
    EXPECT_EQ(UnscrambleFile(folder + "empty"), 0);
    EXPECT_EQ(ReadWholeFile(folder + "empty"), "");
    EXPECT_EQ(ScrambleFile(folder + "missing"), 0);

    // One byte appended to a scrambled file: the mask is one length byte off.
    const std::string plain = "[SoftInfo]\r\nproductname=Demo\r\n";
    ASSERT_TRUE(WriteWholeFile(folder + "grown", plain));
    ASSERT_EQ(ScrambleFile(folder + "grown"), 1);
    ASSERT_TRUE(WriteWholeFile(folder + "grown", ReadWholeFile(folder + "grown") + "x"));
    ASSERT_EQ(UnscrambleFile(folder + "grown"), 1);
    const std::string back = ReadWholeFile(folder + "grown");
    ASSERT_EQ(back.size(), plain.size() + 1);
    const uint8_t offBy = static_cast<uint8_t>(plain.size() & 0xFF) ^ static_cast<uint8_t>((plain.size() + 1) & 0xFF);
    for (size_t i = 0; i < plain.size(); ++i)
        EXPECT_EQ(static_cast<uint8_t>(back[i]), static_cast<uint8_t>(plain[i]) ^ offBy);
}

TEST(Scramble, BytesInMemoryMatchTheFileTransform)
{
    std::string text = "key=value\r\n";
    const std::string path = NewScratchFolder() + "m";
    ASSERT_TRUE(WriteWholeFile(path, text));
    ASSERT_EQ(ScrambleFile(path), 1);
    ScrambleBytes(text);
    EXPECT_EQ(ReadWholeFile(path), text);
}
