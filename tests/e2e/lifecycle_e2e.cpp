// Products installed side by side, options left unchecked, a removal
// cancelled and run again, and a package that fails to install.
#include "common/exit_codes.h"
#include "common/shell.h"
#include "common/uninstall_entry.h"
#include "framework/file.h"
#include "driver.h"
#include "framework/win32/wide.h"
#include "packages.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace e2e;

namespace {
constexpr int kNext = 1013, kCancel = 1009;

std::string Caption(const std::string& product) { return product + " 安装"; }
std::string InstallDir(const std::string& product) { return SpecialFolder(CSIDL_PROGRAM_FILES) + "TmdSide\\" + product + "\\"; }

// A product whose Start-menu entry lies in the group TmdSide|<product>|.
std::string BuildProduct(const std::string& product, bool damagedData = false, bool listed = false)
{
    const std::string data =
        damagedData ? std::string("\x10\x00garbage that is no LZO block at all", 36)
                    // The listed product's program is a GUI one: a console program's
                    // window would be taken for one of the silent runs.
                    : CompressBytes(ArchiveEntry("bin\\", "app.exe", ReadFileBytes(BuiltProgram(listed ? "TMD_LAUNCH_REPORTER_EXE" : "TMD_DEMO_APP_EXE"))) +
                                        ArchiveEntry("doc\\", "notes.txt", product),
                                    CompressionLevel::Fast);
    const std::string descriptor = Scrambled("[SoftInfo]\r\nproductname=" + product + "\r\n\r\n[InstallInfo]\r\nfolder=TmdSide\\" +
                                             product + "\\\r\nexefile=bin\\app.exe\r\n" +
                                             (listed ? "uninstallentry=1\r\n" : "") + "\r\n[StartMenu]\r\nlinknum=1\r\n"
                                             "group_0=TmdSide|" + product + "|\r\nexefile_0=bin\\app.exe\r\nlinkname_0=\\" +
                                             product + ".lnk\r\n\r\n[Desktop]\r\nlinknum=1\r\nexefile_0=bin\\app.exe\r\n"
                                             "linkname_0=\\" + product + ".lnk\r\n");
    const std::string path = NewFolder() + product + "Setup.exe";
    WriteFileBytes(path, ShippedProduct(data, descriptor));
    return path;
}


bool WaitForLabel(HWND frame, const std::string& label) { return WaitForItemText(frame, kNext, label, 5000); }

bool Exists(const std::string& path) { return GetFileAttributesW(Widen(path).c_str()) != INVALID_FILE_ATTRIBUTES; }

// Starts the shipped file and walks to the options page.
HWND WalkToOptions(const std::string& shipped, const std::string& product)
{
    Process run(shipped, "");
    HWND wizard = WaitForCaption(Caption(product), 60000, kNext, "下一步");
    if (!wizard)
        return nullptr;
    ClickButton(wizard, kNext);
    WaitForLabel(wizard, "同意");
    ClickButton(wizard, kNext);
    WaitForLabel(wizard, "下一步");
    ClickButton(wizard, kNext);
    return WaitForLabel(wizard, "安装") ? wizard : nullptr;
}

BOOL CALLBACK CollectWideTexts(HWND window, LPARAM param)
{
    wchar_t text[1024] = L"";
    if (GetWindowTextW(window, text, 1024) > 0)
        reinterpret_cast<std::vector<std::wstring>*>(param)->push_back(text);
    return TRUE;
}

// On the folder page: a folder the installer cannot use is named in a
// message, with the reason, and the page stays. Read in UTF-16, as a name GBK
// cannot hold has no GBK form to compare.
bool RefusesFolder(HWND wizard, const std::string& product, const std::wstring& folder, const std::string& reason)
{
    SetWindowTextW(PageControl(wizard, 1014, "Edit"), folder.c_str());
    ClickButton(wizard, kNext);
    // Found by its OK button, whose label is in the system's language.
    HWND message = WaitForCaption(Caption(product), 10000, IDOK);
    if (message == nullptr)
        return false;
    std::vector<std::wstring> texts;
    EnumChildWindows(message, CollectWideTexts, reinterpret_cast<LPARAM>(&texts));
    const bool named = std::any_of(texts.begin(), texts.end(), [&](const std::wstring& t) {
        return t.find(folder) != std::wstring::npos && t.find(Widen(reason)) != std::wstring::npos;
    });
    ClickButton(message, IDOK);
    WaitUntilGone(message, 10000);
    Sleep(300);
    return named && ItemText(wizard, kNext) == "下一步";
}

// Presses "安装" and then "结束" on the finish page that follows.
bool InstallAndFinish(HWND wizard, const std::string& product, const std::string& screenshot = "")
{
    ClickButton(wizard, kNext);
    HWND finish = WaitForCaption(Caption(product), 120000, kNext, "结束");
    if (!finish)
        return false;
    if (!screenshot.empty())
        SaveScreenshot(screenshot);
    ClickButton(finish, kNext);
    return WaitUntilGone(finish, 30000);
}

// Presses "安装" on a product whose installation fails: the progress dialog
// shows its error (caption and text), is closed, and the finish page that
// follows is returned; nullptr when either does not come.
HWND FailToTheFinishPage(HWND wizard, const std::string& product, const std::string& caption, const std::string& text)
{
    ClickButton(wizard, kNext);
    HWND error = WaitForCaption(caption, 60000);
    if (error == nullptr) {
        ADD_FAILURE() << "no error \"" << caption << "\" in the progress dialog";
        return nullptr;
    }
    const std::vector<std::string> texts = StaticTexts(error);
    EXPECT_NE(std::find(texts.begin(), texts.end(), text), texts.end()) << caption;
    PostMessageW(GetDlgItem(error, 1019), BM_CLICK, 0, 0);
    return WaitForCaption(Caption(product), 60000, kNext, "结束");
}

// Starts the product's launcher and returns the uninstaller's wizard.
HWND StartRemoval(const std::string& product)
{
    Process launcher(InstallDir(product) + "bin\\uninstall.exe", "");
    return WaitForCaption(Caption(product), 60000, kNext, "下一步");
}

// Walks the uninstaller's wizard through "下一步" and "完成" until it is gone.
bool RemoveToTheEnd(HWND remover)
{
    ClickButton(remover, kNext);
    if (!WaitForLabel(remover, "完成"))
        return false;
    ClickButton(remover, kNext);
    return WaitUntilGone(remover, 30000);
}
}  // namespace

