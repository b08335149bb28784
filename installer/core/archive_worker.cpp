#include "installer/core/archive_worker.h"

#include "framework/buffered_file.h"
#include "framework/file.h"
#include "framework/strings.h"
#include "format/archive.h"
#include "installer/setup/setup_info.h"

#include <vector>

namespace {
// The archive and each file are read and written through buffers of this
// size beneath the walk's 4 KiB pieces: one system call per buffer, not per piece.
constexpr size_t kFileBuffer = 256 * 1024;

// Creates the install folders of the entries in archive order. The builder
// writes the files of a folder together, so the folder of the entry before
// is remembered: of a new folder only the components beyond the part it
// shares with that one are created. Failures (mostly: it exists) show when
// the file is created, which ends the run. Every folder it did make is
// added to made, so that an abandoned installation removes only those.
class CFolderMaker {
public:
    CFolderMaker(const std::string& base, std::vector<std::string>& made) : m_base(base), m_made(made) {}

    // Creates base + every folder prefix that ends at a backslash.
    void Make(const std::string& folder)
    {
        if (folder.empty()) {
            if (!m_baseMade)
                Create(m_base);
            m_baseMade = true;
            return;
        }
        if (m_madeAny && folder == m_last)
            return;
        for (size_t slash = MbFind(folder, '\\'); slash != npos; slash = MbFind(folder, '\\', slash + 1)) {
            // A prefix that ends at a backslash of the last folder as well
            // was made for that one.
            if (m_madeAny && slash < m_last.size() && m_last[slash] == '\\' &&
                m_last.compare(0, slash, folder, 0, slash) == 0)
                continue;
            Create(m_base + folder.substr(0, slash));
        }
        m_last = folder;
        m_madeAny = true;
    }

private:
    void Create(const std::string& path)
    {
        if (CreateFolder(path))
            m_made.push_back(path);
    }


    const std::string& m_base;
    std::vector<std::string>& m_made;
    std::string m_last;
    bool m_madeAny = false;
    bool m_baseMade = false;
};

// Copies the current entry's bytes into a new file. 0, kWorkerCancelled,
// or an error code; a file that was not written completely is removed
// again. created tells whether the file is new rather than one that was
// replaced.
intptr_t WriteEntryFile(CArchiveTask& task, CArchiveWalk& walk, uint8_t* buffer, const std::string& path,
                        bool& created)
{
    constexpr unsigned kWriteFlags = CFile::modeWrite | CFile::shareDenyNone | CFile::typeBinary;
    CLog& log = theSetupInfo.m_log;
    CFile outFile;
    created = static_cast<bool>(outFile.Open(path, CFile::modeCreateNew | kWriteFlags));
    if (!created) {
        if (Status opened = outFile.Open(path, CFile::modeCreate | kWriteFlags); !opened)
            return log.Failed("install", "a file of the package", opened), kPackCreateFile;
    }
    CBufferedWriter out(outFile, buffer, kFileBuffer);
    intptr_t result = 0;
    const bool copied = walk.StreamTo([&](const uint8_t* piece, size_t n) {
        if (!out.Write(piece, static_cast<uint32_t>(n)))
            result = (log.Failed("install", "a file of the package", out.Failure()), kPackWriteFile);
        // Looked for with every piece, so that a cancel does not wait for
        // the rest of a large file.
        else if (task.CancelRequested())
            result = kWorkerCancelled;
        return result == 0;
    });
    if (!copied && result == 0)
        result = kPackDamaged;
    if (result == 0 && !out.Flush())
        result = (log.Failed("install", "a file of the package", out.Failure()), kPackWriteFile);
    outFile.Close();
    if (result != 0)
        DiscardFile(path);
    return result;
}

// The archive ended or held what no archive holds; or a read of it failed,
// which is not damage to the archive: the log tells which it was.
intptr_t Damaged(const CReadAheadReader& archive)
{
    if (const Status& failure = archive.Failure(); !failure && !failure.Is(StatusCode::EndOfFile))
        theSetupInfo.m_log.Failed("install", "reading the archive", failure);
    return kPackDamaged;
}

intptr_t InstallAll(CArchiveTask& task, CFile& archiveFile, uint64_t total)
{
    CSetupInfo& setup = theSetupInfo;
    // The archive is read ahead on a thread of its own while this one
    // writes the files: the two overlap.
    CReadAheadReader archive(archiveFile, kFileBuffer);
    std::vector<uint8_t> writeBuffer(kFileBuffer);
    CArchiveWalk walk(archive, total);
    CFolderMaker folders(setup.m_strInstallDir, setup.m_arrCreatedFolders);
    CPackEntry entry;
    unsigned last = 0;
    while (walk.Next(entry)) {
        folders.Make(entry.m_strFolder);
        bool created = false;
        if (intptr_t error = WriteEntryFile(task, walk, writeBuffer.data(),
                                            setup.m_strInstallDir + entry.m_strFolder + entry.m_strName, created))
            return error == kPackDamaged ? Damaged(archive) : error;
        // A whole file is listed even when the cancel comes right after it:
        // what is listed is what an abandoned installation takes back.
        setup.m_arrInstalledFiles.push_back(entry.m_strFolder + entry.m_strName);
        setup.m_nInstalledBytes += entry.m_nSize;
        if (created)
            setup.m_arrCreatedFiles.push_back(setup.m_arrInstalledFiles.back());
        task.PostPercent(WM_ARCHIVE_PROGRESS, walk.Consumed(), total, last);
        if (task.CancelRequested())
            return kWorkerCancelled;
    }
    switch (walk.Error()) {
    case ArchiveError::None: return 0;
    case ArchiveError::UnsafePath: return kPackUnsafePath;
    default: return Damaged(archive);
    }
}
}  // namespace

