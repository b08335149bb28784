// Walks the whole life of the demo product unattended, as a user would:
// starts the shipped installer, goes through the wizard page by page (and
// once into the cancel question and back), installs, lets the finish page
// start the product, then removes it again through "uninstall.exe". Prints
// each step, keeps a screenshot of every window, judges each window's layout
// (at this machine's dialog units and at SimSun's), and checks what each step
// left on disk. Beside each picture NAME.png it writes NAME.txt: the window's
// place on the screen and the texts a person must be able to read there,
// which scripts/demo reads back from the picture. Exit code 0 when every
// check held.
#include "common/exit_codes.h"
#include "common/shell.h"
#include "common/uninstall_entry.h"
#include "driver.h"
#include "framework/win32/wide.h"
#include "layout.h"
#include "page_texts.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

using namespace e2e;

namespace {
constexpr int kNext = 1013, kCancel = 1009;
constexpr int kFolderEdit = 1014, kContinue = 1004, kProgressBar = 202;
// Templates of the installer's and the uninstaller's windows.
constexpr int kProgressDialog = 101, kCancelQuestion = 129;
constexpr int kInstallerPages[] = {131, 132, 133, 134, 131};
constexpr int kUninstallerPages[] = {133, 136};
const std::string kProduct = "星图演示";
const std::string kCaption = kProduct + " 安装";

// GBK text as UTF-8, which is what the machine running Wine reads.
std::string Utf8(const std::string& gbk)
{
    const std::wstring wide = Widen(gbk);
    if (wide.empty())
        return gbk;
    const int length = static_cast<int>(wide.size());
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
    if (n <= 0)
        return gbk;
    std::string utf8(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, utf8.data(), n, nullptr, nullptr);
    return utf8;
}

// Prints a line of GBK text (this program's strings) as UTF-8, which is what
// the terminal of the machine running Wine reads.
void Out(const char* format, ...)
{
    char gbk[2048];
    va_list args;
    va_start(args, format);
    std::vsnprintf(gbk, sizeof gbk, format, args);
    va_end(args);
    std::fputs(Utf8(gbk).c_str(), stdout);
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
    // A picture of the screen, and beside it what must be read in the window
    // and where: "window L T R B", then "L T R B<tab>text" for each text
    // ("- - - -" where the place is the artwork's own).
    void Shot(const std::string& name, HWND window = nullptr, const std::vector<ShownText>& texts = {})
    {
        const bool saved = SaveScreenshot(name);
        Out("   screenshot %s.png%s\n", name.c_str(), saved ? "" : " could not be taken");
        if (!saved)
            ++failures;
        const char* folder = std::getenv("TMD_ARTIFACTS");
        RECT r;
        if (!saved || folder == nullptr || window == nullptr || !GetWindowRect(window, &r))
            return;
        std::ofstream expected(Widen(std::string(folder) + "/" + name + ".txt").c_str(), std::ios::binary | std::ios::trunc);
        expected << "window " << r.left << " " << r.top << " " << r.right << " " << r.bottom << "\n";
        for (const ShownText& text : texts) {
            if (IsRectEmpty(&text.screen))
                expected << "- - - -";
            else
                expected << text.screen.left << " " << text.screen.top << " " << text.screen.right << " "
                         << text.screen.bottom;
            expected << "\t" << Utf8(text.text) << "\n";
        }
    }
    // No control or painted line of the window overlaps another or reaches
    // past what shows of its window, at this machine's dialog units and at
    // SimSun's.
    void Layout(const std::string& what, HWND window, const std::vector<WindowContent>& contents)
    {
        for (Metrics metrics : {Metrics::Measured, Metrics::SimSun}) {
            const std::vector<std::string> faults = LayoutFaults(window, contents, metrics);
            Check(faults.empty(), what + (metrics == Metrics::Measured ? ": layout holds" : ": layout holds at SimSun's units"));
            for (const std::string& fault : faults)
                Out("          %s\n", fault.c_str());
        }
    }
};

std::vector<ShownText> Joined(std::vector<ShownText> texts, HWND window, const std::vector<PaintedText>& lines)
{
    for (const PaintedText& line : lines)
        texts.push_back(PaintedOnScreen(window, line));
    return texts;
}

// The needed space page 2 prints, as scripts/demo found it in the package.
std::string NeededKB()
{
    const char* kb = std::getenv("TMD_DEMO_NEEDED_KB");
    return kb ? kb : "";
}

// A wizard page: its layout judged, its picture taken with its texts.
void ShootPage(Tally& t, const std::string& name, HWND frame, int page, bool uninstaller = false)
{
    // The button's label may change a moment before the new page shows.
    HWND shown = ShownPage(frame);
    for (int wait = 0; shown == nullptr && wait < 50; ++wait) {
        Sleep(100);
        shown = ShownPage(frame);
    }
    t.Check(shown != nullptr, "a page is shown");
    const std::string program = WindowProgram(frame);
    const InstallerValues values{kProduct, SpecialFolder(CSIDL_PROGRAM_FILES) + "星辰软件\\星图演示\\", NeededKB(), 2};
    const std::vector<PaintedText> lines = uninstaller ? UninstallerPageTexts(page, kProduct)
                                                       : InstallerPageTexts(page, values, ClientHeight(shown));
    const int templateId = uninstaller ? kUninstallerPages[page] : kInstallerPages[page];
    t.Layout(name, frame,
             {{frame, HeaderTexts(kProduct), std::nullopt}, {shown, lines, LoadDialogTemplate(program, templateId)}});
    std::vector<ShownText> texts = Joined(ControlTexts(frame), frame, HeaderTexts(kProduct));
    texts = Joined(texts, shown, lines);
    // The boxes draw their labels themselves: from x = 15, centred.
    const int boxes[] = {1016, 1017, 1018};
    if (!uninstaller && page == 3)
        for (size_t i = 0; i < OptionLabels().size(); ++i) {
            RECT r = {};
            GetWindowRect(PageControl(frame, boxes[i], "Button"), &r);
            r.left += 15;
            texts.push_back(ShownText{OptionLabels()[i], r});
        }
    // The needed space is known only to the package; the rest of the line is read.
    if (!uninstaller && page == 2 && NeededKB().empty())
        texts.back().text = "程序需要的空间：";
    t.Shot(name, frame, texts);
}

// The cancel question over the frame: its layout and its picture.
void ShootQuestion(Tally& t, const std::string& name, HWND confirm)
{
    t.Layout(name, confirm,
             {{confirm, CancelQuestionTexts(), LoadDialogTemplate(WindowProgram(confirm), kCancelQuestion)}});
    t.Shot(name, confirm, Joined(ControlTexts(confirm), confirm, CancelQuestionTexts()));
}

bool Exists(const std::string& path) { return GetFileAttributesW(Widen(path).c_str()) != INVALID_FILE_ATTRIBUTES; }


bool WaitForLabel(HWND frame, const std::string& label) { return WaitForItemText(frame, kNext, label, 10000); }

// A visible top-level window of the class (or any class) and caption, polled
// closely because some are on screen for a moment only.
HWND Glimpse(const char* className, const char* caption, DWORD timeoutMs)
{
    const std::wstring cls = className ? Widen(className) : std::wstring();
    const std::wstring text = caption ? Widen(caption) : std::wstring();
    for (DWORD start = GetTickCount(); GetTickCount() - start < timeoutMs; Sleep(1)) {
        HWND w = FindWindowW(className ? cls.c_str() : nullptr, caption ? text.c_str() : nullptr);
        if (w && IsWindowVisible(w))
            return w;
    }
    return nullptr;
}

// A progress bar's position once the progress posted to its dialog has
// reached it: the worker posts its progress, and the bar's dialog answers a
// question sent to it before it takes what was posted. With the work held,
// what is on its way runs out, and two readings a moment apart agree.
int SettledPosition(CPacedWork& work, HWND bar)
{
    int position = ProgressPosition(bar);
    for (int i = 0; i < 100; ++i) {
        work.Wait(10);
        const int now = ProgressPosition(bar);
        if (now == position)
            break;
        position = now;
    }
    return position;
}

// A progress dialog with its caption, held still while its bar is on the
// way (from the position given, short of the end), photographed and its
// layout judged. A fast machine gets through a phase in less time than a few
// looks at the bar take, so the program that shows it works in steps of about
// a millisecond meanwhile (work), and the bar is read between them.
// The self-extraction's bar rushes through its steps between the two long
// copies, so it is taken as soon as it shows.
void CatchProgress(Tally& t, CPacedWork& work, const char* caption, const std::string& name, DWORD timeoutMs,
                   int from = 20)
{
    const auto onTheWay = [from](int position) { return position >= from && position < 100; };
    const std::wstring wanted = Widen(caption);
    // The positions seen, for the report when none was on the way.
    std::string seen;
    int last = -2;
    for (DWORD start = GetTickCount(); GetTickCount() - start < timeoutMs; work.Step(1)) {
        HWND dialog = FindWindowW(L"#32770", wanted.c_str());
        if (dialog == nullptr || !IsWindowVisible(dialog))
            continue;
        HWND bar = GetDlgItem(dialog, kProgressBar);
        const int position = SettledPosition(work, bar);
        if (position != last && seen.size() < 200) {
            seen += ' ';
            seen += std::to_string(position);
            seen += '%';
            last = position;
        }
        if (!onTheWay(position))
            continue;
        // A new position shows with the bar's next paint: have it painted
        // now, and give the dialog's thread a moment to go back to wait for
        // messages, when Wine hands what it painted to the display. Then
        // hold that thread too.
        RedrawWindow(bar, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        work.Wait(30);
        CHoldStill hold(dialog);
        if (!hold.Holding() || !IsWindowVisible(dialog))
            continue;
        t.Check(true, std::string("\"") + caption + "\" with its bar at " + std::to_string(position) + "%");
        t.Layout(name, dialog, {{dialog, {}, LoadDialogTemplate(WindowProgram(dialog), kProgressDialog)}});
        t.Shot(name, dialog, ControlTexts(dialog));
        return;
    }
    t.Check(false, std::string("\"") + caption + "\" is seen with its bar on the way (" +
                       (seen.empty() ? std::string("not seen") : "seen at" + seen) + ")");
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
    {
        const char* caption = "正在初始化向导,请等待...";
        CPacedWork extraction(Glimpse("#32770", caption, 60000));
        CatchProgress(t, extraction, caption, "00-self-extraction", 60000, 0);
    }

    Step("Wizard page 1: welcome");
    HWND wizard = WaitForCaption(kCaption, 60000, kNext, "下一步");
    t.Check(wizard != nullptr, "the wizard \"" + kCaption + "\" is shown");
    if (wizard == nullptr) {
        t.Shot("failure-no-wizard");  // whatever is on screen instead
        return;
    }
    ShootPage(t, "01-welcome", wizard, 0);

    Step("Wizard page 2: licence");
    ClickButton(wizard, kNext);
    t.Check(WaitForLabel(wizard, "同意"), "the licence page asks to agree (\"同意\")");
    // The licence is loaded right after the label changes.
    for (int i = 0; i < 50 && WindowText(PageControl(wizard, 1012, "Edit")).empty(); ++i)
        Sleep(100);
    ShootPage(t, "02-licence", wizard, 1);

    Step("Wizard page 3: destination folder");
    ClickButton(wizard, kNext);
    t.Check(WaitForLabel(wizard, "下一步"), "the folder page is shown");
    HWND edit = PageControl(wizard, kFolderEdit, "Edit");
    const std::string folder = edit ? WindowText(edit) : std::string();
    Out("   folder: %s\n", folder.c_str());
    t.Check(folder + "\\" == installDir || folder == installDir, "the default folder is Program Files\\星辰软件\\星图演示");
    ShootPage(t, "03-folder", wizard, 2);

    Step("Wizard page 4: options");
    ClickButton(wizard, kNext);
    t.Check(WaitForLabel(wizard, "安装"), "the options page offers \"安装\"");
    ShootPage(t, "04-options", wizard, 3);

    Step("Cancel asks first; \"继续\" goes back to the wizard");
    ClickButton(wizard, kCancel);
    HWND confirm = WaitForCaption(kCaption, 10000, kContinue, "继续");
    t.Check(confirm != nullptr, "the cancel question is shown");
    if (confirm) {
        ShootQuestion(t, "05-cancel-question", confirm);
        ClickButton(confirm, kContinue);
        t.Check(WaitUntilGone(confirm, 10000), "the question is gone and the wizard stays");
    }

    Step("Install");
    {
        // The progress dialogs are the wizard's, on its thread.
        CPacedWork installation(wizard);
        ClickButton(wizard, kNext);
        CatchProgress(t, installation, "正在解压文件,请等待...", "06-decompressing", 60000);
        CatchProgress(t, installation, "正在安装文件,请等待...", "07-installing", 60000, 10);
    }
    HWND finish = WaitForCaption(kCaption, 120000, kNext, "结束");
    t.Check(finish != nullptr, "the finish page is shown");
    if (finish == nullptr)
        return;
    ShootPage(t, "08-finish", finish, 4);

    Step("The close box asks first in finish mode too; \"继续\" stays");
    PostMessageW(finish, WM_SYSCOMMAND, SC_CLOSE, 0);
    HWND question = WaitForCaption(kCaption, 10000, kContinue, "继续");
    t.Check(question != nullptr, "the cancel question is shown over the finish page");
    if (question) {
        ShootQuestion(t, "09-finish-cancel-question", question);
        ClickButton(question, kContinue);
        t.Check(WaitUntilGone(question, 10000) && IsWindowVisible(finish), "the finish page stays");
    }

    Step("Finish starts the product");
    ClickButton(finish, kNext);
    HWND product = WaitForCaption(kProduct, 30000);
    t.Check(product != nullptr, "StarView.exe shows its window \"星图演示\"");
    if (product) {
        // Its caption, and the two lines that do not depend on the machine.
        std::vector<ShownText> texts = ControlTexts(product);
        texts.push_back(ShownText{"星图演示 1.0.0", {}});
        texts.push_back(ShownText{"这是 Tessaramond 安装平台的示例产品。", {}});
        t.Shot("10-product", product, texts);
        // The program must have ended, not only its window: a running
        // program's file cannot be removed later.
        HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, WindowProcess(product));
        PostMessageW(product, WM_CLOSE, 0, 0);
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
    for (int part = 1; part <= 8; ++part) {
        const std::string file = installDir + "data\\巡天样本-" + std::to_string(part) + ".dat";
        t.Check(Exists(file), file);
    }
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
        // Held once it has painted (its update region is empty) and gone
        // back to wait for messages, when Wine hands what it painted to the
        // display; held before, its picture is black. It shows only for a
        // moment, so this is watched closely.
        for (int i = 0; i < 200 && GetUpdateRect(splash, nullptr, FALSE); ++i)
            Sleep(1);
        Sleep(30);
        CHoldStill hold(splash);
        RECT client = {};
        GetClientRect(splash, &client);
        t.Check(client.right == 250 && client.bottom == 60, "the splash is its 250 x 60 picture, nothing cut");
        t.Shot("11-uninstall-splash", splash, {ShownText{"Tessaramond", {}}});
    }

    Step("Uninstaller page 1: welcome");
    HWND remover = WaitForCaption(kCaption, 60000, kNext, "下一步");
    t.Check(remover != nullptr, "the uninstaller's wizard is shown");
    if (remover == nullptr)
        return;
    ShootPage(t, "12-uninstall-welcome", remover, 0, true);

    Step("Uninstaller page 2: removed");
    ClickButton(remover, kNext);
    t.Check(WaitForLabel(remover, "完成"), "the finish page offers \"完成\"");
    ShootPage(t, "13-uninstall-finish", remover, 1, true);
    ClickButton(remover, kNext);
    t.Check(WaitUntilGone(remover, 30000), "the uninstaller has ended");
}

// What a removal left below a folder, for the report.
void PrintLeft(const std::string& folder)
{
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(Widen(folder + "*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::string name = NarrowToGbk(data.cFileName).value_or("?");
        if (name == "." || name == "..")
            continue;
        Out("   left: %s%s\n", (folder + name).c_str(), (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? "\\" : "");
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            PrintLeft(folder + name + "\\");
    } while (FindNextFileW(find, &data));
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

// The same product as an administrator deploys it: no window, the exit code
// and the list of installed programs tell what happened.
void SilentLife(Tally& t, const std::string& setup, const std::string& installDir, const std::string& programs,
                const std::string& desktop)
{
    Step("Silent installation: DemoSetup.exe /S /NORUN");
    std::string shown;
    const DWORD installed = RunUnseen(setup, "/S /NORUN", 180000, shown);
    t.Check(installed == kExitSuccess, "the installer ends with exit code 0 (it ended with " + std::to_string(installed) + ")");
    t.Check(shown.empty(), shown.empty() ? "no window was shown" : "no window was shown (" + shown + " was)");
    CheckInstalled(t, installDir, programs, desktop);
    const std::string key = UninstallEntryKey("星图演示");
    UninstallEntry entry;
    bool perMachine = false;
    const bool listed = ReadUninstallEntry(key, entry, perMachine);
    t.Check(listed && perMachine, "Apps & Features lists it: HKLM\\...\\Uninstall\\" + key);
    t.Check(entry.displayName == "星图演示" && entry.publisher == "星辰软件" && entry.displayVersion == "1.0.0",
            "with its name, maker and version (" + entry.displayName + ", " + entry.publisher + ", " + entry.displayVersion + ")");
    t.Check(entry.quietUninstallString == "\"" + installDir + "bin\\uninstall.exe\" /S",
            "and the silent removal " + entry.quietUninstallString);

    Step("Silent removal: uninstall.exe /S");
    const DWORD removed = RunUnseen(installDir + "bin\\uninstall.exe", "/S", 180000, shown);
    t.Check(removed == kExitSuccess, "the launcher ends with the uninstaller's exit code 0 (it ended with " +
                                         std::to_string(removed) + ")");
    t.Check(shown.empty(), shown.empty() ? "no window was shown" : "no window was shown (" + shown + " was)");
    CheckRemoved(t, installDir, programs, desktop);
    t.Check(!ReadUninstallEntry(key, entry, perMachine), "the entry is gone from Apps & Features");
}
}  // namespace

int main()
{
    // The walk catches windows that are on screen for a moment: it must not
    // wait for the processor behind the programs it watches.
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
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
        SilentLife(t, setup, installDir, programs, desktop);
    }
    Out("\n%s: %d check%s failed\n", t.failures == 0 ? "Demo life cycle complete" : "Demo life cycle FAILED",
                t.failures, t.failures == 1 ? "" : "s");
    std::fflush(stdout);
    return t.failures == 0 ? 0 : 1;
}
