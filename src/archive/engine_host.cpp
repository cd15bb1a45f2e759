#include "archive/engine_host.h"

#include <csetjmp>

#include "common/run_state.h"

EngineHost Host;
bool OutputIsProbe;

namespace {
// The innermost guarded region; null outside every region. A plain longjmp
// keeps the stub free of C++ exception tables and their runtime.
std::jmp_buf* activeGuard;

// What setjmp returns in RunGuarded when the body was left early.
constexpr int kAborted = 1;
constexpr int kFinishedEarly = 2;

[[noreturn]] void LeaveGuardedRegion(int how) {
  // Leaving outside a guarded region is a fault of the caller: stop here
  // rather than jump into a dead frame.
  if (!activeGuard) __builtin_trap();
  std::longjmp(*activeGuard, how);
}
}  // namespace

void ExtractAbort() { LeaveGuardedRegion(kAborted); }

void FinishDecodingEarly() { LeaveGuardedRegion(kFinishedEarly); }

void AbortWithMessage(int stringId, bool namesArchive) {
  Host.reportError(stringId, namesArchive);
  ExtractAbort();
}

void AbortDamaged() { AbortWithMessage(kMsgDamaged, true); }

bool RunGuarded(void (*body)()) {
  std::jmp_buf guard;
  std::jmp_buf* const outer = activeGuard;
  activeGuard = &guard;
  switch (setjmp(guard)) {
    case 0:
      body();
      break;
    case kFinishedEarly:
      break;
    default:
      activeGuard = outer;
      RunState.aborted = 1;
      return false;
  }
  activeGuard = outer;
  return true;
}
