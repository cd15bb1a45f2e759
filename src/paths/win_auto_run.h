// The command that an archive may start after it has been extracted.
#pragma once

#include <windows.h>

#include "common/win_sys_char.h"

// The command's buffer, as the configuration block's field: at most 259
// units once expanded.
constexpr unsigned kCommandBytes = 260;

// How the start of a command ended.
enum class CommandStart : unsigned char {
  Waitable,   // started, and process holds its process, the caller's to close
  Unwatched,  // handed to the shell, with nothing to wait for
  Failed,     // to be waited for, and could not be started
};

// Starts command, a command line as the configuration block holds it, through
// the shell with folder as its working directory, owned by owner. Its
// environment variables and then its folder macros (with folder as the
// destination) are expanded, the result cut to kCommandBytes - 1 units, then
// split into the program and its parameters (none rather than an empty text).
// Without wait, what the shell answers is not examined: Unwatched. With wait,
// the process is asked for (ShellExecuteEx); a shell without it (NT 3.51's)
// or one that hands the file to a program already running gives Unwatched.
CommandStart StartCommand(const SysChar* command, const SysChar* folder, HWND owner, bool wait, HANDLE& process);
