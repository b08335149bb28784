// The one place that waits out a transient refusal: a virus scanner or an
// indexer that holds a file it has just seen, or a process that has ended
// but whose program file is not yet free. Waiting mends only those; every
// other failure is returned at once.
#pragma once

#include "framework/status.h"

#include <chrono>
#include <thread>

// A refusal that another program causes for a moment.
inline bool IsTransient(const Status& status)
{
    return status.Is(StatusCode::SharingViolation) || status.Is(StatusCode::AccessDenied);
}

// Calls attempt() (which returns a Status) until it succeeds, fails with
// an error that is not transient, or attempts calls have been made, with
// pause between them. Returns the last result.
template <class Attempt>
Status RetryTransient(Attempt&& attempt, int attempts = 30,
                      std::chrono::milliseconds pause = std::chrono::milliseconds(100))
{
    Status result = attempt();
    for (int made = 1; !result && IsTransient(result) && made < attempts; ++made) {
        std::this_thread::sleep_for(pause);
        result = attempt();
    }
    return result;
}
