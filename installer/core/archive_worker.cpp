#include "installer/core/archive_worker.h"

#include "framework/buffered_file.h"
#include "framework/file.h"
#include "framework/strings.h"
#include "framework/thread.h"
#include "format/archive.h"
#include "installer/setup/setup_info.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace {
// The archive and each file are read and written through buffers of this
// size: one system call per buffer.
constexpr size_t kFileBuffer = 256 * 1024;
// The walk reads the headers through a small buffer of its own.
constexpr size_t kHeadBuffer = 16 * 1024;

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

// The archive ended or held what no archive holds; or a read of it failed,
// which is not damage to the archive: the log tells which it was.
intptr_t Damaged(const Status& failure)
{
    if (!failure && !failure.Is(StatusCode::EndOfFile))
        theSetupInfo.m_log.Failed("install", "reading the archive", failure);
    return kPackDamaged;
}

// One file of the archive on its way into the install folder. The walk
// opens it; a copier fills it from the archive and closes it.
struct CFileJob {
    uint64_t index = 0;  // in archive order
    std::string name;    // folder + name below the install folder
    std::string path;
    uint64_t bodyAt = 0;  // where its bytes start in the archive
    uint32_t size = 0;
    bool created = false;
    CFile file;
    // Set by the copier when it is done with the job.
    bool finished = false;
    intptr_t result = 0;  // 0, kWorkerCancelled, kPackWriteFile or kPackDamaged
    Status failure;       // the failed call behind result
};

// Installs the files of the archive on several threads at once: writing
// files is most of the work, and a system writes different files in
// parallel (where one thread waits for the disk or the system's page cache,
// the next file goes on). The walk runs on the worker's thread: it reads
// the headers only, makes the folders and opens each file in archive
// order, so a file is always opened after every file before it. Copier
// threads read each file's bytes from the archive at its offset, with a
// handle and a buffer of their own, and write them out; the walk, when it
// has to wait for them, takes the next file to copy itself, with a handle
// and a buffer of its own.
//
// What the install folder and the record end up with is what one thread
// going through the archive would have left: the files before the first
// one that did not get written whole, all listed, and nothing after it.
// A file after it that was already written is removed again. Such a file
// is always one this run created: a file that is there already is opened
// (and so emptied) only when every file before it is whole.
class CParallelInstall {
public:
    // Copier threads: one fewer than cores, since the walk copies too
    // whenever it would wait, and two at most: under wine64 two install the 200 MB tree a quarter faster than one
    // thread did, four no faster than two, and each one costs some 0.6 MB of
    // private memory, of a budget of 16.
    static constexpr unsigned kMaxCopiers = 2;
    // Files opened and not yet written: the walk runs ahead of the copiers
    // by this much, and past a large file by as many files as it takes
    // the other copiers.
    static constexpr size_t kMaxOpen = 32;
    // Files written and not listed yet, behind one still being written.
    static constexpr size_t kMaxUnlisted = 4096;
    // The copiers are woken when this many files wait for them, a file of
    // kWakeBytes counting as one more.
    static constexpr size_t kWakeFiles = 8;
    static constexpr uint32_t kWakeBytes = 64 * 1024;

    CParallelInstall(CArchiveTask& task, const std::string& archivePath, uint64_t total)
        : m_task(task), m_total(total)
    {
        constexpr unsigned kArchiveFlags =
            CFile::modeRead | CFile::shareDenyNone | CFile::typeBinary | CFile::typeReadOnce;
        const unsigned copiers = ThreadsBesideThisOne(kMaxCopiers);
        for (unsigned i = 0; i < copiers; ++i) {
            auto copier = std::make_unique<CCopier>();
            if (Status opened = copier->archive.Open(archivePath, kArchiveFlags); !opened) {
                m_openFailure = opened;
                break;
            }
            m_copiers.push_back(std::move(copier));
        }
        if (m_openFailure)
            m_openFailure = m_helper.archive.Open(archivePath, kArchiveFlags);
        for (auto& copier : m_copiers)
            copier->thread = std::thread([this, c = copier.get()] { Copy(*c); });
    }
    ~CParallelInstall()
    {
        {
            std::lock_guard hold(m_mutex);
            m_closing = true;
        }
        m_toCopy.notify_all();
        for (auto& copier : m_copiers)
            copier->thread.join();
    }
    CParallelInstall(const CParallelInstall&) = delete;
    CParallelInstall& operator=(const CParallelInstall&) = delete;

