// Double-byte awareness for texts in the ANSI code page. The stub asks Windows
// (IsDBCSLeadByte); native code and tests use the code page 932 rule.
#pragma once

// True when the byte starts a double-byte character in the active code page.
// Null (the start) means the code page 932 rule: a pointer that starts as
// zero keeps the 32-bit stub free of a data section of 512 bytes.
using LeadByteTestFn = bool (*)(unsigned char);
extern LeadByteTestFn LeadByteTest;

// Shift_JIS lead bytes: 0x81-0x9F and 0xE0-0xFC.
bool Cp932LeadByte(unsigned char byte);

bool IsLead(char c);

// Copies at most size - 1 bytes of src into dst and terminates it, never
// splitting a double-byte character. Returns the length copied.
unsigned CopyTextBounded(char* dst, const char* src, unsigned size);

// Turns every backslash, '/' and 0xFF outside double-byte characters into
// separator, in place. 0xFF separates directory levels in member headers, and
// the trail byte 0x5C of a double-byte character is never taken for a backslash.
void NormalizeSeparators(char* path, char separator);

// Length of the longest prefix of text that has at most limit bytes and does
// not end between a lead byte and its trail byte.
unsigned CharBoundaryPrefix(const char* text, unsigned limit);
