// The character of the stub's texts and paths, and the Win32 names that take
// it, so that one source serves both stubs. The 64-bit stub works in UTF-16
// and calls the wide functions: every name and text arrives whole, whatever
// the system's ANSI code page. The 32-bit stub works in bytes of the ANSI
// code page and calls the ...A functions: Windows 95 has (almost) no wide
// ones. The text rules of common/dbcs.h hold alike for both kinds.
#pragma once

#include <windows.h>

#include "common/dbcs.h"

#if defined(_WIN64)
using SysChar = wchar_t;
// A literal of the stub's character kind.
#define SYS_TEXT(literal) L##literal
// The Win32 function or structure of the stub's character kind:
// SYS_API(CreateFile) is CreateFileW in the 64-bit stub, CreateFileA in the
// 32-bit one.
#define SYS_API(name) name##W
constexpr bool kSysWide = true;
#else
using SysChar = char;
#define SYS_TEXT(literal) literal
#define SYS_API(name) name##A
constexpr bool kSysWide = false;
#endif

static_assert(sizeof(SysChar) == 1 || sizeof(SysChar) == sizeof(Utf16Unit), "a wide SysChar is a UTF-16 unit");

// A resource id as the resource functions of the stub's kind take it.
inline const SysChar* SysResourceId(UINT id) {
  return reinterpret_cast<const SysChar*>(static_cast<ULONG_PTR>(static_cast<WORD>(id)));
}

// The units of a text buffer (an array of SysChar or char), as the text
// rules and the ...W functions count them; sizeof counts bytes.
template <typename Unit, unsigned long long N>
constexpr unsigned UnitsOf(const Unit (&)[N]) {
  return static_cast<unsigned>(N);
}