    const Status& OpenFailure() const { return m_openFailure; }

    // Opens the entry's file and hands it to the copiers. False when the
    // run is to go no further: the file could not be created (result
    // holds the error), or a file before it failed or the run was cancelled.
    bool Start(const CPackEntry& entry, const std::string& path, uint64_t bodyAt, intptr_t& result)
    {
        constexpr unsigned kWriteFlags = CFile::modeWrite | CFile::shareDenyNone | CFile::typeBinary;
        std::unique_lock lock(m_mutex);
        if (!WaitUntil(lock, [this] { return m_unfinished < kMaxOpen && m_jobs.size() < kMaxUnlisted; }))
            return false;
        lock.unlock();
        auto job = std::make_unique<CFileJob>();
        job->created = static_cast<bool>(job->file.Open(path, CFile::modeCreateNew | kWriteFlags));
        if (!job->created) {
            // Emptying a file that is there already waits until no file
            // before it is still being written: it may be the same file under
            // another spelling, and if anything before it fails, it stays as
            // it was.
            lock.lock();
            if (!WaitUntil(lock, [this] { return m_jobs.empty(); }))
                return false;
            lock.unlock();
            if (Status opened = job->file.Open(path, CFile::modeCreate | kWriteFlags); !opened) {
                theSetupInfo.m_log.Failed("install", "a file of the package", opened);
                result = kPackCreateFile;
                return false;
            }
        }
        job->name = entry.m_strFolder + entry.m_strName;
        job->path = path;
        job->bodyAt = bodyAt;
        job->size = entry.m_nSize;
        lock.lock();
        job->index = m_listed + m_jobs.size();
        m_unwoken += 1 + job->size / kWakeBytes;
        m_jobs.push_back(std::move(job));
        ++m_unfinished;
        // A copier is woken for a batch of small files, not for each: a
        // small file takes less time to copy than a wake-up does.
        if (m_unwoken >= kWakeFiles)
            WakeCopiers();
        lock.unlock();
        // Looked for after each file is under way, so that a request that
        // came before the first file still lets a file whole by then be listed.
        if (m_task.CancelRequested()) {
            Cancel();
            return false;
        }
        return true;
    }

    // Waits until every started file is done with and lists the whole ones.
    // 0 when every one of them was written whole, else the reason the first
    // one that was not failed for.
    intptr_t Finish()
    {
        std::unique_lock lock(m_mutex);
        WakeCopiers();
        for (;;) {
            ListWhole();
            if (std::all_of(m_jobs.begin(), m_jobs.end(), [](const auto& job) { return job->finished; }))
                break;
            // Rather than wait, the walk writes the next file no copier took.
            if (!CopyNext(m_helper, lock))
                m_done.wait(lock);
        }
        if (m_jobs.empty())
            return m_cancelled ? kWorkerCancelled : 0;
        const CFileJob& first = *m_jobs.front();
        if (first.result == kPackWriteFile)
            theSetupInfo.m_log.Failed("install", "a file of the package", first.failure);
        else if (first.result == kPackDamaged)
            Damaged(first.failure);
        // Nothing after it stays: one thread would never have begun them.
        for (size_t i = 1; i < m_jobs.size(); ++i)
            if (m_jobs[i]->result == 0)
                DiscardFile(m_jobs[i]->path);
        return first.result;
    }

private:
    struct CCopier {
        CFile archive;
        std::vector<uint8_t> buffer;  // made at the first file
        std::thread thread;
    };

    bool Stopped() const { return m_cancelled || m_firstFailed != UINT64_MAX; }

