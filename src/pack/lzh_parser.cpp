#include "pack/lzh_parser.h"

#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace lzh_encoder {
namespace {

// Offers the lengths [len, top] of one match to the positions they reach:
// the hot loop of the parse, four lengths at a time where SSE2 is there
// (on signed values, which it compares). The last group of four masks the
// lengths past top; the arrays have room for what it reads there.
void RelaxLengths(std::int32_t* __restrict cost, std::uint32_t* __restrict step,
                  const std::int32_t* __restrict lengthPrice, std::int32_t withPosition,
                  std::uint32_t firstStep, int len, int top) {
#if defined(__SSE2__)
  const __m128i position = _mm_set1_epi32(withPosition);
  const __m128i nextSteps = _mm_set1_epi32(4 << 16);
  const __m128i lanes = _mm_set_epi32(3, 2, 1, 0);
  __m128i steps = _mm_add_epi32(_mm_set1_epi32(static_cast<int>(firstStep)),
                                _mm_slli_epi32(lanes, 16));
  for (int k = len; k <= top; k += 4) {
    const __m128i offered =
        _mm_add_epi32(position, _mm_loadu_si128(reinterpret_cast<const __m128i*>(lengthPrice + k)));
    const __m128i held = _mm_loadu_si128(reinterpret_cast<const __m128i*>(cost + k));
    const __m128i better = _mm_and_si128(_mm_cmplt_epi32(offered, held),
                                         _mm_cmplt_epi32(lanes, _mm_set1_epi32(top - k + 1)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(cost + k),
                     _mm_or_si128(_mm_and_si128(better, offered), _mm_andnot_si128(better, held)));
    const __m128i heldSteps = _mm_loadu_si128(reinterpret_cast<const __m128i*>(step + k));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(step + k),
                     _mm_or_si128(_mm_and_si128(better, steps), _mm_andnot_si128(better, heldSteps)));
    steps = _mm_add_epi32(steps, nextSteps);
  }
#else
  for (int k = len; k <= top; ++k) {
    const std::int32_t c = withPosition + lengthPrice[k];
    if (c < cost[k]) {
      cost[k] = c;
      step[k] = firstStep + (static_cast<std::uint32_t>(k - len) << 16);
    }
  }
#endif
}

}  // namespace

void Prices::SetDefaults() {
  for (int s = 0; s < 256; ++s) literal[s] = 9;
  for (int s = 256; s < kLiteralSetSymbols; ++s) literal[s] = 8 + (s - 256 > 16 ? 4 : 0);
  for (int s = 0; s < kMaxPositionSymbols; ++s) position[s] = 5;
}

void Prices::FromCounts(const LzhMethod& method, const SymbolCounts& counts) {
  std::uint32_t weights[kLiteralSetSymbols];
  std::uint8_t lengths[kLiteralSetSymbols];
  for (int s = 0; s < kLiteralSetSymbols; ++s) weights[s] = counts.literal[s] * 8 + 1;
  BuildLimitedCodeLengths(weights, kLiteralSetSymbols, kMaxCodeBits, lengths);
  for (int s = 0; s < kLiteralSetSymbols; ++s) literal[s] = lengths[s];
  const int np = static_cast<int>(method.positionSymbols);
  for (int s = 0; s < np; ++s) weights[s] = counts.position[s] * 8 + 1;
  BuildLimitedCodeLengths(weights, np, kMaxCodeBits, lengths);
  for (int s = 0; s < np; ++s)
    position[s] = lengths[s] + static_cast<std::int32_t>(PositionExtraBits(static_cast<unsigned>(s)));
}

void Prices::SeedLiterals(const std::uint8_t* bytes, std::size_t count) {
  std::uint32_t weights[256] = {};
  std::uint8_t lengths[256];
  for (std::size_t k = 0; k < count; ++k) weights[bytes[k]]++;
  for (auto& w : weights) w = w * 8 + 1;
  BuildLimitedCodeLengths(weights, 256, kMaxCodeBits, lengths);
  for (int s = 0; s < 256; ++s) literal[s] = lengths[s];
}

void Prices::FromSymbols(const LzhMethod& method, const Symbol* symbols, std::size_t count) {
  SymbolCounts counts;
  counts.Count(symbols, count);
  FromCounts(method, counts);
}

Parser::Parser(const LzhMethod& method, const std::uint8_t* data, std::size_t size, std::size_t end,
               std::size_t inputBytes, int treeDepth, int niceMatchBytes)
    : data_(data), size_(size), end_(end), niceMatchBytes_(niceMatchBytes),
      finder_(data, size, inputBytes, method.dictionaryBytes, treeDepth) {}

void Parser::EnterHistory(std::size_t from, std::size_t to) {
  for (std::size_t p = from; p < to; ++p) finder_.Insert(p);
}

