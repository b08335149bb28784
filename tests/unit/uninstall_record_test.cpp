#include "common/scramble.h"
#include "common/shell.h"
#include "framework/endian.h"
#include "framework/file.h"
#include "framework/strings.h"
#include "installer/setup/setup_info.h"
#include "support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace {
struct RecordFixture {
    std::string root = NewScratchFolder();
    std::string source = root + "temp\\";
    CSetupInfo info;

    RecordFixture()
    {
        CreateFolder(root + "temp").Ignore();
        CreateFolder(root + "shared").Ignore();
        CreateFolder(root + "inst").Ignore();
        CreateFolder(root + "inst\\bin").Ignore();
        WriteWholeFile(source + "uninstall.exe", "LAUNCHER");
        info.m_strSharedDir = root + "shared\\";
        info.m_strInstallDir = root + "inst\\";
        info.m_strProductName = "\xB2\xE2\xCA\xD4";
        info.m_strRunProgram = "bin\\app.exe";
    }

    // The record's lines, unscrambled.
    std::vector<std::string> RecordLines() const
    {
        std::string text = ReadWholeFile(info.m_strRecordPath);
        ScrambleBytes(text);
        std::vector<std::string> lines;
        for (size_t at = 0; at < text.size();) {
            size_t end = text.find("\r\n", at);
            EXPECT_NE(end, std::string::npos) << "every line ends with CR LF";
            if (end == std::string::npos)
                break;
            lines.push_back(text.substr(at, end - at));
            at = end + 2;
        }
        return lines;
    }

    uint32_t IdInName() const
    {
        const std::string name = info.m_strRecordPath.substr(info.m_strSharedDir.size());
        return static_cast<uint32_t>(std::strtoul(name.c_str(), nullptr, 10));
    }
};

uint32_t LastFourBytes(const std::string& bytes)
{
    return LoadLe32(bytes.data() + bytes.size() - 4);
}
}  // namespace

TEST(UninstallRecord, ExactLinesStampAndLauncherBesideTheMainProgram)
{
    RecordFixture f;
    f.info.m_arrGroups = {"Acme|Demo|", "Acme|"};
    f.info.m_arrStartLinks = {"\\Demo.lnk", "\\Readme.lnk"};
    f.info.m_arrDesktopLinks = {"\\Demo.lnk"};
    f.info.m_arrInstalledFiles = {"bin\\app.exe", "data\\a.txt"};
    ASSERT_TRUE(f.info.WriteUninstallRecordFrom(f.source));

    const std::string name = f.info.m_strRecordPath.substr(f.info.m_strSharedDir.size());
    ASSERT_EQ(name, Format("%lu.tmd", static_cast<unsigned long>(f.IdInName())));
    EXPECT_EQ(f.RecordLines(), (std::vector<std::string>{
                                   "[SoftInfo]", "productname=\xB2\xE2\xCA\xD4", "",
                                   "[InstallInfo]", "InstallDir=" + f.root + "inst\\", "DirCreated=0", "",
                                   "[StartMenu]", "linknum=2", "group_0=Acme|Demo|", "linkname_0=\\Demo.lnk",
                                   "group_1=Acme|", "linkname_1=\\Readme.lnk", "",
                                   "[Desktop]", "linknum=1", "linkname_0=\\Demo.lnk", "",
                                   "[UnInstallFile]", "fielnum=3", "file_0=bin\\app.exe", "file_1=data\\a.txt",
                                   "file_2=bin\\uninstall.exe"}));

    // The launcher gained exactly the identifier, and its copy sits beside the main program.
    const std::string stamped = ReadWholeFile(f.source + "uninstall.exe");
    ASSERT_EQ(stamped.size(), 8u + 4u);
    EXPECT_EQ(stamped.substr(0, 8), "LAUNCHER");
    EXPECT_EQ(LastFourBytes(stamped), f.IdInName());
    EXPECT_EQ(ReadWholeFile(f.root + "inst\\bin\\uninstall.exe"), stamped);
}

TEST(UninstallRecord, MainProgramWithoutFolderAndShortGroupList)
{
    RecordFixture f;
    f.info.m_strRunProgram = "app.exe";
    f.info.m_arrStartLinks = {"\\A.lnk", "\\B.lnk"};
    f.info.m_arrGroups = {"G|"};  // shorter: never read past its end
    ASSERT_TRUE(f.info.WriteUninstallRecordFrom(f.source));
    EXPECT_TRUE(FileExists(f.root + "inst\\uninstall.exe"));
    const std::vector<std::string> lines = f.RecordLines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "group_1="), lines.end());
    EXPECT_EQ(lines.back(), "file_0=uninstall.exe");
}

