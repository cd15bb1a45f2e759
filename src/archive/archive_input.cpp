#include "archive/archive_input.h"

#include "archive/engine.h"

namespace {
// Reads the member's next block into the input block: never more than the
// member's bytes not yet fetched, so the archive stands at the next header
// once the member is used up.
void FetchNextBlock(Engine& e, BitReader& r) {
  const std::uint64_t remaining = static_cast<std::uint64_t>(e.header.compressedRemaining);
  const unsigned long count = remaining < kArchiveInputBytes ? static_cast<unsigned long>(remaining) : kArchiveInputBytes;
  if (e.host.readArchive(e.host.context, e.input, count) != static_cast<long>(count))
    FailMember(e, EngineResult::ReadError);
  e.header.compressedRemaining -= static_cast<std::int64_t>(count);
  r.next = e.input;
  r.end = e.input + count;
}
}  // namespace

void ResetArchiveInput(Engine& e) { e.bits.next = e.bits.end = e.input; }

void RefillSlowly(Engine& e) {
  BitReader& r = e.bits;
  CheckInsideMemberData(e, r);
  while (r.count <= kWordBits - 8) {
    if (r.next == r.end && e.header.compressedRemaining > 0) FetchNextBlock(e, r);
    if (r.next != r.end) {
      r.buffer |= static_cast<BitWord>(*r.next++) << (kWordBits - 8 - r.count);
    } else {
      // Past the member's data: zero bits, which the buffer already holds.
      ++e.bytesPastEnd;
    }
    r.count += 8;
  }
}

void CheckInsideMemberData(Engine& e, const BitReader& r) {
  if (e.bytesPastEnd * 8 > r.count) FailMember(e, EngineResult::Damaged);
}

void StartBitReader(Engine& e) {
  e.bytesPastEnd = 0;
  e.bits.buffer = 0;
  e.bits.count = 0;
  Refill(e, e.bits);
}

unsigned PeekBits(Engine& e, unsigned n) {
  if (e.bits.count < n) Refill(e, e.bits);
  return Peek(e.bits, n);
}

void FillBits(Engine& e, unsigned n) {
  if (e.bits.count < n) Refill(e, e.bits);
  Skip(e.bits, n);
}

unsigned GetBits(Engine& e, unsigned n) {
  if (n == 0) return 0;
  const unsigned value = PeekBits(e, n);
  FillBits(e, n);
  return value;
}
