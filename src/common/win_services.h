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

// An export of shell32, which every run has loaded (the auto-run imports
// ShellExecuteA); null where this system's shell lacks it (NT 3.51's lacks
// what came with the Windows 95 shell).
void* ShellExport(const char* name);

// Loads a string of the string table into one shared 256-byte buffer; each
// call overwrites the previous text.
char* LoadText(UINT id);

// The exit code of the first failure of the run (2, or 8 for out of
// memory), 0 while there was none. Unattended runs end with it.
extern int FailureExitCode;

// A failure: its exit code is kept unless an earlier one was, and text is
// shown in a box with the error icon, owned by the pass's window, unless the
// run is unattended.
void ShowFailure(const char* text, const char* caption, int exitCode);

// Shows "<file>" <message> with the error icon and the configured title,
// owned by the pass's window, as a failure with exit code 2.
void ReportFileError(const char* message, const char* fileName);
