// The compressor's match finder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "pack/lzh_encoder_symbols.h"

namespace lzh_encoder {

constexpr int kMaxMatchesPerPosition = 24;

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
              std::uint32_t dictionary, int depth);

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
  int Descend(std::size_t pos, int limit, Match* out, int room);
  std::uint32_t Hash(std::size_t pos) const;

  int depth_;
  const std::uint8_t* data_;
  std::size_t size_;
  std::uint32_t dictionary_;
  int hashShift_ = 16;
  std::vector<std::uint32_t> head_;  // position + 1 of the newest entry, 0 = none
  std::vector<std::uint32_t> tree_;  // two children (position + 1) per cyclic slot
  std::size_t cycleMask_ = 0;
};

}  // namespace lzh_encoder
