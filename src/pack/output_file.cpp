#include "pack/output_file.h"

#include "common/le_bytes.h"

namespace fs = std::filesystem;

OutputFile::OutputFile(const fs::path& path) : path_(path), temp_(path) {
  temp_ += ".part";
  file_.open(temp_, std::ios::binary | std::ios::in | std::ios::out | std::ios::trunc);
}

OutputFile::~OutputFile() {
  if (!committed_) {
    file_.close();
    std::error_code ec;
    fs::remove(temp_, ec);
  }
}

void OutputFile::KeepChecksum(std::uint32_t checksumOffset) {
  checksumOffset_ = checksumOffset;
  checksum_.emplace(checksumOffset);
}

bool OutputFile::Write(const std::uint8_t* data, std::size_t size) {
  if (checksum_) checksum_->Add(data, size);
  file_.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  size_ += size;
  return static_cast<bool>(file_);
}

bool OutputFile::Patch(std::uint64_t offset, const std::uint8_t* data, std::size_t size) {
  file_.seekp(static_cast<std::streamoff>(offset));
  file_.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  file_.seekp(static_cast<std::streamoff>(size_));
  return static_cast<bool>(file_);
}

bool OutputFile::Rewrite(std::uint64_t offset, const std::uint8_t* was, const std::uint8_t* now,
                         std::size_t size) {
  if (checksum_) checksum_->Replace(offset, was, now, size);
  if (checksumAtMark_ && offset < mark_) checksumAtMark_->Replace(offset, was, now, size);
  return Patch(offset, now, size);
}

void OutputFile::Mark() {
  mark_ = size_;
  checksumAtMark_ = checksum_;
}

bool OutputFile::ReturnToMark() {
  // The stream cannot shorten its file: it is closed, cut and opened again.
  file_.close();
  std::error_code ec;
  fs::resize_file(temp_, mark_, ec);
  file_.open(temp_, std::ios::binary | std::ios::in | std::ios::out);
  if (ec || !file_) return false;
  file_.seekp(static_cast<std::streamoff>(mark_));
  size_ = mark_;
  checksum_ = checksumAtMark_;
  return static_cast<bool>(file_);
}

bool OutputFile::Commit() {
  if (checksum_) {
    std::uint8_t value[4];
    WriteLe32(value, checksum_->Finish());
    if (!Patch(*checksumOffset_, value, sizeof value)) return false;
  }
  file_.close();
  if (!file_) return false;
  std::error_code ec;
  fs::rename(temp_, path_, ec);
  if (ec) return false;
  committed_ = true;
  return true;
}
