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

// The conventions each apply to one field, for the reader and their tests.
// Whether a name of this system that has no lower-case letter is meant in
// lower case: MS-DOS, OS/2, the Atari ST and a member of no given system.
bool NameCaseIsFolded(std::uint8_t osId);
// Whether a byte name of such a system is read in lower case: it has capital
// letters and no small one (the second byte of a Shift_JIS character is none).
bool NameIsReadInLowerCase(const std::string& byteName);
// The Unix permissions of OS-9 permissions: owner read, write, execute to
// the owner's; public read, write, execute to the group's and others'.
std::uint16_t Os9ToUnixPermissions(std::uint16_t os9);

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
