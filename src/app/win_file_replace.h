// An existing file replaced only by a complete new one: the new bytes are
// written under a temporary name beside the old file, which keeps its name
// until they are sound. Windows' own replacement is used where the system
// has it (2000 on); elsewhere, and where it fails, the old file steps aside
// under a free name, with calls that Windows 95 and NT 3.51 both have.
#pragma once

#include <windows.h>

#include "common/win_sys_char.h"

// Creates a new, empty file for writing in the folder that path's first
// folderBytes units name (ending in a separator), as ~qvNNNNN.tmp, a short
// name that every volume takes and none taken already, and puts its name
// into temporary; INVALID_HANDLE_VALUE when none can be created.
HANDLE CreateFileBeside(const SysChar* path, unsigned folderBytes, SysChar* temporary, unsigned temporarySize);

// How a replacement ended.
enum class Replacement : unsigned char {
  Done,     // destination holds the new bytes, nothing else is left
  OldLeft,  // the same, but the old file could not be deleted (a running
            // program): it stays beside as ~qvNNNNN.tmo, to be deleted
            // when Windows restarts where the system can schedule that
  Failed,   // destination holds the old file as it was, and written is
            // still there for the caller to delete
};

// Gives written (made by CreateFileBeside) the name destination, which must
// exist and be no folder. Windows' replacement keeps the old file's
// identity (its security, streams, hard links and short name). Stepping
// aside: the old file takes a free name ~qvNNNNN.tmo beside it, the new one
// its name, then the old one is deleted. At every moment one of the two
// holds the name or stands beside it.
Replacement ReplaceFileWith(const SysChar* written, const SysChar* destination);
