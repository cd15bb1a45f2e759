#include "archive/huffman_table.h"

#include "archive/archive_input.h"
#include "archive/engine_host.h"

std::uint8_t smallLengths[kSmallLengthEntries];
std::uint16_t smallTable[1u << kSmallTableBits];
std::uint8_t literalLengths[kLiteralSetSize];
std::uint16_t literalTable[1u << kLiteralTableBits];
std::uint16_t treeLeft[kTreeNodes];
std::uint16_t treeRight[kTreeNodes];

namespace {
[[noreturn]] void Damaged() { AbortWithMessage(kMsgDamaged, true); }

// The unary extension of a length: 7 is 1110, 8 is 11110 and so on.
constexpr unsigned kLengthEscape = 7;
constexpr unsigned kLengthFieldBits = 3;

// Code-length symbols 0..2 start runs of zero lengths.
constexpr unsigned kZeroRunShort = 1, kZeroRunLong = 2;  // 0 is a single zero
constexpr unsigned kShortRunBits = 4, kShortRunBase = 3;
constexpr unsigned kLongRunBits = 9, kLongRunBase = 20;
constexpr unsigned kLiteralCountBits = 9;
constexpr unsigned kZeroRunCountBits = 2;
}  // namespace

unsigned WalkOverflowTree(unsigned node, unsigned mask, unsigned symbolCount) {
  while (node >= symbolCount) {
    if (mask == 0) Damaged();
    node = (bitWindow & mask) ? treeRight[node] : treeLeft[node];
    mask >>= 1;
  }
  return node;
}

void BuildHuffmanTable(unsigned symbolCount, const std::uint8_t* lengths, unsigned tableBits,
                       std::uint16_t* table) {
  unsigned count[kMaxCodeLength + 1] = {};
  for (unsigned s = 0; s < symbolCount; ++s) {
    if (lengths[s] > kMaxCodeLength) Damaged();
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
  if (total != 0 && total != 0x10000) Damaged();
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
          if (nextNode >= kTreeNodes) Damaged();  // cannot happen for a complete code
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
    if (value >= symbolCount) Damaged();
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
      for (unsigned mask = 1u << 12; mask && (bitWindow & mask); mask >>= 1) ++c;
      if (c > kMaxCodeLength) Damaged();
      FillBits(c - 3);  // three field bits, c - 7 ones and the closing zero
    }
    smallLengths[i++] = static_cast<std::uint8_t>(c);
    if (i == zeroRunIndex) {
      for (unsigned z = GetBits(kZeroRunCountBits); z; --z) smallLengths[i++] = 0;
    }
  }
  static_assert(31 + 3 <= kSmallLengthEntries, "a 5-bit count and a zero run fit");
  for (; i < symbolCount; ++i) smallLengths[i] = 0;
  BuildHuffmanTable(symbolCount, smallLengths, kSmallTableBits, smallTable);
}

void ReadLiteralSetLengths() {
  const unsigned n = GetBits(kLiteralCountBits);
  if (n == 0) {
    const unsigned value = GetBits(kLiteralCountBits);
    if (value >= kLiteralSetSize) Damaged();
    for (std::uint8_t& length : literalLengths) length = 0;
    for (std::uint16_t& entry : literalTable) entry = static_cast<std::uint16_t>(value);
    return;
  }
  if (n > kLiteralSetSize) Damaged();
  unsigned i = 0;
  while (i < n) {
    unsigned c = smallTable[bitWindow >> (16 - kSmallTableBits)];
    if (c >= kCodeLengthSetSize) c = WalkOverflowTree(c, 1u << 7, kCodeLengthSetSize);
    FillBits(smallLengths[c]);
    if (c > kZeroRunLong) {
      literalLengths[i++] = static_cast<std::uint8_t>(c - 2);
      continue;
    }
    unsigned run = 1;
    if (c == kZeroRunShort) run = GetBits(kShortRunBits) + kShortRunBase;
    else if (c == kZeroRunLong) run = GetBits(kLongRunBits) + kLongRunBase;
    if (run > kLiteralSetSize - i) Damaged();
    while (run--) literalLengths[i++] = 0;
  }
  for (; i < kLiteralSetSize; ++i) literalLengths[i] = 0;
  BuildHuffmanTable(kLiteralSetSize, literalLengths, kLiteralTableBits, literalTable);
}
