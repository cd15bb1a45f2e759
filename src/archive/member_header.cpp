#include "archive/member_header.h"

#include "archive/crc16.h"
#include "archive/engine.h"
#include "common/dbcs.h"
#include "common/file_time.h"
#include "common/le_bytes.h"

namespace {
using namespace lzh;

// Applies one extended header whose type byte is at pos and whose data has
// dataBytes bytes. Returns false when a known type is too short for its data.
bool ApplyExtendedHeader(MemberHeaderRecord& h, unsigned pos, unsigned dataBytes) {
  std::uint8_t* const data = h.bytes + pos + 1;
  switch (h.bytes[pos]) {
    case kExtHeaderCrc:
      // The CRC is that of the header with its bytes zero. A header with
      // several CRC headers is checked against the last value, with every one
      // of them zero, as other readers check it.
      if (dataBytes < kHeaderCrcBytes) return false;
      h.headerCrcSeen = true;
      h.headerCrc = ReadLe16(data);
      data[0] = data[1] = 0;
      return true;
    case kExtFileName:
      h.fileNamePos = static_cast<std::uint16_t>(pos + 1);
      h.fileNameLength = static_cast<std::uint16_t>(dataBytes);
      return true;
    case kExtDirectoryName:
      h.directoryPos = static_cast<std::uint16_t>(pos + 1);
      h.directoryLength = static_cast<std::uint16_t>(dataBytes);
      return true;
    case kExtAttributes:
      if (dataBytes < kAttributesBytes) return false;
      if (h.osId == kOsIdMsdos) h.attributes = ReadLe16(data);
      return true;
    case kExtFileTimes:
      if (dataBytes < kFileTimesBytes) return false;
      h.modifiedTime = ReadLe64(data + kLastWriteTimeOffset);
      return true;
    case kExtLargeSizes: {
      if (dataBytes < kLargeSizesBytes) return false;
      const std::uint64_t compressed = ReadLe64(data), original = ReadLe64(data + kLargeSizeBytes);
      // A size with the top bit set is negative as a signed count: a skip by
      // it would move back onto an earlier header and never end.
      if ((compressed | original) >> 63) return false;
      h.compressedRemaining = static_cast<std::int64_t>(compressed);
      h.originalSize = static_cast<std::int64_t>(original);
      return true;
    }
    default:
      return true;  // unknown types are skipped
  }
}

// Walks the chain of extended headers. Every size must leave room for its
// type byte and next-size field and keep the chain inside the header bytes.
bool WalkExtendedHeaders(MemberHeaderRecord& h) {
  // In locals: the CRC header's bytes are written through h.bytes, and the
  // compiler would otherwise read both fields again after every header.
  const std::uint8_t* const bytes = h.bytes;
  const unsigned headerSize = h.headerSize;
  unsigned pos = kOffFirstExtSize;
  for (;;) {
    const unsigned size = ReadLe16(bytes + pos);
    if (size == 0) return true;
    if (size < kExtOverheadBytes || pos + size + kSizeFieldBytes > headerSize) return false;
    if (!ApplyExtendedHeader(h, pos + kSizeFieldBytes, size - kExtOverheadBytes)) return false;
    pos += size;
  }
}

unsigned BoundedLength(const std::uint8_t* text, unsigned length) {
  unsigned n = 0;
  while (n < length && text[n]) ++n;
  return n;
}

// Directory and file name joined; a name that does not fit is refused rather
// than cut, since a cut name could land on another member's file.
bool BuildJoinedName(MemberHeaderRecord& h, char (&joined)[kJoinedNameBytes], bool dropFolders) {
  if (dropFolders) h.directoryLength = 0;
  const unsigned dirBytes = BoundedLength(h.bytes + h.directoryPos, h.directoryLength);
  const unsigned fileBytes = BoundedLength(h.bytes + h.fileNamePos, h.fileNameLength);
  if (dirBytes + fileBytes >= kJoinedNameBytes) return false;
  unsigned n = 0;
  for (; n < dirBytes; ++n) joined[n] = static_cast<char>(h.bytes[h.directoryPos + n]);
  joined[n] = '\0';
  NormalizeSeparators(joined, '/');
  // Every component of the directory name ends in a separator, but some
  // writers leave it off the last one: the file name still goes below it.
  // ('/' is never the trail byte of a double-byte character.)
  if (n != 0 && joined[n - 1] != '/') joined[n++] = '/';
  if (n + fileBytes >= kJoinedNameBytes) return false;
  char* const file = joined + n;
  for (unsigned i = 0; i < fileBytes; ++i) file[i] = static_cast<char>(h.bytes[h.fileNamePos + i]);
  file[fileBytes] = '\0';
  NormalizeSeparators(file, '/');
  return true;
}

// A first byte of 0 is the end byte, or the low byte of the size of a header
// whose size is a multiple of 256, which other writers make. Such a header
// has a size of at least 256, its method name and level 2 where the fixed part
// puts them, and is then read and checked (header CRC included) like any
// other. Whatever follows a real end byte (padding, a certificate table) is
// looked at no further.
bool IsHeaderAfterAll(const std::uint8_t* fixed, long got) {
  return got == static_cast<long>(kFixedHeaderBytes) && ReadLe16(fixed + kOffHeaderSize) >= kFixedHeaderBytes &&
         fixed[kOffLevel] == kHeaderLevel && HasMethodNameShape(fixed + kOffMethod);
}

void TakeFixedPart(Engine& e) {
  MemberHeaderRecord& h = e.header;
  const std::uint8_t* b = h.bytes;
  h.method = static_cast<char>(b[kOffMethod + kMethodLetterPos]);
  h.compressedRemaining = ReadLe32(b + kOffCompressedSize);
  h.originalSize = ReadLe32(b + kOffOriginalSize);
  h.modifiedTime = UnixTimeToFileTime(e, static_cast<std::int32_t>(ReadLe32(b + kOffTimeStamp)));
  h.attributes = b[kOffAttribute];
  h.dataCrc = ReadLe16(b + kOffDataCrc);
  h.osId = b[kOffOsId];
  h.fileNamePos = h.fileNameLength = 0;
  h.directoryPos = h.directoryLength = 0;
  h.headerCrcSeen = false;
  h.headerCrc = 0;
}

// Sizes that the 64-bit extended header could make negative are refused
// where it is read; a stored member's data is its original bytes, so its two
// sizes agree.
bool SizesAreSound(const MemberHeaderRecord& h) {
  return h.method != kMethodStored || h.compressedRemaining == h.originalSize;
}
}  // namespace

