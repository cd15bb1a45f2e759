// One walk over the appended archive: probe for the notice member, test every
// header, or extract every member into DestinationFolder.
#pragma once

#include <windows.h>

#include "common/run_state.h"

// Runs one pass reporting to window (none for the Probe pass). Returns 1 when
// it ended with RunState.aborted clear, else 0; every failure has been shown
// by then. An Extract pass ends by starting the auto-run command.
int RunExtractionPass(HWND window, ExtractMode mode);
