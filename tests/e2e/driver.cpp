#include "driver.h"

#include "framework/endian.h"
#include "framework/win32/wide.h"

#include <winternl.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdlib>

namespace e2e {

namespace {
// The driver holds texts and paths as GBK, as the programs do, and asks
// Windows in UTF-16, so that it sees what they show whatever the code page.
std::string Narrowed(const wchar_t* text) { return NarrowToGbk(text).value_or("?"); }

std::string ClassOf(HWND window)
{
    wchar_t cls[64] = L"";
    GetClassNameW(window, cls, 64);
    return Narrowed(cls);
}

std::string ToWindows(const std::string& hostPath)
{
    std::string out = "Z:" + hostPath;
    for (char& c : out)
        if (c == '/')
            c = '\\';
    return out;
}

struct Search {
    DWORD pid;
    HWND found;
    bool dialogOnly;
};

BOOL CALLBACK FindWindowOf(HWND window, LPARAM param)
{
    auto* search = reinterpret_cast<Search*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != search->pid || !IsWindowVisible(window))
        return TRUE;
    if (search->dialogOnly && ClassOf(window) != "#32770")
        return TRUE;
    search->found = window;
    return FALSE;
}

BOOL CALLBACK CollectStatic(HWND window, LPARAM param)
{
    std::string text = WindowText(window);
    if (_stricmp(ClassOf(window).c_str(), "Static") == 0 && !text.empty())
        reinterpret_cast<std::vector<std::string>*>(param)->push_back(text);
    return TRUE;
}
}  // namespace

std::string BuiltProgram(const char* variable)
{
    const char* host = std::getenv(variable);
    return host ? ToWindows(host) : std::string();
}

void UseOwnTempFolder(const std::string& prefix)
{
    const std::string temp = TempFolder();
    for (DWORD n = GetTickCount();; ++n) {
        const std::wstring own = Widen(temp + prefix + std::to_string(n));
        if (CreateDirectoryW(own.c_str(), nullptr)) {
            SetEnvironmentVariableW(L"TEMP", own.c_str());
            SetEnvironmentVariableW(L"TMP", own.c_str());
            return;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            return;  // keep the shared one rather than spin
    }
}

std::string NewFolder()
{
    const std::string temp = TempFolder();
    for (unsigned n = GetTickCount();; ++n) {
        std::string folder = temp + "tmd-e2e-" + std::to_string(n);
        if (CreateDirectoryW(Widen(folder).c_str(), nullptr))
            return folder + "\\";
    }
}

bool WriteFileBytes(const std::string& path, const std::string& bytes)
{
    HANDLE file = CreateFileW(Widen(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bool ok = true;
    for (size_t at = 0; ok && at < bytes.size();) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - at, 1u << 20));
        DWORD put = 0;
        ok = WriteFile(file, bytes.data() + at, chunk, &put, nullptr) && put == chunk;
        at += chunk;
    }
    return CloseHandle(file) && ok;
}

std::string ReadFileBytes(const std::string& path)
{
    HANDLE file = CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::string();
    std::string bytes;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0)
        bytes.append(buffer, got);
    CloseHandle(file);
    return bytes;
}

std::string U16(unsigned value)
{
    std::string out;
    return AppendLe16(out, static_cast<uint16_t>(value));
}

std::string SpecialFolder(int csidl)
{
    wchar_t path[MAX_PATH] = L"";
    SHGetSpecialFolderPathW(nullptr, path, csidl, FALSE);
    return Narrowed(path) + "\\";
}

std::string CommonFilesFolder() { return SpecialFolder(CSIDL_PROGRAM_FILES_COMMON); }

