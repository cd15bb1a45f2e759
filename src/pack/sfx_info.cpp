#include "pack/sfx_info.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "common/exe_layout.h"
#include "common/le_bytes.h"
#include "common/lzh_format.h"
#include "pack/pe_image.h"

namespace {

// The MS-DOS and PE headers lie at the start of the file; no linker puts
// them further out than this.
constexpr std::size_t kHeadBytes = 64 * 1024;
constexpr std::size_t kConfigEnd = exe_layout::kConfigOffset + exe_layout::kConfigBytes;
// Length, revision and type of a WIN_CERTIFICATE entry.
constexpr std::size_t kCertificateEntryHeadBytes = 8;

std::uint16_t CertificateType(std::ifstream& in, const SfxDescription& d) {
  char entry[kCertificateEntryHeadBytes];
  if (d.certificateSize < sizeof entry ||
      std::uint64_t{d.certificateOffset} + d.certificateSize > d.fileSize)
    return 0;
  in.clear();
  in.seekg(static_cast<std::streamoff>(d.certificateOffset));
  if (!in.read(entry, sizeof entry)) return 0;
  return ReadLe16(reinterpret_cast<const std::uint8_t*>(entry) + 6);
}

}  // namespace

bool ReadSfxDescription(const std::string& path, SfxDescription& d, std::string& error) {
  d = SfxDescription{};
  const std::filesystem::path file = std::filesystem::u8path(path);
  std::ifstream in(file, std::ios::binary);
  std::error_code ec;
  d.fileSize = std::filesystem::file_size(file, ec);
  if (!in || ec) return error = "cannot open", false;
  std::vector<std::uint8_t> head(kHeadBytes);
  in.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
  if (in.bad()) return error = "cannot read", false;
  head.resize(static_cast<std::size_t>(in.gcount()));
  if (head.size() < 2 || head[0] != 'M' || head[1] != 'Z')
    return error = "not a self-extracting file: no MS-DOS header", false;
  if (head.size() < kConfigEnd)
    return error = "not a self-extracting file: too short for a configuration block at offset 512",
           false;
  pe_image::PeInfo pe;
  std::string peError;
  if (!pe_image::ParsePeHeaders(head.data(), head.size(), d.fileSize, pe, peError))
    return error = "not a self-extracting file: no Windows program (" + peError + ")", false;
  std::memcpy(&d.config, &head[exe_layout::kConfigOffset], sizeof d.config);
  TerminateConfigTexts(d.config);
  const std::uint32_t archiveOffset = ConfigArchiveOffset(d.config);
  if (archiveOffset < kConfigEnd || archiveOffset >= d.fileSize)
    return error = "no configuration block at offset 512: the archive offset there (" +
                   std::to_string(archiveOffset) + ") does not point into the file behind it",
           false;
  d.machine = pe.machine;
  d.pe32Plus = pe.pe32Plus;
  d.imageEnd = pe.imageEnd;
  d.certificateOffset = pe.certificateOffset;
  d.certificateSize = pe.certificateSize;
  d.certificateType = CertificateType(in, d);
  return true;
}

std::string MachineName(std::uint16_t machine) {
  if (machine == pe_image::kMachineAmd64) return "x86_64";
  if (machine == pe_image::kMachineI386) return "i686";
  char text[24];
  std::snprintf(text, sizeof text, "machine 0x%04X", machine);
  return text;
}

std::vector<std::string> FlagWords(std::uint32_t flags) {
  std::vector<std::string> words;
  if (flags & kFlagRestoreAttributes) words.push_back("restore attributes");
  if (flags & kFlagOverwriteWithoutAsking) words.push_back("overwrite without asking");
  if (flags & kFlagTemporaryFolder) words.push_back("temporary folder");
  if (flags & kFlagUtf8Texts) words.push_back("texts in UTF-8");
  if (ConfigLanguage(flags) != kLanguageAuto) words.push_back("language " + LanguageCode(flags));
  constexpr std::uint32_t kKnown = kFlagRestoreAttributes | kFlagOverwriteWithoutAsking |
                                   kFlagTemporaryFolder | kFlagUtf8Texts | kFlagLanguageMask;
  for (unsigned bit = 0; bit < 32; ++bit)
    if (flags & ~kKnown & (1u << bit)) words.push_back("unknown bit " + std::to_string(bit));
  return words;
}

std::string LanguageCode(std::uint32_t flags) {
  switch (ConfigLanguage(flags)) {
    case kLanguageAuto: return "auto";
    case kLanguageJapanese: return "ja";
    case kLanguageEnglish: return "en";
    default: return "unknown";
  }
}

std::uint32_t BlockTextCodePage(std::uint32_t flags) {
  return (flags & kFlagUtf8Texts) ? lzh::kCodePageUtf8 : lzh::kCodePageShiftJis;
}

bool HasAuthenticodeSignature(const SfxDescription& d) {
  return d.certificateSize != 0 && d.certificateType == kCertificatePkcsSignedData;
}
