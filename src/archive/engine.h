// One decoding: the whole state of the extraction engine in one object that
// its caller owns and hands to every engine function. Two engines share
// nothing (the CRC tables aside, which are only read once built), so two
// members may be decoded at the same time, one per engine.
//
// A walk over an archive: StartEngine, then ReadMemberHeader for each member
// and DecodeMemberData for those whose bytes are wanted, FreeMemberHeader at
// the end. Each returns an EngineResult; nothing leaves the engine any other
// way.
#pragma once

#include <cstdint>
#include <cstring>

#include "archive/archive_input.h"
#include "archive/engine_host.h"
#include "archive/huffman_table.h"
#include "archive/lzh_blocks.h"
#include "archive/lzh_decoder.h"
#include "archive/member_data.h"
#include "archive/member_header.h"

// No constructor: the stub keeps its engine in zero-filled memory (the
// pass's object, which the system hands out) and runs no static initialisers.
struct Engine {
  EngineHost host;

  // The current member: its header as read, and its folder and file name
  // joined ('/' between components, zero-terminated).
  MemberHeaderRecord header;
  char joinedName[kJoinedNameBytes];
  // The CRC of every byte of the member's data the sink took.
  std::uint16_t crc;

  // The bit reader over the member's compressed bytes in input.
  BitReader bits;
  // Zero bytes taken into the bit buffer after the member's compressed bytes
  // were used up: the reader looks ahead of what the decoder consumes, and
  // what it looks at past the end is zero. Consuming any of it is damage.
  unsigned bytesPastEnd;

  // The window decoder: the piece's position, the member's bytes decoded,
  // symbols left in the block, the method's position set, and whether the
  // history still waits for its kWindowFill.
  unsigned windowPos;
  std::int64_t decodedCount;
  std::uint16_t blockRemaining;
  unsigned positionSetSize;
  unsigned positionCountBits;
  bool windowUnfilled;

  // The tables of the current block (huffman_table.h, lzh_blocks.h).
  std::uint8_t smallLengths[kSmallLengthEntries];
  TableEntry smallTable[1u << kSmallTableBits];
  std::uint8_t literalLengths[lzh::kLiteralSetSize];
  TableEntry literalTable[1u << kLiteralTableBits];
  std::uint16_t treeLeft[kTreeNodes];
  std::uint16_t treeRight[kTreeNodes];
  DistanceEntry distanceTable[1u << kSmallTableBits];

  // How the decoding of the member was left, and the way back to where it
  // began (the compiler's non-local jump: its buffer holds five words).
  EngineResult result;
  bool guarded;
  void* guard[5];

  // The block of the archive the bit reader reads from.
  std::uint8_t input[kArchiveInputBytes];
  // The history (the piece before, or kWindowFill before the member's first
  // piece), the piece being decoded from kWindowBytes on, and slack behind it.
  std::uint8_t window[2 * kWindowBytes + kCopySlackBytes];
};

// At least kRefilledBits valid bits in r, the engine's reader or the
// decoding loop's copy of it in registers. While 8 bytes of the member remain
// in the input block, a refill loads a whole word without a branch per byte;
// it advances by the whole bytes that fit below the valid bits. Otherwise it
// goes through e.bits, never through the address of r, so that a copy in
// registers stays there.
inline void Refill(Engine& e, BitReader& r) {
  if (r.end - r.next >= static_cast<long>(sizeof(BitWord))) {
    BitWord word;
    std::memcpy(&word, r.next, sizeof word);
    word = __builtin_bswap64(word);
    r.buffer |= word >> r.count;
    r.next += (kWordBits - 1 - r.count) >> 3;
    r.count |= kRefilledBits;
    return;
  }
  e.bits = r;
  RefillSlowly(e);
  r = e.bits;
}

// Readies e for a walk through host: no header held.
void StartEngine(Engine& e, const EngineHost& host);

// ---- Inside the engine ------------------------------------------------------

// Ends the decoding of the member with result (never Ok): a jump back to the
// RunGuarded below, which returns it. The compiler's own non-local jump keeps
// the stub free of C++ exception tables and of any C runtime (msvcrt, whose
// setjmp it would be, is missing on NT 3.51 and early Windows 95). It
// restores the stack and frame only, not the 32-bit system's chain of
// exception handlers; that chain is the same at both ends, because the engine
// raises only from its own code, after every call into the host has returned.
[[noreturn]] void FailMember(Engine& e, EngineResult result);

// Runs body(e) with the way back in place: Ok when body returned, else the
// result FailMember left it with. Not nested.
EngineResult RunGuarded(Engine& e, void (*body)(Engine&));
