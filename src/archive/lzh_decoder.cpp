#include "archive/lzh_decoder.h"

#include "archive/archive_input.h"
#include "archive/crc16.h"
#include "archive/engine_host.h"
#include "archive/huffman_table.h"
#include "archive/member_header.h"
#include "archive/output_sink.h"
#include "common/run_state.h"

std::uint8_t window[kWindowBytes];
unsigned windowPos;
std::uint16_t blockRemaining;
unsigned positionSetSize;
unsigned positionCountBits;
std::int64_t decodedCount;

namespace {
using namespace lzh;

void ReadBlockTables() {
  blockRemaining = static_cast<std::uint16_t>(GetBits(kBlockSizeBits));
  ReadSmallSetLengths(kCodeLengthSetSize, kCodeLengthCountBits, kCodeLengthZeroRunAfter);
  ReadLiteralSetLengths();
  ReadSmallSetLengths(positionSetSize, positionCountBits, kNoZeroRun);
}

// Consumes the bits of a code longer than the table that the tree walk
// decoded; a leaf that short can only come from damaged tables.
void FillLongCode(unsigned length, unsigned tableBits) {
  if (length <= tableBits) AbortDamaged();
  FillBits(length - tableBits);
}

void Flush(std::uint64_t progressValue) {
  WriteOutput(window, kWindowBytes);
  if (!OutputIsProbe) ReportProgress(progressValue, ProgressTotals.total);
}
// The symbol and position decoders, inlined into the decoding loop unless
// the build optimises for size (the stub).
#if defined(__OPTIMIZE_SIZE__)
#define QUORVEL_HOT inline
#else
#define QUORVEL_HOT inline __attribute__((always_inline))
#endif

// The next code of a set: its table entry for the next tableBits bits, or,
// for a code longer than the table, the overflow tree from that entry on.
QUORVEL_HOT unsigned NextCode(const std::uint16_t* table, const std::uint8_t* lengths, unsigned tableBits,
                              unsigned symbolCount) {
  unsigned j = table[bitWindow >> (16 - tableBits)];
  if (j < symbolCount) {
    FillBits(lengths[j]);
    return j;
  }
  FillBits(tableBits);
  j = WalkOverflowTree(j, 0x8000, symbolCount);
  FillLongCode(lengths[j], tableBits);
  return j;
}

QUORVEL_HOT unsigned NextSymbol() {
  if (blockRemaining == 0) ReadBlockTables();
  --blockRemaining;  // a block-size field of 0 stands for 65536 symbols
  return NextCode(literalTable, literalLengths, kLiteralTableBits, kLiteralSetSize);
}

QUORVEL_HOT unsigned NextPosition() {
  const unsigned j = NextCode(smallTable, smallLengths, kSmallTableBits, positionSetSize);
  if (j == 0) return 0;
  return (1u << (j - 1)) + GetBits(j - 1);
}

}  // namespace

void StartMethod(char methodLetter) {
  const MethodFormat* method = FindCompressedMethod(methodLetter);
  // Only compressed members reach the decoder.
  if (!method) AbortDamaged();
  positionSetSize = method->positionSetSize;
  positionCountBits = method->positionCountBits;
  StartBitReader();
  blockRemaining = 0;
}

unsigned DecodeSymbol() { return NextSymbol(); }

unsigned DecodePosition() { return NextPosition(); }

void DecodeMember() {
  crcValue = 0;
  for (std::uint8_t& b : window) b = kWindowFill;
  StartMethod(MemberHeader.method);
  decodedCount = 0;
  windowPos = 0;
  const std::int64_t originalSize = MemberHeader.originalSize;
  if (originalSize <= 0) return;

  // The loop keeps the window position and the counts in locals (a byte
  // store into the window could otherwise alias them) and brings the
  // process-wide values up to date before every hand-over to the sink.
  std::uint8_t* const w = window;
  const std::uint64_t doneBefore = ProgressTotals.done;
  unsigned pos = 0;
  std::int64_t count = 0;
  auto flushFull = [&] {
    windowPos = pos;
    decodedCount = count;
    ProgressTotals.done = doneBefore + static_cast<std::uint64_t>(count);
    Flush(ProgressTotals.done);
    pos = 0;
  };
  // The loop ends only between symbols: a final match that passes the
  // original size is produced and written in full.
  while (count < originalSize) {
    const unsigned c = NextSymbol();
    if (c < kFirstLengthSymbol) {
      w[pos++] = static_cast<std::uint8_t>(c);
      ++count;
      if (pos == kWindowBytes) flushFull();
      continue;
    }
    const unsigned length = c - kMatchLengthBias;
    unsigned source = (pos - NextPosition() - 1) & kWindowMask;
    // The whole match counts before its first byte: a flush inside the copy
    // reports it.
    count += length;
    if (pos + length < kWindowBytes && source + length <= kWindowBytes) {
      // Neither the copy nor its source reaches the window's end.
      for (unsigned i = 0; i < length; ++i) w[pos + i] = w[source + i];
      pos += length;
      continue;
    }
    // Byte by byte in increasing order, so that a match may repeat the bytes
    // it is producing.
    for (unsigned i = 0; i < length; ++i) {
      w[pos++] = w[source];
      source = (source + 1) & kWindowMask;
      if (pos == kWindowBytes) flushFull();
    }
  }
  windowPos = pos;
  decodedCount = count;
  ProgressTotals.done = doneBefore + static_cast<std::uint64_t>(count);
  if (windowPos != 0) {
    WriteOutput(window, windowPos);
    if (!OutputIsProbe) ReportProgress(ProgressTotals.done, ProgressTotals.total);
  }
}
