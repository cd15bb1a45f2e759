#include "archive/lzh_decoder.h"

#include "app/run_state.h"
#include "archive/archive_input.h"
#include "archive/crc16.h"
#include "archive/engine_host.h"
#include "archive/huffman_table.h"
#include "archive/member_header.h"
#include "archive/output_sink.h"

std::uint8_t window[kWindowBytes];
unsigned windowPos;
std::uint16_t blockRemaining;
unsigned positionSetSize;
unsigned positionCountBits;
std::int64_t decodedCount;

namespace {
// -lh6- and -lh7- reach back 64 KiB and code positions with 17 symbols in a
// 5-bit count; -lh4- and -lh5- use 14 symbols in a 4-bit count. A stream
// written for fewer symbols decodes the same: the others get length 0.
constexpr unsigned kWidePositionSetSize = 17, kWidePositionCountBits = 5;
constexpr unsigned kNarrowPositionSetSize = 14, kNarrowPositionCountBits = 4;
constexpr unsigned kCodeLengthCountBits = 5;
constexpr unsigned kBlockSizeBits = 16;
static_assert(kWidePositionSetSize <= kSmallLengthEntries, "position lengths fit");

void ReadBlockTables() {
  blockRemaining = static_cast<std::uint16_t>(GetBits(kBlockSizeBits));
  ReadSmallSetLengths(kCodeLengthSetSize, kCodeLengthCountBits, kCodeLengthZeroRunIndex);
  ReadLiteralSetLengths();
  ReadSmallSetLengths(positionSetSize, positionCountBits, kNoZeroRun);
}

// Consumes the bits of a code longer than the table that the tree walk
// decoded; a leaf that short can only come from damaged tables.
void FillLongCode(unsigned length, unsigned tableBits) {
  if (length <= tableBits) AbortWithMessage(kMsgDamaged, true);
  FillBits(length - tableBits);
}

void Flush(std::uint64_t progressValue) {
  WriteOutput(window, kWindowBytes);
  if (!OutputIsProbe) ReportProgress(progressValue, ProgressTotals.total);
}
}  // namespace

void StartMethod(char methodLetter) {
  const bool wide = methodLetter == '6' || methodLetter == '7';
  positionSetSize = wide ? kWidePositionSetSize : kNarrowPositionSetSize;
  positionCountBits = wide ? kWidePositionCountBits : kNarrowPositionCountBits;
  StartBitReader();
  blockRemaining = 0;
}

unsigned DecodeSymbol() {
  if (blockRemaining == 0) ReadBlockTables();
  --blockRemaining;  // a block-size field of 0 stands for 65536 symbols
  unsigned j = literalTable[bitWindow >> (16 - kLiteralTableBits)];
  if (j < kLiteralSetSize) {
    FillBits(literalLengths[j]);
  } else {
    FillBits(kLiteralTableBits);
    j = WalkOverflowTree(j, 0x8000, kLiteralSetSize);
    FillLongCode(literalLengths[j], kLiteralTableBits);
  }
  return j;
}

unsigned DecodePosition() {
  unsigned j = smallTable[bitWindow >> (16 - kSmallTableBits)];
  if (j < positionSetSize) {
    FillBits(smallLengths[j]);
  } else {
    FillBits(kSmallTableBits);
    j = WalkOverflowTree(j, 0x8000, positionSetSize);
    FillLongCode(smallLengths[j], kSmallTableBits);
  }
  if (j == 0) return 0;
  return (1u << (j - 1)) + GetBits(j - 1);
}

void DecodeMember() {
  crcValue = 0;
  for (std::uint8_t& b : window) b = kWindowFill;
  StartMethod(MemberHeader.method);
  decodedCount = 0;
  windowPos = 0;
  const std::int64_t originalSize = MemberHeader.originalSize;
  if (originalSize <= 0) return;

  // The loop ends only between symbols: a final match that passes the
  // original size is produced and written in full.
  while (decodedCount < originalSize) {
    const unsigned c = DecodeSymbol();
    if (c <= 0xFF) {
      window[windowPos++] = static_cast<std::uint8_t>(c);
      if (windowPos == kWindowBytes) {
        Flush(ProgressTotals.done + 1);
        windowPos = 0;
      }
      ++decodedCount;
      ++ProgressTotals.done;
      continue;
    }
    const unsigned length = c - kMatchLengthBias;
    unsigned source = (windowPos - DecodePosition() - 1) & kWindowMask;
    decodedCount += length;
    ProgressTotals.done += length;
    // Byte by byte in increasing order: a match may repeat the bytes it is
    // producing.
    for (unsigned i = 0; i < length; ++i) {
      window[windowPos++] = window[source];
      source = (source + 1) & kWindowMask;
      if (windowPos == kWindowBytes) {
        Flush(ProgressTotals.done);
        windowPos = 0;
      }
    }
  }
  if (windowPos != 0) {
    WriteOutput(window, windowPos);
    if (!OutputIsProbe) ReportProgress(ProgressTotals.done, ProgressTotals.total);
  }
}
