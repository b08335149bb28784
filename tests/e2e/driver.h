// The Windows-side driver of the end-to-end tests: starts the built programs,
// finds their windows, reads them, presses their buttons and keeps
// screenshots of what it saw.
#pragma once

#include "framework/win32/handle.h"

#include <windows.h>
#include <shlobj.h>

#include <string>
#include <vector>

namespace e2e {

// Windows-form path of the built program named by an environment variable
// holding its host path (TMD_INSTALLER_EXE, ...).
std::string BuiltProgram(const char* variable);
// A new empty folder for one test, with a trailing backslash.
std::string NewFolder();
bool WriteFileBytes(const std::string& path, const std::string& bytes);
std::string ReadFileBytes(const std::string& path);
std::string U16(unsigned value);
// Shell folders of the Wine prefix, with a trailing backslash.
std::string SpecialFolder(int csidl);
std::string CommonFilesFolder();
std::string TempFolder();
// Gives this process (and the programs it starts) a new temporary folder of
// its own below the current one, named prefix + a number.
void UseOwnTempFolder(const std::string& prefix);
// Removes a folder with everything in it (what a test left behind).
void RemoveTree(const std::string& folder);
// A control of the page that is shown (pages sit inside the page host).
HWND PageControl(HWND frame, int id, const char* className);

// One started program; terminated if still running when the object goes.
class Process {
public:
    Process(const std::string& program, const std::string& arguments);
    ~Process();
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    bool Started() const { return m_info.hProcess != nullptr; }
    DWORD Id() const { return m_info.dwProcessId; }
    // Exit code, or STILL_ACTIVE when it did not end within timeoutMs.
    DWORD WaitForExit(DWORD timeoutMs);
    // A visible top-level dialog of the process, or nullptr after timeoutMs.
    HWND WaitForDialog(DWORD timeoutMs);
    // True when the process shows any visible top-level window right now.
    bool HasVisibleWindow() const;

private:
    PROCESS_INFORMATION m_info{};
};

// A visible top-level window with this caption, of any process (programs
// started through the shell are not our children); optionally one with the
// button id, carrying the label unless it is empty. nullptr after timeoutMs.
HWND WaitForCaption(const std::string& caption, DWORD timeoutMs, int buttonId = 0, const std::string& label = "");
// A descendant window with the id (pages sit inside the page host).
HWND FindDescendant(HWND root, int id, const char* className = nullptr);
std::string ItemText(HWND dialog, int id);
bool ItemVisible(HWND dialog, int id);
bool ItemEnabled(HWND dialog, int id);
// The process that owns a window.
DWORD WindowProcess(HWND window);
// The command line a running process was started with, in the code page of
// the programs; "" when it cannot be read.
std::string ProcessCommandLine(DWORD processId);
// Runs a program to its end, watching for any window another process shows
// meanwhile (windowShown: the first one's caption). Exit code, or
// STILL_ACTIVE when it did not end within timeoutMs.
DWORD RunUnseen(const std::string& program, const std::string& arguments, DWORD timeoutMs, std::string& windowShown);
// Ends the process that owns a window.
void TerminateOwner(HWND window);
// Waits until the window is gone.
bool WaitUntilGone(HWND window, DWORD timeoutMs);

// Texts of the static controls of a dialog, in child order.
std::vector<std::string> StaticTexts(HWND dialog);
std::string WindowText(HWND window);
// Presses a dialog's button the way a click does.
void ClickButton(HWND dialog, int id);
// Waits until the dialog's item shows the text (a wizard's Next button its
// label); false when it did not within timeoutMs.
bool WaitForItemText(HWND dialog, int id, const std::string& text, DWORD timeoutMs, DWORD pollMs = 50);

// Starts a shipped installer, walks its wizard to the options page and
// presses "安装"; returns the wizard, or nullptr when a page did not come.
HWND StartInstalling(const std::string& shipped, const std::string& product);
// A progress bar's position, or -1 when it does not answer.
int ProgressPosition(HWND bar);

// Keeps the thread that owns a window suspended for the object's life, so
// that a window on screen for a moment only (a splash, a progress dialog)
// stays to be looked at.
class CHoldStill {
public:
    explicit CHoldStill(HWND window);
    ~CHoldStill();
    CHoldStill(const CHoldStill&) = delete;
    CHoldStill& operator=(const CHoldStill&) = delete;
    bool Holding() const { return m_thread != nullptr; }

private:
    HANDLE m_thread;
};
// Lets the program that owns a window work in short steps only. While the
// object lives, every thread of that program but the window's own is held
// (suspended), and any thread it starts is held within a millisecond or so
// while the caller waits through Wait; the window's thread stays free to take
// in the progress posted to it, paint and answer. Step lets the rest run for
// a moment. A phase that a fast machine gets through in a few tens of
// milliseconds, less than a few looks at the screen take, is then seen on
// its way.
class CPacedWork {
public:
    explicit CPacedWork(HWND window);
    ~CPacedWork() { Release(); }
    CPacedWork(const CPacedWork&) = delete;
    CPacedWork& operator=(const CPacedWork&) = delete;
    // Lets the held threads run for about ms milliseconds, then holds them
    // again, with any thread they started meanwhile.
    void Step(DWORD ms);
    // Waits about ms milliseconds with the work held, holding each thread
    // the window's thread starts meanwhile.
    void Wait(DWORD ms);

    // Suspends or resumes every thread of a process at once: ntdll's own
    // calls, which Windows and Wine both have and no import library declares.
    using ProcessCall = LONG(NTAPI*)(HANDLE);

private:
    static constexpr int kMaxHolds = 100;
    void Hold();
    void Release();

    ProcessCall m_suspend;
    ProcessCall m_resume;
    unique_kernel_handle m_process;
    unique_kernel_handle m_spared;
    int m_holds = 0;
};
// Saves a picture of the screen as NAME.png in the artefacts folder (when the
// run names one in TMD_ARTIFACTS); false when none could be taken.
bool SaveScreenshot(const std::string& name);

}  // namespace e2e
