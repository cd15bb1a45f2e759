#include "pack/utf8_args.h"

#ifdef _WIN32
#include <windows.h>
#include <shellapi.h>
#endif

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
  std::vector<std::string> args(argv, argv + argc);
#ifdef _WIN32
  int wideCount = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &wideCount);
  if (!wide) return args;
  // The wide list starts with the program; the subcommand's list with its name.
  if (wideCount == argc + 1) {
    for (int i = 0; i < argc; ++i) {
      const wchar_t* w = wide[i + 1];
      int bytes = WideCharToMultiByte(CP_UTF8, 0, w, -1, nullptr, 0, nullptr, nullptr);
      if (bytes <= 0) continue;
      std::string utf8(static_cast<std::size_t>(bytes), '\0');
      WideCharToMultiByte(CP_UTF8, 0, w, -1, &utf8[0], bytes, nullptr, nullptr);
      utf8.resize(static_cast<std::size_t>(bytes) - 1);
      args[static_cast<std::size_t>(i)] = utf8;
    }
  }
  LocalFree(wide);
#endif
  return args;
}
