// Characters of the two kinds of text the stub works in, for the text rules
// that must hold alike in both: bytes in an ANSI code page (char; Shift_JIS
// for the archive's names) and UTF-16 (Utf16Unit below). A character is one
// code unit, or two: a lead byte and its trail byte, or a high surrogate and
// its low one. The rules never split a pair, never cut one in half and never
// take its second unit for anything else: a Shift_JIS trail byte may be 0x5C,
// the backslash. No second unit of either kind is below 0x40, so scans that
// look only for units below 0x40 (blank, tab, quote, '%', '/', '.', ':')
// need no stepping. Lengths and limits count units: bytes for char.
//
// The rules are templates over the unit, defined once in the *_impl.h
// headers (their helpers in unnamed namespaces, as in a .cpp file) and
// instantiated for char in their own .cpp files and for Utf16Unit in
// utf16_*.cpp. The kinds live in separate objects because the 64-bit stub's
// linker keeps every function of an object it takes (the unwind tables refer
// to them all): a stub that calls only the byte forms carries no other.
#pragma once

#include <cwchar>

// The UTF-16 code unit: wchar_t where it is 16 bits wide (Windows, whose wide
// functions take it), char16_t elsewhere.
#if WCHAR_MAX == 0xFFFF
using Utf16Unit = wchar_t;
#else
using Utf16Unit = char16_t;
#endif

// True when the byte starts a double-byte character in the active code page.
// Null (the start) means the code page 932 rule: a pointer that starts as
// zero keeps the 32-bit stub free of a data section of 512 bytes.
using LeadByteTestFn = bool (*)(unsigned char);
extern LeadByteTestFn LeadByteTest;

// Shift_JIS lead bytes: 0x81-0x9F and 0xE0-0xFC.
bool Cp932LeadByte(unsigned char byte);

constexpr unsigned UnitValue(char c) { return static_cast<unsigned char>(c); }
constexpr unsigned UnitValue(Utf16Unit unit) { return unit; }

// The unit whose bits are all set: the byte 0xFF separates the levels of a
// member header's directory field, the unit 0xFFFF those of its UTF-16 form
// (and is no character). U+00FF is a letter in UTF-16, never a separator.
template <typename Unit>
constexpr unsigned kAllOnesUnit = sizeof(Unit) == 1 ? 0xFFu : 0xFFFFu;

// A lead byte of the active code page (LeadByteTest); a high surrogate.
bool IsLead(char c);
constexpr bool IsLead(Utf16Unit unit) { return unit - 0xD800u < 0x400u; }

// A unit that may be the second of a pair: a trail byte (all are 0x40 and
// above in the double-byte code pages); a low surrogate.
constexpr bool IsTrail(char c) { return UnitValue(c) >= 0x40; }
constexpr bool IsTrail(Utf16Unit unit) { return unit - 0xDC00u < 0x400u; }

// Units of the character that starts at p: 2 for a pair, else 1. A lead byte
// takes whatever byte follows it but the end; a high surrogate takes only a
// low surrogate, and one without it stands alone.
inline unsigned CharUnits(const char* p) { return (IsLead(p[0]) && p[1]) ? 2 : 1; }
inline unsigned CharUnits(const Utf16Unit* p) { return (IsLead(p[0]) && IsTrail(p[1])) ? 2 : 1; }

template <typename Unit>
bool IsBlank(Unit c) {
  return c == ' ' || c == '\t';
}

template <typename Unit>
unsigned TextLength(const Unit* text) {
  unsigned n = 0;
  while (text[n]) ++n;
  return n;
}

// An empty text of the unit's kind.
inline const char* EmptyText(char) { return ""; }
inline const Utf16Unit* EmptyText(Utf16Unit) {
  static constexpr Utf16Unit kEmpty[1] = {};
  return kEmpty;
}

// Copies at most size - 1 units of src into dst and terminates it, never
// splitting a pair. Returns the length copied.
template <typename Unit>
unsigned CopyTextBounded(Unit* dst, const Unit* src, unsigned size);

// Turns every backslash, '/' and all-ones unit (0xFF, 0xFFFF) outside pairs
// into separator, in place: the all-ones unit separates directory levels in
// member headers, and a trail byte 0x5C is never taken for a backslash.
template <typename Unit>
void NormalizeSeparators(Unit* path, char separator);

// Length of the longest prefix of text that has at most limit units and
// does not end between the two units of a pair.
template <typename Unit>
unsigned CharBoundaryPrefix(const Unit* text, unsigned limit);
