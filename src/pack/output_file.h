// The file that create writes: created new under an unpredictable name in
// the output's folder (see NewFile) until it is complete, then renamed to
// the output's name; removed when it is not. For a self-extracting file it
// keeps the image checksum of every byte written, also across rewritten
// headers and data taken back, and writes it into the checksum field at the
// end.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>

#include "pack/archive_writer.h"
#include "pack/exclusive_file.h"
#include "pack/sfx_writer.h"

class OutputFile : public ArchiveOutput {
 public:
  explicit OutputFile(const std::filesystem::path& path);
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  bool Ok() const { return file_.IsOpen(); }
  // Keeps the image checksum, whose field is at checksumOffset; call before
  // the first write.
  void KeepChecksum(std::uint32_t checksumOffset);

  bool Write(const std::uint8_t* data, std::size_t size) override;
  std::uint64_t Offset() const override { return size_; }
  bool Rewrite(std::uint64_t offset, const std::uint8_t* was, const std::uint8_t* now,
               std::size_t size) override;
  void Mark() override;
  bool ReturnToMark() override;

  // Writes the checksum (when kept), closes the file and gives it its name.
  bool Commit();

 private:
  std::filesystem::path name_;
  OpenFolder folder_;  // before file_, which it must outlive
  NewFile file_;
  std::uint64_t size_ = 0;
  std::optional<std::uint32_t> checksumOffset_;
  std::optional<PeChecksum> checksum_, checksumAtMark_;
  std::uint64_t mark_ = 0;
};
