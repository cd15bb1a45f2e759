// Start-up of the stub and the services every other part of the shell uses:
// the string table, the error box for failures tied to a file, the path of
// the program's own file.
#pragma once

#include <windows.h>

constexpr unsigned kPathBytes = MAX_PATH;  // 260
constexpr unsigned kLoadTextBytes = 256;

extern HINSTANCE AppInstance;
extern char ExecutablePath[kPathBytes];
// The window that the running extraction pass reports to; none in the Probe pass.
extern HWND PassWindow;

// Loads a string of the string table into one shared 256-byte buffer; each
// call overwrites the previous text.
char* LoadText(UINT id);

// Shows "<file>" <message> with the error icon and the configured title,
// owned by the pass's window.
void ReportFileError(const char* message, const char* fileName);

// Windows 95 family from 4.0, NT family from 3.51.
bool IsSupportedPlatform();

// Restricts the DLL search path and loads comctl32 from the system directory,
// then registers the common control classes through its ordinal 17.
void InitCommonControlsFromSystem();

// Reads the configuration block from ExecutablePath and prepares its defaults.
bool LoadSfxConfig(const char* commandLineText);

// The whole start-up; returns the process's exit code.
int RunStartup(HINSTANCE instance, const char* commandLineText);
