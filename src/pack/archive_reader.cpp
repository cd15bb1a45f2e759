#include "pack/archive_reader.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "archive/engine.h"
#include "archive/member_name.h"
#include "common/exe_layout.h"
#include "common/le_bytes.h"
#include "common/file_time.h"
#include "archive/crc16.h"
#include "legacy/legacy_decoder.h"
#include "pack/cp932.h"
#include "pack/os_conventions.h"
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

// How far into a file that does not start with a header the reader looks
// for one: the archive behind a self-extractor of MS-DOS, Windows or the
// Amiga starts within the first few hundred KiB (the program before it is
// small); a bound keeps a large file that holds no archive from being read
// through, and one header-shaped accident far inside it from being taken.
constexpr std::uint64_t kArchiveScanBytes = 1u << 20;

// The bytes a header of any level has before the reader knows its level.
constexpr std::size_t kHeaderStartBytes = lzh::kOffLevel + 1;

// Inside another program only the method names LZH writers use are taken
// for a header's start ("-lh", "-lz", "-pm"): every candidate costs a read,
// and each that passes only an 8-bit checksum could be an accident.
bool OfAnLzhFamily(const std::uint8_t* method) {
  return (method[1] == 'l' && (method[2] == 'h' || method[2] == 'z')) || (method[1] == 'p' && method[2] == 'm');
}

// Our own self-extracting files: the MS-DOS header has the marker and the
// header size of the stub's layout, and the configuration block says where
// the archive starts.
bool IsOurStub(const std::uint8_t* head) {
  return std::memcmp(head + exe_layout::kOffMarker, exe_layout::kMarker, sizeof exe_layout::kMarker) == 0 &&
         ReadLe16(head + exe_layout::kOffCparhdr) == exe_layout::kCparhdr;
}

// A byte name as text: in the header's code page (932 unless it names
// another); a Unix member's name is taken as UTF-8 where it is valid UTF-8,
// as the Unix writers store the bytes of the file system.
bool ByteNameToUtf8(const HeaderFields& f, std::string& utf8) {
  if (f.osId == lzh::kOsIdUnix && f.codePage == 0 && IsValidUtf8(f.name)) {
    utf8 = f.name;
    return true;
  }
  return CodePageToUtf8(f.name, f.codePage ? f.codePage : lzh::kCodePageShiftJis, utf8);
}

// "link|target": the name keeps the link's path, the target goes apart.
void SplitSymlink(ArchiveMember& m) {
  const std::size_t bar = m.name.find(lzh::kSymlinkSeparator);
  if (bar != std::string::npos) m.name.resize(bar);
  const std::size_t textBar = m.utf8Name.find(lzh::kSymlinkSeparator);
  if (textBar == std::string::npos) return;
  m.linkTarget = m.utf8Name.substr(textBar + 1);
  m.utf8Name.resize(textBar);
}

bool CheckDataCrc(std::uint16_t crc, std::uint16_t expected, std::string& error) {
  if (crc == expected) return true;
  char text[64];
  std::snprintf(text, sizeof text, "data CRC %04X, expected %04X", crc, expected);
  error = text;
  return false;
}

std::string MethodForDisplay(const std::string& method) { return TerminalText(method, ShownAs::Bytes); }

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

const std::string ArchiveMember::kDirectoryMethodName = "-lhd-";

std::string ArchiveMember::OsName() const {
  if (osId == 0) return "-";
  if (const char* name = lzh::OsIdName(osId)) return name;
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X", osId);
  return text;
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
  std::uint8_t head[exe_layout::kConfigOffset + 4] = {};
  const std::size_t got = std::fread(head, 1, sizeof head, file_);
  archiveOffset_ = 0;
  const bool ours = got == sizeof head && IsOurStub(head);
  if (ours && AnArchiveStartsAt(ReadLe32(head + exe_layout::kConfigOffset))) {
    archiveOffset_ = ReadLe32(head + exe_layout::kConfigOffset);
  } else if (!ours && ((got > lzh::kOffLevel && IsMethodShape(head + lzh::kOffMethod)) ||
                       (got >= 1 && head[0] == lzh::kEndByte))) {
    // A file that starts like a header is read as an archive, and its
    // faults named; anything else may be a program with an archive behind it.
  } else if (!FindArchive(0)) {
    error = got >= 2 && head[0] == 'M' && head[1] == 'Z' ? "a program without an LZH archive in its first MiB"
                                                         : "no LZH archive in the file's first MiB";
    return false;
  }
  nextHeader_ = archiveOffset_;
  if (!SeekTo(archiveOffset_)) {
    error = "archive offset unreachable";
    return false;
  }
  return true;
}

