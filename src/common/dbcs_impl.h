// The templates of common/dbcs.h, for the files that instantiate them.
#pragma once

#include "common/dbcs.h"

template <typename Unit>
unsigned CharBoundaryPrefix(const Unit* text, unsigned limit) {
  unsigned i = 0;
  while (i < limit && text[i]) {
    const unsigned step = CharUnits(text + i);
    if (i + step > limit) break;
    i += step;
  }
  return i;
}

template <typename Unit>
unsigned CopyTextBounded(Unit* dst, const Unit* src, unsigned size) {
  if (size == 0) return 0;
  const unsigned n = CharBoundaryPrefix(src, size - 1);
  for (unsigned i = 0; i < n; ++i) dst[i] = src[i];
  dst[n] = '\0';
  return n;
}

template <typename Unit>
void NormalizeSeparators(Unit* path, char separator) {
  for (Unit* p = path; *p;) {
    const unsigned step = CharUnits(p);
    if (step == 1) {
      const unsigned c = UnitValue(*p);
      if (c == '\\' || c == '/' || c == kAllOnesUnit<Unit>) *p = separator;
    }
    p += step;
  }
}

#define QUORVEL_INSTANTIATE_DBCS(Unit)                                    \
  template unsigned CharBoundaryPrefix(const Unit*, unsigned);            \
  template unsigned CopyTextBounded(Unit*, const Unit*, unsigned);        \
  template void NormalizeSeparators(Unit*, char);
