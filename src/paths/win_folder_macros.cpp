#include "paths/win_folder_macros.h"

#include <windows.h>

#include "common/dbcs.h"
#include "paths/folder_macros.h"

namespace {
struct ShellFolderKey {
  const char* fallback;
  HKEY root;
  const char* subkey;
  const char* value;
};

const ShellFolderKey kShellFolderKeys[3] = {
    {"C:\\Program Files", HKEY_LOCAL_MACHINE, "software\\Microsoft\\Windows\\CurrentVersion",
     "ProgramFilesDir"},
    {"C:\\Program Files\\Common Files", HKEY_LOCAL_MACHINE,
     "software\\Microsoft\\Windows\\CurrentVersion", "CommonFilesDir"},
    {"C:\\My Documents", HKEY_CURRENT_USER,
     "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders", "Personal"},
};
}  // namespace

void GetShellFolder(char* destination, ShellFolder folder) {
  const ShellFolderKey& k = kShellFolderKeys[static_cast<int>(folder)];
  lstrcpyA(destination, k.fallback);
  HKEY key;
  if (RegOpenKeyExA(k.root, k.subkey, 0, KEY_READ, &key) != ERROR_SUCCESS) return;
  // A missing value leaves the fallback; a string value replaces it. A value
  // of 260 bytes or more fails with ERROR_MORE_DATA and also leaves it.
  DWORD size = kMacroValueBytes;
  RegQueryValueExA(key, k.value, nullptr, nullptr, reinterpret_cast<BYTE*>(destination), &size);
  destination[kMacroValueBytes - 1] = '\0';
  RegCloseKey(key);
}

void SystemMacroValue(int row, const char* destinationFolder, char* value) {
  switch (row) {
    case kMacroExtractDir:
      CopyTextBounded(value, destinationFolder, kMacroValueBytes);
      break;
    case kMacroExtractDirShort:
      CopyTextBounded(value, destinationFolder, kMacroValueBytes);
      // Without a short form (no such folder, or 8.3 names switched off) the
      // folder itself stays.
      if (GetShortPathNameA(destinationFolder, value, kMacroValueBytes) >= kMacroValueBytes)
        CopyTextBounded(value, destinationFolder, kMacroValueBytes);
      break;
    case kMacroSystemDir:
      if (GetSystemDirectoryA(value, kMacroValueBytes) >= kMacroValueBytes) value[0] = '\0';
      break;
    case kMacroWindir:
      if (GetWindowsDirectoryA(value, kMacroValueBytes) >= kMacroValueBytes) value[0] = '\0';
      break;
    case kMacroTemp:
      if (GetTempPathA(kMacroValueBytes, value) >= kMacroValueBytes) value[0] = '\0';
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

void ExpandCommandText(const char* text, char* dest, unsigned destSize,
                       const char* destinationFolder) {
  char expanded[MAX_PATH];
  const DWORD n = ExpandEnvironmentStringsA(text, expanded, sizeof expanded);
  // An expansion that does not fit leaves the text as written rather than
  // an undefined buffer.
  if (n == 0 || n > sizeof expanded) CopyTextBounded(expanded, text, sizeof expanded);
  ExpandFolderMacros(expanded, dest, destSize, destinationFolder, SystemMacroValue);
}
