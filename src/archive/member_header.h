// The level-2 LZH member header: a 26-byte fixed part followed by a chain of
// extended headers, read straight from the archive at its current position.
#pragma once

#include <cstdint>

#include "archive/engine_host.h"
#include "common/lzh_format.h"

struct Engine;

constexpr unsigned kJoinedNameBytes = 288;  // 287 name bytes and the closing zero

struct MemberHeaderRecord {
  std::uint8_t* bytes;         // the whole header, headerSize bytes, from the host's allocZeroed
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
};

// Reads and checks the next header into e.header and e.joinedName, dropping
// the stored folder of the name when dropFolders. Ok: the archive stands at
// the member's data, whose sizes are sound (not negative, and equal for a
// stored member). Else EndOfArchive, Damaged (a read that fails counts as
// damage here), OutOfMemory, or Unsupported: a sound header, read and
// checked like any other, of a method the engine does not decode. The
// caller names failures and frees the header bytes.
EngineResult ReadMemberHeader(Engine& e, bool dropFolders);
void FreeMemberHeader(Engine& e);

// Seconds since 1970-01-01 UTC, signed; a negative stamp (past 2038-01-19)
// gives the current time, from the host's clock.
std::uint64_t UnixTimeToFileTime(Engine& e, std::int32_t seconds);
