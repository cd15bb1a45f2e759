#include "archive/engine.h"

void StartEngine(Engine& e, const EngineHost& host) {
  e.host = host;
  e.header.bytes = nullptr;
  e.guarded = false;
  ResetArchiveInput(e);
}

void FailMember(Engine& e, EngineResult result) {
  // Leaving outside the guarded region is a fault of the engine: stop here
  // rather than jump into a dead frame.
  if (!e.guarded) __builtin_trap();
  e.result = result;
  __builtin_longjmp(e.guard, 1);
}

EngineResult RunGuarded(Engine& e, void (*body)(Engine&)) {
  e.result = EngineResult::Ok;
  e.guarded = true;
  if (__builtin_setjmp(e.guard) == 0) body(e);
  e.guarded = false;
  return e.result;
}
