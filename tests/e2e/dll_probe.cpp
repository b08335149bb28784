// Loads a DLL by its bare name, as the shell and the common controls do at run
// time, either as every program does by default ("open") or after the
// restriction the three programs make first thing ("restrict"). Exit code 0
// when the DLL was loaded, 1 when not, 2 on a wrong command line.
#include "framework/ui/dll_search.h"

#include <windows.h>

#include <cstring>
#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int)
{
    const std::string arguments = commandLine ? commandLine : "";
    const size_t blank = arguments.find(' ');
    if (blank == std::string::npos)
        return 2;
    const std::string mode = arguments.substr(0, blank);
    const std::string name = arguments.substr(blank + 1);
    if (mode == "restrict")
        RestrictDllSearch();
    else if (mode != "open")
        return 2;
    return LoadLibraryA(name.c_str()) != nullptr ? 0 : 1;
}
