#include "app/win_zone_mark.h"

#include "common/win_services.h"
#include "paths/win_name_rules.h"

namespace {
constexpr SysChar kZoneStream[] = SYS_TEXT(":Zone.Identifier");

// The stream of path: its name with the stream's appended.
__attribute__((noinline)) HANDLE OpenZoneStream(const SysChar* path, SysChar* name, DWORD access,
                                                DWORD disposition) {
  SYS_API(lstrcpy)(name, path);
  SYS_API(lstrcat)(name, kZoneStream);
  return SYS_API(CreateFile)(name, access, FILE_SHARE_READ, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}
}  // namespace

void ReadOwnZone(OwnZone& zone, const SysChar* executablePath) {
  SysChar name[kPathBytes + UnitsOf(kZoneStream)];
  zone.size = 0;
  HANDLE stream = OpenZoneStream(executablePath, name, GENERIC_READ, OPEN_EXISTING);
  if (stream == INVALID_HANDLE_VALUE) return;
  // A failed read has set the count to zero.
  ReadFile(stream, zone.bytes, sizeof zone.bytes, &zone.size, nullptr);
  CloseHandle(stream);
}

void MarkWithOwnZone(const OwnZone& zone, const SysChar* path) {
  if (!zone.size) return;
  SysChar name[kDestinationPathBytes + UnitsOf(kZoneStream)];
  HANDLE stream = OpenZoneStream(path, name, GENERIC_WRITE, CREATE_ALWAYS);
  if (stream == INVALID_HANDLE_VALUE) return;
  DWORD written;
  WriteFile(stream, zone.bytes, zone.size, &written, nullptr);
  CloseHandle(stream);
}
