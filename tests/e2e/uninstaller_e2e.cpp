// The uninstaller's start-up: it needs a record name on its command line and
// that record beside itself; otherwise it ends at once without a window.
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
    EXPECT_EQ(RunQuietly(program, "5.tmd"), kLoaded);
    EXPECT_EQ(RunQuietly(program, "   5.tmd"), kLoaded);
    // Loading never removes anything; that is the wizard's "下一步".
    EXPECT_EQ(ReadFileBytes(folder + "5.tmd"), "record");
    EXPECT_EQ(ReadFileBytes(outside + "6.tmd"), "record");
}
