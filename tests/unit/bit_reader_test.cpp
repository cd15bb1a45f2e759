// Archive input and bit reader: block sizes of the refills, the bit order,
// and zero bits only as look-ahead after the member's end. (A failed read:
// lzh_decoder_test.cpp, with every other failure.)
#include <gtest/gtest.h>

#include "engine_test_support.h"

using namespace enginetest;

namespace {
Bytes Counting(std::size_t n) {
  Bytes b(n);
  for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(i * 7 + 1);
  return b;
}

// The archive's bytes from its start are a member of compressedSize bytes.
void StartMember(Engine& e, std::int64_t compressedSize) {
  e.header.compressedRemaining = compressedSize;
  ResetArchiveInput(e);
  StartBitReader(e);
}
}  // namespace

TEST(ArchiveInput, RefillsInBlocksAndNeverPastTheMember) {
  Bytes data = Counting(40000);
  data.resize(41000, 0xEE);  // the next member's bytes must stay unread
  InstallMemoryHost(data);
  ASSERT_EQ(Guarded([](Engine& e) {
              StartMember(e, 40000);
              // Every byte of the member; the window then looks 16 bits past its end.
              for (int i = 0; i < 40000; ++i) GetBits(e, 8);
            }),
            EngineResult::Ok);
  EXPECT_EQ(Record.readSizes, (std::vector<unsigned long>{16384, 16384, 7232}));
  EXPECT_EQ(Record.readPos, 40000u);
  EXPECT_EQ(TestEngine().header.compressedRemaining, 0);
}

TEST(BitReader, BitsComeMostSignificantFirstAcrossBytes) {
  InstallMemoryHost({0xA5, 0x3C, 0xF0, 0x0F, 0x81});
  static unsigned got[8];
  ASSERT_EQ(Guarded([](Engine& e) {
              StartMember(e, 5);
              got[5] = PeekBits(e, 16);
              got[0] = GetBits(e, 0);   // nothing moves
              got[1] = GetBits(e, 3);   // 101
              got[2] = GetBits(e, 7);   // 0010100
              got[3] = GetBits(e, 16);  // 1111 0000 0000 1111 shifted: the next 16 bits
              FillBits(e, 14);          // the rest of the member's 40 bits
              got[4] = PeekBits(e, 16);
              CheckInsideMemberData(e, e.bits);
            }),
            EngineResult::Ok);
  EXPECT_EQ(got[5], 0xA53Cu);
  EXPECT_EQ(got[0], 0u);
  EXPECT_EQ(got[1], 0x5u);
  EXPECT_EQ(got[2], 0x14u);
  // Bits 10 to 25 of the stream: 111100 11110000 00.
  EXPECT_EQ(got[3], 0xF3C0u);
  // Every bit consumed: only the zero bits past the member's end show.
  EXPECT_EQ(got[4], 0u);
}

TEST(BitReader, WordRefillsGiveTheStreamBitForBit) {
  // Fields of every width from 0 to 16 over a member that spans three
  // blocks of the archive input, read as the decoder reads them: whole
  // words while eight bytes remain, byte by byte at each block's end.
  static Bytes data;
  data = Counting(40000);
  InstallMemoryHost(data);
  static std::vector<unsigned> got, expected;
  got.clear();
  expected.clear();
  std::size_t bit = 0;
  for (unsigned width = 0; bit + width <= data.size() * 8; width = (width + 7) % 17) {
    unsigned v = 0;
    for (unsigned i = 0; i < width; ++i, ++bit) v = (v << 1) | ((data[bit / 8] >> (7 - bit % 8)) & 1);
    expected.push_back(v);
  }
  ASSERT_EQ(Guarded([](Engine& e) {
              StartMember(e, 40000);
              for (unsigned width = 0; got.size() < expected.size(); width = (width + 7) % 17)
                got.push_back(GetBits(e, width));
            }),
            EngineResult::Ok);
  EXPECT_TRUE(got == expected);
  EXPECT_EQ(Record.readSizes, (std::vector<unsigned long>{16384, 16384, 7232}));
}

TEST(BitReader, ZeroBitsFillTheLookAheadButConsumingPastTheEndIsDamage) {
  // One byte of data: the window shows it and zero bits after it.
  InstallMemoryHost({0xFF, 0xFF, 0xFF, 0xFF});
  static unsigned got;
  ASSERT_EQ(Guarded([](Engine& e) {
              StartMember(e, 1);
              got = PeekBits(e, 16);
              GetBits(e, 8);  // every bit of the data, none past it
              CheckInsideMemberData(e, e.bits);
            }),
            EngineResult::Ok);
  EXPECT_EQ(got, 0xFF00u);
  EXPECT_EQ(Record.readPos, 1u);
  // One bit more is damage.
  InstallMemoryHost({0xFF, 0xFF, 0xFF, 0xFF});
  EXPECT_EQ(Guarded([](Engine& e) {
              StartMember(e, 1);
              GetBits(e, 9);
              CheckInsideMemberData(e, e.bits);
            }),
            EngineResult::Damaged);
  // Without a check, the bit reader itself stops once the look-ahead is
  // exceeded: an empty member yields no stream of zero bits.
  InstallMemoryHost({0xFF, 0xFF});
  EXPECT_EQ(Guarded([](Engine& e) {
              StartMember(e, 0);
              for (int i = 0; i < 100; ++i) GetBits(e, 16);
            }),
            EngineResult::Damaged);
  EXPECT_TRUE(Record.readSizes.empty());
}
