// Level-2 LZH archives for the tests under Wine: stored members and directory
// entries, each header with its CRC (built by lzh_test_data.h), after an
// executable-shaped prefix.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct Member {
  Member(std::string name_, std::string data_, char method_ = '0', std::string directory_ = "");
  std::string name;       // file name; may hold '/' or '\\' itself
  std::string data;
  char method;            // '0' stored, 'd' directory entry
  std::string directory;  // stored directory, components ending in 0xFF
  std::uint32_t unixTime = 1000000000;  // 2001-09-09 01:46:40 UTC
  std::uint8_t attributes = 0x20;
  int crcDelta = 0;       // makes the data CRC wrong
  std::string extraData;  // bytes after the data that the sizes count (directory entries)
  std::u16string utf16Name;  // the file name's UTF-16 field (0x44), when not empty
};

// One level-2 header and its data.
std::string MemberBytes(const Member& m);

// The members and the end byte.
std::string ArchiveBytes(const std::vector<Member>& members);

// prefixBytes of an executable-shaped prefix ("MZ", zeros), then the archive.
std::string ArchiveFile(const std::vector<Member>& members, unsigned prefixBytes = 1536);
std::string ExecutablePrefix(unsigned prefixBytes = 1536);
