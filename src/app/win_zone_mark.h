// Mark-of-the-Web: Windows gives a downloaded file a Zone.Identifier stream
// naming the zone it came from, so that SmartScreen and Office can warn about
// it. Every file extracted from such a file gets the same stream, as Windows'
// own zip extraction does.
#pragma once

#include <windows.h>

#include "common/win_sys_char.h"

// The program's own stream as read: its first 4 KiB (the zone itself stands
// in the first line); no bytes when it has none.
struct OwnZone {
  DWORD size;
  char bytes[4096];
};

// Reads the stream of the program's own file at executablePath into zone.
void ReadOwnZone(OwnZone& zone, const SysChar* executablePath);

// Gives the file at path the stream zone holds; nothing when it holds none
// or the volume keeps no streams (FAT, Windows 95).
void MarkWithOwnZone(const OwnZone& zone, const SysChar* path);
