// Decodes one member from fuzzed compressed data. Input: the method letter
// ('0', '4'..'7'; other bytes pick one of them), a 3-byte original size
// (little-endian, kept below 128 KiB so that every input stays quick and
// still crosses the window's end), then the member's data.
#include <cstddef>
#include <cstdint>

#include "fuzz_host.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  static const char kMethods[] = {'0', '4', '5', '6', '7'};
  const char method = kMethods[data[0] % sizeof kMethods];
  const std::int64_t originalSize = data[1] | (data[2] << 8) | ((data[3] & 1) << 16);
  Engine& e = InstallFuzzHost(data + 4, size - 4);
  e.header.method = method;
  e.header.originalSize = originalSize;
  e.header.compressedRemaining = static_cast<std::int64_t>(size - 4);
  const EngineResult result = DecodeMemberData(e);
  // Compressed data fails only as damage, a stored copy only as a short read.
  if (result != EngineResult::Ok &&
      result != (method == lzh::kMethodStored ? EngineResult::ReadError : EngineResult::Damaged))
    __builtin_trap();
  if (result == EngineResult::Ok && method != lzh::kMethodStored) {
    // A finished member produced at least its original size, and at most
    // one match more.
    if (e.decodedCount < originalSize || e.decodedCount > originalSize + 256) __builtin_trap();
  }
  return 0;
}
