#include "archive/crc16.h"

#include <gtest/gtest.h>

#include <string>

#include "lzh_test_data.h"

TEST(Crc16, PublishedVectorsAndTheBitwiseCrcAtEveryLengthAndAlignment) {
  EXPECT_EQ(Crc16(0, "123456789", 9), 0xBB3D);
  EXPECT_EQ(Crc16(0, "abc", 3), 0x9738);
  EXPECT_EQ(Crc16(0x1234, "", 0), 0x1234);
  // Running in pieces equals running at once.
  EXPECT_EQ(Crc16(Crc16(0, "1234", 4), "56789", 5), 0xBB3D);
  // The sixteen-byte steps and the bytes after them, from every offset.
  enginetest::Bytes data(100);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 151 + 7);
  for (std::size_t at = 0; at < 16; ++at)
    for (std::size_t n = 0; at + n <= data.size(); n += 5) {
      const enginetest::Bytes part(data.begin() + static_cast<long>(at), data.begin() + static_cast<long>(at + n));
      ASSERT_EQ(Crc16(0, part.data(), n), enginetest::ReferenceCrc(part)) << at << "+" << n;
    }
}
