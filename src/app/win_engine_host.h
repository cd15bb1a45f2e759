// The extraction engine's host in the stub, and what the person sees of a
// pass: the archive and output files, the one table that names a failure to
// the person, and the progress report, status line and queue drain that keep
// the main dialog alive while a pass runs on the dialog's thread. Every
// function works on the pass object it is given.
#pragma once

#include <windows.h>

#include "app/win_extraction_pass.h"
#include "archive/engine_host.h"

// Makes host the engine's host for pass (its context): ReadFile on
// pass.archive, WriteFile on pass.output, the member's progress counted
// into pass.done from pass.memberStart on and reported as ReportPassProgress
// does, LocalAlloc/LocalFree and the system clock.
void MakeWin32EngineHost(ExtractionPass& pass, EngineHost& host);

// The string that names a step's failure to the person, 0 for the steps that
// show nothing (Next, Leave, Cancelled).
UINT StepMessage(Step step);

// Shows the step's failure, if it has a message, in a box owned by owner:
// naming the archive (the run's own file), memberFile (the member's, or for
// a write error the file that failed behind the decoder) or, for out of
// memory (exit code 8), nothing.
void ReportStep(Run& run, HWND owner, Step step, const SysChar* memberFile);

// Sends the percentage of pass.done in the run's total and lets the person
// act; false once Cancel was pressed.
bool ReportPassProgress(ExtractionPass& pass);

// Removes every waiting message of this thread's queue, offering each to the
// dialog manager of window first; never waits.
void ProcessPendingMessages(HWND window);

// The pace of what a person sees. Members can pass by by the thousand per
// second; the status line, the progress command and the queue drain keep to
// what can be seen and to a Cancel noticed within about 50 ms.
constexpr DWORD kDrainIntervalMs = 30;

// At the start of a pass: the next drain, status line and progress value are
// due at once.
void StartPacing(ExtractionPass& pass);
// Drains the queue of the pass's window when kDrainIntervalMs have passed
// since the last drain, after moving the progress bar and showing the status
// line that wait; a Cancel pressed meanwhile is seen in the run afterwards.
// The progress report drains through here; it moves the bar at once only
// when the bar is full.
void DrainQueueWhenDue(ExtractionPass& pass);
// Takes string formatId with name as the status line of the pass's window,
// shown at the next drain that is due or at FlushMemberStatus.
void ShowMemberStatus(ExtractionPass& pass, UINT formatId, const SysChar* name);
// Shows the status line that waits, if any: before a question or a message
// about the member, and at the end of a pass.
void FlushMemberStatus(ExtractionPass& pass);
