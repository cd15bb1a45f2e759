#include "pack/sfx_writer.h"

#include <cstring>

#include "common/exe_layout.h"
#include "common/le_bytes.h"
#include "pack/cp932.h"
#include "pack/pe_image.h"

namespace {

bool PutText(const std::string& utf8, const char* option, char* field, std::size_t width,
             std::string& error) {
  std::string cp932;
  if (!Utf8ToCp932(utf8, cp932))
    return error = std::string(option) + ": the text has no form in code page 932", false;
  if (cp932.find('\0') != std::string::npos)
    return error = std::string(option) + ": the text holds a zero byte", false;
  if (cp932.size() > width - 1)
    return error = std::string(option) + ": " + std::to_string(cp932.size()) +
                   " bytes in code page 932, at most " + std::to_string(width - 1) + " fit",
           false;
  std::memset(field, 0, width);
  std::memcpy(field, cp932.data(), cp932.size());
  return true;
}

}  // namespace

bool FillSfxConfig(const SfxSettings& settings, std::uint32_t archiveOffset, SfxConfig& block,
                   std::string& error) {
  std::memset(&block, 0, sizeof block);
  WriteLe32(block.archiveOffset, archiveOffset);
  if (!PutText(settings.title, "--title", block.title, sizeof block.title, error) ||
      !PutText(settings.label, "--label", block.folderLabel, sizeof block.folderLabel, error) ||
      !PutText(settings.folder, "--folder", block.defaultFolder, sizeof block.defaultFolder, error) ||
      !PutText(settings.message, "--message", block.message, sizeof block.message, error) ||
      !PutText(settings.command, "--run", block.autoRunCommand, sizeof block.autoRunCommand, error))
    return false;
  std::uint32_t flags = 0;
  if (settings.restoreAttributes) flags |= kFlagRestoreAttributes;
  if (settings.overwriteWithoutAsking) flags |= kFlagOverwriteWithoutAsking;
  if (settings.temporaryFolder) flags |= kFlagTemporaryFolder;
  SetConfigFlags(block, flags);
  return true;
}

bool CheckStub(const std::vector<std::uint8_t>& stub, std::uint32_t& checksumOffset,
               std::string& error) {
  using namespace exe_layout;
  if (stub.size() < kPeHeaderOffset || stub[0] != 'M' || stub[1] != 'Z' ||
      ReadLe16(&stub[kOffCparhdr]) != kCparhdr ||
      std::memcmp(&stub[kOffMarker], kMarker, sizeof kMarker) != 0)
    return error = "not a self-extracting stub of this packer", false;
  pe_image::PeInfo info;
  if (!pe_image::ParsePe(stub, info, error)) return false;
  if (info.certificateSize != 0 || info.certificateOffset != 0)
    return error = "the stub carries a certificate table; sign the finished file instead", false;
  if (stub.size() != info.imageEnd)
    return error = "the stub has data behind its image; use the stub as it was built", false;
  checksumOffset = info.checksumOffset;
  return true;
}

void PeChecksum::Add(const std::uint8_t* data, std::size_t size) {
  for (std::size_t i = 0; i < size; ++i, ++length_) {
    if (pendingLow_ < 0) {
      pendingLow_ = data[i];
      continue;
    }
    std::uint64_t wordStart = length_ - 1;
    std::uint32_t word = static_cast<std::uint32_t>(pendingLow_) | (std::uint32_t{data[i]} << 8);
    pendingLow_ = -1;
    if (wordStart == checksumOffset_ || wordStart == checksumOffset_ + 2) continue;
    sum_ += word;
    sum_ = (sum_ & 0xFFFF) + (sum_ >> 16);
  }
}

std::uint32_t PeChecksum::Finish() const {
  std::uint64_t sum = sum_;
  if (pendingLow_ >= 0) {
    sum += static_cast<std::uint32_t>(pendingLow_);
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<std::uint32_t>(sum + length_);
}
