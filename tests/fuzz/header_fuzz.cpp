// Walks an archive of fuzzed member headers as the Test pass does: read each
// header, skip its data, until the end byte or a failure. The first input
// byte chooses whether stored folders are dropped.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "archive/member_header.h"
#include "common/run_state.h"
#include "fuzz_host.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  InstallFuzzHost(data + 1, size - 1);
  RunState.suppressFolders = data[0] & 1;
  for (int members = 0; members < 64; ++members) {
    if (ReadMemberHeader() != HeaderResult::Member) break;
    // What the pass relies on: a terminated name inside the buffer, sizes
    // that never move backwards and agree for a stored member, a known method.
    if (std::strlen(JoinedName) >= kJoinedNameBytes) __builtin_trap();
    if (MemberHeader.compressedRemaining < 0 || MemberHeader.originalSize < 0) __builtin_trap();
    if (MemberHeader.method == lzh::kMethodStored &&
        MemberHeader.compressedRemaining != MemberHeader.originalSize)
      __builtin_trap();
    if (!std::strchr("04567d", MemberHeader.method)) __builtin_trap();
    SkipFuzzInput(static_cast<std::uint64_t>(MemberHeader.compressedRemaining));
  }
  FreeMemberHeader();
  return 0;
}
