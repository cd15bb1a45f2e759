#include "pack/header_levels.h"

#include <ctime>
#include <vector>

#include "archive/crc16.h"
#include "common/dbcs.h"
#include "common/file_time.h"
#include "common/le_bytes.h"
#include "common/lzh_format.h"

namespace {
using namespace lzh;

// A level-3 header's size is a 32-bit field; no writer makes one larger than
// a level-2 header can be, and a bound keeps a damaged field from asking for
// gigabytes.
constexpr std::size_t kLargestLevel3HeaderBytes = 1u << 16;
// What the OS-9/68K writer leaves out of a level-2 header's size.
constexpr unsigned kOs9_68kLevel2Shortfall = 2;

// The extended headers of one header, as they are met.
struct ExtendedState {
  std::string fileName, directory;
  bool hasFileName = false;
  bool crcSeen = false;
  std::uint16_t crc = 0;  // the last CRC header's; every one's bytes are zeroed
};

// The extended headers that only the packer gives meaning, the same at every
// level: the Unix ones (one too short for its value is skipped like an
// unknown one), and those that tell a name is exact.
void ReadPackerField(std::uint8_t type, const std::uint8_t* data, std::size_t dataBytes, HeaderFields& f) {
  const std::string text(reinterpret_cast<const char*>(data), dataBytes);
  switch (type) {
    case kExtUnixMode:
      if (dataBytes < kUnixModeBytes) return;
      f.hasUnixMode = true;
      f.unixMode = ReadLe16(data);
      return;
    case kExtUnixIds:
      if (dataBytes < kUnixIdsBytes) return;
      f.hasUnixIds = true;
      f.unixGid = ReadLe16(data);
      f.unixUid = ReadLe16(data + 2);
      return;
    case kExtUnixGroup:
      f.unixGroup = text;
      return;
    case kExtUnixUser:
      f.unixUser = text;
      return;
    case kExtUnixTime:
      if (dataBytes >= kUnixTimeBytes) f.modifiedTime = UnixToFileTime(ReadLe32(data));
      return;
    case kExtUtf16FileName:
    case kExtUtf16DirectoryName:
    case kExtCodePage:
      f.nameIsExact = true;
      return;
    default:
      return;  // unknown types are skipped
  }
}

// Applies one extended header: its type at bytes[pos], dataBytes of data
// after it. False when a type whose meaning the reader takes is too short
// for it, or says a size no archive can have.
bool ApplyExtendedHeader(std::vector<std::uint8_t>& bytes, std::size_t pos, std::size_t dataBytes,
                         HeaderFields& f, ExtendedState& s) {
  const std::uint8_t* data = bytes.data() + pos + 1;
  const std::string text(reinterpret_cast<const char*>(data), dataBytes);
  switch (bytes[pos]) {
    case kExtHeaderCrc:
      if (dataBytes < kHeaderCrcBytes) return false;
      s.crcSeen = true;
      s.crc = ReadLe16(data);
      bytes[pos + 1] = bytes[pos + 2] = 0;  // the CRC is that of the header with these zero
      return true;
    case kExtFileName:
      s.fileName = text;
      s.hasFileName = true;
      return true;
    case kExtDirectoryName:
      s.directory = text;
      return true;
    case kExtAttributes:
      if (dataBytes < kAttributesBytes) return false;
      if (f.osId == kOsIdMsdos) f.attributes = ReadLe16(data);
      return true;
    case kExtFileTimes:
      if (dataBytes < kFileTimesBytes) return false;
      f.modifiedTime = ReadLe64(data + kLastWriteTimeOffset);
      return true;
    case kExtLargeSizes: {
      if (dataBytes < kLargeSizesBytes) return false;
      const std::uint64_t compressed = ReadLe64(data), original = ReadLe64(data + kLargeSizeBytes);
      if ((compressed | original) >> 63) return false;  // a negative skip would never end
      f.compressedSize = static_cast<std::int64_t>(compressed);
      f.originalSize = static_cast<std::int64_t>(original);
      return true;
    }
    case kExtCodePage:
      if (dataBytes >= kCodePageBytes) f.codePage = ReadLe32(data);
      break;
    default:
      break;
  }
  ReadPackerField(bytes[pos], data, dataBytes, f);
  return true;
}

// The name: the directory's components, then the file name, '/' between.
// A name is cut at a zero byte: Amiga writers put the file's comment there.
void JoinName(ExtendedState& s, std::string baseName, HeaderFields& f) {
  if (s.hasFileName) baseName = s.fileName;
  std::string joined = s.directory.substr(0, s.directory.find('\0'));
  NormalizeSeparators(joined.data(), '/');
  if (!joined.empty() && joined.back() != '/') joined += '/';
  std::string file = baseName.substr(0, baseName.find('\0'));
  NormalizeSeparators(file.data(), '/');
  f.name = joined + file;
}

bool HeaderCrcHolds(const std::vector<std::uint8_t>& bytes, const ExtendedState& s) {
  return !s.crcSeen || Crc16(0, bytes.data(), bytes.size()) == s.crc;
}

void TakeCommonFields(const std::uint8_t* b, HeaderFields& f) {
  f.level = b[kOffLevel];
  f.method.assign(reinterpret_cast<const char*>(b + kOffMethod), kMethodNameBytes);
  f.compressedSize = ReadLe32(b + kOffCompressedSize);
  f.originalSize = ReadLe32(b + kOffOriginalSize);
  f.attributes = b[kOffAttribute];
}

// Levels 0 and 1: the fixed fields, the name and CRC, checked by the 8-bit
// sum; level 0's optional extended area, level 1's OS id and extended
// headers, which follow the header and count in the compressed size.
HeaderOutcome ReadLevel0Or1(const std::uint8_t* start, std::size_t startBytes, const ReadExactly& read,
                            HeaderFields& f) {
  const unsigned headerSize = start[kOffOldHeaderSize];
  const bool level1 = start[kOffLevel] == kHeaderLevel1;
  const unsigned minSize = level1 ? kLevel1MinSize : kLevel0MinSize;
  if (headerSize < minSize) return HeaderOutcome::Damaged;
  const std::size_t baseBytes = headerSize + kOldSummedFrom;
  if (startBytes > baseBytes) return HeaderOutcome::Damaged;
  std::vector<std::uint8_t> bytes(start, start + startBytes);
  bytes.resize(baseBytes);
  if (!read(bytes.data() + startBytes, baseBytes - startBytes)) return HeaderOutcome::ReadError;
  std::uint8_t sum = 0;
  for (std::size_t i = kOldSummedFrom; i < baseBytes; ++i) sum = static_cast<std::uint8_t>(sum + bytes[i]);
  if (sum != bytes[kOffOldChecksum]) return HeaderOutcome::Damaged;
  const unsigned nameBytes = bytes[kOffOldNameLength];
  if (minSize + nameBytes > headerSize) return HeaderOutcome::Damaged;

  TakeCommonFields(bytes.data(), f);
  f.modifiedTime = DosTimeToFileTime(ReadLe32(bytes.data() + kOffTimeStamp));
  const std::size_t namePos = kOffOldNameLength + 1, crcPos = namePos + nameBytes;
  const std::string baseName(reinterpret_cast<const char*>(bytes.data() + namePos), nameBytes);
  f.dataCrc = ReadLe16(bytes.data() + crcPos);
  ExtendedState s;
  const std::size_t afterCrc = crcPos + kOldCrcBytes;
  if (!level1) {
    // The Unix-style area: the system's id, a version, then the Unix time,
    // mode and ids. Any other area says nothing that readers agree on: the
    // member is then of no particular system.
    const std::uint8_t* area = bytes.data() + afterCrc;
    const std::size_t areaBytes = baseBytes - afterCrc;
    if (areaBytes >= kLevel0UnixAreaBytes && (area[0] == kOsIdUnix || area[0] == kOsIdOs9_68k) &&
        area[kLevel0UnixVersionOffset] == kLevel0UnixAreaVersion) {
      f.osId = area[0];
      f.modifiedTime = UnixToFileTime(ReadLe32(area + kLevel0UnixTimeOffset));
      f.hasUnixMode = true;
      f.unixMode = ReadLe16(area + kLevel0UnixModeOffset);
      f.hasUnixIds = true;
      f.unixUid = ReadLe16(area + kLevel0UnixUidOffset);
      f.unixGid = ReadLe16(area + kLevel0UnixGidOffset);
    }
    JoinName(s, baseName, f);
    return HeaderOutcome::Ok;
  }
  f.osId = bytes[afterCrc];
  std::uint64_t extendedBytes = 0;
  for (unsigned size = ReadLe16(bytes.data() + baseBytes - kSizeFieldBytes); size != 0;) {
    if (size < kExtOverheadBytes) return HeaderOutcome::Damaged;
    const std::size_t pos = bytes.size();
    bytes.resize(pos + size);
    if (!read(bytes.data() + pos, size)) return HeaderOutcome::ReadError;
    if (!ApplyExtendedHeader(bytes, pos, size - kExtOverheadBytes, f, s)) return HeaderOutcome::Damaged;
    extendedBytes += size;
    size = ReadLe16(bytes.data() + bytes.size() - kSizeFieldBytes);
  }
  // The extended headers are counted in the compressed size.
  if (extendedBytes > static_cast<std::uint64_t>(f.compressedSize)) return HeaderOutcome::Damaged;
  f.compressedSize -= static_cast<std::int64_t>(extendedBytes);
  if (!HeaderCrcHolds(bytes, s)) return HeaderOutcome::Damaged;
  JoinName(s, baseName, f);
  return HeaderOutcome::Ok;
}

// Levels 2 and 3: the fixed part, then extended headers, all within the
// header size; level 3 widens the header size and every extended header's
// size to 32 bits (the header size then follows the OS id). The OS-9/68K
// writer's level-2 header is 2 bytes longer than its size field says, those
// 2 bytes counted in its CRC; readers take them as part of the header.
HeaderOutcome ReadLevel2Or3(const std::uint8_t* start, std::size_t startBytes, const ReadExactly& read,
                            HeaderFields& f) {
  const bool level3 = start[kOffLevel] == kHeaderLevel3;
  const unsigned word = level3 ? kLevel3WordBytes : kSizeFieldBytes;
  const unsigned fixedBytes = level3 ? kLevel3FixedBytes : kFixedHeaderBytes;
  if ((level3 && ReadLe16(start) != kLevel3WordBytes) || startBytes > fixedBytes) return HeaderOutcome::Damaged;
  std::vector<std::uint8_t> bytes(start, start + startBytes);
  bytes.resize(fixedBytes);
  if (!read(bytes.data() + startBytes, fixedBytes - startBytes)) return HeaderOutcome::ReadError;
  std::uint32_t headerSize = level3 ? ReadLe32(bytes.data() + kOffLevel3HeaderSize) : ReadLe16(bytes.data());
  if (!level3 && ReadsLevel2Itself(bytes.data())) headerSize += kOs9_68kLevel2Shortfall;
  if (headerSize < fixedBytes || (level3 && headerSize > kLargestLevel3HeaderBytes)) return HeaderOutcome::Damaged;
  bytes.resize(headerSize);
  if (!read(bytes.data() + fixedBytes, headerSize - fixedBytes)) return HeaderOutcome::ReadError;

  TakeCommonFields(bytes.data(), f);
  f.modifiedTime = UnixToFileTime(ReadLe32(bytes.data() + kOffTimeStamp));
  f.dataCrc = ReadLe16(bytes.data() + kOffDataCrc);
  f.osId = bytes[kOffOsId];
  ExtendedState s;
  const unsigned overhead = 1 + word;
  for (std::size_t pos = level3 ? kOffLevel3FirstExtSize : kOffFirstExtSize;;) {
    const std::uint32_t size = level3 ? ReadLe32(bytes.data() + pos) : ReadLe16(bytes.data() + pos);
    if (size == 0) break;
    if (size < overhead || pos + word + size > headerSize) return HeaderOutcome::Damaged;
    if (!ApplyExtendedHeader(bytes, pos + word, size - overhead, f, s)) return HeaderOutcome::Damaged;
    pos += size;
  }
  if (!HeaderCrcHolds(bytes, s)) return HeaderOutcome::Damaged;
  JoinName(s, std::string(), f);
  return HeaderOutcome::Ok;
}

}  // namespace

