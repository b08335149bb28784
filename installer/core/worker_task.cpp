#include "installer/core/worker_task.h"

void CWorkerTask::Reset()
{
    m_hNotifyWnd = nullptr;
    ReleaseThread();
    m_evCancel.ResetEvent();
}

void CWorkerTask::ReleaseThread() { m_pThread.reset(); }

void CWorkerTask::PostPercent(unsigned message, uint64_t done, uint64_t total, unsigned& last) const
{
    const auto percent = static_cast<unsigned>(done * 100 / total);
    if (percent > last) {
        Post(message, kProgressPosition, percent);
        last = percent;
    }
}
