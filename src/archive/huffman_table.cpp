#include "archive/huffman_table.h"

#include "archive/archive_input.h"
#include "archive/engine_host.h"

std::uint8_t smallLengths[kSmallLengthEntries];
TableEntry smallTable[1u << kSmallTableBits];
std::uint8_t literalLengths[lzh::kLiteralSetSize];
TableEntry literalTable[1u << kLiteralTableBits];
std::uint16_t treeLeft[kTreeNodes];
std::uint16_t treeRight[kTreeNodes];

using namespace lzh;

namespace {
void FillTable(TableEntry* table, unsigned tableBits, TableEntry entry) {
  for (unsigned e = 0, n = 1u << tableBits; e < n; ++e) table[e] = entry;
}
}  // namespace

unsigned DecodeWithTable(const TableEntry* table, unsigned tableBits, unsigned symbolCount) {
  // The whole code is among the next 16 bits.
  const unsigned code = PeekBits(kMaxCodeLength);
  const TableEntry entry = table[code >> (kMaxCodeLength - tableBits)];
  if (!(entry & kEntryLink)) {
    FillBits(entry >> kEntryLengthShift);
    return entry & kEntryValueMask;
  }
  unsigned node = entry & kEntryValueMask;
  if (node >= kTreeNodes) AbortDamaged();  // kNoCode: the set has no code at all
  unsigned depth = tableBits;
  for (; node >= symbolCount; ++depth) {
    if (depth == kMaxCodeLength) AbortDamaged();  // cannot happen for a complete code
    node = (code >> (kMaxCodeLength - 1 - depth)) & 1 ? treeRight[node] : treeLeft[node];
  }
  FillBits(depth);
  return node;
}

void BuildHuffmanTable(unsigned symbolCount, const std::uint8_t* lengths, unsigned tableBits, TableEntry* table) {
  unsigned count[kMaxCodeLength + 1] = {};
  for (unsigned s = 0; s < symbolCount; ++s) {
    if (lengths[s] > kMaxCodeLength) AbortDamaged();
    if (lengths[s]) ++count[lengths[s]];
  }

  // start[i]: the first code of length i, left-aligned in 16 bits. The total
  // is exact; a complete prefix code fills the 16-bit code space exactly.
  std::uint32_t start[kMaxCodeLength + 2];
  std::uint32_t weight[kMaxCodeLength + 1];
  start[1] = 0;
  for (unsigned i = 1; i <= kMaxCodeLength; ++i) {
    weight[i] = 1u << (kMaxCodeLength - i);
    start[i + 1] = start[i] + count[i] * weight[i];
  }
  const std::uint32_t total = start[kMaxCodeLength + 1];
  if (total != 0 && total != (1u << kMaxCodeLength)) AbortDamaged();
  if (total == 0) {
    // No symbol has a code: such a set is fine as long as nothing is decoded
    // with it, and decoding with it is damage.
    FillTable(table, tableBits, kNoCode);
    return;
  }

  const unsigned shift = kMaxCodeLength - tableBits;
  // The entries whose codes continue past the table become links into the
  // tree: cleared first, so that each node is made once, and flagged at the end.
  const unsigned tableSize = 1u << tableBits;
  const unsigned longStart = (start[tableBits + 1] & 0xFFFF) >> shift;
  if (longStart != 0)
    for (unsigned e = longStart; e < tableSize; ++e) table[e] = 0;

  unsigned nextNode = symbolCount;
  for (unsigned s = 0; s < symbolCount; ++s) {
    const unsigned len = lengths[s];
    if (len == 0) continue;
    const std::uint32_t code = start[len];
    start[len] = code + weight[len];
    if (len <= tableBits) {
      const TableEntry entry = SymbolEntry(s, len);
      for (std::uint32_t e = code >> shift, end = (code + weight[len]) >> shift; e < end; ++e) table[e] = entry;
      continue;
    }
    // A code longer than the table: from the table's entry for its first
    // bits, a tree node for each further bit but the last, which leads to the
    // symbol. While the tree is built, the entry holds the node's number.
    std::uint16_t* slot = &table[code >> shift];
    for (unsigned bit = 1u << (15 - tableBits), left = len - tableBits; left; --left, bit >>= 1) {
      if (*slot == 0) {
        if (nextNode >= kTreeNodes) AbortDamaged();  // cannot happen for a complete code
        treeLeft[nextNode] = treeRight[nextNode] = 0;
        *slot = static_cast<std::uint16_t>(nextNode++);
      }
      slot = (code & bit) ? &treeRight[*slot] : &treeLeft[*slot];
    }
    *slot = static_cast<std::uint16_t>(s);
  }
  if (longStart != 0)
    for (unsigned e = longStart; e < tableSize; ++e) table[e] |= kEntryLink;
}

