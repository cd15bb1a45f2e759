// The parts of the name rules that ask the destination volume.
#pragma once

#include "common/win_sys_char.h"
#include "paths/name_rules.h"
#include "paths/win_entry_ledger.h"

// LongNames when the volume at root reports a maximum component length of
// exactly 255 or cannot be asked; ShortNames otherwise.
NameRules SelectNameRules(const SysChar* root);

// The longest path a member can have: the destination folder, a separator
// and the member's joined name.
constexpr unsigned kMemberPathBytes = 256 + 288;
// The buffer of a member's full destination path, with room to spare.
constexpr unsigned kDestinationPathBytes = 560;
static_assert(kDestinationPathBytes >= kMemberPathBytes, "every member path fits");

// The folder of the path that CreatePathDirectories was given last, up to
// and including its last '/': every level of it exists, or could not be
// made. Empty (length 0) at the start of a pass.
struct MadeFolder {
  unsigned length;
  SysChar path[kMemberPathBytes];
  // Where the run keeps what it created, with the length of the folder
  // every path begins with; none when the folder is not the run's own.
  EntryLedger* ledger;
  unsigned ledgerBase;
  bool foreign;  // a level existed that the ledger does not hold
};

// Creates every directory along path up to its last '/', level by level; the
// text after the last '/' is the file's own name and is not created. Levels
// that made already holds (the folder of the path given last and that
// folder's parents) are not asked for again, so a pass over many files in a
// few folders makes each folder once. Failures (most often a directory that
// exists) are passed over: the file's creation that follows reports what
// matters. Only the first kMemberPathBytes - 1 units of a longer path are
// considered. With a ledger, every level made is recorded in it, and a
// level that exists without being recorded sets foreign. Returns the length of path's folder up to and including its
// last '/', 0 when it has none.
unsigned CreatePathDirectories(MadeFolder& made, const SysChar* path);
