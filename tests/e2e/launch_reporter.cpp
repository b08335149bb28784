// Stands in for a program that another one starts: writes the arguments it
// was given and its working folder, one per line, to launch-report.txt beside
// itself, and ends.
#include <windows.h>

#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR arguments, int)
{
    char own[MAX_PATH * 4];
    char current[MAX_PATH * 4];
    const DWORD n = GetModuleFileNameA(nullptr, own, sizeof own);
    if (n == 0 || n >= sizeof own || GetCurrentDirectoryA(sizeof current, current) == 0)
        return 1;
    std::string report = own;
    report = report.substr(0, report.find_last_of('\\') + 1) + "launch-report.txt";
    const std::string text = std::string(arguments) + "\n" + current + "\n";
    HANDLE file = CreateFileA(report.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return 1;
    DWORD written = 0;
    const BOOL ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
    return ok ? 0 : 1;
}
