// An existing file replaced only by a complete new one: the new bytes are
// written under a temporary name beside the old file, which keeps its name
// until they are sound. Only calls that Windows 95 and NT 3.51 both have are
// imported; MoveFileExA (the NT family only) is looked up at run time.
#pragma once

#include <windows.h>

// Creates a new, empty file beside path (in its folder, named ~qvNNNNN.tmp,
// a short name that every volume takes) for writing, and puts its name into
// temporary; INVALID_HANDLE_VALUE when none can be created.
HANDLE CreateFileBeside(const char* path, char* temporary, unsigned temporarySize);

// Gives written the name destination, which must exist and be no folder.
// False when that cannot be done; destination then holds the old file as it
// was, and written is still there for the caller to delete.
bool ReplaceFileWith(const char* written, const char* destination);

// The same without MoveFileExA, as on Windows 95: the old file steps aside
// under a temporary name (written's, made by CreateFileBeside, with its last
// letter changed), the new one takes its name, then the old one is deleted.
// At every moment one of them holds the name or stands beside it.
bool ReplaceBySteppingAside(const char* written, const char* destination);
