// PMarc's two methods (MSX). Both code a literal not as its value but as its
// place in a list of byte values ordered by how recently each was written,
// and copy from a distance back.
#include <array>
#include <cstring>

#include "legacy/method_decoder.h"
#include "legacy/prefix_code.h"

namespace legacy {

namespace {

// ---- What both methods share ------------------------------------------------

// The 256 byte values, the one written last first. Before the first byte the
// order is: 0x20 to 0x7F, 0x00 to 0x1F, 0xA0 to 0xDF, 0x80 to 0x9F, 0xE0 to
// 0xFF (text first, then control codes, the half-width kana, and the rest).
class RecentBytes {
 public:
  RecentBytes() {
    std::uint8_t* p = order_.data();
    auto run = [&p](unsigned from, unsigned to) {
      for (unsigned v = from; v <= to; ++v) *p++ = static_cast<std::uint8_t>(v);
    };
    run(0x20, 0x7F);
    run(0x00, 0x1F);
    run(0xA0, 0xDF);
    run(0x80, 0x9F);
    run(0xE0, 0xFF);
  }
  std::uint8_t At(unsigned place) const { return order_[place]; }
  // The byte was written: it moves to the front.
  void Use(std::uint8_t byte) {
    if (order_[0] == byte) return;
    auto* at = static_cast<std::uint8_t*>(std::memchr(order_.data(), byte, order_.size()));
    std::memmove(order_.data() + 1, order_.data(), static_cast<std::size_t>(at - order_.data()));
    order_[0] = byte;
  }

 private:
  std::array<std::uint8_t, 256> order_;
};

// A value as a base and that many bits added to it.
struct Ranged {
  std::uint16_t base;
  std::uint8_t bits;
};
unsigned ReadRanged(BitInput& in, const Ranged& r) { return r.base + in.Bits(r.bits); }

// A decoder that writes through the list of recent bytes.
class PmarcDecoder : public MethodDecoder {
 public:
  using MethodDecoder::MethodDecoder;

 protected:
  void Emit(std::uint8_t byte) {
    out_.Put(byte);
    recent_.Use(byte);
  }
  void CopyBack(unsigned distance, unsigned count) {
    for (unsigned i = 0; i < count; ++i) Emit(out_.Back(distance));
  }

