// The level-2 LZH member header: a 26-byte fixed part followed by a chain of
// extended headers, read straight from the archive at its current position.
#pragma once

#include <cstdint>

constexpr unsigned kFixedHeaderBytes = 26;
constexpr unsigned kHeaderLevel = 2;
constexpr unsigned kJoinedNameBytes = 288;  // 287 name bytes and the closing zero

// Extended header types.
constexpr std::uint8_t kExtHeaderCrc = 0x00;
constexpr std::uint8_t kExtFileName = 0x01;
constexpr std::uint8_t kExtDirectoryName = 0x02;
constexpr std::uint8_t kExtAttributes = 0x40;
constexpr std::uint8_t kExtFileTimes = 0x41;
constexpr std::uint8_t kExtLargeSizes = 0x42;
constexpr std::uint8_t kOsIdMsdos = 'M';

enum class HeaderResult { Member, EndOfArchive, Damaged, Unsupported, OutOfMemory };

struct MemberHeaderRecord {
  std::uint8_t* bytes;         // the whole header, headerSize bytes, from Host.allocZeroed
  std::uint16_t headerSize;
  char method;                 // '0', '4'..'7' or 'd'
  // Compressed bytes of the member not yet fetched; counted down while the
  // member is decoded, used by the pass to skip what is left.
  std::int64_t compressedRemaining;
  std::int64_t originalSize;
  std::uint64_t modifiedTime;  // Windows file time, UTC
  std::uint16_t attributes;
  std::uint16_t dataCrc;
  std::uint8_t osId;
  std::uint16_t fileNamePos, fileNameLength;
  std::uint16_t directoryPos, directoryLength;
  bool headerCrcSeen;
  std::uint16_t headerCrc;
  std::uint16_t headerCrcPos;
};

extern MemberHeaderRecord MemberHeader;
// Directory and file name joined, '/' between components, zero-terminated.
extern char JoinedName[kJoinedNameBytes];

// Reads and checks the next header; on Member the archive stands at the
// member's data. The caller reports failures and frees the header bytes.
HeaderResult ReadMemberHeader();
void FreeMemberHeader();

// Seconds since 1970-01-01 UTC, signed; a negative stamp (past 2038-01-19)
// gives the current time.
std::uint64_t UnixTimeToFileTime(std::int32_t seconds);
