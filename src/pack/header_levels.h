// The member headers the stub never reads: levels 0, 1 and 3, the OS-9/68K
// writer's level 2, and the extended headers of every level that only the
// packer gives meaning (the Unix ones, and those that tell a name is exact).
// Other level-2 headers are read by the engine; what it leaves alone is read
// here from the header bytes it keeps.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

// What a header says about its member, at any level.
struct HeaderFields {
  std::uint8_t level = 2;
  std::string method;              // the five bytes of the method field, "-lh5-"
  std::int64_t compressedSize = 0; // the member's data after the header
  std::int64_t originalSize = 0;
  std::uint64_t modifiedTime = 0;  // Windows file time, UTC
  std::uint16_t attributes = 0;
  std::uint16_t dataCrc = 0;
  std::uint8_t osId = 0;           // 0: none given (a level-0 header without a Unix-style area)
  std::string name;                // bytes, '/' between components
  std::uint32_t codePage = 0;      // of the name, from 0x46; 0: none said
  // The header gives the name in UTF-16 or names its code page, as only
  // writers of case-keeping systems do: the name is exactly as it is.
  bool nameIsExact = false;
  bool hasUnixMode = false;
  std::uint16_t unixMode = 0;
  bool hasUnixIds = false;
  std::uint16_t unixUid = 0, unixGid = 0;
  std::string unixUser, unixGroup;
};

enum class HeaderOutcome {
  Ok,
  Damaged,    // a size, checksum or CRC that does not hold
  ReadError,  // the archive ended inside the header
};

// Fills buffer with exactly count bytes of the archive; false when it ends
// first or cannot be read.
using ReadExactly = std::function<bool(std::uint8_t* buffer, std::size_t count)>;

// Reads the rest of a level-0, -1 or -3 header, or a level-2 header that the
// engine does not read (see ReadsLevel2Itself), whose first bytes (at least
// up to the level byte) are in start, leaving the archive at the member's
// data. Levels 0 and 1 must match their checksum, levels 1 to 3 their header
// CRC where they carry one.
HeaderOutcome ReadOtherLevelHeader(const std::uint8_t* start, std::size_t startBytes,
                                   const ReadExactly& read, HeaderFields& fields);

// Whether a level-2 header whose fixed part is in start (kFixedHeaderBytes)
// is read by ReadOtherLevelHeader: the OS-9/68K writer's, whose size field
// falls short of its length.
bool ReadsLevel2Itself(const std::uint8_t* start);

// The extended headers of a level-2 header (as the engine keeps it) that the
// engine leaves alone: the Unix mode, ids, owner names and time, and whether
// the name is exact. The chain has been checked by the engine.
void ReadPackerFieldsOfLevel2(const std::uint8_t* header, std::size_t headerBytes, HeaderFields& fields);

// Five bytes with the shape of a method name, "-" + three characters + "-".
bool IsMethodShape(const std::uint8_t* name);

// Bytes from start on that a header of any level could begin with: a size,
// a method name's shape and a known level. Used to find an archive behind
// another program.
bool LooksLikeHeaderStart(const std::uint8_t* bytes, std::size_t available);

// The time of an MS-DOS date and time (local time, as levels 0 and 1 carry
// it) as a Windows file time.
std::uint64_t DosTimeToFileTime(std::uint32_t dosTime);
