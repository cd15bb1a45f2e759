#include "pack/lzh_encoder.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <limits>
#include <thread>

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
  int parsePasses;      // parses per block, each priced by the one before
};
// The small dictionaries find fewer far matches, so searching them deeply
// buys little; -lh7- is the method publishers choose for size.
Effort EffortFor(char letter) {
  if (letter == '7') return {24, 128, 2};
  return {12, 64, 1};
}
constexpr std::size_t kParseChunkBytes = 32768;  // one block per chunk
constexpr int kMaxMatchesPerPosition = 24;
// Inputs of one and a half segments or more are encoded in segments on
// several threads.
constexpr std::size_t kSegmentBytes = std::size_t{1} << 20;
constexpr std::size_t kMaxEncoderThreads = 4;
// A chunk codes at most one symbol per byte, and one long match may carry it
// past its end: never more symbols than a block may count, never 0.
static_assert(kParseChunkBytes + 1 <= kMaxBlockSymbols, "a chunk fits one block");

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

struct Symbol {
  std::uint16_t code;      // literal/length symbol
  std::uint16_t position;  // for matches: distance - 1
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
    AssignCanonicalCodes(lengths, count, codes);
  }
  bool Single() const { return used <= 1; }
};

// The lengths of the code-length set and the position set: 0..6 in three
// bits, longer ones as 111 followed by (length - 7) ones and a zero.
void WriteSmallSetLengths(BitWriter& bits, const std::uint8_t* lengths, int count, int countBits,
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

// Walks the literal/length lengths as the code-length set codes them: a
// length L as symbol L + 2, runs of zero lengths as symbols 0 (one zero),
// 1 (3..18 zeros, 4 more bits) and 2 (20 or more, 9 more bits).
template <typename Emit>
void WalkLiteralLengths(const std::uint8_t* lengths, Emit emit) {
  int n = kLiteralSetSymbols;
  while (n > 0 && lengths[n - 1] == 0) --n;
  int i = 0;
  while (i < n) {
    int len = lengths[i++];
    if (len != 0) {
      emit(len + 2, 0, 0);
      continue;
    }
    int run = 1;
    while (i < n && lengths[i] == 0) {
      ++i;
      ++run;
    }
    if (run <= 2) {
      for (int k = 0; k < run; ++k) emit(0, 0, 0);
    } else if (run <= 18) {
      emit(1, 4, run - 3);
    } else if (run == 19) {
      emit(0, 0, 0);
      emit(1, 4, 15);
    } else {
      emit(2, kLiteralCountBits, run - 20);
    }
  }
}

int TrimmedLiteralCount(const std::uint8_t* lengths) {
  int n = kLiteralSetSymbols;
  while (n > 0 && lengths[n - 1] == 0) --n;
  return n;
}

void WriteBlock(BitWriter& bits, const LzhMethod& method, const Symbol* symbols,
                std::size_t count) {
  std::uint32_t literalFreq[kLiteralSetSymbols] = {};
  std::uint32_t positionFreq[kMaxPositionSymbols] = {};
  for (std::size_t k = 0; k < count; ++k) {
    literalFreq[symbols[k].code]++;
    if (symbols[k].code >= kFirstLengthSymbol) positionFreq[PositionSymbol(symbols[k].position)]++;
  }
  CodeSet literal, position;
  literal.Build(literalFreq, kLiteralSetSymbols);
  position.Build(positionFreq, static_cast<int>(method.positionSymbols));

  bits.Put(16, static_cast<std::uint32_t>(count));
  if (!literal.Single()) {
    std::uint32_t lengthFreq[kCodeLengthSetSymbols] = {};
    WalkLiteralLengths(literal.lengths, [&](int sym, int, int) { lengthFreq[sym]++; });
    CodeSet lengthSet;
    lengthSet.Build(lengthFreq, kCodeLengthSetSymbols);
    if (!lengthSet.Single()) {
      WriteSmallSetLengths(bits, lengthSet.lengths, kCodeLengthSetSymbols, kCodeLengthCountBits,
                           kCodeLengthZeroRunAfter);
    } else {
      bits.Put(kCodeLengthCountBits, 0);
      bits.Put(kCodeLengthCountBits, static_cast<std::uint32_t>(lengthSet.onlySymbol));
    }
    bits.Put(kLiteralCountBits, static_cast<std::uint32_t>(TrimmedLiteralCount(literal.lengths)));
    WalkLiteralLengths(literal.lengths, [&](int sym, int extraBits, int extra) {
      bits.Put(lengthSet.lengths[sym], lengthSet.codes[sym]);
      bits.Put(extraBits, static_cast<std::uint32_t>(extra));
    });
  } else {
    bits.Put(kCodeLengthCountBits, 0);
    bits.Put(kCodeLengthCountBits, 0);
    bits.Put(kLiteralCountBits, 0);
    bits.Put(kLiteralCountBits, static_cast<std::uint32_t>(literal.onlySymbol));
  }
  if (!position.Single()) {
    WriteSmallSetLengths(bits, position.lengths, static_cast<int>(method.positionSymbols),
                         static_cast<int>(method.positionCountBits), -1);
  } else {
    bits.Put(static_cast<int>(method.positionCountBits), 0);
    bits.Put(static_cast<int>(method.positionCountBits),
             static_cast<std::uint32_t>(position.onlySymbol));
  }

  for (std::size_t k = 0; k < count; ++k) {
    unsigned c = symbols[k].code;
    bits.Put(literal.lengths[c], literal.codes[c]);
    if (c >= kFirstLengthSymbol) {
      unsigned p = symbols[k].position;
      unsigned slot = PositionSymbol(p);
      bits.Put(position.lengths[slot], position.codes[slot]);
      if (slot > 1) bits.Put(static_cast<int>(slot - 1), p);
    }
  }
}

// A binary tree of earlier positions per 3-byte hash, ordered by the bytes
// that follow each position, over the method's dictionary: one descent finds
// the longest match of every length class, nearest first, and re-roots the
// tree at the new position. Positions the parser skips are entered the same
// way, without recording matches.
class MatchFinder {
 public:
  MatchFinder(const std::uint8_t* data, std::size_t size, std::uint32_t dictionary, int depth)
      : depth_(depth), data_(data), size_(size), dictionary_(dictionary) {
    // Small inputs get small tables: clearing them is a real cost for the
    // many small members of a typical archive.
    int bits = 10;
    while (bits < kHashBits && (std::size_t{1} << bits) < size) ++bits;
    hashShift_ = 32 - bits;
    head_.assign(std::size_t{1} << bits, 0);
    std::size_t cycle = 1024;
    while (cycle < 2 * std::size_t{dictionary} && cycle < size) cycle *= 2;
    tree_.assign(2 * cycle, 0);
    cycleMask_ = cycle - 1;
  }

  struct Match {
    std::uint16_t length;
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
            out[found++] = {static_cast<std::uint16_t>(len), static_cast<std::uint32_t>(pos - c)};
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

// Bit prices of the symbols, from a previous coding of similar data.
struct Prices {
  std::uint32_t literal[kLiteralSetSymbols];
  std::uint32_t position[kMaxPositionSymbols];

  void SetDefaults() {
    for (int s = 0; s < 256; ++s) literal[s] = 9;
    for (int s = 256; s < kLiteralSetSymbols; ++s) literal[s] = 8 + (s - 256 > 16 ? 4 : 0);
    for (int s = 0; s < kMaxPositionSymbols; ++s) position[s] = 5;
  }
  // Every symbol gets a finite price, also one not seen yet.
  void FromSymbols(const LzhMethod& method, const Symbol* symbols, std::size_t count) {
    std::uint32_t literalFreq[kLiteralSetSymbols] = {};
    std::uint32_t positionFreq[kMaxPositionSymbols] = {};
    for (std::size_t k = 0; k < count; ++k) {
      literalFreq[symbols[k].code]++;
      if (symbols[k].code >= kFirstLengthSymbol)
        positionFreq[PositionSymbol(symbols[k].position)]++;
    }
    std::uint8_t lengths[kLiteralSetSymbols];
    for (auto& f : literalFreq) f = f * 8 + 1;
    BuildLimitedCodeLengths(literalFreq, kLiteralSetSymbols, kMaxCodeBits, lengths);
    for (int s = 0; s < kLiteralSetSymbols; ++s) literal[s] = lengths[s];
    int np = static_cast<int>(method.positionSymbols);
    for (int s = 0; s < np; ++s) positionFreq[s] = positionFreq[s] * 8 + 1;
    BuildLimitedCodeLengths(positionFreq, np, kMaxCodeBits, lengths);
    for (int s = 0; s < np; ++s) position[s] = lengths[s];
  }
  std::uint32_t Match(int length, std::uint32_t distance) const {
    unsigned slot = PositionSymbol(distance - 1);
    return literal[kFirstLengthSymbol + length - kMinMatchBytes] + position[slot] +
           (slot > 1 ? slot - 1 : 0);
  }
};

class Encoder {
 public:
  // Encodes data[begin, end) of the whole input data[0, size): matches may
  // reach back before begin, never on past end.
  Encoder(const LzhMethod& method, const std::uint8_t* data, std::size_t size, std::size_t begin,
          std::size_t end, std::vector<std::uint8_t>& out)
      : method_(method), data_(data), size_(size), begin_(begin), end_(end), bits_(out),
        effort_(EffortFor(method.letter)),
        finder_(data, size, method.dictionaryBytes, effort_.treeDepth) {
    prices_.SetDefaults();
  }

  // Returns the number of bits written.
  std::uint64_t Run() {
    std::size_t prime = begin_ > method_.dictionaryBytes ? begin_ - method_.dictionaryBytes : 0;
    for (std::size_t p = prime; p < begin_; ++p) finder_.Insert(p);
    std::size_t pos = begin_;
    while (pos < end_) pos = EncodeChunk(pos);
    return bits_.Finish();
  }

 private:
  struct Step {
    std::uint32_t cost;
    std::uint16_t length;    // 1 = literal
    std::uint32_t distance;
  };

  // Gathers the matches of one chunk, parses it by price (twice, the second
  // time with the prices of the first result) and writes it as one block.
  std::size_t EncodeChunk(std::size_t start) {
    std::size_t end = std::min(end_, start + kParseChunkBytes);
    GatherMatches(start, end);
    std::size_t len = chunkEnd_ - start;
    for (int pass = 0; pass < effort_.parsePasses; ++pass) {
      Parse(start, len);
      if (pass + 1 < effort_.parsePasses) prices_.FromSymbols(method_, symbols_.data(), symbols_.size());
    }
    WriteBlock(bits_, method_, symbols_.data(), symbols_.size());
    prices_.FromSymbols(method_, symbols_.data(), symbols_.size());
    return chunkEnd_;
  }

  void GatherMatches(std::size_t start, std::size_t end) {
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
        // entered in the chains, and the chunk may end behind it.
        const MatchFinder::Match& m = found[count - 1];
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
      // Ordinary matches stay inside the chunk.
      for (int k = 0; k < count; ++k) {
        MatchFinder::Match m = found[k];
        if (i + m.length > n) m.length = static_cast<std::uint16_t>(n - i);
        if (m.length < kMinMatchBytes) continue;
        if (!matches_.empty() && matchStart_[i] < matches_.size() &&
            matches_.back().length >= m.length)
          continue;
        matches_.push_back(m);
      }
      ++i;
    }
    if (i > n) {
      matchStart_.resize(i + 1, static_cast<std::uint32_t>(matches_.size()));
      forced_.resize(i, 0);
    }
    matchStart_[i] = static_cast<std::uint32_t>(matches_.size());
    chunkEnd_ = start + i;
  }

  void Parse(std::size_t start, std::size_t n) {
    constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();
    cost_.assign(n + 1, kNone);
    stepLength_.resize(n + 1);
    stepDistance_.resize(n + 1);
    cost_[0] = 0;
    std::uint32_t* cost = cost_.data();
    std::uint16_t* stepLength = stepLength_.data();
    std::uint32_t* stepDistance = stepDistance_.data();
    // The price of a match length's symbol, indexed by the length.
    const std::uint32_t* lengthPrice = prices_.literal + kFirstLengthSymbol - kMinMatchBytes;
    for (std::size_t i = 0; i < n; ++i) {
      const std::uint32_t base = cost[i];
      if (base == kNone) continue;
      std::uint32_t first = matchStart_[i], last = matchStart_[i + 1];
      if (forced_[i]) {
        const MatchFinder::Match& m = matches_[first];
        std::uint32_t c = base + prices_.Match(m.length, m.distance);
        if (c < cost[i + m.length]) {
          cost[i + m.length] = c;
          stepLength[i + m.length] = m.length;
          stepDistance[i + m.length] = m.distance;
        }
        continue;
      }
      std::uint32_t literal = base + prices_.literal[data_[start + i]];
      if (literal < cost[i + 1]) {
        cost[i + 1] = literal;
        stepLength[i + 1] = 1;
      }
      int from = kMinMatchBytes;
      for (std::uint32_t k = first; k < last; ++k) {
        const MatchFinder::Match& m = matches_[k];
        const std::uint32_t withPosition = base + prices_.Match(kMinMatchBytes, m.distance) -
                                           lengthPrice[kMinMatchBytes];
        std::uint32_t* target = cost + i;
        for (int len = from; len <= m.length; ++len) {
          const std::uint32_t c = withPosition + lengthPrice[len];
          if (c < target[len]) {
            target[len] = c;
            stepLength[i + len] = static_cast<std::uint16_t>(len);
            stepDistance[i + len] = m.distance;
          }
        }
        from = m.length + 1;
      }
    }
    // Walk back from the end and emit the cheapest path.
    path_.clear();
    for (std::size_t i = n; i > 0;) {
      path_.push_back(Step{0, stepLength[i], stepDistance[i]});
      i -= stepLength[i];
    }
    symbols_.clear();
    std::size_t at = start;
    for (auto it = path_.rbegin(); it != path_.rend(); ++it) {
      if (it->length == 1) {
        symbols_.push_back({data_[at], 0});
      } else {
        symbols_.push_back(
            {static_cast<std::uint16_t>(kFirstLengthSymbol + it->length - kMinMatchBytes),
             static_cast<std::uint16_t>(it->distance - 1)});
      }
      at += it->length;
    }
  }


  const LzhMethod& method_;
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t begin_, end_;
  BitWriter bits_;
  Effort effort_;
  MatchFinder finder_;
  Prices prices_;
  std::vector<MatchFinder::Match> matches_;
  std::vector<std::uint32_t> matchStart_;
  std::vector<std::uint8_t> forced_;
  std::vector<std::uint32_t> cost_;        // cheapest bits to reach each position
  std::vector<std::uint16_t> stepLength_;  // and the step that reaches it
  std::vector<std::uint32_t> stepDistance_;
  std::vector<Step> path_;
  std::vector<Symbol> symbols_;
  std::size_t chunkEnd_ = 0;
};

}  // namespace

const LzhMethod* FindLzhMethod(char letter) {
  for (const LzhMethod& m : kMethods)
    if (m.letter == letter) return &m;
  return nullptr;
}

std::vector<std::uint8_t> LzhEncode(const LzhMethod& method, const std::uint8_t* data,
                                    std::size_t size) {
  std::vector<std::uint8_t> out;
  if (size == 0) return out;
  if (size < kSegmentBytes + kSegmentBytes / 2) {
    out.reserve(size / 2 + 64);
    Encoder(method, data, size, 0, size, out).Run();
    return out;
  }
  // Large inputs are cut into fixed segments, encoded side by side and
  // joined bit by bit. The cuts depend on the size alone, so the output is
  // the same however many threads ran.
  struct Segment {
    std::vector<std::uint8_t> bytes;
    std::uint64_t bits = 0;
  };
  const std::size_t count = (size + kSegmentBytes - 1) / kSegmentBytes;
  std::vector<Segment> segments(count);
  auto encode = [&](std::size_t k) {
    const std::size_t begin = k * kSegmentBytes, end = std::min(size, begin + kSegmentBytes);
    segments[k].bytes.reserve((end - begin) / 2 + 64);
    segments[k].bits = Encoder(method, data, size, begin, end, segments[k].bytes).Run();
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

  std::uint64_t total = 0;
  for (const Segment& s : segments) total += s.bits;
  out.reserve(static_cast<std::size_t>((total + 7) / 8));
  BitWriter joined(out);
  for (const Segment& s : segments) {
    const std::size_t whole = static_cast<std::size_t>(s.bits / 8);
    for (std::size_t i = 0; i < whole; ++i) joined.Put(8, s.bytes[i]);
    if (int rest = static_cast<int>(s.bits % 8)) joined.Put(rest, s.bytes[whole] >> (8 - rest));
  }
  joined.Finish();
  return out;
}

int BuildLimitedCodeLengths(const std::uint32_t* weights, int count, int maxBits,
                            std::uint8_t* lengths) {
  std::fill(lengths, lengths + count, 0);
  std::vector<int> leaves;
  for (int s = 0; s < count; ++s)
    if (weights[s]) leaves.push_back(s);
  const int m = static_cast<int>(leaves.size());
  if (m < 2) return m;
  std::stable_sort(leaves.begin(), leaves.end(),
                   [&](int a, int b) { return weights[a] < weights[b]; });

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
