#include "paths/win_folder_macros.h"

#include <windows.h>

#include "common/dbcs.h"
#include "common/win_sys_char.h"
#include "paths/folder_macros.h"

namespace {
struct ShellFolderKey {
  const SysChar* fallback;
  HKEY root;
  const SysChar* subkey;
  const SysChar* value;
};

const ShellFolderKey kShellFolderKeys[3] = {
    {SYS_TEXT("C:\\Program Files"), HKEY_LOCAL_MACHINE, SYS_TEXT("software\\Microsoft\\Windows\\CurrentVersion"),
     SYS_TEXT("ProgramFilesDir")},
    {SYS_TEXT("C:\\Program Files\\Common Files"), HKEY_LOCAL_MACHINE,
     SYS_TEXT("software\\Microsoft\\Windows\\CurrentVersion"), SYS_TEXT("CommonFilesDir")},
    {SYS_TEXT("C:\\My Documents"), HKEY_CURRENT_USER,
     SYS_TEXT("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders"), SYS_TEXT("Personal")},
};
}  // namespace

void GetShellFolder(SysChar* destination, ShellFolder folder) {
  const ShellFolderKey& k = kShellFolderKeys[static_cast<int>(folder)];
  SYS_API(lstrcpy)(destination, k.fallback);
  HKEY key;
  if (SYS_API(RegOpenKeyEx)(k.root, k.subkey, 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  // A missing value leaves the fallback; a string value replaces it. A value
  // of 260 units or more fails with ERROR_MORE_DATA and also leaves it.
  DWORD size = kMacroValueBytes * sizeof(SysChar);
  SYS_API(RegQueryValueEx)(key, k.value, nullptr, nullptr, reinterpret_cast<BYTE*>(destination), &size);
  destination[kMacroValueBytes - 1] = '\0';
  RegCloseKey(key);
}

void SystemMacroValue(int row, const SysChar* destinationFolder, SysChar* value) {
  switch (row) {
    case kMacroExtractDir:
      CopyTextBounded(value, destinationFolder, kMacroValueBytes);
      break;
    case kMacroExtractDirShort:
      CopyTextBounded(value, destinationFolder, kMacroValueBytes);
      // Without a short form (no such folder, or 8.3 names switched off) the
      // folder itself stays.
      if (SYS_API(GetShortPathName)(destinationFolder, value, kMacroValueBytes) >= kMacroValueBytes)
        CopyTextBounded(value, destinationFolder, kMacroValueBytes);
      break;
    case kMacroSystemDir:
      if (SYS_API(GetSystemDirectory)(value, kMacroValueBytes) >= kMacroValueBytes) value[0] = '\0';
      break;
    case kMacroWindir:
      if (SYS_API(GetWindowsDirectory)(value, kMacroValueBytes) >= kMacroValueBytes) value[0] = '\0';
      break;
    case kMacroTemp:
      if (SYS_API(GetTempPath)(kMacroValueBytes, value) >= kMacroValueBytes) value[0] = '\0';
      break;
    case kMacroProgramFilesDir:
      GetShellFolder(value, ShellFolder::ProgramFiles);
      break;
    case kMacroCommonFilesDir:
      GetShellFolder(value, ShellFolder::CommonFiles);
      break;
    case kMacroMyDocuments:
      GetShellFolder(value, ShellFolder::MyDocuments);
      break;
  }
}

void ExpandCommandText(const SysChar* text, SysChar* dest, unsigned destSize,
                       const SysChar* destinationFolder) {
  SysChar expanded[MAX_PATH];
  const DWORD n = SYS_API(ExpandEnvironmentStrings)(text, expanded, MAX_PATH);
  // An expansion that does not fit leaves the text as written rather than
  // an undefined buffer.
  if (n == 0 || n > MAX_PATH) CopyTextBounded(expanded, text, MAX_PATH);
  ExpandFolderMacros(expanded, dest, destSize, destinationFolder, SystemMacroValue);
}
