#include "pack/source_date.h"

#include <cstdlib>
#include <limits>

namespace {
constexpr char kVariable[] = "SOURCE_DATE_EPOCH";
}

bool ParseSourceDateEpoch(const std::string& value, std::int64_t& epoch, std::string& error) {
  constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
  std::int64_t seconds = 0;
  bool digits = !value.empty();
  for (char c : value) {
    if (c < '0' || c > '9' || seconds > (kMax - (c - '0')) / 10) {
      digits = false;
      break;
    }
    seconds = seconds * 10 + (c - '0');
  }
  if (!digits)
    return error = std::string(kVariable) + "='" + value +
                   "' is not a whole number of seconds since 1970-01-01 UTC",
           false;
  epoch = seconds;
  return true;
}

bool ReadSourceDateEpoch(bool& set, std::int64_t& epoch, std::string& error) {
  const char* value = std::getenv(kVariable);
  set = value && *value;
  return !set || ParseSourceDateEpoch(value, epoch, error);
}

void ClampTimes(std::vector<PackSource>& sources, std::int64_t epoch) {
  for (PackSource& s : sources) {
    MemberEntry& e = s.entry;
    if (e.modifiedSeconds > epoch || (e.modifiedSeconds == epoch && e.modifiedNanoseconds != 0)) {
      e.modifiedSeconds = epoch;
      e.modifiedNanoseconds = 0;
    }
  }
}
