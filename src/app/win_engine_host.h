// The extraction engine's host in the stub: the archive and output files, the
// error boxes, and the progress report that keeps the main dialog alive
// while a pass runs on its one thread.
#pragma once

#include <windows.h>

// DestinationFolder (255 bytes), a backslash, JoinedName (287 bytes) and the
// closing zero, with room to spare.
constexpr unsigned kDestinationPathBytes = 560;

// The archive (the program's own file) while a pass runs.
extern HANDLE ArchiveHandle;
// The member's output file; INVALID_HANDLE_VALUE while the pass only probes.
extern HANDLE OutputHandle;
// The current member's full destination path; write errors name it.
extern char DestinationPath[kDestinationPathBytes];

// Points the engine's Host at the functions below: ReadFile on ArchiveHandle,
// WriteFile on OutputHandle, ReportFileError naming ExecutablePath or
// DestinationPath, the progress command to PassWindow, LocalAlloc/LocalFree
// and the system clock.
void InstallWin32EngineHost();

// Removes every waiting message of this thread's queue, offering each to the
// dialog manager of window first; never waits.
void ProcessPendingMessages(HWND window);