void ReadSmallSetLengths(unsigned symbolCount, unsigned countBits, unsigned zeroRunIndex) {
  const unsigned n = GetBits(countBits);
  if (n == 0) {
    // One code of length 0: every lookup gives value and consumes no bits.
    const unsigned value = GetBits(countBits);
    if (value >= symbolCount) AbortDamaged();
    for (unsigned i = 0; i < symbolCount; ++i) smallLengths[i] = 0;
    FillTable(smallTable, kSmallTableBits, SymbolEntry(value, 0));
    return;
  }
  unsigned i = 0;
  while (i < n) {
    const unsigned next = PeekBits(kMaxCodeLength);
    unsigned c = next >> (kMaxCodeLength - kLengthFieldBits);
    if (c < kLengthEscape) {
      FillBits(kLengthFieldBits);
    } else {
      // The unary extension: 7 is 1110, 8 is 11110 and so on.
      for (unsigned mask = 1u << (kMaxCodeLength - 1 - kLengthFieldBits); mask && (next & mask); mask >>= 1) ++c;
      if (c > kMaxCodeLength) AbortDamaged();
      FillBits(kLengthFieldBits + (c - kLengthEscape) + 1);  // the field, the ones, the zero
    }
    smallLengths[i++] = static_cast<std::uint8_t>(c);
    if (i == zeroRunIndex) {
      for (unsigned z = GetBits(kCodeLengthZeroRunBits); z; --z) smallLengths[i++] = 0;
    }
  }
  for (; i < symbolCount; ++i) smallLengths[i] = 0;
  BuildHuffmanTable(symbolCount, smallLengths, kSmallTableBits, smallTable);
}

void ReadLiteralSetLengths() {
  const unsigned n = GetBits(kLiteralCountBits);
  if (n == 0) {
    const unsigned value = GetBits(kLiteralCountBits);
    if (value >= kLiteralSetSize) AbortDamaged();
    for (std::uint8_t& length : literalLengths) length = 0;
    FillTable(literalTable, kLiteralTableBits, SymbolEntry(value, 0));
    return;
  }
  if (n > kLiteralSetSize) AbortDamaged();
  unsigned i = 0;
  while (i < n) {
    const unsigned c = DecodeWithTable(smallTable, kSmallTableBits, kCodeLengthSetSize);
    if (c > kZeroRunLong) {
      literalLengths[i++] = static_cast<std::uint8_t>(c - kCodeLengthSymbolBias);
      continue;
    }
    unsigned run = 1;  // kZeroRunOne: a single zero
    if (c == kZeroRunShort) run = GetBits(kShortZeroRunBits) + kShortZeroRunBase;
    else if (c == kZeroRunLong) run = GetBits(kLongZeroRunBits) + kLongZeroRunBase;
    if (run > kLiteralSetSize - i) AbortDamaged();
    while (run--) literalLengths[i++] = 0;
  }
  for (; i < kLiteralSetSize; ++i) literalLengths[i] = 0;
  BuildHuffmanTable(kLiteralSetSize, literalLengths, kLiteralTableBits, literalTable);
}
