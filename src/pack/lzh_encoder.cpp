// The compressor's entry: an input cut into regions (and, when large, into
// segments encoded side by side), each region parsed, cut into blocks, and
// each block parsed again with its own prices and written (lzh_parser.h,
// lzh_block_code.h, lzh_match_finder.h).
#include "pack/lzh_encoder.h"

#include <algorithm>
#include <atomic>
#include <thread>

#include "pack/lzh_block_code.h"
#include "pack/lzh_encoder_symbols.h"
#include "pack/lzh_parser.h"

namespace {

using namespace lzh_encoder;

// The methods the packer writes.
constexpr LzhMethod kMethods[] = {lzh::kMethodLh5, lzh::kMethodLh6, lzh::kMethodLh7};

// How hard the match finder and the parser work.
struct Effort {
  int treeDepth;        // nodes visited per position
  int niceMatchBytes;   // take such a match without weighing others
  int slicePasses;      // parses of each slice, the first priced by the slice before
  int blockPasses;      // parses of each block, priced by the block's own symbols
};
// The small dictionaries find fewer far matches, so searching them deeply
// buys little; -lh7- is the method publishers choose for size.
Effort EffortFor(char letter) {
  if (letter == '7') return {24, 128, 2, 1};
  return {12, 64, 1, 1};
}
// The input is parsed in regions: first slice by slice, each slice priced by
// the one before; then the region's symbols are cut into blocks where the
// statistics change, and each block is parsed again with its own prices.
constexpr std::size_t kRegionBytes = 131072;
constexpr std::size_t kSliceBytes = 32768;
constexpr std::size_t kMaxEncoderThreads = 4;
static_assert(kSliceBytes <= kRegionBytes, "a region holds whole slices");

class Encoder {
 public:
  // Encodes data[begin, end) of data[0, size), a window of an input of
  // inputBytes: matches may reach back before begin, never on past end.
  Encoder(const LzhMethod& method, const std::uint8_t* data, std::size_t size, std::size_t begin,
          std::size_t end, std::size_t inputBytes, std::vector<std::uint8_t>& out)
      : method_(method), data_(data), begin_(begin), end_(end), bits_(out),
        effort_(EffortFor(method.letter)),
        parser_(method, data, size, end, inputBytes, effort_.treeDepth, effort_.niceMatchBytes) {
    prices_.SetDefaults();
  }

  // Returns the number of bits written.
  std::uint64_t Run() {
    std::size_t prime = begin_ > method_.dictionaryBytes ? begin_ - method_.dictionaryBytes : 0;
    parser_.EnterHistory(prime, begin_);
    std::size_t pos = begin_;
    while (pos < end_) pos = EncodeRegion(pos);
    return bits_.Finish();
  }

 private:
  // Parses a region slice by slice, cuts its symbols into blocks, parses
  // each block again with its own prices and writes it.
  std::size_t EncodeRegion(std::size_t start) {
    const std::size_t n = parser_.GatherMatches(start, std::min(end_, start + kRegionBytes));
    regionSymbols_.clear();
    symbolOffsets_.clear();
    for (std::size_t a = 0, b; a < n; a = b) {
      b = std::min(n, a + kSliceBytes);
      if (n - b < kSliceBytes / 4) b = n;  // no short slice at the end
      for (int pass = 0; pass < effort_.slicePasses; ++pass) {
        if (pass > 0) prices_.FromSymbols(method_, symbols_.data(), symbols_.size());
        // An input's first slice has no prices from a slice before it:
        // several passes start from the counts of a greedy parse, a single
        // one prices the literals by how often each byte occurs.
        if (pass == 0 && start == begin_ && a == 0) {
          if (effort_.slicePasses > 1) {
            parser_.ParseGreedily(a, b, symbols_);
            continue;
          }
          prices_.SeedLiterals(data_ + start, b);
        }
        parser_.Parse(prices_, a, b, symbols_);
      }
      std::size_t at = a;
      for (const Symbol& s : symbols_) {
        symbolOffsets_.push_back(static_cast<std::uint32_t>(at));
        at += SymbolBytes(s);
      }
      regionSymbols_.insert(regionSymbols_.end(), symbols_.begin(), symbols_.end());
      prices_.FromSymbols(method_, symbols_.data(), symbols_.size());
    }
    symbolOffsets_.push_back(static_cast<std::uint32_t>(n));

    cutter_.Choose(method_, regionSymbols_.data(), regionSymbols_.size(), blockEnds_);
    std::size_t u = 0;
    for (std::size_t v : blockEnds_) {
      blockSymbols_.assign(regionSymbols_.begin() + static_cast<std::ptrdiff_t>(u),
                           regionSymbols_.begin() + static_cast<std::ptrdiff_t>(v));
      for (int pass = 0; pass < effort_.blockPasses; ++pass) {
        prices_.FromSymbols(method_, blockSymbols_.data(), blockSymbols_.size());
        parser_.Parse(prices_, symbolOffsets_[u], symbolOffsets_[v], symbols_);
        // A block of many bytes might now need more symbols than it may
        // count; it keeps the earlier parse then.
        if (symbols_.size() > kMaxBlockSymbols) break;
        blockSymbols_.swap(symbols_);
      }
      counts_.Count(blockSymbols_.data(), blockSymbols_.size());
      code_.Plan(method_, counts_, blockSymbols_.size());
      code_.Write(bits_, blockSymbols_.data());
      u = v;
    }
    // The next region starts with the prices of this one's last block.
    prices_.FromCounts(method_, counts_);
    return start + n;
  }

