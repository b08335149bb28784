#include "framework/thread.h"

#include <gtest/gtest.h>

#include <atomic>

TEST(Event, AutoResetConsumesOneSignal)
{
    CEvent event;
    EXPECT_FALSE(event.Lock(0));
    event.SetEvent();
    EXPECT_TRUE(event.Lock(0));
    EXPECT_FALSE(event.Lock(0));
    event.SetEvent();
    event.ResetEvent();
    EXPECT_FALSE(event.Lock(0));
    CEvent initially(true);
    EXPECT_TRUE(initially.Lock(0));
}

namespace {
struct Job {
    CEvent go;
    CEvent cancel;
    std::atomic<int> steps{0};
};

unsigned Work(void* param)
{
    auto* job = static_cast<Job*>(param);
    job->go.Lock(5000);
    while (!job->cancel.Lock(0))
        ++job->steps;
    return 42;
}
}  // namespace

TEST(WorkerThread, RunsUntilCancelledAndIsJoinedByItsOwner)
{
    Job job;
    auto thread = AfxBeginThread(Work, &job);
    EXPECT_TRUE(thread->IsRunning());
    job.go.SetEvent();
    while (job.steps.load() < 10)
        std::this_thread::yield();
    job.cancel.SetEvent();
    thread->Join();
    EXPECT_FALSE(thread->IsRunning());
    EXPECT_EQ(thread->ExitCode(), 42u);
}
