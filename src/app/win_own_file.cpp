#include "app/win_own_file.h"

#include "common/win_services.h"

#ifndef _WIN64
namespace {
// The ANSI API only: the ANSI name is used when it turns back into the true
// (wide) name exactly. Windows 95 has no wide name to compare with; there
// the file system's names are the code page's too.
bool NameRoundTrips(HINSTANCE instance, const char* path) {
  using GetModuleFileNameWFn = DWORD(WINAPI*)(HMODULE, LPWSTR, DWORD);
  const auto wideName =
      reinterpret_cast<GetModuleFileNameWFn>(SystemExport(kKernel32Dll, "GetModuleFileNameW"));
  wchar_t wide[kPathBytes];
  wchar_t back[kPathBytes];
  const DWORD wideLength = wideName ? wideName(instance, wide, kPathBytes) : 0;
  if (!wideLength) return true;
  const int backLength = MultiByteToWideChar(CP_ACP, 0, path, -1, back, kPathBytes);
  if (backLength != static_cast<int>(wideLength) + 1) return false;
  for (DWORD i = 0; i < wideLength; ++i)
    if (back[i] != wide[i]) return false;
  return true;
}
}  // namespace
#endif

HANDLE OpenOwnFile(HINSTANCE instance, SysChar* path, OwnZone& zone) {
  // The 64-bit stub's wide name is the file's true name.
  const DWORD n = SYS_API(GetModuleFileName)(instance, path, kPathBytes);
  if (n == 0 || n >= kPathBytes) return INVALID_HANDLE_VALUE;
#ifndef _WIN64
  if (!NameRoundTrips(instance, path)) return INVALID_HANDLE_VALUE;
#endif
  HANDLE file = SYS_API(CreateFile)(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) ReadOwnZone(zone, path);
  return file;
}