  RecentBytes recent_;
};

// ---- -pm1- --------------------------------------------------------------------

// A count coded in steps: each step reads its bits, and a value below its
// number of direct values stands for itself (counted on from where the
// previous step ended); the next values each add one more field of the given
// width, and the last value, where no field takes it, goes on to the next step.
struct CountStep {
  std::uint8_t bits, direct;
  std::uint8_t fields[2];  // widths; 0: none
};

template <std::size_t kSteps>
unsigned ReadCount(BitInput& in, unsigned smallest, const CountStep (&steps)[kSteps]) {
  unsigned base = smallest;
  for (const CountStep& step : steps) {
    const unsigned value = in.Bits(step.bits);
    if (value < step.direct) return base + value;
    base += step.direct;
    for (unsigned f = 0; f < 2 && step.fields[f]; ++f) {
      if (value == step.direct + f) return base + in.Bits(step.fields[f]);
      base += 1u << step.fields[f];
    }
  }
  return base;  // the last step leaves no value over
}

// Literal runs of 1 to 216 bytes; copies of 3 to 244 (2 has ranges of its own).
constexpr unsigned kShortestRun = 1, kLongestRun = 216;
constexpr CountStep kRunSteps[] = {{2, 3, {0, 0}}, {3, 7, {0, 0}}, {4, 14, {6, 7}}};
constexpr unsigned kShortestCountedCopy = 3;
constexpr CountStep kCopySteps[] = {{2, 3, {0, 0}}, {3, 5, {2, 3}}, {6, 62, {5, 7}}};

// A literal is its place in the recent bytes: a range of places, then the
// place within it. The range comes from a small prefix code whose shape the
// stream's first five bits choose among 32. A shape is written here as a
// tree: a letter is a range (a: 0 to f: 5), a pair in parentheses a node
// whose first element a 0 bit takes. Shape 31 is one range without a bit.
// Shape 17 is taken as lhasa has it: it reaches d and e twice and a and b
// never, so no writer can use it for the most recent bytes.
constexpr const char* kRangeShapes[32] = {
    "((((ab)c)d)(ef))", "(((ab)(cf))(de))", "(((ab)c)(d(ef)))", "((a(bc))(d(ef)))",
    "((a(bd))(c(ef)))", "((a(b(ef)))(cd))", "((ab)((cd)(ef)))", "((ab)((c(ef))d))",
    "((ab)(c(d(ef))))", "(a(((bf)c)(de)))", "(a(((b(ef))c)d))", "(a(((bc)d)(ef)))",
    "(a((b(cf))(de)))", "(a((bc)(d(ef))))", "(a((b(d(ef)))c))", "(a(b((cd)(ef))))",
    "(a(b(c(d(ef)))))", "(((de)c)(de))",    "((a(be))(cd))",    "((ab)(c(de)))",
    "(a(((be)c)d))",    "(a((bc)(de)))",    "(a((b(de))c))",    "(a(b(c(de))))",
    "(((ab)c)d)",       "((a(bd))c)",       "((ab)(cd))",       "(a((bd)c))",
    "(a(b(cd)))",       "(a(bc))",          "(ab)",             "a",
};
constexpr Ranged kPlaceRanges[] = {{0, 4}, {16, 4}, {32, 5}, {64, 6}, {128, 6}, {192, 6}};

// A copy's distance - 1: a range from a prefix code that grows as the output
// does, then bits within it. Ranges 0 and 1 copy two bytes, the others a
// counted number. A range that reaches farther than the output so far takes
// fewer bits: the fewest (at least 8) that reach past the output's size.
constexpr Ranged kDistanceRanges[] = {{0, 6}, {64, 8}, {0, 6}, {64, 9}, {576, 11}, {2624, 13}};
constexpr unsigned kFewestReachingBits = 8;
// Sizes of the output from which ranges 1 and 3, 4, and 5 can be coded.
constexpr std::uint64_t kNearRangesFrom = 64, kRange4From = 576, kRange5From = 2624;

class Pm1Decoder final : public PmarcDecoder {
 public:
  static constexpr std::size_t kWindowBytes = 16384;  // above the farthest distance, 10816
  Pm1Decoder(std::uint64_t originalSize, const ByteSink& sink) : PmarcDecoder(kWindowBytes, originalSize, sink) {}

  unsigned ZeroBytesPastData() const override { return kPm1ZeroBytesPastData; }

 private:
  struct ShapeNode {
    std::int8_t next[2];  // a node's index, or -1 - range for a leaf
  };

  // Builds the shape's tree from its text.
  int ParseShape(const char*& p) {
    if (*p != '(') return -1 - (*p++ - 'a');
    const int node = nodes_++;
    ++p;
    shape_[node].next[0] = static_cast<std::int8_t>(ParseShape(p));
    shape_[node].next[1] = static_cast<std::int8_t>(ParseShape(p));
    ++p;
    return node;
  }
  unsigned ReadPlaceRange(BitInput& in) const {
    int at = root_;
    while (at >= 0) at = shape_[at].next[in.Bit()];
    return static_cast<unsigned>(-1 - at);
  }

  // Reads a bit from the given output size on; before it, the bit is given.
  unsigned BitFrom(BitInput& in, std::uint64_t from, unsigned given) const {
    return out_.produced() >= from ? in.Bit() : given;
  }
  // 0, then 1: range 4; 0, then 0, then x: range x. 1, then 0: range 3; 1,
  // then 1, then 0: range 5; 1, 1, 1: range 2. A bit is read only from the
  // output size where its other value has become possible (the second bit
  // of 0 from 576 bytes on, of 1 from 64; the third of 0 from 64, of 1 from
  // 2624): before, it is the value that keeps to the nearer ranges.
  unsigned ReadDistanceRange(BitInput& in) const {
    if (in.Bit() == 0) {
      if (BitFrom(in, kRange4From, 0)) return 4;
      return BitFrom(in, kNearRangesFrom, 0);
    }
    if (BitFrom(in, kNearRangesFrom, 1) == 0) return 3;
    return BitFrom(in, kRange5From, 1) ? 2 : 5;
  }

