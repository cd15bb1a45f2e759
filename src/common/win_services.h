// The stub's process-wide shell services, used by every layer above: the
// program's instance and its own file, the window that the running pass
// reports to, the string table and the error box for failures tied to a file.
#pragma once

#include <windows.h>

constexpr unsigned kPathBytes = MAX_PATH;  // 260
constexpr unsigned kLoadTextBytes = 256;

extern HINSTANCE AppInstance;
// The program's own file: it holds the configuration block and the archive,
// and archive errors name it.
extern char ExecutablePath[kPathBytes];
// The window that the running extraction pass reports to; none in the Probe pass.
extern HWND PassWindow;

// Loads a string of the string table into one shared 256-byte buffer; each
// call overwrites the previous text.
char* LoadText(UINT id);

// Shows "<file>" <message> with the error icon and the configured title,
// owned by the pass's window.
void ReportFileError(const char* message, const char* fileName);