namespace {
void RemoveTreeOnce(const std::string& folder)
{
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(Widen(folder + "\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = Narrowed(data.cFileName);
            if (name == "." || name == "..")
                continue;
            const std::string path = folder + "\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTreeOnce(path);
            else
                DeleteFileW(Widen(path).c_str());
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    RemoveDirectoryW(Widen(folder).c_str());
}
}  // namespace

void RemoveTree(const std::string& folder)
{
    // A program that ran from the folder may still be ending.
    const std::wstring wide = Widen(folder);
    for (int attempt = 0; attempt < 100 && GetFileAttributesW(wide.c_str()) != INVALID_FILE_ATTRIBUTES; ++attempt) {
        RemoveTreeOnce(folder);
        if (GetFileAttributesW(wide.c_str()) != INVALID_FILE_ATTRIBUTES)
            Sleep(100);
    }
}

std::string TempFolder()
{
    wchar_t path[MAX_PATH + 1] = L"";
    GetTempPathW(MAX_PATH + 1, path);
    return Narrowed(path);
}

Process::Process(const std::string& program, const std::string& arguments)
{
    std::string commandLine = "\"" + program + "\"";
    if (!arguments.empty())
        commandLine += " " + arguments;
    std::wstring wideCommandLine = Widen(commandLine);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessW(Widen(program).c_str(), wideCommandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &m_info))
        m_info = PROCESS_INFORMATION{};
}

Process::~Process()
{
    if (!Started())
        return;
    if (WaitForSingleObject(m_info.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(m_info.hProcess, 1);
        WaitForSingleObject(m_info.hProcess, 5000);
    }
    CloseHandle(m_info.hThread);
    CloseHandle(m_info.hProcess);
}

DWORD Process::WaitForExit(DWORD timeoutMs)
{
    if (!Started() || WaitForSingleObject(m_info.hProcess, timeoutMs) != WAIT_OBJECT_0)
        return STILL_ACTIVE;
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(m_info.hProcess, &code);
    return code;
}

HWND Process::WaitForDialog(DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    do {
        Search search{Id(), nullptr, true};
        EnumWindows(FindWindowOf, reinterpret_cast<LPARAM>(&search));
        if (search.found)
            return search.found;
        if (WaitForSingleObject(m_info.hProcess, 50) == WAIT_OBJECT_0)
            return nullptr;
    } while (GetTickCount() - start < timeoutMs);
    return nullptr;
}

bool Process::HasVisibleWindow() const
{
    Search search{m_info.dwProcessId, nullptr, false};
    EnumWindows(FindWindowOf, reinterpret_cast<LPARAM>(&search));
    return search.found != nullptr;
}

namespace {
struct CaptionSearch {
    const std::string* caption;
    int buttonId;
    const std::string* label;
    HWND found;
};

BOOL CALLBACK FindCaption(HWND window, LPARAM param)
{
    auto* search = reinterpret_cast<CaptionSearch*>(param);
    if (!IsWindowVisible(window) || WindowText(window) != *search->caption)
        return TRUE;
    // A button asked for without a label may carry any: a message box's are
    // the system's own, in its language.
    if (search->buttonId != 0 && (GetDlgItem(window, search->buttonId) == nullptr ||
                                  (!search->label->empty() && ItemText(window, search->buttonId) != *search->label)))
        return TRUE;
    search->found = window;
    return FALSE;
}

struct IdSearch {
    int id;
    const char* className;
    HWND found;
};

BOOL CALLBACK FindId(HWND window, LPARAM param)
{
    auto* search = reinterpret_cast<IdSearch*>(param);
    if (GetDlgCtrlID(window) == search->id &&
        (!search->className || _stricmp(ClassOf(window).c_str(), search->className) == 0)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}
}  // namespace

HWND WaitForCaption(const std::string& caption, DWORD timeoutMs, int buttonId, const std::string& label)
{
    const DWORD start = GetTickCount();
    do {
        CaptionSearch search{&caption, buttonId, &label, nullptr};
        EnumWindows(FindCaption, reinterpret_cast<LPARAM>(&search));
        if (search.found)
            return search.found;
        Sleep(100);
    } while (GetTickCount() - start < timeoutMs);
    return nullptr;
}

HWND FindDescendant(HWND root, int id, const char* className)
{
    IdSearch search{id, className, nullptr};
    EnumChildWindows(root, FindId, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND PageControl(HWND frame, int id, const char* className)
{
    HWND host = FindWindowExW(frame, nullptr, L"SysTabControl32", nullptr);
    return host ? FindDescendant(host, id, className) : nullptr;
}

std::string ItemText(HWND dialog, int id) { return WindowText(GetDlgItem(dialog, id)); }
bool ItemVisible(HWND dialog, int id) { return IsWindowVisible(GetDlgItem(dialog, id)) != FALSE; }
bool ItemEnabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }

DWORD WindowProcess(HWND window)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    return pid;
}

std::string ProcessCommandLine(DWORD processId)
{
    // Read from the process's own block: its parameters hold the command line.
    using QueryFn = LONG(WINAPI*)(HANDLE, PROCESSINFOCLASS, void*, ULONG, ULONG*);
    auto query = reinterpret_cast<QueryFn>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId);
    std::wstring wide;
    PROCESS_BASIC_INFORMATION basic{};
    PEB peb{};
    RTL_USER_PROCESS_PARAMETERS parameters{};
    if (query && process && query(process, ProcessBasicInformation, &basic, sizeof basic, nullptr) >= 0 &&
        ReadProcessMemory(process, basic.PebBaseAddress, &peb, sizeof peb, nullptr) &&
        ReadProcessMemory(process, peb.ProcessParameters, &parameters, sizeof parameters, nullptr)) {
        wide.resize(parameters.CommandLine.Length / sizeof(wchar_t));
        if (!ReadProcessMemory(process, parameters.CommandLine.Buffer, wide.data(), wide.size() * sizeof(wchar_t), nullptr))
            wide.clear();
    }
    if (process)
        CloseHandle(process);
    return NarrowToGbk(wide).value_or("?");
}

void TerminateOwner(HWND window)
{
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid)) {
        TerminateProcess(process, 1);
        WaitForSingleObject(process, 5000);
        CloseHandle(process);
    }
}

