// The compressor's parse: the matches at every position of a region, and
// the cheapest literals and matches for a stretch of it by given bit prices.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "pack/lzh_encoder_symbols.h"
#include "pack/lzh_match_finder.h"

namespace lzh_encoder {

// Bit prices of the symbols, from a coding of similar data.
// The parse offers match lengths in groups of four and may read up to three
// entries past the last one.
constexpr int kRelaxSlack = 3;

struct Prices {
  std::int32_t literal[kLiteralSetSymbols + kRelaxSlack] = {};
  std::int32_t position[kMaxPositionSymbols];

  void SetDefaults();
  // The code lengths of the counts, every symbol counted once more than
  // eight times its count, so a symbol not seen yet gets a finite price.
  void FromCounts(const LzhMethod& method, const SymbolCounts& counts);
  // Literal prices from how often each byte occurs.
  void SeedLiterals(const std::uint8_t* bytes, std::size_t count);
  void FromSymbols(const LzhMethod& method, const Symbol* symbols, std::size_t count);
};

class Parser {
 public:
  // Parses data[0, size), a window of an input of inputBytes, up to end:
  // no match runs on past end. treeDepth and niceMatchBytes set how hard the
  // match finder looks (see lzh_encoder.cpp).
  Parser(const LzhMethod& method, const std::uint8_t* data, std::size_t size, std::size_t end,
         std::size_t inputBytes, int treeDepth, int niceMatchBytes);

  // Enters data[from, to) as history that matches may reach back into.
  void EnterHistory(std::size_t from, std::size_t to);
  // Finds the matches of every position of data[start, end), each list cut
  // at end; returns the bytes of the region, which may end behind end when
  // a long match runs on. The parses below take offsets into this region.
  std::size_t GatherMatches(std::size_t start, std::size_t end);
  // The longest match at each position, else a literal, for region bytes
  // [from, to).
  void ParseGreedily(std::size_t from, std::size_t to, std::vector<Symbol>& symbols);
  // The cheapest symbols for region bytes [from, to) by the prices; no match
  // runs past to.
  void Parse(const Prices& prices, std::size_t from, std::size_t to, std::vector<Symbol>& symbols);

 private:
  const std::uint8_t* data_;
  std::size_t size_, end_;
  int niceMatchBytes_;
  MatchFinder finder_;
  // The region being parsed and its matches by position.
  std::size_t regionStart_ = 0;
  std::vector<MatchFinder::Match> matches_;
  std::vector<std::uint32_t> matchStart_;
  std::vector<std::uint8_t> forced_;
  // The parse.
  std::vector<std::int32_t> cost_;   // cheapest bits to reach each position
  std::vector<std::uint32_t> step_;  // and the step that reaches it
  std::vector<std::uint32_t> path_;
};

}  // namespace lzh_encoder
