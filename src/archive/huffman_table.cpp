#include "archive/huffman_table.h"

#include "archive/archive_input.h"
#include "archive/engine_host.h"

std::uint8_t smallLengths[kSmallLengthEntries];
std::uint16_t smallTable[1u << kSmallTableBits];
std::uint8_t literalLengths[lzh::kLiteralSetSize];
std::uint16_t literalTable[1u << kLiteralTableBits];
std::uint16_t treeLeft[kTreeNodes];
std::uint16_t treeRight[kTreeNodes];

using namespace lzh;

unsigned WalkOverflowTree(unsigned node, unsigned mask, unsigned symbolCount) {
  while (node >= symbolCount) {
    if (mask == 0) AbortDamaged();
    node = (bitWindow & mask) ? treeRight[node] : treeLeft[node];
    mask >>= 1;
  }
  return node;
}

void BuildHuffmanTable(unsigned symbolCount, const std::uint8_t* lengths, unsigned tableBits,
                       std::uint16_t* table) {
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
  for (unsigned i = 1; i <= kMaxCodeLength + 1; ++i) start[i] &= 0xFFFF;

  const unsigned shift = kMaxCodeLength - tableBits;
  for (unsigned i = 1; i <= tableBits; ++i) {
    start[i] >>= shift;
    weight[i] >>= shift;
  }
  // The entries whose codes continue past the table become tree roots; clear
  // them so that each root is created once.
  const unsigned tableSize = 1u << tableBits;
  const unsigned longStart = start[tableBits + 1] >> shift;
  if (longStart != 0)
    for (unsigned e = longStart; e < tableSize; ++e) table[e] = 0;

  unsigned nextNode = symbolCount;
  for (unsigned s = 0; s < symbolCount; ++s) {
    const unsigned len = lengths[s];
    if (len == 0) continue;
    const std::uint32_t next = start[len] + weight[len];
    if (len <= tableBits) {
      for (std::uint32_t e = start[len]; e < next; ++e) table[e] = static_cast<std::uint16_t>(s);
    } else {
      const unsigned code = start[len];
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
    start[len] = next & 0xFFFF;
  }
}

void ReadSmallSetLengths(unsigned symbolCount, unsigned countBits, unsigned zeroRunIndex) {
  const unsigned n = GetBits(countBits);
  if (n == 0) {
    // One code of length 0: every lookup gives value and consumes no bits.
    const unsigned value = GetBits(countBits);
    if (value >= symbolCount) AbortDamaged();
    for (unsigned i = 0; i < symbolCount; ++i) smallLengths[i] = 0;
    for (std::uint16_t& entry : smallTable) entry = static_cast<std::uint16_t>(value);
    return;
  }
  unsigned i = 0;
  while (i < n) {
    unsigned c = bitWindow >> (16 - kLengthFieldBits);
    if (c < kLengthEscape) {
      FillBits(kLengthFieldBits);
    } else {
      // The unary extension: 7 is 1110, 8 is 11110 and so on.
      for (unsigned mask = 1u << (15 - kLengthFieldBits); mask && (bitWindow & mask); mask >>= 1) ++c;
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
    for (std::uint16_t& entry : literalTable) entry = static_cast<std::uint16_t>(value);
    return;
  }
  if (n > kLiteralSetSize) AbortDamaged();
  unsigned i = 0;
  while (i < n) {
    unsigned c = smallTable[bitWindow >> (16 - kSmallTableBits)];
    if (c >= kCodeLengthSetSize) c = WalkOverflowTree(c, 1u << (15 - kSmallTableBits), kCodeLengthSetSize);
    FillBits(smallLengths[c]);
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
