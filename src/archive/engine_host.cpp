#include "archive/engine_host.h"

#include "common/run_state.h"

EngineHost Host;
bool OutputIsProbe;

namespace {
// The compiler's own non-local jump keeps the stub free of C++ exception
// tables and of any C runtime (msvcrt, whose setjmp it would be, is missing on
// NT 3.51 and early Windows 95). Its buffer holds five words. It restores the
// stack and frame only, not the 32-bit system's chain of exception handlers;
// that chain is the same at both ends, because the engine raises only from
// its own code, after every call into the host has returned.
using JumpBuffer = void* [5];
// The innermost guarded region; null outside every region.
JumpBuffer* activeGuard;
// How the region was left: the compiler's jump carries no value of its own.
bool leftEarlyButSound;

[[noreturn]] void LeaveGuardedRegion(bool sound) {
  // Leaving outside a guarded region is a fault of the caller: stop here
  // rather than jump into a dead frame.
  if (!activeGuard) __builtin_trap();
  leftEarlyButSound = sound;
  __builtin_longjmp(*activeGuard, 1);
}
}  // namespace

void ExtractAbort() { LeaveGuardedRegion(false); }

void FinishDecodingEarly() { LeaveGuardedRegion(true); }

void AbortWithMessage(int stringId, bool namesArchive) {
  Host.reportError(stringId, namesArchive);
  ExtractAbort();
}

void AbortDamaged() { AbortWithMessage(kMsgDamaged, true); }

bool RunGuarded(void (*body)()) {
  JumpBuffer guard;
  JumpBuffer* const outer = activeGuard;
  activeGuard = &guard;
  if (__builtin_setjmp(guard) == 0) {
    body();
    activeGuard = outer;
    return true;
  }
  activeGuard = outer;
  if (leftEarlyButSound) return true;
  RunState.aborted = 1;
  return false;
}
