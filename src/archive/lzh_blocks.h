// The window decoder's work one block and one symbol at a time, with every
// check: reading a block's tables (and the distance table that the decoding
// loop reads positions from), and decoding and writing a single symbol where
// the loop leaves one to it. Built for size in the stub; the loop itself
// (lzh_decoder.cpp) is built for speed.
#pragma once

#include <cstdint>

#include "archive/archive_input.h"
#include "archive/huffman_table.h"
#include "common/lzh_format.h"

// Bits one symbol may take: a literal/length code, a position code and the
// position's low bits. A refill leaves at least that many.
constexpr unsigned kMaxSymbolBits = 2 * lzh::kMaxCodeLength + lzh::kMaxPositionSymbols - 2;
static_assert(kRefilledBits >= kMaxSymbolBits, "a refill holds a whole symbol");

// For each entry of the position set's table (Engine::distanceTable): the
// distance (position plus one) at which its symbol starts, the bits of its
// code and the number of low bits that follow the code; or kDistanceLink when
// the code continues in the tree, or the set has none.
using DistanceEntry = std::uint32_t;
constexpr DistanceEntry kDistanceLink = 0xFFFFFFFF;
constexpr unsigned kDistanceBaseShift = 16;
constexpr unsigned kLowBitsShift = 8;
constexpr DistanceEntry kCodeBitsMask = 0xFF;

// Before the member's first piece is full, its history reads as kWindowFill;
// it is filled when a match first reaches it (most small members never do),
// and Engine::windowUnfilled is true until then.
void FillHistory(Engine& e);

// Hands the full piece to the sink, reports the progress (count bytes of the
// member decoded) and makes the piece the history. False when the sink has
// enough: the member ends there.
bool FlushFullPiece(Engine& e, std::int64_t count);

// Decodes one symbol with the engine's reader at windowPos, decodedCount
// bytes of the member done and blockRemaining symbols left in its block, and
// writes its bytes with every check: a new block, a code longer than its
// table, the member's last input bytes, a match into the unfilled history or
// across the piece's end, which is then flushed. False when the sink has
// enough.
bool DecodeSymbolCarefully(Engine& e);
