#include "framework/ui/app.h"

#include "framework/file.h"
#include "framework/ui/dll_search.h"
#include "framework/win32/wide.h"

#include <windows.h>
#include <commctrl.h>

namespace {
// The arguments after the program name, read from the UTF-16 command line:
// the ANSI one would hold the GBK the programs pass each other only where
// the system's code page is 936. A command line GBK cannot hold is none the
// programs wrote: each character GBK lacks reads as "?", which no file name
// holds, so a switch such as /S keeps its meaning and a folder named with
// such a character is refused as unusable.
std::string CommandLineArguments()
{
    const wchar_t* at = GetCommandLineW();
    if (at == nullptr)
        return std::string();
    if (*at == L'"') {
        ++at;
        while (*at != L'\0' && *at != L'"')
            ++at;
        if (*at == L'"')
            ++at;
    } else {
        while (*at != L'\0' && *at != L' ' && *at != L'\t')
            ++at;
    }
    while (*at == L' ' || *at == L'\t')
        ++at;
    if (std::optional<std::string> gbk = NarrowToGbk(at))
        return *gbk;
    const int n = WideCharToMultiByte(kGbkCodePage, WC_NO_BEST_FIT_CHARS, at, -1, nullptr, 0, "?", nullptr);
    if (n <= 1)
        return "?";
    std::string lossy(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(kGbkCodePage, WC_NO_BEST_FIT_CHARS, at, -1, lossy.data(), n, "?", nullptr);
    lossy.resize(static_cast<size_t>(n - 1));
    return lossy;
}
}  // namespace

int CWinApp::Run()
{
    // Before the common controls or anything else load a DLL by name.
    RestrictDllSearch();
    m_lpCmdLine = CommandLineArguments();
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
    return MessageBoxW(nullptr, Widen(text).c_str(), Widen(caption).c_str(), type | MB_TASKMODAL);
}
