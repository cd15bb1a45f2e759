// The %...% folder macros that the default folder and the auto-run command may
// hold, so that an archive can point at well-known folders of the target machine.
#pragma once

struct FolderMacro {
  const char* name;     // from '%' to '%' inclusive; null closes the table
  unsigned nameLength;  // units
};

enum FolderMacroRow {
  kMacroExtractDir = 0,
  kMacroSystemDir = 1,
  kMacroProgramFilesDir = 2,
  kMacroCommonFilesDir = 3,
  kMacroTemp = 4,
  kMacroExtractDirShort = 5,
  kMacroMyDocuments = 6,
  kMacroWindir = 7,
};

extern const FolderMacro kFolderMacros[9];

constexpr unsigned kMacroValueBytes = 260;  // units of each value: at most 259 and a zero

// Writes the value of a macro row into value (kMacroValueBytes units). The
// rows of the destination folder receive it as destinationFolder (never null
// there).
template <typename Unit>
using MacroValueFn = void (*)(int row, const Unit* destinationFolder, Unit* value);

// Copies source into dest (destSize units, terminated), replacing every macro
// of the table by its value. Without a destination folder (null) the two
// destination-folder macros stay as written. Output that would not fit is
// cut on a character boundary. Returns false when it had to cut. For bytes
// and UTF-16 alike (common/dbcs.h).
template <typename Unit>
bool ExpandFolderMacros(const Unit* source, Unit* dest, unsigned destSize,
                        const Unit* destinationFolder, MacroValueFn<Unit> valueOf);