  void Copy(BitInput& in) {
    const unsigned range = ReadDistanceRange(in);
    const unsigned count = range < 2 ? 2 : ReadCount(in, kShortestCountedCopy, kCopySteps);
    const Ranged& r = kDistanceRanges[range];
    unsigned bits = kFewestReachingBits;
    while (bits < r.bits && r.base + (std::uint64_t{1} << bits) <= out_.produced()) ++bits;
    const unsigned distance = r.base + in.Bits(bits < r.bits ? bits : r.bits);
    if (in.failed()) return;
    if (distance >= out_.produced()) return Fail(Damage::kBadDistance);
    CopyBack(distance + 1, count);
  }

  // A command: 1, a run of literals, then (unless it is the longest run) a
  // copy; 0, a copy.
  void Step(BitInput& in) override {
    if (!haveShape_) {
      const char* text = kRangeShapes[in.Bits(5)];
      if (in.failed()) return;
      root_ = ParseShape(text);
      haveShape_ = true;
    }
    if (in.Bit()) {
      const unsigned run = ReadCount(in, kShortestRun, kRunSteps);
      for (unsigned i = 0; i < run; ++i) {
        const unsigned place = ReadRanged(in, kPlaceRanges[ReadPlaceRange(in)]);
        if (in.failed()) return;
        Emit(recent_.At(place));
        if (out_.Done()) return;
      }
      if (run == kLongestRun) return;
    }
    Copy(in);
  }

  std::array<ShapeNode, 5> shape_{};  // six leaves at most
  int nodes_ = 0;
  int root_ = 0;
  bool haveShape_ = false;
};

// ---- -pm2- --------------------------------------------------------------------

// An 8 KiB window of spaces. Each command is a symbol of a prefix code read
// from the stream: 0 to 7, a literal, its place in the recent bytes in the
// symbol's range; 8 and on, a copy. The code, and a second one for copy
// distances, come at the start and again at set points of the output.
constexpr Ranged kLiteralPlaces[] = {{0, 3},  {8, 3},  {16, 4},  {32, 5},
                                     {64, 5}, {96, 5}, {128, 6}, {192, 6}};
constexpr unsigned kLiteralSymbols = 8;
// Copy symbol c (symbol - 8): c below 15 copies c + 2 bytes, c of 15 to 20
// the counts below; c = 0 has a 6-bit distance - 1, c of 1 to 19 one from
// the distance code, and c = 20 copies the last byte 256 times.
constexpr unsigned kDirectCounts = 15, kDirectCountBase = 2;
constexpr Ranged kCopyCounts[] = {{17, 3}, {25, 3}, {33, 5}, {65, 6}, {129, 7}, {256, 0}};
constexpr unsigned kShortDistanceBits = 6, kRepeatLast = 20;
// A distance symbol v: 0, six bits of distance - 1; otherwise v + 5 bits
// added to 2^(v + 5).
constexpr unsigned kDistanceBitsBias = 5;

class Pm2Decoder final : public PmarcDecoder {
 public:
  static constexpr std::size_t kWindowBytes = 8192;
  Pm2Decoder(std::uint64_t originalSize, const ByteSink& sink) : PmarcDecoder(kWindowBytes, originalSize, sink) {
    std::memset(out_.window(), ' ', kWindowBytes);
  }

 private:
  // The symbol code: a 5-bit count of symbols and a 3-bit shortest length.
  // A shortest length of 0 means one symbol, count - 1, without bits;
  // otherwise a 3-bit width and, for each symbol, a field of that width: 0,
  // no code, v, a code of shortest + v - 1 bits.
  void ReadSymbolCode(BitInput& in) {
    const unsigned count = in.Bits(5);
    const unsigned shortest = in.Bits(3);
    // Only sets that reach the copy symbols with coded distances carry a
    // distance code (a single symbol 28 copies the last byte).
    distancesFollow_ = count >= 10 && !(count == 29 && shortest == 0);
    if (shortest == 0) {
      if (count == 0) return Fail(Damage::kBadCodeSet);
      return symbols_.AssignSingle(count - 1);
    }
    const unsigned width = in.Bits(3);
    std::array<std::uint8_t, 31> lengths{};
    for (unsigned s = 0; s < count; ++s) {
      const unsigned v = in.Bits(width);
      lengths[s] = static_cast<std::uint8_t>(v ? shortest + v - 1 : 0);
    }
    if (!in.failed() && !symbols_.Assign(lengths.data(), count)) Fail(Damage::kBadCodeSet);
  }

