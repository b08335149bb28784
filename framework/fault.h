// Fault injection for tests. Every file call of the framework and every
// shell call with an effect asks FaultInjected() before it does its work; a
// test arms a countdown so that the Nth such call from then on fails as if
// the system had refused it (a missing file, a full disk, a denied folder).
// Unarmed, the check costs one relaxed load and one branch that is never
// taken. The countdown below is the only global state: a process-wide
// setting like the system calls it stands for, atomic because the workers
// make their calls on threads of their own.
#pragma once

#include <atomic>
#include <cstdint>

namespace fault_detail {
extern std::atomic<bool> g_armed;
// Counts one call of an armed run; true when this call is to fail.
bool CountCall();
}  // namespace fault_detail

inline bool FaultInjected()
{
    return fault_detail::g_armed.load(std::memory_order_relaxed) && fault_detail::CountCall();
}

// The nth call from now fails (1 = the next one); persistent: every call
// from the nth on fails. Counting restarts with every Arm.
void ArmFault(uint64_t nth, bool persistent = false);
void DisarmFault();
// Calls counted since the last Arm, and how many of them were made to fail.
uint64_t FaultCallsCounted();
uint64_t FaultsInjected();

// Arms for the life of a scope, so that no test leaves the countdown armed.
class CFaultScope {
public:
    explicit CFaultScope(uint64_t nth, bool persistent = false) { ArmFault(nth, persistent); }
    ~CFaultScope() { DisarmFault(); }
    CFaultScope(const CFaultScope&) = delete;
    CFaultScope& operator=(const CFaultScope&) = delete;
};
