#include "pack/lzh_match_finder.h"

#include <cstring>

namespace lzh_encoder {
namespace {

constexpr int kHashBits = 16;

bool IsLittleEndian() {
  const std::uint16_t one = 1;
  std::uint8_t first;
  std::memcpy(&first, &one, 1);
  return first == 1;
}

int CommonLength(const std::uint8_t* a, const std::uint8_t* b, int limit) {
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

}  // namespace

MatchFinder::MatchFinder(const std::uint8_t* data, std::size_t size, std::size_t inputBytes,
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

int MatchFinder::Descend(std::size_t pos, int limit, Match* out, int room) {
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

std::uint32_t MatchFinder::Hash(std::size_t pos) const {
  const std::uint8_t* p = data_ + pos;
  std::uint32_t v = (std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) | p[2];
  return (v * 2654435761u) >> hashShift_;
}

}  // namespace lzh_encoder
