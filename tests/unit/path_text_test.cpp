#include "paths/path_text.h"

#include <gtest/gtest.h>

#include <string>

TEST(NormalizeSeparators, AllSeparatorsButTrailBytes) {
  // 0x95 0x5C is one Shift_JIS character whose second byte looks like a backslash.
  char path[] = "a\\b\xff" "c/\x95\x5c\\d";
  NormalizeSeparators(path, '/');
  EXPECT_EQ(std::string(path), "a/b/c/\x95\x5c/d");
}
