// Process-wide run flags and progress counters shared by start-up, the
// extraction passes and the dialogs. One GUI thread touches them; no locks.
#pragma once

#include <cstdint>

// Each flag is a 32-bit integer used as a boolean, as the dialogs and passes
// compare them.
struct RunStateFlags {
  std::int32_t aborted;          // set by any failure, cancellation or declined question
  std::int32_t cancelRequested;  // set by Cancel while a pass runs; compared against 1
  std::int32_t extracting;       // set once the extract button has started the passes
  std::int32_t autoRun;          // start the configured command after extraction
  std::int32_t suppressFolders;  // drop the members' stored folders
  std::int32_t unattended;       // /S or /T: no window and no box; the exit code tells
  std::int32_t acceptNotice;     // /Y: the notice is not asked
  std::int32_t keptExisting;     // an existing file stayed in place of a member
  std::int32_t waitForCommand;   // temporary folder: the command is waited for
};

struct ProgressCounts {
  std::uint64_t total;         // summed original sizes (Test pass)
  std::uint64_t done;          // bytes written or skipped in the current pass
  std::uint64_t memberStart;   // done when the current member began: the engine counts its bytes
};

// done * 100 / total in unsigned 64-bit arithmetic (the product wraps), at most
// 100; 0 when total is 0.
unsigned ProgressPercent(std::uint64_t done, std::uint64_t total);

// Verify decodes every member and checks its CRC, writing nothing (/T).
enum class ExtractMode : int { Extract = 0, Probe = 1, Test = 2, Verify = 3 };

extern RunStateFlags RunState;
extern ProgressCounts ProgressTotals;

// The general text buffer: status lines, error texts, expansions of the
// default folder and the auto-run command, and the captured notice text.
constexpr unsigned kGeneralTextBytes = 1024;
extern char GeneralText[kGeneralTextBytes];
