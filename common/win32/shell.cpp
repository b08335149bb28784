// The shell functions on Windows: special folders and shortcuts through the
// shell, program start through ShellExecuteExW, versions from the resource.
// Every path goes to Windows widened from GBK and comes back narrowed to it.
#include "common/shell.h"

#include "common/path_rules.h"
#include "common/win32/com_ptr.h"
#include "framework/fault.h"
#include "framework/file.h"
#include "framework/strings.h"
#include "framework/win32/handle.h"
#include "framework/win32/wide.h"

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <knownfolders.h>

#include <vector>

namespace {
constexpr DWORD kLongestPath = 32768;

// A path from a buffer Windows filled, or nothing when GBK cannot hold it.
std::string PathFrom(const wchar_t* filled)
{
    return filled[0] == L'\0' ? std::string() : NarrowPathToGbk(filled).value_or(std::string());
}

std::string SpecialFolder(int csidl)
{
    ITEMIDLIST* raw = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(nullptr, csidl, &raw)))
        return std::string();
    const unique_com_memory<ITEMIDLIST*> list(raw);
    std::vector<wchar_t> path(kLongestPath, L'\0');
    if (!SHGetPathFromIDListEx(list.get(), path.data(), kLongestPath, GPFIDL_DEFAULT))
        return std::string();
    return PathFrom(path.data());
}

// A failed COM call reports its HRESULT as the error code.
Status ComFailure(HRESULT result, const char* operation, const std::string& path)
{
    return Status::FromOsError(static_cast<uint32_t>(result), operation, path);
}

Status SaveShortcut(const std::string& linkFile, const std::string& target)
{
    if (FaultRefuses(SysCall::SaveShortcut))
        return Status::LastOsError("IPersistFile::Save", linkFile);
    ComInit com;
    ComPtr<IShellLinkW> link;
    if (HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_ALL, IID_IShellLinkW, link.Put()); FAILED(hr))
        return ComFailure(hr, "CoCreateInstance(ShellLink)", linkFile);
    link->SetPath(Widen(target).c_str());
    link->SetDescription(Widen(kShortcutDescription).c_str());
    ComPtr<IPersistFile> file;
    if (HRESULT hr = link->QueryInterface(IID_IPersistFile, file.Put()); FAILED(hr))
        return ComFailure(hr, "QueryInterface(IPersistFile)", linkFile);
    if (HRESULT hr = file->Save(Widen(linkFile).c_str(), TRUE); FAILED(hr))
        return ComFailure(hr, "IPersistFile::Save", linkFile);
    return Status();
}
}  // namespace

std::string GetProgramFilesFolder() { return Format("%s\\", SpecialFolder(CSIDL_PROGRAM_FILES).c_str()); }
std::string GetCommonFilesFolder() { return Format("%s\\", SpecialFolder(CSIDL_PROGRAM_FILES_COMMON).c_str()); }
std::string GetDesktopFolder() { return SpecialFolder(CSIDL_DESKTOP); }
std::string GetCommonProgramsFolder() { return SpecialFolder(CSIDL_COMMON_PROGRAMS); }

std::string CreateProgramGroup(const std::string& groupName)
{
    std::string path = Format("%s\\%s", SpecialFolder(CSIDL_COMMON_PROGRAMS).c_str(), groupName.c_str());
    if (!FaultRefuses(SysCall::CreateProgramGroup))
        CreateDirectoryW(Widen(path).c_str(), nullptr);
    return path;
}

Status CreateGroupShortcut(const std::string& folder, const std::string& target, const std::string& linkName)
{
    return SaveShortcut(folder + linkName, target);
}

Status CreateDesktopShortcut(const std::string& target, const std::string& linkName)
{
    return SaveShortcut(GetDesktopFolder() + linkName, target);
}

