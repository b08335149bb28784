// The tests' fault plan. Only builds with tests compile this file.
#include "framework/fault.h"

#include <atomic>
#include <mutex>
#include <vector>

namespace {
struct Rule {
    enum Kind : uint8_t { FailOne, FailFrom, ShortOnce, DiskFull } kind;
    bool any;  // matches every call, whatever its name
    SysCall call;
    StatusCode code;
    uint64_t nth;     // of the matching calls, 1-based
    uint64_t bytes;   // ShortOnce: the most a read returns; DiskFull: room left
    uint64_t seen = 0;
};

// The armed plan. Workers make their calls on threads of their own, so the
// plan is behind a lock; an unarmed plan costs one relaxed load per call.
std::atomic<bool> g_armed{false};
std::mutex g_lock;
std::vector<Rule> g_rules;
std::atomic<uint64_t> g_calls{0};
std::atomic<uint64_t> g_faults{0};

CFaultPlan& Add(CFaultPlan& plan, Rule rule)
{
    std::lock_guard<std::mutex> hold(g_lock);
    g_rules.push_back(rule);
    return plan;
}

// What one rule makes of a call it matches, or nothing.
bool Apply(Rule& rule, SysCall call, uint32_t bytes, FaultOutcome& out)
{
    if (!rule.any && rule.call != call)
        return false;
    const uint64_t n = ++rule.seen;
    switch (rule.kind) {
    case Rule::FailOne:
    case Rule::FailFrom:
        if (n == rule.nth || (rule.kind == Rule::FailFrom && n > rule.nth)) {
            out.fail = rule.code;
            return true;
        }
        return false;
    case Rule::ShortOnce:
        if (n != rule.nth || bytes <= rule.bytes)
            return false;
        out.limit = static_cast<uint32_t>(rule.bytes);
        return true;
    case Rule::DiskFull:
        if (bytes <= rule.bytes) {
            rule.bytes -= bytes;
            return false;
        }
        out.limit = static_cast<uint32_t>(rule.bytes);
        out.fail = StatusCode::DiskFull;
        rule.bytes = 0;
        return true;
    }
    return false;
}
}  // namespace

FaultOutcome FaultFor(SysCall call, uint32_t bytes)
{
    FaultOutcome out;
    if (!g_armed.load(std::memory_order_relaxed))
        return out;
    std::lock_guard<std::mutex> hold(g_lock);
    g_calls.fetch_add(1, std::memory_order_relaxed);
    bool decided = false;
    for (Rule& rule : g_rules) {
        if (decided) {
            // Every rule counts the calls it names, whichever decides them.
            if (rule.any || rule.call == call)
                ++rule.seen;
        } else if (Apply(rule, call, bytes, out)) {
            decided = true;
            g_faults.fetch_add(1, std::memory_order_relaxed);
        }
    }
    return out;
}

CFaultPlan::CFaultPlan()
{
    std::lock_guard<std::mutex> hold(g_lock);
    g_rules.clear();
    g_calls.store(0);
    g_faults.store(0);
    g_armed.store(true);
}

CFaultPlan::~CFaultPlan()
{
    std::lock_guard<std::mutex> hold(g_lock);
    g_armed.store(false);
    g_rules.clear();
}

CFaultPlan& CFaultPlan::Fail(SysCall call, StatusCode code, uint64_t nth, bool persistent)
{
    return Add(*this, {persistent ? Rule::FailFrom : Rule::FailOne, false, call, code, nth, 0});
}

CFaultPlan& CFaultPlan::FailAny(uint64_t nth, bool persistent)
{
    return Add(*this, {persistent ? Rule::FailFrom : Rule::FailOne, true, SysCall::Open, StatusCode::AccessDenied,
                       nth, 0});
}

CFaultPlan& CFaultPlan::DiskFullAfter(uint64_t bytes)
{
    return Add(*this, {Rule::DiskFull, false, SysCall::Write, StatusCode::DiskFull, 1, bytes});
}

CFaultPlan& CFaultPlan::ShortRead(uint64_t nth, uint32_t bytes)
{
    return Add(*this, {Rule::ShortOnce, false, SysCall::Read, StatusCode::Ok, nth, bytes});
}

uint64_t FaultCallsCounted() { return g_calls.load(); }
uint64_t FaultsInjected() { return g_faults.load(); }
