// The task object a progress dialog hands to its worker thread, and the
// messages a worker posts back to the dialog.
#pragma once

#include "framework/thread.h"

#include <memory>

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

    void Post(unsigned message, uintptr_t kind, intptr_t value) const { PostNotify(m_hNotifyWnd, message, kind, value); }
    // Consumes a pending cancel request.
    bool CancelRequested() { return m_evCancel.Lock(0); }
};
