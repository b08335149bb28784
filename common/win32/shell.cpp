// The shell functions on Windows: special folders and shortcuts through the
// shell, program start through ShellExecuteExA, versions from the resource.
#include "common/shell.h"

#include "common/win32/com_ptr.h"
#include "framework/fault.h"
#include "framework/strings.h"

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <memory>
#include <vector>

namespace {
struct ItemListFree {
    void operator()(ITEMIDLIST* p) const { CoTaskMemFree(p); }
};

std::string SpecialFolder(int csidl)
{
    char path[MAX_PATH] = "";
    ITEMIDLIST* raw = nullptr;
    if (SUCCEEDED(SHGetSpecialFolderLocation(nullptr, csidl, &raw))) {
        std::unique_ptr<ITEMIDLIST, ItemListFree> list(raw);
        SHGetPathFromIDListA(list.get(), path);
    }
    return path;
}

std::wstring Widen(const std::string& text)
{
    int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    if (n <= 0)
        return std::wstring();
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), n);
    wide.resize(static_cast<size_t>(n - 1));
    return wide;
}

void SaveShortcut(const std::string& linkFile, const std::string& target)
{
    if (FaultInjected())
        return;
    ComInit com;
    ComPtr<IShellLinkA> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_ALL, IID_IShellLinkA, link.Put())))
        return;
    link->SetPath(target.c_str());
    link->SetDescription(kShortcutDescription);
    ComPtr<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, file.Put())))
        return;
    file->Save(Widen(linkFile).c_str(), TRUE);
}
}  // namespace

std::string GetProgramFilesFolder() { return Format("%s\\", SpecialFolder(CSIDL_PROGRAM_FILES).c_str()); }
std::string GetCommonFilesFolder() { return Format("%s\\", SpecialFolder(CSIDL_PROGRAM_FILES_COMMON).c_str()); }
std::string GetDesktopFolder() { return SpecialFolder(CSIDL_DESKTOP); }
std::string GetCommonProgramsFolder() { return SpecialFolder(CSIDL_COMMON_PROGRAMS); }

std::string CreateProgramGroup(const std::string& groupName)
{
    std::string path = Format("%s\\%s", SpecialFolder(CSIDL_COMMON_PROGRAMS).c_str(), groupName.c_str());
    if (!FaultInjected())
        CreateDirectoryA(path.c_str(), nullptr);
    return path;
}

void CreateGroupShortcut(const std::string& folder, const std::string& target, const std::string& linkName)
{
    SaveShortcut(folder + linkName, target);
}

void CreateDesktopShortcut(const std::string& target, const std::string& linkName)
{
    SaveShortcut(GetDesktopFolder() + linkName, target);
}

bool ReadShortcut(const std::string& linkFile, std::string& target, std::string& description)
{
    ComInit com;
    ComPtr<IShellLinkA> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_ALL, IID_IShellLinkA, link.Put())))
        return false;
    ComPtr<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, file.Put())) ||
        FAILED(file->Load(Widen(linkFile).c_str(), STGM_READ)))
        return false;
    char buffer[1024] = "";
    if (FAILED(link->GetPath(buffer, sizeof buffer, nullptr, SLGP_RAWPATH)))
        return false;
    target = buffer;
    buffer[0] = '\0';
    if (FAILED(link->GetDescription(buffer, sizeof buffer)))
        return false;
    description = buffer;
    return true;
}

void LaunchProgram(const std::string& programPath, const std::string* parameters)
{
    std::string folder, file;
    if (!SplitProgramPath(programPath, folder, file) || FaultInjected())
        return;

    SetCursor(LoadCursor(nullptr, IDC_WAIT));
    SHELLEXECUTEINFOA info;
    ZeroMemory(&info, sizeof info);
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpFile = file.c_str();
    info.lpParameters = parameters ? parameters->c_str() : nullptr;
    info.lpDirectory = folder.c_str();
    info.nShow = SW_SHOWNOACTIVATE;
    if (ShellExecuteExA(&info) && info.hProcess)
        CloseHandle(info.hProcess);  // never waited for
    SetCursor(LoadCursor(nullptr, IDC_ARROW));
}

namespace {
// The version functions, taken from the system folder's version.dll by its
// full path at run time. Imported by name, the DLL would be looked for in
// the program's own folder before the program runs a single line, and
// "version.dll" is a favourite name of DLLs left in Downloads folders.
class CVersionDll {
public:
    using SizeFn = DWORD(WINAPI*)(LPCSTR, LPDWORD);
    using InfoFn = BOOL(WINAPI*)(LPCSTR, DWORD, DWORD, LPVOID);
    using QueryFn = BOOL(WINAPI*)(LPCVOID, LPCSTR, LPVOID*, PUINT);

    CVersionDll()
    {
        wchar_t system[MAX_PATH];
        const UINT n = GetSystemDirectoryW(system, MAX_PATH);
        if (n == 0 || n >= MAX_PATH - 16)
            return;
        m_module = LoadLibraryW((std::wstring(system, n) + L"\\version.dll").c_str());
        if (m_module == nullptr)
            return;
        size = Resolve<SizeFn>("GetFileVersionInfoSizeA");
        info = Resolve<InfoFn>("GetFileVersionInfoA");
        query = Resolve<QueryFn>("VerQueryValueA");
    }
    ~CVersionDll()
    {
        if (m_module)
            FreeLibrary(m_module);
    }
    CVersionDll(const CVersionDll&) = delete;
    CVersionDll& operator=(const CVersionDll&) = delete;
    bool Usable() const { return size && info && query; }

    SizeFn size = nullptr;
    InfoFn info = nullptr;
    QueryFn query = nullptr;

private:
    template <typename Fn>
    Fn Resolve(const char* name) const
    {
        // Through void(*)() so the compiler accepts the cast of the address.
        return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(m_module, name)));
    }

    HMODULE m_module = nullptr;
};
}  // namespace

std::string GetFileVersionNumber(const std::string& path)
{
    CVersionDll dll;
    if (!dll.Usable())
        return "0000";
    DWORD handle = 0;
    DWORD size = FaultInjected() ? 0 : dll.size(path.c_str(), &handle);
    if (size == 0)
        return "0000";
    std::vector<char> data(size);
    VS_FIXEDFILEINFO* info = nullptr;
    UINT len = 0;
    if (!dll.info(path.c_str(), 0, size, data.data()) ||
        !dll.query(data.data(), "\\", reinterpret_cast<void**>(&info), &len) || info == nullptr ||
        len < sizeof(VS_FIXEDFILEINFO))
        return "0000";
    return Format("%i%i%i%i", static_cast<int>(HIWORD(info->dwFileVersionMS)),
                  static_cast<int>(LOWORD(info->dwFileVersionMS)), static_cast<int>(HIWORD(info->dwFileVersionLS)),
                  static_cast<int>(LOWORD(info->dwFileVersionLS)));
}

std::string MakeTempFileName(const std::string& prefix)
{
    char folder[MAX_PATH];
    char name[MAX_PATH];
    DWORD n = GetTempPathA(MAX_PATH, folder);
    if (FaultInjected() || n == 0 || n >= MAX_PATH || GetTempFileNameA(folder, prefix.c_str(), 0, name) == 0)
        return std::string();
    return name;
}
