#include "app/win_file_replace.h"

#include "app/win_engine_host.h"

namespace {
// Temporary names tried beside one file before giving up; each one found
// taken is most likely left from a run that was killed.
constexpr unsigned kTemporaryNamesTried = 100;
}  // namespace

HANDLE CreateFileBeside(const SysChar* path, unsigned folderBytes, SysChar* temporary, unsigned temporarySize) {
  static const char kName[] = "~qv00000.tmp";
  if (folderBytes + sizeof kName > temporarySize) return INVALID_HANDLE_VALUE;
  for (unsigned i = 0; i < folderBytes; ++i) temporary[i] = path[i];
  SysChar* name = temporary + folderBytes;
  for (unsigned i = 0; i < sizeof kName; ++i) name[i] = kName[i];
  for (unsigned number = 0; number < kTemporaryNamesTried; ++number) {
    for (unsigned digit = 7, n = number; digit > 2; --digit, n /= 10) name[digit] = static_cast<SysChar>('0' + n % 10);
    HANDLE file = SYS_API(CreateFile)(temporary, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    const DWORD error = GetLastError();
    if (file != INVALID_HANDLE_VALUE || (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)) return file;
  }
  return INVALID_HANDLE_VALUE;
}

bool ReplaceFileWith(const SysChar* written, const SysChar* destination) {
  SysChar aside[kDestinationPathBytes];
  unsigned n = 0;
  for (; written[n] && n + 1 < kDestinationPathBytes; ++n) aside[n] = written[n];
  aside[n] = '\0';
  if (n == 0) return false;
  aside[n - 1] = 'o';
  if (!SYS_API(MoveFile)(destination, aside)) return false;
  if (!SYS_API(MoveFile)(written, destination)) {
    SYS_API(MoveFile)(aside, destination);
    return false;
  }
  // The old file's read-only attribute was cleared before the replacement.
  SYS_API(DeleteFile)(aside);
  return true;
}
