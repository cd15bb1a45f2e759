// The compressor's block coding: where the parsed symbols are cut into
// blocks, the code lengths of each block's three sets (chosen for the fewest
// bits of tables and data together), and the block as the format writes it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "pack/lzh_encoder_symbols.h"

namespace lzh_encoder {

// One set's lengths and codes, ready to write.
struct CodeSet {
  std::uint8_t lengths[kLiteralSetSymbols] = {};
  std::uint16_t codes[kLiteralSetSymbols] = {};
  int used = 0;          // symbols with a weight
  int onlySymbol = 0;    // the symbol when used == 1 (or 0 when none is used)

  void Build(const std::uint32_t* freq, int count);
  void AssignCodes(int count);
  bool Single() const { return used <= 1; }
  std::uint64_t DataBits(const std::uint32_t* freq, int count) const;
};

// Cheapest ways to code every run of zero lengths up to a longest one, for
// given bit prices of the three run symbols (0 = the symbol is not in the
// code).
class ZeroRunPlan {
 public:
  void Prepare(const std::uint8_t* runSymbolBits, int longestRun);
  // Emits the pieces of a run as (symbol, extra bits, extra value).
  template <typename Emit>
  void Walk(int run, Emit emit) const;

 private:
  std::uint32_t cost_[kLiteralSetSymbols];
  std::uint16_t piece_[kLiteralSetSymbols];
};

// Code lengths for a block, chosen for the fewest bits of tables and data
// together: an optimal code for the counts is not always cheapest once its
// lengths are written too, so a few codes for adjusted counts compete.
class BlockCode {
 public:
  void Plan(const LzhMethod& method, const SymbolCounts& counts, std::size_t count);
  // The block: its symbol count, its three sets' lengths, its symbols.
  void Write(BitWriter& bits, const Symbol* symbols) const;

 private:
  std::uint64_t PlanPositions(const std::uint32_t* freq);
  std::uint64_t PlanLiterals(const std::uint32_t* freq);
  // The code-length set for candidate_'s lengths and the way its zero runs
  // are coded, each chosen for the other a few times over; returns the bits
  // of both lists.
  std::uint64_t PlanLengthSet();

  std::size_t count_ = 0;
  int positionSymbols_ = 0, positionCountBits_ = 0;
  CodeSet literal_, position_, lengthSet_;
  ZeroRunPlan runs_;
  CodeSet candidate_, candidateLengthSet_;
  ZeroRunPlan candidateRuns_;
};

// Where to end blocks: a block pays for its tables, so a new one pays only
// where the statistics change enough. Blocks are priced by the entropy of
// their symbols plus a table cost per symbol they use.
class BlockCutter {
 public:
  // Ends (symbol indices, the last one = count) of the blocks for the
  // symbols; no block longer than a block may count.
  void Choose(const LzhMethod& method, const Symbol* symbols, std::size_t count,
              std::vector<std::size_t>& ends);

 private:
  static constexpr int kStride = kLiteralSetSymbols + kMaxPositionSymbols;

  // Estimated bits of a block with these counts, in fixed point.
  std::int64_t Estimate(const SymbolCounts& c) const;
  // Moves each end between its neighbours in finer steps, to where the two
  // blocks it separates cost least.
  void Refine(const Symbol* symbols, std::vector<std::size_t>& ends);

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

}  // namespace lzh_encoder
