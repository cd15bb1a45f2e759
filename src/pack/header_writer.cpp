#include "pack/header_writer.h"

#include <mutex>

#include "archive/crc16.h"
#include "common/exe_layout.h"

namespace {

constexpr std::size_t kFixedPartBytes = 26;
constexpr std::size_t kExtendedOverheadBytes = 3;  // type byte and next-size field
constexpr std::uint8_t kHeaderLevel2 = 2;
constexpr std::uint8_t kOsMsdos = 'M';
constexpr std::uint8_t kExtCrc = 0x00, kExtFileName = 0x01, kExtDirectory = 0x02,
                       kExtFileTimes = 0x41, kExtLargeSizes = 0x42;
constexpr std::size_t kFileTimesBytes = 24;   // creation, last write, last access
constexpr std::size_t kLargeSizesBytes = 16;  // compressed, original
constexpr std::int64_t kFileTimeUnixEpochSeconds = 11644473600;

void PutLe64(std::uint8_t* p, std::uint64_t v) {
  for (int i = 0; i < 8; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// Appends one extended header: its type and data; the caller's chain gets the
// size of the next one written into its last two bytes.
void AppendExtended(std::vector<std::uint8_t>& header, std::uint8_t type, const void* data,
                    std::size_t size) {
  // The previous next-size field (the fixed part's at offset 24, or the last
  // two bytes of the previous extended header) gets this one's size.
  std::size_t total = size + kExtendedOverheadBytes;
  exe_layout::WriteLe16(&header[header.size() - 2], static_cast<std::uint16_t>(total));
  header.push_back(type);
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  header.insert(header.end(), bytes, bytes + size);
  header.push_back(0);
  header.push_back(0);
}

const std::uint16_t* CrcTable() {
  static std::once_flag built;
  std::call_once(built, [] { BuildCrcTable(kCrcPolynomial); });
  return crcTable;
}

}  // namespace

std::uint16_t PackCrc16(const std::uint8_t* data, std::size_t size, std::uint16_t crc) {
  const std::uint16_t* table = CrcTable();
  for (std::size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return crc;
}

std::uint64_t UnixToFileTime(std::int64_t seconds, std::uint32_t nanoseconds) {
  std::int64_t since1601 = seconds + kFileTimeUnixEpochSeconds;
  if (since1601 < 0) return 0;
  return static_cast<std::uint64_t>(since1601) * 10000000u + nanoseconds / 100;
}

std::vector<std::uint8_t> BuildMemberHeader(const MemberEntry& entry) {
  const bool large = entry.compressedSize > 0xFFFFFFFFu || entry.originalSize > 0xFFFFFFFFu;
  std::vector<std::uint8_t> header(kFixedPartBytes, 0);
  std::uint8_t* fixed = header.data();
  fixed[2] = '-';
  fixed[3] = 'l';
  fixed[4] = 'h';
  fixed[5] = static_cast<std::uint8_t>(entry.method);
  fixed[6] = '-';
  exe_layout::WriteLe32(fixed + 7, large ? 0 : static_cast<std::uint32_t>(entry.compressedSize));
  exe_layout::WriteLe32(fixed + 11, large ? 0 : static_cast<std::uint32_t>(entry.originalSize));
  // The fixed part holds the time as an unsigned 32-bit count of seconds;
  // the 0x41 header keeps the exact time, also beyond what that field holds.
  std::int64_t stamp = entry.modifiedSeconds;
  if (stamp < 0) stamp = 0;
  if (stamp > 0xFFFFFFFF) stamp = 0xFFFFFFFF;
  exe_layout::WriteLe32(fixed + 15, static_cast<std::uint32_t>(stamp));
  fixed[19] = entry.attributes;
  fixed[20] = kHeaderLevel2;
  exe_layout::WriteLe16(fixed + 21, entry.dataCrc);
  fixed[23] = kOsMsdos;

  // The CRC header comes first so its place is fixed; its two bytes stay 0
  // while the CRC is computed.
  const std::uint8_t crcPlaceholder[2] = {0, 0};
  const std::size_t crcPos = header.size() + 1;
  AppendExtended(header, kExtCrc, crcPlaceholder, 2);
  if (!entry.fileName.empty())
    AppendExtended(header, kExtFileName, entry.fileName.data(), entry.fileName.size());
  if (!entry.directory.empty())
    AppendExtended(header, kExtDirectory, entry.directory.data(), entry.directory.size());
  std::uint8_t times[kFileTimesBytes];
  std::uint64_t fileTime = UnixToFileTime(entry.modifiedSeconds, entry.modifiedNanoseconds);
  // The modification time stands for all three: the others are not part of
  // what the archive promises to restore, and the output stays reproducible.
  PutLe64(times, fileTime);
  PutLe64(times + 8, fileTime);
  PutLe64(times + 16, fileTime);
  AppendExtended(header, kExtFileTimes, times, sizeof times);
  if (large) {
    std::uint8_t sizes[kLargeSizesBytes];
    PutLe64(sizes, entry.compressedSize);
    PutLe64(sizes + 8, entry.originalSize);
    AppendExtended(header, kExtLargeSizes, sizes, sizeof sizes);
  }

  if (header.size() % 256 == 0) {
    // Lengthen the CRC header by one zero byte: its size field at offset 24
    // grows, and readers skip the extra byte as part of that header.
    header.insert(header.begin() + static_cast<std::ptrdiff_t>(crcPos + 2), 0);
    exe_layout::WriteLe16(&header[24], static_cast<std::uint16_t>(2 + 1 + kExtendedOverheadBytes));
  }
  exe_layout::WriteLe16(&header[0], static_cast<std::uint16_t>(header.size()));
  std::uint16_t crc = PackCrc16(header.data(), header.size(), 0);
  exe_layout::WriteLe16(&header[crcPos], crc);
  return header;
}