bool ReadShortcut(const std::string& linkFile, std::string& target, std::string& description)
{
    ComInit com;
    ComPtr<IShellLinkW> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_ALL, IID_IShellLinkW, link.Put())))
        return false;
    ComPtr<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, file.Put())) ||
        FAILED(file->Load(Widen(linkFile).c_str(), STGM_READ)))
        return false;
    // The target from the shortcut's item list, which names it in UTF-16
    // wherever the shortcut was made; the location text beside it may be
    // kept in the code page of the system that saved it (Wine keeps it so).
    std::vector<wchar_t> buffer(kLongestPath, L'\0');
    ITEMIDLIST* raw = nullptr;
    const bool listed = SUCCEEDED(link->GetIDList(&raw)) && raw != nullptr;
    const unique_com_memory<ITEMIDLIST*> list(raw);
    if (!(listed && SHGetPathFromIDListEx(list.get(), buffer.data(), kLongestPath, GPFIDL_DEFAULT)) &&
        FAILED(link->GetPath(buffer.data(), static_cast<int>(buffer.size()), nullptr, SLGP_RAWPATH)))
        return false;
    auto path = NarrowToGbk(buffer.data());
    buffer[0] = L'\0';
    if (!path || FAILED(link->GetDescription(buffer.data(), static_cast<int>(buffer.size()))))
        return false;
    auto text = NarrowToGbk(buffer.data());
    if (!text)
        return false;
    target = std::move(*path);
    description = std::move(*text);
    return true;
}

Status LaunchProgram(const std::string& programPath, const std::string* parameters)
{
    std::string folder, file;
    if (!SplitProgramPath(programPath, folder, file))
        return Status(StatusCode::NotFound, "ShellExecuteEx", programPath);
    if (FaultRefuses(SysCall::LaunchProgram))
        return Status::LastOsError("ShellExecuteEx", programPath);

    SetCursor(LoadCursor(nullptr, IDC_WAIT));
    const std::wstring wideFile = Widen(file);
    const std::wstring wideFolder = Widen(folder);
    const std::wstring wideParameters = parameters ? Widen(*parameters) : std::wstring();
    SHELLEXECUTEINFOW info;
    ZeroMemory(&info, sizeof info);
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpFile = wideFile.c_str();
    info.lpParameters = parameters ? wideParameters.c_str() : nullptr;
    info.lpDirectory = wideFolder.c_str();
    info.nShow = SW_SHOWNOACTIVATE;
    Status started;
    {
        const bool ok = ShellExecuteExW(&info) != FALSE;
        if (!ok)
            started = Status::LastOsError("ShellExecuteEx", programPath);
        // The started program is never waited for.
        const unique_kernel_handle process(ok ? info.hProcess : nullptr);
    }
    SetCursor(LoadCursor(nullptr, IDC_ARROW));
    return started;
}

namespace {
// The version functions, taken from the system folder's version.dll by its
// full path at run time. Imported by name, the DLL would be looked for in
// the program's own folder before the program runs a single line, and
// "version.dll" is a favourite name of DLLs left in Downloads folders.
class CVersionDll {
public:
    using SizeFn = DWORD(WINAPI*)(LPCWSTR, LPDWORD);
    using InfoFn = BOOL(WINAPI*)(LPCWSTR, DWORD, DWORD, LPVOID);
    using QueryFn = BOOL(WINAPI*)(LPCVOID, LPCWSTR, LPVOID*, PUINT);

    CVersionDll()
    {
        wchar_t system[MAX_PATH];
        const UINT n = GetSystemDirectoryW(system, MAX_PATH);
        if (n == 0 || n >= MAX_PATH - 16)
            return;
        m_module.reset(LoadLibraryW((std::wstring(system, n) + L"\\version.dll").c_str()));
        if (!m_module)
            return;
        size = Resolve<SizeFn>("GetFileVersionInfoSizeW");
        info = Resolve<InfoFn>("GetFileVersionInfoW");
        query = Resolve<QueryFn>("VerQueryValueW");
    }
    bool Usable() const { return size && info && query; }