TEST(UninstallRecord, NothingWithoutALauncher)
{
    RecordFixture f;
    RemoveFile(f.source + "uninstall.exe").Ignore();
    EXPECT_FALSE(f.info.WriteUninstallRecordFrom(f.source));
    EXPECT_FALSE(FileExists(f.root + "shared\\*.tmd"));
    EXPECT_TRUE(f.info.m_arrInstalledFiles.empty());
}

TEST(UninstallRecord, RecordsWrittenInTheSameTickGetTheirOwnIdentifiers)
{
    RecordFixture f;
    ASSERT_TRUE(f.info.WriteUninstallRecordFrom(f.source));
    const std::string first = f.info.m_strRecordPath;
    const uint32_t firstId = f.IdInName();
    WriteWholeFile(f.source + "uninstall.exe", "LAUNCHER");
    ASSERT_TRUE(f.info.WriteUninstallRecordFrom(f.source));
    EXPECT_NE(f.info.m_strRecordPath, first);
    EXPECT_NE(f.IdInName(), firstId);
    EXPECT_EQ(LastFourBytes(ReadWholeFile(f.source + "uninstall.exe")), f.IdInName());
    EXPECT_TRUE(FileExists(first));
}

TEST(UninstallerDeployment, MovesOnceThenReplacesOnlyAnOlderVersion)
{
    const std::string installer = BuiltProgram("installer/tessaramond.exe");        // version 1.0.0.1
    const std::string uninstaller = BuiltProgram("uninstaller/untessaramond.exe");  // version 1.0.0.4
    if (installer.empty() || uninstaller.empty())
        GTEST_SKIP() << "TMD_PROGRAMS_DIR does not name a win64 build";
    const std::string older = ReadWholeFile(installer);
    const std::string newer = ReadWholeFile(uninstaller);
    const std::string source = NewScratchFolder();
    const std::string target = GetCommonFilesFolder() + "Tessaramond\\untessaramond.exe";
    RemoveFile(target).Ignore();

    // First deployment: moved out of the temporary folder.
    WriteWholeFile(source + "untessaramond.exe", older);
    CSetupInfo info;
    info.DeployUninstallerFrom(source);
    EXPECT_EQ(info.m_strSharedDir, GetCommonFilesFolder() + "Tessaramond\\");
    EXPECT_EQ(ReadWholeFile(target), older);
    EXPECT_FALSE(FileExists(source + "untessaramond.exe"));

    // A greater version replaces it and stays in the temporary folder too.
    WriteWholeFile(source + "untessaramond.exe", newer);
    info.DeployUninstallerFrom(source);
    EXPECT_EQ(ReadWholeFile(target), newer);
    EXPECT_TRUE(FileExists(source + "untessaramond.exe"));

    // An equal or smaller version, or one without a version, leaves it alone.
    for (const std::string& offered : {newer, older, std::string("MZ no version")}) {
        WriteWholeFile(source + "untessaramond.exe", offered);
        info.DeployUninstallerFrom(source);
        EXPECT_EQ(ReadWholeFile(target), newer);
    }
    RemoveFile(target).Ignore();
}

TEST(UninstallRecord, LauncherThatCannotBeCopiedIsNotListed)
{
    RecordFixture f;
    f.info.m_strRunProgram = "missing\\app.exe";  // no such folder below the install folder
    f.info.m_arrInstalledFiles = {"bin\\app.exe"};
    ASSERT_TRUE(f.info.WriteUninstallRecordFrom(f.source));
    const std::vector<std::string> lines = f.RecordLines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "fielnum=1"), lines.end());
    EXPECT_EQ(lines.back(), "file_0=bin\\app.exe");
}

TEST(UninstallRecord, RecordThatCannotBeSavedIsReportedAndNotLeftBehind)
{
    RecordFixture f;
    f.info.m_strSharedDir = f.root + "no such folder\\";
    EXPECT_FALSE(f.info.WriteUninstallRecordFrom(f.source));
    EXPECT_FALSE(FileExists(f.info.m_strRecordPath));
}
