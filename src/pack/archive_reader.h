// Reads an LZH archive: a plain .lzh file, a self-extracting file of ours
// whose configuration block says where its archive starts, or an archive
// behind another program. Headers of level 2 and the stub's methods go
// through the stub's own engine, the other levels and methods through the
// packer's readers and decoders. Each reader owns its engine, so readers may
// decode side by side.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "archive/engine_host.h"
#include "common/dbcs.h"
#include "common/lzh_format.h"
#include "pack/header_levels.h"

struct Engine;

// One member as every header level describes it (see HeaderFields), with
// its name made text and where its data starts.
struct ArchiveMember : HeaderFields {
  // The exact name in UTF-8, '/' between components: from the UTF-16 fields
  // where the header has them, else the byte name in its code page (932
  // unless the header names another; a Unix member's name in UTF-8 when it
  // is valid UTF-8). Empty, with nameIsText false, when it has no such form.
  std::string utf8Name;
  bool nameIsText = false;
  // A symbolic link's target (the part of its name after '|'), in UTF-8
  // when the name is text; the name then holds the link's own path only.
  std::string linkTarget;
  std::uint64_t dataOffset = 0;    // file offset of the member's data

  bool IsDirectory() const { return method == kDirectoryMethodName; }
  bool IsSymlink() const {
    return hasUnixMode && (unixMode & lzh::kUnixTypeMask) == lzh::kUnixTypeSymlink;
  }
  // "-lh5-" and so on, as the header has it.
  const std::string& MethodName() const { return method; }
  // Its data is in one of the stub's methods (the readers always fill the
  // method's five bytes).
  bool HasStubMethod() const {
    return lzh::IsReadableMethodName(reinterpret_cast<const std::uint8_t*>(method.data()));
  }
  // The name of the system that made the member, "-" when the header says none.
  std::string OsName() const;

  static const std::string kDirectoryMethodName;
};

enum class ReadStatus { Member, End, Failed };

// Called with each piece of a member's bytes; false stops with a write error.
using MemberSink = std::function<bool(const void* data, std::size_t length)>;

class ArchiveReader {
 public:
  ArchiveReader();
  ArchiveReader(const ArchiveReader&) = delete;
  ArchiveReader& operator=(const ArchiveReader&) = delete;
  ~ArchiveReader();

  // Opens path (UTF-8) and finds the archive in it; false with a message on
  // failure, which leaves naming the file to the caller.
  bool Open(const std::string& path, std::string& error);
  // Reads an archive held in memory from its first byte on, as the stub reads
  // the bytes behind its image. The bytes must outlive the reader.
  void OpenBytes(const std::uint8_t* data, std::size_t size);
  std::uint64_t archiveOffset() const { return archiveOffset_; }
  // Where the next header stands: after End, the offset of the end byte.
  std::uint64_t nextHeaderOffset() const { return nextHeader_; }

  // Reads the next member header, skipping whatever is left of the previous
  // member's data. A member of a method no decoder here knows is read all
  // the same (listing it is fine); Decode then refuses it.
  ReadStatus Next(ArchiveMember& member, std::string& error);

  // Decodes the member that Next returned, handing its bytes to sink (or
  // dropping them when sink is empty), and checks its data CRC. False with a
  // message on any failure. Directory entries have nothing to decode. A Mac
  // member stored as MacBinary gives its data fork (see os_conventions.h).
  bool Decode(const MemberSink& sink, std::string& error);
  // The compressed data of the member that Next returned, as it is.
  bool ReadPacked(std::vector<std::uint8_t>& data, std::string& error);

 private:
  // Moves the archive's read position (the engine's) to offset.
  bool SeekTo(std::uint64_t offset);
  std::uint64_t Position() const;

  // The engine's host, with this reader as its context.
  static long Read(void* reader, void* buffer, unsigned long count);
  static SinkReply Write(void* reader, const void* buffer, unsigned long length);

  // The exact name of the member that ReadMemberHeader read.
  bool ReadUnicodeName(ArchiveMember& member);
  // Reads a header of any level at the current position into member.
  ReadStatus ReadHeader(ArchiveMember& member, std::string& error);
  ReadStatus ReadLevel2Header(ArchiveMember& member, std::string& error);
  // A header that the packer reads itself, whose first got bytes are in first.
  ReadStatus ReadOtherHeader(const std::uint8_t* first, std::size_t got, ArchiveMember& member,
                             std::string& error);
  // Up to count bytes from the current position; fewer where the archive ends.
  std::size_t ReadUpTo(std::uint8_t* buffer, std::size_t count);
  // The first position, at or after offset and within the scan bound, where
  // a complete, sound header starts; false when there is none.
  bool FindArchive(std::uint64_t from);
  // Whether the bytes at offset are an end byte or the start of a header:
  // where the configuration block of a stub like ours points. Another
  // program with the same layout is searched like any other.
  bool AnArchiveStartsAt(std::uint64_t offset);
  // Decode without the conventions of the member's system: its stored bytes.
  bool DecodeStored(const MemberSink& sink, std::string& error);
  bool DecodeOtherMethod(const MemberSink& sink, std::string& error);

  std::unique_ptr<Engine> engine_;
  std::vector<Utf16Unit> unicodeName_;  // room for the longest name a header can hold
  std::FILE* file_ = nullptr;
  const std::uint8_t* bytes_ = nullptr;
  std::size_t size_ = 0;
  std::size_t bytesPos_ = 0;
  const MemberSink* sink_ = nullptr;
  std::uint64_t archiveOffset_ = 0;
  std::uint64_t nextHeader_ = 0;
  ArchiveMember current_;
};

// The engine's message for a result, in English.
const char* EngineMessage(EngineResult result);

// A member name for the terminal: its exact name with control characters
// shown as \xNN; a name without a Unicode form as its bytes, each that is no
// printable ASCII shown as \xNN.
std::string MemberNameForDisplay(const ArchiveMember& member);
// A symbolic link's target for the terminal, as its name is shown.
std::string LinkTargetForDisplay(const ArchiveMember& member);
// What Next's failure says, naming the member (counted from 1) whose header
// it could not read.
std::string HeaderFailure(std::uint64_t number, const std::string& error);

// A Windows file time as "YYYY-MM-DD hh:mm:ss" (UTC).
std::string FormatFileTime(std::uint64_t fileTime);
