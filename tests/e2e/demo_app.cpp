// Stands in for an installed product's main program: when started it leaves
// "demo_app.started" next to itself, so a test can see that it ran.
#include <windows.h>

#include <string>

int main()
{
    char path[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return 1;
    std::string marker(path, n);
    marker = marker.substr(0, marker.find_last_of('\\') + 1) + "demo_app.started";
    HANDLE file = CreateFileA(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    CloseHandle(file);
    return 0;
}
