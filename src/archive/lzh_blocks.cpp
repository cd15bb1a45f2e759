#include "archive/lzh_blocks.h"

#include <cstring>

#include "archive/engine.h"
#include "archive/output_sink.h"

namespace {
using namespace lzh;

void BuildDistanceTable(Engine& e) {
  for (unsigned i = 0; i < (1u << kSmallTableBits); ++i) {
    const TableEntry entry = e.smallTable[i];
    if (entry & kEntryLink) {
      e.distanceTable[i] = kDistanceLink;
      continue;
    }
    // Position symbol j > 1 stands for 2^(j-1) plus its j - 1 low bits.
    const unsigned j = entry & kEntryValueMask, low = j > 1 ? j - 1 : 0;
    const unsigned distance = (j > 1 ? 1u << low : j) + 1;
    e.distanceTable[i] = distance << kDistanceBaseShift | low << kLowBitsShift | entry >> kEntryLengthShift;
  }
}

void ReadBlockTables(Engine& e) {
  e.blockRemaining = static_cast<std::uint16_t>(GetBits(e, kBlockSizeBits));
  ReadSmallSetLengths(e, kCodeLengthSetSize, kCodeLengthCountBits, kCodeLengthZeroRunAfter);
  ReadLiteralSetLengths(e);
  ReadSmallSetLengths(e, e.positionSetSize, e.positionCountBits, kNoZeroRun);
  BuildDistanceTable(e);
  // A block whose tables came from past the data would turn nothing into up
  // to 65536 symbols.
  CheckInsideMemberData(e, e.bits);
}

}  // namespace

bool FlushFullPiece(Engine& e, std::int64_t count) {
  // No byte decoded from bits past the data ever reaches the output.
  CheckInsideMemberData(e, e.bits);
  e.windowPos = kWindowBytes;
  e.decodedCount = count;
  std::uint8_t* const piece = e.window + kWindowBytes;
  if (!HandOverPiece(e, piece, kWindowBytes, count)) return false;
  std::memcpy(e.window, piece, kWindowBytes);
  e.windowUnfilled = false;
  return true;
}

void FillHistory(Engine& e) {
  std::memset(e.window, kWindowFill, kWindowBytes);
  e.windowUnfilled = false;
}

void StartMethod(Engine& e, char methodLetter) {
  const MethodFormat* method = FindCompressedMethod(methodLetter);
  // Only compressed members reach the decoder.
  if (!method) FailMember(e, EngineResult::Damaged);
  e.positionSetSize = method->positionSetSize;
  e.positionCountBits = method->positionCountBits;
  StartBitReader(e);
  e.blockRemaining = 0;
  e.windowUnfilled = true;
}

unsigned DecodeSymbol(Engine& e) {
  if (e.blockRemaining == 0) ReadBlockTables(e);
  --e.blockRemaining;  // a block-size field of 0 stands for 65536 symbols
  return DecodeWithTable(e, e.literalTable, kLiteralTableBits, kLiteralSetSize);
}

unsigned DecodePosition(Engine& e) {
  const unsigned j = DecodeWithTable(e, e.smallTable, kSmallTableBits, e.positionSetSize);
  return j <= 1 ? j : (1u << (j - 1)) + GetBits(e, j - 1);
}

bool DecodeSymbolCarefully(Engine& e) {
  unsigned pos = e.windowPos;
  std::int64_t count = e.decodedCount;
  std::uint8_t* const piece = e.window + kWindowBytes;
  const unsigned c = DecodeSymbol(e);
  if (c < kFirstLengthSymbol) {
    piece[pos++] = static_cast<std::uint8_t>(c);
    ++count;
  } else {
    const unsigned length = c - kMatchLengthBias;
    const unsigned distance = DecodePosition(e) + 1;
    if (e.windowUnfilled && distance > pos) FillHistory(e);
    // The whole match counts before its first byte: a flush inside the copy
    // reports it. Byte by byte in increasing order, so that the match may
    // repeat the bytes it produces.
    count += length;
    unsigned source = kWindowBytes + pos - distance;
    for (unsigned i = 0; i < length; ++i) {
      piece[pos++] = e.window[source++];
      if (pos == kWindowBytes && i + 1 < length) {
        if (!FlushFullPiece(e, count)) return false;
        pos = 0;
        source -= kWindowBytes;  // the piece became the history
      }
    }
  }
  if (pos == kWindowBytes) {
    if (!FlushFullPiece(e, count)) return false;
    pos = 0;
  }
  e.windowPos = pos;
  e.decodedCount = count;
  return true;
}
