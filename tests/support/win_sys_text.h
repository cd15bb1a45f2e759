// The stub's texts in tests, which speak UTF-8: to and from the stub's
// character kind (UTF-16 in the 64-bit stub; the ANSI code page in the
// 32-bit one, as its ANSI calls take it).
#pragma once

#include <windows.h>

#include <string>

#include "common/win_sys_char.h"

using SysString = std::basic_string<SysChar>;

inline std::wstring WideFromUtf8(const std::string& utf8) {
  std::wstring wide(utf8.size() + 1, L'\0');
  wide.resize(static_cast<std::size_t>(
      MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, &wide[0], static_cast<int>(wide.size())) - 1));
  return wide;
}

inline std::string Utf8FromWide(const wchar_t* wide) {
  std::string utf8(4 * static_cast<std::size_t>(lstrlenW(wide)) + 1, '\0');
  utf8.resize(static_cast<std::size_t>(
      WideCharToMultiByte(CP_UTF8, 0, wide, -1, &utf8[0], static_cast<int>(utf8.size()), nullptr, nullptr) - 1));
  return utf8;
}

inline SysString ToSys(const std::string& utf8) {
#if defined(_WIN64)
  return WideFromUtf8(utf8);
#else
  const std::wstring wide = WideFromUtf8(utf8);
  std::string ansi(2 * wide.size() + 1, '\0');
  ansi.resize(static_cast<std::size_t>(
      WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, &ansi[0], static_cast<int>(ansi.size()), nullptr, nullptr) -
      1));
  return ansi;
#endif
}

inline std::string FromSys(const SysChar* text) {
#if defined(_WIN64)
  return Utf8FromWide(text);
#else
  std::wstring wide(static_cast<std::size_t>(lstrlenA(text)) + 1, L'\0');
  wide.resize(static_cast<std::size_t>(
      MultiByteToWideChar(CP_ACP, 0, text, -1, &wide[0], static_cast<int>(wide.size())) - 1));
  return Utf8FromWide(wide.c_str());
#endif
}

// A text of the stub's kind in the ANSI code page, as the ...A calls give it.
inline std::string AnsiFromSys(const SysChar* text) {
#if defined(_WIN64)
  std::string ansi(2 * static_cast<std::size_t>(lstrlenW(text)) + 1, '\0');
  ansi.resize(static_cast<std::size_t>(
      WideCharToMultiByte(CP_ACP, 0, text, -1, &ansi[0], static_cast<int>(ansi.size()), nullptr, nullptr) - 1));
  return ansi;
#else
  return text;
#endif
}
