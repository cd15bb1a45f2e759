#include "app/win_file_replace.h"

#include "app/win_engine_host.h"

namespace {
// Temporary names tried beside one file before giving up; each one found
// taken is most likely left from a run that was killed.
constexpr unsigned kTemporaryNamesTried = 100;

// path's folder (up to and including its last separator; DBCS-safe, as '/'
// is never a trail byte and a trail 0x5C is stepped over), then ~qvNNNNN.tmp.
bool NameBeside(const char* path, unsigned number, char* out, unsigned outSize) {
  unsigned folderEnd = 0;
  for (unsigned i = 0; path[i]; ++i) {
    if (path[i] == '/' || path[i] == '\\') folderEnd = i + 1;
    else if (IsDBCSLeadByte(static_cast<BYTE>(path[i])) && path[i + 1]) ++i;
  }
  static const char kName[] = "~qv00000.tmp";
  if (folderEnd + sizeof kName > outSize) return false;
  for (unsigned i = 0; i < folderEnd; ++i) out[i] = path[i];
  for (unsigned i = 0; i < sizeof kName; ++i) out[folderEnd + i] = kName[i];
  for (unsigned digit = folderEnd + 7; digit > folderEnd + 2; --digit, number /= 10)
    out[digit] = static_cast<char>('0' + number % 10);
  return true;
}

bool NameTaken() {
  const DWORD error = GetLastError();
  return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS;
}
}  // namespace

HANDLE CreateFileBeside(const char* path, char* temporary, unsigned temporarySize) {
  for (unsigned number = 0; number < kTemporaryNamesTried; ++number) {
    if (!NameBeside(path, number, temporary, temporarySize)) break;
    HANDLE file = CreateFileA(temporary, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE || !NameTaken()) return file;
  }
  return INVALID_HANDLE_VALUE;
}

bool ReplaceFileWith(const char* written, const char* destination) {
  using MoveFileExFn = BOOL(WINAPI*)(LPCSTR, LPCSTR, DWORD);
  const auto moveFileEx = reinterpret_cast<MoveFileExFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "MoveFileExA")));
  // One step on the NT family. Where the function is missing or refuses (a
  // system that only has its name), the old file steps aside instead.
  if (moveFileEx && moveFileEx(written, destination, MOVEFILE_REPLACE_EXISTING)) return true;
  return ReplaceBySteppingAside(written, destination);
}

bool ReplaceBySteppingAside(const char* written, const char* destination) {
  // The old file steps aside under the written file's name with its last
  // letter changed (~qvNNNNN.tmo): free unless a killed run left it, and
  // then the replacement fails with the old file in place.
  char aside[kDestinationPathBytes];
  unsigned n = 0;
  for (; written[n] && n + 1 < sizeof aside; ++n) aside[n] = written[n];
  aside[n] = '\0';
  if (n == 0) return false;
  aside[n - 1] = 'o';
  if (!MoveFileA(destination, aside)) return false;
  if (!MoveFileA(written, destination)) {
    MoveFileA(aside, destination);
    return false;
  }
  // The old file's read-only attribute was cleared before the replacement.
  DeleteFileA(aside);
  return true;
}
