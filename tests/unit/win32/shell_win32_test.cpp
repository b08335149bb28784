#include "common/shell.h"
#include "framework/file.h"
#include "support.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

namespace {
std::string WaitForFile(const std::string& path)
{
    for (int i = 0; i < 200; ++i) {
        std::string text = ReadWholeFile(path);
        if (!text.empty() && text.back() == '\n' && text.find("end\n") != std::string::npos)
            return text;
        Sleep(50);
    }
    return std::string();
}
}  // namespace

TEST(ShellWin32, LaunchStartsTheProgramInItsOwnFolder)
{
    // This test program, started again, reports its working folder.
    const std::string folder = NewScratchFolder();
    const std::string copy = folder + "child.exe";
    ASSERT_TRUE(CopyFileTo(GetModulePath(), copy, false));
    const std::string report = folder + "report.txt";
    const std::string params = "--report-launch " + report + " end";
    LaunchProgram(copy, &params).Ignore();
    const std::string text = WaitForFile(report);
    ASSERT_FALSE(text.empty()) << "the started program did not report";
    const std::string cwd = text.substr(0, text.find('\n'));
    EXPECT_EQ(cwd + "\\", folder);
}

TEST(ShellWin32, SpecialFoldersAreTheShellsOwn)
{
    char path[MAX_PATH];
    ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, path, CSIDL_PROGRAM_FILES, FALSE));
    EXPECT_EQ(GetProgramFilesFolder(), std::string(path) + "\\");
    ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, path, CSIDL_COMMON_PROGRAMS, FALSE));
    EXPECT_EQ(CreateProgramGroup(""), std::string(path) + "\\");
}
