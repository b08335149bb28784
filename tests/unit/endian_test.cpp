#include "framework/endian.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// Each byte must count as unsigned: a plain char above 0x7F would otherwise
// spread its sign over the higher bytes.
static_assert(LoadLe16("\x34\xF2") == 0xF234);
static_assert(LoadLe32("\xFF\x80\x01\xFE") == 0xFE0180FFu);
static_assert(LoadLe64("\x01\x02\x03\x04\x05\x06\x07\x88") == 0x8807060504030201ull);

TEST(Endian, StoresLowByteFirstAndLoadsBack)
{
    std::string text;
    AppendLe16(text, 0xBEEF);
    AppendLe32(text, 0x8000007Fu);
    AppendLe64(text, 0xF0E0D0C0B0A09080ull);
    EXPECT_EQ(text, std::string("\xEF\xBE\x7F\x00\x00\x80\x80\x90\xA0\xB0\xC0\xD0\xE0\xF0", 14));
    EXPECT_EQ(LoadLe16(text.data()), 0xBEEF);
    EXPECT_EQ(LoadLe32(text.data() + 2), 0x8000007Fu);
    EXPECT_EQ(LoadLe64(text.data() + 6), 0xF0E0D0C0B0A09080ull);

    std::vector<uint8_t> bytes(8, 0xAA);
    StoreLe32(bytes.data() + 1, 0x01020304u);
    StoreLe16(bytes.data() + 5, 0x0506);
    EXPECT_EQ(bytes, (std::vector<uint8_t>{0xAA, 4, 3, 2, 1, 6, 5, 0xAA}));
}
