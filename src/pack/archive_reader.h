// Reads an LZH archive with the stub's own engine: a plain .lzh file, or a
// self-extracting file whose configuration block says where its archive
// starts. Each reader owns its engine, so readers may decode side by side.
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

struct Engine;

struct ArchiveMember {
  char method = 0;                 // '0', '4'..'7' or 'd'
  std::int64_t compressedSize = 0;
  std::int64_t originalSize = 0;
  std::uint64_t modifiedTime = 0;  // Windows file time, UTC
  std::uint16_t attributes = 0;
  std::uint16_t dataCrc = 0;
  std::uint8_t osId = 0;
  std::string name;                // the byte name as stored, '/' between components
  // The exact name in UTF-8, '/' between components: from the UTF-16 fields
  // where the header has them, else the byte name in its code page (932
  // unless the header names another). Empty, with nameIsText false, when it
  // has no such form (bytes that are no text of that code page).
  std::string utf8Name;
  bool nameIsText = false;
  std::uint64_t dataOffset = 0;    // file offset of the member's data

  bool IsDirectory() const { return method == lzh::kMethodDirectory; }
  // "-lh5-" and so on.
  std::string MethodName() const {
    return lzh::kMethodNamePrefix + std::string(1, method) + lzh::kMethodNameEnd;
  }
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
  // member's data.
  ReadStatus Next(ArchiveMember& member, std::string& error);

  // Decodes the member that Next returned, handing its bytes to sink (or
  // dropping them when sink is empty), and checks its data CRC. False with a
  // message on any failure. Directory entries have nothing to decode.
  bool Decode(const MemberSink& sink, std::string& error);

 private:
  // Moves the archive's read position (the engine's) to offset.
  bool SeekTo(std::uint64_t offset);
  std::uint64_t Position() const;

  // The engine's host, with this reader as its context.
  static long Read(void* reader, void* buffer, unsigned long count);
  static SinkReply Write(void* reader, const void* buffer, unsigned long length);

  // The exact name of the member that ReadMemberHeader read.
  bool ReadUnicodeName(ArchiveMember& member);

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

// A Windows file time as "YYYY-MM-DD hh:mm:ss" (UTC).
std::string FormatFileTime(std::uint64_t fileTime);
