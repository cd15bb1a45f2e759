// The floor of the Extract pass: the files of an archive written from memory
// with the fewest Win32 calls that can write them, CreateDirectoryA once per
// folder, then CreateFileA, WriteFile in 64 KiB pieces, SetFileTime and
// CloseHandle per file. What the pass costs beyond this is its own.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct FloorFile {
  std::vector<std::string> newFolders;  // created just before the file, parents first
  std::string relative;                 // below the destination, backslashes
  std::string data;
  FILETIME modified;
  bool isFile;  // false: a directory entry, only its folders are made
};

// Every member of the archive at offset in file, decoded into memory by the
// stub's engine, in archive order; false (with a line on stderr) when the
// archive cannot be read whole.
bool LoadFloorFiles(const char* archive, std::uint32_t offset, std::vector<FloorFile>& files);

// Writes the files below folder, which must not exist yet; false on the first
// failed call.
bool WriteFloorFiles(const std::vector<FloorFile>& files, const std::string& folder);
