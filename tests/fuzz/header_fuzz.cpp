// Walks an archive of fuzzed member headers as the Test pass does: read each
// header, skip its data, until the end byte or a failure. The first input
// byte chooses whether stored folders are dropped.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "archive/member_name.h"
#include "fuzz_host.h"

namespace {
// The byte parts of a name, each byte as the unit of its value.
bool BytesAsUnits(void*, std::uint32_t, const char* text, unsigned count, Utf16Unit* dest,
                  unsigned destUnits) {
  if (count >= destUnits) return false;
  for (unsigned i = 0; i < count; ++i) dest[i] = static_cast<unsigned char>(text[i]);
  dest[count] = 0;
  return true;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  Engine& e = InstallFuzzHost(data + 1, size - 1);
  const bool dropFolders = data[0] & 1;
  for (int members = 0; members < 64; ++members) {
    const EngineResult result = ReadMemberHeader(e, dropFolders);
    // A header ends the walk only as the end, damage or a foreign method.
    if (result == EngineResult::EndOfArchive || result == EngineResult::Damaged ||
        result == EngineResult::Unsupported)
      break;
    if (result != EngineResult::Ok) __builtin_trap();
    // What the pass relies on: a terminated name inside the buffer, sizes
    // that never move backwards and agree for a stored member, a known method.
    if (std::strlen(e.joinedName) >= kJoinedNameBytes) __builtin_trap();
    if (e.header.compressedRemaining < 0 || e.header.originalSize < 0) __builtin_trap();
    if (e.header.method == lzh::kMethodStored && e.header.compressedRemaining != e.header.originalSize)
      __builtin_trap();
    if (!std::strchr("04567d", e.header.method)) __builtin_trap();
    // The Unicode name stays inside its buffer, terminated, or is refused empty.
    Utf16Unit name[300];
    name[299] = 1;
    const bool built = BuildUtf16MemberName(e.header, e.joinedName, dropFolders, BytesAsUnits, nullptr,
                                            name, 299);
    if (name[299] != 1 || (!built && name[0] != 0)) __builtin_trap();
    SkipFuzzInput(static_cast<std::uint64_t>(e.header.compressedRemaining));
  }
  FreeMemberHeader(e);
  return 0;
}
