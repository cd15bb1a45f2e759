// The output sink and the stored copy, and the percentage the pass shows.
#include <gtest/gtest.h>

#include "archive/output_sink.h"
#include "common/run_state.h"
#include "engine_test_support.h"

using namespace enginetest;

namespace {
Bytes Pattern(std::size_t n) {
  Bytes b(n);
  for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>((i * 31) ^ (i >> 9));
  return b;
}
}  // namespace

TEST(ProgressPercent, RoundsDownClampsAndWraps) {
  EXPECT_EQ(ProgressPercent(0, 0), 0u);
  EXPECT_EQ(ProgressPercent(5, 0), 0u);
  EXPECT_EQ(ProgressPercent(1, 3), 33u);
  EXPECT_EQ(ProgressPercent(3, 3), 100u);
  EXPECT_EQ(ProgressPercent(7, 3), 100u);
  // The product wraps modulo 2^64: 2^62 * 100 = 2^64 * 25, so 0.
  EXPECT_EQ(ProgressPercent(1ull << 62, 1ull << 63), 0u);
  // Archives of many gigabytes, byte counts in 64 bits, against the
  // division itself.
  std::uint64_t x = 0x9E3779B97F4A7C15ull;
  for (int i = 0; i < 1000; ++i) {
    x = x * 6364136223846793005ull + 1442695040888963407ull;
    const std::uint64_t total = (x >> 20) + 1, done = (x >> 11) % (total + total / 8 + 1);
    const std::uint64_t exact = done * 100 / total;
    ASSERT_EQ(ProgressPercent(done, total), exact < 100 ? exact : 100u) << done << "/" << total;
  }
}

TEST(CopyStoredMember, ChunksOf64KiBWithOneReportEach) {
  struct Case {
    std::int64_t size;
    std::vector<unsigned long> chunks;
  };
  for (const Case& c : {Case{0, {}}, Case{-1, {}}, Case{5, {5}}, Case{65536, {65536}},
                        Case{65537, {65536, 1}}}) {
    const std::size_t n = c.size > 0 ? static_cast<std::size_t>(c.size) : 0;
    const Bytes archive = Pattern(n + 10);  // the next header's bytes stay unread
    ASSERT_EQ(DecodeStream(archive, '0', c.size), EngineResult::Ok) << c.size;
    EXPECT_EQ(Record.readSizes, c.chunks) << c.size;
    EXPECT_EQ(Record.writeSizes, c.chunks) << c.size;
    EXPECT_EQ(Record.readPos, n);
    EXPECT_TRUE(Record.written == Bytes(archive.begin(), archive.begin() + static_cast<long>(n)));
    EXPECT_EQ(TestEngine().crc, ReferenceCrc(Record.written));
    // Each report counts the member's bytes copied so far.
    std::vector<std::uint64_t> counts;
    for (unsigned long chunk : c.chunks) counts.push_back((counts.empty() ? 0 : counts.back()) + chunk);
    EXPECT_EQ(Record.reports, counts) << c.size;
  }
}

TEST(HandOverPiece, CrcCoversExactlyTheBytesTheSinkTookWhateverThePieces) {
  // Pieces of every length from 0 to 40 at every alignment give the CRC of
  // the whole, as one byte at a time would.
  static Bytes data;
  data = Pattern(40 * 41 / 2 + 64);
  InstallMemoryHost({});
  ASSERT_EQ(Guarded([](Engine& e) {
              e.crc = 0;
              std::size_t at = 0;
              for (unsigned long n = 0; n <= 40; ++n) {
                HandOverPiece(e, data.data() + at, n, static_cast<std::int64_t>(at + n));
                at += n;
              }
            }),
            EngineResult::Ok);
  const Bytes whole(data.begin(), data.begin() + 40 * 41 / 2);
  EXPECT_EQ(TestEngine().crc, ReferenceCrc(whole));
  EXPECT_TRUE(Record.written == whole);
  // A piece the sink refused is not counted.
  Record.failWrites = true;
  EXPECT_EQ(Guarded([](Engine& e) { HandOverPiece(e, data.data(), 7, 7); }), EngineResult::WriteError);
  EXPECT_EQ(TestEngine().crc, ReferenceCrc(whole));
}
