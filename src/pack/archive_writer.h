// The packer's archive side: which members the given paths make, in a fixed
// order, and how each is written (header, then data), closed by the end byte.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "pack/header_writer.h"

struct PackSource {
  std::filesystem::path path;   // empty for a member held in `content`
  std::string displayName;      // the member's name in UTF-8, '/' between components
  MemberEntry entry;            // names, time and attributes; sizes, CRC, method come later
  bool directory = false;
  bool inMemory = false;
  std::vector<std::uint8_t> content;  // the bytes of an in-memory member
  // content is the member's data already in entry.method, with its sizes
  // and CRC in entry (a member copied from another archive), written as it is.
  bool packed = false;
  std::uint64_t size = 0;             // as seen when the member list was made
};

// How the folders given are walked.
struct CollectOptions {
  // A symbolic link inside a folder given is skipped (and reported to
  // skippedLink) unless followLinks is set; then what it points at is packed,
  // and a link that leads nowhere is an error. A link given as a path itself
  // is always followed: its user named it.
  bool followLinks = false;
  std::function<void(const std::string& display, const std::string& target)> skippedLink;
};

// The members for the given files and folders: a folder gives its directory
// entry, then its contents in byte order of their names, each subfolder's
// entry before what it holds. False with a one-line message naming
// the path on anything the archive cannot carry. A folder given as "." or
// "dir/." (or a root) gives its contents without a directory entry of its own.
bool CollectSources(const std::vector<std::string>& paths, std::vector<PackSource>& sources,
                    std::string& error, const CollectOptions& options = CollectOptions());

// The text of a notice file as it is (UTF-8, when it is text).
bool ReadNoticeText(const std::string& file, std::string& text, std::string& error);

// The notice member "!": the file's text, UTF-8 converted to code page 932,
// or kept in UTF-8 with utf8Text (the block's flag says so).
bool MakeNoticeSource(const std::string& file, PackSource& source, std::string& error,
                      bool utf8Text = false);

// Where the archive goes. Members are written front to back; a member too
// large to hold in memory is written before its sizes and CRC are known, so
// its header is rewritten afterwards, and its compressed data is taken back
// when it turns out larger than the file (the member is then stored).
class ArchiveOutput {
 public:
  virtual ~ArchiveOutput() = default;
  // Appends bytes; false when they cannot be written.
  virtual bool Write(const std::uint8_t* data, std::size_t size) = 0;
  // The offset of the next byte written; Rewrite takes such offsets.
  virtual std::uint64_t Offset() const = 0;
  // Replaces the size bytes at offset, which were `was`, with `now`.
  virtual bool Rewrite(std::uint64_t offset, const std::uint8_t* was, const std::uint8_t* now,
                       std::size_t size) = 0;
  // Remembers the current end, then drops every byte written after it.
  virtual void Mark() = 0;
  virtual bool ReturnToMark() = 0;
};

// Called with bytes of original data handled so far and in all.
using PackProgress = std::function<void(std::uint64_t done, std::uint64_t total)>;

// Writes every member with method '0', '5', '6' or '7' (a member that would
// grow is stored), then the end byte. Members are compressed on up to
// `threads` threads; the output does not depend on how many. The memory it
// needs does not depend on the size of the files: a file of
// kLzhSegmentedFromBytes or more is read, compressed and written piece by
// piece (see LzhEncodeStream), smaller ones whole, a few members ahead of the
// one being written.
bool WriteArchive(const std::vector<PackSource>& sources, char method, unsigned threads,
                  ArchiveOutput& out, const PackProgress& progress, std::string& error);

// The members of an archive of any level and method (see ArchiveReader) as
// sources for WriteArchive: members of the methods the stub decodes are
// copied as they are, the others decoded (and compressed again by the
// writer); directories, times and attributes carried over. Every member's
// CRC is checked on the way. A symbolic link is skipped and reported to
// skippedLink, since the stub makes no links. False with a message.
bool ImportArchive(const std::string& path, std::vector<PackSource>& sources, std::string& error,
                   const std::function<void(const std::string& name, const std::string& target)>& skippedLink);

// Reads an archive made elsewhere, for appending it to a stub as it is, the
// way `quorvel-pack test` and the stub read it: every header, every member
// decoded and its CRC checked, up to the end byte. length receives the bytes
// up to and including the end byte; false with a message otherwise.
bool CheckAppendableArchive(const std::vector<std::uint8_t>& archive, std::size_t& length,
                            std::string& error);
