#include "archive/lzh_decoder.h"

#include <cstring>

#include "archive/engine.h"
#include "archive/output_sink.h"

// The decoding loop. The stub builds this file for speed while the rest of it
// stays small; its helpers are inlined into the loop.
namespace {
using namespace lzh;

#define QUORVEL_HOT inline __attribute__((always_inline))
#if defined(__clang__)
#define QUORVEL_PLAIN_LOOP _Pragma("clang loop vectorize(disable) unroll(disable)")
#else
#define QUORVEL_PLAIN_LOOP _Pragma("GCC unroll 1")
#endif

QUORVEL_HOT void Move8(std::uint8_t* to, const std::uint8_t* from) {
  std::uint64_t v;
  std::memcpy(&v, from, sizeof v);
  std::memcpy(to, &v, sizeof v);
}

// Copies a match of length bytes from distance back to to, inside the piece
// and not reaching its end. The result is that of a copy byte by byte in
// increasing order, so a match may repeat the bytes it produces: whole words
// move where source and copy lie at least a word apart, since a word then
// reads only bytes already written. Words may run up to 15 bytes past the
// match's end, into bytes of the piece not yet decoded (or the slack).
QUORVEL_HOT void CopyMatch(std::uint8_t* to, unsigned distance, unsigned length) {
  const std::uint8_t* from = to - distance;
  std::uint8_t* const end = to + length;
  if (distance >= 8) {
    Move8(to, from);
    Move8(to + 8, from + 8);
    if (length > 16) {
      to += 16, from += 16;
      QUORVEL_PLAIN_LOOP
      do {
        Move8(to, from);
        Move8(to + 8, from + 8);
        to += 16, from += 16;
      } while (to < end);
    }
    return;
  }
  // Closer than a word (rare in the archives of our writers and of jlha):
  // byte by byte.
  QUORVEL_PLAIN_LOOP
  for (; to != end; ++to, ++from) *to = *from;
}

}  // namespace

void DecodeMember(Engine& e) {
  StartMethod(e, e.header.method);
  e.decodedCount = 0;
  e.windowPos = 0;
  const std::int64_t originalSize = e.header.originalSize;
  if (originalSize <= 0) return;

  // The loop keeps the reader, the piece's position and the counts in locals
  // (a byte store into the window could otherwise alias them); the calls it
  // makes take the engine's reader, never the address of r, so that r stays
  // in registers. The tables are read through e, whose address stays in a
  // register of its own.
  std::uint8_t* const piece = e.window + kWindowBytes;
  const TableEntry* const literalTable = e.literalTable;
  const DistanceEntry* const distanceTable = e.distanceTable;
  BitReader r = e.bits;
  unsigned pos = 0;
  std::int64_t count = 0;
  // Symbols left in the block (blockRemaining); at 0 the next symbol opens
  // a block, which the careful path reads.
  unsigned blockLeft = 0;
  bool unfilled = e.windowUnfilled;

  // The loop ends only between symbols: a final match that passes the
  // original size is produced and written in full.
  while (count < originalSize) {
    // A stretch of symbols none of which can reach the piece's end or the
    // original size, decoded without a call: each symbol is read from the
    // bits that one refill holds before any is consumed, and whatever the
    // stretch does not handle (a new block, a code longer than its table,
    // the member's last bytes in the input block, a match into the unfilled
    // history) leaves it to the careful path below.
    const std::int64_t left = originalSize - count;
    const unsigned limit =
        left < static_cast<std::int64_t>(kWindowBytes - pos) ? pos + static_cast<unsigned>(left) : kWindowBytes;
    const unsigned stretchStart = pos;
    // The reader holds a whole symbol at the top of every turn, and the
    // table entry of the next code is looked up as soon as the code before
    // it is consumed (a refill leaves the bits already held as they are).
    bool whole = r.count >= kMaxSymbolBits || r.end - r.next >= static_cast<long>(sizeof(BitWord));
    if (whole && r.count < kMaxSymbolBits) Refill(e, r);
    TableEntry entry = literalTable[Peek(r, kLiteralTableBits)];
    while (whole && pos + kMaxMatchBytes < limit && blockLeft != 0 && !(entry & kEntryLink)) {
      const unsigned c = entry & kEntryValueMask;
      const unsigned codeBits = entry >> kEntryLengthShift;
      if (c < kFirstLengthSymbol) {
        Skip(r, codeBits);
        piece[pos++] = static_cast<std::uint8_t>(c);
        --blockLeft;
      } else {
        // The position from the same refill: its code and low bits follow.
        const BitWord afterLength = r.buffer << codeBits;
        const DistanceEntry d = distanceTable[afterLength >> (kWordBits - kSmallTableBits)];
        if (d == kDistanceLink) break;
        const unsigned positionBits = d & kCodeBitsMask, lowBits = (d >> kLowBitsShift) & kCodeBitsMask;
        // Shifted by one first, so that no low bits read as 0.
        const unsigned low = static_cast<unsigned>(((afterLength << positionBits) >> 1) >> (kWordBits - 1 - lowBits));
        const unsigned distance = (d >> kDistanceBaseShift) + low;
        if (unfilled && distance > pos) break;
        Skip(r, codeBits + positionBits + lowBits);
        --blockLeft;
        const unsigned length = c - kMatchLengthBias;
        CopyMatch(piece + pos, distance, length);
        pos += length;
      }
      entry = literalTable[Peek(r, kLiteralTableBits)];
      if (r.count < kMaxSymbolBits) {
        whole = r.end - r.next >= static_cast<long>(sizeof(BitWord));
        if (whole) Refill(e, r);
      }
    }
    count += pos - stretchStart;
    if (count >= originalSize) break;

    // One symbol with every check, out of line, through the engine's state.
    e.bits = r;
    e.windowPos = pos;
    e.decodedCount = count;
    e.blockRemaining = static_cast<std::uint16_t>(blockLeft);
    e.windowUnfilled = unfilled;
    // A sink that has enough ends the member here, as decoded.
    if (!DecodeSymbolCarefully(e)) return;
    r = e.bits;
    pos = e.windowPos;
    count = e.decodedCount;
    blockLeft = e.blockRemaining;
    unfilled = e.windowUnfilled;
  }
  e.bits = r;
  e.windowPos = pos;
  e.decodedCount = count;
  CheckInsideMemberData(e, e.bits);
  if (pos != 0) HandOverPiece(e, piece, pos, count);
}
