// Worker of the self-extraction: copies the shipped installer into the
// temporary folder as "setup.exe", extracts every appended item next to it
// and turns the copy into the working copy, posting WM_SPLIT_PROGRESS.
#pragma once

#include "installer/core/worker_task.h"

#include <string>

class CSplitTask : public CWorkerTask {
public:
    std::string m_strSourceInstaller;
    std::string m_strTargetFolder;  // with trailing backslash
};

CWinThread* StartSplitThread(CSplitTask& task);
// Removes every file and folder of the folder (trailing backslash) except the
// one named keep (compared without regard to ASCII case). False when
// anything else is left, read-only files among them.
bool ClearStaleItems(const std::string& folder, const std::string& keep);
// param is a CSplitTask*. 1 after success, 0 after a failure. Errors carry
// the codes of GetCompressErrorText.
unsigned SplitThreadProc(void* param);