bool IsMethodShape(const std::uint8_t* m) {
  for (unsigned i = 1; i + 1 < kMethodNameBytes; ++i)
    if (m[i] < 0x20 || m[i] > 0x7E) return false;
  return m[0] == '-' && m[kMethodNameBytes - 1] == '-';
}

HeaderOutcome ReadOtherLevelHeader(const std::uint8_t* start, std::size_t startBytes,
                                   const ReadExactly& read, HeaderFields& f) {
  if (startBytes <= kOffLevel) return HeaderOutcome::ReadError;
  f = HeaderFields();
  return start[kOffLevel] >= kHeaderLevel ? ReadLevel2Or3(start, startBytes, read, f)
                                          : ReadLevel0Or1(start, startBytes, read, f);
}

bool ReadsLevel2Itself(const std::uint8_t* start) { return start[kOffOsId] == kOsIdOs9_68k; }

void ReadPackerFieldsOfLevel2(const std::uint8_t* header, std::size_t headerBytes, HeaderFields& f) {
  for (std::size_t pos = kOffFirstExtSize; pos + kSizeFieldBytes <= headerBytes;) {
    const unsigned size = ReadLe16(header + pos);
    if (size < kExtOverheadBytes || pos + kSizeFieldBytes + size > headerBytes) return;
    ReadPackerField(header[pos + kSizeFieldBytes], header + pos + kSizeFieldBytes + 1, size - kExtOverheadBytes, f);
    pos += size;
  }
}

