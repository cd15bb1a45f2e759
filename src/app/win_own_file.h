// The program's own file, which holds the configuration block and the
// archive: found by its exact name and opened once for the whole run.
#pragma once

#include <windows.h>

#include "app/win_zone_mark.h"
#include "common/win_sys_char.h"

// Opens the program's own file for reading, puts its name into path
// (kPathBytes units, for messages) and its download zone into zone.
// INVALID_HANDLE_VALUE when it cannot be opened, or (32-bit stub) when its
// name has characters the ANSI code page lacks: the ANSI name, with those
// characters replaced by look-alikes, may name another file.
HANDLE OpenOwnFile(HINSTANCE instance, SysChar* path, OwnZone& zone);
