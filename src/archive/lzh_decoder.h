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

struct Engine;

// Chooses the position set of the method letter and starts the bit reader.
void StartMethod(Engine& e, char methodLetter);

// The next literal/length symbol; reads a new block's tables when the current
// block is used up.
unsigned DecodeSymbol(Engine& e);

// The next match position (distance minus one).
unsigned DecodePosition(Engine& e);

// Decodes the current member (e.header) to its original size, handing each
// piece to the sink and reporting progress after each, until the end or
// until the sink has enough.
void DecodeMember(Engine& e);
