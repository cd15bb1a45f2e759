// The sliding-window decoder of methods -lh4- to -lh7-: blocks of literal
// bytes and matches (a length and a position back into the bytes already
// produced), kept in a 64 KiB window that leaves for the output sink each
// time it is full and once more at the end.
#pragma once

#include <cstdint>

#include "common/lzh_format.h"

constexpr unsigned kWindowBytes = 65536;
constexpr unsigned kWindowMask = kWindowBytes - 1;
constexpr std::uint8_t kWindowFill = 0x20;  // what positions before the first byte read
static_assert(lzh::kMethodLh7.dictionaryBytes <= kWindowBytes, "every method's matches reach into the window");

extern std::uint8_t window[kWindowBytes];
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

// Decodes the current member (MemberHeader) to its original size, handing the
// window to WriteOutput as it fills and reporting progress after each piece.
void DecodeMember();
