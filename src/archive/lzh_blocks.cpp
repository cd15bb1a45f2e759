#include "archive/lzh_blocks.h"

#include <cstring>

#include "archive/archive_input.h"
#include "archive/engine_host.h"
#include "archive/lzh_decoder.h"
#include "archive/output_sink.h"
#include "common/run_state.h"

std::uint8_t window[2 * kWindowBytes + kCopySlackBytes];
unsigned windowPos;
std::uint16_t blockRemaining;
unsigned positionSetSize;
unsigned positionCountBits;
std::int64_t decodedCount;
DistanceEntry distanceTable[1u << kSmallTableBits];
bool windowUnfilled;

namespace {
using namespace lzh;

void BuildDistanceTable() {
  for (unsigned i = 0; i < (1u << kSmallTableBits); ++i) {
    const TableEntry e = smallTable[i];
    if (e & kEntryLink) {
      distanceTable[i] = kDistanceLink;
      continue;
    }
    // Position symbol j > 1 stands for 2^(j-1) plus its j - 1 low bits.
    const unsigned j = e & kEntryValueMask, low = j > 1 ? j - 1 : 0;
    const unsigned distance = (j > 1 ? 1u << low : j) + 1;
    distanceTable[i] = distance << kDistanceBaseShift | low << kLowBitsShift | e >> kEntryLengthShift;
  }
}

void ReadBlockTables() {
  blockRemaining = static_cast<std::uint16_t>(GetBits(kBlockSizeBits));
  ReadSmallSetLengths(kCodeLengthSetSize, kCodeLengthCountBits, kCodeLengthZeroRunAfter);
  ReadLiteralSetLengths();
  ReadSmallSetLengths(positionSetSize, positionCountBits, kNoZeroRun);
  BuildDistanceTable();
  // A block whose tables came from past the data would turn nothing into up
  // to 65536 symbols.
  CheckInsideMemberData(bits);
}

}  // namespace

void FlushFullPiece(std::int64_t count, std::uint64_t doneBefore) {
  // No byte decoded from bits past the data ever reaches the output.
  CheckInsideMemberData(bits);
  windowPos = kWindowBytes;
  decodedCount = count;
  ProgressTotals.done = doneBefore + static_cast<std::uint64_t>(count);
  std::uint8_t* const piece = window + kWindowBytes;
  WriteOutput(piece, kWindowBytes);
  if (!OutputIsProbe) ReportProgress(ProgressTotals.done, ProgressTotals.total);
  std::memcpy(window, piece, kWindowBytes);
  windowUnfilled = false;
}

void FillHistory() {
  std::memset(window, kWindowFill, kWindowBytes);
  windowUnfilled = false;
}

void StartMethod(char methodLetter) {
  const MethodFormat* method = FindCompressedMethod(methodLetter);
  // Only compressed members reach the decoder.
  if (!method) AbortDamaged();
  positionSetSize = method->positionSetSize;
  positionCountBits = method->positionCountBits;
  StartBitReader();
  blockRemaining = 0;
  windowUnfilled = true;
}

unsigned DecodeSymbol() {
  if (blockRemaining == 0) ReadBlockTables();
  --blockRemaining;  // a block-size field of 0 stands for 65536 symbols
  return DecodeWithTable(literalTable, kLiteralTableBits, kLiteralSetSize);
}

unsigned DecodePosition() {
  const unsigned j = DecodeWithTable(smallTable, kSmallTableBits, positionSetSize);
  return j <= 1 ? j : (1u << (j - 1)) + GetBits(j - 1);
}

void DecodeSymbolCarefully(std::uint64_t doneBefore) {
  unsigned pos = windowPos;
  std::int64_t count = decodedCount;
  const unsigned c = DecodeSymbol();
  if (c < kFirstLengthSymbol) {
    window[kWindowBytes + pos++] = static_cast<std::uint8_t>(c);
    ++count;
  } else {
    const unsigned length = c - kMatchLengthBias;
    const unsigned distance = DecodePosition() + 1;
    if (windowUnfilled && distance > pos) FillHistory();
    // The whole match counts before its first byte: a flush inside the copy
    // reports it. Byte by byte in increasing order, so that the match may
    // repeat the bytes it produces.
    count += length;
    unsigned source = kWindowBytes + pos - distance;
    for (unsigned i = 0; i < length; ++i) {
      window[kWindowBytes + pos++] = window[source++];
      if (pos == kWindowBytes && i + 1 < length) {
        FlushFullPiece(count, doneBefore);
        pos = 0;
        source -= kWindowBytes;  // the piece became the history
      }
    }
  }
  if (pos == kWindowBytes) {
    FlushFullPiece(count, doneBefore);
    pos = 0;
  }
  windowPos = pos;
  decodedCount = count;
}
