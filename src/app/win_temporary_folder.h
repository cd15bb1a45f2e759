// The folder of a temporary-folder run: new, with a name nobody can guess,
// under the temporary folder, open only to the user, SYSTEM and the
// administrators where the system keeps permissions; deleted afterwards
// with everything in it, links removed as links and never followed.
#pragma once

#include "common/win_sys_char.h"
#include "paths/path_text.h"
#include "paths/win_entry_ledger.h"

// Creates the folder and puts its path into folder (kDestinationFolderBytes);
// false when none could be created (folder then holds the last name tried).
bool MakeTemporaryFolder(SysChar* folder);

// True when folder holds exactly what ledger records (the run's own files
// and folders, and no link); otherwise false, with the first entry that
// is not the run's (or the folder, when it cannot be read) in foreign
// (kPathBytes).
bool HoldsOnlyOwnEntries(const SysChar* folder, const EntryLedger& ledger, SysChar* foreign);

// Deletes the folder that MakeTemporaryFolder made and everything below it,
// read-only files included (the extraction may have restored that
// attribute). A link or junction below it is removed itself, never entered.
void DeleteTemporaryFolder(const SysChar* folder);
