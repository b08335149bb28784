// A DLL that stands for one left in a Downloads folder under a system DLL's
// name: when any process loads it, it writes "<its file name>.loaded" beside
// itself, holding the path of the program that loaded it.
#include <windows.h>

#include <string>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason != DLL_PROCESS_ATTACH)
        return TRUE;
    char self[MAX_PATH] = "";
    char program[MAX_PATH] = "";
    if (GetModuleFileNameA(instance, self, MAX_PATH) == 0)
        return TRUE;
    GetModuleFileNameA(nullptr, program, MAX_PATH);
    const std::string marker = std::string(self) + ".loaded";
    HANDLE file = CreateFileA(marker.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        const std::string line = std::string(program) + "\r\n";
        DWORD written = 0;
        WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
        CloseHandle(file);
    }
    return TRUE;
}
