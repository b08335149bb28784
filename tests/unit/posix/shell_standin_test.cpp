#include "common/shell.h"
#include "framework/file.h"
#include "framework/posix/host_path.h"
#include "support.h"

#include <gtest/gtest.h>

#include <unistd.h>

TEST(PosixStandIn, DrivesMapOntoTheSandboxAndTheRoot)
{
    const std::string root = SandboxRoot();
    ASSERT_FALSE(root.empty());
    EXPECT_EQ(HostPath("C:\\a\\b.txt"), root + "/a/b.txt");
    EXPECT_EQ(HostPath("Z:\\usr\\bin"), "/usr/bin");
    EXPECT_EQ(HostPath("D:\\x"), "");
    EXPECT_EQ(WindowsPath(root + "/users/x"), "C:\\users\\x");
    EXPECT_EQ(WindowsPath("/usr/bin"), "Z:\\usr\\bin");
    EXPECT_EQ(WindowsPath("/"), "Z:\\");
}

TEST(PosixStandIn, LaunchIsRecordedWithFolderFileAndParameters)
{
    const std::string log = "C:\\launch.log";
    RemoveFile(log).Ignore();
    const std::string params = "2|C:\\T\\|Demo|0|C:\\P\\|a.exe|";
    LaunchProgram("C:\\Program Files\\X\\app.exe", &params).Ignore();
    LaunchProgram("bare.exe").Ignore();
    EXPECT_FALSE(LaunchProgram("C:\\Program Files\\X\\"));  // a folder is no program: nothing is started
    EXPECT_EQ(ReadWholeFile(log),
              "C:\\Program Files\\X\\\tapp.exe\t" + params + "\n"
              "\tbare.exe\t\n");
}

TEST(PosixStandIn, VersionIsReadFromTheFixedFileInfo)
{
    // VS_FIXEDFILEINFO: signature, structure version, file version MS and LS.
    std::string blob = "header";
    blob += std::string("\xBD\x04\xEF\xFE", 4) + std::string("\x00\x00\x01\x00", 4);
    blob += std::string("\x02\x00\x01\x00", 4) + std::string("\x00\x00\x0A\x00", 4);
    const std::string path = NewScratchFolder() + "v.exe";
    WriteWholeFile(path, blob);
    EXPECT_EQ(GetFileVersionNumber(path), "12100");  // 1.2.10.0
}

TEST(PosixStandIn, FolderTreeRemovalTakesALinkButNotWhatItPointsTo)
{
    // A folder link inside the tree stands for a junction a user made.
    const std::string tree = NewScratchFolder() + "tree";
    const std::string elsewhere = NewScratchFolder();
    CreateFolder(tree).Ignore();
    CreateFolder(tree + "\\sub").Ignore();
    WriteWholeFile(tree + "\\sub\\a.txt", "a");
    WriteWholeFile(elsewhere + "keep.txt", "keep");
    ASSERT_EQ(::symlink(HostPath(elsewhere).c_str(), HostPath(tree + "\\sub\\link").c_str()), 0);
    ASSERT_TRUE(FileExists(tree + "\\sub\\link\\keep.txt"));

    EXPECT_TRUE(DeleteFolderTree(tree));
    EXPECT_FALSE(FileExists(tree));
    EXPECT_EQ(ReadWholeFile(elsewhere + "keep.txt"), "keep");
}
