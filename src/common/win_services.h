// The stub's shell services that every layer above uses: the program's
// instance, shell32's exports and the string table.
#pragma once

#include <windows.h>

constexpr unsigned kPathBytes = MAX_PATH;  // 260
// A text of the string table: at most 255 bytes and the closing zero.
constexpr unsigned kLoadTextBytes = 256;

// The program's instance: every string, dialog and icon resource is its.
// Set once at start-up, before anything else runs.
extern HINSTANCE AppInstance;

// An export of shell32, which every run has loaded (the auto-run imports
// ShellExecuteA); null where this system's shell lacks it (NT 3.51's lacks
// what came with the Windows 95 shell).
void* ShellExport(const char* name);

// Loads a string of the string table into the caller's buffer (size bytes,
// usually kLoadTextBytes), cut to fit; an id without a string gives an empty
// text. Returns the buffer.
char* LoadText(UINT id, char* buffer, unsigned size);