bool LooksLikeHeaderStart(const std::uint8_t* b, std::size_t available) {
  if (available <= kOffLevel || !IsMethodShape(b + kOffMethod)) return false;
  switch (b[kOffLevel]) {
    case kHeaderLevel0: return b[kOffOldHeaderSize] >= kLevel0MinSize;
    case kHeaderLevel1: return b[kOffOldHeaderSize] >= kLevel1MinSize;
    case kHeaderLevel: return ReadLe16(b + kOffHeaderSize) >= kFixedHeaderBytes;
    case kHeaderLevel3: return ReadLe16(b) == kLevel3WordBytes;
    default: return false;
  }
}

std::uint64_t DosTimeToFileTime(std::uint32_t dosTime) {
  std::tm tm{};
  tm.tm_sec = static_cast<int>(dosTime & 0x1F) * 2;
  tm.tm_min = static_cast<int>(dosTime >> 5 & 0x3F);
  tm.tm_hour = static_cast<int>(dosTime >> 11 & 0x1F);
  tm.tm_mday = static_cast<int>(dosTime >> 16 & 0x1F);
  tm.tm_mon = static_cast<int>(dosTime >> 21 & 0x0F) - 1;
  tm.tm_year = static_cast<int>(dosTime >> 25 & 0x7F) + 80;
  tm.tm_isdst = -1;
  const std::time_t t = std::mktime(&tm);
  return t == static_cast<std::time_t>(-1) ? 0 : UnixToFileTime(t);
}
