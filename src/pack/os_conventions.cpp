#include "pack/os_conventions.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "common/dbcs.h"
#include "common/file_time.h"
#include "common/lzh_format.h"

namespace {

bool IsAsciiLower(unsigned char c) { return c >= 'a' && c <= 'z'; }
bool IsAsciiUpper(unsigned char c) { return c >= 'A' && c <= 'Z'; }

// Lower-cases the single-byte letters of a byte name; the second byte of a
// Shift_JIS character is never taken for a letter, so the character stays.
// With lower false, only tells whether it has a lower-case letter.
bool ScanByteName(std::string& name, bool lower) {
  for (std::size_t i = 0; i < name.size();) {
    const unsigned step = CharUnits(name.c_str() + i);
    const auto c = static_cast<unsigned char>(name[i]);
    if (step == 1 && !lower && IsAsciiLower(c)) return true;
    if (step == 1 && lower && IsAsciiUpper(c)) name[i] = static_cast<char>(c - 'A' + 'a');
    i += step;
  }
  return false;
}

// UTF-8: every byte of a character beyond ASCII is 0x80 or above.
void LowerUtf8Letters(std::string& text) {
  for (char& c : text)
    if (IsAsciiUpper(static_cast<unsigned char>(c))) c = static_cast<char>(c - 'A' + 'a');
}

// MacBinary's fields (big-endian).
constexpr std::size_t kMacNameLength = 1, kMacName = 2, kMacDataLength = 83, kMacResourceLength = 87,
                      kMacModified = 95, kMacZeroFrom = 99;
constexpr unsigned kMacLongestName = 63;
constexpr std::size_t kMacZeroBytes[] = {0, 74, 82};
// Seconds from the Macintosh's epoch (1904) to the Unix one.
constexpr std::int64_t kMacEpochToUnix = 2082844800;
// The Macintosh keeps local time: its time and the header's may differ by
// the widest zone offset, 14 hours.
constexpr std::int64_t kMacTimeSlack = 14 * 3600;

std::uint32_t ReadBe32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
         static_cast<std::uint32_t>(p[2]) << 8 | p[3];
}

std::size_t PaddedTo128(std::uint64_t bytes) { return static_cast<std::size_t>((bytes + 127) / 128 * 128); }

// A MacBinary header as MacLHA writes it for this member: the member's own
// file name, its time, a data fork that with the header fills the member,
// no resource fork, and the fields MacBinary keeps zero at zero.
bool IsMacBinaryHeaderOf(const std::uint8_t* h, const ArchiveMember& m) {
  if (std::any_of(std::begin(kMacZeroBytes), std::end(kMacZeroBytes), [h](std::size_t at) { return h[at] != 0; }) ||
      std::any_of(h + kMacZeroFrom, h + MacBinaryUnwrapper::kHeaderBytes, [](std::uint8_t b) { return b != 0; }))
    return false;
  const unsigned nameBytes = h[kMacNameLength];
  const std::size_t slash = m.name.rfind('/');
  const std::string file = m.name.substr(slash == std::string::npos ? 0 : slash + 1);
  if (nameBytes == 0 || nameBytes > kMacLongestName || file.size() != nameBytes ||
      std::memcmp(h + kMacName, file.data(), nameBytes) != 0)
    return false;
  const std::uint32_t dataBytes = ReadBe32(h + kMacDataLength);
  if (ReadBe32(h + kMacResourceLength) != 0 ||
      static_cast<std::uint64_t>(m.originalSize) != MacBinaryUnwrapper::kHeaderBytes + PaddedTo128(dataBytes))
    return false;
  const std::int64_t macTime = static_cast<std::int64_t>(ReadBe32(h + kMacModified)) - kMacEpochToUnix;
  const std::int64_t headerTime = FileTimeToUnix(m.modifiedTime).seconds;
  return macTime >= headerTime - kMacTimeSlack && macTime <= headerTime + kMacTimeSlack;
}

// Whether a name of this system that has no lower-case letter is meant in
// lower case: MS-DOS, OS/2, the Atari ST and a member of no given system.
bool NameCaseIsFolded(std::uint8_t osId) {
  return osId == 0 || osId == lzh::kOsIdMsdos || osId == lzh::kOsIdOs2 || osId == lzh::kOsIdAtari;
}

// The Unix permissions of OS-9 permissions: owner read, write, execute to
// the owner's; public read, write, execute to the group's and others'.
std::uint16_t Os9ToUnixPermissions(std::uint16_t os9) {
  // OS-9's bits, low first: owner read, write, execute; public read, write,
  // execute; not shareable; directory.
  static constexpr std::uint16_t kUnixOf[] = {0400, 0200, 0100, 0044, 0022, 0011};
  std::uint16_t mode = 0;
  for (unsigned bit = 0; bit < sizeof kUnixOf / sizeof kUnixOf[0]; ++bit)
    if (os9 & (1u << bit)) mode |= kUnixOf[bit];
  return mode;
}

}  // namespace

bool NameIsReadInLowerCase(const std::string& byteName) {
  std::string lowered = byteName;
  if (ScanByteName(lowered, false)) return false;
  ScanByteName(lowered, true);
  return lowered != byteName;
}

void ApplyOsConventions(ArchiveMember& m) {
  if (m.osId == lzh::kOsIdOs9_68k && m.hasUnixMode) m.unixMode = Os9ToUnixPermissions(m.unixMode);
  if (!NameCaseIsFolded(m.osId) || m.nameIsExact) return;
  // The decision is taken on the name that is shown and extracted.
  std::string text = m.nameIsText ? m.utf8Name : m.name;
  const bool hasLower = m.nameIsText ? std::any_of(text.begin(), text.end(), [](char c) {
    return IsAsciiLower(static_cast<unsigned char>(c));
  }) : ScanByteName(text, false);
  if (hasLower) return;
  ScanByteName(m.name, true);
  LowerUtf8Letters(m.utf8Name);
}

bool MayHoldMacBinary(const HeaderFields& m) {
  return m.osId == lzh::kOsIdMac && m.originalSize >= static_cast<std::int64_t>(MacBinaryUnwrapper::kHeaderBytes) &&
         m.originalSize % MacBinaryUnwrapper::kHeaderBytes == 0;
}

bool MacBinaryUnwrapper::Take(const void* data, std::size_t length) {
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  if (!decided_) {
    const std::size_t n = std::min(length, kHeaderBytes - held_);
    std::memcpy(header_ + held_, bytes, n);
    held_ += n;
    bytes += n;
    length -= n;
    if (held_ < kHeaderBytes) return true;
    decided_ = true;
    if (IsMacBinaryHeaderOf(header_, member_)) {
      left_ = ReadBe32(header_ + kMacDataLength);
    } else {
      left_ = UINT64_MAX;
      if (!next_(header_, kHeaderBytes)) return false;
    }
  }
  const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(length, left_));
  left_ -= n;
  return n == 0 || next_(bytes, n);
}

bool MacBinaryUnwrapper::Finish() { return decided_ || held_ == 0 || next_(header_, held_); }
