// -lh1-: LHarc's LZHUF. A 4 KiB window of spaces; each command is a symbol
// of an adaptive Huffman code over the 256 literals and the match lengths 3
// to 60, and a match's distance follows it: its upper six bits in a fixed
// prefix code, its lower six as they are.
#include <algorithm>
#include <array>

#include "legacy/method_decoder.h"
#include "legacy/prefix_code.h"

namespace legacy {

namespace {

constexpr unsigned kLiterals = 256;
constexpr unsigned kMinMatch = 3, kMaxMatch = 60;
constexpr unsigned kSymbols = kLiterals + kMaxMatch - kMinMatch + 1;
static_assert(kSymbols == 314, "LZHUF codes 314 symbols");

// A Huffman code that follows the counts of the symbols decoded so far. The
// tree's nodes are kept in a list ordered by weight (a leaf's weight is its
// symbol's count, an inner node's the sum of its children's), lightest first
// and the root last, with the two children of a node side by side. Encoder
// and decoder change the tree alike after every symbol, so the stream must be
// read with exactly these rules, ties included.
class AdaptiveCode {
 public:
  AdaptiveCode() {
    for (unsigned s = 0; s < kSymbols; ++s) {
      weight_[s] = 1;
      child_[s] = static_cast<std::uint16_t>(kNodes + s);
      leaf_[s] = static_cast<std::uint16_t>(s);
    }
    // Every symbol counted once: pairs of neighbours joined in order.
    for (unsigned first = 0, node = kSymbols; node < kNodes; first += 2, ++node) {
      weight_[node] = static_cast<std::uint16_t>(weight_[first] + weight_[first + 1]);
      child_[node] = static_cast<std::uint16_t>(first);
      parent_[first] = parent_[first + 1] = static_cast<std::uint16_t>(node);
    }
    weight_[kNodes] = kHeavierThanAny;
    FindRuns();
  }

  // Walks from the root, a bit per node (0: the first child), then counts the
  // symbol.
  unsigned Decode(BitInput& in) {
    unsigned node = kRoot;
    while (child_[node] < kNodes) node = child_[node] + in.Bit();
    const unsigned symbol = child_[node] - kNodes;
    Count(symbol);
    return symbol;
  }

 private:
  static constexpr unsigned kNodes = 2 * kSymbols - 1;
  static constexpr unsigned kRoot = kNodes - 1;
  // A root this heavy has the tree rebuilt, with halved counts, before the
  // next symbol is counted.
  static constexpr std::uint16_t kRebuildWeight = 0x8000;
  static constexpr std::uint16_t kHeavierThanAny = 0xFFFF;

  // One more of the symbol: each node from its leaf up to the root gains one,
  // and a node that would then outweigh the nodes after it in the list first
  // trades places with the last of those (which weigh as much as it does),
  // subtree and all, so the list stays in order.
  void Count(unsigned symbol) {
    if (weight_[kRoot] == kRebuildWeight) Rebuild();
    unsigned node = leaf_[symbol];
    for (;;) {
      const unsigned weight = weight_[node];
      const unsigned last = lastOfWeight_[weight];
      if (last != node) {
        std::swap(child_[node], child_[last]);
        Adopt(node);
        Adopt(last);
        node = last;
      }
      weight_[node] = static_cast<std::uint16_t>(weight + 1);
      // The run of the old weight now ends before the node, and the node ends
      // the run of its new weight unless one follows it.
      if (node > 0 && weight_[node - 1] == weight) lastOfWeight_[weight] = static_cast<std::uint16_t>(node - 1);
      if (weight_[node + 1] != weight + 1) lastOfWeight_[weight + 1] = static_cast<std::uint16_t>(node);
      if (node == kRoot) break;
      node = parent_[node];
    }
  }

  // Where each run of equal weights ends in the list (for the weights that
  // some node has).
  void FindRuns() {
    for (unsigned node = 0; node < kNodes; ++node) lastOfWeight_[weight_[node]] = static_cast<std::uint16_t>(node);
  }