namespace {
// True when the product's log holds each text, in this order, each after
// the one before.
::testing::AssertionResult LogTells(const std::string& product, const std::vector<std::string>& texts)
{
    const std::string log = ReadFileBytes(GetTempFolder() + product + ".tmd.log");
    size_t at = 0;
    for (const std::string& text : texts) {
        const size_t found = log.find(text, at);
        if (found == std::string::npos)
            return ::testing::AssertionFailure() << "\"" << text << "\" is not in the log after offset " << at
                                                 << ":\n" << log;
        at = found + text.size();
    }
    return ::testing::AssertionSuccess();
}
}  // namespace

TEST(Lifecycle, TwoProductsSideBySideOptionsUncheckedAndARemovalCancelled)
{
    const std::string programs = SpecialFolder(CSIDL_COMMON_PROGRAMS);
    const std::string desktop = SpecialFolder(CSIDL_DESKTOPDIRECTORY);

    // Alpha with every option unchecked: no shortcuts, nothing started. Its
    // folder is typed without the trailing backslash, after two the folder
    // page refuses.
    Process run(BuildProduct("TmdAlpha"), "");
    HWND alpha = WaitForCaption(Caption("TmdAlpha"), 60000, kNext, "下一步");
    ASSERT_NE(alpha, nullptr);
    ClickButton(alpha, kNext);
    ASSERT_TRUE(WaitForLabel(alpha, "同意"));
    ClickButton(alpha, kNext);
    ASSERT_TRUE(WaitForLabel(alpha, "下一步"));
    const std::string unusable = "请选择一个本地磁盘上的目录";
    EXPECT_TRUE(RefusesFolder(alpha, "TmdAlpha", L"C:\\", unusable));
    EXPECT_TRUE(RefusesFolder(alpha, "TmdAlpha", L"TmdSide\\relative", unusable));
    // A name GBK cannot write (Hangul here) could not be kept in the record.
    EXPECT_TRUE(RefusesFolder(alpha, "TmdAlpha", L"C:\\TmdSide\\\xD55C\xAE00", "安装程序无法记录的字符"));
    EXPECT_FALSE(Exists("C:\\TmdSide"));
    const std::string typed = InstallDir("TmdAlpha").substr(0, InstallDir("TmdAlpha").size() - 1);
    SetWindowTextW(PageControl(alpha, 1014, "Edit"), Widen(typed).c_str());
    ClickButton(alpha, kNext);
    ASSERT_TRUE(WaitForLabel(alpha, "安装"));
    HWND boxes[3];
    for (int i = 0; i < 3; ++i)
        boxes[i] = PageControl(alpha, 1016 + i, "Button");
    PostMessageW(boxes[0], WM_MOUSEHOVER, 0, 0);  // the hover frame
    SaveScreenshot("checkboxes-checked-hovered");
    for (HWND box : boxes)
        PostMessageW(box, BM_CLICK, 0, 0);
    PostMessageW(boxes[0], WM_MOUSELEAVE, 0, 0);
    SaveScreenshot("checkboxes-unchecked");
    ASSERT_TRUE(InstallAndFinish(alpha, "TmdAlpha"));
    EXPECT_EQ(ReadFileBytes(InstallDir("TmdAlpha") + "doc\\notes.txt"), "TmdAlpha");
    EXPECT_FALSE(Exists(programs + "TmdSide\\TmdAlpha"));
    EXPECT_FALSE(Exists(desktop + "TmdAlpha.lnk"));
    Sleep(500);
    EXPECT_FALSE(Exists(InstallDir("TmdAlpha") + "bin\\demo_app.started"));

    // Alpha makes a folder of its own at run time; beside it lies a file of
    // the user's.
    CreateDirectoryW(Widen((InstallDir("TmdAlpha") + "saves")).c_str(), nullptr);
    WriteFileBytes(InstallDir("TmdAlpha") + "saves\\slot1.sav", "made by the product");
    const std::string side = SpecialFolder(CSIDL_PROGRAM_FILES) + "TmdSide\\";
    WriteFileBytes(side + "beside.txt", "the user's");

    // Beta beside it, with its shortcuts, into a folder that already holds
    // another program of the user's.
    CreateDirectoryW(Widen(InstallDir("TmdBeta")).c_str(), nullptr);
    CreateDirectoryW(Widen((InstallDir("TmdBeta") + "Other")).c_str(), nullptr);
    WriteFileBytes(InstallDir("TmdBeta") + "Other\\other.exe", "another program");
    WriteFileBytes(InstallDir("TmdBeta") + "inside.txt", "the user's");
    HWND beta = WalkToOptions(BuildProduct("TmdBeta"), "TmdBeta");
    ASSERT_NE(beta, nullptr);
    ASSERT_TRUE(InstallAndFinish(beta, "TmdBeta"));
    ASSERT_TRUE(Exists(programs + "TmdSide\\TmdBeta\\TmdBeta.lnk"));

    // Cancel on the uninstaller's welcome page removes nothing; it can run again.
    HWND remover = StartRemoval("TmdAlpha");
    ASSERT_NE(remover, nullptr);
    ClickButton(remover, kCancel);
    ASSERT_TRUE(WaitUntilGone(remover, 30000));
    EXPECT_TRUE(Exists(InstallDir("TmdAlpha") + "doc\\notes.txt"));
    remover = StartRemoval("TmdAlpha");
    ASSERT_NE(remover, nullptr);
    ASSERT_TRUE(RemoveToTheEnd(remover));
    EXPECT_FALSE(Exists(InstallDir("TmdAlpha"))) << "the product's own folder goes with what it made";
    EXPECT_EQ(ReadFileBytes(side + "beside.txt"), "the user's");

    // Beta and the shared uninstaller stay, and so does the group Beta uses.
    EXPECT_EQ(ReadFileBytes(InstallDir("TmdBeta") + "doc\\notes.txt"), "TmdBeta");
    EXPECT_TRUE(Exists(InstallDir("TmdBeta") + "bin\\uninstall.exe"));
    EXPECT_TRUE(Exists(programs + "TmdSide\\TmdBeta\\TmdBeta.lnk"));
    EXPECT_TRUE(Exists(desktop + "TmdBeta.lnk"));
    EXPECT_TRUE(Exists(CommonFilesFolder() + "Tessaramond\\untessaramond.exe"));

    // Beta's removal takes only Beta's own files from the folder it shared.
    remover = StartRemoval("TmdBeta");
    ASSERT_NE(remover, nullptr);
    ASSERT_TRUE(RemoveToTheEnd(remover));
    // What the product made at run time in a folder it shares stays with it.
    EXPECT_FALSE(Exists(InstallDir("TmdBeta") + "bin\\app.exe"));
    EXPECT_FALSE(Exists(InstallDir("TmdBeta") + "bin\\uninstall.exe"));
    EXPECT_FALSE(Exists(InstallDir("TmdBeta") + "doc"));
    EXPECT_EQ(ReadFileBytes(InstallDir("TmdBeta") + "Other\\other.exe"), "another program");
    EXPECT_EQ(ReadFileBytes(InstallDir("TmdBeta") + "inside.txt"), "the user's");
    EXPECT_EQ(ReadFileBytes(side + "beside.txt"), "the user's");
    EXPECT_FALSE(Exists(programs + "TmdSide\\TmdBeta"));

    // Each run of the installation and the removal told its log what it did.
    EXPECT_TRUE(LogTells("TmdAlpha", {"  extract  self-extraction of ", "  extract  done", "  setup  working copy ",
                                      "  record  ", ".tmd written: ", "  finish  finish run of ", "outcome 2",
                                      "  remove  uninstaller ", "  remove  uninstaller ", "  remove  record ",
                                      " removed whole "}));
    EXPECT_TRUE(LogTells("TmdBeta", {"  install  into " + InstallDir("TmdBeta") + " (a folder that was there)",
                                     "  install  shortcut ", "  remove  record ",
                                     "it was there before the installation); it stays"}));
}

