// The template of paths/folder_macros.h, for the files that instantiate it.
#pragma once

#include "common/dbcs.h"
#include "paths/folder_macros.h"

namespace {
template <typename Unit>
int MatchMacro(const Unit* at) {
  for (int row = 0; kFolderMacros[row].name; ++row) {
    const FolderMacro& m = kFolderMacros[row];
    unsigned i = 0;
    while (i < m.nameLength && at[i] == m.name[i]) ++i;
    if (i == m.nameLength) return row;
  }
  return -1;
}

// Appends text to dest at *used, keeping room for the terminating zero and
// never splitting a pair. Returns false when it had to cut.
template <typename Unit>
bool Append(Unit* dest, unsigned destSize, unsigned* used, const Unit* text, unsigned length) {
  const unsigned room = destSize - 1 - *used;
  unsigned n = length <= room ? length : CharBoundaryPrefix(text, room);
  for (unsigned i = 0; i < n; ++i) dest[(*used)++] = text[i];
  return n == length;
}
}  // namespace

template <typename Unit>
bool ExpandFolderMacros(const Unit* source, Unit* dest, unsigned destSize,
                        const Unit* destinationFolder, MacroValueFn<Unit> valueOf) {
  unsigned used = 0;
  bool whole = true;
  const Unit* p = source;
  while (*p && whole) {
    const int row = *p == '%' ? MatchMacro(p) : -1;
    const bool needsFolder = row == kMacroExtractDir || row == kMacroExtractDirShort;
    if (row < 0 || (needsFolder && !destinationFolder)) {
      // A source character, copied whole so a cut never splits it.
      const unsigned step = CharUnits(p);
      whole = Append(dest, destSize, &used, p, step);
      p += step;
      continue;
    }
    Unit value[kMacroValueBytes];
    value[0] = '\0';
    valueOf(row, destinationFolder, value);
    value[kMacroValueBytes - 1] = '\0';
    whole = Append(dest, destSize, &used, value, TextLength(value));
    p += kFolderMacros[row].nameLength;
  }
  dest[used] = '\0';
  return whole;
}

#define QUORVEL_INSTANTIATE_FOLDER_MACROS(Unit) \
  template bool ExpandFolderMacros(const Unit*, Unit*, unsigned, const Unit*, MacroValueFn<Unit>);
