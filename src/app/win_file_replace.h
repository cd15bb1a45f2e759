// An existing file replaced only by a complete new one: the new bytes are
// written under a temporary name beside the old file, which keeps its name
// until they are sound. Only calls that Windows 95 and NT 3.51 both have are
// used (MoveFileExA, which would replace in one step, is the NT family's only).
#pragma once

#include <windows.h>

#include "common/win_sys_char.h"

// Creates a new, empty file for writing in the folder that path's first
// folderBytes units name (ending in a separator), as ~qvNNNNN.tmp, a short
// name that every volume takes and none taken already, and puts its name
// into temporary; INVALID_HANDLE_VALUE when none can be created.
HANDLE CreateFileBeside(const SysChar* path, unsigned folderBytes, SysChar* temporary, unsigned temporarySize);

// Gives written (made by CreateFileBeside) the name destination, which must
// exist and be no folder: the old file steps aside under written's name with
// its last letter changed (~qvNNNNN.tmo), the new one takes its name, then
// the old one is deleted. False when that cannot be done; destination then
// holds the old file as it was, and written is still there for the caller to
// delete. At every moment one of the two holds the name or stands beside it.
bool ReplaceFileWith(const SysChar* written, const SysChar* destination);
