// The self-extracting file: the stub's bytes with the configuration block
// filled in at offset 512, the archive behind the image, and the image
// checksum brought up to date for the whole file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/sfx_config.h"

// The configuration texts as the publisher gives them, in UTF-8.
struct SfxSettings {
  std::string title, label, folder, message, command;
  bool overwriteWithoutAsking = false;
  bool restoreAttributes = false;
  bool temporaryFolder = false;  // extract into a new folder under TEMP, run, wait, delete
  // The texts (and the notice) go into the block as UTF-8: see
  // TextOutsideCodePage932.
  bool utf8Texts = false;
  std::uint32_t language = kLanguageAuto;
};

// The first of the block's texts and the notice (noticeText, UTF-8; empty
// when there is none) that code page 932 cannot hold, named for a message
// ("the title 'Café Setup'"); empty when it holds them all. Only then are
// they written in code page 932, as always; else all of them in UTF-8.
std::string TextOutsideCodePage932(const SfxSettings& settings, const std::string& noticeText);

// Fills block from the settings: texts in code page 932 (in UTF-8 with
// utf8Texts), each ending with a zero byte inside its field, the rest of the
// field zero. False with a message naming the option when a text does not
// fit or has no form in the chosen encoding.
bool FillSfxConfig(const SfxSettings& settings, std::uint32_t archiveOffset, SfxConfig& block,
                   std::string& error);

// Checks that stub is one of our stubs, unsigned and with nothing behind its
// image, so the archive can follow it directly. Returns the offset of the
// image checksum field in checksumOffset, and the PE header's Machine in
// machine when it is given.
bool CheckStub(const std::vector<std::uint8_t>& stub, std::uint32_t& checksumOffset,
               std::string& error, std::uint16_t* machine = nullptr);

// The image checksum of a file given piece by piece (the loader's algorithm:
// a folded 16-bit sum of the file's words, the checksum field taken as 0,
// plus the file length). The sum is kept unfolded, so bytes written earlier
// can be replaced and a copy taken at some point of the file can go on from there.
class PeChecksum {
 public:
  explicit PeChecksum(std::uint32_t checksumOffset) : checksumOffset_(checksumOffset) {}
  void Add(const std::uint8_t* data, std::size_t size);
  // The size bytes at offset, added as `was`, are now `now`.
  void Replace(std::uint64_t offset, const std::uint8_t* was, const std::uint8_t* now,
               std::size_t size);
  std::uint32_t Finish() const;

 private:
  // What the bytes at offset add to the sum.
  std::uint64_t WordSum(std::uint64_t offset, const std::uint8_t* data, std::size_t size) const;

  std::uint32_t checksumOffset_;
  std::uint64_t sum_ = 0;
  std::uint64_t length_ = 0;
};
