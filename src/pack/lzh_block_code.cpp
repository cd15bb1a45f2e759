#include "pack/lzh_block_code.h"

#include <cmath>

namespace lzh_encoder {
namespace {

// Block ends are first chosen among multiples of this many symbols, then
// moved in steps of the second.
constexpr std::size_t kCutUnitSymbols = 512;
constexpr std::size_t kCutStepSymbols = 16;
static_assert(kCutUnitSymbols <= kMaxBlockSymbols, "a block of one unit fits");

// Canonical codes: shorter codes first, equal lengths in symbol order, as the
// readers rebuild them from the lengths alone.
void AssignCanonicalCodes(const std::uint8_t* lengths, int count, std::uint16_t* codes) {
  unsigned perLength[kMaxCodeBits + 1] = {};
  for (int s = 0; s < count; ++s) perLength[lengths[s]]++;
  perLength[0] = 0;
  unsigned next[kMaxCodeBits + 2] = {};
  unsigned code = 0;
  for (int len = 1; len <= kMaxCodeBits; ++len) {
    code = (code + perLength[len - 1]) << 1;
    next[len] = code;
  }
  for (int s = 0; s < count; ++s)
    if (lengths[s]) codes[s] = static_cast<std::uint16_t>(next[lengths[s]]++);
}

// The lengths of the code-length set and the position set: 0..6 in three
// bits, longer ones as 111 followed by (length - 7) ones and a zero.
template <typename Sink>
void WriteSmallSetLengths(Sink& bits, const std::uint8_t* lengths, int count, int countBits,
                          int zeroRunAfter) {
  int n = count;
  while (n > 0 && lengths[n - 1] == 0) --n;
  bits.Put(countBits, static_cast<std::uint32_t>(n));
  int i = 0;
  while (i < n) {
    int len = lengths[i++];
    if (len <= 6)
      bits.Put(3, static_cast<std::uint32_t>(len));
    else
      bits.Put(len - 3, (1u << (len - 3)) - 2);
    if (zeroRunAfter > 0 && i == zeroRunAfter) {
      // Up to three zero lengths, never past the written count.
      int run = 0;
      while (run < 3 && i + run < n && lengths[i + run] == 0) ++run;
      bits.Put(2, static_cast<std::uint32_t>(run));
      i += run;
    }
  }
}

// A set written in its one-symbol form: a zero count, then the symbol.
template <typename Sink>
void WriteSingleSet(Sink& bits, int countBits, int symbol) {
  bits.Put(countBits, 0);
  bits.Put(countBits, static_cast<std::uint32_t>(symbol));
}

// The code-length set codes a literal/length code length L as symbol L + 2
// and runs of zero lengths with three symbols: one zero, a short run (3..18
// zeros, 4 more bits) and a long one (20..531 zeros, 9 more bits).
constexpr int kZeroRunOne = lzh::kZeroRunOne, kZeroRunShort = lzh::kZeroRunShort,
              kZeroRunLong = lzh::kZeroRunLong;
constexpr int kZeroRunShortMin = lzh::kShortZeroRunBase, kZeroRunShortBits = lzh::kShortZeroRunBits;
constexpr int kZeroRunShortMax = kZeroRunShortMin + (1 << kZeroRunShortBits) - 1;
constexpr int kZeroRunLongMin = lzh::kLongZeroRunBase, kZeroRunLongBits = lzh::kLongZeroRunBits;
constexpr int kCodeLengthSymbolBias = lzh::kCodeLengthSymbolBias;

// Base-2 logarithms in fixed point with kFractionBits fraction bits, from a
// table of the first 4096 integers: larger values keep their top 12 bits,
// close enough for estimates, and integer arithmetic gives the same cuts on
// every platform.
constexpr int kFractionBits = 16;
constexpr int kLog2TableBits = 12;
const std::vector<std::int32_t> kLog2Table = [] {
  std::vector<std::int32_t> t(std::size_t{1} << kLog2TableBits);
  for (std::size_t i = 1; i < t.size(); ++i)
    t[i] = static_cast<std::int32_t>(std::lround(std::log2(static_cast<double>(i)) * (1 << kFractionBits)));
  return t;
}();
std::int64_t Log2(std::uint32_t n) {
  const int shift = std::max(0, static_cast<int>(BitLength(n)) - kLog2TableBits);
  return kLog2Table[n >> shift] + (std::int64_t{shift} << kFractionBits);
}

// Table bits: a fixed part, and about this much per used symbol of each
// set.
constexpr std::int64_t kTableBits = 60 << kFractionBits;
constexpr std::int64_t kLiteralEntryBits = 9 << (kFractionBits - 1);   // 4.5
constexpr std::int64_t kPositionEntryBits = 3 << kFractionBits;

// Counts a symbol n times into a row of both sets' counts: its literal/length
// symbol, and a match's position symbol behind the literal/length set.
void AddToRow(std::uint32_t* row, const Symbol& s, std::uint32_t n) {
  row[s.code] += n;
  if (s.code >= kFirstLengthSymbol) row[kLiteralSetSymbols + PositionSymbol(s.position)] += n;
}

std::int64_t NLog2N(std::uint32_t n) { return std::int64_t{n} * Log2(n); }

}  // namespace

void CodeSet::Build(const std::uint32_t* freq, int count) {
  used = BuildLimitedCodeLengths(freq, count, kMaxCodeBits, lengths);
  onlySymbol = 0;
  if (used == 1)
    for (int s = 0; s < count; ++s)
      if (freq[s]) onlySymbol = s;
}

void CodeSet::AssignCodes(int count) { AssignCanonicalCodes(lengths, count, codes); }

std::uint64_t CodeSet::DataBits(const std::uint32_t* freq, int count) const {
  std::uint64_t bits = 0;
  for (int s = 0; s < count; ++s) bits += std::uint64_t{freq[s]} * lengths[s];
  return bits;
}

void ZeroRunPlan::Prepare(const std::uint8_t* runSymbolBits, int longestRun) {
  constexpr std::uint32_t kNone = 1u << 30;
  auto price = [&](int sym, int extra) {
    return runSymbolBits[sym] ? runSymbolBits[sym] + static_cast<std::uint32_t>(extra) : kNone;
  };
  const std::uint32_t one = price(kZeroRunOne, 0), shortRun = price(kZeroRunShort, kZeroRunShortBits),
                      longRun = price(kZeroRunLong, kZeroRunLongBits);
  cost_[0] = 0;
  std::uint32_t bestBefore = kNone;  // cheapest cost_[j] for j <= r - kZeroRunLongMin
  int bestBeforeAt = 0;
  for (int r = 1; r <= longestRun; ++r) {
    std::uint32_t best = cost_[r - 1] + one;
    int piece = 1;
    for (int k = kZeroRunShortMin; k <= kZeroRunShortMax && k <= r; ++k)
      if (cost_[r - k] + shortRun < best) {
        best = cost_[r - k] + shortRun;
        piece = k;
      }
    if (r >= kZeroRunLongMin) {
      const int j = r - kZeroRunLongMin;
      if (cost_[j] < bestBefore) {
        bestBefore = cost_[j];
        bestBeforeAt = j;
      }
      if (bestBefore + longRun < best) {
        best = bestBefore + longRun;
        piece = r - bestBeforeAt;
      }
    }
    cost_[r] = std::min(best, kNone);
    piece_[r] = static_cast<std::uint16_t>(piece);
  }
}

template <typename Emit>
void ZeroRunPlan::Walk(int run, Emit emit) const {
  while (run > 0) {
    const int k = piece_[run];
    if (k == 1)
      emit(kZeroRunOne, 0, 0);
    else if (k <= kZeroRunShortMax)
      emit(kZeroRunShort, kZeroRunShortBits, k - kZeroRunShortMin);
    else
      emit(kZeroRunLong, kZeroRunLongBits, k - kZeroRunLongMin);
    run -= k;
  }
}

namespace {

// Walks the literal/length lengths as the code-length set codes them.
template <typename Emit>
void WalkLiteralLengths(const std::uint8_t* lengths, const ZeroRunPlan& runs, Emit emit) {
  int n = kLiteralSetSymbols;
  while (n > 0 && lengths[n - 1] == 0) --n;
  int i = 0;
  while (i < n) {
    int len = lengths[i++];
    if (len != 0) {
      emit(len + kCodeLengthSymbolBias, 0, 0);
      continue;
    }
    int run = 1;
    while (i < n && lengths[i] == 0) {
      ++i;
      ++run;
    }
    runs.Walk(run, emit);
  }
}

int LongestZeroRun(const std::uint8_t* lengths) {
  int longest = 0;
  for (int i = 0, run = 0; i < kLiteralSetSymbols; ++i) {
    run = lengths[i] ? 0 : run + 1;
    longest = std::max(longest, run);
  }
  return longest;
}

int TrimmedLiteralCount(const std::uint8_t* lengths) {
  int n = kLiteralSetSymbols;
  while (n > 0 && lengths[n - 1] == 0) --n;
  return n;
}

}  // namespace

void BlockCode::Plan(const LzhMethod& method, const SymbolCounts& counts, std::size_t count) {
  count_ = count;
  positionSymbols_ = static_cast<int>(method.positionSymbols);
  positionCountBits_ = static_cast<int>(method.positionCountBits);
  PlanPositions(counts.position);
  PlanLiterals(counts.literal);
}

void BlockCode::Write(BitWriter& bits, const Symbol* symbols) const {
  bits.Put(16, static_cast<std::uint32_t>(count_));
  if (!literal_.Single()) {
    if (!lengthSet_.Single())
      WriteSmallSetLengths(bits, lengthSet_.lengths, kCodeLengthSetSymbols, kCodeLengthCountBits,
                           kCodeLengthZeroRunAfter);
    else
      WriteSingleSet(bits, kCodeLengthCountBits, lengthSet_.onlySymbol);
    bits.Put(kLiteralCountBits, static_cast<std::uint32_t>(TrimmedLiteralCount(literal_.lengths)));
    WalkLiteralLengths(literal_.lengths, runs_, [&](int sym, int extraBits, int extra) {
      bits.Put(lengthSet_.lengths[sym], lengthSet_.codes[sym]);
      bits.Put(extraBits, static_cast<std::uint32_t>(extra));
    });
  } else {
    WriteSingleSet(bits, kCodeLengthCountBits, 0);
    WriteSingleSet(bits, kLiteralCountBits, literal_.onlySymbol);
  }
  if (!position_.Single())
    WriteSmallSetLengths(bits, position_.lengths, positionSymbols_, positionCountBits_, -1);
  else
    WriteSingleSet(bits, positionCountBits_, position_.onlySymbol);

  for (std::size_t k = 0; k < count_; ++k) {
    const unsigned c = symbols[k].code;
    bits.Put(literal_.lengths[c], literal_.codes[c]);
    if (c >= kFirstLengthSymbol) {
      const unsigned p = symbols[k].position;
      const unsigned slot = PositionSymbol(p);
      bits.Put(position_.lengths[slot], position_.codes[slot]);
      bits.Put(static_cast<int>(PositionExtraBits(slot)), p);
    }
  }
}

// Variants of the counts: rare symbols lifted to a floor, which keeps their
// codes from the long lengths that cost the most to write.
constexpr std::uint32_t kCountFloors[] = {1, 2, 4};

std::uint64_t BlockCode::PlanPositions(const std::uint32_t* freq) {
  std::uint64_t best = ~std::uint64_t{0};
  for (std::uint32_t floor : kCountFloors) {
    std::uint32_t lifted[kMaxPositionSymbols];
    for (int s = 0; s < positionSymbols_; ++s) lifted[s] = freq[s] ? std::max(freq[s], floor) : 0;
    CodeSet candidate;
    candidate.Build(lifted, positionSymbols_);
    BitCounter table;
    if (candidate.Single())
      WriteSingleSet(table, positionCountBits_, candidate.onlySymbol);
    else
      WriteSmallSetLengths(table, candidate.lengths, positionSymbols_, positionCountBits_, -1);
    std::uint64_t bits = table.bits + candidate.DataBits(freq, positionSymbols_);
    for (int s = 0; s < positionSymbols_; ++s)
      bits += std::uint64_t{freq[s]} * PositionExtraBits(static_cast<unsigned>(s));
    if (bits < best) {
      best = bits;
      position_ = candidate;
    }
    if (candidate.Single()) break;
  }
  position_.AssignCodes(positionSymbols_);
  return best;
}

std::uint64_t BlockCode::PlanLiterals(const std::uint32_t* freq) {
  std::uint64_t best = ~std::uint64_t{0};
  for (std::uint32_t floor : kCountFloors) {
    std::uint32_t lifted[kLiteralSetSymbols];
    for (int s = 0; s < kLiteralSetSymbols; ++s) lifted[s] = freq[s] ? std::max(freq[s], floor) : 0;
    candidate_.Build(lifted, kLiteralSetSymbols);
    if (candidate_.Single()) {
      literal_ = candidate_;
      literal_.AssignCodes(kLiteralSetSymbols);
      return 2 * kCodeLengthCountBits + 2 * kLiteralCountBits;
    }
    const std::uint64_t bits = candidate_.DataBits(freq, kLiteralSetSymbols) + PlanLengthSet();
    if (bits < best) {
      best = bits;
      literal_ = candidate_;
      lengthSet_ = candidateLengthSet_;
      runs_ = candidateRuns_;
    }
  }
  literal_.AssignCodes(kLiteralSetSymbols);
  lengthSet_.AssignCodes(kCodeLengthSetSymbols);
  return best;
}

constexpr int kLengthSetRounds = 2;

std::uint64_t BlockCode::PlanLengthSet() {
  // A run symbol not in the code yet is priced as if it got a middling
  // length.
  constexpr std::uint8_t kUnusedRunSymbolBits = 5;
  std::uint8_t runBits[kCodeLengthSymbolBias + 1] = {2, 4, 5};  // one, short, long
  std::uint64_t best = ~std::uint64_t{0};
  const int longestRun = LongestZeroRun(candidate_.lengths);
  for (int round = 0; round < kLengthSetRounds; ++round) {
    ZeroRunPlan runs;
    runs.Prepare(runBits, longestRun);
    std::uint32_t freq[kCodeLengthSetSymbols] = {};
    WalkLiteralLengths(candidate_.lengths, runs, [&](int sym, int, int) { freq[sym]++; });
    CodeSet lengthSet;
    lengthSet.Build(freq, kCodeLengthSetSymbols);
    // The walk uses only symbols the code was built from, so it can be
    // written with it; the next round walks by this code's prices.
    std::uint8_t built[kCodeLengthSymbolBias + 1];
    for (int s = 0; s <= kCodeLengthSymbolBias; ++s) built[s] = lengthSet.Single() ? (freq[s] ? 1 : 0) : lengthSet.lengths[s];
    BitCounter table;
    if (lengthSet.Single())
      WriteSingleSet(table, kCodeLengthCountBits, lengthSet.onlySymbol);
    else
      WriteSmallSetLengths(table, lengthSet.lengths, kCodeLengthSetSymbols, kCodeLengthCountBits,
                           kCodeLengthZeroRunAfter);
    std::uint64_t bits = table.bits + kLiteralCountBits;
    WalkLiteralLengths(candidate_.lengths, runs, [&](int sym, int extraBits, int) {
      bits += static_cast<unsigned>(lengthSet.lengths[sym] + extraBits);
    });
    if (bits < best) {
      best = bits;
      candidateLengthSet_ = lengthSet;
      candidateRuns_ = runs;
    }
    for (int s = 0; s <= kCodeLengthSymbolBias; ++s)
      runBits[s] = built[s] ? built[s] : kUnusedRunSymbolBits;
  }
  return best;
}

void BlockCutter::Choose(const LzhMethod& method, const Symbol* symbols, std::size_t count,
            std::vector<std::size_t>& ends) {
  positionSymbols_ = static_cast<int>(method.positionSymbols);
  const std::size_t units = (count + kCutUnitSymbols - 1) / kCutUnitSymbols;
  ends.clear();
  if (units <= 1) {
    ends.push_back(count);
    return;
  }
  // Each unit's symbols as (set index, count) pairs; a run of units ending
  // at j is priced by adding units to it one at a time, from j back,
  // keeping the sum of n log n over its counts.
  unitStart_.assign(1, 0);
  unitCounts_.clear();
  for (std::size_t u = 0; u < units; ++u) {
    std::fill(std::begin(dense_), std::end(dense_), 0u);
    for (std::size_t k = u * kCutUnitSymbols; k < std::min(count, (u + 1) * kCutUnitSymbols); ++k)
      AddToRow(dense_, symbols[k], 1);
    for (int s = 0; s < kStride; ++s)
      if (dense_[s]) unitCounts_.push_back({static_cast<std::uint16_t>(s), static_cast<std::uint16_t>(dense_[s])});
    unitStart_.push_back(static_cast<std::uint32_t>(unitCounts_.size()));
  }
  best_.assign(units + 1, 0);
  from_.assign(units + 1, 0);
  for (std::size_t j = 1; j <= units; ++j) {
    std::fill(std::begin(dense_), std::end(dense_), 0u);
    const std::size_t endSymbol = std::min(count, j * kCutUnitSymbols);
    std::int64_t entries = kTableBits, sumNLogN = 0;
    std::uint32_t literals = 0, positions = 0;
    best_[j] = -1;
    for (std::size_t i = j; i-- > 0;) {
      if (endSymbol - i * kCutUnitSymbols > kMaxBlockSymbols) break;
      for (std::uint32_t k = unitStart_[i]; k < unitStart_[i + 1]; ++k) {
        const auto [s, n] = unitCounts_[k];
        const bool literal = s < kLiteralSetSymbols;
        std::uint32_t& held = dense_[s];
        if (held == 0) entries += literal ? kLiteralEntryBits : kPositionEntryBits;
        sumNLogN += NLog2N(held + n) - NLog2N(held);
        held += n;
        (literal ? literals : positions) += n;
      }
      const std::int64_t bits = best_[i] + entries - sumNLogN + NLog2N(literals) + NLog2N(positions);
      if (best_[j] < 0 || bits < best_[j]) {
        best_[j] = bits;
        from_[j] = i;
      }
    }
  }
  for (std::size_t j = units; j > 0; j = from_[j]) ends.push_back(std::min(count, j * kCutUnitSymbols));
  std::reverse(ends.begin(), ends.end());
  Refine(symbols, ends);
}

std::int64_t BlockCutter::Estimate(const SymbolCounts& c) const {
  std::int64_t bits = kTableBits;
  std::uint32_t literals = 0, positions = 0;
  for (int s = 0; s < kLiteralSetSymbols; ++s)
    if (c.literal[s]) {
      literals += c.literal[s];
      bits += kLiteralEntryBits - NLog2N(c.literal[s]);
    }
  for (int s = 0; s < positionSymbols_; ++s)
    if (c.position[s]) {
      positions += c.position[s];
      bits += kPositionEntryBits - NLog2N(c.position[s]);
    }
  return bits + NLog2N(literals) + NLog2N(positions);
}

void BlockCutter::Refine(const Symbol* symbols, std::vector<std::size_t>& ends) {
  for (std::size_t c = 0; c + 1 < ends.size(); ++c) {
    const std::size_t left = c ? ends[c - 1] : 0, right = ends[c + 1], mid = ends[c];
    std::size_t lo = std::max(left + kCutStepSymbols, mid - std::min(mid, kCutUnitSymbols));
    std::size_t hi = std::min(right - kCutStepSymbols, mid + kCutUnitSymbols);
    lo = std::max(lo, right - std::min(right, std::size_t{kMaxBlockSymbols}));
    hi = std::min(hi, left + kMaxBlockSymbols);
    // Both blocks are valid with the end where it is, so lo <= mid <= hi;
    // the steps keep mid among the places tried.
    lo += (mid - lo) % kCutStepSymbols;
    if (lo >= hi) continue;
    SymbolCounts a, b;
    a.Count(symbols + left, lo - left);
    b.Count(symbols + lo, right - lo);
    std::int64_t best = -1;
    std::size_t at = mid;
    for (std::size_t m = lo; m <= hi; m += kCutStepSymbols) {
      if (m > lo)
        for (std::size_t k = m - kCutStepSymbols; k < m; ++k) {
          a.Add(symbols[k]);
          b.Remove(symbols[k]);
        }
      const std::int64_t bits = Estimate(a) + Estimate(b);
      if (best < 0 || bits < best) {
        best = bits;
        at = m;
      }
    }
    ends[c] = at;
  }
}

}  // namespace lzh_encoder

