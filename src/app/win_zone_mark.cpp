#include "app/win_zone_mark.h"

#include <windows.h>

#include "app/win_engine_host.h"
#include "common/win_services.h"

namespace {
constexpr char kZoneStream[] = ":Zone.Identifier";
char zone[4096];
DWORD zoneBytes;

// The stream of path: its name with the stream's appended.
__attribute__((noinline)) HANDLE OpenZoneStream(const char* path, char* name, DWORD access, DWORD disposition) {
  lstrcpyA(name, path);
  lstrcatA(name, kZoneStream);
  return CreateFileA(name, access, FILE_SHARE_READ, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}
}  // namespace

void ReadOwnZone() {
  char name[kPathBytes + sizeof kZoneStream];
  zoneBytes = 0;
  HANDLE stream = OpenZoneStream(ExecutablePath, name, GENERIC_READ, OPEN_EXISTING);
  if (stream == INVALID_HANDLE_VALUE) return;
  // A failed read has set the count to zero.
  ReadFile(stream, zone, sizeof zone, &zoneBytes, nullptr);
  CloseHandle(stream);
}

void MarkWithOwnZone(const char* path) {
  if (!zoneBytes) return;
  char name[kDestinationPathBytes + sizeof kZoneStream];
  HANDLE stream = OpenZoneStream(path, name, GENERIC_WRITE, CREATE_ALWAYS);
  if (stream == INVALID_HANDLE_VALUE) return;
  DWORD written;
  WriteFile(stream, zone, zoneBytes, &written, nullptr);
  CloseHandle(stream);
}
