// The installer as a user meets it: the shipped file is started, the wizard
// is walked page by page, the finish run shows the outcome.
#include "common/shell.h"
#include "driver.h"
#include "framework/win32/wide.h"
#include "framework/endian.h"
#include "layout.h"
#include "packages.h"
#include "page_texts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

using namespace e2e;

namespace {
constexpr int kNext = 1013, kBack = 1014, kCancel = 1009;
const std::string kCaption = "TmdDemo 安装";

// A product with files in subfolders, a system-library package, two
// Start-menu entries (one in a group of two levels) and one desktop entry.
// One folder, file and shortcut have Chinese names, which must come out on
// disk as they are whatever the system's code page.
std::string BuildShipped(const std::string& folder, bool folderSel = true)
{
    const std::string demoApp = ReadFileBytes(BuiltProgram("TMD_DEMO_APP_EXE"));
    const std::string data = CompressBytes(ArchiveEntry("bin\\", "demo.exe", demoApp) +
                                               ArchiveEntry("data\\说明\\", "读我.txt", "read me") +
                                               ArchiveEntry("", "top.txt", "top"),
                                           CompressionLevel::Fast);
    const std::string dll = CompressBytes(ArchiveEntry("sys\\", "helper.dll", "MZ-helper"), CompressionLevel::Fast);
    const std::string descriptor = Scrambled(
        "[SoftInfo]\r\ncompanyname=Tmd\r\nproductname=TmdDemo\r\nproductversion=1.0\r\n\r\n"
        "[InstallInfo]\r\nfolder=TmdVendor\\TmdDemo\\\r\nexefile=bin\\demo.exe\r\nbfoldersel=" +
        std::string(folderSel ? "1" : "0") +
        "\r\n\r\n[StartMenu]\r\nlinknum=2\r\ngroup_0=TmdVendor|TmdDemo|\r\nexefile_0=bin\\demo.exe\r\n"
        "linkname_0=\\TmdDemo.lnk\r\ngroup_1=TmdVendor|\r\nexefile_1=data\\说明\\读我.txt\r\n"
        "linkname_1=\\读我.lnk\r\n\r\n[Desktop]\r\nlinknum=1\r\nexefile_0=bin\\demo.exe\r\n"
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

// Ends whatever window of the test product is open when a test begins and
// ends, so that a failed or killed run leaves no process holding the
// temporary folder, nor a window the next run would take for its own.
struct CloseLeftovers {
    std::string caption;
    explicit CloseLeftovers(const std::string& product = kCaption) : caption(product)
    {
        CloseAll();
        RemoveTree(TempFolder() + "Tessaramond");
    }
    ~CloseLeftovers() { CloseAll(); }
    void CloseAll() const
    {
        while (HWND window = WaitForCaption(caption, 0))
            TerminateOwner(window);
    }
};

const char* const kDecompressing = "正在解压文件,请等待...";
const char* const kInstalling = "正在安装文件,请等待...";

// A product whose one large file keeps the package dialog up for a while:
// a small file in docs\, then bin\big.bin of pieces × 4 KiB zeros, then
// one more. The block of 4 KiB zeros is compressed once and repeated, so a
// file of gigabytes costs the test little memory. It names no main program,
// so "结束" starts nothing.
std::string BuildLargeShipped(const std::string& product, uint32_t pieces)
{
    std::string data = CompressedBlock(ArchiveEntry("docs\\", "a.txt", "first") +
                                       ArchiveEntryHeader("bin\\", "big.bin", pieces * 4096u));
    const std::string zeros = CompressedBlock(std::string(4096, '\0'));
    data.reserve(data.size() + pieces * zeros.size() + 64);
    for (uint32_t i = 0; i < pieces; ++i)
        data += zeros;
    data += CompressedBlock(ArchiveEntry("bin\\", "after.txt", "last"));
    const std::string descriptor = Scrambled("[SoftInfo]\r\nproductname=" + product + "\r\n\r\n[InstallInfo]\r\nfolder=" +
                                             product + "Vendor\\" + product + "\\\r\n");
    const std::string path = NewFolder() + product + "Setup.exe";
    WriteFileBytes(path, ShippedProduct(data, descriptor));
    return path;
}

bool Exists(const std::string& path) { return GetFileAttributesW(Widen(path).c_str()) != INVALID_FILE_ATTRIBUTES; }

uint64_t FileSize(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(Widen(path).c_str(), GetFileExInfoStandard, &data))
        return 0;
    return static_cast<uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
}

// The outcome field the finish run was started with ("" when unreadable).
std::string FinishOutcome(HWND finish)
{
    const std::string line = ProcessCommandLine(WindowProcess(finish));
    const size_t bar = line.find('|');
    return bar == std::string::npos || bar == 0 ? std::string() : line.substr(bar - 1, 1);
}

struct CaptionCount {
    const std::vector<std::string>* captions;
    size_t n;
};

BOOL CALLBACK CountCaption(HWND window, LPARAM param)
{
    auto* count = reinterpret_cast<CaptionCount*>(param);
    if (IsWindowVisible(window)) {
        const std::string text = WindowText(window);
        count->n += static_cast<size_t>(std::count(count->captions->begin(), count->captions->end(), text));
    }
    return TRUE;
}

// Visible top-level windows with one of the captions.
size_t CountVisible(const std::vector<std::string>& captions)
{
    CaptionCount count{&captions, 0};
    EnumWindows(CountCaption, reinterpret_cast<LPARAM>(&count));
    return count.n;
}

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
    return (GetWindowLongPtrW(edit, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) != 0;
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
    EXPECT_EQ(ReadFileBytes(installDir + "data\\说明\\读我.txt"), "read me");
    EXPECT_EQ(ReadFileBytes(installDir + "top.txt"), "top");
    EXPECT_EQ(ReadFileBytes(installDir + "sys\\helper.dll"), "MZ-helper");
    const std::string launcher = ReadFileBytes(installDir + "bin\\uninstall.exe");
    ASSERT_GT(launcher.size(), 4u);
    const unsigned long recordId = LoadLe32(launcher.data() + launcher.size() - 4);
    std::string record = ReadFileBytes(CommonFilesFolder() + "Tessaramond\\" + std::to_string(recordId) + ".tmd");
    ScrambleBytes(record);
    for (const char* line : {"fielnum=5", "file_0=bin\\demo.exe", "file_3=sys\\helper.dll", "file_4=bin\\uninstall.exe",
                             "group_0=TmdVendor|TmdDemo|", "linkname_1=\\读我.lnk"})
        EXPECT_NE(record.find(std::string(line) + "\r\n"), std::string::npos) << line;
    EXPECT_EQ(ShortcutTarget(programs + "TmdVendor\\TmdDemo\\TmdDemo.lnk"), installDir + "bin\\demo.exe");
    EXPECT_EQ(ShortcutTarget(programs + "TmdVendor\\读我.lnk"), installDir + "data\\说明\\读我.txt");
    EXPECT_EQ(ShortcutTarget(SpecialFolder(CSIDL_DESKTOPDIRECTORY) + "TmdDemo.lnk"), installDir + "bin\\demo.exe");

    // "结束" started the program and removed the temporary folder.
    for (int i = 0; i < 100 && GetFileAttributesW(Widen((installDir + "bin\\demo_app.started")).c_str()) == INVALID_FILE_ATTRIBUTES; ++i)
        Sleep(100);
    EXPECT_NE(GetFileAttributesW(Widen((installDir + "bin\\demo_app.started")).c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetFileAttributesW(Widen(temp).c_str()), INVALID_FILE_ATTRIBUTES);

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

    for (const std::string& gone : {installDir + "bin\\demo.exe", installDir + "bin\\uninstall.exe", installDir + "data\\说明\\读我.txt",
                                    installDir + "sys\\helper.dll", installDir, recordPath,
                                    programs + "TmdVendor\\TmdDemo\\TmdDemo.lnk", programs + "TmdVendor\\读我.lnk",
                                    programs + "TmdVendor", SpecialFolder(CSIDL_DESKTOPDIRECTORY) + "TmdDemo.lnk"})
        EXPECT_EQ(GetFileAttributesW(Widen(gone).c_str()), INVALID_FILE_ATTRIBUTES) << gone;
    // The shared uninstaller stays for the next product.
    EXPECT_NE(GetFileAttributesW(Widen((CommonFilesFolder() + "Tessaramond\\untessaramond.exe")).c_str()), INVALID_FILE_ATTRIBUTES);
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
    PostMessageW(confirm, WM_COMMAND, IDCANCEL, 0);
    HWND finish = WaitForCaption(kCaption, 60000, kNext, "结束");
    ASSERT_NE(finish, nullptr);
    SaveScreenshot("wizard-4-cancelled");
    ClickButton(finish, kNext);
    EXPECT_TRUE(WaitUntilGone(finish, 30000));
    EXPECT_EQ(GetFileAttributesW(Widen((TempFolder() + "Tessaramond\\")).c_str()), INVALID_FILE_ATTRIBUTES);
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
    PostMessageW(licence, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    PostMessageW(licence, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    PostMessageW(licence, WM_KEYDOWN, VK_RETURN, 1);
    PostMessageW(licence, WM_KEYUP, VK_RETURN, 0xC0000001);
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
    EXPECT_EQ(finish.WaitForExit(30000), 1u);  // a cancelled installation
    EXPECT_EQ(ReadFileBytes(victim + "precious.txt"), "keep me");
}

TEST(Wizard, TheFrameTakesNoSecondInstallOrCancelWhileTheInstallationRuns)
{
    const std::string product = "TmdBusy";
    const std::string caption = product + " 安装";
    const std::string installDir = SpecialFolder(CSIDL_PROGRAM_FILES) + product + "Vendor\\" + product + "\\";
    RemoveTree(SpecialFolder(CSIDL_PROGRAM_FILES) + product + "Vendor");
    CloseLeftovers guard(caption);
    const uint32_t pieces = 128 * 1024;  // 512 MiB
    HWND wizard = StartInstalling(BuildLargeShipped(product, pieces), product);
    ASSERT_NE(wizard, nullptr);
    const std::vector<std::string> dialogs = {kDecompressing, kInstalling, "解压文件错误", "安装文件错误"};
    for (int i = 0; i < 600 && CountVisible(dialogs) == 0; ++i)
        Sleep(50);
    ASSERT_EQ(CountVisible(dialogs), 1u) << "no progress dialog came";
    EXPECT_FALSE(IsWindowEnabled(wizard)) << "the frame is not disabled under its progress dialog";

    // What a second click, the Enter key, Esc or the close box send to the
    // frame while its dialog runs.
    ClickButton(wizard, kNext);
    PostMessageW(wizard, WM_COMMAND, MAKEWPARAM(kNext, BN_CLICKED), 0);
    PostMessageW(wizard, WM_COMMAND, IDCANCEL, 0);
    PostMessageW(wizard, WM_CLOSE, 0, 0);
    size_t most = 0;
    bool asked = false;
    HWND finish = nullptr;
    for (int i = 0; i < 2400 && finish == nullptr && most <= 1 && !asked; ++i, Sleep(50)) {
        most = std::max(most, CountVisible(dialogs));
        asked = asked || WaitForCaption(caption, 0, 1004, "继续") != nullptr;
        finish = WaitForCaption(caption, 0, kNext, "结束");
    }
    EXPECT_EQ(most, 1u) << "the install sequence was started again";
    EXPECT_FALSE(asked) << "the cancel question came up during the installation";
    ASSERT_NE(finish, nullptr) << "the finish run did not appear";
    EXPECT_EQ(FinishOutcome(finish), "2");
    Sleep(500);  // a second finish run would have shown by now
    EXPECT_EQ(CountVisible({caption}), 1u);
    ClickButton(finish, kNext);
    EXPECT_TRUE(WaitUntilGone(finish, 30000));

    EXPECT_EQ(FileSize(installDir + "bin\\big.bin"), pieces * 4096ull);
    EXPECT_EQ(ReadFileBytes(installDir + "bin\\after.txt"), "last");
    const std::string launcher = ReadFileBytes(installDir + "uninstall.exe");
    ASSERT_GT(launcher.size(), 4u);
    const unsigned long recordId = LoadLe32(launcher.data() + launcher.size() - 4);
    DeleteFileW(Widen((CommonFilesFolder() + "Tessaramond\\" + std::to_string(recordId) + ".tmd")).c_str());
    RemoveTree(SpecialFolder(CSIDL_PROGRAM_FILES) + product + "Vendor");
}

TEST(Wizard, EscapeDuringALargeFileAnswersAtOnceAndTakesTheInstallationBack)
{
    const std::string product = "TmdLarge";
    const std::string caption = product + " 安装";
    const std::string vendor = SpecialFolder(CSIDL_PROGRAM_FILES) + product + "Vendor\\";
    const std::string installDir = vendor + product + "\\";
    RemoveTree(vendor);
    // The vendor's folder was there before, with a file of its own.
    CreateDirectoryW(Widen(vendor).c_str(), nullptr);
    ASSERT_TRUE(WriteFileBytes(vendor + "keep.txt", "keep"));
    CloseLeftovers guard(caption);
    const uint32_t pieces = 512 * 1024;  // 2 GiB
    HWND wizard = StartInstalling(BuildLargeShipped(product, pieces), product);
    ASSERT_NE(wizard, nullptr);
    HWND dialog = WaitForCaption(kInstalling, 120000);
    ASSERT_NE(dialog, nullptr);
    const std::string big = installDir + "bin\\big.bin";
    for (int i = 0; i < 1200 && FileSize(big) == 0; ++i)
        Sleep(10);
    const uint64_t written = FileSize(big);
    ASSERT_GT(written, 0u);
    ASSERT_LT(written, pieces * 2048ull) << "half the file was written before the test could press Escape";
    SaveScreenshot("package-installation-large-file");

    // Escape, as the dialog's keyboard handling gets it; until the dialog
    // goes away a message sent to it must come back at once. (Wine without
    // a window manager holds the closing thread up to two seconds while it
    // waits for the X window to be withdrawn: a send that was held while
    // the window went is the closing, not a lost answer.)
    const ULONGLONG pressed = GetTickCount64();
    PostMessageW(dialog, WM_KEYDOWN, VK_ESCAPE, 0);
    ULONGLONG slowest = 0, closed = 0;
    for (;;) {
        const ULONGLONG sent = GetTickCount64();
        if (!IsWindow(dialog) || !IsWindowVisible(dialog) || sent - pressed > 60000) {
            closed = sent - pressed;
            break;
        }
        DWORD_PTR ignored = 0;
        SendMessageTimeoutW(dialog, WM_NULL, 0, 0, SMTO_NORMAL, 200, &ignored);
        if (IsWindow(dialog) && IsWindowVisible(dialog))
            slowest = std::max(slowest, GetTickCount64() - sent);
        Sleep(5);
    }
    std::printf("Escape at %llu of %llu bytes: closed after %llu ms, slowest answer %llu ms\n",
                static_cast<unsigned long long>(written), pieces * 4096ull, closed, slowest);
    // Closing waits for the worker, which empties the decoded archive of
    // 2 GiB in steps before it ends; answering waits for nothing.
    EXPECT_LT(closed, 2000u) << "the dialog took " << closed << " ms to close after Escape";
    EXPECT_LT(slowest, 200u) << "the dialog did not answer for " << slowest << " ms";

    // The abandoned installation shows outcome 1 and leaves nothing of its
    // own behind; what was there before stays.
    HWND finish = WaitForCaption(caption, 60000, kNext, "结束");
    ASSERT_NE(finish, nullptr) << "the finish run did not appear";
    EXPECT_EQ(FinishOutcome(finish), "1");
    for (const std::string& gone : {installDir + "docs\\a.txt", installDir + "docs", big, installDir + "bin\\after.txt",
                                    installDir + "bin", installDir})
        EXPECT_FALSE(Exists(gone)) << gone;
    EXPECT_EQ(ReadFileBytes(vendor + "keep.txt"), "keep");
    ClickButton(finish, kNext);
    EXPECT_TRUE(WaitUntilGone(finish, 30000));
    EXPECT_FALSE(Exists(TempFolder() + "Tessaramond"));
    RemoveTree(vendor);
}
