// The members of one archive file as a command reads them, in order. Every
// failure is reported in the command's shape, naming the file once:
//   quorvel-pack test: 'a.lzh': header of member 3: archive damaged
//   quorvel-pack test: 'a.lzh': member docs/b.txt: data CRC 1234, expected 4321
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "pack/archive_reader.h"
#include "pack/command_line.h"

class ArchiveWalk {
 public:
  ArchiveWalk(const CommandLine& line, std::string file) : line_(line), file_(std::move(file)) {}

  const std::string& file() const { return file_; }
  std::uint64_t archiveOffset() const { return reader_.archiveOffset(); }
  // Members read so far.
  std::uint64_t count() const { return count_; }
  // A message was reported: the command fails.
  bool failed() const { return failed_; }

  // Opens the file and finds its archive; false after a message.
  bool Open();
  // The next member; false at the end of the archive, or after a message.
  bool Next(ArchiveMember& member);
  // Decodes the member that Next gave (see ArchiveReader::Decode); false
  // after a message.
  bool Decode(const MemberSink& sink);
  // Reports what went wrong with the member that Next gave; returns false.
  bool FailMember(const std::string& what);

 private:
  bool Fail(const std::string& what);

  const CommandLine& line_;
  std::string file_;
  ArchiveReader reader_;
  std::string memberName_;  // of the member that Next gave, for messages
  std::uint64_t count_ = 0;
  bool failed_ = false;
};
