// The file that create writes: under a temporary name (OUT.part) until it is
// complete, removed when it is not. For a self-extracting file it keeps the
// image checksum of every byte written, also across rewritten headers and
// data taken back, and writes it into the checksum field at the end.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>

#include "pack/archive_writer.h"
#include "pack/sfx_writer.h"

class OutputFile : public ArchiveOutput {
 public:
  explicit OutputFile(const std::filesystem::path& path);
  ~OutputFile() override;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  bool Ok() const { return static_cast<bool>(file_); }
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
  bool Patch(std::uint64_t offset, const std::uint8_t* data, std::size_t size);

  std::filesystem::path path_, temp_;
  std::fstream file_;
  std::uint64_t size_ = 0;
  std::optional<std::uint32_t> checksumOffset_;
  std::optional<PeChecksum> checksum_, checksumAtMark_;
  std::uint64_t mark_ = 0;
  bool committed_ = false;
};
