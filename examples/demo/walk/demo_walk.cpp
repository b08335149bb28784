// Walks the whole life of the demo product unattended, as a user would:
// starts the shipped installer, goes through the wizard page by page (and
// once into the cancel question and back), installs, lets the finish page
// start the product, then removes it again through "uninstall.exe". Prints
// each step, keeps a screenshot of every window, and checks what each step
// left on disk. Exit code 0 when every check held.
#include "common/shell.h"
#include "driver.h"

#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

using namespace e2e;

namespace {
constexpr int kNext = 1013, kCancel = 1009;
constexpr int kFolderEdit = 1014, kContinue = 1004;
const std::string kProduct = "星图演示";
const std::string kCaption = kProduct + " 安装";

// Prints a line of GBK text (this program's strings) as UTF-8, which is what
// the terminal of the machine running Wine reads.
void Out(const char* format, ...)
{
    char gbk[2048];
    va_list args;
    va_start(args, format);
    std::vsnprintf(gbk, sizeof gbk, format, args);
    va_end(args);
    wchar_t wide[2048];
    const int n = MultiByteToWideChar(936, 0, gbk, -1, wide, 2048);
    char utf8[6144];
    if (n <= 0 || WideCharToMultiByte(CP_UTF8, 0, wide, -1, utf8, sizeof utf8, nullptr, nullptr) <= 0)
        std::fputs(gbk, stdout);
    else
        std::fputs(utf8, stdout);
    std::fflush(stdout);
}

void Step(const char* text) { Out("\n== %s\n", text); }

// Prints each check and screenshot and counts the ones that failed.
struct Tally {
    int failures = 0;

    void Check(bool ok, const std::string& what)
    {
        Out("   [%s] %s\n", ok ? " ok " : "FAIL", what.c_str());
        if (!ok)
            ++failures;
    }
    void Shot(const std::string& name)
    {
        const bool saved = SaveScreenshot(name);
        Out("   screenshot %s.png%s\n", name.c_str(), saved ? "" : " could not be taken");
        if (!saved)
            ++failures;
    }
};

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }


bool WaitForLabel(HWND frame, const std::string& label) { return WaitForItemText(frame, kNext, label, 10000); }

// A visible top-level window of the class (or any class) and caption, polled
// closely because some are on screen for a moment only.
HWND Glimpse(const char* className, const char* caption, DWORD timeoutMs)
{
    for (DWORD start = GetTickCount(); GetTickCount() - start < timeoutMs; Sleep(1)) {
        HWND w = FindWindowA(className, caption);
        if (w && IsWindowVisible(w))
            return w;
    }
    return nullptr;
}

// Photographs a short-lived window if it can be caught; the walk does not
// depend on it, as a small product may be unpacked faster than it is seen.
void ShotIfSeen(Tally& t, const char* className, const char* caption, const std::string& name, DWORD timeoutMs)
{
    HWND window = Glimpse(className, caption, timeoutMs);
    if (window == nullptr) {
        Out("   (\"%s\" passed too quickly to be photographed)\n", caption);
        return;
    }
    Sleep(30);  // it paints right after it is shown
    CHoldStill hold(window);
    t.Shot(name);
}

std::string ShortcutTarget(const std::string& link)
{
    std::string target, description;
    return ReadShortcut(link, target, description) ? target : std::string();
}

