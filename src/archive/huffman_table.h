// The decoding tables of the three symbol sets that open every block of a
// compressed member: a lookup table indexed by the next 8 or 12 bits whose
// entries carry the symbol and the length of its code, and an overflow tree
// for codes longer than the table is wide. Codes are canonical.
#pragma once

#include <cstdint>

#include "common/lzh_format.h"

struct Engine;

constexpr unsigned kSmallTableBits = 8;
constexpr unsigned kLiteralTableBits = 12;
constexpr unsigned kSmallLengthEntries = 128;
constexpr unsigned kTreeNodes = 2 * lzh::kLiteralSetSize - 1;  // 1019
constexpr unsigned kNoZeroRun = 0xFFFF;

// Every count the small sets' count fields can hold, and a zero run after it.
static_assert((1u << lzh::kCodeLengthCountBits) - 1 + (1u << lzh::kCodeLengthZeroRunBits) - 1 <=
                  kSmallLengthEntries,
              "the small sets' lengths fit");

// A table entry: the symbol whose code begins with the entry's index and the
// length of that code (0 for a set of one symbol, whose code has no bits);
// or, flagged kEntryLink, the overflow tree's node where a longer code
// continues.
using TableEntry = std::uint16_t;
constexpr unsigned kEntryLengthShift = 11;
constexpr TableEntry kEntryValueMask = (1u << kEntryLengthShift) - 1;
constexpr TableEntry kEntryLink = 0x8000;
// The entries of a set without any code: a link to no node.
constexpr TableEntry kNoCode = kEntryLink | kEntryValueMask;
static_assert(kTreeNodes < kEntryValueMask && lzh::kLiteralSetSize < kEntryValueMask,
              "symbols and nodes fit an entry, and kNoCode is neither");
static_assert((kLiteralTableBits << kEntryLengthShift) < kEntryLink, "a length fits below the link flag");

constexpr TableEntry SymbolEntry(unsigned symbol, unsigned length) {
  return static_cast<TableEntry>(symbol | length << kEntryLengthShift);
}

// The tables themselves (smallTable, literalTable, their lengths and the
// overflow tree) are the engine's.

// Builds table (2^tableBits entries) and the engine's overflow tree from the
// code lengths of symbolCount symbols. A code that is neither complete nor
// empty ends the member as damaged; an empty one fills the table with
// kNoCode, which ends it the same way once a symbol is decoded with it.
void BuildHuffmanTable(Engine& e, unsigned symbolCount, const std::uint8_t* lengths, unsigned tableBits,
                       TableEntry* table);

// Reads the code lengths of the code-length set (its size, its count width,
// lzh::kCodeLengthZeroRunAfter) or of the position set (its size, its count
// width, kNoZeroRun) and builds smallTable.
void ReadSmallSetLengths(Engine& e, unsigned symbolCount, unsigned countBits, unsigned zeroRunIndex);

// Reads the code lengths of the literal/length set, coded with the
// code-length set, and builds literalTable.
void ReadLiteralSetLengths(Engine& e);

// The next symbol of a set whose table has 2^tableBits entries, read with
// the engine's reader: one lookup, or for a code longer than the table the
// overflow tree from the entry's node, one bit at a time. kNoCode, or a walk
// that does not end within 16 bits, is damage.
unsigned DecodeWithTable(Engine& e, const TableEntry* table, unsigned tableBits, unsigned symbolCount);
