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
    // The values are the ones the roles have always been chosen by: 0 to 3.
    EXPECT_EQ(ReadPackageMarker(folder + "missing.exe"), PackageMarker::Unreadable);
    EXPECT_EQ(marker(""), PackageMarker::Unreadable);
    EXPECT_EQ(marker("\xBA"), PackageMarker::Other);  // one byte: no marker
    EXPECT_EQ(marker(U16(1978)), PackageMarker::Packaged);
    EXPECT_EQ(marker("image" + U16(2008)), PackageMarker::Extracted);
    EXPECT_EQ(marker("image" + U16(1979)), PackageMarker::Other);
    EXPECT_EQ(marker(U16(2008) + "xx"), PackageMarker::Other);
    EXPECT_EQ(static_cast<int>(PackageMarker::Other), 3);
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