void Install(Tally& t, const std::string& setup, const std::string& installDir)
{
    Step("Start the shipped installer");
    Out("   %s\n", setup.c_str());
    Process run(setup, "");
    t.Check(run.Started(), "DemoSetup.exe started");
    ShotIfSeen(t, "#32770", "正在初始化向导,请等待...", "00-self-extraction", 20000);

    Step("Wizard page 1: welcome");
    HWND wizard = WaitForCaption(kCaption, 60000, kNext, "下一步");
    t.Check(wizard != nullptr, "the wizard \"" + kCaption + "\" is shown");
    if (wizard == nullptr) {
        t.Shot("failure-no-wizard");  // whatever is on screen instead
        return;
    }
    t.Shot("01-welcome");

    Step("Wizard page 2: licence");
    ClickButton(wizard, kNext);
    t.Check(WaitForLabel(wizard, "同意"), "the licence page asks to agree (\"同意\")");
    t.Shot("02-licence");

    Step("Wizard page 3: destination folder");
    ClickButton(wizard, kNext);
    t.Check(WaitForLabel(wizard, "下一步"), "the folder page is shown");
    HWND edit = PageControl(wizard, kFolderEdit, "Edit");
    const std::string folder = edit ? WindowText(edit) : std::string();
    Out("   folder: %s\n", folder.c_str());
    t.Check(folder + "\\" == installDir || folder == installDir, "the default folder is Program Files\\星辰软件\\星图演示");
    t.Shot("03-folder");

    Step("Wizard page 4: options");
    ClickButton(wizard, kNext);
    t.Check(WaitForLabel(wizard, "安装"), "the options page offers \"安装\"");
    t.Shot("04-options");

    Step("Cancel asks first; \"继续\" goes back to the wizard");
    ClickButton(wizard, kCancel);
    HWND confirm = WaitForCaption(kCaption, 10000, kContinue, "继续");
    t.Check(confirm != nullptr, "the cancel question is shown");
    if (confirm) {
        t.Shot("05-cancel-question");
        ClickButton(confirm, kContinue);
        t.Check(WaitUntilGone(confirm, 10000), "the question is gone and the wizard stays");
    }

    Step("Install");
    ClickButton(wizard, kNext);
    ShotIfSeen(t, "#32770", "正在安装文件,请等待...", "06-installing", 20000);
    HWND finish = WaitForCaption(kCaption, 120000, kNext, "结束");
    t.Check(finish != nullptr, "the finish page is shown");
    if (finish == nullptr)
        return;
    t.Shot("07-finish");

    Step("Finish starts the product");
    ClickButton(finish, kNext);
    HWND product = WaitForCaption(kProduct, 30000);
    t.Check(product != nullptr, "StarView.exe shows its window \"星图演示\"");
    if (product) {
        t.Shot("08-product");
        // The program must have ended, not only its window: a running
        // program's file cannot be removed later.
        HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, WindowProcess(product));
        PostMessageA(product, WM_CLOSE, 0, 0);
        WaitUntilGone(product, 10000);
        if (process) {
            t.Check(WaitForSingleObject(process, 10000) == WAIT_OBJECT_0, "StarView.exe has ended");
            CloseHandle(process);
        }
    }
    t.Check(WaitUntilGone(finish, 30000), "the installer has ended");
}

void CheckInstalled(Tally& t, const std::string& installDir, const std::string& programs, const std::string& desktop)
{
    Step("What the installation left");
    for (const char* file : {"bin\\StarView.exe", "bin\\StarConvert.exe", "bin\\starrt.dll", "bin\\uninstall.exe",
                             "docs\\使用说明.txt", "data\\星表.csv", "config\\settings.ini", "readme.txt"})
        t.Check(Exists(installDir + file), installDir + file);
    t.Check(ShortcutTarget(programs + "星辰软件\\星图演示\\星图演示.lnk") == installDir + "bin\\StarView.exe",
          "Start menu: 星辰软件\\星图演示\\星图演示.lnk -> bin\\StarView.exe");
    t.Check(ShortcutTarget(programs + "星辰软件\\星图演示使用说明.lnk") == installDir + "docs\\使用说明.txt",
          "Start menu: 星辰软件\\星图演示使用说明.lnk -> docs\\使用说明.txt");
    t.Check(ShortcutTarget(desktop + "星图演示.lnk") == installDir + "bin\\StarView.exe",
          "Desktop: 星图演示.lnk -> bin\\StarView.exe");
    t.Check(Exists(CommonFilesFolder() + "Tessaramond\\untessaramond.exe"), "the shared uninstaller in Common Files");
}

