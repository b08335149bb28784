// StarView.exe, the demo product's main program: a window that tells where
// it was installed and whether its runtime library was found beside it.
#include "framework/win32/wide.h"

#include <windows.h>

#include <string>

namespace {
const wchar_t kClassName[] = L"StarViewDemo";

std::wstring OwnFolder()
{
    wchar_t path[32768] = L"";
    const DWORD n = GetModuleFileNameW(nullptr, path, 32768);
    std::wstring folder(path, n < 32768 ? n : 0);
    const size_t slash = folder.find_last_of(L'\\');
    return slash == std::wstring::npos ? std::wstring() : folder.substr(0, slash + 1);
}

// The runtime library of the system-library package, loaded by full path
// from the program's own folder (never through the search path).
std::wstring RuntimeText()
{
    const std::wstring path = OwnFolder() + L"starrt.dll";
    HMODULE runtime = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (runtime == nullptr)
        return Widen("运行库：未找到 starrt.dll");
    using Version = const char*(WINAPI*)();
    const auto version = reinterpret_cast<Version>(reinterpret_cast<void*>(GetProcAddress(runtime, "StarRuntimeVersion")));
    std::wstring text = Widen(std::string("运行库：") + (version ? version() : "版本未知"));
    FreeLibrary(runtime);
    return text;
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        SetBkMode(dc, TRANSPARENT);
        // A face that has the Chinese characters: the system font of a
        // Western Windows has none.
        HFONT font = CreateFontW(-14, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                 CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"宋体");
        HGDIOBJ old = SelectObject(dc, font);
        const std::wstring lines[] = {Widen("星图演示 1.0.0"), Widen("安装位置：") + OwnFolder(), RuntimeText(),
                                      Widen("这是 Tessaramond 安装平台的示例产品。")};
        int y = 20;
        for (const std::wstring& line : lines) {
            TextOutW(dc, 20, y, line.c_str(), static_cast<int>(line.size()));
            y += 28;
        }
        SelectObject(dc, old);
        DeleteObject(font);
        EndPaint(window, &paint);
        return 0;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}
}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand)
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kClassName;
    if (!RegisterClassW(&wc))
        return 1;
    HWND window = CreateWindowExW(0, kClassName, Widen("星图演示").c_str(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 520, 200,
                                  nullptr, nullptr, instance, nullptr);
    if (window == nullptr)
        return 1;
    ShowWindow(window, showCommand);
    UpdateWindow(window);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}