    SizeFn size = nullptr;
    InfoFn info = nullptr;
    QueryFn query = nullptr;

private:
    template <typename Fn>
    Fn Resolve(const char* name) const
    {
        // Through void(*)() so the compiler accepts the cast of the address.
        return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(m_module.get(), name)));
    }

    unique_module m_module;
};
}  // namespace

std::string GetFileVersionNumber(const std::string& path)
{
    CVersionDll dll;
    if (!dll.Usable())
        return "0000";
    const std::wstring file = Widen(path);
    DWORD handle = 0;
    DWORD size = FaultRefuses(SysCall::GetFileVersionNumber) ? 0 : dll.size(file.c_str(), &handle);
    if (size == 0)
        return "0000";
    std::vector<char> data(size);
    VS_FIXEDFILEINFO* info = nullptr;
    UINT len = 0;
    if (!dll.info(file.c_str(), 0, size, data.data()) ||
        !dll.query(data.data(), L"\\", reinterpret_cast<void**>(&info), &len) || info == nullptr ||
        len < sizeof(VS_FIXEDFILEINFO))
        return "0000";
    return Format("%i%i%i%i", static_cast<int>(HIWORD(info->dwFileVersionMS)),
                  static_cast<int>(LOWORD(info->dwFileVersionMS)), static_cast<int>(HIWORD(info->dwFileVersionLS)),
                  static_cast<int>(LOWORD(info->dwFileVersionLS)));
}

std::string MakeTempFileName(const std::string& prefix)
{
    // GetTempFileName writes at most MAX_PATH characters and takes a folder
    // that leaves room for its name, so MAX_PATH is its bound, not ours.
    wchar_t folder[MAX_PATH];
    wchar_t name[MAX_PATH];
    DWORD n = GetTempPathW(MAX_PATH, folder);
    if (FaultRefuses(SysCall::MakeTempFileName) || n == 0 || n >= MAX_PATH ||
        GetTempFileNameW(folder, Widen(prefix).c_str(), 0, name) == 0)
        return std::string();
    return PathFrom(name);
}

