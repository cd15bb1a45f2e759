// The program's own file, which holds the configuration block and the
// archive: found by its exact name and opened once for the whole run.
#pragma once

#include <windows.h>

#include "app/win_zone_mark.h"

// Opens the program's own file for reading, puts its name as the ANSI code
// page writes it into path (kPathBytes, for messages) and its download zone
// into zone. INVALID_HANDLE_VALUE when it cannot be opened, or when its
// name has characters the ANSI code page lacks and the program cannot open
// it by its true name: the ANSI name, with those characters replaced by
// look-alikes, may name another file.
HANDLE OpenOwnFile(HINSTANCE instance, char* path, OwnZone& zone);