TEST(Lifecycle, FailingPackageEndsOnTheFailurePage)
{
    HWND wizard = WalkToOptions(BuildProduct("TmdBroken", true), "TmdBroken");
    ASSERT_NE(wizard, nullptr);
    HWND finish = FailToTheFinishPage(wizard, "TmdBroken", "解压文件错误", "解压时，压缩文件已损坏！");
    ASSERT_NE(finish, nullptr);
    SaveScreenshot("wizard-4-failed");
    ClickButton(finish, kNext);
    EXPECT_TRUE(WaitUntilGone(finish, 30000));
    // No record and no launcher for an installation that failed.
    EXPECT_FALSE(Exists(InstallDir("TmdBroken") + "bin\\uninstall.exe"));
    // The log names what failed, where, and why.
    EXPECT_TRUE(LogTells("TmdBroken", {"  decode  FAILED ", "data.rar: ", ": damaged data",
                                       "  install  FAILED a package could not be installed",
                                       "  finish  finish run of ", "outcome 1: failed"}));
}

// A file of the product that the system refuses to write (a folder of that
// name is in the way; a read-only file would not do, as the tests may run
// as root) fails the installation; the log names the refused call, the
// system's error and the file.
TEST(Lifecycle, AFileTheSystemRefusesFailsTheInstallationWithItsOsErrorInTheLog)
{
    const std::string folder = InstallDir("TmdHeld");
    const std::string held = folder + "doc\\notes.txt";
    ASSERT_EQ(SHCreateDirectoryExW(nullptr, Widen(held).c_str(), nullptr), ERROR_SUCCESS);
    ASSERT_TRUE(WriteFileBytes(held + "\\kept.txt", "kept"));
    HWND wizard = WalkToOptions(BuildProduct("TmdHeld"), "TmdHeld");
    ASSERT_NE(wizard, nullptr);
    HWND finish = FailToTheFinishPage(wizard, "TmdHeld", "安装文件错误", "解包：打开写入文件错误！");
    ASSERT_NE(finish, nullptr);
    ClickButton(finish, kNext);
    EXPECT_TRUE(WaitUntilGone(finish, 30000));
    EXPECT_EQ(ReadFileBytes(held + "\\kept.txt"), "kept") << "what was there is never taken";
    EXPECT_TRUE(LogTells("TmdHeld", {"  install  a file of the package: FAILED CreateFile " + held + ": OS error 5 ",
                                     "(access denied)", "  finish  finish run of ", "outcome 1: failed"}));
    RemoveTree(folder);
}

