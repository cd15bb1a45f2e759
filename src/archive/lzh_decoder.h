// The sliding-window decoder of methods -lh4- to -lh7-: blocks of literal
// bytes and matches (a length and a position back into the bytes already
// produced). The bytes are decoded in 64 KiB pieces, each of which leaves for
// the output sink when it is full (and the last one at the end) and then
// becomes the history that the next piece's matches reach back into.
#pragma once

#include <cstdint>

#include "common/lzh_format.h"

constexpr unsigned kWindowBytes = 65536;    // a piece, and the history behind it
constexpr unsigned kCopySlackBytes = 32;    // room for copies that run past a match's end
constexpr std::uint8_t kWindowFill = 0x20;  // what positions before the first byte read
static_assert(lzh::kMethodLh7.dictionaryBytes <= kWindowBytes, "every method's matches reach into the history");

// The history (the piece before, or kWindowFill before the member's first
// piece), the piece being decoded from kWindowBytes on, and slack behind it.
extern std::uint8_t window[2 * kWindowBytes + kCopySlackBytes];
// Bytes of the current piece decoded.
extern unsigned windowPos;
extern std::uint16_t blockRemaining;
extern unsigned positionSetSize;
extern unsigned positionCountBits;
extern std::int64_t decodedCount;

// Chooses the position set of the method letter and starts the bit reader.
void StartMethod(char methodLetter);

// The next literal/length symbol; reads a new block's tables when the current
// block is used up.
unsigned DecodeSymbol();

// The next match position (distance minus one).
unsigned DecodePosition();

// Decodes the current member (MemberHeader) to its original size, handing
// each piece to WriteOutput and reporting progress after each.
void DecodeMember();
