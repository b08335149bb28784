// The installer as a user meets it: the shipped file is started, the wizard
// is walked page by page, the finish run shows the outcome.
#include "common/shell.h"
#include "driver.h"
#include "layout.h"
#include "packages.h"
#include "page_texts.h"

#include <gtest/gtest.h>

using namespace e2e;

namespace {
constexpr int kNext = 1013, kBack = 1014, kCancel = 1009;
const std::string kCaption = "TmdDemo 安装";

// A product with files in subfolders, a system-library package, two
// Start-menu entries (one in a group of two levels) and one desktop entry.
std::string BuildShipped(const std::string& folder, bool folderSel = true)
{
    const std::string demoApp = ReadFileBytes(BuiltProgram("TMD_DEMO_APP_EXE"));
    const std::string data = CompressBytes(ArchiveEntry("bin\\", "demo.exe", demoApp) +
                                               ArchiveEntry("data\\sub\\", "readme.txt", "read me") +
                                               ArchiveEntry("", "top.txt", "top"),
                                           CompressionLevel::Fast);
    const std::string dll = CompressBytes(ArchiveEntry("sys\\", "helper.dll", "MZ-helper"), CompressionLevel::Fast);
    const std::string descriptor = Scrambled(
        "[SoftInfo]\r\ncompanyname=Tmd\r\nproductname=TmdDemo\r\nproductversion=1.0\r\n\r\n"
        "[InstallInfo]\r\nfolder=TmdVendor\\TmdDemo\\\r\nexefile=bin\\demo.exe\r\nbfoldersel=" +
        std::string(folderSel ? "1" : "0") +
        "\r\n\r\n[StartMenu]\r\nlinknum=2\r\ngroup_0=TmdVendor|TmdDemo|\r\nexefile_0=bin\\demo.exe\r\n"
        "linkname_0=\\TmdDemo.lnk\r\ngroup_1=TmdVendor|\r\nexefile_1=data\\sub\\readme.txt\r\n"
        "linkname_1=\\TmdReadme.lnk\r\n\r\n[Desktop]\r\nlinknum=1\r\nexefile_0=bin\\demo.exe\r\n"
        "linkname_0=\\TmdDemo.lnk\r\n\r\n[SystemDll]\r\nckdll=1\r\n");
    const std::string path = folder + "TmdDemoSetup.exe";
    WriteFileBytes(path, Shipped(ReadFileBytes(BuiltProgram("TMD_INSTALLER_EXE")),
                                 {{"data.rar", data},
                                  {"dll.rar", dll},
                                  {"install.tmd", descriptor},
                                  {"license.txt", "\xD0\xED\xBF\xC9\xD0\xAD\xD2\xE9 license text"},
                                  {"untessaramond.exe", ReadFileBytes(BuiltProgram("TMD_UNINSTALLER_EXE"))},
                                  {"uninstall.exe", ReadFileBytes(BuiltProgram("TMD_LAUNCHER_EXE"))}}));
    return path;
}

// Ends whatever wizard of the test product is still open when a test ends,
// so that a failed test leaves no process holding the temporary folder.
struct CloseLeftovers {
    CloseLeftovers() { RemoveTree(TempFolder() + "Tessaramond"); }
    ~CloseLeftovers()
    {
        while (HWND window = WaitForCaption(kCaption, 0))
            TerminateOwner(window);
    }
};


// Waits until the frame's Next button carries the label.
bool WaitForLabel(HWND frame, const std::string& label) { return WaitForItemText(frame, kNext, label, 5000); }

std::string Lines(const std::vector<std::string>& faults)
{
    std::string text;
    for (const std::string& fault : faults)
        text += "\n  " + fault;
    return text;
}

// No control or painted line of the frame and its shown page overlaps
// another or reaches past what shows of its window, at this machine's
// dialog units and at SimSun's.
void ExpectLayoutHolds(HWND frame, int page, int templateId, const InstallerValues& values, bool uninstaller = false)
{
    HWND shown = ShownPage(frame);
    ASSERT_NE(shown, nullptr);
    const std::vector<PaintedText> lines = uninstaller ? UninstallerPageTexts(page, values.product)
                                                       : InstallerPageTexts(page, values, ClientHeight(shown));
    const auto dialog = LoadDialogTemplate(WindowProgram(frame), templateId);
    ASSERT_TRUE(dialog.has_value()) << "template " << templateId;
    for (Metrics metrics : {Metrics::Measured, Metrics::SimSun})
        EXPECT_EQ(Lines(LayoutFaults(frame, {{frame, HeaderTexts(values.product), {}}, {shown, lines, dialog}}, metrics)), "")
            << "page " << page << (metrics == Metrics::SimSun ? " at SimSun's units" : "");
}

// The sunken 3-D edge an edit box of a dialog template has by default.
bool HasSunkenEdge(HWND edit)
{
    return (GetWindowLongPtrA(edit, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) != 0;
}

std::string ShortcutTarget(const std::string& link)
{
    std::string target, description;
    if (!ReadShortcut(link, target, description))
        return "<no shortcut>";
    EXPECT_EQ(description, "该程序由Tessaramond安装。");
    return target;
}
}  // namespace

TEST(Wizard, FullWalkInstallsEverythingAndTheFinishRunCleansUp)
{
    const std::string installDir = SpecialFolder(CSIDL_PROGRAM_FILES) + "TmdVendor\\TmdDemo\\";
    const std::string programs = SpecialFolder(CSIDL_COMMON_PROGRAMS);
    const std::string temp = TempFolder() + "Tessaramond\\";
    CloseLeftovers guard;
    Process shipped(BuildShipped(NewFolder()), "");
    ASSERT_TRUE(shipped.Started());

    HWND wizard = WaitForCaption(kCaption, 60000);
    ASSERT_NE(wizard, nullptr) << "the wizard did not appear";
    EXPECT_FALSE(ItemVisible(wizard, kBack));
    EXPECT_EQ(ItemText(wizard, kNext), "下一步");
    EXPECT_TRUE(ItemEnabled(wizard, kCancel));
    const InstallerValues values{"TmdDemo", installDir, "", 2};
    ExpectLayoutHolds(wizard, 0, 131, values);
    SaveScreenshot("wizard-0-welcome");

    ClickButton(wizard, kNext);
    ASSERT_TRUE(WaitForLabel(wizard, "同意"));
    EXPECT_TRUE(ItemVisible(wizard, kBack));
    // The licence is loaded right after the label changes.
    std::string licence;
    for (int i = 0; i < 50 && licence.empty(); ++i, Sleep(100))
        licence = WindowText(PageControl(wizard, 1012, "Edit"));
    EXPECT_EQ(licence, "\xD0\xED\xBF\xC9\xD0\xAD\xD2\xE9 license text");
    EXPECT_TRUE(HasSunkenEdge(PageControl(wizard, 1012, "Edit")));
    ExpectLayoutHolds(wizard, 1, 132, values);
    SaveScreenshot("wizard-1-licence");

    ClickButton(wizard, kNext);
    ASSERT_TRUE(WaitForLabel(wizard, "下一步"));
    EXPECT_EQ(WindowText(PageControl(wizard, 1014, "Edit")), installDir);
    EXPECT_TRUE(HasSunkenEdge(PageControl(wizard, 1014, "Edit")));
    ExpectLayoutHolds(wizard, 2, 133, values);
    SaveScreenshot("wizard-2-folder");

    // Back and forth restores the labels.
    ClickButton(wizard, kBack);
    ASSERT_TRUE(WaitForLabel(wizard, "同意"));
    ClickButton(wizard, kNext);
    ASSERT_TRUE(WaitForLabel(wizard, "下一步"));

    ClickButton(wizard, kNext);
    ASSERT_TRUE(WaitForLabel(wizard, "安装"));
    ExpectLayoutHolds(wizard, 3, 134, values);
    SaveScreenshot("wizard-3-options");

    ClickButton(wizard, kNext);
    HWND finish = WaitForCaption(kCaption, 120000, kNext, "结束");
    ASSERT_NE(finish, nullptr) << "the finish run did not appear";
    EXPECT_FALSE(ItemVisible(finish, kBack));
    EXPECT_FALSE(ItemEnabled(finish, kCancel));
    ExpectLayoutHolds(finish, 4, 131, values);
    SaveScreenshot("wizard-4-finish");

    ClickButton(finish, kNext);
    EXPECT_TRUE(WaitUntilGone(finish, 30000));

    // Every file of both packages, the launcher, the record and the shortcuts.
    EXPECT_EQ(ReadFileBytes(installDir + "data\\sub\\readme.txt"), "read me");
    EXPECT_EQ(ReadFileBytes(installDir + "top.txt"), "top");
    EXPECT_EQ(ReadFileBytes(installDir + "sys\\helper.dll"), "MZ-helper");
    const std::string launcher = ReadFileBytes(installDir + "bin\\uninstall.exe");
    ASSERT_GT(launcher.size(), 4u);
    const auto* id = reinterpret_cast<const uint8_t*>(launcher.data() + launcher.size() - 4);
    const unsigned long recordId = id[0] | id[1] << 8 | id[2] << 16 | static_cast<unsigned long>(id[3]) << 24;
    std::string record = ReadFileBytes(CommonFilesFolder() + "Tessaramond\\" + std::to_string(recordId) + ".tmd");
    ScrambleBytes(record);
    for (const char* line : {"fielnum=5", "file_0=bin\\demo.exe", "file_3=sys\\helper.dll", "file_4=bin\\uninstall.exe",
                             "group_0=TmdVendor|TmdDemo|", "linkname_1=\\TmdReadme.lnk"})
        EXPECT_NE(record.find(std::string(line) + "\r\n"), std::string::npos) << line;
    EXPECT_EQ(ShortcutTarget(programs + "TmdVendor\\TmdDemo\\TmdDemo.lnk"), installDir + "bin\\demo.exe");
    EXPECT_EQ(ShortcutTarget(programs + "TmdVendor\\TmdReadme.lnk"), installDir + "data\\sub\\readme.txt");
    EXPECT_EQ(ShortcutTarget(SpecialFolder(CSIDL_DESKTOPDIRECTORY) + "TmdDemo.lnk"), installDir + "bin\\demo.exe");

    // "结束" started the program and removed the temporary folder.
    for (int i = 0; i < 100 && GetFileAttributesA((installDir + "bin\\demo_app.started").c_str()) == INVALID_FILE_ATTRIBUTES; ++i)
        Sleep(100);
    EXPECT_NE(GetFileAttributesA((installDir + "bin\\demo_app.started").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesA(temp.c_str()), INVALID_FILE_ATTRIBUTES);

    // Then the product is removed through the launcher in its folder.
    const std::string recordPath = CommonFilesFolder() + "Tessaramond\\" + std::to_string(recordId) + ".tmd";
    Process removal(installDir + "bin\\uninstall.exe", "");
    HWND remover = WaitForCaption(kCaption, 60000, kNext, "下一步");
    ASSERT_NE(remover, nullptr) << "the uninstaller did not appear";
    EXPECT_EQ(WindowText(PageControl(remover, 1014, "Edit")), installDir);
    EXPECT_TRUE(ItemEnabled(remover, kCancel));
    EXPECT_TRUE(HasSunkenEdge(PageControl(remover, 1014, "Edit")));
    ExpectLayoutHolds(remover, 0, 133, values, true);
    SaveScreenshot("uninstaller-0-welcome");
    ClickButton(remover, kNext);
    ASSERT_TRUE(WaitForLabel(remover, "完成"));
    EXPECT_FALSE(ItemEnabled(remover, kCancel));
    ExpectLayoutHolds(remover, 1, 136, values, true);
    SaveScreenshot("uninstaller-1-finish");
    ClickButton(remover, kNext);
    EXPECT_TRUE(WaitUntilGone(remover, 30000));

    for (const std::string& gone : {installDir + "bin\\demo.exe", installDir + "bin\\uninstall.exe",
                                    installDir + "sys\\helper.dll", installDir, recordPath,
                                    programs + "TmdVendor\\TmdDemo\\TmdDemo.lnk", programs + "TmdVendor\\TmdReadme.lnk",
                                    programs + "TmdVendor", SpecialFolder(CSIDL_DESKTOPDIRECTORY) + "TmdDemo.lnk"})
        EXPECT_EQ(GetFileAttributesA(gone.c_str()), INVALID_FILE_ATTRIBUTES) << gone;
    // The shared uninstaller stays for the next product.
    EXPECT_NE(GetFileAttributesA((CommonFilesFolder() + "Tessaramond\\untessaramond.exe").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(Wizard, CancelAsksFirstAndThenShowsTheFinishPage)
{
    CloseLeftovers guard;
    Process shipped(BuildShipped(NewFolder(), false), "");
    HWND wizard = WaitForCaption(kCaption, 60000);
    ASSERT_NE(wizard, nullptr);
    ClickButton(wizard, kNext);
    ASSERT_TRUE(WaitForLabel(wizard, "同意"));
    ClickButton(wizard, kNext);
    ASSERT_TRUE(WaitForLabel(wizard, "下一步"));
    // The descriptor forbids another folder: browsing is disabled.
    EXPECT_FALSE(IsWindowEnabled(PageControl(wizard, 1013, "Button")));

    // "继续" keeps the wizard where it was.
    ClickButton(wizard, kCancel);
    HWND confirm = WaitForCaption(kCaption, 10000, 1004, "继续");
    ASSERT_NE(confirm, nullptr);
    const auto question = LoadDialogTemplate(WindowProgram(confirm), 129);
    ASSERT_TRUE(question.has_value());
    for (Metrics metrics : {Metrics::Measured, Metrics::SimSun})
        EXPECT_EQ(Lines(LayoutFaults(confirm, {{confirm, CancelQuestionTexts(), question}}, metrics)), "");
    SaveScreenshot("wizard-cancel-confirmation");
    ClickButton(confirm, 1004);
    ASSERT_TRUE(WaitUntilGone(confirm, 10000));
    EXPECT_EQ(ItemText(wizard, kNext), "下一步");
    EXPECT_TRUE(IsWindowVisible(wizard));

    // Esc in the confirmation quits, like "退出安装".
    ClickButton(wizard, kCancel);
    confirm = WaitForCaption(kCaption, 10000, 1004, "继续");
    ASSERT_NE(confirm, nullptr);
    PostMessageA(confirm, WM_COMMAND, IDCANCEL, 0);
    HWND finish = WaitForCaption(kCaption, 60000, kNext, "结束");
    ASSERT_NE(finish, nullptr);
    SaveScreenshot("wizard-4-cancelled");
    ClickButton(finish, kNext);
    EXPECT_TRUE(WaitUntilGone(finish, 30000));
    EXPECT_EQ(GetFileAttributesA((TempFolder() + "Tessaramond\\").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(Wizard, EnterInTheLicenceBoxPressesTheFramesDefaultButton)
{
    CloseLeftovers guard;
    Process shipped(BuildShipped(NewFolder()), "");
    HWND wizard = WaitForCaption(kCaption, 60000);
    ASSERT_NE(wizard, nullptr);
    ClickButton(wizard, kNext);
    ASSERT_TRUE(WaitForLabel(wizard, "同意"));
    HWND licence = PageControl(wizard, 1012, "Edit");
    ASSERT_NE(licence, nullptr);
    // A multi-line edit takes Enter itself unless it is left to the dialog.
    PostMessageA(licence, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    PostMessageA(licence, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    PostMessageA(licence, WM_KEYDOWN, VK_RETURN, 1);
    PostMessageA(licence, WM_KEYUP, VK_RETURN, 0xC0000001);
    EXPECT_TRUE(WaitForLabel(wizard, "下一步")) << "Enter did not press \"同意\"";
    EXPECT_TRUE(IsWindowVisible(wizard));
}

TEST(Wizard, FinishRunRemovesOnlyItsOwnTemporaryFolder)
{
    const std::string victim = NewFolder();
    WriteFileBytes(victim + "precious.txt", "keep me");
    Process finish(BuiltProgram("TMD_INSTALLER_EXE"), "0|" + victim + "|Anyone|");
    HWND window = WaitForCaption("Anyone 安装", 30000, kNext, "结束");
    ASSERT_NE(window, nullptr);
    ClickButton(window, kNext);
    EXPECT_EQ(finish.WaitForExit(30000), 22u);
    EXPECT_EQ(ReadFileBytes(victim + "precious.txt"), "keep me");
}
