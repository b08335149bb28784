#include "framework/posix/notify_queue.h"
#include "framework/thread.h"

#include <chrono>

void CNotifyQueue::Post(const NotifyMessage& m)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_queue.push_back(m);
    }
    m_cv.notify_one();
}

bool CNotifyQueue::Take(NotifyMessage& m, unsigned timeoutMs)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    if (!m_cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return !m_queue.empty(); }))
        return false;
    m = m_queue.front();
    m_queue.pop_front();
    return true;
}

bool PostNotify(NotifyTarget target, unsigned message, uintptr_t wParam, intptr_t lParam)
{
    if (target == nullptr)
        return false;
    static_cast<CNotifyQueue*>(target)->Post({message, wParam, lParam});
    return true;
}
