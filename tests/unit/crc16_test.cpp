#include "archive/crc16.h"

#include <gtest/gtest.h>

TEST(Crc16, PublishedVectorsAndTableEntries) {
  BuildCrcTable(lzh::kCrcPolynomial);
  EXPECT_EQ(crcTable[1], 0xC0C1);
  EXPECT_EQ(crcTable[255], 0x4040);
  crcValue = 0;
  EXPECT_EQ(UpdateCrc("123456789", 9), 0xBB3D);
  crcValue = 0;
  EXPECT_EQ(UpdateCrc("abc", 3), 0x9738);
  crcValue = 0;
  EXPECT_EQ(UpdateCrc("", 0), 0);
  // Running in pieces equals running at once; a negative length changes nothing.
  crcValue = 0;
  UpdateCrc("1234", 4);
  UpdateCrc("56789", 5);
  EXPECT_EQ(UpdateCrc("x", -1), 0xBB3D);
}
