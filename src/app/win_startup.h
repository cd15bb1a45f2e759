// Start-up of the stub: the platform check, the common controls, the
// configuration block and the run's settings, then the one dispatch to the
// run's mode.
#pragma once

#include <windows.h>

#include "app/win_run.h"

// Windows 95 family from 4.0, NT family from 3.51.
bool IsSupportedPlatform();

// Restricts the DLL search path and loads comctl32 from the system directory,
// then registers the common control classes through its ordinal 17.
void InitCommonControlsFromSystem();

// Reads the configuration block from the file at path into config, its text
// fields ended inside their widths. False when it cannot be read whole.
bool ReadSfxConfig(HANDLE file, SfxConfig& config);
bool ReadSfxConfig(const SysChar* path, SfxConfig& config);

// Makes the text rules ask the system which bytes lead a double-byte
// character: before anything reads the command line, whose program name may
// hold such characters in any code page. The 64-bit stub's texts are UTF-16:
// its byte rules meet only code page 932 text, which they know themselves.
#if defined(_WIN64)
inline void InstallSystemLeadByteTest() {}
#else
void InstallSystemLeadByteTest();
#endif

// The run's settings from the block (its texts decoded), the folder the command line gave (empty:
// none) and the switches: the title (string 7 when the block has none), the
// offered folder (the command line's, else the block's with its variables
// and folder macros expanded, else the current directory; quoted when it
// holds a blank), the message (string 10 when the block has none and asks to
// overwrite without asking), the four options (/O overwrites, /N starts no
// command), /Y, and whether a temporary folder's command is waited for.
// unattended is the dispatch's to set.
void PrepareRunSettings(const SfxConfig& config, const SysChar* commandLineFolder, unsigned switches,
                        RunSettings& settings);

// The whole start-up on the command line's text after the program's name
// (read with the system's lead-byte test installed); returns the process's
// exit code. The language is chosen first: the block's choice where it can
// be read, else the user's.
int RunStartup(HINSTANCE instance, const SysChar* commandLineText);
