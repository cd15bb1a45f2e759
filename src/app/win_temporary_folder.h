// The folder of a temporary-folder run: new and uniquely named under the
// user's temporary folder, and deleted with everything in it afterwards.
#pragma once

// Creates a new folder under the user's temporary folder and puts its path
// into folder (size bytes); false when none could be created.
bool MakeTemporaryFolder(char* folder, unsigned size);

// Deletes folder and everything below it, read-only files included (the
// extraction may have restored that attribute).
void DeleteFolderTree(const char* folder);
