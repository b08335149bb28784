#include "framework/fault.h"

namespace fault_detail {
std::atomic<bool> g_armed{false};
}  // namespace fault_detail

namespace {
std::atomic<uint64_t> g_calls{0};
std::atomic<uint64_t> g_failed{0};
std::atomic<uint64_t> g_nth{0};
std::atomic<bool> g_persistent{false};
}  // namespace

bool fault_detail::CountCall()
{
    const uint64_t call = g_calls.fetch_add(1, std::memory_order_relaxed) + 1;
    const uint64_t nth = g_nth.load(std::memory_order_relaxed);
    const bool fail = call == nth || (call > nth && g_persistent.load(std::memory_order_relaxed));
    if (fail)
        g_failed.fetch_add(1, std::memory_order_relaxed);
    return fail;
}

void ArmFault(uint64_t nth, bool persistent)
{
    fault_detail::g_armed.store(false);
    g_calls.store(0);
    g_failed.store(0);
    g_nth.store(nth);
    g_persistent.store(persistent);
    fault_detail::g_armed.store(nth != 0);
}

void DisarmFault() { fault_detail::g_armed.store(false); }

uint64_t FaultCallsCounted() { return g_calls.load(); }
uint64_t FaultsInjected() { return g_failed.load(); }
