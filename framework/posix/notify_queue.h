// Stand-in for a window's message queue: what a worker posts is kept in order
// and can be taken by the test that plays the dialog.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>

struct NotifyMessage {
    unsigned message;
    uintptr_t wParam;
    intptr_t lParam;
};

class CNotifyQueue {
public:
    void Post(const NotifyMessage& m);
    // Waits up to timeoutMs for the next message; false on time-out.
    bool Take(NotifyMessage& m, unsigned timeoutMs);

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::deque<NotifyMessage> m_queue;
};
