// The compressed data of the current member: read from the archive in 16 KiB
// blocks, never past the member's end, and turned into a bit stream, most
// significant bit first, through a 64-bit buffer that is refilled a word at a
// time.
#pragma once

#include <cstdint>

struct Engine;

constexpr unsigned kArchiveInputBytes = 16384;

// Marks the engine's input block empty, so no byte of one member is handed
// out for another.
void ResetArchiveInput(Engine& e);

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
// The engine keeps its reader in Engine::bits; the decoding loop works on a
// copy in registers and writes it back before anything else reads bits.
struct BitReader {
  BitWord buffer;
  unsigned count;
  const std::uint8_t* next;
  const std::uint8_t* end;
};

// Tops up e.bits when it runs low on the member's bytes in the input block:
// fetches the archive's next block when the block is used up, and zero bytes
// once the member's data is. A failed or short read ends the member
// (ReadError); bits past the data consumed, too (Damaged). The inline Refill
// that calls it, for the engine's reader or a copy of it, is in engine.h,
// where the engine's reader is known.
void RefillSlowly(Engine& e);

// The next n bits (1..16) as a number, first bit most significant, without
// consuming them; the reader holds at least n bits.
inline unsigned Peek(const BitReader& r, unsigned n) { return static_cast<unsigned>(r.buffer >> (kWordBits - n)); }

// Consumes n bits (0..count).
inline void Skip(BitReader& r, unsigned n) {
  r.buffer <<= n;
  r.count -= n;
}

// Ends the member as damaged when r has consumed bits past its compressed
// size: a header that claims more than its data holds must not turn into
// bytes decoded from nothing. The zero bytes still in the buffer were looked
// at, never consumed.
void CheckInsideMemberData(Engine& e, const BitReader& r);

// ---- The same on the engine's reader, for reading the tables ----------------

// Empties the buffer and loads the member's first bits.
void StartBitReader(Engine& e);

// The next n bits (1..16), not consumed.
unsigned PeekBits(Engine& e, unsigned n);

// Consumes n bits (0..16).
void FillBits(Engine& e, unsigned n);

// The next n bits (0..16) as a number, consumed.
unsigned GetBits(Engine& e, unsigned n);
