#include "legacy/legacy_decoder.h"

#include <algorithm>

#include "legacy/method_decoder.h"

namespace legacy {

namespace {

// -lz4- and -pm0-: the original bytes as they are. As for the engine's
// -lh0-, two different sizes leave no way to tell which one is wrong.
class StoredDecoder final : public MethodDecoder {
 public:
  StoredDecoder(std::uint64_t compressedSize, std::uint64_t originalSize, const ByteSink& sink)
      : MethodDecoder(1, originalSize, sink) {
    if (compressedSize != originalSize) Fail(Damage::kSizesDiffer);
  }

 private:
  void Step(BitInput& in) override {
    std::uint8_t block[16384];
    const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(sizeof block, out_.remaining()));
    if (in.TakeBytes(block, n)) out_.Append(block, n);
  }
};

}  // namespace

const Method* FindMethod(std::string_view name) {
  for (const Method& m : kMethods)
    if (name == m.name) return &m;
  return nullptr;
}

Result MethodDecoder::Decode(BitInput& in) {
  while (!damaged() && !out_.Done() && !in.failed()) Step(in);
  Result result;
  const bool finished = out_.Finish();
  result.written = out_.written();
  if (!finished) {
    result.status = Status::kWriteError;
  } else if (in.state() == InputState::kReadError) {
    result.status = Status::kReadError;
  } else if (in.state() == InputState::kDataEnded) {
    result.status = Status::kDamaged;
    result.damage = Damage::kDataEnded;
  } else if (damage_ != Damage::kNone) {
    result.status = Status::kDamaged;
    result.damage = damage_;
  }
  return result;
}

Result DecodeMember(std::string_view method, std::uint64_t compressedSize, std::uint64_t originalSize,
                    const ByteSource& source, const ByteSink& sink) {
  const Method* m = FindMethod(method);
  if (!m) return {Status::kUnsupported, Damage::kNone, 0};
  std::unique_ptr<MethodDecoder> decoder;
  switch (m->id) {
    case MethodId::kLh1: decoder = NewLh1Decoder(originalSize, sink); break;
    case MethodId::kLzs:
    case MethodId::kLz5: decoder = NewLarcDecoder(m->id, originalSize, sink); break;
    case MethodId::kPm1:
    case MethodId::kPm2: decoder = NewPmarcDecoder(m->id, originalSize, sink); break;
    case MethodId::kLz4:
    case MethodId::kPm0: decoder = std::make_unique<StoredDecoder>(compressedSize, originalSize, sink); break;
  }
  BitInput in(source, compressedSize, decoder->ZeroBytesPastData());
  return decoder->Decode(in);
}

}  // namespace legacy
