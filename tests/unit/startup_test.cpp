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

TEST(PackageMarker, AnOutcomeChoosesTheFinishRunAndAnythingUnknownIsRefusedWhateverTheMarker)
{
    const std::string folder = NewScratchFolder();
    WriteWholeFile(folder + "shipped.exe", "img" + U16(1978));
    WriteWholeFile(folder + "working.exe", "img" + U16(2008));
    WriteWholeFile(folder + "broken.exe", "img");
    auto role = [](const char* line, const std::string& path) { return ChooseRole(ReadInstallerCommandLine(line), path); };
    // A finish run removes the folder its line names: only a text shaped as
    // an outcome is taken for one.
    for (const char* file : {"shipped.exe", "working.exe", "broken.exe", "missing.exe"}) {
        EXPECT_EQ(role("0|C:\\T\\|Demo|", folder + file), InstallerRole::Finish) << file;
        for (const char* refused : {"C:\\T\\|Demo|", "2|C:\\T\\|Demo", "/X", "/D=", "/S /quiet", "-S"})
            EXPECT_EQ(role(refused, folder + file), InstallerRole::BadCommandLine) << refused << " " << file;
    }
    for (const char* none : {"", "/S", "/S /NORUN /D=C:\\Apps"}) {
        EXPECT_EQ(role(none, folder + "shipped.exe"), InstallerRole::Packaged) << none;
        EXPECT_EQ(role(none, folder + "working.exe"), InstallerRole::Working) << none;
        EXPECT_EQ(role(none, folder + "broken.exe"), InstallerRole::BadPackage) << none;
        EXPECT_EQ(role(none, folder + "missing.exe"), InstallerRole::BadPackage) << none;
    }
}