// What an administrator's deployment does: a silent installation into a
// folder given on the command line, a silent reinstallation over it, and
// the silent removal through the product's launcher. No run shows a window;
// each tells its exit code, its log and the list of installed programs.
TEST(Lifecycle, SilentInstallReinstallAndRemovalReportByExitCodeLogAndTheProgramsList)
{
    const std::string product = "TmdQuiet";
    const std::string parent = NewFolder();
    const std::string folder = parent + "Quiet Place\\";  // /D= takes the blank as it stands
    WriteFileBytes(parent + "beside.txt", "the user's");
    const std::string shipped = BuildProduct(product, false, true);
    const std::string key = UninstallEntryKey(product);
    const std::string programs = SpecialFolder(CSIDL_COMMON_PROGRAMS), desktop = SpecialFolder(CSIDL_DESKTOPDIRECTORY);
    DeleteFileA((GetTempFolder() + product + ".tmd.log").c_str());

    std::string shown;
    EXPECT_EQ(RunUnseen(shipped, "/S /NORUN /D=" + folder.substr(0, folder.size() - 1), 120000, shown), DWORD{kExitSuccess});
    EXPECT_EQ(shown, "") << "the silent installation showed a window";
    EXPECT_EQ(ReadFileBytes(folder + "doc\\notes.txt"), product);
    EXPECT_TRUE(Exists(folder + "bin\\uninstall.exe"));
    EXPECT_TRUE(Exists(programs + "TmdSide\\TmdQuiet\\TmdQuiet.lnk")) << "every option is on";
    EXPECT_TRUE(Exists(desktop + "TmdQuiet.lnk"));
    EXPECT_FALSE(Exists(GetTempFolder() + "Tessaramond\\setup.exe")) << "the shipped installer removes the working copy";
    Sleep(500);
    EXPECT_FALSE(Exists(folder + "bin\\launch-report.txt")) << "/NORUN started the program";

    UninstallEntry entry;
    bool perMachine = false;
    ASSERT_TRUE(ReadUninstallEntry(key, entry, perMachine));
    EXPECT_TRUE(perMachine);
    EXPECT_EQ(entry.displayName, product);
    EXPECT_EQ(entry.installLocation, folder);
    EXPECT_EQ(entry.uninstallString, "\"" + folder + "bin\\uninstall.exe\"");
    EXPECT_EQ(entry.quietUninstallString, "\"" + folder + "bin\\uninstall.exe\" /S");
    EXPECT_GT(entry.estimatedSizeKb, 0u);
    const std::string first = entry.record;
    EXPECT_TRUE(Exists(CommonFilesFolder() + "Tessaramond\\" + first));

    // Over the installation, this time starting the program.
    EXPECT_EQ(RunUnseen(shipped, "/S /D=" + folder, 120000, shown), DWORD{kExitSuccess});
    EXPECT_EQ(shown, "");
    ASSERT_TRUE(ReadUninstallEntry(key, entry, perMachine));
    EXPECT_NE(entry.record, first) << "the entry is the new installation's";
    for (int i = 0; i < 50 && ReadFileBytes(folder + "bin\\launch-report.txt").empty(); ++i)
        Sleep(100);
    EXPECT_FALSE(ReadFileBytes(folder + "bin\\launch-report.txt").empty()) << "the program was not started";
    Sleep(500);  // its file is held until it has ended
    DeleteFileA((folder + "bin\\launch-report.txt").c_str());
    shown.clear();

    // The launcher waits for the uninstaller and reports its code; the
    // folder goes although the launcher in it was running.
    EXPECT_EQ(RunUnseen(folder + "bin\\uninstall.exe", "/S", 120000, shown), DWORD{kExitSuccess});
    EXPECT_EQ(shown, "") << "the silent removal showed a window";
    EXPECT_FALSE(Exists(folder)) << "the install folder stays";
    EXPECT_FALSE(ReadUninstallEntry(key, entry, perMachine)) << "the entry stays in the list";
    EXPECT_FALSE(Exists(programs + "TmdSide\\TmdQuiet"));
    EXPECT_FALSE(Exists(desktop + "TmdQuiet.lnk"));
    EXPECT_EQ(ReadFileBytes(parent + "beside.txt"), "the user's");
    EXPECT_TRUE(Exists(CommonFilesFolder() + "Tessaramond\\untessaramond.exe"));

    EXPECT_TRUE(LogTells(product, {"  extract  self-extraction of ", ", silent", "  setup  working copy ", ", silent",
                                   "  silent  installing TmdQuiet into " + folder + ", the program is not started",
                                   "  record  listed among the installed programs: HKLM\\" + key, "  silent  installed",
                                   "  extract  the working copy ended with exit code 0",
                                   "  silent  installed", "  remove  uninstaller ", ", silent",
                                   " is running: moved into the temporary folder",
                                   "  remove  the entry among the installed programs removed", "  remove  removed"}));

    // A switch it does not know is refused without a box; so is a folder
    // the package does not let anybody choose.
    shown.clear();
    EXPECT_EQ(RunUnseen(shipped, "/S /QUIET", 60000, shown), DWORD{kExitBadCommandLine});
    EXPECT_EQ(shown, "");
    // A package that fails to decode: no window, the failure's code, nothing listed.
    const std::string broken = BuildProduct("TmdQuietBroken", true, true);
    EXPECT_EQ(RunUnseen(broken, "/S", 120000, shown), DWORD{kExitFailed});
    EXPECT_EQ(shown, "");
    EXPECT_FALSE(ReadUninstallEntry(UninstallEntryKey("TmdQuietBroken"), entry, perMachine));
    EXPECT_TRUE(LogTells("TmdQuietBroken", {"  silent  FAILED the installation did not complete",
                                            "  extract  the working copy ended with exit code 2"}));
    RemoveTree(InstallDir("TmdQuietBroken"));
}

