// What the LHA writers of each system meant by the fields every system
// shares: names from MS-DOS and its kin have a single case, the mode of an
// OS-9/68K member holds OS-9 permissions, and MacLHA may put a MacBinary
// header before a file's data. Applied by the reader, so that every command
// sees a member as these writers meant it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "pack/archive_reader.h"

// Applies the conventions of the member's system to its names (the byte name
// and, when it is text, its UTF-8 form) and its mode. Called once the names
// are made, before a link's target is split off.
void ApplyOsConventions(ArchiveMember& member);

// Whether a byte name of MS-DOS, OS/2, the Atari ST or no given system is
// read in lower case: it has capital letters and no small one (the second
// byte of a Shift_JIS character is none).
bool NameIsReadInLowerCase(const std::string& byteName);

// MacLHA stores a Macintosh file as MacBinary: a 128-byte header, the data
// fork and the resource fork, each padded to 128 bytes. A member that is
// only a header and its data fork gives its data fork alone on extraction;
// its size, CRC and listing stay those of the stored bytes.
bool MayHoldMacBinary(const HeaderFields& member);

// Passes a member's decoded bytes on to next, without the MacBinary header
// and padding when the first 128 bytes are such a header for this member.
class MacBinaryUnwrapper {
 public:
  MacBinaryUnwrapper(const ArchiveMember& member, const MemberSink& next) : member_(member), next_(next) {}
  bool Take(const void* data, std::size_t length);
  // Hands on what is still held: a member shorter than a header.
  bool Finish();

  static constexpr std::size_t kHeaderBytes = 128;

 private:
  const ArchiveMember& member_;
  const MemberSink& next_;
  std::uint8_t header_[kHeaderBytes] = {};
  std::size_t held_ = 0;
  bool decided_ = false;
  std::uint64_t left_ = 0;  // bytes still to pass on, once decided
};
