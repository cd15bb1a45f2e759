// The packer's decoders of the older methods (src/legacy) judged by lhasa's,
// an independent implementation, on random streams; under the sanitizers it
// is their crash and hang target as well.
//
// The input: a method byte (its value modulo the number of methods picks
// one of legacy::kMethods), the original size in 3 bytes, little-endian (at
// most QUORVEL_LEGACY_SIZE_LIMIT, default 64 KiB: larger ones are taken
// modulo it), and the member's compressed bytes. QUORVEL_LEGACY_METHOD (a
// method name such as -pm2-) fixes the method, whatever the first byte says,
// so that a run's executions are all of one method.
//
// Both decode the same bytes to the same original size. Every byte both
// wrote must agree; a member that one of them decodes in full the other must
// decode in full too, except where they differ on purpose: kIntended below
// lists each such difference with its reason, and the target counts how
// often it met each one (printed at exit). Anything else is a finding: the
// target prints what differed and stops.
#include <lha_decoder.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "legacy/legacy_decoder.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kMethodCount = std::size(legacy::kMethods);
const legacy::Method* fixedMethod = nullptr;
std::uint32_t sizeLimit = 1u << 16;

// ---- The differences that are intended, each with its reason ---------------

enum Intended { kDataEnded, kBadCodeSet, kBadCode, kSizesDiffer, kRunDroppedWithItsCopy, kIntendedCount };

struct IntendedDifference {
  const char* name;
  const char* reason;
};

const IntendedDifference kIntended[kIntendedCount] = {
    {"data ended",
     "a stream that needs bits past its data is damaged for us; lhasa stops there, but a later shorter read "
     "still succeeds on the bits left over (and -pm1- reads zeros without end, where we read 8 zero bytes)"},
    {"bad code set",
     "we refuse a -pm2- code set that is neither complete nor a single code, and a code asked of a set that has "
     "none; lhasa builds a partial tree and decodes with whatever its unfilled entries hold"},
    {"symbol without meaning",
     "a -pm2- symbol code of 29 or 30 has no copy count; lhasa reads one from past the end of its table"},
    {"stored sizes differ",
     "a stored member's data is its original bytes; we refuse two different sizes, as the engine does for "
     "-lh0-; lhasa copies up to the original size"},
    {"-pm1- run dropped with its copy",
     "lhasa decodes a -pm1- run of literals together with the copy after it, and drops the whole run when that "
     "copy fails; we stop at the original size, which the run may reach first"},
};

// Our verdict where lhasa decodes the member in full, and the reason for it.
int WhyWeRefuse(legacy::Damage damage) {
  switch (damage) {
    case legacy::Damage::kDataEnded: return kDataEnded;
    case legacy::Damage::kBadCodeSet: return kBadCodeSet;
    case legacy::Damage::kBadCode: return kBadCode;
    case legacy::Damage::kSizesDiffer: return kSizesDiffer;
    default: return -1;
  }
}

unsigned long seen[kIntendedCount];

void PrintSeen() {
  std::fprintf(stderr, "legacy_diff_fuzz: intended differences met:");
  bool any = false;
  for (int i = 0; i < kIntendedCount; ++i)
    if (seen[i]) std::fprintf(stderr, "%s %s %lu", any ? "," : "", kIntended[i].name, seen[i]), any = true;
  std::fprintf(stderr, "%s\n", any ? "" : " none");
}

[[noreturn]] void Finding(const char* method, const std::string& what) {
  std::fprintf(stderr, "legacy_diff_fuzz: FINDING (%s): %s\n", method, what.c_str());
  __builtin_trap();
}

// ---- The two decoders ---------------------------------------------------------

struct Ours {
  legacy::Result result;
  Bytes bytes;
};

// The source hands out pieces of varying sizes, as a file read may.
Ours DecodeWithOurs(const char* method, const std::uint8_t* data, std::size_t size, std::uint32_t originalSize) {
  Ours ours;
  std::size_t pos = 0, piece = 1;
  const legacy::ByteSource source = [&](std::uint8_t* buffer, std::size_t capacity) -> std::int64_t {
    const std::size_t n = std::min({capacity, size - pos, piece});
    piece = piece * 3 + 1;
    std::memcpy(buffer, data + pos, n);
    pos += n;
    return static_cast<std::int64_t>(n);
  };
  const legacy::ByteSink sink = [&](const std::uint8_t* bytes, std::size_t n) {
    ours.bytes.insert(ours.bytes.end(), bytes, bytes + n);
    return true;
  };
  ours.result = legacy::DecodeMember(method, size, originalSize, source, sink);
  return ours;
}

