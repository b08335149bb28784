// The calls of the file and shell layer by name, and the tests' hook into
// them. Every call of the seam (file, folder and shell calls, reads among
// them) asks FaultFor(call) before it does its work; a test arms a plan that makes a named call fail with a given
// error ("MoveFile fails with a sharing violation"), fills the disk after so
// many bytes, or makes a read come back short, and the call then behaves as
// the system would have: the same error code, the same partial transfer.
//
// The hooks exist only in builds with tests (TMD_FAULT_HOOKS). Without them
// FaultFor is a constant "go ahead" that the compiler folds away, and none of
// the plan's code or state is in the program.
#pragma once

#include "framework/status.h"

#include <cstdint>

// Named after the framework's own calls (and never after a Win32 function,
// whose names the Windows headers take as macros).
enum class SysCall : uint8_t {
    Open,
    Read,
    Write,
    Seek,
    GetLength,
    SetLength,
    Flush,
    FindFile,
    FindNext,
    CreateFolder,
    RemoveFolder,
    RemoveFile,
    MakeWritable,
    CopyFileTo,
    MoveFileTo,
    ReplaceFileWith,
    SaveShortcut,
    CreateProgramGroup,
    LaunchProgram,
    MakeTempFileName,
    GetFileVersionNumber,
    WriteRegistry,
};

// What the seam makes of one call: fail with a code, or go ahead moving at
// most limit bytes (a read that comes back short, a write that fills the disk
// fails with DiskFull after the bytes that fit).
struct FaultOutcome {
    StatusCode fail = StatusCode::Ok;
    uint32_t limit = UINT32_MAX;
};

#ifdef TMD_FAULT_HOOKS

// bytes: what a read or write asks to move.
FaultOutcome FaultFor(SysCall call, uint32_t bytes = 0);

// A plan of faults for the life of a scope; one plan is armed at a time.
// Counting starts when the plan is made. Each rule counts the calls it names
// (or every call); the first rule that acts on a call decides it.
class CFaultPlan {
public:
    CFaultPlan();
    ~CFaultPlan();
    CFaultPlan(const CFaultPlan&) = delete;
    CFaultPlan& operator=(const CFaultPlan&) = delete;

    // The nth call of that name from now (1 = the next) fails with code;
    // persistent: every one from the nth on.
    CFaultPlan& Fail(SysCall call, StatusCode code, uint64_t nth = 1, bool persistent = false);
    // The nth call of any name fails as a refusal by rights: a sweep over
    // every call of a run, one run per n.
    CFaultPlan& FailAny(uint64_t nth, bool persistent = false);
    // Writes take bytes in all; the write that crosses the limit writes what
    // fits and fails with DiskFull, and so does every write after it.
    CFaultPlan& DiskFullAfter(uint64_t bytes);
    // The nth read from now returns at most bytes (a short read, no error).
    CFaultPlan& ShortRead(uint64_t nth, uint32_t bytes);
};

// Calls the last plan saw, and how many it made fail or come back short;
// both stay readable after the plan's scope has ended.
uint64_t FaultCallsCounted();
uint64_t FaultsInjected();

// The sweep most tests need: the nth call of any name fails.
class CFaultScope : public CFaultPlan {
public:
    explicit CFaultScope(uint64_t nth, bool persistent = false) { FailAny(nth, persistent); }
};

#else

constexpr FaultOutcome FaultFor(SysCall, uint32_t = 0) { return {}; }

#endif

// True when the plan fails this call outright; the thread's last error is
// then the one the system would have set for it.
inline bool FaultRefuses(SysCall call)
{
    const FaultOutcome fault = FaultFor(call);
    if (fault.fail == StatusCode::Ok)
        return false;
    SetLastOsError(Status::OsErrorFor(fault.fail));
    return true;
}
