// Mark-of-the-Web: Windows gives a downloaded file a Zone.Identifier stream
// naming the zone it came from, so that SmartScreen and Office can warn about
// it. Every file extracted from such a file gets the same stream, as Windows'
// own zip extraction does.
#pragma once

// Reads the program's own Zone.Identifier stream, if it has one (its first
// 4 KiB: the zone itself stands in the first line).
void ReadOwnZone();

// Gives the file at path the stream that ReadOwnZone found; nothing when
// there was none or the volume keeps no streams (FAT, Windows 95).
void MarkWithOwnZone(const char* path);
