// Texts for the tests of the text rules, which take bytes and UTF-16 alike
// (common/dbcs.h): a table written once in ASCII runs for both kinds.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <utility>

#include "common/dbcs.h"

template <typename Unit>
using Text = std::basic_string<Unit>;

// The fixture of a test for both kinds of unit.
template <typename Unit>
class BothUnits : public ::testing::Test {};
using TextUnits = ::testing::Types<char, Utf16Unit>;

// A table of texts and what a rule makes of them.
using TextCases = std::initializer_list<std::pair<const char*, const char*>>;

// ASCII as units of either kind. The byte 0xFF, which separates directory
// levels in byte names, becomes the unit that does it in UTF-16 (0xFFFF).
template <typename Unit>
Text<Unit> W(const std::string& ascii) {
  Text<Unit> text;
  for (const char c : ascii) {
    const unsigned byte = static_cast<unsigned char>(c);
    EXPECT_TRUE(byte < 0x80 || byte == 0xFF) << "a table of both kinds holds ASCII and 0xFF only";
    text += static_cast<Unit>(byte == 0xFF ? kAllOnesUnit<Unit> : byte);
  }
  return text;
}

// count characters of two units: Shift_JIS hiragana A (0x82 0xA0), or the
// surrogate pair of U+1F600.
template <typename Unit>
Text<Unit> Pairs(unsigned count) {
  Text<Unit> pair;
  if constexpr (sizeof(Unit) == 1)
    pair = "\x82\xa0";
  else
    pair = {static_cast<Unit>(0xD83D), static_cast<Unit>(0xDE00)};
  Text<Unit> text;
  for (unsigned i = 0; i < count; ++i) text += pair;
  return text;
}

// The first unit of such a character, alone.
template <typename Unit>
Text<Unit> Lead() {
  return Pairs<Unit>(1).substr(0, 1);
}
