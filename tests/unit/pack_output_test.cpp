// What create and extract add to their output for publishers: the progress
// line's figures and the bar on a terminal, and SOURCE_DATE_EPOCH read and applied to member times.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "pack/progress_bar.h"
#include "pack/source_date.h"

namespace {

TEST(PackProgress, BytesPercentAndRate) {
  EXPECT_EQ(ByteCount(0), "0 B");
  EXPECT_EQ(ByteCount(1023), "1023 B");
  EXPECT_EQ(ByteCount(1024), "1.00 KiB");
  EXPECT_EQ(ByteCount(10 * 1024), "10.0 KiB");
  EXPECT_EQ(ByteCount(3u << 20), "3.00 MiB");
  EXPECT_EQ(ByteCount(std::uint64_t{5} << 30), "5.00 GiB");

  EXPECT_EQ(ProgressLine(3u << 20, 12u << 20, 2.0),
            "[######..................]  25%  3.00 MiB of 12.0 MiB  1.50 MiB/s");
  EXPECT_EQ(ProgressLine(12u << 20, 12u << 20, 4.0),
            "[########################] 100%  12.0 MiB of 12.0 MiB  3.00 MiB/s");
  // A member that grew while it was packed never takes the bar past its end.
  EXPECT_EQ(ProgressLine(13u << 20, 12u << 20, 1.0).substr(0, 31), "[########################] 100%");
  // Without a total: bytes and rate only.
  EXPECT_EQ(ProgressLine(2048, 0, 1.0), "2.00 KiB  2.00 KiB/s");
}

TEST(PackProgress, OnATerminalOnlyABarThatWasDrawnLeavesALine) {
  // Standard error on a pseudo-terminal, as a person running create sees it.
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_TRUE(grantpt(master) == 0 && unlockpt(master) == 0);
  const int terminal = open(ptsname(master), O_RDWR | O_NOCTTY);
  ASSERT_GE(terminal, 0);
  fcntl(master, F_SETFL, O_NONBLOCK);
  auto shown = [&](void (*use)(ProgressBar&)) {
    std::fflush(stderr);
    const int saved = dup(2);
    dup2(terminal, 2);
    {
      ProgressBar bar(false);
      EXPECT_TRUE(bar.enabled());
      use(bar);
    }
    std::fflush(stderr);
    dup2(saved, 2);
    close(saved);
    char text[512];
    const ssize_t n = read(master, text, sizeof text);
    return std::string(text, n > 0 ? static_cast<std::size_t>(n) : 0);
  };
  EXPECT_EQ(shown([](ProgressBar& bar) { bar.Finish(); }), "");
  EXPECT_NE(shown([](ProgressBar& bar) { bar.Update(5); bar.Finish(); }).find("5 B"), std::string::npos);
  close(terminal);
  close(master);
}

TEST(PackSourceDateEpoch, WholeSecondsOnly) {
  std::int64_t epoch = -1;
  std::string error;
  ASSERT_TRUE(ParseSourceDateEpoch("1700000000", epoch, error));
  EXPECT_EQ(epoch, 1700000000);
  ASSERT_TRUE(ParseSourceDateEpoch("0", epoch, error));
  EXPECT_EQ(epoch, 0);
  for (const char* bad : {"", "-1", "+5", "1.5", "12abc", " 12", "9223372036854775808"}) {
    EXPECT_FALSE(ParseSourceDateEpoch(bad, epoch, error)) << bad;
    EXPECT_EQ(error, std::string("SOURCE_DATE_EPOCH='") + bad +
                         "' is not a whole number of seconds since 1970-01-01 UTC");
  }
  EXPECT_TRUE(ParseSourceDateEpoch("9223372036854775807", epoch, error));
}

TEST(PackSourceDateEpoch, LaterTimesBecomeTheEpochEarlierOnesStay) {
  std::vector<PackSource> sources(4);
  const std::int64_t seconds[] = {1000, 1000, 999, 5000};
  const std::uint32_t nanoseconds[] = {0, 1, 999999999, 7};
  for (std::size_t i = 0; i < sources.size(); ++i) {
    sources[i].entry.modifiedSeconds = seconds[i];
    sources[i].entry.modifiedNanoseconds = nanoseconds[i];
  }
  ClampTimes(sources, 1000);
  const std::int64_t wantSeconds[] = {1000, 1000, 999, 1000};
  const std::uint32_t wantNanoseconds[] = {0, 0, 999999999, 0};
  for (std::size_t i = 0; i < sources.size(); ++i) {
    EXPECT_EQ(sources[i].entry.modifiedSeconds, wantSeconds[i]) << i;
    EXPECT_EQ(sources[i].entry.modifiedNanoseconds, wantNanoseconds[i]) << i;
  }
}

}  // namespace
