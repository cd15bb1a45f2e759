#include "reference_decoder.h"

#include <array>
#include <vector>

namespace enginetest {
namespace {

struct Damaged {};

class Bits {
 public:
  Bits(const Bytes& data, ReferenceNotes& notes) : data_(data), notes_(notes) {}
  unsigned Bit() {
    if (pos_ >= data_.size() * 8) {
      notes_.pastDataEnd = true;
      throw Damaged{};
    }
    const unsigned bit = (data_[pos_ / 8] >> (7 - pos_ % 8)) & 1;
    ++pos_;
    return bit;
  }
  unsigned Get(unsigned n) {
    unsigned v = 0;
    for (unsigned i = 0; i < n; ++i) v = (v << 1) | Bit();
    return v;
  }

 private:
  const Bytes& data_;
  ReferenceNotes& notes_;
  std::size_t pos_ = 0;
};

// A canonical prefix code: the lengths' counts and the symbols in code order.
class Code {
 public:
  // One symbol with a code of no bits.
  void Single(unsigned symbol) {
    single_ = true;
    value_ = symbol;
  }
  // Lengths of the set's symbols; a code that does not fill the code space
  // exactly is damage, one without any length is kept but cannot decode.
  void Build(const std::vector<unsigned>& lengths, ReferenceNotes& notes) {
    single_ = false;
    count_.fill(0);
    symbols_.clear();
    unsigned long space = 0;
    for (unsigned len : lengths) {
      if (len > 16) return Refuse(notes);
      if (len) ++count_[len], space += 1ul << (16 - len);
    }
    empty_ = space == 0;
    if (!empty_ && space != 1ul << 16) return Refuse(notes);
    for (unsigned len = 1; len <= 16; ++len)
      for (unsigned s = 0; s < lengths.size(); ++s)
        if (lengths[s] == len) symbols_.push_back(s);
  }
  unsigned Decode(Bits& in, ReferenceNotes& notes) const {
    if (single_) return value_;
    if (empty_) {
      notes.emptyCodeUsed = true;
      Refuse(notes);
    }
    // Codes of each length follow those of the length before, shifted left.
    unsigned code = 0, first = 0, index = 0;
    for (unsigned len = 1; len <= 16; ++len) {
      code |= in.Bit();
      if (code - first < count_[len]) return symbols_[index + code - first];
      index += count_[len];
      first = (first + count_[len]) << 1;
      code <<= 1;
    }
    Refuse(notes);  // a complete code never gets here
  }

 private:
  [[noreturn]] static void Refuse(ReferenceNotes& notes) {
    notes.damagedTable = true;
    throw Damaged{};
  }
  bool single_ = false, empty_ = false;
  unsigned value_ = 0;
  std::array<unsigned, 17> count_{};
  std::vector<unsigned> symbols_;
};

[[noreturn]] void RefuseTable(ReferenceNotes& notes) {
  notes.damagedTable = true;
  throw Damaged{};
}

class Decoder {
 public:
  Decoder(char method, const Bytes& data, ReferenceResult& result)
      : in_(data, result.notes), notes_(result.notes), out_(result.output) {
    const bool wide = method == '6' || method == '7';
    positionSymbols_ = wide ? 17 : 14;
    positionCountBits_ = wide ? 5 : 4;
    dictionary_ = method == '4' ? 4096u : method == '5' ? 8192u : method == '6' ? 32768u : 65536u;
    window_.assign(65536, 0x20);
  }

  void Run(std::int64_t originalSize) {
    std::int64_t count = 0;
    while (count < originalSize) {
      const unsigned c = NextSymbol();
      if (c < 256) {
        Put(static_cast<std::uint8_t>(c));
        ++count;
        continue;
      }
      const unsigned length = c - 253;
      const unsigned position = NextPosition();
      if (position + 1 > dictionary_) notes_.farPosition = true;
      const unsigned source = pos_ - position - 1;
      for (unsigned i = 0; i < length; ++i) Put(window_[(source + i) & 0xFFFF]);
      count += length;
    }
  }

 private:
  void Put(std::uint8_t b) {
    window_[pos_ & 0xFFFF] = b;
    ++pos_;
    out_.push_back(b);
  }

  // The lengths of the code-length set or of the position set: 3 bits, 7 and
  // more continued by one bits up to a zero; after the lengths numbered
  // zeroRunAfter, 2 bits count zero lengths that follow.
  void ReadSmallSet(Code& code, unsigned symbols, unsigned countBits, unsigned zeroRunAfter) {
    const unsigned n = in_.Get(countBits);
    if (n == 0) {
      const unsigned v = in_.Get(countBits);
      if (v >= symbols) RefuseTable(notes_);
      return code.Single(v);
    }
    std::vector<unsigned> lengths;
    while (lengths.size() < n) {
      unsigned len = in_.Get(3);
      if (len == 7)
        while (in_.Bit())
          if (++len > 16) RefuseTable(notes_);
      lengths.push_back(len);
      if (lengths.size() == zeroRunAfter) lengths.resize(lengths.size() + in_.Get(2), 0);
    }
    // Lengths beyond the set's symbols are read and not used. lhasa reads
    // such a count otherwise, even when every length past the set is 0.
    if (lengths.size() > symbols) notes_.lengthsPastSet = true;
    lengths.resize(symbols, 0);
    code.Build(lengths, notes_);
  }

  void ReadLiteralSet() {
    const unsigned n = in_.Get(9);
    if (n == 0) {
      const unsigned v = in_.Get(9);
      if (v >= 510) RefuseTable(notes_);
      return literals_.Single(v);
    }
    if (n > 510) RefuseTable(notes_);
    std::vector<unsigned> lengths;
    while (lengths.size() < n) {
      const unsigned c = codeLengths_.Decode(in_, notes_);
      if (c > 2) {
        lengths.push_back(c - 2);
        continue;
      }
      const unsigned run = c == 0 ? 1 : c == 1 ? in_.Get(4) + 3 : in_.Get(9) + 20;
      if (lengths.size() + run > 510) RefuseTable(notes_);
      lengths.resize(lengths.size() + run, 0);
    }
    lengths.resize(510, 0);
    literals_.Build(lengths, notes_);
  }

  unsigned NextSymbol() {
    if (blockRemaining_ == 0) {
      blockRemaining_ = in_.Get(16);
      if (blockRemaining_ == 0) {
        notes_.blockOf65536 = true;
        blockRemaining_ = 65536;
      }
      ReadSmallSet(codeLengths_, 19, 5, 3);
      ReadLiteralSet();
      ReadSmallSet(positions_, positionSymbols_, positionCountBits_, 0);
    }
    --blockRemaining_;
    return literals_.Decode(in_, notes_);
  }

  unsigned NextPosition() {
    const unsigned j = positions_.Decode(in_, notes_);
    return j == 0 ? 0 : (1u << (j - 1)) + in_.Get(j - 1);
  }

  Bits in_;
  ReferenceNotes& notes_;
  Bytes& out_;
  unsigned positionSymbols_, positionCountBits_, dictionary_;
  Bytes window_;
  unsigned pos_ = 0;
  unsigned blockRemaining_ = 0;
  Code codeLengths_, literals_, positions_;
};

}  // namespace

ReferenceResult ReferenceDecode(char method, const Bytes& data, std::int64_t originalSize) {
  ReferenceResult result;
  if (method == '0') {
    result.output.assign(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(originalSize));
    result.finished = true;
    return result;
  }
  try {
    Decoder(method, data, result).Run(originalSize);
    result.finished = true;
  } catch (const Damaged&) {
    result.finished = false;
  }
  return result;
}

}  // namespace enginetest
