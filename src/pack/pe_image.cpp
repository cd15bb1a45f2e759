#include "pack/pe_image.h"

#include <algorithm>
#include <cstring>

#include "common/exe_layout.h"
#include "common/le_bytes.h"

namespace pe_image {


namespace {
constexpr std::uint32_t kCoffHeaderBytes = 20;
constexpr std::uint32_t kSectionHeaderBytes = 40;
constexpr std::uint16_t kMagicPe32 = 0x10B;
constexpr std::uint16_t kMagicPe32Plus = 0x20B;
// Offsets inside the optional header; equal for PE32 and PE32+.
constexpr std::uint32_t kOptFileAlignment = 36;
constexpr std::uint32_t kOptSizeOfHeaders = 60;
constexpr std::uint32_t kOptCheckSum = 64;
constexpr std::uint32_t kOptDirectoriesPe32 = 96;
constexpr std::uint32_t kOptDirectoriesPe32Plus = 112;
constexpr std::uint32_t kDirCertificate = 4;
constexpr std::uint32_t kDirDebug = 6;

std::uint32_t AlignUp(std::uint32_t v, std::uint32_t a) { return (v + a - 1) / a * a; }
}  // namespace

bool ParsePe(const std::vector<std::uint8_t>& f, PeInfo& info, std::string& error) {
  return ParsePeHeaders(f.data(), f.size(), f.size(), info, error);
}

bool ParsePeHeaders(const std::uint8_t* f, std::size_t headBytes, std::uint64_t fileSize,
                    PeInfo& info, std::string& error) {
  info = PeInfo{};
  if (headBytes < 0x40 || f[0] != 'M' || f[1] != 'Z') return error = "no MZ header", false;
  info.peOffset = ReadLe32(&f[exe_layout::kOffLfanew]);
  const std::uint64_t coff = std::uint64_t{info.peOffset} + 4;
  if (coff + kCoffHeaderBytes > headBytes || std::memcmp(&f[info.peOffset], "PE\0\0", 4) != 0)
    return error = "e_lfanew does not point at a PE signature", false;
  info.machine = ReadLe16(&f[coff]);
  const std::uint16_t sectionCount = ReadLe16(&f[coff + 2]);
  const std::uint16_t optBytes = ReadLe16(&f[coff + 16]);
  const std::uint64_t opt = coff + kCoffHeaderBytes;
  info.headersBytes = 4 + kCoffHeaderBytes + optBytes + kSectionHeaderBytes * sectionCount;
  if (std::uint64_t{info.peOffset} + info.headersBytes > headBytes || optBytes < kOptCheckSum + 4)
    return error = "truncated PE headers", false;
  const std::uint16_t magic = ReadLe16(&f[opt]);
  if (magic != kMagicPe32 && magic != kMagicPe32Plus) return error = "unknown optional header", false;
  info.pe32Plus = magic == kMagicPe32Plus;
  info.fileAlignment = ReadLe32(&f[opt + kOptFileAlignment]);
  info.sizeOfHeaders = ReadLe32(&f[opt + kOptSizeOfHeaders]);
  info.checksumOffset = static_cast<std::uint32_t>(opt + kOptCheckSum);
  if (info.fileAlignment == 0) return error = "zero file alignment", false;
  const std::uint32_t dirs = info.pe32Plus ? kOptDirectoriesPe32Plus : kOptDirectoriesPe32;
  const std::uint32_t dirCount = optBytes > dirs ? (optBytes - dirs) / 8 : 0;
  if (dirCount > kDirCertificate) {
    info.certificateOffset = ReadLe32(&f[opt + dirs + 8 * kDirCertificate]);
    info.certificateSize = ReadLe32(&f[opt + dirs + 8 * kDirCertificate + 4]);
  }
  if (dirCount > kDirDebug) info.debugSize = ReadLe32(&f[opt + dirs + 8 * kDirDebug + 4]);
  info.lowestVirtualAddress = UINT32_MAX;
  for (std::uint32_t i = 0; i < sectionCount; ++i) {
    const std::uint8_t* s = &f[opt + optBytes + kSectionHeaderBytes * i];
    Section sec{};
    std::memcpy(sec.name, s, 8);
    sec.rawSize = ReadLe32(s + 16);
    sec.rawOffset = ReadLe32(s + 20);
    if (std::uint64_t{sec.rawOffset} + sec.rawSize > fileSize)
      return error = "section data beyond the end of the file", false;
    info.lowestVirtualAddress = std::min(info.lowestVirtualAddress, ReadLe32(s + 12));
    if (sec.rawSize) info.imageEnd = std::max(info.imageEnd, sec.rawOffset + sec.rawSize);
    info.sections.push_back(sec);
  }
  return true;
}

std::uint32_t ComputeChecksum(const std::vector<std::uint8_t>& f, std::uint32_t checksumOffset) {
  std::uint64_t sum = 0;
  for (std::size_t i = 0; i < f.size(); i += 2) {
    if (i == checksumOffset || i == checksumOffset + 2) continue;
    std::uint32_t word = f[i] | (i + 1 < f.size() ? f[i + 1] << 8 : 0);
    sum += word;
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<std::uint32_t>(sum + f.size());
}

bool Relayout(const std::vector<std::uint8_t>& linked, std::vector<std::uint8_t>& out,
              std::string& error) {
  PeInfo in;
  if (!ParsePe(linked, in, error)) return false;
  if (in.certificateSize != 0) return error = "the image is already signed", false;
  if (in.debugSize != 0) return error = "the image carries debug data; link with -s", false;

  std::uint32_t firstRaw = in.sizeOfHeaders;
  bool anyRaw = false;
  for (const Section& s : in.sections)
    if (s.rawSize) firstRaw = anyRaw ? std::min(firstRaw, s.rawOffset) : s.rawOffset, anyRaw = true;
  if (firstRaw < in.sizeOfHeaders) return error = "section data inside the header area", false;

  const std::uint32_t newHeaders =
      AlignUp(static_cast<std::uint32_t>(exe_layout::kPeHeaderOffset) + in.headersBytes,
              in.fileAlignment);
  if (newHeaders > in.lowestVirtualAddress)
    return error = "the header area would overlap the first section in memory", false;
  const std::uint32_t shift = newHeaders > firstRaw ? newHeaders - firstRaw : 0;

  out.assign(linked.size() + shift, 0);
  std::uint8_t* o = out.data();
  o[0] = 'M';
  o[1] = 'Z';
  WriteLe16(o + exe_layout::kOffCblp, exe_layout::kCblp);
  WriteLe16(o + exe_layout::kOffCp, exe_layout::kCp);
  WriteLe16(o + exe_layout::kOffCparhdr, exe_layout::kCparhdr);
  WriteLe16(o + exe_layout::kOffMaxalloc, exe_layout::kMaxalloc);
  WriteLe16(o + exe_layout::kOffSp, exe_layout::kSp);
  WriteLe16(o + exe_layout::kOffCs, exe_layout::kCs);
  WriteLe16(o + exe_layout::kOffLfarlc, exe_layout::kLfarlc);
  for (int i = 0; i < 4; ++i)
    WriteLe16(o + exe_layout::kOffReserved + 2 * i, exe_layout::kReservedWords[i]);
  std::memcpy(o + exe_layout::kOffMarker, exe_layout::kMarker, sizeof exe_layout::kMarker);
  WriteLe32(o + exe_layout::kOffLfanew, static_cast<std::uint32_t>(exe_layout::kPeHeaderOffset));
  std::memcpy(o + exe_layout::kDosStubOffset, exe_layout::kDosStub, exe_layout::kDosStubBytes);

  // PE headers behind the stub, then every byte from the first section on.
  std::memcpy(o + exe_layout::kPeHeaderOffset, &linked[in.peOffset], in.headersBytes);
  std::memcpy(o + firstRaw + shift, &linked[firstRaw], linked.size() - firstRaw);

  const std::uint32_t delta = static_cast<std::uint32_t>(exe_layout::kPeHeaderOffset) - in.peOffset;
  const std::uint32_t coff = in.peOffset + 4 + delta;
  const std::uint32_t opt = coff + kCoffHeaderBytes;
  WriteLe32(o + opt + kOptSizeOfHeaders, std::max(newHeaders, in.sizeOfHeaders));
  if (shift) {
    const std::uint32_t symbols = ReadLe32(o + coff + 8);
    if (symbols) WriteLe32(o + coff + 8, symbols + shift);
    const std::uint32_t table = opt + ReadLe16(o + coff + 16);
    for (std::size_t i = 0; i < in.sections.size(); ++i) {
      std::uint8_t* s = o + table + kSectionHeaderBytes * i;
      if (ReadLe32(s + 20)) WriteLe32(s + 20, ReadLe32(s + 20) + shift);
    }
  }
  const std::uint32_t checksumOffset = in.checksumOffset + delta;
  WriteLe32(o + checksumOffset, ComputeChecksum(out, checksumOffset));
  return true;
}

}  // namespace pe_image
