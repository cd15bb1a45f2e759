#include "pack/utf8_system.h"

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>
#endif

#ifdef _WIN32
namespace {
std::string Utf8FromWide(const wchar_t* wide) {
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return std::string();
  std::string utf8(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide, -1, &utf8[0], bytes, nullptr, nullptr);
  utf8.resize(static_cast<std::size_t>(bytes) - 1);
  return utf8;
}

// An empty result for text that is not UTF-8: such a path names no file.
std::wstring WideFromUtf8(const std::string& utf8) {
  const int count =
      MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.c_str(), -1, nullptr, 0);
  if (count <= 0) return std::wstring();
  std::wstring wide(static_cast<std::size_t>(count), L'\0');
  MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.c_str(), -1, &wide[0], count);
  wide.resize(static_cast<std::size_t>(count) - 1);
  return wide;
}
}  // namespace
#endif

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
  std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
#ifdef _WIN32
  int wideCount = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &wideCount);
  if (!wide) return args;
  // Both lists start with the program; should they split the line
  // differently, the ANSI arguments are the better guess.
  if (wideCount == argc)
    for (int i = 1; i < argc; ++i) args[static_cast<std::size_t>(i - 1)] = Utf8FromWide(wide[i]);
  LocalFree(wide);
#endif
  return args;
}

std::FILE* OpenUtf8File(const std::string& path, const char* mode) {
#ifdef _WIN32
  const std::wstring widePath = WideFromUtf8(path);
  const std::wstring wideMode = WideFromUtf8(mode);
  if (widePath.empty()) return nullptr;
  return _wfopen(widePath.c_str(), wideMode.c_str());
#else
  return std::fopen(path.c_str(), mode);
#endif
}