void Remove(Tally& t, const std::string& installDir)
{
    Step("Start bin\\uninstall.exe");
    Process launcher(installDir + "bin\\uninstall.exe", "");
    t.Check(launcher.Started(), "uninstall.exe started");
    HWND splash = Glimpse("unInstall", nullptr, 20000);
    t.Check(splash != nullptr, "its splash is shown");
    if (splash) {
        Sleep(30);
        CHoldStill hold(splash);
        t.Shot("09-uninstall-splash");
    }

    Step("Uninstaller page 1: welcome");
    HWND remover = WaitForCaption(kCaption, 60000, kNext, "下一步");
    t.Check(remover != nullptr, "the uninstaller's wizard is shown");
    if (remover == nullptr)
        return;
    t.Shot("10-uninstall-welcome");

    Step("Uninstaller page 2: removed");
    ClickButton(remover, kNext);
    t.Check(WaitForLabel(remover, "完成"), "the finish page offers \"完成\"");
    t.Shot("11-uninstall-finish");
    ClickButton(remover, kNext);
    t.Check(WaitUntilGone(remover, 30000), "the uninstaller has ended");
}

// What a removal left below a folder, for the report.
void PrintLeft(const std::string& folder)
{
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((folder + "*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::string name = data.cFileName;
        if (name == "." || name == "..")
            continue;
        Out("   left: %s%s\n", (folder + name).c_str(), (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? "\\" : "");
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            PrintLeft(folder + name + "\\");
    } while (FindNextFileA(find, &data));
    FindClose(find);
}

void CheckRemoved(Tally& t, const std::string& installDir, const std::string& programs, const std::string& desktop)
{
    Step("What the removal left");
    const bool gone = !Exists(installDir);
    t.Check(gone, "the install folder is gone");
    if (!gone)
        PrintLeft(installDir);
    t.Check(!Exists(programs + "星辰软件"), "the program groups are gone");
    t.Check(!Exists(desktop + "星图演示.lnk"), "the desktop shortcut is gone");
}
}  // namespace

int main()
{
    const std::string setup = BuiltProgram("TMD_DEMO_SETUP");
    if (setup.empty()) {
        std::fprintf(stderr, "demo_walk: TMD_DEMO_SETUP names no installer\n");
        return 2;
    }
    const std::string installDir = SpecialFolder(CSIDL_PROGRAM_FILES) + "星辰软件\\星图演示\\";
    const std::string programs = SpecialFolder(CSIDL_COMMON_PROGRAMS);
    const std::string desktop = SpecialFolder(CSIDL_DESKTOPDIRECTORY);
    // A temporary folder of this walk's own, which the installer inherits: it
    // always extracts into "Tessaramond\" there, and a program another run
    // left open in the shared one must not stand in its way.
    UseOwnTempFolder("tmd-demo-");
    // Windows of this product that an interrupted earlier walk left open
    // would be taken for this walk's.
    for (int i = 0; i < 10; ++i) {
        HWND left = WaitForCaption(kCaption, 0);
        if (left == nullptr)
            break;
        Out("A window \"%s\" of an earlier run is still open: ending it first\n", kCaption.c_str());
        TerminateOwner(left);
        WaitUntilGone(left, 5000);
    }
    if (Exists(installDir)) {
        Out("An earlier run left %s: removing it first\n", installDir.c_str());
        RemoveTree(installDir);
    }
    Tally t;
    Install(t, setup, installDir);
    if (t.failures == 0) {
        CheckInstalled(t, installDir, programs, desktop);
        Remove(t, installDir);
        CheckRemoved(t, installDir, programs, desktop);
    }
    Out("\n%s: %d check%s failed\n", t.failures == 0 ? "Demo life cycle complete" : "Demo life cycle FAILED",
                t.failures, t.failures == 1 ? "" : "s");
    std::fflush(stdout);
    return t.failures == 0 ? 0 : 1;
}