bool WaitUntilGone(HWND window, DWORD timeoutMs)
{
    for (DWORD waited = 0; waited < timeoutMs; waited += 100) {
        if (!IsWindow(window) || !IsWindowVisible(window))
            return true;
        Sleep(100);
    }
    return false;
}

std::vector<std::string> StaticTexts(HWND dialog)
{
    std::vector<std::string> texts;
    EnumChildWindows(dialog, CollectStatic, reinterpret_cast<LPARAM>(&texts));
    return texts;
}

std::string WindowText(HWND window)
{
    // The window's title first, which needs nothing of its (maybe suspended)
    // thread; then WM_GETTEXT, which reaches what an edit box keeps itself.
    wchar_t text[4096] = L"";
    if (window && GetWindowTextW(window, text, 4096) > 0)
        return Narrowed(text);
    DWORD_PTR copied = 0;
    if (window && SendMessageTimeoutW(window, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                                      5000, &copied))
        return Narrowed(text);
    return std::string();
}

void ClickButton(HWND dialog, int id)
{
    HWND button = GetDlgItem(dialog, id);
    if (button)
        PostMessageW(button, BM_CLICK, 0, 0);
    else
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
}

bool WaitForItemText(HWND dialog, int id, const std::string& text, DWORD timeoutMs, DWORD pollMs)
{
    for (const DWORD start = GetTickCount();; Sleep(pollMs)) {
        if (ItemText(dialog, id) == text)
            return true;
        if (GetTickCount() - start >= timeoutMs)
            return false;
    }
}

HWND StartInstalling(const std::string& shipped, const std::string& product)
{
    constexpr int kNext = 1013;
    Process run(shipped, "");
    HWND wizard = WaitForCaption(product + " 安装", 60000, kNext, "下一步");
    if (!wizard)
        return nullptr;
    for (const char* label : {"同意", "下一步", "安装"}) {
        ClickButton(wizard, kNext);
        if (!WaitForItemText(wizard, kNext, label, 10000))
            return nullptr;
    }
    ClickButton(wizard, kNext);
    return wizard;
}

int ProgressPosition(HWND bar)
{
    DWORD_PTR position = 0;
    if (!bar || !SendMessageTimeoutW(bar, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, 1000, &position))
        return -1;
    return static_cast<int>(position);
}

CHoldStill::CHoldStill(HWND window)
    : m_thread(OpenThread(THREAD_SUSPEND_RESUME, FALSE, GetWindowThreadProcessId(window, nullptr)))
{
    if (m_thread)
        SuspendThread(m_thread);
}

