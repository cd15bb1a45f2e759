#include "pack/lzh_encoder.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <cmath>
#include <iterator>
#include <limits>
#include <thread>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// The block format shared by the three methods, under the names this file uses.
constexpr int kLiteralSetSymbols = lzh::kLiteralSetSize;
constexpr int kCodeLengthSetSymbols = lzh::kCodeLengthSetSize;
constexpr int kLiteralCountBits = lzh::kLiteralCountBits;
constexpr int kCodeLengthCountBits = lzh::kCodeLengthCountBits;
constexpr int kCodeLengthZeroRunAfter = lzh::kCodeLengthZeroRunAfter;
constexpr int kMaxCodeBits = lzh::kMaxCodeLength;
constexpr int kMinMatchBytes = lzh::kMinMatchBytes;
constexpr int kMaxMatchBytes = lzh::kMaxMatchBytes;
constexpr int kFirstLengthSymbol = lzh::kFirstLengthSymbol;
constexpr unsigned kMaxBlockSymbols = lzh::kMaxBlockSymbols;  // 0 would mean 65536
constexpr int kMaxPositionSymbols = lzh::kMaxPositionSymbols;

// The methods the packer writes.
constexpr LzhMethod kMethods[] = {lzh::kMethodLh5, lzh::kMethodLh6, lzh::kMethodLh7};

// How hard the match finder and the parser work.
constexpr int kHashBits = 16;
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
// Block ends are first chosen among multiples of this many symbols, then
// moved in steps of the second.
constexpr std::size_t kCutUnitSymbols = 512;
constexpr std::size_t kCutStepSymbols = 16;
constexpr int kMaxMatchesPerPosition = 24;
constexpr std::size_t kMaxEncoderThreads = 4;
static_assert(kCutUnitSymbols <= kMaxBlockSymbols, "a block of one unit fits");
static_assert(kSliceBytes <= kRegionBytes, "a region holds whole slices");

class BitWriter {
 public:
  explicit BitWriter(std::vector<std::uint8_t>& out) : out_(out) {}
  // Appends the low `bits` bits of value, most significant first (bits <= 16).
  void Put(int bits, std::uint32_t value) {
    if (bits == 0) return;
    acc_ = (acc_ << bits) | (value & ((1u << bits) - 1));
    pending_ += bits;
    while (pending_ >= 8) {
      pending_ -= 8;
      out_.push_back(static_cast<std::uint8_t>(acc_ >> pending_));
    }
  }
  // Pads the last byte with zero bits; returns how many bits were written.
  std::uint64_t Finish() {
    std::uint64_t bits = out_.size() * std::uint64_t{8} + static_cast<unsigned>(pending_);
    if (pending_ > 0) out_.push_back(static_cast<std::uint8_t>(acc_ << (8 - pending_)));
    pending_ = 0;
    acc_ = 0;
    return bits;
  }

 private:
  std::vector<std::uint8_t>& out_;
  std::uint64_t acc_ = 0;
  int pending_ = 0;
};

// Counts what a BitWriter would write.
struct BitCounter {
  std::uint64_t bits = 0;
  void Put(int n, std::uint32_t) { bits += static_cast<unsigned>(n); }
};

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

inline unsigned BitLength(unsigned v) {
  return v == 0 ? 0 : 32 - static_cast<unsigned>(__builtin_clz(v));
}

// Position p (the match starts p + 1 bytes back) is coded as the symbol
// BitLength(p) followed by the bits of p below its top bit.
inline unsigned PositionSymbol(unsigned p) { return BitLength(p); }
inline unsigned PositionExtraBits(unsigned slot) { return slot > 1 ? slot - 1 : 0; }

struct Symbol {
  std::uint16_t code;      // literal/length symbol
  std::uint16_t position;  // for matches: distance - 1
};

inline std::size_t SymbolBytes(const Symbol& s) {
  return s.code < kFirstLengthSymbol ? 1 : s.code - kFirstLengthSymbol + kMinMatchBytes;
}

// How often each symbol of the two coded sets occurs.
struct SymbolCounts {
  std::uint32_t literal[kLiteralSetSymbols];
  std::uint32_t position[kMaxPositionSymbols];

  void Clear() {
    std::fill(std::begin(literal), std::end(literal), 0u);
    std::fill(std::begin(position), std::end(position), 0u);
  }
  void Add(const Symbol& s, std::uint32_t n = 1) {
    literal[s.code] += n;
    if (s.code >= kFirstLengthSymbol) position[PositionSymbol(s.position)] += n;
  }
  void Remove(const Symbol& s) {
    literal[s.code]--;
    if (s.code >= kFirstLengthSymbol) position[PositionSymbol(s.position)]--;
  }
  void Count(const Symbol* symbols, std::size_t count) {
    Clear();
    for (std::size_t k = 0; k < count; ++k) Add(symbols[k]);
  }
};

