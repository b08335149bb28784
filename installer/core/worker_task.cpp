#include "installer/core/worker_task.h"

#include "framework/file.h"

void CWorkerTask::Reset()
{
    m_hNotifyWnd = nullptr;
    ReleaseThread();
    m_evCancel.ResetEvent();
}

void CWorkerTask::ReleaseThread() { m_pThread.reset(); }

void CWorkerTask::PostPercent(unsigned message, uint64_t done, uint64_t total, unsigned& last)
{
    const auto percent = static_cast<unsigned>(done * 100 / total);
    if (percent > last) {
        Post(message, kProgressPosition, percent);
        last = percent;
    }
}

void DiscardFile(const std::string& path)
{
    constexpr uint64_t kStep = 16u << 20;
    {
        CFile file;
        if (file.Open(path, CFile::modeReadWrite | CFile::shareDenyNone)) {
            for (uint64_t length = file.GetLength(); length > 0;) {
                length = length > kStep ? length - kStep : 0;
                if (!file.SetLength(length))
                    break;
            }
        }
    }
    // What stays lies in the temporary folder, which the finish run removes.
    RemoveFile(path).Ignore();
}