int BuildLimitedCodeLengths(const std::uint32_t* weights, int count, int maxBits,
                            std::uint8_t* lengths) {
  std::fill(lengths, lengths + count, 0);
  std::vector<int> leaves;
  leaves.reserve(static_cast<std::size_t>(count));
  for (int s = 0; s < count; ++s)
    if (weights[s]) leaves.push_back(s);
  const int m = static_cast<int>(leaves.size());
  if (m < 2) return m;
  std::stable_sort(leaves.begin(), leaves.end(),
                   [&](int a, int b) { return weights[a] < weights[b]; });

  // Huffman's code first: with the leaves sorted, the pairs come out in
  // order too, so two queues replace the heap. On equal weights a leaf goes
  // first, which keeps the tree shallow. Nodes 0..m-1 are the leaves, m.. the
  // pairs in the order they were made.
  {
    std::vector<std::uint64_t> pairWeight(static_cast<std::size_t>(m - 1));
    std::vector<int> parent(static_cast<std::size_t>(2 * m - 1));
    int a = 0, b = 0;
    for (int made = 0; made < m - 1; ++made) {
      std::uint64_t sum = 0;
      for (int take = 0; take < 2; ++take) {
        const bool leaf = a < m && (b >= made || weights[leaves[a]] <= pairWeight[b]);
        if (leaf) {
          sum += weights[leaves[a]];
          parent[a++] = m + made;
        } else {
          sum += pairWeight[b];
          parent[m + b++] = m + made;
        }
      }
      pairWeight[made] = sum;
    }
    std::vector<int> depth(static_cast<std::size_t>(2 * m - 1), 0);
    int deepest = 0;
    for (int node = 2 * m - 3; node >= 0; --node) {
      depth[node] = depth[parent[node]] + 1;
      deepest = std::max(deepest, depth[node]);
    }
    if (deepest <= maxBits) {
      for (int k = 0; k < m; ++k) lengths[leaves[k]] = static_cast<std::uint8_t>(depth[k]);
      return m;
    }
  }

  // Package-merge: list L holds the leaves merged with the pairs ("packages")
  // of list L-1. The first 2m-2 items of the last list are the solution; a
  // leaf's code length is how often it occurs among the chosen items of all
  // lists, and the chosen items of every list form a prefix of it.
  struct Item {
    std::uint64_t weight;
    int leaf;  // index into leaves, or -1 for a package
  };
  // Every list holds at most m leaves and m - 1 packages.
  const std::size_t stride = 2 * static_cast<std::size_t>(m);
  std::vector<Item> lists(static_cast<std::size_t>(maxBits) * stride);
  std::vector<std::size_t> sizes(static_cast<std::size_t>(maxBits), 0);
  for (int k = 0; k < m; ++k) lists[static_cast<std::size_t>(k)] = {weights[leaves[k]], k};
  sizes[0] = static_cast<std::size_t>(m);
  for (int level = 1; level < maxBits; ++level) {
    const Item* below = &lists[static_cast<std::size_t>(level - 1) * stride];
    Item* list = &lists[static_cast<std::size_t>(level) * stride];
    const std::size_t packages = sizes[static_cast<std::size_t>(level - 1)] / 2;
    std::size_t a = 0, b = 0, n = 0;
    while (a < static_cast<std::size_t>(m) || b < packages) {
      std::uint64_t pw = b < packages ? below[2 * b].weight + below[2 * b + 1].weight : 0;
      if (a < static_cast<std::size_t>(m) && (b >= packages || weights[leaves[a]] <= pw)) {
        list[n++] = {weights[leaves[a]], static_cast<int>(a)};
        ++a;
      } else {
        list[n++] = {pw, -1};
        ++b;
      }
    }
    sizes[static_cast<std::size_t>(level)] = n;
  }
  std::vector<int> depth(static_cast<std::size_t>(m), 0);
  std::size_t chosen = static_cast<std::size_t>(2 * m - 2);
  for (int level = maxBits - 1; level >= 0; --level) {
    std::size_t packages = 0;
    const Item* list = &lists[static_cast<std::size_t>(level) * stride];
    const std::size_t n = std::min(chosen, sizes[static_cast<std::size_t>(level)]);
    for (std::size_t k = 0; k < n; ++k) {
      if (list[k].leaf >= 0)
        depth[static_cast<std::size_t>(list[k].leaf)]++;
      else
        ++packages;
    }
    chosen = 2 * packages;
  }
  for (int k = 0; k < m; ++k) lengths[leaves[k]] = static_cast<std::uint8_t>(depth[k]);
  return m;
}
