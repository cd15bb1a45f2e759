#include "paths/win_name_rules.h"

#include <windows.h>

NameRules SelectNameRules(const SysChar* root) {
  DWORD maxComponent = 255;
  DWORD flags = 0;
  // A failed query leaves 255: long names are the safe default for the
  // volumes that cannot be asked, such as some network shares.
  SYS_API(GetVolumeInformation)(root, nullptr, 0, nullptr, &maxComponent, &flags, nullptr, 0);
  return maxComponent == 255 ? LongNames : ShortNames;
}

unsigned CreatePathDirectories(MadeFolder& made, const SysChar* path) {
  // A level (the path before one of its '/') is known when it lies within
  // the units shared with made.path, which end in a '/' of their own. '/' is
  // below 0x40, never the second unit of a pair, so a plain scan splits.
  unsigned same = 0;
  while (same < made.length && path[same] == made.path[same]) ++same;
  unsigned end = 0;
  for (unsigned i = 0; i < kMemberPathBytes - 1 && path[i]; ++i) {
    if (path[i] == '/') {
      if (i >= same) {
        made.path[i] = '\0';
        const bool created = SYS_API(CreateDirectory)(made.path, nullptr) != FALSE;
        if (made.ledger && i >= made.ledgerBase) {
          const SysChar* relative = made.path + made.ledgerBase;
          if (created ? !RecordEntry(*made.ledger, relative) : !HoldsEntry(*made.ledger, relative))
            made.foreign = true;
        }
      }
      end = i + 1;
    }
    made.path[i] = path[i];
  }
  made.length = end;
  return end;
}
