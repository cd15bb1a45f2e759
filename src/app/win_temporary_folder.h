// The folder of a temporary-folder run: new and uniquely named under the
// user's temporary folder, and deleted with everything in it afterwards.
#pragma once

#include "paths/path_text.h"

// The folder made, or the last name tried when none could be.
extern char TemporaryFolder[kDestinationFolderBytes];

// Creates a new folder under the user's temporary folder, short enough to be
// a destination folder; false when none could be created.
bool MakeTemporaryFolder();

// Deletes the folder MakeTemporaryFolder made and everything below it,
// read-only files included (the extraction may have restored that attribute).
void DeleteTemporaryFolder();
