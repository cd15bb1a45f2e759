// Values of the folder macros from the running system.
#pragma once

enum class ShellFolder : int { ProgramFiles = 0, CommonFiles = 1, MyDocuments = 2 };

// The folder's path from the registry, or its fallback (destination: 260 bytes).
void GetShellFolder(char* destination, ShellFolder folder);

// The value of one row of the folder-macro table on this system.
void SystemMacroValue(int row, const char* destinationFolder, char* value);

// ExpandEnvironmentStringsA of text into a 260-byte pass, then the folder
// macros into dest (destSize bytes). Without a destination folder the two
// destination-folder macros stay as written.
void ExpandCommandText(const char* text, char* dest, unsigned destSize,
                       const char* destinationFolder);
