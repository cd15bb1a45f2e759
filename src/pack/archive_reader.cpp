#include "pack/archive_reader.h"

#include <cstdlib>
#include <cstring>
#include <ctime>

#include "archive/crc16.h"
#include "archive/engine_host.h"
#include "archive/member_data.h"
#include "archive/member_header.h"
#include "common/exe_layout.h"
#include "common/le_bytes.h"
#include "common/file_time.h"
#include "common/run_state.h"
#include "pack/cp932.h"
#include "pack/terminal_text.h"
#include "pack/utf8_system.h"

namespace {
// The engine reaches the archive and the caller through these: a file, or
// bytes in memory with a read position of their own.
std::FILE* engineFile;
const std::uint8_t* engineBytes;
std::size_t engineSize, enginePos;
const MemberSink* engineSink;
int engineError;

long SourceRead(void* buffer, unsigned long count) {
  if (engineFile) {
    const std::size_t n = std::fread(buffer, 1, count, engineFile);
    if (n < count && std::ferror(engineFile)) return -1;
    return static_cast<long>(n);
  }
  const std::size_t n = count < engineSize - enginePos ? count : engineSize - enginePos;
  if (n) std::memcpy(buffer, engineBytes + enginePos, n);
  enginePos += n;
  return static_cast<long>(n);
}
bool SinkWrite(const void* buffer, unsigned long length) {
  return !*engineSink || (*engineSink)(buffer, length);
}
void RecordError(int stringId, bool) {
  if (!engineError) engineError = stringId;
}
void NoProgress(unsigned) {}
void* Calloc(unsigned long size) { return std::calloc(size, 1); }
void Free(void* block) { std::free(block); }
std::uint64_t Now() { return UnixToFileTime(std::time(nullptr)); }

void InstallHost(std::FILE* file, const std::uint8_t* bytes, std::size_t size) {
  engineFile = file;
  engineBytes = bytes;
  engineSize = size;
  engineError = 0;
  Host = EngineHost{SourceRead, SinkWrite, RecordError, NoProgress, Calloc, Free, Now};
  OutputIsProbe = false;
  RunState = RunStateFlags{};
  ProgressTotals = ProgressCounts{};
  // The table depends on the polynomial alone: once per process.
  static const bool crcTableBuilt = (BuildCrcTable(lzh::kCrcPolynomial), true);
  static_cast<void>(crcTableBuilt);
}

bool SeekTo(std::FILE* f, std::uint64_t offset) {
#ifdef _WIN32
  return _fseeki64(f, static_cast<long long>(offset), SEEK_SET) == 0;
#else
  return fseeko(f, static_cast<off_t>(offset), SEEK_SET) == 0;
#endif
}

std::uint64_t Tell(std::FILE* f) {
#ifdef _WIN32
  return static_cast<std::uint64_t>(_ftelli64(f));
#else
  return static_cast<std::uint64_t>(ftello(f));
#endif
}

std::uint64_t EnginePosition() { return engineFile ? Tell(engineFile) : enginePos; }
}  // namespace

const char* EngineMessage(int stringId) {
  switch (stringId) {
    case kMsgReadError: return "read error";
    case kMsgWriteError: return "write error";
    case kMsgDamaged: return "archive damaged";
    case kMsgUnsupported: return "unsupported compression method";
    case kMsgOutOfMemory: return "out of memory";
    default: return "failed";
  }
}

ArchiveReader::~ArchiveReader() {
  // The engine's current header is this reader's while the engine reads it.
  if ((file_ && engineFile == file_) || (bytes_ && engineBytes == bytes_)) {
    FreeMemberHeader();
    engineFile = nullptr;
    engineBytes = nullptr;
  }
  if (file_) std::fclose(file_);
}

void ArchiveReader::OpenBytes(const std::uint8_t* data, std::size_t size) {
  bytes_ = data;
  size_ = size;
  archiveOffset_ = nextHeader_ = 0;
}

bool ArchiveReader::Attach(std::uint64_t offset) {
  InstallHost(file_, bytes_, size_);
  if (file_) return SeekTo(file_, offset);
  // Past the end, as in a file: the next read gives no bytes.
  enginePos = offset < size_ ? static_cast<std::size_t>(offset) : size_;
  return true;
}

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
  if (!SeekTo(file_, archiveOffset_)) {
    error = "archive offset unreachable";
    return false;
  }
  return true;
}

ReadStatus ArchiveReader::Next(ArchiveMember& member, std::string& error) {
  if (!Attach(nextHeader_)) {
    error = "cannot seek to the next header";
    return ReadStatus::Failed;
  }
  const HeaderResult result = ReadMemberHeader();
  if (result != HeaderResult::Member) {
    FreeMemberHeader();
    if (result == HeaderResult::EndOfArchive) return ReadStatus::End;
    error = EngineMessage(HeaderResultMessage(result));
    return ReadStatus::Failed;
  }
  member.method = MemberHeader.method;
  member.compressedSize = MemberHeader.compressedRemaining;
  member.originalSize = MemberHeader.originalSize;
  member.modifiedTime = MemberHeader.modifiedTime;
  member.attributes = MemberHeader.attributes;
  member.dataCrc = MemberHeader.dataCrc;
  member.osId = MemberHeader.osId;
  member.name = JoinedName;
  member.dataOffset = EnginePosition();
  // A directory entry has no data in the format; its size is skipped all the
  // same, so a writer that gave it some cannot shift the next header.
  nextHeader_ = member.dataOffset + static_cast<std::uint64_t>(member.compressedSize);
  current_ = member;
  return ReadStatus::Member;
}

bool ArchiveReader::Decode(const MemberSink& sink, std::string& error) {
  if (current_.method == lzh::kMethodDirectory) return true;
  if (!Attach(current_.dataOffset)) {
    error = "cannot seek to the member's data";
    return false;
  }
  MemberHeader.compressedRemaining = current_.compressedSize;
  engineSink = &sink;
  const bool finished = DecodeMemberData();
  engineSink = nullptr;
  if (!finished) {
    error = EngineMessage(engineError ? engineError : kMsgDamaged);
    return false;
  }
  if (crcValue != current_.dataCrc) {
    char text[64];
    std::snprintf(text, sizeof text, "data CRC %04X, expected %04X", crcValue, current_.dataCrc);
    error = text;
    return false;
  }
  return true;
}

std::string MemberNameForDisplay(const std::string& cp932) {
  return Cp932ForTerminal(cp932);
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
