// The installer started as a whole program: which role each start takes, and
// the message a file without a usable marker shows.
#include "common/exit_codes.h"
#include "driver.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace e2e;

namespace {
// Exit codes the installer leaves for each role.
// The packaged run succeeds once it has started the working copy; the
// working copy is cancelled here, the finish run shows a failure.
constexpr DWORD kPackaged = kExitSuccess, kWorking = kExitCancelled, kFinish = kExitFailed, kBadPackage = kExitDamaged,
                kExtractFailed = kExitDamaged;

// A copy of the built installer with bytes appended.
std::string Variant(const std::string& name, const std::string& tail)
{
    const std::string installer = BuiltProgram("TMD_INSTALLER_EXE");
    const std::string path = NewFolder() + name;
    if (installer.empty() || !WriteFileBytes(path, ReadFileBytes(installer) + tail))
        return std::string();
    return path;
}

}  // namespace

TEST(InstallerStartup, FileWithoutAUsableMarkerShowsTheSetupError)
{
    struct Case {
        const char* name;
        std::string tail;
    };
    const Case cases[] = {{"bare.exe", ""}, {"odd.exe", "xx"}, {"other.exe", U16(1979)}};
    for (const Case& c : cases) {
        const std::string program = Variant(c.name, c.tail);
        ASSERT_FALSE(program.empty());
        Process run(program, "");
        ASSERT_TRUE(run.Started());
        HWND box = run.WaitForDialog(30000);
        ASSERT_NE(box, nullptr) << c.name << ": no message box";
        const std::vector<std::string> texts = StaticTexts(box);
        ASSERT_FALSE(texts.empty());
        EXPECT_EQ(texts.back(), "Tessaramond:setup Error!") << c.name;
        if (std::string(c.name) == "odd.exe")
            SaveScreenshot("startup-setup-error");
        ClickButton(box, IDOK);
        EXPECT_EQ(run.WaitForExit(30000), kBadPackage) << c.name;
    }
}

TEST(InstallerStartup, MarkerChoosesThePackagedOrTheWorkingRun)
{
    // An empty package: the packaged run extracts nothing and starts the
    // working copy, whose wizard (no descriptor: no product name) appears.
    RemoveTree(TempFolder() + "Tessaramond");
    Process packaged(Variant("shipped.exe", U16(0) + U16(1978)), "");
    EXPECT_EQ(packaged.WaitForExit(60000), kPackaged);
    HWND started = WaitForCaption(" 安装", 30000, 1013, "下一步");
    ASSERT_NE(started, nullptr) << "the working copy shows no wizard";
    TerminateOwner(started);

    Process working(Variant("setup.exe", U16(2008)), "");
    HWND wizard = WaitForCaption(" 安装", 30000, 1013, "下一步");
    ASSERT_NE(wizard, nullptr);
    EXPECT_EQ(WindowProcess(wizard), working.Id());
    PostMessageW(GetDlgItem(wizard, 1009), BM_CLICK, 0, 0);  // cancel, then quit
    HWND confirm = WaitForCaption(" 安装", 10000, 1005, "退出安装");
    ASSERT_NE(confirm, nullptr);
    PostMessageW(GetDlgItem(confirm, 1005), BM_CLICK, 0, 0);
    EXPECT_EQ(working.WaitForExit(30000), kWorking);
}

TEST(InstallerStartup, DamagedPackageShowsTheExtractionError)
{
    // The one record claims more bytes than the file holds.
    Process run(Variant("damaged.exe", U16(60000) + U16(1) + U16(1978)), "");
    ASSERT_TRUE(run.Started());
    HWND dialog = nullptr;
    for (int i = 0; i < 300 && dialog == nullptr; ++i) {
        HWND found = run.WaitForDialog(10000);
        if (found && WindowText(found) == "初始化向导错误")
            dialog = found;
        else
            Sleep(100);
    }
    ASSERT_NE(dialog, nullptr);
    const std::vector<std::string> texts = StaticTexts(dialog);
    EXPECT_NE(std::find(texts.begin(), texts.end(), "解压时，压缩文件已损坏！"), texts.end()) << texts.back();
    SaveScreenshot("self-extraction-error");
    ClickButton(dialog, 1019);
    EXPECT_EQ(run.WaitForExit(20000), kExtractFailed);
}

TEST(InstallerStartup, CommandLineWinsOverAnyMarker)
{
    for (const std::string& tail : {U16(1978), U16(2008), std::string("xx")}) {
        Process finish(Variant("finish.exe", tail), "1|C:\\T\\|Demo|");
        HWND window = WaitForCaption("Demo 安装", 30000, 1013, "结束");
        ASSERT_NE(window, nullptr) << "no finish page";
        EXPECT_EQ(WindowProcess(window), finish.Id());
        EXPECT_FALSE(ItemEnabled(window, 1009));
        PostMessageW(GetDlgItem(window, 1013), BM_CLICK, 0, 0);
        EXPECT_EQ(finish.WaitForExit(30000), kFinish);
    }
}
