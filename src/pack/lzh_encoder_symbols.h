// What the parts of the packer's compressor share: the block format's
// numbers, the symbols a parse makes and their counts, and the bit writer.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <vector>

#include "common/lzh_format.h"
#include "pack/lzh_encoder.h"

namespace lzh_encoder {

// The block format shared by the three methods, under the names the encoder uses.
constexpr int kLiteralSetSymbols = lzh::kLiteralSetSize;
constexpr int kCodeLengthSetSymbols = lzh::kCodeLengthSetSize;
constexpr int kLiteralCountBits = lzh::kLiteralCountBits;
constexpr int kCodeLengthCountBits = lzh::kCodeLengthCountBits;
constexpr int kCodeLengthZeroRunAfter = lzh::kCodeLengthZeroRunAfter;
constexpr int kMaxCodeBits = lzh::kMaxCodeLength;
constexpr int kMinMatchBytes = lzh::kMinMatchBytes;
constexpr int kMaxMatchBytes = lzh::kMaxMatchBytes;
constexpr int kFirstLengthSymbol = lzh::kFirstLengthSymbol;
constexpr unsigned kMaxBlockSymbols = lzh::kMaxBlockSymbols;  // 0 would mean 65536
constexpr int kMaxPositionSymbols = lzh::kMaxPositionSymbols;

class BitWriter {
 public:
  explicit BitWriter(std::vector<std::uint8_t>& out) : out_(out) {}
  // Appends the low `bits` bits of value, most significant first (bits <= 16).
  void Put(int bits, std::uint32_t value) {
    if (bits == 0) return;
    acc_ = (acc_ << bits) | (value & ((1u << bits) - 1));
    pending_ += bits;
    while (pending_ >= 8) {
      pending_ -= 8;
      out_.push_back(static_cast<std::uint8_t>(acc_ >> pending_));
    }
  }
  // Pads the last byte with zero bits; returns how many bits were written.
  std::uint64_t Finish() {
    std::uint64_t bits = out_.size() * std::uint64_t{8} + static_cast<unsigned>(pending_);
    if (pending_ > 0) out_.push_back(static_cast<std::uint8_t>(acc_ << (8 - pending_)));
    pending_ = 0;
    acc_ = 0;
    return bits;
  }

 private:
  std::vector<std::uint8_t>& out_;
  std::uint64_t acc_ = 0;
  int pending_ = 0;
};

// Counts what a BitWriter would write.
struct BitCounter {
  std::uint64_t bits = 0;
  void Put(int n, std::uint32_t) { bits += static_cast<unsigned>(n); }
};

inline unsigned BitLength(unsigned v) {
  return v == 0 ? 0 : 32 - static_cast<unsigned>(__builtin_clz(v));
}

// Position p (the match starts p + 1 bytes back) is coded as the symbol
// BitLength(p) followed by the bits of p below its top bit.
inline unsigned PositionSymbol(unsigned p) { return BitLength(p); }
inline unsigned PositionExtraBits(unsigned slot) { return slot > 1 ? slot - 1 : 0; }

struct Symbol {
  std::uint16_t code;      // literal/length symbol
  std::uint16_t position;  // for matches: distance - 1
};

inline std::size_t SymbolBytes(const Symbol& s) {
  return s.code < kFirstLengthSymbol ? 1 : s.code - kFirstLengthSymbol + kMinMatchBytes;
}

// How often each symbol of the two coded sets occurs.
struct SymbolCounts {
  std::uint32_t literal[kLiteralSetSymbols];
  std::uint32_t position[kMaxPositionSymbols];

  void Clear() {
    std::fill(std::begin(literal), std::end(literal), 0u);
    std::fill(std::begin(position), std::end(position), 0u);
  }
  void Add(const Symbol& s, std::uint32_t n = 1) {
    literal[s.code] += n;
    if (s.code >= kFirstLengthSymbol) position[PositionSymbol(s.position)] += n;
  }
  void Remove(const Symbol& s) {
    literal[s.code]--;
    if (s.code >= kFirstLengthSymbol) position[PositionSymbol(s.position)]--;
  }
  void Count(const Symbol* symbols, std::size_t count) {
    Clear();
    for (std::size_t k = 0; k < count; ++k) Add(symbols[k]);
  }
};

}  // namespace lzh_encoder
