#include "archive/member_name.h"

#include "common/le_bytes.h"
#include "common/utf16le.h"

namespace {
using namespace lzh;

unsigned BoundedLength(const std::uint8_t* text, unsigned length) {
  unsigned n = 0;
  while (n < length && text[n]) ++n;
  return n;
}

// One part of the name at dest: the UTF-16 field (fieldBytes at pos) when
// there is one, else the bytes converted. Its length in units, or -1.
int TakePart(const MemberHeaderRecord& h, std::uint16_t pos, std::uint16_t fieldBytes,
             const char* bytes, unsigned byteCount, std::uint32_t codePage,
             CodePageToUtf16Fn convert, void* context, Utf16Unit* dest, unsigned destUnits) {
  dest[0] = '\0';
  if (fieldBytes != 0) {
    if (!ReadUtf16LeField(h.bytes + pos, fieldBytes, dest, destUnits)) return -1;
    NormalizeSeparators(dest, '/');
  } else if (byteCount != 0 && !convert(context, codePage, bytes, byteCount, dest, destUnits)) {
    dest[0] = '\0';
    return -1;
  }
  return static_cast<int>(TextLength(dest));
}
}  // namespace

UnicodeNameFields FindUnicodeNameFields(const MemberHeaderRecord& h) {
  UnicodeNameFields f{0, 0, 0, 0, kCodePageShiftJis};
  for (unsigned pos = kOffFirstExtSize;;) {
    const unsigned size = ReadLe16(h.bytes + pos);
    if (size == 0) break;
    const unsigned type = pos + kSizeFieldBytes, data = type + 1;
    const auto dataBytes = static_cast<std::uint16_t>(size - kExtOverheadBytes);
    if (h.bytes[type] == kExtUtf16FileName) {
      f.filePos = static_cast<std::uint16_t>(data);
      f.fileBytes = dataBytes;
    } else if (h.bytes[type] == kExtUtf16DirectoryName) {
      f.directoryPos = static_cast<std::uint16_t>(data);
      f.directoryBytes = dataBytes;
    } else if (h.bytes[type] == kExtCodePage && dataBytes >= kCodePageBytes) {
      f.codePage = ReadLe32(h.bytes + data);
    }
    pos += size;
  }
  return f;
}

bool BuildUtf16MemberName(const MemberHeaderRecord& h, const char* joinedName, bool dropFolders,
                          CodePageToUtf16Fn convert, void* context, Utf16Unit* dest,
                          unsigned destUnits) {
  if (destUnits == 0) return false;
  UnicodeNameFields f = FindUnicodeNameFields(h);
  if (dropFolders) f.directoryBytes = 0;
  // The folder's part of the joined name: its bytes, and the separator that
  // the join adds when the writer left it off the last level.
  unsigned fileStart = BoundedLength(h.bytes + h.directoryPos, h.directoryLength);
  if (fileStart != 0 && joinedName[fileStart - 1] != '/') ++fileStart;
  int n = TakePart(h, f.directoryPos, f.directoryBytes, joinedName, fileStart, f.codePage, convert,
                   context, dest, destUnits);
  // As in the byte name: the file goes below the folder's last level.
  if (n > 0 && dest[n - 1] != '/') {
    if (static_cast<unsigned>(n) + 1 >= destUnits) n = -1;
    else dest[n++] = '/';
  }
  const char* file = joinedName + fileStart;
  unsigned fileCount = 0;
  while (file[fileCount]) ++fileCount;
  const int fileUnits =
      n < 0 ? -1
            : TakePart(h, f.filePos, f.fileBytes, file, fileCount, f.codePage, convert, context,
                       dest + n, destUnits - static_cast<unsigned>(n));
  if (fileUnits < 0) {
    dest[0] = '\0';
    return false;
  }
  return true;
}