  const LzhMethod& method_;
  const std::uint8_t* data_;
  std::size_t begin_, end_;
  BitWriter bits_;
  Effort effort_;
  Parser parser_;
  Prices prices_;
  std::vector<Symbol> symbols_;  // the last parse
  // The region's first parse, where each symbol starts, and the blocks.
  std::vector<Symbol> regionSymbols_;
  std::vector<std::uint32_t> symbolOffsets_;
  std::vector<std::size_t> blockEnds_;
  std::vector<Symbol> blockSymbols_;
  BlockCutter cutter_;
  SymbolCounts counts_;
  BlockCode code_;
};

}  // namespace

const LzhMethod* FindLzhMethod(char letter) {
  for (const LzhMethod& m : kMethods)
    if (m.letter == letter) return &m;
  return nullptr;
}

LzhBits LzhEncodeSegment(const LzhMethod& method, const std::uint8_t* window,
                         std::size_t windowSize, std::size_t begin, std::size_t end) {
  LzhBits piece;
  piece.bytes.reserve((end - begin) / 2 + 64);
  // Every segment's tables are those of an input too large to be encoded in
  // one piece, so the output does not depend on the input's size.
  piece.bits = Encoder(method, window, windowSize, begin, end, kLzhSegmentedFromBytes, piece.bytes).Run();
  return piece;
}

void LzhBitJoiner::Append(const LzhBits& piece, std::vector<std::uint8_t>& out) {
  const std::size_t whole = static_cast<std::size_t>(piece.bits / 8);
  const int rest = static_cast<int>(piece.bits % 8);
  if (pendingBits_ == 0) {
    out.insert(out.end(), piece.bytes.begin(), piece.bytes.begin() + static_cast<std::ptrdiff_t>(whole));
  } else {
    // Each byte of the piece completes the pending bits and leaves its low
    // bits pending.
    out.reserve(out.size() + whole);
    for (std::size_t i = 0; i < whole; ++i) {
      const unsigned b = piece.bytes[i];
      out.push_back(static_cast<std::uint8_t>(pending_ | (b >> pendingBits_)));
      pending_ = static_cast<std::uint8_t>(b << (8 - pendingBits_));
    }
  }
  if (rest) {
    // The piece's last bits, at the top of its last byte.
    const unsigned b = piece.bytes[whole] & (0xFF00u >> rest);
    pending_ = static_cast<std::uint8_t>(pending_ | (b >> pendingBits_));
    pendingBits_ += rest;
    if (pendingBits_ >= 8) {
      out.push_back(pending_);
      pendingBits_ -= 8;
      pending_ = static_cast<std::uint8_t>(b << (rest - pendingBits_));
    }
  }
}

void LzhBitJoiner::Finish(std::vector<std::uint8_t>& out) {
  if (pendingBits_) out.push_back(pending_);
  pending_ = 0;
  pendingBits_ = 0;
}

std::vector<std::uint8_t> LzhEncode(const LzhMethod& method, const std::uint8_t* data,
                                    std::size_t size) {
  std::vector<std::uint8_t> out;
  if (size == 0) return out;
  if (size < kLzhSegmentedFromBytes) {
    out.reserve(size / 2 + 64);
    Encoder(method, data, size, 0, size, size, out).Run();
    return out;
  }
  // The cuts depend on the size alone, so the output is the same however
  // many threads ran.
  const std::size_t count = (size + kLzhSegmentBytes - 1) / kLzhSegmentBytes;
  std::vector<LzhBits> segments(count);
  auto encode = [&](std::size_t k) {
    const std::size_t begin = k * kLzhSegmentBytes, end = std::min(size, begin + kLzhSegmentBytes);
    const std::size_t from = begin - std::min<std::size_t>(begin, method.dictionaryBytes);
    const std::size_t to = std::min(size, end + kLzhSegmentLookaheadBytes);
    segments[k] = LzhEncodeSegment(method, data + from, to - from, begin - from, end - from);
  };
  const std::size_t threads =
      std::max<std::size_t>(1, std::min<std::size_t>(kMaxEncoderThreads, std::thread::hardware_concurrency()));
  std::atomic<std::size_t> next{0};
  auto worker = [&] {
    for (std::size_t k; (k = next.fetch_add(1)) < count;) encode(k);
  };
  std::vector<std::thread> pool;
  for (std::size_t t = 1; t < threads; ++t) pool.emplace_back(worker);
  worker();
  for (std::thread& t : pool) t.join();

  LzhBitJoiner joiner;
  for (const LzhBits& s : segments) joiner.Append(s, out);
  joiner.Finish(out);
  return out;
}