bool ArchiveReader::AnArchiveStartsAt(std::uint64_t offset) {
  std::uint8_t first[kHeaderStartBytes];
  if (!SeekTo(offset)) return false;
  const std::size_t got = ReadUpTo(first, sizeof first);
  return (got >= 1 && first[0] == lzh::kEndByte) || LooksLikeHeaderStart(first, got);
}

bool ArchiveReader::FindArchive(std::uint64_t from) {
  std::vector<std::uint8_t> window(kArchiveScanBytes + kHeaderStartBytes);
  if (!SeekTo(from)) return false;
  const std::size_t got = ReadUpTo(window.data(), window.size());
  ArchiveMember probe;
  std::string ignored;
  for (std::size_t at = 0; at < got && at < kArchiveScanBytes; ++at) {
    if (!LooksLikeHeaderStart(window.data() + at, got - at) || !OfAnLzhFamily(window.data() + at + lzh::kOffMethod))
      continue;
    nextHeader_ = from + at;
    if (!SeekTo(nextHeader_) || ReadHeader(probe, ignored) != ReadStatus::Member) continue;
    archiveOffset_ = from + at;
    return true;
  }
  return false;
}

std::size_t ArchiveReader::ReadUpTo(std::uint8_t* buffer, std::size_t count) {
  std::size_t done = 0;
  while (done < count) {
    const long n = Read(this, buffer + done, static_cast<unsigned long>(count - done));
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  return done;
}

ReadStatus ArchiveReader::Next(ArchiveMember& member, std::string& error) {
  if (!SeekTo(nextHeader_)) {
    error = "cannot seek to the next header";
    return ReadStatus::Failed;
  }
  const ReadStatus status = ReadHeader(member, error);
  if (status != ReadStatus::Member) return status;
  member.dataOffset = Position();
  // A directory entry has no data in the format; its size is skipped all the
  // same, so a writer that gave it some cannot shift the next header.
  nextHeader_ = member.dataOffset + static_cast<std::uint64_t>(member.compressedSize);
  current_ = member;
  return ReadStatus::Member;
}

ReadStatus ArchiveReader::ReadHeader(ArchiveMember& member, std::string& error) {
  const std::uint64_t start = Position();
  std::uint8_t first[lzh::kFixedHeaderBytes];
  std::size_t got = ReadUpTo(first, kHeaderStartBytes);
  if (got == 0) {
    error = std::string(EngineMessage(EngineResult::Damaged)) + ": it ends without its end byte";
    return ReadStatus::Failed;
  }
  const bool hasLevel = got == kHeaderStartBytes;
  if (hasLevel && first[lzh::kOffLevel] == lzh::kHeaderLevel) {
    got += ReadUpTo(first + got, sizeof first - got);
    if (got == sizeof first && ReadsLevel2Itself(first)) return ReadOtherHeader(first, got, member, error);
    if (!SeekTo(start)) {
      error = "cannot seek to the next header";
      return ReadStatus::Failed;
    }
    return ReadLevel2Header(member, error);
  }
  if (first[lzh::kOffHeaderSize] == lzh::kEndByte) return ReadStatus::End;
  if (!hasLevel) {
    error = EngineMessage(EngineResult::Damaged);
    return ReadStatus::Failed;
  }
  const std::uint8_t level = first[lzh::kOffLevel];
  if (level != lzh::kHeaderLevel0 && level != lzh::kHeaderLevel1 && level != lzh::kHeaderLevel3) {
    error = "header level " + std::to_string(level) + " not supported";
    return ReadStatus::Failed;
  }
  return ReadOtherHeader(first, got, member, error);
}

ReadStatus ArchiveReader::ReadOtherHeader(const std::uint8_t* first, std::size_t got, ArchiveMember& member,
                                          std::string& error) {
  HeaderFields& fields = member;
  member = ArchiveMember();
  const HeaderOutcome outcome = ReadOtherLevelHeader(
      first, got, [this](std::uint8_t* buffer, std::size_t count) { return ReadUpTo(buffer, count) == count; },
      fields);
  if (outcome != HeaderOutcome::Ok) {
    error = EngineMessage(EngineResult::Damaged);
    return ReadStatus::Failed;
  }
  member.nameIsText = ByteNameToUtf8(member, member.utf8Name);
  ApplyOsConventions(member);
  if (member.IsSymlink()) SplitSymlink(member);
  return ReadStatus::Member;
}

ReadStatus ArchiveReader::ReadLevel2Header(ArchiveMember& member, std::string& error) {
  Engine& e = *engine_;
  const EngineResult result = ReadMemberHeader(e, false);
  // Unsupported: a sound header of a method that the engine leaves to others.
  if (result != EngineResult::Ok && result != EngineResult::Unsupported) {
    FreeMemberHeader(e);
    if (result == EngineResult::EndOfArchive) return ReadStatus::End;
    error = EngineMessage(result);
    return ReadStatus::Failed;
  }
  member = ArchiveMember();
  member.level = lzh::kHeaderLevel;
  member.method.assign(reinterpret_cast<const char*>(e.header.bytes + lzh::kOffMethod), lzh::kMethodNameBytes);
  member.compressedSize = e.header.compressedRemaining;
  member.originalSize = e.header.originalSize;
  member.modifiedTime = e.header.modifiedTime;
  member.attributes = e.header.attributes;
  member.dataCrc = e.header.dataCrc;
  member.osId = e.header.osId;
  member.name = e.joinedName;
  ReadPackerFieldsOfLevel2(e.header.bytes, e.header.headerSize, member);
  member.nameIsText = ReadUnicodeName(member);
  ApplyOsConventions(member);
  if (member.IsSymlink()) SplitSymlink(member);
  return ReadStatus::Member;
}

bool ArchiveReader::Decode(const MemberSink& sink, std::string& error) {
  if (!sink || !MayHoldMacBinary(current_)) return DecodeStored(sink, error);
  MacBinaryUnwrapper unwrap(current_, sink);
  const MemberSink take = [&unwrap](const void* data, std::size_t length) { return unwrap.Take(data, length); };
  if (!DecodeStored(take, error)) return false;
  if (unwrap.Finish()) return true;
  error = EngineMessage(EngineResult::WriteError);
  return false;
}

bool ArchiveReader::DecodeStored(const MemberSink& sink, std::string& error) {
  if (current_.IsDirectory() || current_.IsSymlink()) return true;
  if (!SeekTo(current_.dataOffset)) {
    error = "cannot seek to the member's data";
    return false;
  }
  if (!current_.HasStubMethod()) return DecodeOtherMethod(sink, error);
  Engine& e = *engine_;
  e.header.method = current_.method[lzh::kMethodLetterPos];
  e.header.originalSize = current_.originalSize;
  e.header.compressedRemaining = current_.compressedSize;
  sink_ = &sink;
  const EngineResult result = DecodeMemberData(e);
  sink_ = nullptr;
  if (result != EngineResult::Ok) {
    error = EngineMessage(result);
    return false;
  }
  return CheckDataCrc(e.crc, current_.dataCrc, error);
}

bool ArchiveReader::ReadPacked(std::vector<std::uint8_t>& data, std::string& error) {
  data.resize(static_cast<std::size_t>(current_.compressedSize));
  if (SeekTo(current_.dataOffset) && ReadUpTo(data.data(), data.size()) == data.size()) return true;
  error = EngineMessage(EngineResult::Damaged);
  return false;
}

bool ArchiveReader::DecodeOtherMethod(const MemberSink& sink, std::string& error) {
  if (!legacy::IsLegacyMethod(current_.method)) {
    error = "method " + MethodForDisplay(current_.method) + " not supported";
    return false;
  }
  std::uint64_t left = static_cast<std::uint64_t>(current_.compressedSize);
  bool readFailed = false;
  const legacy::ByteSource source = [this, &left, &readFailed](std::uint8_t* buffer, std::size_t capacity) {
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(capacity, left));
    if (want == 0) return std::int64_t{0};
    const std::size_t got = ReadUpTo(buffer, want);
    if (got == 0 && file_ && std::ferror(file_)) readFailed = true;
    left -= got;
    return readFailed ? std::int64_t{-1} : static_cast<std::int64_t>(got);
  };
  std::uint16_t crc = 0;
  const legacy::ByteSink take = [&sink, &crc](const std::uint8_t* data, std::size_t size) {
    crc = Crc16(crc, data, size);
    return !sink || sink(data, size);
  };
  const legacy::Result r = legacy::DecodeMember(current_.method, static_cast<std::uint64_t>(current_.compressedSize),
                                                static_cast<std::uint64_t>(current_.originalSize), source, take);
  switch (r.status) {
    case legacy::Status::kOk: return CheckDataCrc(crc, current_.dataCrc, error);
    case legacy::Status::kWriteError: error = EngineMessage(EngineResult::WriteError); return false;
    case legacy::Status::kReadError:
      error = EngineMessage(readFailed ? EngineResult::ReadError : EngineResult::Damaged);
      return false;
    default: error = EngineMessage(EngineResult::Damaged); return false;
  }
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

std::string LinkTargetForDisplay(const ArchiveMember& member) {
  return member.nameIsText ? TerminalText(member.linkTarget) : "?";
}

std::string HeaderFailure(std::uint64_t number, const std::string& error) {
  return "header of member " + std::to_string(number) + ": " + error;
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
