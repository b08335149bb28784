#include "driver.h"

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
    return std::string{static_cast<char>(value & 0xFF), static_cast<char>((value >> 8) & 0xFF)};
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

std::vector<std::string> StaticTexts(HWND dialog)
{
    std::vector<std::string> texts;
    EnumChildWindows(dialog, CollectStatic, reinterpret_cast<LPARAM>(&texts));
    return texts;
}

std::string WindowText(HWND window)
{
    char text[1024] = "";
    GetWindowTextA(window, text, sizeof text);
    return text;
}

void ClickButton(HWND dialog, int id)
{
    HWND button = GetDlgItem(dialog, id);
    if (button)
        PostMessageA(button, BM_CLICK, 0, 0);
    else
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
}

bool SaveScreenshot(const std::string& name)
{
    // Wine starts host programs too: ImageMagick's import takes the picture
    // of the X display the programs draw on.
    const char* folder = std::getenv("TMD_ARTIFACTS");
    if (folder == nullptr)
        return false;
    Sleep(300);  // let the window finish painting
    Process import("Z:\\usr\\bin\\import", "-window root " + std::string(folder) + "/" + name + ".png");
    return import.WaitForExit(20000) == 0;
}

}  // namespace e2e
