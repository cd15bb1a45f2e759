// The two ends of a legacy decoder: the member's compressed bytes as a stream
// of bits, and the decoded bytes as a window for the method's copies that
// hands them on to the sink.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "legacy/legacy_decoder.h"

namespace legacy {

// ---- Input ------------------------------------------------------------------

enum class InputState { kGood, kDataEnded, kReadError };

// The compressed bytes, first bit the most significant of the first byte.
// Bytes are pulled from the source in blocks, only when a read needs them,
// and never past the member's compressed size; so a read fails (and every
// later one with it) exactly when the stream needs what the member does not
// hold, never because the input looked ahead.
class BitInput {
 public:
  // zeroBytesPastData: zero bytes the stream may read after its data ends.
  BitInput(const ByteSource& source, std::uint64_t dataBytes, unsigned zeroBytesPastData);
  BitInput(const BitInput&) = delete;
  BitInput& operator=(const BitInput&) = delete;

  // The next n bits (0 to 16) as a number, the first one most significant;
  // 0 once the input has failed.
  unsigned Bits(unsigned n) {
    if (count_ < n && !Fill(n)) return 0;
    const unsigned value = n ? static_cast<unsigned>(buffer_ >> (kBufferBits - n)) : 0;
    buffer_ <<= n;
    count_ -= n;
    return value;
  }
  unsigned Bit() { return Bits(1); }

  // The next size bytes into out, for data that is stored as it is; only
  // before any bit was read. False when the input failed.
  bool TakeBytes(std::uint8_t* out, std::size_t size);

  bool failed() const { return state_ != InputState::kGood; }
  InputState state() const { return state_; }

 private:
  static constexpr unsigned kBufferBits = 64;
  static constexpr std::size_t kBlockBytes = 16384;

  // Tops the buffer up to at least n bits; false when the input fails.
  bool Fill(unsigned n);
  // The next byte of the member, or a zero byte past its data where allowed.
  bool NextByte(std::uint8_t& byte);
  // Pulls the member's next block from the source.
  bool PullBlock();

  const ByteSource& source_;
  std::uint64_t unpulled_;  // bytes of the member not yet asked of the source
  unsigned zeroBytesLeft_;
  std::vector<std::uint8_t> block_;
  std::size_t blockPos_ = 0, blockEnd_ = 0;
  std::uint64_t buffer_ = 0;  // count_ bits from the top
  unsigned count_ = 0;
  InputState state_ = InputState::kGood;
};

// ---- Output -----------------------------------------------------------------

// The decoded bytes: each one goes into the method's window (the history its
// copies read) and into the piece that the sink takes next. Bytes past the
// original size are dropped, so a final copy that runs past it is cut there.
class WindowOutput {
 public:
  // windowBytes: a power of two, at least the farthest a copy reaches.
  WindowOutput(std::size_t windowBytes, std::uint64_t size, const ByteSink& sink);
  WindowOutput(const WindowOutput&) = delete;
  WindowOutput& operator=(const WindowOutput&) = delete;

  // The window before the first byte (for the methods that start from a set
  // history), and the position the first byte takes in it.
  std::uint8_t* window() { return window_.data(); }
  void SetPosition(std::size_t position) { pos_ = position & mask_; }

  void Put(std::uint8_t byte) {
    if (produced_ == size_ || writeFailed_) return;
    window_[pos_] = byte;
    pos_ = (pos_ + 1) & mask_;
    piece_[pieceUsed_++] = byte;
    ++produced_;
    if (pieceUsed_ == piece_.size()) Flush();
  }
  // The byte distance places back (1: the last one).
  std::uint8_t Back(std::size_t distance) const { return window_[(pos_ - distance) & mask_]; }
  // Copies count bytes from a window position on, one at a time, so that a
  // copy that reaches the bytes it writes repeats them.
  void CopyFrom(std::size_t position, unsigned count) {
    for (unsigned i = 0; i < count; ++i) Put(window_[(position + i) & mask_]);
  }
  void CopyBack(std::size_t distance, unsigned count) { CopyFrom(pos_ - distance, count); }
  // Bytes that bypass the window, for stored data.
  void Append(const std::uint8_t* data, std::size_t size);

  // The original size reached, or the sink refused a piece.
  bool Done() const { return produced_ == size_ || writeFailed_; }
  std::uint64_t produced() const { return produced_; }
  std::uint64_t remaining() const { return size_ - produced_; }

  // Hands the last piece on; false when the sink refused this or an earlier one.
  bool Finish();
  std::uint64_t written() const { return written_; }

 private:
  void Flush();

  std::vector<std::uint8_t> window_;
  std::size_t mask_;
  std::size_t pos_ = 0;
  std::vector<std::uint8_t> piece_;
  std::size_t pieceUsed_ = 0;
  const ByteSink& sink_;
  std::uint64_t size_, produced_ = 0, written_ = 0;
  bool writeFailed_ = false;
};

}  // namespace legacy
