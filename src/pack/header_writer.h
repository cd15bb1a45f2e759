// Level-2 LZH member headers as the packer writes them: the 26-byte fixed
// part, then the extended headers for the header CRC (0x00), the file name
// (0x01), the directory name (0x02), the same in UTF-16 (0x44, 0x45) for a
// name outside code page 932, the Windows file times (0x41) where the
// fixed part's time stamp cannot say the time and, for members of 4 GiB or
// more, the 64-bit sizes (0x42). Nothing else: most archives are many small
// files, whose headers weigh as much as their data.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/lzh_format.h"

struct MemberEntry {
  char method = lzh::kMethodStored;  // '0', '5', '6', '7' or 'd'
  std::uint64_t compressedSize = 0;
  std::uint64_t originalSize = 0;
  std::int64_t modifiedSeconds = 0;     // since 1970-01-01 UTC
  std::uint32_t modifiedNanoseconds = 0;
  // Also carry the time to 100 ns in the file times header when the time
  // stamp's whole seconds could say it.
  bool exactTime = false;
  std::uint8_t attributes = lzh::kDosArchive;
  std::uint16_t dataCrc = 0;
  // In code page 932. The directory holds its components each followed by a
  // 0xFF separator ("a\xFFb\xFF"); a directory entry has an empty file name.
  // For a name that code page 932 cannot hold, they are its stand-in (see
  // pack/member_names.h) and the exact name follows in UTF-16, the
  // directory's components each followed by 0xFFFF; else these are empty.
  std::string directory;
  std::string fileName;
  std::u16string utf16Directory;
  std::u16string utf16FileName;
};

// Longest joined name (directory and file name) that every extractor,
// including ours with its 288-byte name buffer, takes without cutting it.
constexpr std::size_t kMaxMemberNameBytes = 255;

// The header bytes of the entry. A header whose length would be a multiple of
// 256 is lengthened by one byte inside its CRC header: readers take a first
// byte of 0 for the end of the archive.
std::vector<std::uint8_t> BuildMemberHeader(const MemberEntry& entry);
