// Worker that installs the files of a packed archive below the install
// folder of the global CSetupInfo, posting WM_ARCHIVE_PROGRESS and listing
// every completely written file in m_arrInstalledFiles.
#pragma once

#include "installer/core/worker_task.h"

#include <cstdint>
#include <string>

// Error codes posted with kProgressError; texts from GetPackErrorText.
enum PackError : intptr_t {
    kPackOpenArchive = 0,
    kPackBadLength = 1,
    kPackCreateFile = 2,
    // Failures of the packing side; no worker posts them, their texts stay.
    kPackOpenSource = 3,
    kPackEmptySource = 4,
    kPackCreateTarget = 5,
    kPackDamaged = 6,     // an entry cut short, a header over 256 bytes or not well formed
    kPackUnsafePath = 7,  // an entry that would be written outside the install folder
    kPackWriteFile = 8,   // a file's bytes could not be written
};

class CArchiveTask : public CWorkerTask {
public:
    std::string m_strArchive;
    uint32_t m_nExpectedLength = 0;
};

CWinThread* StartArchiveThread(CArchiveTask& task);
// param is a CArchiveTask*. 1 after success, 0 after a failure or a cancel.
unsigned ArchiveThreadProc(void* param);
std::string GetPackErrorText(intptr_t code);
