// The uninstaller's start-up: it needs a record name on its command line and
// that record beside itself; otherwise it ends at once without a window.
// With one it shows its wizard, which Cancel ends without removing anything,
// and "下一步" removes what the record names.
#include "common/exit_codes.h"
#include "driver.h"
#include "framework/win32/wide.h"
#include "packages.h"

#include <gtest/gtest.h>

#include <vector>

using namespace e2e;

namespace {
// Exit codes the uninstaller leaves for a record loaded and its removal
// cancelled, for none, and for a switch it does not know.
constexpr DWORD kLoaded = kExitCancelled, kNoRecord = kExitDamaged, kRefused = kExitBadCommandLine;

DWORD RunQuietly(const std::string& program, const std::string& arguments)
{
    Process run(program, arguments);
    EXPECT_TRUE(run.Started());
    DWORD code = STILL_ACTIVE;
    for (int i = 0; i < 400 && code == STILL_ACTIVE; ++i) {
        EXPECT_FALSE(run.HasVisibleWindow()) << arguments;
        code = run.WaitForExit(50);
    }
    return code;
}
}  // namespace

TEST(UninstallerStartup, LoadsOnlyARecordNamedBesideItself)
{
    const std::string folder = NewFolder();
    const std::string program = folder + "untessaramond.exe";
    ASSERT_TRUE(WriteFileBytes(program, ReadFileBytes(BuiltProgram("TMD_UNINSTALLER_EXE"))));
    ASSERT_TRUE(WriteFileBytes(folder + "5.tmd", "record"));
    const std::string outside = NewFolder();
    ASSERT_TRUE(WriteFileBytes(outside + "6.tmd", "record"));

    EXPECT_EQ(RunQuietly(program, ""), kNoRecord);
    EXPECT_EQ(RunQuietly(program, "404.tmd"), kNoRecord);
    EXPECT_EQ(RunQuietly(program, outside + "6.tmd"), kNoRecord);
    EXPECT_EQ(RunQuietly(program, "/S 404.tmd"), kNoRecord);
    EXPECT_EQ(RunQuietly(program, "/X 5.tmd"), kRefused);
    for (const char* name : {"5.tmd", "   5.tmd"}) {
        Process run(program, name);
        // A record that is no INI document names no product.
        HWND wizard = WaitForCaption(" 安装", 30000, 1013, "下一步");
        ASSERT_NE(wizard, nullptr) << name;
        EXPECT_EQ(WindowProcess(wizard), run.Id());
        PostMessageW(GetDlgItem(wizard, 1009), BM_CLICK, 0, 0);
        EXPECT_EQ(run.WaitForExit(30000), kLoaded) << name;
    }
    // Loading and cancelling never remove anything; that is the wizard's "下一步".
    EXPECT_EQ(ReadFileBytes(folder + "5.tmd"), "record");
    EXPECT_EQ(ReadFileBytes(outside + "6.tmd"), "record");
}

// A record as the programs have always written it: GBK text, scrambled, here
// with a Chinese product, install folder, file, folder and shortcut names.
// The bytes are written out here rather than by the installer, so what is
// read is the stored form itself; the uninstaller removes what it names,
// whatever the code page of the system it runs on.
TEST(UninstallerRemoval, ARecordOfChineseGbkNamesIsRemovedWhateverTheCodePage)
{
    const std::string product = "星图旧版";
    const std::string installDir = SpecialFolder(CSIDL_PROGRAM_FILES) + product + "\\";
    const std::string programs = SpecialFolder(CSIDL_COMMON_PROGRAMS);
    const std::string desktop = SpecialFolder(CSIDL_DESKTOPDIRECTORY);
    RemoveTree(installDir);
    const std::vector<std::string> files = {"星表.csv", "文档\\使用说明.txt", "bin\\星图.exe"};
    for (const std::string& file : files) {
        const size_t cut = file.rfind('\\');
        if (cut != std::string::npos)
            SHCreateDirectoryExW(nullptr, Widen(installDir + file.substr(0, cut)).c_str(), nullptr);
        else
            CreateDirectoryW(Widen(installDir).c_str(), nullptr);
        ASSERT_TRUE(WriteFileBytes(installDir + file, "old")) << file;
    }
    CreateDirectoryW(Widen(programs + product).c_str(), nullptr);
    ASSERT_TRUE(WriteFileBytes(programs + product + "\\星图.lnk", "link"));
    ASSERT_TRUE(WriteFileBytes(desktop + "星图旧版.lnk", "link"));

    const std::string folder = NewFolder();
    const std::string program = folder + "untessaramond.exe";
    ASSERT_TRUE(WriteFileBytes(program, ReadFileBytes(BuiltProgram("TMD_UNINSTALLER_EXE"))));
    ASSERT_TRUE(WriteFileBytes(folder + "7.tmd",
                               Scrambled("[SoftInfo]\r\nproductname=" + product + "\r\n\r\n[InstallInfo]\r\nInstallDir=" +
                                         installDir + "\r\nDirCreated=1\r\n\r\n[StartMenu]\r\nlinknum=1\r\ngroup_0=" +
                                         product + "|\r\nlinkname_0=\\星图.lnk\r\n\r\n[Desktop]\r\nlinknum=1\r\n"
                                         "linkname_0=\\星图旧版.lnk\r\n\r\n[UnInstallFile]\r\nfielnum=3\r\nfile_0=" +
                                         files[0] + "\r\nfile_1=" + files[1] + "\r\nfile_2=" + files[2] + "\r\n")));

    Process run(program, "7.tmd");
    HWND wizard = WaitForCaption(product + " 安装", 30000, 1013, "下一步");
    ASSERT_NE(wizard, nullptr) << "the uninstaller did not show the record's product";
    ClickButton(wizard, 1013);
    ASSERT_TRUE(WaitForItemText(wizard, 1013, "完成", 30000));
    ClickButton(wizard, 1013);
    EXPECT_EQ(run.WaitForExit(30000), 0u);

    for (const std::string& gone : {installDir + files[0], installDir + files[1], installDir + files[2], installDir,
                                    programs + product + "\\星图.lnk", programs + product, desktop + "星图旧版.lnk",
                                    folder + "7.tmd"})
        EXPECT_EQ(GetFileAttributesW(Widen(gone).c_str()), INVALID_FILE_ATTRIBUTES) << gone;
}
