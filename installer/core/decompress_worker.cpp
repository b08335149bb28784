#include "installer/core/decompress_worker.h"

#include "framework/buffered_file.h"
#include "framework/file.h"
#include "framework/strings.h"
#include "framework/thread.h"
#include "format/block_decoder.h"
#include "installer/setup/setup_info.h"

#include <memory>
#include <span>
#include <vector>

namespace {
// The package is read through a buffer of this size beneath the block logic:
// one system call per buffer instead of two per block.
constexpr size_t kFileBuffer = 256 * 1024;
// Threads that decode, this one among them: each decodes about 1 GB/s, and
// the archive is written on this thread at about 2.4 GB/s to memory, so more
// than four would only wait, each with a batch of its own (about 290 KiB of
// private memory).
constexpr unsigned kMaxDecoders = 4;

// Decodes every block of source into dest. 0 on success, kWorkerCancelled, or an
// error code.
intptr_t DecodeAll(CDecompressTask& task, CFile& sourceFile, CFile& dest, uint64_t total)
{
    const auto readBuffer = std::make_unique_for_overwrite<uint8_t[]>(kFileBuffer);
    CBufferedReader source(sourceFile, readBuffer.get(), kFileBuffer);
    CLog& log = theSetupInfo.m_log;
    // The blocks are decoded ahead on up to four cores, this thread's among
    // them: it writes each batch with one call, decodes the next one itself
    // when none is ready, and reports the progress of each block, as one
    // reader would.
    CParallelBlockReader blocks(source, total, ThreadsBesideThisOne(kMaxDecoders - 1));
    auto damaged = [&](const char* what) {
        log.Write("decode", Format("FAILED %s: %s at offset %llu: damaged data", task.m_strSource.c_str(), what,
                                   static_cast<unsigned long long>(blocks.Consumed())));
        return kCompressDamaged;
    };
    const uint8_t* decoded = nullptr;
    size_t produced = 0;
    std::span<const CParallelBlockReader::Block> run;
    unsigned last = 0;
    while (blocks.NextRun(decoded, produced, run)) {
        if (Status written = dest.Write(decoded, static_cast<uint32_t>(produced)); !written) {
            log.Failed("decode", "the decoded archive", written);
            return kCompressWriteDest;
        }
        for (const CParallelBlockReader::Block& block : run) {
            task.PostPercent(WM_DECOMPRESS_PROGRESS, block.fileEnd, total, last);
            // The file holds every block of the run; nobody reads it after a cancel.
            if (task.CancelRequested())
                return kWorkerCancelled;
        }
    }
    switch (blocks.Error()) {
    case BlockError::None: return 0;
    case BlockError::Truncated: return damaged("the file ends inside a block's length");
    case BlockError::BadLength: return damaged("a block's length does not fit");
    case BlockError::Undecodable: return damaged("a block does not decode");
    }
    return kCompressDamaged;
}
}  // namespace

CWinThread* StartDecompressThread(CDecompressTask& task) { return StartWorker(task, DecompressThreadProc); }

unsigned DecompressThreadProc(void* param)
{
    auto& task = *static_cast<CDecompressTask*>(param);
    CFile source;
    CLog& log = theSetupInfo.m_log;
    if (Status opened = source.Open(task.m_strSource, CFile::modeRead | CFile::shareDenyNone | CFile::typeBinary |
                                                          CFile::typeSequential);
        !opened) {
        log.Failed("decode", "the package", opened);
        task.Post(WM_DECOMPRESS_PROGRESS, kProgressError, kCompressOpenSource);
        return 0;
    }
    const uint64_t total = source.GetLength();
    if (total == 0) {
        log.Write("decode", "FAILED " + task.m_strSource + " is empty");
        task.Post(WM_DECOMPRESS_PROGRESS, kProgressError, kCompressEmptySource);
        return 0;
    }
    CFile dest;
    if (Status opened =
            dest.Open(task.m_strDest, CFile::modeCreate | CFile::modeWrite | CFile::shareDenyNone | CFile::typeBinary |
                                          CFile::typeTemporary);
        !opened) {
        log.Failed("decode", "the decoded archive", opened);
        task.Post(WM_DECOMPRESS_PROGRESS, kProgressError, kCompressCreateDest);
        return 0;
    }
    const intptr_t result = DecodeAll(task, source, dest, total);
    dest.Close();
    source.Close();
    if (result == kWorkerCancelled) {
        // Nobody will read the half-decoded archive, which may be as large as
        // the product: it goes here, not on the dialog's thread.
        DiscardFile(task.m_strDest);
        return 0;
    }
    if (result != 0) {
        // A half-decoded archive is of no use and must not be taken for a whole one.
        log.Check("decode", "the half-decoded archive", RemoveFile(task.m_strDest));
        task.Post(WM_DECOMPRESS_PROGRESS, kProgressError, result);
        return 0;
    }
    log.Write("decode", Format("%s: %llu bytes decoded into %s", task.m_strSource.c_str(),
                               static_cast<unsigned long long>(total), task.m_strDest.c_str()));
    task.Post(WM_DECOMPRESS_PROGRESS, kProgressDone, 0);
    return 1;
}

std::string GetCompressErrorText(intptr_t code)
{
    switch (code) {
    case kCompressOpenSource: return "解压时，打开压缩文件错误！";
    case kCompressEmptySource: return "解压时，压缩文件大小为空！";
    case kCompressCreateDest: return "解压时，打开目标文件错误！";
    case kCompressOpenTarget: return "压缩时，打开目标文件错误！";
    case kCompressEmptyTarget: return "压缩时，目标文件大小为空！";
    case kCompressOpenPacked: return "压缩时，打开压缩文件错误！";
    case kCompressDamaged: return "解压时，压缩文件已损坏！";
    case kCompressWriteDest: return "解压时，写入目标文件错误！";
    case kCompressLeftover: return "解压时，无法删除旧文件！";
    case kCompressChecksum: return "解压时，安装文件已损坏，请重新下载！";
    default: return "";
    }
}

std::string GetLeftoverText(const std::string& name, size_t maxChars)
{
    // Cut between whole characters of the code page: the starts of the kept
    // head and tail characters.
    std::vector<size_t> starts;
    for (size_t i = 0; i < name.size(); i += GbkCharLength(name, i))
        starts.push_back(i);
    std::string shown = name;
    if (starts.size() > maxChars) {
        const size_t keep = maxChars > 3 ? maxChars - 3 : 0;
        const size_t head = (keep + 1) / 2, tail = keep - head;
        shown = name.substr(0, starts[head]) + "..." + name.substr(tail == 0 ? name.size() : starts[starts.size() - tail]);
    }
    return "解压时，无法删除旧文件：" + shown + "！";
}
