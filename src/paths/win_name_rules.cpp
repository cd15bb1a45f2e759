#include "paths/win_name_rules.h"

#include <windows.h>

NameRules SelectNameRules(const char* root) {
  DWORD maxComponent = 255;
  DWORD flags = 0;
  // A failed query leaves 255: long names are the safe default for the
  // volumes that cannot be asked, such as some network shares.
  GetVolumeInformationA(root, nullptr, 0, nullptr, &maxComponent, &flags, nullptr, 0);
  return maxComponent == 255 ? LongNames : ShortNames;
}

void CreatePathDirectories(const char* path) {
  char work[kMemberPathBytes];
  for (unsigned i = 0; i < kMemberPathBytes - 1 && path[i]; ++i) {
    // '/' is below 0x40 and never a trail byte.
    if (path[i] == '/') {
      work[i] = '\0';
      CreateDirectoryA(work, nullptr);
    }
    work[i] = path[i];
  }
}
