// Worker threads, the auto-reset event they poll, and the message a worker
// posts to the window that follows its progress.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

// Auto-reset event: a successful wait consumes the signal.
class CEvent {
public:
    explicit CEvent(bool initiallySignalled = false) : m_signalled(initiallySignalled) {}
    CEvent(const CEvent&) = delete;
    CEvent& operator=(const CEvent&) = delete;

    void SetEvent();
    void ResetEvent();
    // True when the event was signalled within timeoutMs (0 polls).
    bool Lock(unsigned timeoutMs);

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_signalled;
};

// A started worker. The object owns its thread: destroying it waits for the
// worker to end, so no task can be freed while its worker still runs.
class CWinThread {
public:
    using Proc = unsigned (*)(void* param);
    CWinThread(Proc proc, void* param);
    ~CWinThread();
    CWinThread(const CWinThread&) = delete;
    CWinThread& operator=(const CWinThread&) = delete;

    bool IsRunning() const;
    void Join();
    // The worker's result; valid once it has ended.
    unsigned ExitCode() const { return m_exitCode; }

private:
    std::thread m_thread;
    unsigned m_exitCode = 0;
    std::shared_ptr<std::atomic<bool>> m_running;
};

// Threads to start beside the calling one where it does a share of the work
// itself: one fewer than the cores, at least one and at most `most`. One
// more than the cores would queue behind another thread on its core while
// the other core idles between its short waits.
unsigned ThreadsBesideThisOne(unsigned most);

// Starts proc(param) on a new thread.
std::unique_ptr<CWinThread> AfxBeginThread(CWinThread::Proc proc, void* param);

// The window (on Windows an HWND, in the POSIX stand-in a CNotifyQueue*) that
// receives a worker's progress messages.
using NotifyTarget = void*;
bool PostNotify(NotifyTarget target, unsigned message, uintptr_t wParam, intptr_t lParam);
