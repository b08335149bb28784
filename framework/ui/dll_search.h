// Where the programs take the DLLs they load at run time from. A shipped
// installer is mostly started from a Downloads folder, where anyone may have
// left a DLL named like a system one; the shell, the common controls and the
// text services load such DLLs by name long after start-up. Header only, so
// that the launcher, which links nothing of the framework, shares it.
#pragma once

#include <windows.h>

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif

// Call first in WinMain: from then on a DLL named without a path comes from
// the system folder only, never from the program's folder or the current
// folder. Systems without SetDefaultDllDirectories (Windows 7 without its
// loader update, and older) still lose the current folder from the search.
// True when the search is limited to the system folder.
inline bool RestrictDllSearch()
{
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    bool restricted = false;
    if (HMODULE kernel = GetModuleHandleW(L"kernel32.dll")) {
        // Through void(*)() so the compiler accepts the cast of the address.
        auto address = reinterpret_cast<void (*)()>(GetProcAddress(kernel, "SetDefaultDllDirectories"));
        if (address)
            restricted = reinterpret_cast<SetDefaultDllDirectoriesFn>(address)(LOAD_LIBRARY_SEARCH_SYSTEM32) != FALSE;
    }
    SetDllDirectoryW(L"");
    return restricted;
}
