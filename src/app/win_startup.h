// Start-up of the stub: the platform check, the common controls, the
// configuration block, the notice, then the main dialog.
#pragma once

#include <windows.h>

#include "common/win_services.h"

// Windows 95 family from 4.0, NT family from 3.51.
bool IsSupportedPlatform();

// Restricts the DLL search path and loads comctl32 from the system directory,
// then registers the common control classes through its ordinal 17.
void InitCommonControlsFromSystem();

// Reads the configuration block from ExecutablePath and prepares its defaults.
bool LoadSfxConfig(const char* commandLineText);

// The whole start-up; returns the process's exit code.
int RunStartup(HINSTANCE instance, const char* commandLineText);
