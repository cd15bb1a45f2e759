// The compressed data of the current member: read from the archive in 16 KiB
// blocks, never past the member's end, and turned into a bit stream, most
// significant bit first, through a 64-bit buffer that is refilled a word at a
// time.
#pragma once

#include <cstdint>
#include <cstring>

#include "archive/member_header.h"

constexpr unsigned kArchiveInputBytes = 16384;

// Marks the buffer empty, so no byte of one member is handed out for another.
void ResetArchiveInput();

// ---- The bit reader ---------------------------------------------------------

// 64 bits on every target: a refill then holds a whole symbol (two codes and
// a position's low bits), which the decoding loop relies on; an i686 build
// pays two registers per word for it.
using BitWord = std::uint64_t;
constexpr unsigned kWordBits = sizeof(BitWord) * 8;
// Bits a refill leaves in the buffer at the least.
constexpr unsigned kRefilledBits = kWordBits - 8;
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "words are loaded as little-endian and swapped");

// The stream's next bits. buffer holds them left-aligned: its top bit is the
// next bit, and count bits from the top on are valid; below them lie either
// zeros or the same bits of the byte at next that a later refill brings in
// again. The bytes from next to end are the member's, not yet in the buffer.
struct BitReader {
  BitWord buffer;
  unsigned count;
  const std::uint8_t* next;
  const std::uint8_t* end;
};

// The process-wide reader. The decoding loop works on a copy in registers and
// writes it back before anything else reads bits.
extern BitReader bits;

// Zero bytes taken into the buffer after the member's compressed bytes were
// used up: the reader looks ahead of what the decoder consumes, and what it
// looks at past the end is zero. Consuming any of it is damage.
extern unsigned bytesPastEnd;

// Tops up the process-wide reader when it runs low on the member's bytes in
// its buffer: fetches the next block of the archive when the buffer is used
// up, and zero bytes once the member's data is; reports a read error
// (message 2) or, when bits past the data were consumed, damage (message 4).
void RefillSlowly();

// At least kRefilledBits valid bits afterwards. While 8 bytes of the member
// remain in the buffer, a refill loads a whole word without a branch per
// byte; it advances by the whole bytes that fit below the valid bits.
inline void Refill(BitReader& r) {
  if (r.end - r.next >= static_cast<long>(sizeof(BitWord))) {
    BitWord word;
    std::memcpy(&word, r.next, sizeof word);
    word = __builtin_bswap64(word);
    r.buffer |= word >> r.count;
    r.next += (kWordBits - 1 - r.count) >> 3;
    r.count |= kRefilledBits;
    return;
  }
  // Through the process-wide reader, so that a reader in registers stays there.
  bits = r;
  RefillSlowly();
  r = bits;
}

// The next n bits (1..16) as a number, first bit most significant, without
// consuming them; the reader holds at least n bits.
inline unsigned Peek(const BitReader& r, unsigned n) { return static_cast<unsigned>(r.buffer >> (kWordBits - n)); }

// Consumes n bits (0..count).
inline void Skip(BitReader& r, unsigned n) {
  r.buffer <<= n;
  r.count -= n;
}

// Reports the member as damaged (message 4) when bits past its compressed
// size were consumed: a header that claims more than its data holds must not
// turn into bytes decoded from nothing. The zero bytes still in the buffer
// were looked at, never consumed.
[[noreturn]] void AbortPastMemberData();
inline void CheckInsideMemberData(const BitReader& r) {
  if (bytesPastEnd * 8 > r.count) AbortPastMemberData();
}

// ---- The same on the process-wide reader, for reading the tables ----------

// Empties the buffer and loads the member's first bits.
void StartBitReader();

// The next n bits (1..16), not consumed.
unsigned PeekBits(unsigned n);

// Consumes n bits (0..16).
void FillBits(unsigned n);

// The next n bits (0..16) as a number, consumed.
unsigned GetBits(unsigned n);
