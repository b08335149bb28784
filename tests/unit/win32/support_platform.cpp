#include "support.h"

#include "framework/file.h"
#include "framework/win32/wide.h"

#include <windows.h>

unsigned ScratchSeed() { return static_cast<unsigned>(GetCurrentProcessId()); }

void PrepareTestMachine() {}
void CleanUpTestMachine() {}

std::string FromHostPath(const std::string& hostPath)
{
    // Wine shows the host's root as drive Z:.
    std::string out = "Z:" + hostPath;
    for (char& c : out)
        if (c == '/')
            c = '\\';
    return out;
}

void SetReadOnly(const std::string& path, bool readOnly)
{
    SetFileAttributesW(Widen(path).c_str(), readOnly ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL);
}

namespace {
std::string UnixName(const std::string& path)
{
    using Fn = char*(CDECL*)(const wchar_t*);
    const auto fn = reinterpret_cast<Fn>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (fn == nullptr || path.empty())
        return std::string();
    char* name = fn(Widen(path).c_str());
    if (name == nullptr)
        return std::string();
    std::string out(name);
    HeapFree(GetProcessHeap(), 0, name);
    return out;
}
}  // namespace

bool MakeFolderLink(const std::string& link, const std::string& target)
{
    // Allowed without elevation where developer mode is on.
    if (CreateSymbolicLinkW(Widen(link).c_str(), Widen(target).c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY | 0x2) != 0 && IsLink(link))
        return true;
    // Wine makes no Windows links, but shows a symbolic link of the host as
    // one, and starts host programs: ln makes it.
    std::string from = UnixName(target), to = UnixName(link);
    while (from.size() > 1 && from.back() == '/')
        from.pop_back();
    if (from.empty() || to.empty())
        return false;
    std::string command = "Z:\\bin\\ln -s \"" + from + "\" \"" + to + "\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA("Z:\\bin\\ln", command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    // A host program starts slowly on a busy machine: wait for it, then give
    // the link a moment to show.
    WaitForSingleObject(process.hProcess, 60000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    for (int tries = 0; tries < 20 && !IsLink(link); ++tries)
        Sleep(100);
    return IsLink(link);
}

CHeldOpen::CHeldOpen(const std::string& path) : m_path(path)
{
    HANDLE file = CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    m_holding = file != INVALID_HANDLE_VALUE;
    m_handle = reinterpret_cast<intptr_t>(file);
}

CHeldOpen::~CHeldOpen()
{
    if (m_holding)
        CloseHandle(reinterpret_cast<HANDLE>(m_handle));
}

struct CMessageSink::Impl {
    HWND window = nullptr;
};

CMessageSink::CMessageSink() : m_impl(std::make_unique<Impl>())
{
    m_impl->window = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
}

CMessageSink::~CMessageSink()
{
    if (m_impl->window != nullptr)
        DestroyWindow(m_impl->window);
}

void* CMessageSink::Target() const { return m_impl->window; }

std::vector<PostedMessage> CMessageSink::Drain()
{
    std::vector<PostedMessage> out;
    MSG msg;
    while (PeekMessageA(&msg, m_impl->window, 0, 0, PM_REMOVE))
        out.push_back({msg.message, static_cast<uintptr_t>(msg.wParam), static_cast<intptr_t>(msg.lParam)});
    return out;
}

std::filesystem::path HostPathOf(const std::string& windowsPath)
{
    return std::filesystem::path(Widen(windowsPath));
}
