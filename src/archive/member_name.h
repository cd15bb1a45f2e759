// The member's name in Unicode, for the readers that build it (the packer's
// and the 64-bit stub's). The 32-bit stub reads only the byte name that
// ReadMemberHeader joins; so that it carries nothing more, the engine's walk
// leaves the Unicode fields alone and this file (an object of its own) finds
// them in the header bytes the engine keeps, whose chain it has checked.
//
// Each part of the name comes from the best field the header has: the
// folder from its UTF-16 field (0x45) where there is one, else from the byte
// field (0x02); the file name likewise (0x44, else 0x01). Byte fields are
// text in the header's code page (0x46, else 932). The core converts none:
// the caller's function does, on the parts of the joined byte name, so that
// the byte rules (a trail byte 0x5C is no separator) apply before conversion.
#pragma once

#include <cstdint>

#include "archive/member_header.h"
#include "common/dbcs.h"

struct UnicodeNameFields {
  // The UTF-16LE fields: position in the header bytes and size in bytes; a
  // size of 0 when the header has none. The later of two fields counts.
  std::uint16_t filePos, fileBytes;            // 0x44
  std::uint16_t directoryPos, directoryBytes;  // 0x45
  // The code page of the byte names: 0x46's (four bytes; a shorter field
  // names none), else 932.
  std::uint32_t codePage;
};

// Reads them from a header that ReadMemberHeader accepted.
UnicodeNameFields FindUnicodeNameFields(const MemberHeaderRecord& h);

// Converts count bytes of text in codePage into dest (at most destUnits
// units with the terminating zero). False when the text is not valid in
// that code page or does not fit.
using CodePageToUtf16Fn = bool (*)(void* context, std::uint32_t codePage, const char* text,
                                   unsigned count, Utf16Unit* dest, unsigned destUnits);

// The member's name in UTF-16 into dest, '/' between levels as in the
// joined byte name (joinedName, from the same ReadMemberHeader, with the same
// dropFolders), which supplies the parts without a UTF-16 field. False, with
// dest empty, when a UTF-16 field has an odd size, a byte part cannot be
// converted or the name does not fit: a cut name could land on another
// member's file.
bool BuildUtf16MemberName(const MemberHeaderRecord& h, const char* joinedName, bool dropFolders,
                          CodePageToUtf16Fn convert, void* context, Utf16Unit* dest,
                          unsigned destUnits);
