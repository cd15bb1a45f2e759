// The extraction engine's only ways out: the functions its caller supplies
// (reading the archive, writing output, reporting errors and progress, the
// header allocation and the clock), and the one non-local exit that ends the
// decoding of a member when something deep below fails.
#pragma once

#include <cstdint>

struct EngineHost {
  // Bytes read at the archive's current position, or -1 on failure.
  long (*readArchive)(void* buffer, unsigned long count);
  // False on failure or a short write.
  bool (*writeOutput)(const void* buffer, unsigned long length);
  // Shows message stringId (2, 3, 4, 5 or 8) tied to the archive (namesArchive)
  // or to the member's destination; 8 names no file.
  void (*reportError)(int stringId, bool namesArchive);
  // Hands the percentage to whoever shows it and lets the user act (cancel).
  void (*progress)(unsigned percent);
  // A zero-filled block for a member header, null when out of memory.
  void* (*allocZeroed)(unsigned long size);
  void (*release)(void* block);
  // Now, as a Windows FILETIME value (100 ns units since 1601-01-01 UTC).
  std::uint64_t (*currentFileTime)();
};

extern EngineHost Host;
// True while a pass only probes: output is captured as text, never written.
extern bool OutputIsProbe;

// Message numbers of the string table that the engine reports.
constexpr int kMsgReadError = 2;
constexpr int kMsgWriteError = 3;
constexpr int kMsgDamaged = 4;
constexpr int kMsgUnsupported = 5;
constexpr int kMsgOutOfMemory = 8;

// Leaves the guarded region that RunGuarded opened. Raised only below the
// decoding of a member, after the failure has been reported (or silently for a
// cancellation).
[[noreturn]] void ExtractAbort();

// Leaves the guarded region as if its body had ended normally: a pass that
// has all it wants of a member (the probe's first piece) stops decoding it.
[[noreturn]] void FinishDecodingEarly();

// Reports the message, then ExtractAbort.
[[noreturn]] void AbortWithMessage(int stringId, bool namesArchive);

// The archive is damaged (message 4, naming the archive), then ExtractAbort.
[[noreturn]] void AbortDamaged();

// Runs body; returns true when it ended normally or by FinishDecodingEarly,
// false (with RunState.aborted set) when ExtractAbort left it. Regions may
// nest; the innermost one catches.
bool RunGuarded(void (*body)());