CWinThread* StartArchiveThread(CArchiveTask& task) { return StartWorker(task, ArchiveThreadProc); }

unsigned ArchiveThreadProc(void* param)
{
    auto& task = *static_cast<CArchiveTask*>(param);
    CLog& log = theSetupInfo.m_log;
    CFile archive;
    if (Status opened = archive.Open(task.m_strArchive, CFile::modeRead | CFile::shareDenyNone | CFile::typeBinary |
                                                            CFile::typeSequential);
        !opened) {
        log.Failed("install", "the archive", opened);
        task.Post(WM_ARCHIVE_PROGRESS, kProgressError, kPackOpenArchive);
        return 0;
    }
    const uint64_t total = archive.GetLength();
    if (total == 0 || total > UINT32_MAX || total != task.m_nExpectedLength) {
        log.Write("install", Format("FAILED %s holds %llu bytes where the package says %u", task.m_strArchive.c_str(),
                                    static_cast<unsigned long long>(total), task.m_nExpectedLength));
        task.Post(WM_ARCHIVE_PROGRESS, kProgressError, kPackBadLength);
        return 0;
    }
    const size_t listedBefore = theSetupInfo.m_arrInstalledFiles.size();
    const intptr_t result = InstallAll(task, archive, total);
    archive.Close();
    if (result == kWorkerCancelled) {
        // A cancelled installation has no use for the decoded archive, a
        // temporary file that may be as large as the product: removing it
        // here keeps the dialog's thread free while the dialog closes.
        DiscardFile(task.m_strArchive);
        return 0;
    }
    if (result != 0) {
        if (result == kPackUnsafePath)
            log.Write("install", "FAILED an entry of " + task.m_strArchive + " would leave the install folder");
        else if (result == kPackDamaged)
            log.Write("install", "FAILED " + task.m_strArchive + " is damaged");
        task.Post(WM_ARCHIVE_PROGRESS, kProgressError, result);
        return 0;
    }
    log.Write("install", Format("%s: %u files into %s", task.m_strArchive.c_str(),
                                static_cast<unsigned>(theSetupInfo.m_arrInstalledFiles.size() - listedBefore),
                                theSetupInfo.m_strInstallDir.c_str()));
    task.Post(WM_ARCHIVE_PROGRESS, kProgressDone, 0);
    return 1;
}

std::string GetPackErrorText(intptr_t code)
{
    switch (code) {
    case kPackOpenArchive: return "解包：打开h66文件错误！";
    case kPackBadLength: return "解包：文件为空或大小不对！";
    case kPackCreateFile: return "解包：打开写入文件错误！";
    case kPackOpenSource: return "打包：打开文件错误！";
    case kPackEmptySource: return "打包：文件为空或大小不对！";
    case kPackCreateTarget: return "打包：打开写入文件错误！";
    case kPackDamaged: return "解包：文件已损坏！";
    case kPackUnsafePath: return "解包：文件路径非法！";
    case kPackWriteFile: return "解包：写入文件错误！";
    default: return "";
    }
}
