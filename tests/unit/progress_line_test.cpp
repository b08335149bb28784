// The builder's progress line: bytes of the total, the share, the rate and
// the time left, none of it before there is a rate to tell.
#include "tools/pack/terminal.h"

#include <gtest/gtest.h>

TEST(ProgressLine, TellsBytesShareRateAndTimeLeft)
{
    constexpr uint64_t MiB = 1 << 20;
    const std::string half = ProgressLine("packing", 50 * MiB, 100 * MiB, 2.0);
    EXPECT_NE(half.find("50.0 MiB / 100.0 MiB"), std::string::npos) << half;
    EXPECT_NE(half.find("] 50%"), std::string::npos) << half;
    EXPECT_NE(half.find("25.0 MiB/s"), std::string::npos) << half;
    EXPECT_NE(half.find("2 s left"), std::string::npos) << half;

    // Long waits in minutes and hours; the end has no time left.
    EXPECT_NE(ProgressLine("p", 1 * MiB, 200 * MiB, 1.0).find("3 min 19 s left"), std::string::npos);
    EXPECT_NE(ProgressLine("p", 1 * MiB, 8000 * MiB, 1.0).find("2 h 13 min left"), std::string::npos);
    const std::string done = ProgressLine("p", 100 * MiB, 100 * MiB, 4.0);
    EXPECT_NE(done.find("100%"), std::string::npos) << done;
    EXPECT_EQ(done.find("left"), std::string::npos) << done;

    // At the start there is no rate yet, and an empty product is done.
    EXPECT_EQ(ProgressLine("p", 0, 100 * MiB, 0.0).find("/s"), std::string::npos);
    EXPECT_NE(ProgressLine("p", 0, 0, 0.0).find("100%"), std::string::npos);
    // A count past the total (a file grew while packing) never passes 100 %.
    EXPECT_NE(ProgressLine("p", 120 * MiB, 100 * MiB, 1.0).find("] 100%"), std::string::npos);
}

TEST(ProgressLine, BytesInReadableUnits)
{
    EXPECT_EQ(FormatBytes(0), "0 B");
    EXPECT_EQ(FormatBytes(1023), "1023 B");
    EXPECT_EQ(FormatBytes(1536), "1.5 KiB");
    EXPECT_EQ(FormatBytes(5ull << 30), "5.0 GiB");
}
