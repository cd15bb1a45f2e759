// Values of the folder macros from the running system.
#pragma once

#include "common/win_sys_char.h"

enum class ShellFolder : int { ProgramFiles = 0, CommonFiles = 1, MyDocuments = 2 };

// The folder's path from the registry, or its fallback (destination: 260 units).
void GetShellFolder(SysChar* destination, ShellFolder folder);

// The value of one row of the folder-macro table on this system.
void SystemMacroValue(int row, const SysChar* destinationFolder, SysChar* value);

// ExpandEnvironmentStrings of text into a 260-unit pass, then the folder
// macros into dest (destSize units). Without a destination folder the two
// destination-folder macros stay as written.
void ExpandCommandText(const SysChar* text, SysChar* dest, unsigned destSize,
                       const SysChar* destinationFolder);
