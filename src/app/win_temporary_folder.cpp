#include "app/win_temporary_folder.h"

#include <windows.h>
#include <shellapi.h>

#include "common/win_services.h"

namespace {
// Folder names tried before giving up; each one found taken is most likely
// left from a run that was killed.
constexpr unsigned kFolderNamesTried = 100;
// How long the folder is tried again while something still holds it.
constexpr unsigned kDeleteTries = 50;
constexpr DWORD kDeleteRetryMs = 100;
}  // namespace

bool MakeTemporaryFolder(SysChar* folder) {
  SysChar temp[MAX_PATH];
  const DWORD n = SYS_API(GetTempPath)(MAX_PATH, temp);
  // Room for the name and what the extraction adds below it (a longer
  // temporary folder does not fit temp: n is then the size it needs).
  folder[0] = '\0';
  if (n == 0 || n + 16 > kDestinationFolderBytes) return false;
  const DWORD seed = GetTickCount();
  for (unsigned i = 0; i < kFolderNamesTried; ++i) {
    SYS_API(wsprintf)(folder, SYS_TEXT("%sqv%lx"), temp, seed + i);
    // A folder that exists already is never taken: whoever made it may
    // have put something into it.
    if (SYS_API(CreateDirectory)(folder, nullptr)) return true;
  }
  return false;
}

void DeleteTemporaryFolder(const SysChar* folder) {
  // The shell's delete walks the tree and takes read-only files too, without
  // a question. It came with the shell that can wait for a command; where it
  // is missing (NT 3.51) nothing was waited for, and the folder stays anyway.
  using FileOperation = SYS_API(SHFILEOPSTRUCT);
  using FileOperationFn = int(WINAPI*)(FileOperation*);
  const auto fileOperation =
      reinterpret_cast<FileOperationFn>(ShellExport(kSysWide ? "SHFileOperationW" : "SHFileOperationA"));
  if (!fileOperation) return;
  // A list of names, each ended by a zero, the list by one more.
  SysChar from[kPathBytes + 1];
  ZeroMemory(from, sizeof from);
  SYS_API(lstrcpy)(from, folder);  // at most 255 units, as MakeTemporaryFolder made sure
  FileOperation operation;
  ZeroMemory(&operation, sizeof operation);
  operation.wFunc = FO_DELETE;
  operation.pFrom = from;
  operation.fFlags = FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
  // The command's end is not always the end of everything it started: a
  // program it left running (a console host under Wine, a virus scanner
  // reading what was just written) may hold the folder a moment longer.
  // What could not go is tried again for a few seconds.
  for (unsigned tries = kDeleteTries; fileOperation(&operation) != 0 && --tries;) Sleep(kDeleteRetryMs);
}