  // Points the children (or the symbol) of the node at it.
  void Adopt(unsigned node) {
    const unsigned c = child_[node];
    if (c >= kNodes)
      leaf_[c - kNodes] = static_cast<std::uint16_t>(node);
    else
      parent_[c] = parent_[c + 1] = static_cast<std::uint16_t>(node);
  }

  // The leaves, in their order, with their counts halved (rounded up); then
  // the two lightest nodes not yet joined are joined, over and over, each new
  // node placed after every node that weighs no more than it.
  void Rebuild() {
    unsigned leaves = 0;
    for (unsigned node = 0; node < kNodes; ++node) {
      if (child_[node] < kNodes) continue;
      weight_[leaves] = static_cast<std::uint16_t>((weight_[node] + 1) / 2);
      child_[leaves] = child_[node];
      ++leaves;
    }
    for (unsigned first = 0, node = kSymbols; node < kNodes; first += 2, ++node) {
      const auto weight = static_cast<std::uint16_t>(weight_[first] + weight_[first + 1]);
      unsigned at = node;
      while (weight_[at - 1] > weight) --at;
      std::copy_backward(weight_.begin() + at, weight_.begin() + node, weight_.begin() + node + 1);
      std::copy_backward(child_.begin() + at, child_.begin() + node, child_.begin() + node + 1);
      weight_[at] = weight;
      child_[at] = static_cast<std::uint16_t>(first);
    }
    for (unsigned node = 0; node < kNodes; ++node) Adopt(node);
    FindRuns();
  }

  std::array<std::uint16_t, kNodes + 1> weight_{};  // and one heavier than any node after them
  std::array<std::uint16_t, kNodes> child_{};       // an inner node's first child; a leaf's kNodes + symbol
  std::array<std::uint16_t, kNodes> parent_{};
  std::array<std::uint16_t, kSymbols> leaf_{};      // each symbol's node
  std::array<std::uint16_t, kRebuildWeight + 1> lastOfWeight_{};
};

// The distance code: the upper six bits of distance - 1 in a fixed prefix
// code, by how many of the 64 values have codes of 3 to 8 bits.
constexpr unsigned kDistanceHighSymbols = 64, kDistanceLowBits = 6;
constexpr unsigned kShortestDistanceCode = 3;
constexpr unsigned kDistanceCodesOfLength[] = {1, 3, 8, 12, 24, 16};  // 3 bits, 4 bits, ...

PrefixCode MakeDistanceCode() {
  std::array<std::uint8_t, kDistanceHighSymbols> lengths{};
  unsigned symbol = 0, length = kShortestDistanceCode;
  for (unsigned count : kDistanceCodesOfLength) {
    for (unsigned i = 0; i < count; ++i) lengths[symbol++] = static_cast<std::uint8_t>(length);
    ++length;
  }
  PrefixCode code;
  code.Assign(lengths.data(), kDistanceHighSymbols);
  return code;
}

class Lh1Decoder final : public MethodDecoder {
 public:
  static constexpr std::size_t kWindowBytes = 4096;

  Lh1Decoder(std::uint64_t originalSize, const ByteSink& sink) : MethodDecoder(kWindowBytes, originalSize, sink) {
    std::fill_n(out_.window(), kWindowBytes, ' ');
  }

 private:
  void Step(BitInput& in) override {
    const unsigned symbol = symbols_.Decode(in);
    if (symbol < kLiterals) {
      if (!in.failed()) out_.Put(static_cast<std::uint8_t>(symbol));
      return;
    }
    const unsigned high = static_cast<unsigned>(distances_.Decode(in));
    const unsigned low = in.Bits(kDistanceLowBits);
    if (!in.failed()) out_.CopyBack((high << kDistanceLowBits | low) + 1, symbol - kLiterals + kMinMatch);
  }

  AdaptiveCode symbols_;
  const PrefixCode distances_ = MakeDistanceCode();
};

}  // namespace

std::unique_ptr<MethodDecoder> NewLh1Decoder(std::uint64_t originalSize, const ByteSink& sink) {
  return std::make_unique<Lh1Decoder>(originalSize, sink);
}

}  // namespace legacy
