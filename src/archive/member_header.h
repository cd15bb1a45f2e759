// The level-2 LZH member header: a 26-byte fixed part followed by a chain of
// extended headers, read straight from the archive at its current position.
#pragma once

#include <cstdint>

#include "common/lzh_format.h"

constexpr unsigned kJoinedNameBytes = 288;  // 287 name bytes and the closing zero

enum class HeaderResult { Member, EndOfArchive, Damaged, Unsupported, OutOfMemory };

// The message (string id) that reports a result: 0 for Member and
// EndOfArchive, which are no failures.
int HeaderResultMessage(HeaderResult result);

struct MemberHeaderRecord {
  std::uint8_t* bytes;         // the whole header, headerSize bytes, from Host.allocZeroed
  std::uint16_t headerSize;
  char method;                 // lzh::IsReadableMethod
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
// member's data, whose sizes are sound: not negative, and equal for a stored
// member. The caller reports failures and frees the header bytes.
HeaderResult ReadMemberHeader();
void FreeMemberHeader();

// Seconds since 1970-01-01 UTC, signed; a negative stamp (past 2038-01-19)
// gives the current time.
std::uint64_t UnixTimeToFileTime(std::int32_t seconds);
