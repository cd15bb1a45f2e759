#include "app/win_file_replace.h"

#include "app/win_engine_host.h"
#include "common/win_services.h"

namespace {
// Temporary names tried beside one file before giving up; each one found
// taken is most likely left from a run that was killed.
constexpr unsigned kTemporaryNamesTried = 100;
// The number in a name made by CreateFileBeside: five digits that end four
// bytes before its end (".tmp").
void NumberName(SysChar* path, unsigned length, unsigned number) {
  for (unsigned digit = length - 5, n = number, i = 0; i < 5; --digit, ++i, n /= 10)
    path[digit] = static_cast<SysChar>('0' + n % 10);
}

bool WindowsReplace(const SysChar* written, const SysChar* destination) {
#ifdef _WIN64
  const auto replace = &ReplaceFileW;
#else
  // Windows 95 and NT 3.51 lack it.
  using ReplaceFileFn = BOOL(WINAPI*)(LPCSTR, LPCSTR, LPCSTR, DWORD, LPVOID, LPVOID);
  const auto replace = reinterpret_cast<ReplaceFileFn>(SystemExport(kKernel32Dll, "ReplaceFileA"));
  if (!replace) return false;
#endif
  // An old file that another program holds without letting it be deleted
  // is not handed to the replacement, which may then leave a file of its
  // own behind (Wine's does).
  HANDLE old = SYS_API(CreateFile)(destination, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (old == INVALID_HANDLE_VALUE) return false;
  CloseHandle(old);
  return replace(destination, written, nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) != FALSE;
}
}  // namespace

HANDLE CreateFileBeside(const SysChar* path, unsigned folderBytes, SysChar* temporary, unsigned temporarySize) {
  static const char kName[] = "~qv00000.tmp";
  if (folderBytes + sizeof kName > temporarySize) return INVALID_HANDLE_VALUE;
  for (unsigned i = 0; i < folderBytes; ++i) temporary[i] = path[i];
  SysChar* name = temporary + folderBytes;
  for (unsigned i = 0; i < sizeof kName; ++i) name[i] = kName[i];
  for (unsigned number = 0; number < kTemporaryNamesTried; ++number) {
    NumberName(temporary, folderBytes + sizeof kName - 1, number);
    HANDLE file = SYS_API(CreateFile)(temporary, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    const DWORD error = GetLastError();
    if (file != INVALID_HANDLE_VALUE || (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)) return file;
  }
  return INVALID_HANDLE_VALUE;
}

Replacement ReplaceFileWith(const SysChar* written, const SysChar* destination) {
  if (WindowsReplace(written, destination)) return Replacement::Done;
  SysChar aside[kDestinationPathBytes];
  unsigned n = 0;
  for (; written[n] && n + 1 < kDestinationPathBytes; ++n) aside[n] = written[n];
  aside[n] = '\0';
  if (n < 12) return Replacement::Failed;
  aside[n - 1] = 'o';
  // A name taken already (left by a crash, or an old file that was a running
  // program) holds someone's old file: it is never touched, another is tried.
  bool moved = false;
  for (unsigned number = 0; !moved && number < kTemporaryNamesTried; ++number) {
    NumberName(aside, n, number);
    moved = SYS_API(MoveFile)(destination, aside) != FALSE;
    const DWORD error = GetLastError();
    if (!moved && error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS) return Replacement::Failed;
  }
  if (!moved) return Replacement::Failed;
  if (!SYS_API(MoveFile)(written, destination)) {
    SYS_API(MoveFile)(aside, destination);
    return Replacement::Failed;
  }
  // The old file's read-only attribute was cleared before the replacement.
  if (SYS_API(DeleteFile)(aside)) return Replacement::Done;
  // A running program may be renamed but not deleted: it goes when Windows
  // restarts (the NT family only).
#ifdef _WIN64
  MoveFileExW(aside, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
#else
  using MoveFileExFn = BOOL(WINAPI*)(LPCSTR, LPCSTR, DWORD);
  const auto moveLater = reinterpret_cast<MoveFileExFn>(SystemExport(kKernel32Dll, "MoveFileExA"));
  if (moveLater) moveLater(aside, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
#endif
  return Replacement::OldLeft;
}
