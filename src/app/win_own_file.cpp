#include "app/win_own_file.h"

#include "common/win_services.h"

namespace {
constexpr DWORD kShare = FILE_SHARE_READ | FILE_SHARE_WRITE;
constexpr unsigned kStreamNameUnits = kPathBytes + sizeof kZoneStreamSuffix;
}  // namespace

#ifdef _WIN64
// The wide name is the file's true name.
HANDLE OpenOwnFile(HINSTANCE instance, char* path, OwnZone& zone) {
  GetModuleFileNameA(instance, path, kPathBytes);
  wchar_t name[kStreamNameUnits];
  const DWORD n = GetModuleFileNameW(instance, name, kPathBytes);
  if (n == 0 || n >= kPathBytes) return INVALID_HANDLE_VALUE;
  HANDLE file = CreateFileW(name, GENERIC_READ, kShare, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return file;
  for (unsigned i = 0; i < sizeof kZoneStreamSuffix; ++i) name[n + i] = static_cast<wchar_t>(kZoneStreamSuffix[i]);
  ReadOwnZone(zone, CreateFileW(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                nullptr));
  return file;
}
#else
// The ANSI API only: the ANSI name is used when it turns back into the true
// (wide) name exactly. Windows 95 has no wide name to compare with; there
// the file system's names are the code page's too.
HANDLE OpenOwnFile(HINSTANCE instance, char* path, OwnZone& zone) {
  const DWORD n = GetModuleFileNameA(instance, path, kPathBytes);
  if (n == 0 || n >= kPathBytes) return INVALID_HANDLE_VALUE;
  using GetModuleFileNameWFn = DWORD(WINAPI*)(HMODULE, LPWSTR, DWORD);
  const auto wideName =
      reinterpret_cast<GetModuleFileNameWFn>(SystemExport("kernel32.dll", "GetModuleFileNameW"));
  wchar_t wide[kPathBytes];
  wchar_t back[kPathBytes];
  const DWORD wideLength = wideName ? wideName(instance, wide, kPathBytes) : 0;
  if (wideLength) {
    const int backLength = MultiByteToWideChar(CP_ACP, 0, path, -1, back, kPathBytes);
    if (backLength != static_cast<int>(wideLength) + 1) return INVALID_HANDLE_VALUE;
    for (DWORD i = 0; i < wideLength; ++i)
      if (back[i] != wide[i]) return INVALID_HANDLE_VALUE;
  }
  HANDLE file = CreateFileA(path, GENERIC_READ, kShare, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return file;
  char name[kStreamNameUnits];
  lstrcpyA(name, path);
  lstrcatA(name, kZoneStreamSuffix);
  ReadOwnZone(zone, CreateFileA(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                nullptr));
  return file;
}
#endif
