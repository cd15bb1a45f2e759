// The decoding tables of the three symbol sets that open every block of a
// compressed member: a lookup table indexed by the next 8 or 12 bits, and an
// overflow tree for codes longer than the table is wide. Codes are canonical.
#pragma once

#include <cstdint>

#include "common/lzh_format.h"

constexpr unsigned kSmallTableBits = 8;
constexpr unsigned kLiteralTableBits = 12;
constexpr unsigned kSmallLengthEntries = 128;
constexpr unsigned kTreeNodes = 2 * lzh::kLiteralSetSize - 1;  // 1019
constexpr unsigned kNoZeroRun = 0xFFFF;

// Every count the small sets' count fields can hold, and a zero run after it.
static_assert((1u << lzh::kCodeLengthCountBits) - 1 + (1u << lzh::kCodeLengthZeroRunBits) - 1 <=
                  kSmallLengthEntries,
              "the small sets' lengths fit");
static_assert(lzh::kCodeLengthSetSize <= (1u << kSmallTableBits) &&
                  lzh::kMaxPositionSymbols <= (1u << kSmallTableBits),
              "the small sets' symbols fit the table's entries");

extern std::uint8_t smallLengths[kSmallLengthEntries];
extern std::uint16_t smallTable[1u << kSmallTableBits];
extern std::uint8_t literalLengths[lzh::kLiteralSetSize];
extern std::uint16_t literalTable[1u << kLiteralTableBits];
extern std::uint16_t treeLeft[kTreeNodes];
extern std::uint16_t treeRight[kTreeNodes];

// Builds table (2^tableBits entries) and the overflow tree from the code
// lengths of symbolCount symbols. A code that is neither complete nor empty
// is reported as a damaged archive (ExtractAbort).
void BuildHuffmanTable(unsigned symbolCount, const std::uint8_t* lengths, unsigned tableBits,
                       std::uint16_t* table);

// Reads the code lengths of the code-length set (its size, its count width,
// lzh::kCodeLengthZeroRunAfter) or of the position set (its size, its count
// width, kNoZeroRun) and builds smallTable.
void ReadSmallSetLengths(unsigned symbolCount, unsigned countBits, unsigned zeroRunIndex);

// Reads the code lengths of the literal/length set, coded with the
// code-length set, and builds literalTable.
void ReadLiteralSetLengths();

// Follows the overflow tree from node with the window bits from mask
// downward until a symbol below symbolCount. A walk that runs out of window
// bits can only come from damaged tables and is reported as such.
unsigned WalkOverflowTree(unsigned node, unsigned mask, unsigned symbolCount);