CHoldStill::~CHoldStill()
{
    if (m_thread) {
        ResumeThread(m_thread);
        CloseHandle(m_thread);
    }
}

namespace {
CPacedWork::ProcessCall NtProcessCall(const char* name)
{
    return reinterpret_cast<CPacedWork::ProcessCall>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), name)));
}
}  // namespace

CPacedWork::CPacedWork(HWND window)
    : m_suspend(NtProcessCall("NtSuspendProcess")), m_resume(NtProcessCall("NtResumeProcess"))
{
    DWORD process = 0;
    const DWORD spared = GetWindowThreadProcessId(window, &process);
    if (spared == 0 || process == GetCurrentProcessId())
        return;  // no window, or this driver's own
    m_process.reset(OpenProcess(PROCESS_SUSPEND_RESUME, FALSE, process));
    m_spared.reset(OpenThread(THREAD_SUSPEND_RESUME, FALSE, spared));
    Hold();
}

void CPacedWork::Step(DWORD ms)
{
    Release();
    Sleep(ms);
    Hold();
}

void CPacedWork::Wait(DWORD ms)
{
    for (DWORD start = GetTickCount(); GetTickCount() - start < ms;) {
        Sleep(1);
        Hold();
    }
}

void CPacedWork::Hold()
{
    // Each hold suspends every thread once more, those started since the
    // last one included, and gives the window's thread its suspension back.
    // A thread is suspended at most 127 times: the holds stop well short.
    if (!m_process || !m_spared || m_suspend == nullptr || m_holds >= kMaxHolds || m_suspend(m_process.get()) != 0)
        return;
    ResumeThread(m_spared.get());
    ++m_holds;
}

void CPacedWork::Release()
{
    // A thread with no suspension left to take back, as the window's, is
    // left as it is.
    for (; m_holds > 0 && m_resume != nullptr; --m_holds)
        m_resume(m_process.get());
    m_holds = 0;
}

bool SaveScreenshot(const std::string& name)
{
    // Wine starts host programs too: ImageMagick's import takes the picture
    // of the X display the programs draw on. The Windows side of such a start
    // may end before the host program does, so the picture is awaited as a
    // file whose size has settled.
    const char* folder = std::getenv("TMD_ARTIFACTS");
    if (folder == nullptr)
        return false;
    Sleep(300);  // let the window finish painting
    const std::string hostPath = std::string(folder) + "/" + name + ".png";
    const std::string path = ToWindows(hostPath);
    DeleteFileW(Widen(path).c_str());
    Process import("Z:\\usr\\bin\\import", "-window root " + hostPath);
    import.WaitForExit(20000);
    LONGLONG last = -1;
    for (int i = 0; i < 200; ++i, Sleep(100)) {
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (!GetFileAttributesExW(Widen(path).c_str(), GetFileExInfoStandard, &data))
            continue;
        const LONGLONG size = static_cast<LONGLONG>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
        if (size > 0 && size == last)
            return true;
        last = size;
    }
    return false;
}

}  // namespace e2e

namespace {
BOOL CALLBACK CollectVisible(HWND window, LPARAM param)
{
    if (IsWindowVisible(window))
        reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
    return TRUE;
}

std::vector<HWND> VisibleWindows()
{
    std::vector<HWND> windows;
    EnumWindows(CollectVisible, reinterpret_cast<LPARAM>(&windows));
    return windows;
}
}  // namespace

namespace e2e {
DWORD RunUnseen(const std::string& program, const std::string& arguments, DWORD timeoutMs, std::string& windowShown)
{
    const std::vector<HWND> before = VisibleWindows();
    Process run(program, arguments);
    if (!run.Started())
        return STILL_ACTIVE;
    for (DWORD waited = 0;; waited += 50) {
        const DWORD code = run.WaitForExit(50);
        for (HWND window : VisibleWindows()) {
            if (windowShown.empty() && std::find(before.begin(), before.end(), window) == before.end() &&
                WindowProcess(window) != GetCurrentProcessId()) {
                windowShown = "window \"";
                windowShown += WindowText(window);
                windowShown += '"';
            }
        }
        if (code != STILL_ACTIVE || waited >= timeoutMs)
            return code;
    }
}
}  // namespace e2e
