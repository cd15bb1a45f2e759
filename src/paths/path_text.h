// Path text operations on ANSI byte strings in the process code page. They
// step over double-byte characters, so a trail byte that equals a separator
// (0x5C in Shift_JIS) is never taken for one.
#pragma once

// Turns every backslash, '/' and 0xFF outside double-byte characters into
// separator, in place. 0xFF separates directory levels in member headers.
void NormalizeSeparators(char* path, char separator);