    // Under the lock: before the walk waits, and when a batch is ready.
    void WakeCopiers()
    {
        if (m_unwoken == 0)
            return;
        m_unwoken = 0;
        m_toCopy.notify_all();
    }

    void Cancel()
    {
        {
            std::lock_guard hold(m_mutex);
            m_cancelled = true;
        }
        m_done.notify_all();
    }

    // Lists the files whole so far in archive order, up to the first that
    // is not, and posts the progress they make. Under the lock, on the
    // walk's thread.
    void ListWhole()
    {
        CSetupInfo& setup = theSetupInfo;
        while (!m_jobs.empty() && m_jobs.front()->finished && m_jobs.front()->result == 0) {
            const CFileJob& job = *m_jobs.front();
            setup.m_arrInstalledFiles.push_back(job.name);
            setup.m_nInstalledBytes += job.size;
            if (job.created)
                setup.m_arrCreatedFiles.push_back(job.name);
            m_task.PostPercent(WM_ARCHIVE_PROGRESS, job.bodyAt + job.size, m_total, m_lastPercent);
            m_jobs.pop_front();
            ++m_listed;
        }
    }

    // Lists what gets whole until ready() holds; false when the run
    // stopped meanwhile.
    template <class Ready>
    bool WaitUntil(std::unique_lock<std::mutex>& lock, Ready ready)
    {
        for (;;) {
            ListWhole();
            if (Stopped())
                return false;
            if (ready())
                return true;
            WakeCopiers();
            // Rather than wait, the walk writes the next file no copier took.
            if (!CopyNext(m_helper, lock))
                m_done.wait(lock);
        }
    }

    // A copier's thread: takes the next file to be written, in archive order.
    void Copy(CCopier& copier)
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_toCopy.wait(lock, [this] { return m_closing || m_taken < m_listed + m_jobs.size(); });
            if (!CopyNext(copier, lock))
                return;
        }
    }

    // Under the lock: takes the next file no copier took and writes it.
    // False when there is none.
    bool CopyNext(CCopier& copier, std::unique_lock<std::mutex>& lock)
    {
        if (m_taken == m_listed + m_jobs.size())
            return false;
        CFileJob& job = *m_jobs[m_taken++ - m_listed];
        lock.unlock();
        if (copier.buffer.empty())
            copier.buffer.resize(kFileBuffer);
        Status failure;
        const intptr_t result = CopyJob(copier.archive, job, copier.buffer, failure);
        job.file.Close();
        if (result != 0)
            DiscardFile(job.path);
        lock.lock();
        job.result = result;
        job.failure = std::move(failure);
        job.finished = true;
        --m_unfinished;
        if (result != 0 && result != kWorkerCancelled)
            m_firstFailed = std::min(m_firstFailed, job.index);
        m_done.notify_all();
        return true;
    }

    // Whether the copy of a file is to stop: a cancel, or a file before it failed.
    bool GivesUp(const CFileJob& job)
    {
        std::lock_guard hold(m_mutex);
        if (!m_cancelled && m_task.CancelRequested()) {
            m_cancelled = true;
            m_done.notify_all();
        }
        return m_cancelled || m_firstFailed < job.index;
    }

    intptr_t CopyJob(CFile& archive, CFileJob& job, std::vector<uint8_t>& buffer, Status& failure)
    {
        uint64_t at = job.bodyAt;
        for (uint32_t left = job.size; left > 0;) {
            const uint32_t n = std::min<uint32_t>(left, static_cast<uint32_t>(buffer.size()));
            if (failure = ReadFullyAt(archive, at, buffer.data(), n); !failure)
                return kPackDamaged;
            // Looked for before each buffer is written, so that a cancel does
            // not wait for the rest of a large file.
            if (GivesUp(job))
                return kWorkerCancelled;
            if (failure = job.file.Write(buffer.data(), n); !failure)
                return kPackWriteFile;
            // Nothing reads a body twice, and the walk is past it: the
            // archive's room is freed here, on the copiers, instead of all at
            // once on one thread when the archive is removed at the end.
            archive.Forget(at, n);
            at += n;
            left -= n;
        }
        return 0;
    }

    CArchiveTask& m_task;
    const uint64_t m_total;
    Status m_openFailure;
    std::vector<std::unique_ptr<CCopier>> m_copiers;
    CCopier m_helper;  // the walk's own, without a thread
    std::mutex m_mutex;
    std::condition_variable m_toCopy;  // a file was started, or the run ends
    std::condition_variable m_done;    // a file is done with, or the run was cancelled
    // The files started and not listed yet, in archive order; the first
    // one's index is m_listed.
    std::deque<std::unique_ptr<CFileJob>> m_jobs;
    uint64_t m_taken = 0;   // files a copier took
    uint64_t m_listed = 0;  // files whole and listed
    size_t m_unfinished = 0;  // files started that no copier is done with
    size_t m_unwoken = 0;     // files started since the copiers were woken
    uint64_t m_firstFailed = UINT64_MAX;
    bool m_cancelled = false;
    bool m_closing = false;
    unsigned m_lastPercent = 0;
};