bool CanonicalFolder(const std::string& folder, std::string& canonical, bool& viaLink)
{
    viaLink = false;
    std::vector<wchar_t> full(kLongestPath), longer(kLongestPath), final(kLongestPath);
    DWORD n = GetFullPathNameW(Widen(folder).c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (n == 0 || n >= full.size())
        return false;
    n = GetLongPathNameW(full.data(), longer.data(), static_cast<DWORD>(longer.size()));
    if (n == 0 || n >= longer.size())
        return false;
    const DWORD attributes = GetFileAttributesW(longer.data());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
        return false;
    // The handle names the folder the path ends in, wherever the links on
    // the way lead.
    {
        const unique_file handle(CreateFileW(longer.data(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                             nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        if (!handle)
            return false;
        n = GetFinalPathNameByHandleW(handle.get(), final.data(), static_cast<DWORD>(final.size()),
                                      FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    }
    if (n == 0 || n >= final.size())
        return false;
    // Compared and kept as GBK: a folder GBK cannot name is no answer.
    auto named = NarrowToGbk(std::wstring_view(final.data(), n));
    auto reached = NarrowToGbk(longer.data());
    if (!named || !reached)
        return false;
    std::string path = std::move(*named);
    if (path.compare(0, 8, "\\\\?\\UNC\\") == 0)
        path.replace(0, 8, "\\\\");
    else if (path.compare(0, 4, "\\\\?\\") == 0)
        path.erase(0, 4);
    if (MbReverseFind(path, '\\') + 1 != path.size())
        path += '\\';
    std::string through = std::move(*reached);
    if (MbReverseFind(through, '\\') + 1 != through.size())
        through += '\\';
    viaLink = FoldPath(path) != FoldPath(through) || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    canonical = path;
    return true;
}

namespace {
std::string FolderOf(int csidl)
{
    // SHGetFolderPath fills exactly MAX_PATH characters at most.
    wchar_t path[MAX_PATH] = L"";
    if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path)))
        return std::string();
    return PathFrom(path);
}

std::string KnownFolder(REFKNOWNFOLDERID id)
{
    wchar_t* raw = nullptr;
    std::string path;
    // Freed whether or not the call succeeded: it may hand out memory either way.
    const HRESULT result = SHGetKnownFolderPath(id, 0, nullptr, &raw);
    const unique_com_memory<wchar_t*> owned(raw);
    if (SUCCEEDED(result) && raw != nullptr)
        path = PathFrom(raw);
    return path;
}

std::string Variable(const wchar_t* name)
{
    const DWORD needed = GetEnvironmentVariableW(name, nullptr, 0);
    if (needed == 0 || needed > kLongestPath)
        return std::string();
    std::vector<wchar_t> value(needed, L'\0');
    const DWORD n = GetEnvironmentVariableW(name, value.data(), needed);
    return n == 0 || n >= needed ? std::string() : PathFrom(value.data());
}
}  // namespace

std::vector<std::string> GetShellFolders()
{
    static const int kFolders[] = {
        CSIDL_PROGRAM_FILES, CSIDL_PROGRAM_FILESX86, CSIDL_PROGRAM_FILES_COMMON, CSIDL_PROGRAM_FILES_COMMONX86,
        CSIDL_WINDOWS, CSIDL_SYSTEM, CSIDL_SYSTEMX86, CSIDL_FONTS, CSIDL_PROFILE, CSIDL_PERSONAL, CSIDL_MYMUSIC,
        CSIDL_MYPICTURES, CSIDL_MYVIDEO, CSIDL_FAVORITES, CSIDL_DESKTOPDIRECTORY, CSIDL_COMMON_DESKTOPDIRECTORY,
        CSIDL_STARTMENU, CSIDL_COMMON_STARTMENU, CSIDL_PROGRAMS, CSIDL_COMMON_PROGRAMS, CSIDL_STARTUP,
        CSIDL_COMMON_STARTUP, CSIDL_APPDATA, CSIDL_LOCAL_APPDATA, CSIDL_COMMON_APPDATA, CSIDL_COMMON_DOCUMENTS,
        CSIDL_COMMON_MUSIC, CSIDL_COMMON_PICTURES, CSIDL_COMMON_VIDEO, CSIDL_TEMPLATES, CSIDL_COMMON_TEMPLATES,
        CSIDL_SENDTO, CSIDL_RECENT, CSIDL_ADMINTOOLS, CSIDL_COMMON_ADMINTOOLS};
    std::vector<std::string> found;
    for (int csidl : kFolders)
        found.push_back(FolderOf(csidl));
    for (REFKNOWNFOLDERID id : {FOLDERID_Downloads, FOLDERID_SavedGames, FOLDERID_Links, FOLDERID_Public,
                                FOLDERID_UserProfiles})
        found.push_back(KnownFolder(id));
    // A 32-bit program on 64-bit Windows sees "Program Files (x86)" under
    // both names; the 64-bit view is named only by these variables.
    for (const wchar_t* name : {L"ProgramW6432", L"CommonProgramW6432", L"ProgramFiles", L"CommonProgramFiles"})
        found.push_back(Variable(name));
    found.push_back(GetTempFolder());
    found.push_back(FolderOf(CSIDL_WINDOWS) + "\\Temp");

    std::vector<std::string> folders;
    for (std::string& path : found) {
        if (path.empty())
            continue;
        if (MbReverseFind(path, '\\') + 1 != path.size())
            path += '\\';
        folders.push_back(path);
        std::string canonical;
        bool viaLink = false;
        if (CanonicalFolder(path, canonical, viaLink) && FoldPath(canonical) != FoldPath(path))
            folders.push_back(canonical);
    }
    return folders;
}
