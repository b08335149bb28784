#include "common/ini_file.h"
#include "common/scramble.h"
#include "common/shell.h"
#include "installer/setup/setup_info.h"
#include "support.h"

#include <gtest/gtest.h>

namespace {
// A scrambled descriptor made of the given lines.
std::string Descriptor(const std::string& text)
{
    const std::string path = NewScratchFolder() + "install.tmd";
    WriteWholeFile(path, text);
    ScrambleFile(path);
    return path;
}
}  // namespace

TEST(SetupDescriptor, ReadsEveryKey)
{
    const std::string path = Descriptor(
        "[SoftInfo]\r\ncompanyname=Acme\r\nproductname=\xB2\xE2\xCA\xD4\r\nproductversion=2.1\r\n\r\n"
        "[InstallInfo]\r\nfolder=Acme\\Demo\\\r\nbfoldersel=0\r\nexefile=bin\\demo.exe\r\n"
        "installexe=C:\\dl\\DemoSetup.exe\r\nfilelen=123456\r\n\r\n"
        "[StartMenu]\r\nlinknum=2\r\ngroup_0=Acme|Demo|\r\nexefile_0=bin\\demo.exe\r\nlinkname_0=\\Demo.lnk\r\n"
        "group_1=Acme|\r\nexefile_1=readme.txt\r\nlinkname_1=\\Readme.lnk\r\n\r\n"
        "[Desktop]\r\nlinknum=1\r\nexefile_0=bin\\demo.exe\r\nlinkname_0=\\Demo.lnk\r\n\r\n"
        "[SystemDll]\r\nckdll=1\r\n");
    CSetupInfo info;
    ASSERT_TRUE(info.LoadDescriptorFrom(path));
    EXPECT_EQ(info.m_strCompanyName, "Acme");
    EXPECT_EQ(info.m_strProductName, "\xB2\xE2\xCA\xD4");
    EXPECT_EQ(info.m_strProductVersion, "2.1");
    EXPECT_EQ(info.m_strFolder, "Acme\\Demo\\");
    EXPECT_EQ(info.m_strProgramFilesDir, GetProgramFilesFolder());
    EXPECT_EQ(info.m_strInstallDir, GetProgramFilesFolder() + "Acme\\Demo\\");
    EXPECT_EQ(info.m_bFolderSel, 0);
    EXPECT_EQ(info.m_strRunProgram, "bin\\demo.exe");
    EXPECT_EQ(info.m_strSourceExe, "C:\\dl\\DemoSetup.exe");
    EXPECT_EQ(info.m_nDataSize, 123456);
    EXPECT_EQ(info.m_arrGroups, (std::vector<std::string>{"Acme|Demo|", "Acme|"}));
    EXPECT_EQ(info.m_arrStartPrograms, (std::vector<std::string>{"bin\\demo.exe", "readme.txt"}));
    EXPECT_EQ(info.m_arrStartLinks, (std::vector<std::string>{"\\Demo.lnk", "\\Readme.lnk"}));
    EXPECT_EQ(info.m_arrDesktopPrograms, (std::vector<std::string>{"bin\\demo.exe"}));
    EXPECT_EQ(info.m_arrDesktopLinks, (std::vector<std::string>{"\\Demo.lnk"}));
    EXPECT_EQ(info.m_bSystemDll, 1);
}

TEST(SetupDescriptor, DefaultsWhenKeysOrTheFileAreMissing)
{
    CSetupInfo info;
    ASSERT_TRUE(info.LoadDescriptorFrom(Descriptor("[SoftInfo]\r\ncompanyname=Acme\r\nProductName=X\r\n")));
    EXPECT_EQ(info.m_strFolder, "Acme");  // the company name
    EXPECT_EQ(info.m_strInstallDir, GetProgramFilesFolder() + "Acme");
    EXPECT_EQ(info.m_strProductName, "");  // names are case-sensitive
    EXPECT_EQ(info.m_bFolderSel, 1);
    EXPECT_EQ(info.m_nDataSize, 0);
    EXPECT_TRUE(info.m_arrStartPrograms.empty());

    CSetupInfo none;
    EXPECT_TRUE(none.LoadDescriptorFrom(NewScratchFolder() + "install.tmd"));
    EXPECT_EQ(none.m_strInstallDir, GetProgramFilesFolder());
    EXPECT_EQ(none.m_bFolderSel, 1);

    const std::string empty = NewScratchFolder() + "install.tmd";
    WriteWholeFile(empty, "");
    CSetupInfo broken;
    EXPECT_FALSE(broken.LoadDescriptorFrom(empty));
}

TEST(SetupDescriptor, SizeOfTwoToFourGibibytesReadsBackAsWritten)
{
    // The self-extraction writes the size as an unsigned number; a 3 GB
    // package must not come back negative and show four thousand million KB.
    const std::string path = Descriptor("[InstallInfo]\r\nfilelen=0\r\n");
    CSetupInfo extracted;
    extracted.m_nDataSize = 3000000000LL;
    ASSERT_TRUE(extracted.UpdateDescriptor(path));
    CSetupInfo info;
    ASSERT_TRUE(info.LoadDescriptorFrom(path));
    EXPECT_EQ(info.m_nDataSize, 3000000000LL);
}

