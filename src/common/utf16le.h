// Names that an archive stores as UTF-16 (the extended headers 0x44 and 0x45
// of common/lzh_format.h): little-endian units without a terminating zero.
// Turning them into the stub's own UTF-16 text needs no Windows; the name
// rules (paths/name_rules.h) then treat them as any other name, the unit
// 0xFFFF between directory levels included.
#pragma once

#include <cstdint>

#include "common/dbcs.h"

// Reads the units of such a field into dest (destUnits units, terminated). A
// zero unit ends the text early, as a zero byte ends a byte field. False, with
// dest empty, when the field has an odd number of bytes or its text does not
// fit: a name that is cut could land on another member's file.
bool ReadUtf16LeField(const std::uint8_t* field, unsigned fieldBytes, Utf16Unit* dest,
                      unsigned destUnits);
