#include "pack/header_writer.h"

#include <utility>

#include "archive/crc16.h"
#include "common/file_time.h"
#include "common/le_bytes.h"
#include "pack/os_conventions.h"

namespace {
using namespace lzh;

// Appends one extended header: its type and data, then a next-size field of
// 0 that ends the chain until another one follows. The field before it (the
// fixed part's, or the last one of the previous extended header) gets its size.
void AppendExtended(std::vector<std::uint8_t>& header, std::uint8_t type, const void* data,
                    std::size_t size) {
  const std::size_t total = size + kExtOverheadBytes;
  WriteLe16(&header[header.size() - kSizeFieldBytes], static_cast<std::uint16_t>(total));
  header.push_back(type);
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  header.insert(header.end(), bytes, bytes + size);
  header.insert(header.end(), kSizeFieldBytes, 0);
}

void WriteFixedPart(std::uint8_t* fixed, const MemberEntry& entry, bool large) {
  for (unsigned i = 0; i < kMethodLetterPos; ++i)
    fixed[kOffMethod + i] = static_cast<std::uint8_t>(kMethodNamePrefix[i]);
  fixed[kOffMethod + kMethodLetterPos] = static_cast<std::uint8_t>(entry.method);
  fixed[kOffMethod + kMethodLetterPos + 1] = static_cast<std::uint8_t>(kMethodNameEnd);
  WriteLe32(fixed + kOffCompressedSize, large ? 0 : static_cast<std::uint32_t>(entry.compressedSize));
  WriteLe32(fixed + kOffOriginalSize, large ? 0 : static_cast<std::uint32_t>(entry.originalSize));
  // Readers that take the field as unsigned get the times up to 2106 right;
  // the file times header keeps times outside the field's range.
  std::int64_t stamp = entry.modifiedSeconds;
  if (stamp < 0) stamp = 0;
  if (stamp > 0xFFFFFFFF) stamp = 0xFFFFFFFF;
  WriteLe32(fixed + kOffTimeStamp, static_cast<std::uint32_t>(stamp));
  fixed[kOffAttribute] = entry.attributes;
  fixed[kOffLevel] = kHeaderLevel;
  WriteLe16(fixed + kOffDataCrc, entry.dataCrc);
  fixed[kOffOsId] = kOsIdMsdos;
}

bool NeedsFileTimes(const MemberEntry& entry) {
  return entry.exactTime || entry.modifiedSeconds < kEarliestTimeStamp ||
         entry.modifiedSeconds > kLatestTimeStamp;
}

}  // namespace

std::vector<std::uint8_t> BuildMemberHeader(const MemberEntry& entry) {
  const bool large = entry.compressedSize > 0xFFFFFFFFu || entry.originalSize > 0xFFFFFFFFu;
  std::vector<std::uint8_t> header(kFixedHeaderBytes, 0);
  WriteFixedPart(header.data(), entry, large);

  // The CRC header comes first so its place is fixed; its bytes stay 0 while
  // the CRC is computed.
  const std::uint8_t crcPlaceholder[kHeaderCrcBytes] = {};
  const std::size_t crcPos = header.size() + 1;  // behind the type byte
  AppendExtended(header, kExtHeaderCrc, crcPlaceholder, sizeof crcPlaceholder);
  if (!entry.fileName.empty())
    AppendExtended(header, kExtFileName, entry.fileName.data(), entry.fileName.size());
  if (!entry.directory.empty())
    AppendExtended(header, kExtDirectoryName, entry.directory.data(), entry.directory.size());
  const std::pair<std::uint8_t, const std::u16string*> utf16Names[] = {
      {kExtUtf16FileName, &entry.utf16FileName}, {kExtUtf16DirectoryName, &entry.utf16Directory}};
  for (const auto& [type, name] : utf16Names) {
    if (name->empty()) continue;
    std::vector<std::uint8_t> units(name->size() * 2);
    for (std::size_t i = 0; i < name->size(); ++i) WriteLe16(&units[2 * i], (*name)[i]);
    AppendExtended(header, type, units.data(), units.size());
  }
  const bool utf16Name = !entry.utf16FileName.empty() || !entry.utf16Directory.empty();
  if (!utf16Name && NameIsReadInLowerCase(entry.directory + entry.fileName)) {
    // Readers of MS-DOS members take a name with capitals and no small
    // letters for one in lower case; the packer's does not when the header
    // gives the name in UTF-16 or names its code page, as writers of systems
    // that keep case do. The code page is named here: the one the byte names
    // are in. (lhasa, which knows no such header, still lowers the name.)
    std::uint8_t codePage[kCodePageBytes];
    WriteLe32(codePage, kCodePageShiftJis);
    AppendExtended(header, kExtCodePage, codePage, sizeof codePage);
  }
  if (NeedsFileTimes(entry)) {
    // The modification time stands for all three: the others are not part
    // of what the archive promises to restore, and the output stays
    // reproducible.
    std::uint8_t times[kFileTimesBytes];
    const std::uint64_t fileTime = UnixToFileTime(entry.modifiedSeconds, entry.modifiedNanoseconds);
    for (unsigned at = 0; at < kFileTimesBytes; at += kFileTimeBytes) WriteLe64(times + at, fileTime);
    AppendExtended(header, kExtFileTimes, times, sizeof times);
  }
  if (large) {
    std::uint8_t sizes[kLargeSizesBytes];
    WriteLe64(sizes, entry.compressedSize);
    WriteLe64(sizes + kLargeSizeBytes, entry.originalSize);
    AppendExtended(header, kExtLargeSizes, sizes, sizeof sizes);
  }

  if (HeaderSizeReadsAsEnd(header.size())) {
    // Lengthen the CRC header by one zero byte: the size field of the fixed
    // part grows, and readers skip the extra byte as part of that header.
    header.insert(header.begin() + static_cast<std::ptrdiff_t>(crcPos + kHeaderCrcBytes), 0);
    WriteLe16(&header[kOffFirstExtSize], static_cast<std::uint16_t>(kHeaderCrcBytes + 1 + kExtOverheadBytes));
  }
  WriteLe16(&header[kOffHeaderSize], static_cast<std::uint16_t>(header.size()));
  WriteLe16(&header[crcPos], Crc16(0, header.data(), header.size()));
  return header;
}
