// The output sink, the stored copy, the percentage rule and the cancellation
// point of the progress report.
#include <gtest/gtest.h>

#include <cstring>

#include "archive/crc16.h"
#include "archive/engine_host.h"
#include "archive/member_header.h"
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

namespace {
std::int64_t storedSize;
void CopyStored() { CopyStoredMember(storedSize); }
}  // namespace

TEST(CopyStoredMember, ChunksOf64KiBWithOneReportEach) {
  struct Case {
    std::int64_t size;
    std::vector<unsigned long> chunks;
  };
  for (const Case& c : {Case{0, {}}, Case{-1, {}}, Case{5, {5}}, Case{65536, {65536}},
                        Case{65537, {65536, 1}}}) {
    const std::size_t n = c.size > 0 ? static_cast<std::size_t>(c.size) : 0;
    const Bytes archive = Pattern(n + 10);  // the next header's bytes stay unread
    InstallMemoryHost(archive);
    crcValue = 0x1234;  // the copy starts its own CRC run
    ProgressTotals.total = n * 2;
    storedSize = c.size;
    ASSERT_TRUE(Guarded(CopyStored)) << c.size;
    EXPECT_EQ(Record.readSizes, c.chunks) << c.size;
    EXPECT_EQ(Record.writeSizes, c.chunks) << c.size;
    EXPECT_EQ(Record.readPos, n);
    EXPECT_TRUE(Record.written == Bytes(archive.begin(), archive.begin() + static_cast<long>(n)));
    EXPECT_EQ(crcValue, ReferenceCrc(Record.written));
    EXPECT_EQ(ProgressTotals.done, n);
    EXPECT_EQ(Record.reports.size(), c.chunks.size());
    if (!Record.reports.empty()) EXPECT_EQ(Record.reports.back(), 50u);
  }
}

TEST(CopyStoredMember, ShortReadWriteFailureAndCancel) {
  InstallMemoryHost(Pattern(100));
  storedSize = 200;  // the archive ends inside the member
  EXPECT_FALSE(Guarded(CopyStored));
  EXPECT_EQ(Record.errors, (std::vector<std::pair<int, bool>>{{2, true}}));
  EXPECT_EQ(RunState.aborted, 1);

  InstallMemoryHost(Pattern(100));
  Record.failWrites = true;
  storedSize = 100;
  EXPECT_FALSE(Guarded(CopyStored));
  EXPECT_EQ(Record.errors, (std::vector<std::pair<int, bool>>{{3, false}}));
  EXPECT_EQ(crcValue, 0);  // nothing written, nothing counted

  // A cancel made during the first report's drain ends the copy there.
  InstallMemoryHost(Pattern(200000));
  Record.cancelAtReport = 0;
  storedSize = 200000;
  EXPECT_FALSE(Guarded(CopyStored));
  EXPECT_TRUE(Record.errors.empty());
  EXPECT_EQ(Record.writeSizes, (std::vector<unsigned long>{65536}));

  // Only exactly 1 counts as a cancel request.
  InstallMemoryHost(Pattern(200000));
  RunState.cancelRequested = 2;
  EXPECT_TRUE(Guarded(CopyStored));
}

TEST(WriteOutput, ProbeCapturesTextOfTheFirstPieceAndStops) {
  InstallMemoryHost({});
  OutputIsProbe = true;
  static bool secondPieceReached;
  secondPieceReached = false;
  // The first piece ends the guarded region, as a normal end would.
  ASSERT_TRUE(Guarded([] {
    WriteOutput("abc\0def", 7);
    secondPieceReached = true;
    WriteOutput("second", 6);
  }));
  EXPECT_FALSE(secondPieceReached);
  EXPECT_EQ(RunState.aborted, 0);
  EXPECT_STREQ(GeneralText, "abc");
  EXPECT_TRUE(Record.writeSizes.empty());
  EXPECT_EQ(crcValue, 0);

  // A stored notice: one chunk is read, nothing more.
  InstallMemoryHost(Pattern(200000));
  OutputIsProbe = true;
  storedSize = 200000;
  ASSERT_TRUE(Guarded(CopyStored));
  EXPECT_EQ(Record.readSizes, (std::vector<unsigned long>{65536}));
  EXPECT_TRUE(Record.reports.empty());

  // A piece without a zero byte: its first 1023 bytes.
  static Bytes big(65536, 'q');
  InstallMemoryHost({});
  OutputIsProbe = true;
  std::memset(GeneralText, 'X', sizeof GeneralText);
  ASSERT_TRUE(Guarded([] { WriteOutput(big.data(), 65536); }));
  EXPECT_EQ(std::strlen(GeneralText), 1023u);

  // A short piece ends at its own length.
  InstallMemoryHost({});
  OutputIsProbe = true;
  ASSERT_TRUE(Guarded([] { WriteOutput("xyz123", 3); }));
  EXPECT_STREQ(GeneralText, "xyz");
  EXPECT_EQ(probeTextCaptured, 1);
}

TEST(RunGuarded, NestedRegionsCatchInnermostFirst) {
  InstallMemoryHost({});
  static int reached;
  reached = 0;
  const bool outer = Guarded([] {
    const bool inner = RunGuarded([] { ExtractAbort(); });
    reached = inner ? 1 : 2;
  });
  EXPECT_TRUE(outer);
  EXPECT_EQ(reached, 2);
  EXPECT_EQ(RunState.aborted, 1);
}

TEST(WriteOutput, CrcCoversExactlyTheBytesWrittenWhateverThePieces) {
  // Pieces of every length from 0 to 40 at every alignment give the CRC of
  // the whole, as one byte at a time would.
  const Bytes data = Pattern(40 * 41 / 2 + 64);
  InstallMemoryHost({});
  static const Bytes* source;
  source = &data;
  ASSERT_TRUE(Guarded([] {
    std::size_t at = 0;
    for (unsigned long n = 0; n <= 40; ++n) {
      WriteOutput(source->data() + at, n);
      at += n;
    }
  }));
  const Bytes whole(data.begin(), data.begin() + 40 * 41 / 2);
  EXPECT_EQ(crcValue, ReferenceCrc(whole));
  EXPECT_TRUE(Record.written == whole);
}