// One set's lengths and codes, ready to write.
struct CodeSet {
  std::uint8_t lengths[kLiteralSetSymbols] = {};
  std::uint16_t codes[kLiteralSetSymbols] = {};
  int used = 0;          // symbols with a weight
  int onlySymbol = 0;    // the symbol when used == 1 (or 0 when none is used)

  void Build(const std::uint32_t* freq, int count) {
    used = BuildLimitedCodeLengths(freq, count, kMaxCodeBits, lengths);
    onlySymbol = 0;
    if (used == 1)
      for (int s = 0; s < count; ++s)
        if (freq[s]) onlySymbol = s;
  }
  void AssignCodes(int count) { AssignCanonicalCodes(lengths, count, codes); }
  bool Single() const { return used <= 1; }
  std::uint64_t DataBits(const std::uint32_t* freq, int count) const {
    std::uint64_t bits = 0;
    for (int s = 0; s < count; ++s) bits += std::uint64_t{freq[s]} * lengths[s];
    return bits;
  }
};

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

// Cheapest ways to code every run of zero lengths up to a longest one, for
// given bit prices of the three run symbols (0 = the symbol is not in the
// code).
class ZeroRunPlan {
 public:
  void Prepare(const std::uint8_t* runSymbolBits, int longestRun) {
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
  // Emits the pieces of a run as (symbol, extra bits, extra value).
  template <typename Emit>
  void Walk(int run, Emit emit) const {
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

 private:
  std::uint32_t cost_[kLiteralSetSymbols];
  std::uint16_t piece_[kLiteralSetSymbols];
};

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

// Code lengths for a block, chosen for the fewest bits of tables and data
// together: an optimal code for the counts is not always cheapest once its
// lengths are written too, so a few codes for adjusted counts compete.
class BlockCode {
 public:
  void Plan(const LzhMethod& method, const SymbolCounts& counts, std::size_t count) {
    count_ = count;
    positionSymbols_ = static_cast<int>(method.positionSymbols);
    positionCountBits_ = static_cast<int>(method.positionCountBits);
    PlanPositions(counts.position);
    PlanLiterals(counts.literal);
  }

  template <typename Sink>
  void Write(Sink& bits, const Symbol* symbols) const {
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

 private:
  // Variants of the counts: rare symbols lifted to a floor, which keeps their
  // codes from the long lengths that cost the most to write.
  static constexpr std::uint32_t kCountFloors[] = {1, 2, 4};

  std::uint64_t PlanPositions(const std::uint32_t* freq) {
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

  std::uint64_t PlanLiterals(const std::uint32_t* freq) {
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

  // The code-length set for candidate_'s lengths and the way its zero runs
  // are coded, each chosen for the other a few times over; returns the bits
  // of both lists.
  static constexpr int kLengthSetRounds = 2;
  std::uint64_t PlanLengthSet() {
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

  std::size_t count_ = 0;
  int positionSymbols_ = 0, positionCountBits_ = 0;
  CodeSet literal_, position_, lengthSet_;
  ZeroRunPlan runs_;
  CodeSet candidate_, candidateLengthSet_;
  ZeroRunPlan candidateRuns_;
};

// A binary tree of earlier positions per 3-byte hash, ordered by the bytes
// that follow each position, over the method's dictionary: one descent finds
// the longest match of every length class, nearest first, and re-roots the
// tree at the new position. Positions the parser skips are entered the same
// way, without recording matches.
class MatchFinder {
 public:
  // Finds matches in data[0, size); the tables are sized for an input of
  // inputBytes.
  MatchFinder(const std::uint8_t* data, std::size_t size, std::size_t inputBytes,
              std::uint32_t dictionary, int depth)
      : depth_(depth), data_(data), size_(size), dictionary_(dictionary) {
    // Small inputs get small tables: clearing them is a real cost for the
    // many small members of a typical archive.
    int bits = 10;
    while (bits < kHashBits && (std::size_t{1} << bits) < inputBytes) ++bits;
    hashShift_ = 32 - bits;
    head_.assign(std::size_t{1} << bits, 0);
    std::size_t cycle = 1024;
    while (cycle < 2 * std::size_t{dictionary} && cycle < inputBytes) cycle *= 2;
    tree_.assign(2 * cycle, 0);
    cycleMask_ = cycle - 1;
  }

  struct Match {
    std::uint16_t length;
    std::uint8_t slot;  // the position symbol, filled in by the encoder
    std::uint32_t distance;
  };

  // Enters pos without looking for matches.
  void Insert(std::size_t pos) {
    int limit = static_cast<int>(std::min<std::size_t>(kMaxMatchBytes, size_ - pos));
    if (limit < kMinMatchBytes) return;
    Descend(pos, limit, nullptr, 0);
  }

  // Matches at pos of increasing length (each longer than the one before and
  // at a greater distance), at most maxLength bytes long; enters pos.
  int Find(std::size_t pos, int maxLength, Match* out) {
    if (maxLength < kMinMatchBytes) return 0;
    return Descend(pos, maxLength, out, kMaxMatchesPerPosition);
  }

 private:
  int Descend(std::size_t pos, int limit, Match* out, int room) {
    const std::uint8_t* here = data_ + pos;
    std::uint32_t h = Hash(pos);
    std::uint32_t cand = head_[h];  // position + 1, 0 = none
    head_[h] = static_cast<std::uint32_t>(pos + 1);
    // Each node's first child leads to smaller strings, its second to larger.
    std::uint32_t* smaller = &tree_[2 * (pos & cycleMask_)];
    std::uint32_t* larger = &tree_[2 * (pos & cycleMask_) + 1];
    int smallerLen = 0, largerLen = 0;
    int best = kMinMatchBytes - 1;
    int found = 0;
    for (int depth = depth_;; --depth) {
      if (cand == 0 || depth == 0 || pos - (cand - 1) > dictionary_) {
        *smaller = *larger = 0;
        break;
      }
      const std::size_t c = cand - 1;
      std::uint32_t* node = &tree_[2 * (c & cycleMask_)];
      const std::uint8_t* there = data_ + c;
      int len = std::min(smallerLen, largerLen);
      if (there[len] == here[len]) {
        len = len + 1 + CommonLength(there + len + 1, here + len + 1, limit - len - 1);
        if (len > best) {
          best = len;
          if (out) {
            if (found == room) --found;  // keep the longest
            out[found++] = {static_cast<std::uint16_t>(len), 0, static_cast<std::uint32_t>(pos - c)};
          }
        }
        if (len >= limit) {
          // Equal to the limit: the old node is replaced by the new one.
          *smaller = node[0];
          *larger = node[1];
          break;
        }
      }
      if (there[len] < here[len]) {
        *smaller = cand;
        smaller = &node[1];
        cand = *smaller;
        smallerLen = len;
      } else {
        *larger = cand;
        larger = &node[0];
        cand = *larger;
        largerLen = len;
      }
    }
    return found;
  }

  std::uint32_t Hash(std::size_t pos) const {
    const std::uint8_t* p = data_ + pos;
    std::uint32_t v = (std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) | p[2];
    return (v * 2654435761u) >> hashShift_;
  }
  static int CommonLength(const std::uint8_t* a, const std::uint8_t* b, int limit) {
    int n = 0;
    while (n + 8 <= limit) {
      std::uint64_t x, y;
      std::memcpy(&x, a + n, 8);
      std::memcpy(&y, b + n, 8);
      if (x != y) {
        if (IsLittleEndian()) return n + (__builtin_ctzll(x ^ y) >> 3);
        while (a[n] == b[n]) ++n;
        return n;
      }
      n += 8;
    }
    while (n < limit && a[n] == b[n]) ++n;
    return n;
  }
  static bool IsLittleEndian() {
    const std::uint16_t one = 1;
    std::uint8_t first;
    std::memcpy(&first, &one, 1);
    return first == 1;
  }

  int depth_;
  const std::uint8_t* data_;
  std::size_t size_;
  std::uint32_t dictionary_;
  int hashShift_ = 16;
  std::vector<std::uint32_t> head_;  // position + 1 of the newest entry, 0 = none
  std::vector<std::uint32_t> tree_;  // two children (position + 1) per cyclic slot
  std::size_t cycleMask_ = 0;
};

// Bit prices of the symbols, from a coding of similar data.
// The parse offers match lengths in groups of four and may read up to three
// entries past the last one.
constexpr int kRelaxSlack = 3;

struct Prices {
  std::int32_t literal[kLiteralSetSymbols + kRelaxSlack] = {};
  std::int32_t position[kMaxPositionSymbols];

  void SetDefaults() {
    for (int s = 0; s < 256; ++s) literal[s] = 9;
    for (int s = 256; s < kLiteralSetSymbols; ++s) literal[s] = 8 + (s - 256 > 16 ? 4 : 0);
    for (int s = 0; s < kMaxPositionSymbols; ++s) position[s] = 5;
  }
  // The code lengths of the counts, every symbol counted once more than
  // eight times its count, so a symbol not seen yet gets a finite price.
  void FromCounts(const LzhMethod& method, const SymbolCounts& counts) {
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
  // Literal prices from how often each byte occurs.
  void SeedLiterals(const std::uint8_t* bytes, std::size_t count) {
    std::uint32_t weights[256] = {};
    std::uint8_t lengths[256];
    for (std::size_t k = 0; k < count; ++k) weights[bytes[k]]++;
    for (auto& w : weights) w = w * 8 + 1;
    BuildLimitedCodeLengths(weights, 256, kMaxCodeBits, lengths);
    for (int s = 0; s < 256; ++s) literal[s] = lengths[s];
  }
  void FromSymbols(const LzhMethod& method, const Symbol* symbols, std::size_t count) {
    SymbolCounts counts;
    counts.Count(symbols, count);
    FromCounts(method, counts);
  }
};

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

// Where to end blocks: a block pays for its tables, so a new one pays only
// where the statistics change enough. Blocks are priced by the entropy of
// their symbols plus a table cost per symbol they use.
class BlockCutter {
 public:
  // Ends (symbol indices, the last one = count) of the blocks for the
  // symbols; no block longer than a block may count.
  void Choose(const LzhMethod& method, const Symbol* symbols, std::size_t count,
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
        Add(dense_, symbols[k], 1);
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

 private:
  static constexpr int kStride = kLiteralSetSymbols + kMaxPositionSymbols;
  // Table bits: a fixed part, and about this much per used symbol of each
  // set.
  static constexpr std::int64_t kTableBits = 60 << kFractionBits;
  static constexpr std::int64_t kLiteralEntryBits = 9 << (kFractionBits - 1);   // 4.5
  static constexpr std::int64_t kPositionEntryBits = 3 << kFractionBits;

  static void Add(std::uint32_t* row, const Symbol& s, std::uint32_t n) {
    row[s.code] += n;
    if (s.code >= kFirstLengthSymbol) row[kLiteralSetSymbols + PositionSymbol(s.position)] += n;
  }
  static std::int64_t NLog2N(std::uint32_t n) { return std::int64_t{n} * Log2(n); }

  // Estimated bits of a block with these counts, in fixed point.
  std::int64_t Estimate(const SymbolCounts& c) const {
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

  // Moves each end between its neighbours in finer steps, to where the two
  // blocks it separates cost least.
  void Refine(const Symbol* symbols, std::vector<std::size_t>& ends) {
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

  struct UnitCount {
    std::uint16_t index;  // literal/length symbol, or kLiteralSetSymbols + position symbol
    std::uint16_t count;
  };
  int positionSymbols_ = 0;
  std::uint32_t dense_[kStride];
  std::vector<UnitCount> unitCounts_;
  std::vector<std::uint32_t> unitStart_;
  std::vector<std::int64_t> best_;
  std::vector<std::size_t> from_;
};

class Encoder {
 public:
  // Encodes data[begin, end) of data[0, size), a window of an input of
  // inputBytes: matches may reach back before begin, never on past end.
  Encoder(const LzhMethod& method, const std::uint8_t* data, std::size_t size, std::size_t begin,
          std::size_t end, std::size_t inputBytes, std::vector<std::uint8_t>& out)
      : method_(method), data_(data), size_(size), begin_(begin), end_(end), bits_(out),
        effort_(EffortFor(method.letter)),
        finder_(data, size, inputBytes, method.dictionaryBytes, effort_.treeDepth) {
    prices_.SetDefaults();
  }

  // Returns the number of bits written.
  std::uint64_t Run() {
    std::size_t prime = begin_ > method_.dictionaryBytes ? begin_ - method_.dictionaryBytes : 0;
    for (std::size_t p = prime; p < begin_; ++p) finder_.Insert(p);
    std::size_t pos = begin_;
    while (pos < end_) pos = EncodeRegion(pos);
    return bits_.Finish();
  }

 private:
  // Parses a region slice by slice, cuts its symbols into blocks, parses
  // each block again with its own prices and writes it.
  std::size_t EncodeRegion(std::size_t start) {
    GatherMatches(start, std::min(end_, start + kRegionBytes));
    const std::size_t n = regionBytes_;
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
            ParseGreedily(a, b);
            continue;
          }
          prices_.SeedLiterals(data_ + start, b);
        }
        Parse(a, b);
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
        Parse(symbolOffsets_[u], symbolOffsets_[v]);
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

  // Finds the matches of every position of data[start, end), each list cut
  // at end; regionBytes_ may end behind end when a long match runs on.
  void GatherMatches(std::size_t start, std::size_t end) {
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
      if (count > 0 && found[count - 1].length >= effort_.niceMatchBytes) {
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
    regionBytes_ = i;
  }

  // The longest match at each position, else a literal, for region bytes
  // [from, to) into symbols_.
  void ParseGreedily(std::size_t from, std::size_t to) {
    symbols_.clear();
    for (std::size_t i = from; i < to;) {
      const std::uint32_t first = matchStart_[i], last = matchStart_[i + 1];
      const std::size_t length =
          first < last ? std::min<std::size_t>(matches_[last - 1].length, to - i) : 0;
      if (length >= kMinMatchBytes) {
        symbols_.push_back({static_cast<std::uint16_t>(kFirstLengthSymbol + length - kMinMatchBytes),
                            static_cast<std::uint16_t>(matches_[last - 1].distance - 1)});
        i += length;
      } else {
        symbols_.push_back({data_[regionStart_ + i], 0});
        ++i;
      }
    }
  }

  // The cheapest symbols for region bytes [from, to) by the current prices,
  // into symbols_; no match runs past to.
  void Parse(std::size_t from, std::size_t to) {
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
    const std::int32_t* lengthPrice = prices_.literal + kFirstLengthSymbol - kMinMatchBytes;
    for (std::size_t i = 0; i < n; ++i) {
      const std::int32_t base = cost[i];
      if (base == kNone) continue;  // inside a long match taken as it is
      const std::uint32_t first = matchStart[i], last = matchStart[i + 1];
      const int room = static_cast<int>(std::min<std::size_t>(kMaxMatchBytes, n - i));
      if (forced[i] && matches_[first].length <= room) {
        const MatchFinder::Match& m = matches_[first];
        const std::int32_t c = base + prices_.position[m.slot] + lengthPrice[m.length];
        if (c < cost[i + m.length]) {
          cost[i + m.length] = c;
          step[i + m.length] = std::uint32_t{m.length} << 16 | (m.distance - 1);
        }
        continue;
      }
      const std::int32_t literal = base + prices_.literal[bytes[i]];
      if (literal < cost[i + 1]) {
        cost[i + 1] = literal;
        step[i + 1] = 1u << 16;
      }
      int len = kMinMatchBytes;
      for (std::uint32_t k = first; k < last && len <= room; ++k) {
        const MatchFinder::Match& m = matches_[k];
        const int top = std::min<int>(m.length, room);
        RelaxLengths(cost + i, step + i, lengthPrice, base + prices_.position[m.slot],
                     (static_cast<std::uint32_t>(len) << 16) | (m.distance - 1), len, top);
        len = top + 1;
      }
    }
    // Walk back from the end and emit the cheapest path.
    path_.clear();
    for (std::size_t i = n; i > 0; i -= step[i] >> 16) path_.push_back(static_cast<std::uint32_t>(i));
    symbols_.clear();
    for (auto it = path_.rbegin(); it != path_.rend(); ++it) {
      const std::uint32_t i = *it;
      const unsigned length = step[i] >> 16;
      if (length == 1)
        symbols_.push_back({bytes[i - 1], 0});
      else
        symbols_.push_back({static_cast<std::uint16_t>(kFirstLengthSymbol + length - kMinMatchBytes),
                            static_cast<std::uint16_t>(step[i] & 0xFFFF)});
    }
  }

  // Offers the lengths [len, top] of one match to the positions they reach:
  // the hot loop of the parse, four lengths at a time where SSE2 is there
  // (on signed values, which it compares). The last group of four masks the
  // lengths past top; the arrays have room for what it reads there.
  static void RelaxLengths(std::int32_t* __restrict cost, std::uint32_t* __restrict step,
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

  const LzhMethod& method_;
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t begin_, end_;
  BitWriter bits_;
  Effort effort_;
  MatchFinder finder_;
  Prices prices_;
  // The region being encoded and its matches by position.
  std::size_t regionStart_ = 0, regionBytes_ = 0;
  std::vector<MatchFinder::Match> matches_;
  std::vector<std::uint32_t> matchStart_;
  std::vector<std::uint8_t> forced_;
  // The parse.
  std::vector<std::int32_t> cost_;   // cheapest bits to reach each position
  std::vector<std::uint32_t> step_;  // and the step that reaches it
  std::vector<std::uint32_t> path_;
  std::vector<Symbol> symbols_;
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
