#include "framework/thread.h"

#include <algorithm>
#include <atomic>
#include <chrono>

void CEvent::SetEvent()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_signalled = true;
    }
    m_cv.notify_one();
}

void CEvent::ResetEvent()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_signalled = false;
}

bool CEvent::Lock(unsigned timeoutMs)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    // A poll must not sleep: a timed wait, even one already expired, costs
    // the timer slack, and workers poll once per block.
    if (timeoutMs == 0) {
        bool was = m_signalled;
        m_signalled = false;
        return was;
    }
    if (!m_cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return m_signalled; }))
        return false;
    m_signalled = false;
    return true;
}

CWinThread::CWinThread(Proc proc, void* param) : m_running(std::make_shared<std::atomic<bool>>(true))
{
    m_thread = std::thread([this, proc, param, running = m_running] {
        m_exitCode = proc(param);
        running->store(false);
    });
}

CWinThread::~CWinThread() { Join(); }

bool CWinThread::IsRunning() const { return m_running->load(); }

void CWinThread::Join()
{
    if (m_thread.joinable())
        m_thread.join();
}

std::unique_ptr<CWinThread> AfxBeginThread(CWinThread::Proc proc, void* param)
{
    return std::make_unique<CWinThread>(proc, param);
}

unsigned ThreadsBesideThisOne(unsigned most)
{
    return std::clamp(std::thread::hardware_concurrency(), 2u, std::max(2u, most + 1)) - 1;
}
