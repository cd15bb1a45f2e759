// The extraction engine's host in the stub: the archive and output files, the
// error boxes, and the progress report, status line and queue drain that keep
// the main dialog alive while a pass runs on the dialog's thread.
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

// The pace of what a person sees. Members can pass by by the thousand per
// second; the status line, the progress command and the queue drain keep to
// what can be seen and to a Cancel noticed within about 50 ms.
constexpr DWORD kDrainIntervalMs = 30;

// At the start of a pass: the next drain, status line and progress value are
// due at once.
void StartPacing();
// Drains PassWindow's queue when kDrainIntervalMs have passed since the last
// drain, after moving the progress bar and showing the status line that
// wait; a Cancel pressed meanwhile is seen in RunState.cancelRequested
// afterwards. The engine's progress report drains through here; it moves
// the bar at once only when the bar is full.
void DrainQueueWhenDue();
// Formats string formatId with name for the status line of PassWindow, shown
// at the next drain that is due or at FlushMemberStatus.
void ShowMemberStatus(UINT formatId, const char* name);
// Shows the status line that waits, if any: before a question or a message
// about the member, and at the end of a pass.
void FlushMemberStatus();
