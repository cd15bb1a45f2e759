// The command that an archive may start after it has been extracted.
#pragma once

#include <windows.h>

#include "common/run_state.h"

// The process of a command that is waited for (RunState.waitForCommand),
// once started; null before, and when it could not be started or the shell
// handed the file to a program already running.
extern HANDLE AutoRunProcess;

// Starts the configured command through the shell, with the destination folder
// as its working directory, when the pass was an Extract pass, auto-run is on,
// a command is configured and the pass ended without failure. Nothing is
// reported whatever the shell answers; a command that is waited for and
// cannot be started is a failure with exit code 2. RunState.waitForCommand
// is cleared when there is nothing to wait for: the shell handed the file to
// a program already running, or cannot hand out processes (NT 3.51).
void RunAutoCommand(ExtractMode mode);
