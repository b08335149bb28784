// Running a program to its end, for the silent runs that report what the
// program they started reported.
#include "common/shell.h"

#include "framework/fault.h"
#include "framework/win32/handle.h"
#include "framework/win32/wide.h"

#include <windows.h>
#include <shellapi.h>

Status RunProgramAndWait(const std::string& programPath, const std::string& parameters, uint32_t& exitCode)
{
    std::string folder, file;
    if (!SplitProgramPath(programPath, folder, file))
        return Status(StatusCode::NotFound, "ShellExecuteEx", programPath);
    if (FaultRefuses(SysCall::LaunchProgram))
        return Status::LastOsError("ShellExecuteEx", programPath);
    const std::wstring wideFile = Widen(programPath);
    const std::wstring wideParameters = Widen(parameters);
    const std::wstring wideFolder = Widen(folder);
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    // No error box of the shell's own: a silent run has nobody to click it.
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
    info.lpFile = wideFile.c_str();
    info.lpParameters = wideParameters.c_str();
    info.lpDirectory = wideFolder.c_str();
    info.nShow = SW_SHOWNOACTIVATE;
    if (!ShellExecuteExW(&info))
        return Status::LastOsError("ShellExecuteEx", programPath);
    const unique_kernel_handle process(info.hProcess);
    if (!process)
        return Status(StatusCode::Failed, "ShellExecuteEx", programPath);
    DWORD code = 0;
    if (WaitForSingleObject(process.get(), INFINITE) != WAIT_OBJECT_0 || !GetExitCodeProcess(process.get(), &code))
        return Status::LastOsError("WaitForSingleObject", programPath);
    exitCode = code;
    return Status();
}
