// The extraction engine's host in the stub: the archive and output files, the
// error boxes, and the progress report, status line and queue drain that keep
// the main dialog alive while a pass runs on the dialog's thread.
#pragma once

#include <windows.h>

#include "archive/engine_host.h"

// DestinationFolder (255 bytes), a backslash, JoinedName (287 bytes) and the
// closing zero, with room to spare.
constexpr unsigned kDestinationPathBytes = 560;

// The archive (the program's own file) while a pass runs.
extern HANDLE ArchiveHandle;
// The member's output file; INVALID_HANDLE_VALUE while the pass only probes.
extern HANDLE OutputHandle;
// The current member's full destination path; write errors name it.
extern char DestinationPath[kDestinationPathBytes];

// Makes host the engine's host in the stub: ReadFile on ArchiveHandle,
// WriteFile on OutputHandle, the member's progress counted into
// ProgressTotals from its memberStart on and reported as ReportPassProgress
// does, LocalAlloc/LocalFree and the system clock. No context.
void SetWin32EngineHost(EngineHost& host);

// The string that names a result to the user, 0 for those that show nothing
// (Ok, EndOfArchive, Cancelled).
UINT EngineResultMessage(EngineResult result);

// Shows the result's message, if it has one, after the status line that
// waits: naming the member's destination (or the file that failed behind the
// decoder) for a write error, no file for out of memory (exit code 8), the
// archive for everything else.
void ReportEngineResult(EngineResult result);

// Sends the percentage of ProgressTotals and lets the user act; false once
// Cancel was pressed.
bool ReportPassProgress();

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
// afterwards. The progress report drains through here; it moves the bar at
// once only when the bar is full.
void DrainQueueWhenDue();
// Formats string formatId with name for the status line of PassWindow, shown
// at the next drain that is due or at FlushMemberStatus.
void ShowMemberStatus(UINT formatId, const char* name);
// Shows the status line that waits, if any: before a question or a message
// about the member, and at the end of a pass.
void FlushMemberStatus();