// Installers packed by the release before the programs asked Windows in
// UTF-16 (old_release.sh): one with that release's own programs, as vendors
// shipped it, and its package carried by today's programs. Today's
// installer replaces the uninstaller the old one deployed, and that
// uninstaller removes both products, the old record among them.
TEST(Lifecycle, InstallersOfTheReleaseBeforeInstallAndTodaysUninstallerRemovesThem)
{
    const std::string fixtures = BuiltProgram("TMD_OLD_RELEASE_DIR");
    ASSERT_FALSE(fixtures.empty()) << "TMD_OLD_RELEASE_DIR is not set";
    const std::string shared = CommonFilesFolder() + "Tessaramond\\untessaramond.exe";
    const std::string programs = SpecialFolder(CSIDL_COMMON_PROGRAMS), desktop = SpecialFolder(CSIDL_DESKTOPDIRECTORY);
    const std::string today = GetFileVersionNumber(BuiltProgram("TMD_UNINSTALLER_EXE"));
    ASSERT_GT(std::stoi(today), 1003) << "today's uninstaller must be newer than the old release's, or it is never deployed";
    // The machine has no uninstaller yet, so the old installer deploys its own.
    DeleteFileW(Widen(shared).c_str());

    struct Installed {
        std::string setup, product, version, record;
    };
    auto folderOf = [](const std::string& product) {
        return SpecialFolder(CSIDL_PROGRAM_FILES) + "旧版星辰\\" + product + "\\";
    };
    std::vector<Installed> products = {{"OldSetup.exe", "旧版星图", "1003", ""}, {"OldPackageSetup.exe", "旧包星图", today, ""}};
    for (Installed& p : products) {
        SCOPED_TRACE(p.setup);
        const std::string folder = folderOf(p.product);
        std::string shown;
        ASSERT_EQ(RunUnseen(fixtures + "\\" + p.setup, "/S /NORUN", 120000, shown), DWORD{kExitSuccess});
        EXPECT_EQ(shown, "");
        EXPECT_EQ(ReadFileBytes(folder + "文档\\说明.txt"), "notes of the old release\r\n");
        EXPECT_TRUE(Exists(folder + "数据\\星表.csv"));
        EXPECT_TRUE(Exists(folder + "bin\\uninstall.exe"));
        EXPECT_TRUE(Exists(programs + "旧版星辰\\" + p.product + "\\" + p.product + ".lnk"));
        EXPECT_TRUE(Exists(desktop + p.product + ".lnk"));
        EXPECT_EQ(GetFileVersionNumber(shared), p.version) << "the deployed uninstaller";
        UninstallEntry entry;
        bool perMachine = false;
        ASSERT_TRUE(ReadUninstallEntry(UninstallEntryKey(p.product), entry, perMachine));
        EXPECT_EQ(entry.installLocation, folder);
        p.record = CommonFilesFolder() + "Tessaramond\\" + entry.record;
        EXPECT_TRUE(Exists(p.record));
    }

    for (const Installed& p : products) {
        SCOPED_TRACE(p.product);
        const std::string folder = folderOf(p.product);
        std::string shown;
        EXPECT_EQ(RunUnseen(folder + "bin\\uninstall.exe", "/S", 120000, shown), DWORD{kExitSuccess});
        EXPECT_EQ(shown, "");
        EXPECT_FALSE(Exists(folder));
        EXPECT_FALSE(Exists(p.record));
        EXPECT_FALSE(Exists(programs + "旧版星辰\\" + p.product));
        EXPECT_FALSE(Exists(desktop + p.product + ".lnk"));
        UninstallEntry entry;
        bool perMachine = false;
        EXPECT_FALSE(ReadUninstallEntry(UninstallEntryKey(p.product), entry, perMachine));
    }
    EXPECT_FALSE(Exists(programs + "旧版星辰")) << "the emptied parent group stays";
    EXPECT_EQ(GetFileVersionNumber(shared), today);
    // The record names the install folders, not the maker's folder above them.
    RemoveTree(SpecialFolder(CSIDL_PROGRAM_FILES) + "旧版星辰");
}
