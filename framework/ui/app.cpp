#include "framework/ui/app.h"

#include "framework/file.h"
#include "framework/ui/dll_search.h"

#include <windows.h>
#include <commctrl.h>

int CWinApp::Run(const char* commandLine)
{
    // Before the common controls or anything else load a DLL by name.
    RestrictDllSearch();
    m_lpCmdLine = commandLine ? commandLine : "";
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS | ICC_TAB_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    InitInstance();
    return m_nExitCode;
}

int AfxMessageBox(const std::string& text, unsigned type)
{
    // Captioned like every message of the program: its file name without extension.
    std::string caption = GetModulePath();
    caption = caption.substr(caption.find_last_of('\\') + 1);
    caption = caption.substr(0, caption.find_last_of('.'));
    if ((type & MB_ICONMASK) == 0 && (type & MB_TYPEMASK) <= MB_OKCANCEL)
        type |= MB_ICONEXCLAMATION;
    return MessageBoxA(nullptr, text.c_str(), caption.c_str(), type | MB_TASKMODAL);
}
