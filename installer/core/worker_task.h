// The task object a progress dialog hands to its worker thread, and the
// messages a worker posts back to the dialog.
#pragma once

#include "framework/thread.h"

#include <memory>
#include <string>

// wParam of a progress message: lParam is an error code, a new 0-100
// position, or 0 when the work is done.
enum ProgressKind : uintptr_t { kProgressError = 0, kProgressPosition = 1, kProgressDone = 2 };

constexpr unsigned WM_SPLIT_PROGRESS = 1224;  // WM_USER + 200
constexpr unsigned WM_ARCHIVE_PROGRESS = 1225;
constexpr unsigned WM_DECOMPRESS_PROGRESS = 1226;

class CWorkerTask {
public:
    virtual ~CWorkerTask() = default;
    // Clears window and thread and un-signals the cancel event.
    virtual void Reset();
    // Waits for and releases the thread object, if any.
    virtual void ReleaseThread();

    NotifyTarget m_hNotifyWnd = nullptr;
    std::unique_ptr<CWinThread> m_pThread;
    CEvent m_evCancel;

    // The last error is also kept in the task, for a run without a window
    // (the silent installation) that reads it once the worker has ended.
    void Post(unsigned message, uintptr_t kind, intptr_t value)
    {
        if (kind == kProgressError)
            m_nLastError = value;
        PostNotify(m_hNotifyWnd, message, kind, value);
    }
    intptr_t m_nLastError = -1;
    // Consumes a pending cancel request.
    bool CancelRequested() { return m_evCancel.Lock(0); }
    // Posts done/total in whole percent when it has grown past last, so
    // each value goes out once and 100 comes with the last unit of work.
    void PostPercent(unsigned message, uint64_t done, uint64_t total, unsigned& last);
};

// What a worker's inner loop returns when it stopped on the cancel event.
constexpr intptr_t kWorkerCancelled = -1;

// Removes a file a worker made and nobody will read, emptying it from its
// end in steps first. Under Wine the one server process that every
// program's windows wait on cuts a file's length and removes files; a file
// of gigabytes cut or removed at once stalls every window for as long,
// while between the steps they get their turn.
void DiscardFile(const std::string& path);

// Starts proc on the task (passed as its own type) and keeps the thread in it.
template <class Task>
CWinThread* StartWorker(Task& task, CWinThread::Proc proc)
{
    task.m_pThread = AfxBeginThread(proc, &task);
    return task.m_pThread.get();
}
