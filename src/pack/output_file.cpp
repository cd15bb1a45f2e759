#include "pack/output_file.h"

#include "common/le_bytes.h"

namespace fs = std::filesystem;

OutputFile::OutputFile(const fs::path& path) : name_(path.filename()), file_(folder_) {
  if (folder_.Open(path.parent_path())) file_.Create();
}

void OutputFile::KeepChecksum(std::uint32_t checksumOffset) {
  checksumOffset_ = checksumOffset;
  checksum_.emplace(checksumOffset);
}

bool OutputFile::Write(const std::uint8_t* data, std::size_t size) {
  if (checksum_) checksum_->Add(data, size);
  size_ += size;
  return file_.Write(data, size);
}

bool OutputFile::Rewrite(std::uint64_t offset, const std::uint8_t* was, const std::uint8_t* now,
                         std::size_t size) {
  if (checksum_) checksum_->Replace(offset, was, now, size);
  if (checksumAtMark_ && offset < mark_) checksumAtMark_->Replace(offset, was, now, size);
  return file_.WriteAt(offset, now, size);
}

void OutputFile::Mark() {
  mark_ = size_;
  checksumAtMark_ = checksum_;
}

bool OutputFile::ReturnToMark() {
  size_ = mark_;
  checksum_ = checksumAtMark_;
  return file_.Truncate(mark_);
}

bool OutputFile::Commit() {
  if (checksum_) {
    std::uint8_t value[4];
    WriteLe32(value, checksum_->Finish());
    if (!file_.WriteAt(*checksumOffset_, value, sizeof value)) return false;
  }
  return file_.GiveName(name_, true) == NewFile::Named::Done;
}
