#include "common/shell.h"
#include "framework/file.h"
#include "framework/strings.h"
#include "support.h"

#include <gtest/gtest.h>

#include <cstdlib>

TEST(Shell, ModuleFolderEndsWithABackslash)
{
    const std::string folder = GetModuleFolder();
    const std::string path = GetModulePath();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '\\');
    EXPECT_EQ(path.compare(0, folder.size(), folder), 0);
    EXPECT_EQ(path.find('\\', folder.size()), std::string::npos);
    EXPECT_TRUE(FileExists(path));
}

TEST(Shell, SpecialFoldersExistAndEndWithABackslash)
{
    for (const std::string& folder : {GetProgramFilesFolder(), GetCommonFilesFolder()}) {
        ASSERT_GT(folder.size(), 3u);
        EXPECT_EQ(folder.back(), '\\');
        EXPECT_TRUE(FileExists(folder.substr(0, folder.size() - 1))) << folder;
    }
    // Common Files lies inside Program Files on a fresh machine.
    EXPECT_EQ(GetCommonFilesFolder().rfind(GetProgramFilesFolder(), 0), 0u);
    EXPECT_TRUE(FileExists(GetDesktopFolder()));
    EXPECT_NE(GetDesktopFolder().back(), '\\');
}

TEST(Shell, ProgramGroupsAreCreatedOneLevelAtATime)
{
    const std::string programs = CreateProgramGroup("");
    ASSERT_FALSE(programs.empty());
    EXPECT_EQ(programs.back(), '\\');
    EXPECT_TRUE(FileExists(programs.substr(0, programs.size() - 1)));

    const std::string name = Format("TmdGroup%u", ScratchSeed());
    const std::string group = CreateProgramGroup(name);
    EXPECT_EQ(group, programs + name);
    EXPECT_TRUE(FileExists(group));
    // A nested group needs its outer group first; the call reuses it.
    EXPECT_EQ(CreateProgramGroup(name + "\\Inner"), group + "\\Inner");
    EXPECT_TRUE(FileExists(group + "\\Inner"));
    EXPECT_EQ(CreateProgramGroup(name), group);
    EXPECT_FALSE(FileExists(CreateProgramGroup(name + "\\No\\Such")));
    EXPECT_TRUE(DeleteFolderTree(group));
}

TEST(Shell, ShortcutKeepsTargetAndDescriptionAndIsReplaced)
{
    const std::string folder = NewScratchFolder();
    const std::string target = folder + "app.exe";
    WriteWholeFile(target, "MZ");
    WriteWholeFile(folder + "other.exe", "MZ");
    EXPECT_TRUE(CreateGroupShortcut(folder, target, "\xB3\xCC\xD0\xF2.lnk"));  // GBK link name
    std::string readTarget, description;
    ASSERT_TRUE(ReadShortcut(folder + "\xB3\xCC\xD0\xF2.lnk", readTarget, description));
    EXPECT_EQ(readTarget, target);
    EXPECT_EQ(description, "该程序由Tessaramond安装。");

    CreateGroupShortcut(folder, folder + "other.exe", "\xB3\xCC\xD0\xF2.lnk").Ignore();
    ASSERT_TRUE(ReadShortcut(folder + "\xB3\xCC\xD0\xF2.lnk", readTarget, description));
    EXPECT_EQ(readTarget, folder + "other.exe");
    EXPECT_FALSE(ReadShortcut(folder + "none.lnk", readTarget, description));
}

TEST(Shell, DesktopShortcutNameCarriesItsOwnSeparator)
{
    const std::string folder = NewScratchFolder();
    WriteWholeFile(folder + "d.exe", "MZ");
    const std::string link = Format("\\TmdDesk%u.lnk", ScratchSeed());
    CreateDesktopShortcut(folder + "d.exe", link).Ignore();
    std::string target, description;
    ASSERT_TRUE(ReadShortcut(GetDesktopFolder() + link, target, description));
    EXPECT_EQ(target, folder + "d.exe");
    EXPECT_TRUE(RemoveFile(GetDesktopFolder() + link));
}

