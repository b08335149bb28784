// StarView.exe, the demo product's main program: a window that tells where
// it was installed and whether its runtime library was found beside it.
#include <windows.h>

#include <string>

namespace {
const char kClassName[] = "StarViewDemo";

std::string OwnFolder()
{
    char path[MAX_PATH] = "";
    const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, n < MAX_PATH ? n : 0);
    const size_t slash = folder.find_last_of('\\');
    return slash == std::string::npos ? std::string() : folder.substr(0, slash + 1);
}

// The runtime library of the system-library package, loaded by full path
// from the program's own folder (never through the search path).
std::string RuntimeText()
{
    const std::string path = OwnFolder() + "starrt.dll";
    HMODULE runtime = LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (runtime == nullptr)
        return "运行库：未找到 starrt.dll";
    using Version = const char*(WINAPI*)();
    const auto version = reinterpret_cast<Version>(reinterpret_cast<void*>(GetProcAddress(runtime, "StarRuntimeVersion")));
    std::string text = std::string("运行库：") + (version ? version() : "版本未知");
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
        const std::string lines[] = {"星图演示 1.0.0", "安装位置：" + OwnFolder(), RuntimeText(),
                                     "这是 Tessaramond 安装平台的示例产品。"};
        int y = 20;
        for (const std::string& line : lines) {
            TextOutA(dc, 20, y, line.c_str(), static_cast<int>(line.size()));
            y += 28;
        }
        EndPaint(window, &paint);
        return 0;
    }
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}
}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand)
{
    WNDCLASSA wc{};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kClassName;
    if (!RegisterClassA(&wc))
        return 1;
    HWND window = CreateWindowExA(0, kClassName, "星图演示", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 520, 200,
                                  nullptr, nullptr, instance, nullptr);
    if (window == nullptr)
        return 1;
    ShowWindow(window, showCommand);
    UpdateWindow(window);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}
