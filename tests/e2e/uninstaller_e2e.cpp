// The uninstaller's start-up: it needs a record name on its command line and
// that record beside itself; otherwise it ends at once without a window.
// With one it shows its wizard, which Cancel ends without removing anything.
#include "driver.h"

#include <gtest/gtest.h>

using namespace e2e;

namespace {
// Exit codes the uninstaller leaves for a loaded record and for none.
constexpr DWORD kLoaded = 0, kNoRecord = 1;

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