std::size_t Parser::GatherMatches(std::size_t start, std::size_t end) {
  regionStart_ = start;
  std::size_t n = end - start;
  matchStart_.assign(n + 1, 0);
  forced_.assign(n, 0);
  matches_.clear();
  MatchFinder::Match found[kMaxMatchesPerPosition];
  std::size_t i = 0;
  while (i < n) {
    std::size_t pos = start + i;
    matchStart_[i] = static_cast<std::uint32_t>(matches_.size());
    int maxLen = static_cast<int>(std::min<std::size_t>(kMaxMatchBytes, end_ - pos));
    int count = finder_.Find(pos, maxLen, found);
    if (count > 0 && found[count - 1].length >= niceMatchBytes_) {
      // A long match is taken as it is: the positions it covers are only
      // entered in the chains, and the region may end behind it.
      MatchFinder::Match m = found[count - 1];
      m.slot = static_cast<std::uint8_t>(PositionSymbol(m.distance - 1));
      matches_.push_back(m);
      forced_[i] = 1;
      std::size_t stop = i + m.length;
      for (std::size_t k = i + 1; k < stop; ++k) {
        if (k <= n) matchStart_[k] = static_cast<std::uint32_t>(matches_.size());
        if (size_ - (start + k) >= 3) finder_.Insert(start + k);
      }
      i = stop;
      continue;
    }
    // Ordinary matches stay inside the region.
    for (int k = 0; k < count; ++k) {
      MatchFinder::Match m = found[k];
      if (i + m.length > n) m.length = static_cast<std::uint16_t>(n - i);
      if (m.length < kMinMatchBytes) continue;
      if (!matches_.empty() && matchStart_[i] < matches_.size() &&
          matches_.back().length >= m.length)
        continue;
      m.slot = static_cast<std::uint8_t>(PositionSymbol(m.distance - 1));
      matches_.push_back(m);
    }
    ++i;
  }
  if (i > n) {
    matchStart_.resize(i + 1, static_cast<std::uint32_t>(matches_.size()));
    forced_.resize(i, 0);
  }
  matchStart_[i] = static_cast<std::uint32_t>(matches_.size());
  return i;
}

void Parser::ParseGreedily(std::size_t from, std::size_t to, std::vector<Symbol>& symbols) {
  symbols.clear();
  for (std::size_t i = from; i < to;) {
    const std::uint32_t first = matchStart_[i], last = matchStart_[i + 1];
    const std::size_t length =
        first < last ? std::min<std::size_t>(matches_[last - 1].length, to - i) : 0;
    if (length >= kMinMatchBytes) {
      symbols.push_back({static_cast<std::uint16_t>(kFirstLengthSymbol + length - kMinMatchBytes),
                          static_cast<std::uint16_t>(matches_[last - 1].distance - 1)});
      i += length;
    } else {
      symbols.push_back({data_[regionStart_ + i], 0});
      ++i;
    }
  }
}

void Parser::Parse(const Prices& prices, std::size_t from, std::size_t to,
                   std::vector<Symbol>& symbols) {
  // Per position: the cheapest bits to reach it, and the step that does
  // (length << 16 | distance - 1). On equal bits the earlier step stays.
  constexpr std::int32_t kNone = std::numeric_limits<std::int32_t>::max();
  const std::size_t n = to - from;
  cost_.assign(n + 1 + kRelaxSlack, kNone);
  step_.resize(n + 1 + kRelaxSlack);
  cost_[0] = 0;
  std::int32_t* cost = cost_.data();
  std::uint32_t* step = step_.data();
  const std::uint8_t* bytes = data_ + regionStart_ + from;
  const std::uint32_t* matchStart = matchStart_.data() + from;
  const std::uint8_t* forced = forced_.data() + from;
  // The price of a match length's symbol, indexed by the length.
  const std::int32_t* lengthPrice = prices.literal + kFirstLengthSymbol - kMinMatchBytes;
  for (std::size_t i = 0; i < n; ++i) {
    const std::int32_t base = cost[i];
    if (base == kNone) continue;  // inside a long match taken as it is
    const std::uint32_t first = matchStart[i], last = matchStart[i + 1];
    const int room = static_cast<int>(std::min<std::size_t>(kMaxMatchBytes, n - i));
    if (forced[i] && matches_[first].length <= room) {
      const MatchFinder::Match& m = matches_[first];
      const std::int32_t c = base + prices.position[m.slot] + lengthPrice[m.length];
      if (c < cost[i + m.length]) {
        cost[i + m.length] = c;
        step[i + m.length] = std::uint32_t{m.length} << 16 | (m.distance - 1);
      }
      continue;
    }
    const std::int32_t literal = base + prices.literal[bytes[i]];
    if (literal < cost[i + 1]) {
      cost[i + 1] = literal;
      step[i + 1] = 1u << 16;
    }
    int len = kMinMatchBytes;
    for (std::uint32_t k = first; k < last && len <= room; ++k) {
      const MatchFinder::Match& m = matches_[k];
      const int top = std::min<int>(m.length, room);
      RelaxLengths(cost + i, step + i, lengthPrice, base + prices.position[m.slot],
                   (static_cast<std::uint32_t>(len) << 16) | (m.distance - 1), len, top);
      len = top + 1;
    }
  }
  // Walk back from the end and emit the cheapest path.
  path_.clear();
  for (std::size_t i = n; i > 0; i -= step[i] >> 16) path_.push_back(static_cast<std::uint32_t>(i));
  symbols.clear();
  for (auto it = path_.rbegin(); it != path_.rend(); ++it) {
    const std::uint32_t i = *it;
    const unsigned length = step[i] >> 16;
    if (length == 1)
      symbols.push_back({bytes[i - 1], 0});
    else
      symbols.push_back({static_cast<std::uint16_t>(kFirstLengthSymbol + length - kMinMatchBytes),
                          static_cast<std::uint16_t>(step[i] & 0xFFFF)});
  }
}

}  // namespace lzh_encoder
