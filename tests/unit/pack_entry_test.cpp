#include "format/pack_entry.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(PackRecord, ScrambledRoundTripOfAllFields)
{
    CPackEntry written;
    written.m_nSize = 0xA1B2C3D4u;
    written.m_strName = "\xB0\xB2\xD7\xB0.exe";  // GBK name
    written.m_strFolder = "bin\\tools\\";
    CPackWriter writer;
    written.WriteTo(writer);
    ASSERT_EQ(writer.Size(), 4u + 2 + written.m_strName.size() + 1 + 2 + written.m_strFolder.size() + 1);
    // Stored scrambled: the plain name does not appear in the record.
    std::string raw(reinterpret_cast<const char*>(writer.Data()), writer.Size());
    EXPECT_EQ(raw.find(".exe"), std::string::npos);
    EXPECT_EQ(raw[0], '\xD4');  // sizes are little-endian and not scrambled

    CPackEntry read;
    CPackReader reader(writer.Data(), writer.Size());
    read.ReadFrom(reader);
    EXPECT_EQ(read.m_nSize, written.m_nSize);
    EXPECT_EQ(read.m_strName, written.m_strName);
    EXPECT_EQ(read.m_strFolder, written.m_strFolder);
    EXPECT_EQ(reader.Position(), writer.Size());
}

TEST(PackRecord, EveryNameByteSurvivesScrambling)
{
    // Any byte a file name may hold (no control characters) comes back.
    std::string text;
    for (int c = 0x20; c <= 0xFF; ++c)
        text += static_cast<char>(c);
    EXPECT_TRUE(IsScramblable(text));
    CPackWriter writer;
    writer.SetScrambled(true);
    writer.WriteText(text);
    CPackReader reader(writer.Data(), writer.Size());
    reader.SetScrambled(true);
    std::string back;
    reader.ReadText(back);
    EXPECT_EQ(back, text);
    EXPECT_FALSE(IsScramblable(std::string("a\x07", 2)));
}

TEST(PackReader, U32AtTheEndGivesZeroAndKeepsPosition)
{
    const uint8_t bytes[] = {1, 2, 3, 4, 5, 6, 7};
    CPackReader reader(bytes, sizeof bytes);
    uint32_t v = 99;
    reader.ReadU32(v);
    EXPECT_EQ(v, 0x04030201u);
    reader.ReadU32(v);
    EXPECT_EQ(v, 0u);
    EXPECT_EQ(reader.Position(), 4u);
}

TEST(PackReader, TextClaimingMoreThanTheRecordIsEmpty)
{
    // Count 50 with only a few bytes behind it: the name is empty and the
    // next field is read from the bytes right after the count.
    const uint8_t bytes[] = {50, 0, 3, 0, 'a', 'b', 0};
    CPackReader reader(bytes, sizeof bytes);
    std::string name, folder;
    reader.ReadText(name);
    EXPECT_EQ(name, "");
    EXPECT_EQ(reader.Position(), 2u);
    reader.ReadText(folder);
    EXPECT_EQ(folder, "ab");
    EXPECT_EQ(reader.Position(), sizeof bytes);
}

TEST(PackReader, MalformedTextsAreEmpty)
{
    std::string out = "x";
    const uint8_t zeroCount[] = {0, 0, 'a', 0};
    CPackReader a(zeroCount, sizeof zeroCount);
    a.ReadText(out);
    EXPECT_EQ(out, "");
    EXPECT_EQ(a.Position(), 2u);

    const uint8_t noTerminator[] = {2, 0, 'a', 'b'};
    CPackReader b(noTerminator, sizeof noTerminator);
    b.ReadText(out);
    EXPECT_EQ(out, "");
    EXPECT_EQ(b.Position(), 2u);

    const uint8_t oneByte[] = {7};
    CPackReader c(oneByte, sizeof oneByte);
    c.ReadText(out);
    EXPECT_EQ(out, "");
    EXPECT_EQ(c.Position(), 0u);

    // An inner zero byte ends the text.
    const uint8_t innerZero[] = {4, 0, 'a', 0, 'b', 0};
    CPackReader d(innerZero, sizeof innerZero);
    d.ReadText(out);
    EXPECT_EQ(out, "a");
    EXPECT_EQ(d.Position(), sizeof innerZero);
}

TEST(PackWriter, FieldsThatDoNotFitAreNotWritten)
{
    CPackWriter writer;
    std::string big(CPackWriter::kCapacity - 8, 'n');
    writer.WriteText(big);  // 2 + size + 1 bytes
    const size_t used = writer.Size();
    EXPECT_EQ(used, big.size() + 3);
    writer.WriteText("abcd");  // needs 7, 5 are left
    EXPECT_EQ(writer.Size(), used);
    writer.WriteU32(1);
    EXPECT_EQ(writer.Size(), used + 4);
    writer.WriteU32(2);  // 1 byte left
    EXPECT_EQ(writer.Size(), used + 4);
}
