// One walk over the appended archive: probe for the notice member, test every
// header, verify every member, or extract every member into the run's
// destination folder. Everything a pass keeps from its set-up to its end is
// one object, made for the pass and gone after it.
#pragma once

#include <windows.h>

#include <cstdint>

#include "app/win_write_behind.h"
#include "app/win_zone_mark.h"
#include "archive/engine.h"
#include "common/run_state.h"
#include "common/sfx_config.h"
#include "paths/name_rules.h"
#include "paths/win_name_rules.h"

struct Run;

// Longer than any path the pass builds, so a full path never fails for room.
constexpr unsigned kFullPathBytes = 1024;

// How a step of the pass ended: the engine's results first, in their order,
// so that an engine result is a step's result as it stands; then the
// failures of the pass's own. Every failure is named to the person through
// one table (win_engine_host.h).
enum class Step : std::uint8_t {
  Next = static_cast<std::uint8_t>(EngineResult::Ok),    // on to the next member
  Leave = static_cast<std::uint8_t>(EngineResult::EndOfArchive),  // the walk ends, nothing wrong
  ReadError,      // the archive: string 2
  WriteError,     // the member's file, or the one that failed behind the decoder: string 3
  Damaged,        // the archive: string 4
  Unsupported,    // the archive: string 5
  OutOfMemory,    // no file: string 8, exit code 8
  Cancelled,      // the person said so (Cancel, the overwrite question, the notice): no message
  DamagedMember,  // the member's file (a CRC that differs, a path that leaves the folder): string 4
};
constexpr unsigned kStepCount = 9;
static_assert(static_cast<unsigned>(Step::ReadError) == static_cast<unsigned>(EngineResult::ReadError) &&
                  static_cast<unsigned>(Step::WriteError) == static_cast<unsigned>(EngineResult::WriteError) &&
                  static_cast<unsigned>(Step::Damaged) == static_cast<unsigned>(EngineResult::Damaged) &&
                  static_cast<unsigned>(Step::Unsupported) == static_cast<unsigned>(EngineResult::Unsupported) &&
                  static_cast<unsigned>(Step::OutOfMemory) == static_cast<unsigned>(EngineResult::OutOfMemory) &&
                  static_cast<unsigned>(Step::Cancelled) == static_cast<unsigned>(EngineResult::Cancelled),
              "an engine result is the step of the same name");

inline Step StepOf(EngineResult result) { return static_cast<Step>(result); }

// No constructor: RunExtractionPass makes it in zero-filled memory.
struct ExtractionPass {
  Run* run;
  HWND window;  // the window the pass reports to and that owns its boxes; none when nobody watches
  ExtractMode mode;
  HANDLE archive;  // the program's own file while the pass runs
  HANDLE output;   // the member's file; INVALID_HANDLE_VALUE when there is none
  std::uint32_t outputId;  // counts the member files opened: how the writing thread names them

  // What the person sees, and when (win_engine_host.h).
  std::uint64_t done;         // bytes written or skipped in this pass
  std::uint64_t memberStart;  // done when the current member began: the engine counts its bytes
  unsigned sentPercent;       // the percentage last sent (kNoPercent: none yet)
  unsigned pendingPercent;    // the one to send at the next drain
  DWORD lastDrainTick;
  bool drainDue;
  UINT statusFormat;  // the status line waiting to be shown: its format, 0 when none
  SysChar statusName[kJoinedNameBytes];

  // Where the Extract pass writes.
  NameRules rules;
  bool overwriteAll;       // no more questions (the option, or All)
  bool folderPrefixReady;
  unsigned fullFolderPrefixLength;
  unsigned memberFolderBytes;      // of destinationPath: the member's folder, up to its last '/'
  std::int64_t memberDataStart;    // where the member's data begins in the archive
  std::int64_t memberDataBytes;    // and how long it is: the next header follows it
  bool replacing;                  // the member replaces an existing file
  DWORD oldAttributes;             // that file's attributes, put back if it stays
  MadeFolder madeFolder;
  SysChar folderPrefix[kMemberPathBytes];     // the destination folder as every member path begins
  SysChar fullFolderPrefix[kFullPathBytes];   // the same, as Windows resolves it
  SysChar destinationPath[kDestinationPathBytes];  // the member's path; write errors name it
  SysChar writtenPath[kDestinationPathBytes];      // the file beside it that takes a replacing member's bytes
  // The member's name as the person reads it (the status line) and, when
  // the header stores it in Unicode, as its path is built from.
  SysChar memberName[kJoinedNameBytes];
  char notice[kNoticeTextMaxBytes + 1];         // the notice's bytes (Probe pass)
  WriteBehind behind;  // the 64-bit stub's writing thread

  Engine engine;
};

// Runs one pass reporting to window (none for the Probe pass and when
// nobody watches). True when it ended whole; every failure has been shown
// (unless the run is unattended) by then, and run.aborted tells the same.
bool RunExtractionPass(Run& run, HWND window, ExtractMode mode);
