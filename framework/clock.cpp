#include "framework/clock.h"

#include <chrono>

uint32_t GetTickCount32()
{
    // The steady clock counts from system start on both platforms.
    const auto since = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}
