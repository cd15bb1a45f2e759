// UTF-16LE name fields of the extended headers 0x44 and 0x45, read into the
// text of the name rules.
#include "common/utf16le.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "text_units.h"

namespace {
// The field of units, read into a buffer of size units; "(refused)" when
// the reader refuses it.
Text<Utf16Unit> Read(const Text<Utf16Unit>& units, unsigned size = 8, unsigned dropBytes = 0) {
  std::vector<std::uint8_t> bytes;
  for (const Utf16Unit u : units)
    bytes.insert(bytes.end(), {std::uint8_t(u & 0xFF), std::uint8_t(u >> 8)});
  Utf16Unit dest[8] = {'x'};
  if (!ReadUtf16LeField(bytes.data(), static_cast<unsigned>(bytes.size()) - dropBytes, dest, size))
    return dest[0] ? W<Utf16Unit>("(not emptied)") : W<Utf16Unit>("(refused)");
  NormalizeSeparators(dest, '/');
  return dest;
}
}  // namespace

TEST(Utf16LeField, UnitsUpToTheFirstZeroAndNoCut) {
  using T = Text<Utf16Unit>;
  const T cjkPairAndYDiaeresis = {0x65E5, 0x672C, 0xD83D, 0xDE00, 0xFF};
  EXPECT_EQ(Read(cjkPairAndYDiaeresis), cjkPairAndYDiaeresis);
  EXPECT_EQ(Read({'d', 0xFFFF, 'e', 0xFFFF}), W<Utf16Unit>("d/e/"));  // directory levels
  EXPECT_EQ(Read({'a', 0, 'b'}), W<Utf16Unit>("a"));  // a zero ends it, as in byte fields
  EXPECT_EQ(Read({'a', 'b', 'c', 'd'}, 5), W<Utf16Unit>("abcd"));
  // A name that does not fit, or an odd number of bytes, is refused.
  EXPECT_EQ(Read({'a', 'b', 'c', 'd'}, 4), W<Utf16Unit>("(refused)"));
  EXPECT_EQ(Read({'a', 'b', 'c', 'd'}, 8, 1), W<Utf16Unit>("(refused)"));
}
