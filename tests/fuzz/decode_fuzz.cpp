// Decodes one member from fuzzed compressed data. Input: the method letter
// ('0', '4'..'7'; other bytes pick one of them), a 3-byte original size
// (little-endian, kept below 128 KiB so that every input stays quick and
// still crosses the window's end), then the member's data.
#include <cstddef>
#include <cstdint>

#include "archive/lzh_decoder.h"
#include "archive/member_data.h"
#include "archive/member_header.h"
#include "common/run_state.h"
#include "fuzz_host.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  static const char kMethods[] = {'0', '4', '5', '6', '7'};
  const char method = kMethods[data[0] % sizeof kMethods];
  const std::int64_t originalSize = data[1] | (data[2] << 8) | ((data[3] & 1) << 16);
  InstallFuzzHost(data + 4, size - 4);
  MemberHeader.method = method;
  MemberHeader.originalSize = originalSize;
  MemberHeader.compressedRemaining = static_cast<std::int64_t>(size - 4);
  ProgressTotals.total = static_cast<std::uint64_t>(originalSize);
  if (DecodeMemberData() && method != lzh::kMethodStored) {
    // A finished member produced at least its original size, and at most
    // one match more.
    if (decodedCount < originalSize || decodedCount > originalSize + 256) __builtin_trap();
  }
  return 0;
}