TEST(Shell, DeleteFolderTreeRemovesNestingOfAnyDepth)
{
    const std::string root = NewScratchFolder() + "tree";
    std::string deep = root;
    CreateFolder(root).Ignore();
    // Paths beyond 200 bytes, within what the ANSI calls of Windows accept.
    for (int level = 0; deep.size() < 210; ++level) {
        deep += "\\level-" + std::to_string(level) + "-abcdefghij";
        ASSERT_TRUE(CreateFolder(deep)) << deep.size();
        WriteWholeFile(deep + "\\file.txt", "x");
    }
    ASSERT_LT(deep.size(), 240u);
    WriteWholeFile(root + "\\top.bin", "y");
    // A trailing backslash on the argument is accepted.
    EXPECT_TRUE(DeleteFolderTree(root + "\\"));
    EXPECT_FALSE(FileExists(root));
    EXPECT_FALSE(DeleteFolderTree(root));
}

TEST(Shell, ReadOnlyFileKeepsItsFoldersInPlace)
{
    const std::string root = NewScratchFolder() + "ro";
    CreateFolder(root).Ignore();
    CreateFolder(root + "\\a").Ignore();
    CreateFolder(root + "\\b").Ignore();
    WriteWholeFile(root + "\\a\\locked.txt", "x");
    WriteWholeFile(root + "\\b\\free.txt", "x");
    SetReadOnly(root + "\\a\\locked.txt", true);
    EXPECT_FALSE(DeleteFolderTree(root));
    EXPECT_TRUE(FileExists(root + "\\a\\locked.txt"));
    EXPECT_FALSE(FileExists(root + "\\b"));
    SetReadOnly(root + "\\a\\locked.txt", false);
    EXPECT_TRUE(DeleteFolderTree(root));
}

TEST(Shell, FileExistsMatchesFilesFoldersAndWildcards)
{
    const std::string folder = NewScratchFolder();
    WriteWholeFile(folder + "x.tmd", "1");
    EXPECT_TRUE(FileExists(folder + "x.tmd"));
    EXPECT_TRUE(FileExists(folder + "*.tmd"));
    EXPECT_TRUE(FileExists(folder.substr(0, folder.size() - 1)));
    EXPECT_FALSE(FileExists(folder + "y.tmd"));
    EXPECT_FALSE(FileExists(folder + "*.exe"));
}

TEST(Shell, TempFileNamesAreNewEmptyFiles)
{
    const std::string a = MakeTempFileName("data.h66");
    const std::string b = MakeTempFileName("data.h66");
    ASSERT_FALSE(a.empty());
    EXPECT_NE(a, b);
    EXPECT_EQ(a.rfind(GetTempFolder(), 0), 0u);
    EXPECT_TRUE(FileExists(a));
    EXPECT_EQ(GetFileLength(a), 0u);
    RemoveFile(a).Ignore();
    RemoveFile(b).Ignore();
}

TEST(Shell, FileLengthOfPresentAndMissingFiles)
{
    const std::string folder = NewScratchFolder();
    WriteWholeFile(folder + "n", std::string(12345, 'n'));
    EXPECT_EQ(GetFileLength(folder + "n"), 12345u);
    EXPECT_EQ(GetFileLength(folder + "missing"), 0u);
}

TEST(Shell, VersionNumberOfFilesWithAndWithoutOne)
{
    const std::string folder = NewScratchFolder();
    WriteWholeFile(folder + "plain.exe", "MZ no version here");
    EXPECT_EQ(GetFileVersionNumber(folder + "plain.exe"), "0000");
    EXPECT_EQ(GetFileVersionNumber(folder + "missing.exe"), "0000");

    // The installer itself carries 1.0.0.1; the test run names where it lies.
    const std::string installer = BuiltProgram("installer/tessaramond.exe");
    if (installer.empty())
        GTEST_SKIP() << "TMD_PROGRAMS_DIR does not name a win64 build";
    EXPECT_EQ(GetFileVersionNumber(installer), "1001");
    EXPECT_EQ(GetFileVersionNumber(BuiltProgram("uninstaller/untessaramond.exe")), "1004");
}
