// Worker of the self-extraction: copies the shipped installer into the
// temporary folder as "setup.exe", extracts every appended item next to it
// and turns the copy into the working copy, posting WM_SPLIT_PROGRESS.
#pragma once

#include "installer/core/worker_task.h"

#include <string>

#include <vector>

class CSplitTask : public CWorkerTask {
public:
    std::string m_strSourceInstaller;
    std::string m_strTargetFolder;  // with trailing backslash
    // With the error kCompressLeftover: the name of what is in the way.
    std::string m_strLeftover;
    // The error lies in the installer file itself (empty, or its item
    // directory does not fit it), not in the machine it runs on.
    bool m_bDamaged = false;
};

CWinThread* StartSplitThread(CSplitTask& task);
// Removes every file and folder of the folder (trailing backslash) except the
// one named keep (names compare without regard to ASCII case), read-only ones
// too. Returns the name of the first leftover that stayed although this
// package would read or write it (itemNames: the items it extracts); "" when
// nothing stayed or only harmless leftovers did.
std::string ClearStaleItems(const std::string& folder, const std::string& keep,
                            const std::vector<std::string>& itemNames);
// True when a leftover of this name, beside a working copy that extracts
// itemNames, is never read: no item, no file the installer's runs open in
// their folder, nothing the loader takes from a program's folder.
bool IsHarmlessLeftover(const std::string& name, const std::vector<std::string>& itemNames);
// param is a CSplitTask*. 1 after success, 0 after a failure. Errors carry
// the codes of GetCompressErrorText.
unsigned SplitThreadProc(void* param);
