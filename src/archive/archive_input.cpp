#include "archive/archive_input.h"

#include "archive/engine_host.h"
#include "archive/member_header.h"

BitReader bits;
unsigned bytesPastEnd;

namespace {
std::uint8_t inputBuffer[kArchiveInputBytes];

// Reads the member's next block into the buffer: never more than the
// member's bytes not yet fetched, so the archive stands at the next header
// once the member is used up.
void FetchNextBlock(BitReader& r) {
  const std::uint64_t remaining = static_cast<std::uint64_t>(MemberHeader.compressedRemaining);
  const unsigned long count = remaining < kArchiveInputBytes ? static_cast<unsigned long>(remaining) : kArchiveInputBytes;
  if (Host.readArchive(inputBuffer, count) != static_cast<long>(count)) AbortWithMessage(kMsgReadError, true);
  MemberHeader.compressedRemaining -= static_cast<std::int64_t>(count);
  r.next = inputBuffer;
  r.end = inputBuffer + count;
}
}  // namespace

void ResetArchiveInput() { bits.next = bits.end = inputBuffer; }

void RefillSlowly() {
  BitReader& r = bits;
  CheckInsideMemberData(r);
  while (r.count <= kWordBits - 8) {
    if (r.next == r.end && MemberHeader.compressedRemaining > 0) FetchNextBlock(r);
    if (r.next != r.end) {
      r.buffer |= static_cast<BitWord>(*r.next++) << (kWordBits - 8 - r.count);
    } else {
      // Past the member's data: zero bits, which the buffer already holds.
      ++bytesPastEnd;
    }
    r.count += 8;
  }
}

void AbortPastMemberData() { AbortDamaged(); }

void StartBitReader() {
  bytesPastEnd = 0;
  bits.buffer = 0;
  bits.count = 0;
  Refill(bits);
}

unsigned PeekBits(unsigned n) {
  if (bits.count < n) Refill(bits);
  return Peek(bits, n);
}

void FillBits(unsigned n) {
  if (bits.count < n) Refill(bits);
  Skip(bits, n);
}

unsigned GetBits(unsigned n) {
  if (n == 0) return 0;
  const unsigned value = PeekBits(n);
  FillBits(n);
  return value;
}
