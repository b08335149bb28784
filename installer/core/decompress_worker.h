// Worker that decodes a block-compressed file ("data.rar", "dll.rar") into
// the packed archive it holds, posting WM_DECOMPRESS_PROGRESS.
#pragma once

#include "installer/core/worker_task.h"

#include <string>

// Error codes posted with kProgressError; texts from GetCompressErrorText.
enum CompressError : intptr_t {
    kCompressOpenSource = 0,
    kCompressEmptySource = 1,
    kCompressCreateDest = 2,
    // Failures of the compressing side; no worker posts them, their texts stay.
    kCompressOpenTarget = 3,
    kCompressEmptyTarget = 4,
    kCompressOpenPacked = 5,
    kCompressDamaged = 6,     // a block that does not decode, is too long, or is cut off
    kCompressWriteDest = 7,   // the decoded bytes could not be written
    kCompressLeftover = 8,    // the self-extraction met a leftover it cannot remove
    kCompressChecksum = 9,    // an item differs from the package's checksums: a damaged download
};

class CDecompressTask : public CWorkerTask {
public:
    std::string m_strDest;
    std::string m_strSource;
};

// Starts DecompressThreadProc on the task; the thread object is kept in the task.
CWinThread* StartDecompressThread(CDecompressTask& task);
// param is a CDecompressTask*. 1 after success, 0 after a failure or a cancel.
unsigned DecompressThreadProc(void* param);
std::string GetCompressErrorText(intptr_t code);
// The text of kCompressLeftover naming what is in the way; a name of more
// than maxChars characters keeps its beginning and its end around "...".
std::string GetLeftoverText(const std::string& name, size_t maxChars);