intptr_t InstallAll(CParallelInstall& install, CFile& archiveFile, uint64_t total)
{
    CSetupInfo& setup = theSetupInfo;
    // The walk reads the headers; the bodies are passed over unread, the
    // copiers read them. Small files still come with the headers around them.
    std::vector<uint8_t> headBuffer(kHeadBuffer);
    CBufferedReader archive(archiveFile, headBuffer.data(), headBuffer.size());
    CArchiveWalk walk(archive, total);
    CFolderMaker folders(setup.m_strInstallDir, setup.m_arrCreatedFolders);
    CPackEntry entry;
    intptr_t stopped = 0;
    bool going = true;
    while (going && walk.Next(entry)) {
        folders.Make(entry.m_strFolder);
        going = install.Start(entry, setup.m_strInstallDir + entry.m_strFolder + entry.m_strName, walk.Consumed(),
                              stopped) &&
                walk.Skip();
    }
    // Every file started is finished first: the first failure in archive
    // order is the one reported, as with one file at a time.
    if (const intptr_t result = install.Finish(); result != 0)
        return result;
    if (stopped != 0)
        return stopped;
    switch (walk.Error()) {
    case ArchiveError::None: return 0;
    case ArchiveError::UnsafePath: return kPackUnsafePath;
    default: return Damaged(archive.Failure());
    }
}
}  // namespace

CWinThread* StartArchiveThread(CArchiveTask& task) { return StartWorker(task, ArchiveThreadProc); }

unsigned ArchiveThreadProc(void* param)
{
    auto& task = *static_cast<CArchiveTask*>(param);
    CLog& log = theSetupInfo.m_log;
    const auto unopened = [&](const Status& failure) {
        log.Failed("install", "the archive", failure);
        task.Post(WM_ARCHIVE_PROGRESS, kProgressError, kPackOpenArchive);
        return 0u;
    };
    CFile archive;
    if (Status opened = archive.Open(task.m_strArchive, CFile::modeRead | CFile::shareDenyNone | CFile::typeBinary |
                                                            CFile::typeSequential);
        !opened)
        return unopened(opened);
    const uint64_t total = archive.GetLength();
    if (total == 0 || total > UINT32_MAX || total != task.m_nExpectedLength) {
        log.Write("install", Format("FAILED %s holds %llu bytes where the package says %u", task.m_strArchive.c_str(),
                                    static_cast<unsigned long long>(total), task.m_nExpectedLength));
        task.Post(WM_ARCHIVE_PROGRESS, kProgressError, kPackBadLength);
        return 0;
    }
    const size_t listedBefore = theSetupInfo.m_arrInstalledFiles.size();
    intptr_t result;
    {
        // The copiers read the archive through handles of their own, all
        // closed again before the archive may be removed.
        CParallelInstall install(task, task.m_strArchive, total);
        if (!install.OpenFailure())
            return unopened(install.OpenFailure());
        result = InstallAll(install, archive, total);
    }
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