struct MemoryStream {
  const std::uint8_t* data;
  std::size_t size, pos;
};

std::size_t StreamRead(void* buffer, std::size_t length, void* handle) {
  auto* s = static_cast<MemoryStream*>(handle);
  const std::size_t n = std::min(length, s->size - s->pos);
  std::memcpy(buffer, s->data + s->pos, n);
  s->pos += n;
  return n;
}

Bytes DecodeWithLhasa(const char* method, const std::uint8_t* data, std::size_t size, std::uint32_t originalSize) {
  MemoryStream stream{data, size, 0};
  LHADecoder* decoder =
      lha_decoder_new(lha_decoder_for_name(const_cast<char*>(method)), StreamRead, &stream, originalSize);
  Bytes bytes;
  std::uint8_t buffer[16384];
  while (bytes.size() < originalSize) {
    const std::size_t n = lha_decoder_read(decoder, buffer, sizeof buffer);
    if (n == 0) break;
    bytes.insert(bytes.end(), buffer, buffer + n);
  }
  lha_decoder_free(decoder);
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (const char* name = std::getenv("QUORVEL_LEGACY_METHOD")) {
    fixedMethod = legacy::FindMethod(name);
    if (!fixedMethod) std::fprintf(stderr, "legacy_diff_fuzz: %s is not a method of src/legacy\n", name), std::exit(2);
  }
  if (const char* limit = std::getenv("QUORVEL_LEGACY_SIZE_LIMIT")) sizeLimit = std::max(1, std::atoi(limit));
  std::atexit(PrintSeen);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  const legacy::Method& method = fixedMethod ? *fixedMethod : legacy::kMethods[data[0] % kMethodCount];
  const std::uint32_t originalSize = (data[1] | data[2] << 8 | data[3] << 16) % (sizeLimit + 1);
  const Ours ours = DecodeWithOurs(method.name, data + 4, size - 4, originalSize);
  const Bytes theirs = DecodeWithLhasa(method.name, data + 4, size - 4, originalSize);

  const legacy::Result& r = ours.result;
  if (r.written != ours.bytes.size()) Finding(method.name, "the result counts other bytes than the sink took");
  if (r.status != legacy::Status::kOk && r.status != legacy::Status::kDamaged)
    Finding(method.name, "a memory source and sink gave status " + std::to_string(static_cast<int>(r.status)));
  if ((r.status == legacy::Status::kOk) != (r.damage == legacy::Damage::kNone))
    Finding(method.name, "a damage without the status, or the status without a damage");
  // All the bytes when it finishes; fewer when it does not (unless there are none to write).
  if (r.status == legacy::Status::kOk ? ours.bytes.size() != originalSize
                                      : ours.bytes.size() >= originalSize && originalSize != 0)
    Finding(method.name, "the status does not match the bytes written");

  // Whatever both wrote is the same.
  const std::size_t common = std::min(ours.bytes.size(), theirs.size());
  const auto differ = std::mismatch(ours.bytes.begin(), ours.bytes.begin() + static_cast<std::ptrdiff_t>(common),
                                    theirs.begin());
  if (differ.first != ours.bytes.begin() + static_cast<std::ptrdiff_t>(common))
    Finding(method.name, "the bytes differ from lhasa's at " + std::to_string(differ.first - ours.bytes.begin()));

  const bool weFinish = r.status == legacy::Status::kOk;
  const bool lhasaFinishes = theirs.size() == originalSize;
  if (weFinish == lhasaFinishes) return 0;
  if (weFinish) {
    // Asked for the rest of the last run and its copy, we must find damage.
    constexpr std::uint32_t kRunAndCopy = 216 + 244;
    if (method.id == legacy::MethodId::kPm1 &&
        DecodeWithOurs(method.name, data + 4, size - 4, originalSize + kRunAndCopy).result.status ==
            legacy::Status::kDamaged) {
      ++seen[kRunDroppedWithItsCopy];
      return 0;
    }
    Finding(method.name, "lhasa stops after " + std::to_string(theirs.size()) + " bytes, we finish");
  }
  const int why = WhyWeRefuse(r.damage);
  if (why < 0)
    Finding(method.name, "we call damaged (" + std::to_string(static_cast<int>(r.damage)) +
                             ") a member lhasa decodes in full");
  ++seen[why];
  return 0;
}
