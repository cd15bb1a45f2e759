#include "paths/folder_macros.h"

#include "common/dbcs.h"

const FolderMacro kFolderMacros[9] = {
    {"%ExtractDir%", 12},      {"%SystemDir%", 11}, {"%ProgramFilesDir%", 17},
    {"%CommonFilesDir%", 16},  {"%TEMP%", 6},       {"%ExtractDirX%", 13},
    {"%MyDocuments%", 13},     {"%windir%", 8},     {nullptr, 0},
};

namespace {
int MatchMacro(const char* at) {
  for (int row = 0; kFolderMacros[row].name; ++row) {
    const FolderMacro& m = kFolderMacros[row];
    unsigned i = 0;
    while (i < m.nameLength && at[i] == m.name[i]) ++i;
    if (i == m.nameLength) return row;
  }
  return -1;
}

// Appends text to dest at *used, keeping room for the terminating zero and
// never splitting a double-byte character. Returns false when it had to cut.
bool Append(char* dest, unsigned destSize, unsigned* used, const char* text, unsigned length) {
  const unsigned room = destSize - 1 - *used;
  unsigned n = length <= room ? length : CharBoundaryPrefix(text, room);
  for (unsigned i = 0; i < n; ++i) dest[(*used)++] = text[i];
  return n == length;
}
}  // namespace

bool ExpandFolderMacros(const char* source, char* dest, unsigned destSize,
                        const char* destinationFolder, MacroValueFn valueOf) {
  unsigned used = 0;
  bool whole = true;
  const char* p = source;
  while (*p && whole) {
    const int row = *p == '%' ? MatchMacro(p) : -1;
    const bool needsFolder = row == kMacroExtractDir || row == kMacroExtractDirShort;
    if (row < 0 || (needsFolder && !destinationFolder)) {
      // A source byte, copied with its trail byte so a cut never splits it.
      const unsigned step = (IsLead(*p) && p[1]) ? 2 : 1;
      whole = Append(dest, destSize, &used, p, step);
      p += step;
      continue;
    }
    char value[kMacroValueBytes];
    value[0] = '\0';
    valueOf(row, destinationFolder, value);
    value[kMacroValueBytes - 1] = '\0';
    unsigned length = 0;
    while (value[length]) ++length;
    whole = Append(dest, destSize, &used, value, length);
    p += kFolderMacros[row].nameLength;
  }
  dest[used] = '\0';
  return whole;
}
