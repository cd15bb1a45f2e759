// Decode speed of one of the packer's decoders of the older methods
// (src/legacy) and of lhasa's decoder on the same stream, in MB of decoded
// output per second: the median of the runs, after a first run of each that
// must give the original bytes (scripts/bench-legacy.sh).
//   legacy_bench METHOD STREAM ORIGINAL RUNS
#include <lha_decoder.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <vector>

#include "legacy/legacy_decoder.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes ReadFile(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

// Decodes the stream; out collects the bytes when given.
bool Ours(const char* method, const Bytes& stream, std::size_t size, Bytes* out) {
  std::size_t pos = 0;
  const legacy::ByteSource source = [&](std::uint8_t* buffer, std::size_t capacity) -> std::int64_t {
    const std::size_t n = std::min(capacity, stream.size() - pos);
    std::memcpy(buffer, stream.data() + pos, n);
    pos += n;
    return static_cast<std::int64_t>(n);
  };
  const legacy::ByteSink sink = [out](const std::uint8_t* data, std::size_t n) {
    if (out) out->insert(out->end(), data, data + n);
    return true;
  };
  return legacy::DecodeMember(method, stream.size(), size, source, sink).status == legacy::Status::kOk;
}

struct Memory {
  const Bytes* stream;
  std::size_t pos;
};

std::size_t Read(void* buffer, std::size_t length, void* handle) {
  auto* m = static_cast<Memory*>(handle);
  const std::size_t n = std::min(length, m->stream->size() - m->pos);
  std::memcpy(buffer, m->stream->data() + m->pos, n);
  m->pos += n;
  return n;
}

bool Lhasa(const char* method, const Bytes& stream, std::size_t size, Bytes* out) {
  Memory memory{&stream, 0};
  LHADecoder* decoder = lha_decoder_new(lha_decoder_for_name(const_cast<char*>(method)), Read, &memory, size);
  static std::uint8_t buffer[65536];
  std::size_t total = 0, n;
  while ((n = lha_decoder_read(decoder, buffer, sizeof buffer)) > 0) {
    if (out) out->insert(out->end(), buffer, buffer + n);
    total += n;
  }
  lha_decoder_free(decoder);
  return total == size;
}

double MedianMBps(const std::function<bool()>& run, int runs, std::size_t size) {
  std::vector<double> rates;
  for (int i = 0; i < runs; ++i) {
    const auto start = std::chrono::steady_clock::now();
    if (!run()) return 0;
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    rates.push_back(static_cast<double>(size) / took.count() / 1e6);
  }
  std::sort(rates.begin(), rates.end());
  return rates[rates.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: legacy_bench METHOD STREAM ORIGINAL RUNS\n");
    return 2;
  }
  const char* method = argv[1];
  const Bytes stream = ReadFile(argv[2]), original = ReadFile(argv[3]);
  const int runs = std::max(1, std::atoi(argv[4]));
  Bytes ours, theirs;
  if (!Ours(method, stream, original.size(), &ours) || ours != original) {
    std::fprintf(stderr, "%s: our decoder does not give the original bytes\n", method);
    return 1;
  }
  if (!Lhasa(method, stream, original.size(), &theirs) || theirs != original) {
    std::fprintf(stderr, "%s: lhasa does not give the original bytes\n", method);
    return 1;
  }
  const double a = MedianMBps([&] { return Ours(method, stream, original.size(), nullptr); }, runs, original.size());
  const double b = MedianMBps([&] { return Lhasa(method, stream, original.size(), nullptr); }, runs, original.size());
  std::printf("%s  %8.1f MB/s  %8.1f MB/s  %5.2f  (%zu -> %zu bytes)\n", method, a, b, a / b, stream.size(),
              original.size());
  return 0;
}
