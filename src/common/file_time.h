// Windows file times (FILETIME: 100 ns units since 1601-01-01 UTC) and Unix
// times (seconds since 1970-01-01 UTC): the archive stores both, the stub sets
// the first, the packer reads and sets the second on Linux.
#pragma once

#include <cstdint>

constexpr std::uint64_t kFileTimeUnitsPerSecond = 10000000;
constexpr std::uint32_t kNanosecondsPerFileTimeUnit = 100;
constexpr std::int64_t kSecondsFrom1601To1970 = 11644473600;

// The file time of a Unix time; a time before 1601 gives 0.
constexpr std::uint64_t UnixToFileTime(std::int64_t seconds, std::uint32_t nanoseconds = 0) {
  const std::int64_t since1601 = seconds + kSecondsFrom1601To1970;
  if (since1601 < 0) return 0;
  return static_cast<std::uint64_t>(since1601) * kFileTimeUnitsPerSecond +
         nanoseconds / kNanosecondsPerFileTimeUnit;
}

struct UnixTime {
  std::int64_t seconds;      // rounded down, also before 1970
  std::uint32_t nanoseconds;  // 0 to 999999900
};

constexpr UnixTime FileTimeToUnix(std::uint64_t fileTime) {
  const std::uint64_t unitsPerSecond = kFileTimeUnitsPerSecond;
  const std::int64_t seconds = static_cast<std::int64_t>(fileTime / unitsPerSecond);
  const std::uint32_t rest = static_cast<std::uint32_t>(fileTime % unitsPerSecond);
  return {seconds - kSecondsFrom1601To1970, rest * kNanosecondsPerFileTimeUnit};
}

static_assert(UnixToFileTime(0) == 116444736000000000ull, "1970 in file time");
static_assert(FileTimeToUnix(UnixToFileTime(-1, 5000)).seconds == -1 &&
                  FileTimeToUnix(UnixToFileTime(-1, 5000)).nanoseconds == 5000,
              "the two conversions undo each other, also before 1970");
