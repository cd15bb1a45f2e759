// The packer's encoder judged by two decoders: every input, packed at -lh5-,
// -lh6- and -lh7-, must come back byte for byte through lhasa's library and
// through the engine (which also refuses a stream that needs bits past its
// end). The first input byte picks a shape that turns the rest into data the
// encoder meets in practice: as it is, repeated, in runs, over a small
// alphabet, copied at the farthest distances of each method, or all zeros.
#include <lha_decoder.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "common/lzh_format.h"
#include "fuzz_host.h"
#include "pack/lzh_encoder.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kMaxShapedBytes = 192 * 1024;

Bytes Shaped(std::uint8_t shape, const std::uint8_t* in, std::size_t n) {
  Bytes out;
  switch (shape % 6) {
    case 0:  // as it is
      out.assign(in, in + n);
      break;
    case 1:  // repeated: long matches at every distance up to the input's length
      if (n == 0) break;
      while (out.size() + n <= kMaxShapedBytes / 2) out.insert(out.end(), in, in + n);
      break;
    case 2:  // runs: (byte, length) pairs
      for (std::size_t i = 0; i + 1 < n && out.size() < kMaxShapedBytes; i += 2)
        out.insert(out.end(), 1 + in[i + 1] * 3u, in[i]);
      break;
    case 3:  // a small alphabet: many short matches
      for (std::size_t i = 0; i < n; ++i) out.push_back(static_cast<std::uint8_t>("acgt"[in[i] & 3]));
      break;
    case 4: {  // the input again at each method's farthest distance, and one beyond
      const Bytes head(in, in + (n < 300 ? n : 300));
      std::uint32_t x = 0x9E3779B9u ^ static_cast<std::uint32_t>(n);
      for (std::size_t distance : {4096u, 8192u, 32768u, 65536u, 65537u}) {
        const std::size_t start = out.size();
        out.insert(out.end(), head.begin(), head.end());
        while (out.size() < start + distance) {
          x = x * 1664525u + 1013904223u;
          out.push_back(static_cast<std::uint8_t>(x >> 24));
        }
      }
      out.insert(out.end(), head.begin(), head.end());
      break;
    }
    default:  // zeros: blocks whose sets have one symbol
      out.assign(n * 3 < kMaxShapedBytes ? n * 3 : kMaxShapedBytes, 0);
      break;
  }
  return out;
}

struct Source {
  const Bytes* data;
  std::size_t pos;
};

std::size_t LhasaRead(void* buf, std::size_t len, void* user) {
  auto* s = static_cast<Source*>(user);
  const std::size_t n = len < s->data->size() - s->pos ? len : s->data->size() - s->pos;
  std::memcpy(buf, s->data->data() + s->pos, n);
  s->pos += n;
  return n;
}

Bytes ThroughLhasa(char letter, const Bytes& packed, std::size_t length) {
  char name[] = {'-', 'l', 'h', letter, '-', '\0'};
  Source source{&packed, 0};
  LHADecoder* decoder = lha_decoder_new(lha_decoder_for_name(name), LhasaRead, &source, length);
  Bytes out;
  if (!decoder) return out;
  std::uint8_t buffer[16384];
  for (std::size_t n; (n = lha_decoder_read(decoder, buffer, sizeof buffer)) > 0;)
    out.insert(out.end(), buffer, buffer + n);
  lha_decoder_free(decoder);
  return out;
}

bool ThroughTheEngine(char letter, const Bytes& packed, const Bytes& original) {
  Bytes out;
  Engine& e = InstallFuzzHost(packed.data(), packed.size());
  KeepFuzzOutput(&out);
  e.header.method = letter;
  e.header.originalSize = static_cast<std::int64_t>(original.size());
  e.header.compressedRemaining = static_cast<std::int64_t>(packed.size());
  const EngineResult result = DecodeMemberData(e);
  KeepFuzzOutput(nullptr);
  return result == EngineResult::Ok && out == original;
}

[[noreturn]] void Finding(char letter, std::size_t size, const char* what) {
  std::fprintf(stderr, "diff_encode_fuzz: FINDING: -lh%c- of %zu bytes: %s\n", letter, size, what);
  __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const Bytes original = Shaped(data[0], data + 1, size - 1);
  if (original.empty()) return 0;
  for (char letter : {'5', '6', '7'}) {
    const Bytes packed = LzhEncode(*FindLzhMethod(letter), original.data(), original.size());
    if (ThroughLhasa(letter, packed, original.size()) != original) Finding(letter, original.size(), "lhasa decodes other bytes");
    if (!ThroughTheEngine(letter, packed, original)) Finding(letter, original.size(), "the engine decodes other bytes or refuses");
  }
  return 0;
}
