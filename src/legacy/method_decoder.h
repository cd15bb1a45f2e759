// What every legacy decoder shares: it owns its window (and whatever tables
// its method keeps), reads one command of its stream at a time, and stops at
// the original size, at a failed read, or at damage it finds.
#pragma once

#include <cstdint>
#include <memory>

#include "legacy/legacy_decoder.h"
#include "legacy/legacy_streams.h"

namespace legacy {

class MethodDecoder {
 public:
  MethodDecoder(std::size_t windowBytes, std::uint64_t originalSize, const ByteSink& sink)
      : out_(windowBytes, originalSize, sink) {}
  virtual ~MethodDecoder() = default;
  MethodDecoder(const MethodDecoder&) = delete;
  MethodDecoder& operator=(const MethodDecoder&) = delete;

  // Zero bytes the method's stream may read past its data.
  virtual unsigned ZeroBytesPastData() const { return 0; }

  // Decodes the whole member.
  Result Decode(BitInput& in);

 protected:
  // Reads one command and writes what it stands for. A command whose reads
  // failed writes nothing.
  virtual void Step(BitInput& in) = 0;
  void Fail(Damage damage) { damage_ = damage; }
  bool damaged() const { return damage_ != Damage::kNone; }

  WindowOutput out_;

 private:
  Damage damage_ = Damage::kNone;
};

// The decoders of each file's methods.
std::unique_ptr<MethodDecoder> NewLh1Decoder(std::uint64_t originalSize, const ByteSink& sink);
std::unique_ptr<MethodDecoder> NewLarcDecoder(MethodId lzsOrLz5, std::uint64_t originalSize, const ByteSink& sink);
std::unique_ptr<MethodDecoder> NewPmarcDecoder(MethodId pm1OrPm2, std::uint64_t originalSize, const ByteSink& sink);

}  // namespace legacy
