// The command that an archive may start after it has been extracted.
#pragma once

#include "common/run_state.h"

// Starts the configured command through the shell, with the destination folder
// as its working directory, when the pass was an Extract pass, auto-run is on,
// a command is configured and the pass ended without failure. Nothing is
// reported whatever the shell answers.
void RunAutoCommand(ExtractMode mode);
