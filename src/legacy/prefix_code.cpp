#include "legacy/prefix_code.h"

namespace legacy {

bool PrefixCode::Assign(const std::uint8_t* lengths, unsigned symbols) {
  single_ = -1;
  maxLength_ = 0;
  count_.fill(0);
  if (symbols > kMaxSymbols) return false;
  // The share of all bit sequences the codes take, in units of the longest
  // code's: a complete set takes all of them.
  std::uint64_t taken = 0;
  unsigned longest = 0;
  for (unsigned s = 0; s < symbols; ++s) {
    const unsigned length = lengths[s];
    if (length == 0) continue;
    if (length > kMaxLength) return false;
    taken += std::uint64_t{1} << (kMaxLength - length);
    ++count_[length];
    if (length > longest) longest = length;
  }
  if (longest == 0) return true;
  if (taken != std::uint64_t{1} << kMaxLength) {
    count_.fill(0);
    return false;
  }
  // The symbols in code order: by length, then by symbol.
  std::array<unsigned, kMaxLength + 2> next{};
  for (unsigned length = 1; length <= longest; ++length) next[length + 1] = next[length] + count_[length];
  for (unsigned s = 0; s < symbols; ++s)
    if (lengths[s]) symbols_[next[lengths[s]]++] = static_cast<std::uint8_t>(s);
  maxLength_ = longest;
  return true;
}

void PrefixCode::AssignSingle(unsigned symbol) {
  count_.fill(0);
  maxLength_ = 0;
  single_ = static_cast<int>(symbol);
}

int PrefixCode::Decode(BitInput& in) const {
  if (single_ >= 0) return single_;
  // The codes of each length are consecutive numbers starting at first; a
  // code that is not among them continues with one more bit.
  std::int64_t code = 0, first = 0, index = 0;
  for (unsigned length = 1; length <= maxLength_; ++length) {
    code |= in.Bit();
    const std::int64_t count = count_[length];
    if (code - first < count) return symbols_[static_cast<std::size_t>(index + code - first)];
    index += count;
    first = (first + count) << 1;
    code <<= 1;
  }
  return -1;
}

}  // namespace legacy
