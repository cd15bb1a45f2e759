// A prefix code given by the length of each symbol's code, codes assigned in
// canonical order: shorter codes first, and among codes of one length the
// smaller symbol first, each code the next number after the one before it.
// Read a bit at a time, first bit most significant.
#pragma once

#include <array>
#include <cstdint>

#include "legacy/legacy_streams.h"

namespace legacy {

class PrefixCode {
 public:
  static constexpr unsigned kMaxSymbols = 64;
  static constexpr unsigned kMaxLength = 32;

  // Takes the lengths (0: the symbol has no code). True for a complete set
  // (every bit sequence starts a code) and for a set without any code, whose
  // Decode fails; false for any other set, which leaves the code without any.
  bool Assign(const std::uint8_t* lengths, unsigned symbols);
  // The one symbol of a set that codes it without a bit.
  void AssignSingle(unsigned symbol);

  // The next symbol; -1 for a set without codes. Reads nothing but zeros
  // once the input has failed, and so always ends.
  int Decode(BitInput& in) const;

 private:
  std::array<std::uint16_t, kMaxLength + 1> count_{};  // codes of each length
  std::array<std::uint8_t, kMaxSymbols> symbols_{};     // in the order of their codes
  unsigned maxLength_ = 0;                               // 0: no code
  int single_ = -1;
};

}  // namespace legacy
