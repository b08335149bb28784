#include "installer/core/worker_task.h"

void CWorkerTask::Reset()
{
    m_hNotifyWnd = nullptr;
    ReleaseThread();
    m_evCancel.ResetEvent();
}

void CWorkerTask::ReleaseThread() { m_pThread.reset(); }
