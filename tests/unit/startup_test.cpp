#include "installer/core/startup.h"
#include "package_bytes.h"
#include "support.h"

#include <gtest/gtest.h>

TEST(PackageMarker, ValuesOfTheLastTwoBytes)
{
    const std::string folder = NewScratchFolder();
    auto marker = [&](const std::string& bytes) {
        WriteWholeFile(folder + "f.exe", bytes);
        return ReadPackageMarker(folder + "f.exe");
    };
    EXPECT_EQ(ReadPackageMarker(folder + "missing.exe"), 0);
    EXPECT_EQ(marker(""), 0);
    EXPECT_EQ(marker("\xBA"), 3);  // one byte: no marker
    EXPECT_EQ(marker(U16(1978)), 1);
    EXPECT_EQ(marker("image" + U16(2008)), 2);
    EXPECT_EQ(marker("image" + U16(1979)), 3);
    EXPECT_EQ(marker(U16(2008) + "xx"), 3);
}

TEST(PackageMarker, CommandLineChoosesTheFinishRunWhateverTheMarker)
{
    const std::string folder = NewScratchFolder();
    WriteWholeFile(folder + "shipped.exe", "img" + U16(1978));
    WriteWholeFile(folder + "working.exe", "img" + U16(2008));
    WriteWholeFile(folder + "broken.exe", "img");
    for (const char* file : {"shipped.exe", "working.exe", "broken.exe", "missing.exe"})
        EXPECT_EQ(ChooseRole("0|C:\\T\\|Demo|", folder + file), InstallerRole::Finish) << file;
    EXPECT_EQ(ChooseRole("", folder + "shipped.exe"), InstallerRole::Packaged);
    EXPECT_EQ(ChooseRole("", folder + "working.exe"), InstallerRole::Working);
    EXPECT_EQ(ChooseRole("", folder + "broken.exe"), InstallerRole::BadPackage);
    EXPECT_EQ(ChooseRole("", folder + "missing.exe"), InstallerRole::BadPackage);
}