TEST(SetupDescriptor, IncompleteEntriesAreSkippedInEveryList)
{
    // Entry 1 has no target: all its values are left out, so the lists stay aligned.
    CSetupInfo info;
    ASSERT_TRUE(info.LoadDescriptorFrom(Descriptor(
        "[StartMenu]\r\nlinknum=3\r\ngroup_0=G|\r\nexefile_0=a.exe\r\nlinkname_0=\\A.lnk\r\n"
        "group_1=G|\r\nlinkname_1=\\B.lnk\r\n"
        "group_2=H|\r\nexefile_2=c.exe\r\nlinkname_2=\\C.lnk\r\n"
        "[Desktop]\r\nlinknum=2\r\nexefile_0=a.exe\r\nlinkname_1=\\B.lnk\r\n")));
    EXPECT_EQ(info.m_arrGroups, (std::vector<std::string>{"G|", "H|"}));
    EXPECT_EQ(info.m_arrStartPrograms, (std::vector<std::string>{"a.exe", "c.exe"}));
    EXPECT_EQ(info.m_arrStartLinks, (std::vector<std::string>{"\\A.lnk", "\\C.lnk"}));
    EXPECT_TRUE(info.m_arrDesktopPrograms.empty());
    EXPECT_TRUE(info.m_arrDesktopLinks.empty());
}

TEST(SetupDescriptor, HugeOrNegativeEntryCountsEndQuickly)
{
    for (const char* count : {"2147483647", "-5", "99999999999"}) {
        CSetupInfo info;
        ASSERT_TRUE(info.LoadDescriptorFrom(Descriptor(std::string("[StartMenu]\r\nlinknum=") + count +
                                                       "\r\ngroup_0=G|\r\nexefile_0=a.exe\r\nlinkname_0=\\A.lnk\r\n")));
        EXPECT_LE(info.m_arrStartPrograms.size(), 1u) << count;
    }
}

TEST(SetupDescriptor, UpdateAddsTheShippedFileAndTheDataSize)
{
    const std::string path = Descriptor("[SoftInfo]\r\nproductname=Demo\r\n\r\n[InstallInfo]\r\nfolder=Demo\\\r\n");
    CSetupInfo writer;
    writer.m_strSourceExe = "C:\\dl\\DemoSetup.exe";
    writer.m_nDataSize = 5000000000LL;  // only the low 32 bits travel
    ASSERT_TRUE(writer.UpdateDescriptor(path));

    CIniFile ini;
    ASSERT_TRUE(ini.Load(path, true));
    EXPECT_EQ(ini.GetValue("InstallInfo", "installexe", ""), "C:\\dl\\DemoSetup.exe");
    EXPECT_EQ(ini.GetValue("InstallInfo", "filelen", ""), "705032704");
    EXPECT_EQ(ini.GetValue("InstallInfo", "folder", ""), "Demo\\");

    CSetupInfo reader;
    ASSERT_TRUE(reader.LoadDescriptorFrom(path));
    EXPECT_EQ(reader.m_strSourceExe, "C:\\dl\\DemoSetup.exe");
    EXPECT_EQ(reader.m_nDataSize, 705032704);

    const std::string empty = NewScratchFolder() + "install.tmd";
    WriteWholeFile(empty, "");
    EXPECT_FALSE(writer.UpdateDescriptor(empty));
}

TEST(SetupDescriptor, ShortcutsAndTheMainProgramMustStayInTheirFolders)
{
    // Link names join their folder without a separator (a group's folder
    // ends with a backslash, the desktop's does not); groups become folders
    // below Programs; the launcher goes beside the main program. Any of them
    // leaving its folder drops the entry, and only that entry.
    CSetupInfo info;
    ASSERT_TRUE(info.LoadDescriptorFrom(Descriptor(
        "[InstallInfo]\r\nexefile=..\\..\\Windows\\app.exe\r\n\r\n"
        "[StartMenu]\r\nlinknum=6\r\n"
        "group_0=G|\r\nexefile_0=a.exe\r\nlinkname_0=\\..\\..\\A.lnk\r\n"
        "group_1=..|\r\nexefile_1=a.exe\r\nlinkname_1=\\B.lnk\r\n"
        "group_2=G|C:\\Windows|\r\nexefile_2=a.exe\r\nlinkname_2=\\C.lnk\r\n"
        "group_3=G|\r\nexefile_3=a.exe\r\nlinkname_3=D.lnk\r\n"
        "group_4=G|In|\r\nexefile_4=a.exe\r\nlinkname_4=\\E.lnk\r\n"
        "group_5=G|\r\nexefile_5=a.exe\r\nlinkname_5=\\F.lnk:stream\r\n"
        "[Desktop]\r\nlinknum=4\r\nexefile_0=a.exe\r\nlinkname_0=\\..\\Evil.lnk\r\n"
        "exefile_1=a.exe\r\nlinkname_1=\\Good.lnk\r\nexefile_2=a.exe\r\nlinkname_2=\\NUL\r\n"
        "exefile_3=a.exe\r\nlinkname_3=Beside.lnk\r\n")));
    EXPECT_EQ(info.m_strRunProgram, "");
    EXPECT_EQ(info.m_arrGroups, (std::vector<std::string>{"G|", "G|In|"}));
    EXPECT_EQ(info.m_arrStartLinks, (std::vector<std::string>{"D.lnk", "\\E.lnk"}));
    EXPECT_EQ(info.m_arrStartPrograms.size(), 2u);
    EXPECT_EQ(info.m_arrDesktopLinks, (std::vector<std::string>{"\\Good.lnk"}));
    EXPECT_EQ(info.m_arrDesktopPrograms.size(), 1u);

    CSetupInfo nested;
    ASSERT_TRUE(nested.LoadDescriptorFrom(Descriptor("[InstallInfo]\r\nexefile=bin\\x64\\app.exe\r\n")));
    EXPECT_EQ(nested.m_strRunProgram, "bin\\x64\\app.exe");
}
