// The folder of a temporary-folder run: new and uniquely named under the
// user's temporary folder, and deleted with everything in it afterwards.
#pragma once

#include "common/win_sys_char.h"
#include "paths/path_text.h"

// Creates a new folder under the user's temporary folder, short enough to be
// a destination folder, and puts its path into folder (kDestinationFolderBytes);
// false when none could be created (folder then holds the last name tried).
bool MakeTemporaryFolder(SysChar* folder);

// Deletes the folder that MakeTemporaryFolder made and everything below it,
// read-only files included (the extraction may have restored that attribute).
void DeleteTemporaryFolder(const SysChar* folder);
