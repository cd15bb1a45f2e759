#include "pack/sfx_writer.h"

#include <cstring>
#include <utility>

#include "common/exe_layout.h"
#include "common/le_bytes.h"
#include "pack/cp932.h"
#include "pack/pe_image.h"
#include "pack/unicode_text.h"

namespace {

bool PutText(const std::string& utf8, const char* option, bool utf8Texts, char* field,
             std::size_t width, std::string& error) {
  std::string bytes = utf8;
  const char* encoding = utf8Texts ? "UTF-8" : "code page 932";
  if (utf8Texts ? !IsValidUtf8(utf8) : !Utf8ToCp932(utf8, bytes))
    return error = std::string(option) + ": the text has no form in " + encoding, false;
  if (bytes.find('\0') != std::string::npos)
    return error = std::string(option) + ": the text holds a zero byte", false;
  if (bytes.size() > width - 1)
    return error = std::string(option) + ": " + std::to_string(bytes.size()) + " bytes in " +
                   encoding + ", at most " + std::to_string(width - 1) + " fit",
           false;
  std::memset(field, 0, width);
  std::memcpy(field, bytes.data(), bytes.size());
  return true;
}

}  // namespace

std::string TextOutsideCodePage932(const SfxSettings& settings, const std::string& noticeText) {
  const std::pair<const char*, const std::string*> texts[] = {
      {"the title", &settings.title},     {"the label", &settings.label},
      {"the folder", &settings.folder},   {"the message", &settings.message},
      {"the command", &settings.command}, {"the notice", &noticeText}};
  std::string cp932;
  for (const auto& [name, text] : texts)
    if (!Utf8ToCp932(*text, cp932) && IsValidUtf8(*text))
      return std::string(name) + (text == &noticeText ? "" : " '" + *text + "'");
  return std::string();
}

bool FillSfxConfig(const SfxSettings& settings, std::uint32_t archiveOffset, SfxConfig& block,
                   std::string& error) {
  std::memset(&block, 0, sizeof block);
  WriteLe32(block.archiveOffset, archiveOffset);
  const bool u = settings.utf8Texts;
  if (!PutText(settings.title, "--title", u, block.title, sizeof block.title, error) ||
      !PutText(settings.label, "--label", u, block.folderLabel, sizeof block.folderLabel, error) ||
      !PutText(settings.folder, "--folder", u, block.defaultFolder, sizeof block.defaultFolder, error) ||
      !PutText(settings.message, "--message", u, block.message, sizeof block.message, error) ||
      !PutText(settings.command, "--run", u, block.autoRunCommand, sizeof block.autoRunCommand, error))
    return false;
  std::uint32_t flags = settings.language << kLanguageShift;
  if (settings.restoreAttributes) flags |= kFlagRestoreAttributes;
  if (settings.overwriteWithoutAsking) flags |= kFlagOverwriteWithoutAsking;
  if (settings.temporaryFolder) flags |= kFlagTemporaryFolder;
  if (u) flags |= kFlagUtf8Texts;
  SetConfigFlags(block, flags);
  return true;
}

bool CheckStub(const std::vector<std::uint8_t>& stub, std::uint32_t& checksumOffset,
               std::string& error, std::uint16_t* machine) {
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
  if (machine) *machine = info.machine;
  return true;
}

std::uint64_t PeChecksum::WordSum(std::uint64_t offset, const std::uint8_t* data,
                                  std::size_t size) const {
  // A byte at an even offset is a word's low half, at an odd one its high
  // half. The checksum field is four bytes from an even offset.
  auto outsideField = [this](std::uint64_t at) { return at - checksumOffset_ >= 4; };
  std::uint64_t sum = 0;
  std::size_t i = 0;
  if ((offset & 1) && size > 0) {
    if (outsideField(offset)) sum += std::uint64_t{data[0]} << 8;
    i = 1;
  }
  for (; i + 1 < size; i += 2)
    if (outsideField(offset + i)) sum += data[i] | (std::uint64_t{data[i + 1]} << 8);
  if (i < size && outsideField(offset + i)) sum += data[i];
  return sum;
}

void PeChecksum::Add(const std::uint8_t* data, std::size_t size) {
  sum_ += WordSum(length_, data, size);
  length_ += size;
}

void PeChecksum::Replace(std::uint64_t offset, const std::uint8_t* was, const std::uint8_t* now,
                         std::size_t size) {
  sum_ = sum_ - WordSum(offset, was, size) + WordSum(offset, now, size);
}

std::uint32_t PeChecksum::Finish() const {
  std::uint64_t sum = sum_;
  while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<std::uint32_t>(sum + length_);
}
