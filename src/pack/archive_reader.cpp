#include "pack/archive_reader.h"

#include <cstdlib>
#include <cstring>
#include <ctime>

#include "archive/engine.h"
#include "archive/member_name.h"
#include "common/exe_layout.h"
#include "common/le_bytes.h"
#include "common/file_time.h"
#include "pack/cp932.h"
#include "pack/terminal_text.h"
#include "pack/unicode_text.h"
#include "pack/utf8_system.h"

namespace {
bool NoProgress(void*, std::uint64_t) { return true; }
void* Calloc(void*, unsigned long size) { return std::calloc(size, 1); }
void Free(void*, void* block) { std::free(block); }
std::uint64_t Now(void*) { return UnixToFileTime(std::time(nullptr)); }

// A header holds at most 64 KiB, and so a name of fewer UTF-16 units.
constexpr std::size_t kLongestUnicodeName = 1u << 15;

// The byte parts of a name in their code page, for BuildUtf16MemberName.
bool ConvertName(void*, std::uint32_t codePage, const char* text, unsigned count, Utf16Unit* dest,
                 unsigned destUnits) {
  std::string utf8;
  std::u16string units;
  if (!CodePageToUtf8(std::string(text, count), codePage, utf8) || !Utf8ToUtf16(utf8, units) ||
      units.size() >= destUnits)
    return false;
  for (std::size_t i = 0; i < units.size(); ++i) dest[i] = static_cast<Utf16Unit>(units[i]);
  dest[units.size()] = 0;
  return true;
}

bool SeekFile(std::FILE* f, std::uint64_t offset) {
#ifdef _WIN32
  return _fseeki64(f, static_cast<long long>(offset), SEEK_SET) == 0;
#else
  return fseeko(f, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}

std::uint64_t TellFile(std::FILE* f) {
#ifdef _WIN32
  return static_cast<std::uint64_t>(_ftelli64(f));
#else
  return static_cast<std::uint64_t>(ftello(f));
#endif
}
}  // namespace

const char* EngineMessage(EngineResult result) {
  switch (result) {
    case EngineResult::ReadError: return "read error";
    case EngineResult::WriteError: return "write error";
    case EngineResult::Damaged: return "archive damaged";
    case EngineResult::Unsupported: return "unsupported compression method";
    case EngineResult::OutOfMemory: return "out of memory";
    case EngineResult::Cancelled: return "cancelled";
    default: return "failed";
  }
}

long ArchiveReader::Read(void* reader, void* buffer, unsigned long count) {
  ArchiveReader& r = *static_cast<ArchiveReader*>(reader);
  if (r.file_) {
    const std::size_t n = std::fread(buffer, 1, count, r.file_);
    if (n < count && std::ferror(r.file_)) return -1;
    return static_cast<long>(n);
  }
  const std::size_t n = count < r.size_ - r.bytesPos_ ? count : r.size_ - r.bytesPos_;
  if (n) std::memcpy(buffer, r.bytes_ + r.bytesPos_, n);
  r.bytesPos_ += n;
  return static_cast<long>(n);
}

SinkReply ArchiveReader::Write(void* reader, const void* buffer, unsigned long length) {
  const MemberSink& sink = *static_cast<ArchiveReader*>(reader)->sink_;
  return !sink || sink(buffer, length) ? SinkReply::More : SinkReply::Failed;
}

ArchiveReader::ArchiveReader() : engine_(std::make_unique<Engine>()) {
  StartEngine(*engine_, EngineHost{this, Read, Write, NoProgress, Calloc, Free, Now});
}

ArchiveReader::~ArchiveReader() {
  FreeMemberHeader(*engine_);
  if (file_) std::fclose(file_);
}

void ArchiveReader::OpenBytes(const std::uint8_t* data, std::size_t size) {
  bytes_ = data;
  size_ = size;
  archiveOffset_ = nextHeader_ = 0;
}

bool ArchiveReader::SeekTo(std::uint64_t offset) {
  if (file_) return SeekFile(file_, offset);
  // Past the end, as in a file: the next read gives no bytes.
  bytesPos_ = offset < size_ ? static_cast<std::size_t>(offset) : size_;
  return true;
}

std::uint64_t ArchiveReader::Position() const { return file_ ? TellFile(file_) : bytesPos_; }

bool ArchiveReader::Open(const std::string& path, std::string& error) {
  file_ = OpenUtf8File(path, "rb");
  if (!file_) {
    error = "cannot open";
    return false;
  }
  std::setvbuf(file_, nullptr, _IOFBF, 1 << 16);
  // A self-extracting file starts with the MS-DOS header; its configuration
  // block holds the archive's offset.
  std::uint8_t head[exe_layout::kConfigOffset + 4] = {};
  const std::size_t got = std::fread(head, 1, sizeof head, file_);
  archiveOffset_ = 0;
  if (got >= 2 && head[0] == 'M' && head[1] == 'Z') {
    if (got < sizeof head) {
      error = "executable without a configuration block";
      return false;
    }
    archiveOffset_ = ReadLe32(head + exe_layout::kConfigOffset);
  }
  nextHeader_ = archiveOffset_;
  if (!SeekTo(archiveOffset_)) {
    error = "archive offset unreachable";
    return false;
  }
  return true;
}

ReadStatus ArchiveReader::Next(ArchiveMember& member, std::string& error) {
  if (!SeekTo(nextHeader_)) {
    error = "cannot seek to the next header";
    return ReadStatus::Failed;
  }
  Engine& e = *engine_;
  const EngineResult result = ReadMemberHeader(e, false);
  if (result != EngineResult::Ok) {
    FreeMemberHeader(e);
    if (result == EngineResult::EndOfArchive) return ReadStatus::End;
    error = EngineMessage(result);
    return ReadStatus::Failed;
  }
  member.method = e.header.method;
  member.compressedSize = e.header.compressedRemaining;
  member.originalSize = e.header.originalSize;
  member.modifiedTime = e.header.modifiedTime;
  member.attributes = e.header.attributes;
  member.dataCrc = e.header.dataCrc;
  member.osId = e.header.osId;
  member.name = e.joinedName;
  member.nameIsText = ReadUnicodeName(member);
  member.dataOffset = Position();
  // A directory entry has no data in the format; its size is skipped all the
  // same, so a writer that gave it some cannot shift the next header.
  nextHeader_ = member.dataOffset + static_cast<std::uint64_t>(member.compressedSize);
  current_ = member;
  return ReadStatus::Member;
}

bool ArchiveReader::Decode(const MemberSink& sink, std::string& error) {
  if (current_.method == lzh::kMethodDirectory) return true;
  if (!SeekTo(current_.dataOffset)) {
    error = "cannot seek to the member's data";
    return false;
  }
  Engine& e = *engine_;
  e.header.method = current_.method;
  e.header.originalSize = current_.originalSize;
  e.header.compressedRemaining = current_.compressedSize;
  sink_ = &sink;
  const EngineResult result = DecodeMemberData(e);
  sink_ = nullptr;
  if (result != EngineResult::Ok) {
    error = EngineMessage(result);
    return false;
  }
  if (e.crc != current_.dataCrc) {
    char text[64];
    std::snprintf(text, sizeof text, "data CRC %04X, expected %04X", e.crc, current_.dataCrc);
    error = text;
    return false;
  }
  return true;
}

bool ArchiveReader::ReadUnicodeName(ArchiveMember& member) {
  member.utf8Name.clear();
  if (unicodeName_.empty()) unicodeName_.resize(kLongestUnicodeName);
  if (!BuildUtf16MemberName(engine_->header, engine_->joinedName, false, ConvertName, nullptr,
                            unicodeName_.data(), static_cast<unsigned>(unicodeName_.size())))
    return false;
  const std::u16string units(unicodeName_.data(), unicodeName_.data() + TextLength(unicodeName_.data()));
  return Utf16ToUtf8(units, member.utf8Name);
}

std::string MemberNameForDisplay(const ArchiveMember& member) {
  return member.nameIsText ? TerminalText(member.utf8Name) : TerminalText(member.name, ShownAs::Bytes);
}

std::string FormatFileTime(std::uint64_t fileTime) {
  const UnixTime unix = FileTimeToUnix(fileTime);
  if (unix.seconds < 0) return "before 1970";
  const std::time_t t = static_cast<std::time_t>(unix.seconds);
  std::tm tm{};
#ifdef _WIN32
  if (gmtime_s(&tm, &t) != 0) return "?";
#else
  if (!gmtime_r(&t, &tm)) return "?";
#endif
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &tm);
  return text;
}
