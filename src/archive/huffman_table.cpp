#include "archive/huffman_table.h"

#include "archive/engine.h"

using namespace lzh;

namespace {
void FillTable(TableEntry* table, unsigned tableBits, TableEntry entry) {
  for (unsigned i = 0, n = 1u << tableBits; i < n; ++i) table[i] = entry;
}

[[noreturn]] void FailDamaged(Engine& e) { FailMember(e, EngineResult::Damaged); }
}  // namespace

unsigned DecodeWithTable(Engine& e, const TableEntry* table, unsigned tableBits, unsigned symbolCount) {
  // The whole code is among the next 16 bits.
  const unsigned code = PeekBits(e, kMaxCodeLength);
  const TableEntry entry = table[code >> (kMaxCodeLength - tableBits)];
  if (!(entry & kEntryLink)) {
    FillBits(e, entry >> kEntryLengthShift);
    return entry & kEntryValueMask;
  }
  unsigned node = entry & kEntryValueMask;
  if (node >= kTreeNodes) FailDamaged(e);  // kNoCode: the set has no code at all
  unsigned depth = tableBits;
  for (; node >= symbolCount; ++depth) {
    if (depth == kMaxCodeLength) FailDamaged(e);  // cannot happen for a complete code
    node = (code >> (kMaxCodeLength - 1 - depth)) & 1 ? e.treeRight[node] : e.treeLeft[node];
  }
  FillBits(e, depth);
  return node;
}

void BuildHuffmanTable(Engine& e, unsigned symbolCount, const std::uint8_t* lengths, unsigned tableBits,
                       TableEntry* table) {
  unsigned count[kMaxCodeLength + 1] = {};
  for (unsigned s = 0; s < symbolCount; ++s) {
    if (lengths[s] > kMaxCodeLength) FailDamaged(e);
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
  if (total != 0 && total != (1u << kMaxCodeLength)) FailDamaged(e);
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
    for (unsigned i = longStart; i < tableSize; ++i) table[i] = 0;

  unsigned nextNode = symbolCount;
  for (unsigned s = 0; s < symbolCount; ++s) {
    const unsigned len = lengths[s];
    if (len == 0) continue;
    const std::uint32_t code = start[len];
    start[len] = code + weight[len];
    if (len <= tableBits) {
      const TableEntry entry = SymbolEntry(s, len);
      for (std::uint32_t i = code >> shift, end = (code + weight[len]) >> shift; i < end; ++i) table[i] = entry;
      continue;
    }
    // A code longer than the table: from the table's entry for its first
    // bits, a tree node for each further bit but the last, which leads to the
    // symbol. While the tree is built, the entry holds the node's number.
    std::uint16_t* slot = &table[code >> shift];
    for (unsigned bit = 1u << (15 - tableBits), left = len - tableBits; left; --left, bit >>= 1) {
      if (*slot == 0) {
        if (nextNode >= kTreeNodes) FailDamaged(e);  // cannot happen for a complete code
        e.treeLeft[nextNode] = e.treeRight[nextNode] = 0;
        *slot = static_cast<std::uint16_t>(nextNode++);
      }
      slot = (code & bit) ? &e.treeRight[*slot] : &e.treeLeft[*slot];
    }
    *slot = static_cast<std::uint16_t>(s);
  }
  if (longStart != 0)
    for (unsigned i = longStart; i < tableSize; ++i) table[i] |= kEntryLink;
}

void ReadSmallSetLengths(Engine& e, unsigned symbolCount, unsigned countBits, unsigned zeroRunIndex) {
  const unsigned n = GetBits(e, countBits);
  if (n == 0) {
    // One code of length 0: every lookup gives value and consumes no bits.
    const unsigned value = GetBits(e, countBits);
    if (value >= symbolCount) FailDamaged(e);
    for (unsigned i = 0; i < symbolCount; ++i) e.smallLengths[i] = 0;
    FillTable(e.smallTable, kSmallTableBits, SymbolEntry(value, 0));
    return;
  }
  unsigned i = 0;
  while (i < n) {
    const unsigned next = PeekBits(e, kMaxCodeLength);
    unsigned c = next >> (kMaxCodeLength - kLengthFieldBits);
    if (c < kLengthEscape) {
      FillBits(e, kLengthFieldBits);
    } else {
      // The unary extension: 7 is 1110, 8 is 11110 and so on.
      for (unsigned mask = 1u << (kMaxCodeLength - 1 - kLengthFieldBits); mask && (next & mask); mask >>= 1) ++c;
      if (c > kMaxCodeLength) FailDamaged(e);
      FillBits(e, kLengthFieldBits + (c - kLengthEscape) + 1);  // the field, the ones, the zero
    }
    e.smallLengths[i++] = static_cast<std::uint8_t>(c);
    if (i == zeroRunIndex) {
      for (unsigned z = GetBits(e, kCodeLengthZeroRunBits); z; --z) e.smallLengths[i++] = 0;
    }
  }
  for (; i < symbolCount; ++i) e.smallLengths[i] = 0;
  BuildHuffmanTable(e, symbolCount, e.smallLengths, kSmallTableBits, e.smallTable);
}

void ReadLiteralSetLengths(Engine& e) {
  const unsigned n = GetBits(e, kLiteralCountBits);
  if (n == 0) {
    const unsigned value = GetBits(e, kLiteralCountBits);
    if (value >= kLiteralSetSize) FailDamaged(e);
    for (std::uint8_t& length : e.literalLengths) length = 0;
    FillTable(e.literalTable, kLiteralTableBits, SymbolEntry(value, 0));
    return;
  }
  if (n > kLiteralSetSize) FailDamaged(e);
  unsigned i = 0;
  while (i < n) {
    const unsigned c = DecodeWithTable(e, e.smallTable, kSmallTableBits, kCodeLengthSetSize);
    if (c > kZeroRunLong) {
      e.literalLengths[i++] = static_cast<std::uint8_t>(c - kCodeLengthSymbolBias);
      continue;
    }
    unsigned run = 1;  // kZeroRunOne: a single zero
    if (c == kZeroRunShort) run = GetBits(e, kShortZeroRunBits) + kShortZeroRunBase;
    else if (c == kZeroRunLong) run = GetBits(e, kLongZeroRunBits) + kLongZeroRunBase;
    if (run > kLiteralSetSize - i) FailDamaged(e);
    while (run--) e.literalLengths[i++] = 0;
  }
  for (; i < kLiteralSetSize; ++i) e.literalLengths[i] = 0;
  BuildHuffmanTable(e, kLiteralSetSize, e.literalLengths, kLiteralTableBits, e.literalTable);
}
