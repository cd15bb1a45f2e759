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

namespace {
// The folder of the path that CreatePathDirectories was given last, up to
// and including its last '/': every level of it exists, or could not be made.
char madeFolder[kMemberPathBytes];
unsigned madeFolderLength;
}  // namespace

void ForgetPathDirectories() { madeFolderLength = 0; }

unsigned CreatePathDirectories(const char* path) {
  // A level (the path before one of its '/') is known when it lies within
  // the bytes shared with madeFolder, which end in a '/' of their own. '/' is
  // below 0x40, never a trail byte, so a byte scan splits.
  unsigned same = 0;
  while (same < madeFolderLength && path[same] == madeFolder[same]) ++same;
  unsigned end = 0;
  for (unsigned i = 0; i < kMemberPathBytes - 1 && path[i]; ++i) {
    if (path[i] == '/') {
      if (i >= same) {
        madeFolder[i] = '\0';
        CreateDirectoryA(madeFolder, nullptr);
      }
      end = i + 1;
    }
    madeFolder[i] = path[i];
  }
  madeFolderLength = end;
  return end;
}
