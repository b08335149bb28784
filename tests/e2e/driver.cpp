#include "driver.h"

#include "framework/endian.h"

#include <winternl.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>

namespace e2e {

namespace {
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
    char cls[64] = "";
    GetClassNameA(window, cls, sizeof cls);
    if (search->dialogOnly && std::string(cls) != "#32770")
        return TRUE;
    search->found = window;
    return FALSE;
}

BOOL CALLBACK CollectStatic(HWND window, LPARAM param)
{
    char cls[64] = "";
    GetClassNameA(window, cls, sizeof cls);
    std::string text = WindowText(window);
    if (_stricmp(cls, "Static") == 0 && !text.empty())
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
    char temp[MAX_PATH] = "";
    GetTempPathA(MAX_PATH, temp);
    for (DWORD n = GetTickCount();; ++n) {
        const std::string own = std::string(temp) + prefix + std::to_string(n);
        if (CreateDirectoryA(own.c_str(), nullptr)) {
            SetEnvironmentVariableA("TEMP", own.c_str());
            SetEnvironmentVariableA("TMP", own.c_str());
            return;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            return;  // keep the shared one rather than spin
    }
}

std::string NewFolder()
{
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    for (unsigned n = GetTickCount();; ++n) {
        std::string folder = std::string(temp) + "tmd-e2e-" + std::to_string(n);
        if (CreateDirectoryA(folder.c_str(), nullptr))
            return folder + "\\";
    }
}

bool WriteFileBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

std::string ReadFileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string U16(unsigned value)
{
    std::string out;
    return AppendLe16(out, static_cast<uint16_t>(value));
}

std::string SpecialFolder(int csidl)
{
    char path[MAX_PATH] = "";
    SHGetSpecialFolderPathA(nullptr, path, csidl, FALSE);
    return std::string(path) + "\\";
}

std::string CommonFilesFolder() { return SpecialFolder(CSIDL_PROGRAM_FILES_COMMON); }

namespace {
void RemoveTreeOnce(const std::string& folder)
{
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = data.cFileName;
            if (name == "." || name == "..")
                continue;
            const std::string path = folder + "\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTreeOnce(path);
            else
                DeleteFileA(path.c_str());
        } while (FindNextFileA(find, &data));
        FindClose(find);
    }
    RemoveDirectoryA(folder.c_str());
}
}  // namespace

void RemoveTree(const std::string& folder)
{
    // A program that ran from the folder may still be ending.
    for (int attempt = 0; attempt < 100 && GetFileAttributesA(folder.c_str()) != INVALID_FILE_ATTRIBUTES; ++attempt) {
        RemoveTreeOnce(folder);
        if (GetFileAttributesA(folder.c_str()) != INVALID_FILE_ATTRIBUTES)
            Sleep(100);
    }
}

std::string TempFolder()
{
    char path[MAX_PATH] = "";
    GetTempPathA(MAX_PATH, path);
    return path;
}

Process::Process(const std::string& program, const std::string& arguments)
{
    std::string commandLine = "\"" + program + "\"";
    if (!arguments.empty())
        commandLine += " " + arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    if (!CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
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
    if (search->buttonId != 0 && ItemText(window, search->buttonId) != *search->label)
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
    char cls[64] = "";
    GetClassNameA(window, cls, sizeof cls);
    if (GetDlgCtrlID(window) == search->id && (!search->className || _stricmp(cls, search->className) == 0)) {
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
    HWND host = FindWindowExA(frame, nullptr, "SysTabControl32", nullptr);
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
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationProcess")));
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
    const int chars = static_cast<int>(wide.size());
    const int bytes = WideCharToMultiByte(CP_ACP, 0, wide.data(), chars, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), chars, out.data(), bytes, nullptr, nullptr);
    return out;
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
    char text[4096] = "";
    if (window && GetWindowTextA(window, text, sizeof text) > 0)
        return text;
    DWORD_PTR copied = 0;
    if (window && SendMessageTimeoutA(window, WM_GETTEXT, sizeof text - 1, reinterpret_cast<LPARAM>(text),
                                      SMTO_ABORTIFHUNG, 5000, &copied))
        return std::string(text);  // the count may be in characters, not bytes
    return std::string();
}

void ClickButton(HWND dialog, int id)
{
    HWND button = GetDlgItem(dialog, id);
    if (button)
        PostMessageA(button, BM_CLICK, 0, 0);
    else
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
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
    if (!bar || !SendMessageTimeoutA(bar, PBM_GETPOS, 0, 0, SMTO_ABORTIFHUNG, 1000, &position))
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
    DeleteFileA(path.c_str());
    Process import("Z:\\usr\\bin\\import", "-window root " + hostPath);
    import.WaitForExit(20000);
    LONGLONG last = -1;
    for (int i = 0; i < 200; ++i, Sleep(100)) {
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
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
