#include "common/run_state.h"

unsigned ProgressPercent(std::uint64_t done, std::uint64_t total) {
  if (total == 0) return 0;
  // The quotient by at most 100 subtractions: a 64-bit division would be a
  // library routine on i686, with unwind tables of its own.
  std::uint64_t rest = done * 100;
  unsigned q = 0;
  while (q < 100 && rest >= total) {
    rest -= total;
    ++q;
  }
  return q;
}
