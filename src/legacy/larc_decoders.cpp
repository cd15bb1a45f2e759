// LArc's two LZSS methods. Both copy from an absolute position of a ring
// window that starts with set contents, so the contents and the position of
// the first byte are part of the format.
#include <cstring>

#include "legacy/method_decoder.h"

namespace legacy {

namespace {

// -lzs-: a 2 KiB window of spaces, the first byte at 2048 - 17. Each command
// is a bit: 1, an 8-bit literal; 0, an 11-bit window position and a 4-bit
// length of 2 to 17.
class LzsDecoder final : public MethodDecoder {
 public:
  static constexpr std::size_t kWindowBytes = 2048;
  static constexpr std::size_t kFirstPosition = kWindowBytes - 17;
  static constexpr unsigned kPositionBits = 11, kLengthBits = 4, kMinLength = 2;

  LzsDecoder(std::uint64_t originalSize, const ByteSink& sink) : MethodDecoder(kWindowBytes, originalSize, sink) {
    std::memset(out_.window(), ' ', kWindowBytes);
    out_.SetPosition(kFirstPosition);
  }

 private:
  void Step(BitInput& in) override {
    if (in.Bit()) {
      const unsigned literal = in.Bits(8);
      if (!in.failed()) out_.Put(static_cast<std::uint8_t>(literal));
      return;
    }
    const unsigned position = in.Bits(kPositionBits);
    const unsigned length = in.Bits(kLengthBits) + kMinLength;
    if (!in.failed()) out_.CopyFrom(position, length);
  }
};

// -lz5-: a 4 KiB window, the first byte at 4096 - 18, bytewise: a flag byte
// whose bits, lowest first, tell the next eight commands apart: 1, a literal
// byte; 0, two bytes holding a 12-bit window position (the low byte, then
// the top four bits of the next) and a 4-bit length of 3 to 18.
class Lz5Decoder final : public MethodDecoder {
 public:
  static constexpr std::size_t kWindowBytes = 4096;
  static constexpr std::size_t kFirstPosition = kWindowBytes - 18;
  static constexpr unsigned kMinLength = 3;

  Lz5Decoder(std::uint64_t originalSize, const ByteSink& sink) : MethodDecoder(kWindowBytes, originalSize, sink) {
    FillFirstWindow(out_.window());
    out_.SetPosition(kFirstPosition);
  }

 private:
  // The window LArc starts from, so that early copies find runs and common
  // bytes: 13 of each byte value in turn, the 256 values rising, then
  // falling, 128 zeros, 110 spaces and 18 zeros.
  static void FillFirstWindow(std::uint8_t* w) {
    for (unsigned value = 0; value < 256; ++value, w += 13) std::memset(w, static_cast<int>(value), 13);
    for (unsigned value = 0; value < 256; ++value) *w++ = static_cast<std::uint8_t>(value);
    for (unsigned value = 256; value-- > 0;) *w++ = static_cast<std::uint8_t>(value);
    std::memset(w, 0, 128);
    std::memset(w + 128, ' ', 110);
    std::memset(w + 238, 0, 18);
    static_assert(256 * 13 + 256 + 256 + 128 + 110 + 18 == kWindowBytes, "the first window is full");
  }

  void Step(BitInput& in) override {
    if (flagsLeft_ == 0) {
      flags_ = in.Bits(8);
      flagsLeft_ = 8;
    }
    const bool literal = flags_ & 1;
    flags_ >>= 1;
    --flagsLeft_;
    if (literal) {
      const unsigned byte = in.Bits(8);
      if (!in.failed()) out_.Put(static_cast<std::uint8_t>(byte));
      return;
    }
    const unsigned low = in.Bits(8);
    const unsigned high = in.Bits(8);
    if (!in.failed()) out_.CopyFrom(low | (high & 0xF0) << 4, (high & 0x0F) + kMinLength);
  }

  unsigned flags_ = 0, flagsLeft_ = 0;
};

}  // namespace

std::unique_ptr<MethodDecoder> NewLarcDecoder(MethodId lzsOrLz5, std::uint64_t originalSize, const ByteSink& sink) {
  if (lzsOrLz5 == MethodId::kLzs) return std::make_unique<LzsDecoder>(originalSize, sink);
  return std::make_unique<Lz5Decoder>(originalSize, sink);
}

}  // namespace legacy