  // The distance code, when the symbol code calls for one: a 3-bit length
  // for each of its symbols; a single symbol with a length is coded without bits.
  void ReadDistanceCode(BitInput& in, unsigned count) {
    if (!distancesFollow_) return;
    std::array<std::uint8_t, 8> lengths{};
    unsigned coded = 0, last = 0;
    for (unsigned s = 0; s < count; ++s) {
      lengths[s] = static_cast<std::uint8_t>(in.Bits(3));
      if (lengths[s]) ++coded, last = s;
    }
    if (in.failed()) return;
    if (coded == 1) return distances_.AssignSingle(last);
    if (!distances_.Assign(lengths.data(), count)) Fail(Damage::kBadCodeSet);
  }

  // The codes at the start: a bit that means nothing, the symbol code and a
  // distance code of 5 symbols (so as far back as 1 KiB). After 1 KiB of
  // output, a distance code of 6; after 2 KiB, one of 7; after 4 KiB a bit
  // (1: a new symbol code) and one of 8; then every 4 KiB a bit, 1 meaning a
  // new symbol code and a distance code of 8.
  void ReadCodes(BitInput& in) {
    switch (stage_) {
      case 0:
        in.Bit();
        ReadSymbolCode(in);
        ReadDistanceCode(in, 5);
        nextCodesAt_ = 1024;
        break;
      case 1:
        ReadDistanceCode(in, 6);
        nextCodesAt_ = 2048;
        break;
      case 2:
        ReadDistanceCode(in, 7);
        nextCodesAt_ = 4096;
        break;
      case 3:
        if (in.Bit()) ReadSymbolCode(in);
        ReadDistanceCode(in, 8);
        nextCodesAt_ = 8192;
        break;
      default:
        if (in.Bit()) {
          ReadSymbolCode(in);
          ReadDistanceCode(in, 8);
        }
        nextCodesAt_ += 4096;
        break;
    }
    ++stage_;
  }

  // The distance - 1 of copy symbol c; -1 when its code has none.
  int ReadDistance(BitInput& in, unsigned c) {
    if (c == 0) return static_cast<int>(in.Bits(kShortDistanceBits));
    if (c >= kRepeatLast) return 0;
    const int v = distances_.Decode(in);
    if (v <= 0) return v < 0 ? v : static_cast<int>(in.Bits(kShortDistanceBits));
    const unsigned bits = static_cast<unsigned>(v) + kDistanceBitsBias;
    return static_cast<int>((1u << bits) + in.Bits(bits));
  }

  void Step(BitInput& in) override {
    // The codes come when the output reaches their point, read before the
    // next symbol (and never after the last one).
    if (out_.produced() >= nextCodesAt_) {
      ReadCodes(in);
      if (in.failed() || damaged()) return;
    }
    const int symbol = symbols_.Decode(in);
    if (in.failed()) return;
    if (symbol < 0) return Fail(Damage::kBadCodeSet);
    if (static_cast<unsigned>(symbol) < kLiteralSymbols) {
      const unsigned place = ReadRanged(in, kLiteralPlaces[symbol]);
      if (!in.failed()) Emit(recent_.At(place));
      return;
    }
    const unsigned c = static_cast<unsigned>(symbol) - kLiteralSymbols;
    if (c >= kDirectCounts + std::size(kCopyCounts)) return Fail(Damage::kBadCode);
    const unsigned count = c < kDirectCounts ? c + kDirectCountBase : ReadRanged(in, kCopyCounts[c - kDirectCounts]);
    const int distance = ReadDistance(in, c);
    if (in.failed()) return;
    if (distance < 0) return Fail(Damage::kBadCodeSet);
    CopyBack(static_cast<unsigned>(distance) + 1, count);
  }

  PrefixCode symbols_, distances_;
  bool distancesFollow_ = false;
  unsigned stage_ = 0;
  std::uint64_t nextCodesAt_ = 0;
};

}  // namespace

std::unique_ptr<MethodDecoder> NewPmarcDecoder(MethodId pm1OrPm2, std::uint64_t originalSize, const ByteSink& sink) {
  if (pm1OrPm2 == MethodId::kPm1) return std::make_unique<Pm1Decoder>(originalSize, sink);
  return std::make_unique<Pm2Decoder>(originalSize, sink);
}

}  // namespace legacy
