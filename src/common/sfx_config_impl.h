// The text templates of common/sfx_config.h, for the files that instantiate them.
#pragma once

#include "common/dbcs.h"
#include "common/sfx_config.h"

template <typename Unit>
Unit* QuoteIfBlank(const Unit* path, Unit* dest, unsigned destSize) {
  unsigned length = 0;
  bool blank = false;
  for (; path[length]; ++length) blank = blank || path[length] == ' ';
  if (path[0] != '"' && blank && length + 3 <= destSize) {
    dest[0] = '"';
    for (unsigned i = 0; i < length; ++i) dest[i + 1] = path[i];
    dest[length + 1] = '"';
    dest[length + 2] = '\0';
  } else {
    CopyTextBounded(dest, path, destSize);
  }
  return dest;
}

template <typename Unit>
const Unit* CommandLineTail(const Unit* p) {
  if (*p == '"') {
    ++p;
    while (*p && *p != '"') p += CharUnits(p);
    if (*p == '"') ++p;
  } else {
    while (UnitValue(*p) > 0x20) ++p;
  }
  while (*p && UnitValue(*p) <= 0x20) ++p;
  return p;
}

#define QUORVEL_INSTANTIATE_SFX_CONFIG_TEXT(Unit)                \
  template Unit* QuoteIfBlank(const Unit*, Unit*, unsigned);       \
  template const Unit* CommandLineTail(const Unit*);
