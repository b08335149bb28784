// The uninstall launcher: shows a small splash for a moment, reads the
// identifier of its installation's uninstall record from the last four bytes
// of its own file, and starts the shared uninstaller with the record's file
// name. Plain Win32 on purpose: it is copied into every install folder and
// links nothing of the installer or the uninstaller. It never reports an
// error and ends with exit code 0. Started with /S it shows nothing, passes
// /S on, waits for the uninstaller and ends with the uninstaller's exit code.
#include "common/exit_codes.h"
#include "framework/endian.h"
#include "framework/ui/dll_search.h"
#include "framework/win32/handle.h"
#include "framework/win32/wide.h"

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstdint>
#include <cwchar>
#include <string>

namespace {
constexpr int kIconResource = 102;
constexpr int kSplashResource = 107;
constexpr int kSplashWidth = 250;
constexpr int kSplashHeight = 60;
constexpr DWORD kSplashMs = 100;
const wchar_t kClassName[] = L"unInstall";

void PaintSplash(HWND window)
{
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    unique_gdi<HBITMAP> bitmap(static_cast<HBITMAP>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kSplashResource),
                                                        IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
    if (dc && bitmap) {
        unique_memory_dc memory(CreateCompatibleDC(dc));
        if (memory) {
            CSelectObject selected(memory.get(), bitmap.get());
            BitBlt(dc, 0, 0, kSplashWidth, kSplashHeight, memory.get(), 0, 0, SRCCOPY);
        }
    }
    EndPaint(window, &paint);
}

LRESULT CALLBACK SplashProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT:
        PaintSplash(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

HWND CreateSplash(HINSTANCE instance)
{
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = SplashProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(kIconResource));
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = kClassName;
    RegisterClassExW(&wc);
    const int x = (GetSystemMetrics(SM_CXSCREEN) - kSplashWidth) / 2;
    const int y = (GetSystemMetrics(SM_CYSCREEN) - kSplashHeight) / 2;
    return CreateWindowExW(0, kClassName, Widen("Tessaramond 卸载").c_str(), WS_POPUP, x, y, kSplashWidth, kSplashHeight, nullptr,
                           nullptr, instance, nullptr);
}

// Handles the splash's messages for a moment without blocking on an empty
// queue. False when the quit message came first.
bool ShowForAMoment()
{
    const DWORD start = GetTickCount();
    for (;;) {
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= kSplashMs)
            return true;
        MSG msg;
        if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT)
                return false;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        } else {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, kSplashMs - elapsed, QS_ALLINPUT);
        }
    }
}

// Full path of this program, however long.
// Kept in UTF-16: the launcher only opens its own file with it.
std::wstring OwnPath()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0)
            return std::wstring();
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        if (path.size() >= 32768)
            return std::wstring();
        path.resize(path.size() * 2);
    }
}

// The record identifier stamped as the file's last four bytes (little-endian).
bool ReadStamp(const std::wstring& path, uint32_t& id)
{
    const unique_file file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    LARGE_INTEGER size;
    LARGE_INTEGER back;
    back.QuadPart = -4;
    unsigned char bytes[4];
    DWORD read = 0;
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart < 4 ||
        !SetFilePointerEx(file.get(), back, nullptr, FILE_END) ||
        !ReadFile(file.get(), bytes, sizeof bytes, &read, nullptr) || read != sizeof bytes)
        return false;
    id = LoadLe32(bytes);
    return true;
}

std::wstring CommonFilesFolder()
{
    ITEMIDLIST* raw = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(nullptr, CSIDL_PROGRAM_FILES_COMMON, &raw)) || raw == nullptr)
        return std::wstring();
    const unique_com_memory<ITEMIDLIST*> list(raw);
    std::wstring path(32768, L'\0');
    if (!SHGetPathFromIDListEx(list.get(), path.data(), static_cast<DWORD>(path.size()), GPFIDL_DEFAULT))
        return std::wstring();
    path.resize(path.find(L'\0'));
    return path;
}

// Starts the uninstaller; silent: with /S, waited for, its exit code
// returned. Otherwise never waited for, and 0.
int StartUninstaller(const std::wstring& folder, uint32_t id, bool silent)
{
    wchar_t parameters[24];
    std::swprintf(parameters, sizeof parameters / sizeof parameters[0], silent ? L"/S %lu.tmd" : L"%lu.tmd",
                  static_cast<unsigned long>(id));
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    // No error box of the shell's own: a missing uninstaller is not reported,
    // and the launcher must not stay behind waiting for a click.
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    // Named with its folder: a bare name that is not found there would be
    // looked for beside the launcher and along the search path, where it
    // could be anybody's program.
    const std::wstring program = folder + L"\\untessaramond.exe";
    info.lpFile = program.c_str();
    info.lpParameters = parameters;
    info.lpDirectory = folder.c_str();
    info.nShow = SW_SHOWNOACTIVATE;
    const unique_kernel_handle process(ShellExecuteExW(&info) ? info.hProcess : nullptr);
    if (!silent)
        return 0;
    DWORD code = kExitFailed;
    if (!process || WaitForSingleObject(process.get(), INFINITE) != WAIT_OBJECT_0 ||
        !GetExitCodeProcess(process.get(), &code))
        return kExitFailed;
    return static_cast<int>(code);
}

// "/S", in any case, with blanks around it.
bool IsSilent(const char* commandLine)
{
    std::string text = commandLine ? commandLine : "";
    const size_t start = text.find_first_not_of(" \t");
    const size_t end = text.find_last_not_of(" \t");
    if (start == std::string::npos)
        return false;
    text = text.substr(start, end - start + 1);
    return text == "/S" || text == "/s";
}

// The silent removal: no splash, and every failure is told by the exit code.
int RemoveSilently()
{
    uint32_t id = 0;
    const std::wstring path = OwnPath();
    if (path.empty() || !ReadStamp(path, id))
        return kExitDamaged;
    const std::wstring common = CommonFilesFolder();
    if (common.empty())
        return kExitFailed;
    return StartUninstaller(common + L"\\Tessaramond", id, true);
}
}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int showCommand)
{
    // The launcher lies in the install folder, where the shell's DLLs must
    // not be taken from either.
    RestrictDllSearch();
    if (IsSilent(commandLine))
        return RemoveSilently();
    HWND splash = CreateSplash(instance);
    if (splash == nullptr)
        return 0;
    ShowWindow(splash, showCommand);
    UpdateWindow(splash);
    if (!ShowForAMoment())
        return 0;

    uint32_t id = 0;
    const std::wstring path = OwnPath();
    if (path.empty() || !ReadStamp(path, id))
        return 0;
    const std::wstring common = CommonFilesFolder();
    if (common.empty())
        return 0;
    StartUninstaller(common + L"\\Tessaramond", id, false);
    return 0;
}
