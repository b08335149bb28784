#include "common/shell.h"
#include "framework/file.h"
#include "framework/win32/handle.h"
#include "framework/win32/wide.h"
#include "support.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <vector>

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
    wchar_t path[MAX_PATH];
    ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, path, CSIDL_PROGRAM_FILES, FALSE));
    EXPECT_EQ(GetProgramFilesFolder(), NarrowToGbk(path).value_or("?") + "\\");
    ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, path, CSIDL_COMMON_PROGRAMS, FALSE));
    EXPECT_EQ(CreateProgramGroup(""), NarrowToGbk(path).value_or("?") + "\\");
}

namespace {
// The names in a folder as Windows gives them in UTF-16.
std::vector<std::wstring> WideNames(const std::string& folder)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(Widen(folder + "*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (std::wstring(data.cFileName) != L"." && std::wstring(data.cFileName) != L"..")
            names.push_back(data.cFileName);
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return names;
}
}  // namespace

// GBK names reach the disk as their characters and come back as the same
// GBK, whatever the system code page (the wide literals are the compiler's
// UTF-16, not a conversion of the programs'); a name GBK cannot hold is
// listed under a name that stands for it, so its folder is not empty.
TEST(ShellWin32, GbkNamesReachTheDiskAsTheirCharactersUnderAnyCodePage)
{
    const std::string folder = NewScratchFolder();
    ASSERT_TRUE(CreateFolder(folder + "星表"));
    ASSERT_TRUE(WriteWholeFile(folder + "星表\\使用说明.txt", "gbk"));
    EXPECT_EQ(WideNames(folder), std::vector<std::wstring>{L"星表"});
    EXPECT_EQ(WideNames(folder + "星表\\"), std::vector<std::wstring>{L"使用说明.txt"});
    CFileFind find;
    ASSERT_TRUE(find.FindFile(folder + "星表\\*.txt"));
    EXPECT_EQ(find.GetFileName(), "使用说明.txt");
    find.Close();

    const std::string other = folder + "other\\";
    ASSERT_TRUE(CreateFolder(other));
    {
        const unique_file hangul(CreateFileW((Widen(other) + L"\xD55C.txt").c_str(), GENERIC_WRITE, 0, nullptr,
                                             CREATE_NEW, 0, nullptr));
        ASSERT_TRUE(hangul);
    }
    EXPECT_FALSE(IsFolderEmpty(other));
}
