#include "legacy/legacy_streams.h"

#include <algorithm>
#include <cstring>

namespace legacy {

namespace {
constexpr std::size_t kPieceBytes = 65536;
}

// ---- Input ------------------------------------------------------------------

BitInput::BitInput(const ByteSource& source, std::uint64_t dataBytes, unsigned zeroBytesPastData)
    : source_(source), unpulled_(dataBytes), zeroBytesLeft_(zeroBytesPastData), block_(kBlockBytes) {}

bool BitInput::PullBlock() {
  const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(unpulled_, kBlockBytes));
  const std::int64_t got = source_(block_.data(), want);
  // A source that ends before the member's compressed size does is a file
  // shorter than its headers say: a read error, as the engine calls it.
  if (got <= 0 || static_cast<std::uint64_t>(got) > want) {
    state_ = InputState::kReadError;
    return false;
  }
  blockPos_ = 0;
  blockEnd_ = static_cast<std::size_t>(got);
  unpulled_ -= static_cast<std::uint64_t>(got);
  return true;
}

bool BitInput::NextByte(std::uint8_t& byte) {
  if (blockPos_ == blockEnd_ && unpulled_ > 0 && !PullBlock()) return false;
  if (blockPos_ < blockEnd_) {
    byte = block_[blockPos_++];
    return true;
  }
  if (zeroBytesLeft_ > 0) {
    --zeroBytesLeft_;
    byte = 0;
    return true;
  }
  state_ = InputState::kDataEnded;
  return false;
}

bool BitInput::Fill(unsigned n) {
  if (failed()) return false;
  while (count_ < n) {
    std::uint8_t byte;
    if (!NextByte(byte)) {
      // Nothing read after a failure counts, not even a shorter read that the
      // bits still buffered could serve.
      count_ = 0;
      return false;
    }
    buffer_ |= static_cast<std::uint64_t>(byte) << (kBufferBits - 8 - count_);
    count_ += 8;
  }
  // What the block already holds costs nothing to take now.
  while (count_ <= kBufferBits - 8 && blockPos_ < blockEnd_) {
    buffer_ |= static_cast<std::uint64_t>(block_[blockPos_++]) << (kBufferBits - 8 - count_);
    count_ += 8;
  }
  return true;
}

bool BitInput::TakeBytes(std::uint8_t* out, std::size_t size) {
  while (size > 0 && !failed()) {
    if (blockPos_ == blockEnd_) {
      if (unpulled_ == 0) {
        state_ = InputState::kDataEnded;
        break;
      }
      if (!PullBlock()) break;
    }
    const std::size_t n = std::min(size, blockEnd_ - blockPos_);
    std::memcpy(out, block_.data() + blockPos_, n);
    blockPos_ += n;
    out += n;
    size -= n;
  }
  return !failed();
}

// ---- Output -----------------------------------------------------------------

WindowOutput::WindowOutput(std::size_t windowBytes, std::uint64_t size, const ByteSink& sink)
    : window_(windowBytes), mask_(windowBytes - 1), piece_(kPieceBytes), sink_(sink), size_(size) {}

void WindowOutput::Flush() {
  if (pieceUsed_ > 0 && !writeFailed_) {
    if (sink_(piece_.data(), pieceUsed_))
      written_ += pieceUsed_;
    else
      writeFailed_ = true;
  }
  pieceUsed_ = 0;
}

void WindowOutput::Append(const std::uint8_t* data, std::size_t size) {
  size = static_cast<std::size_t>(std::min<std::uint64_t>(size, remaining()));
  while (size > 0 && !writeFailed_) {
    const std::size_t n = std::min(size, piece_.size() - pieceUsed_);
    std::memcpy(piece_.data() + pieceUsed_, data, n);
    pieceUsed_ += n;
    produced_ += n;
    data += n;
    size -= n;
    if (pieceUsed_ == piece_.size()) Flush();
  }
}

bool WindowOutput::Finish() {
  Flush();
  return !writeFailed_;
}

}  // namespace legacy