std::uint64_t UnixTimeToFileTime(Engine& e, std::int32_t seconds) {
  if (seconds < 0) return e.host.currentFileTime(e.host.context);
  return ::UnixToFileTime(seconds);
}

void FreeMemberHeader(Engine& e) {
  if (e.header.bytes) e.host.release(e.host.context, e.header.bytes);
  e.header.bytes = nullptr;
}

EngineResult ReadMemberHeader(Engine& e, bool dropFolders) {
  FreeMemberHeader(e);
  std::uint8_t fixed[kFixedHeaderBytes];
  const long got = e.host.readArchive(e.host.context, fixed, kFixedHeaderBytes);
  if (got <= 0) return EngineResult::Damaged;
  if (fixed[kOffHeaderSize] == kEndByte && !IsHeaderAfterAll(fixed, got)) return EngineResult::EndOfArchive;
  if (got < static_cast<long>(kFixedHeaderBytes)) return EngineResult::Damaged;
  if (fixed[kOffLevel] != kHeaderLevel) return EngineResult::Damaged;
  const unsigned headerSize = ReadLe16(fixed + kOffHeaderSize);
  if (headerSize < kFixedHeaderBytes) return EngineResult::Damaged;

  MemberHeaderRecord& h = e.header;
  h.bytes = static_cast<std::uint8_t*>(e.host.allocZeroed(e.host.context, headerSize));
  if (!h.bytes) return EngineResult::OutOfMemory;
  h.headerSize = static_cast<std::uint16_t>(headerSize);
  for (unsigned i = 0; i < kFixedHeaderBytes; ++i) h.bytes[i] = fixed[i];
  const unsigned rest = headerSize - kFixedHeaderBytes;
  if (rest != 0 && e.host.readArchive(e.host.context, h.bytes + kFixedHeaderBytes, rest) != static_cast<long>(rest))
    return EngineResult::Damaged;

  TakeFixedPart(e);
  if (!WalkExtendedHeaders(h) || !SizesAreSound(h)) return EngineResult::Damaged;
  if (!h.headerCrcSeen || Crc16(0, h.bytes, h.headerSize) != h.headerCrc) return EngineResult::Damaged;
  if (!BuildJoinedName(h, e.joinedName, dropFolders)) return EngineResult::Damaged;
  // Last, so that a sound header of another method is read whole: the
  // caller may skip its member, or decode it with decoders of its own.
  if (!IsReadableMethodName(h.bytes + kOffMethod)) return EngineResult::Unsupported;
  return EngineResult::Ok;
}
