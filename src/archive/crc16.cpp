#include "archive/crc16.h"

#include "common/lzh_format.h"

namespace {
// Slicing by 16: tables[k][i] is the register after byte i and k zero bytes,
// so that sixteen bytes take sixteen independent lookups instead of a chain
// of sixteen. tables[0] is the plain byte-at-a-time table. Written once by
// InitCrc16, only read after. The 32-bit stub's build takes a byte at a
// time (QUORVEL_CRC_BYTEWISE): its decoder, built for size, is slower than
// that already, and the sliced loop's code is room its file lacks.
#if QUORVEL_CRC_BYTEWISE
constexpr unsigned kSliceBytes = 1;
#else
constexpr unsigned kSliceBytes = 16;  // as written out in Crc16
#endif
std::uint16_t tables[kSliceBytes][256];
}  // namespace

void InitCrc16() {
  // The entry of byte 1 is never 0 once built.
  if (tables[0][1] != 0) return;
  for (unsigned i = 0; i < 256; ++i) {
    unsigned r = i;
    for (int bit = 0; bit < 8; ++bit) r = (r & 1) ? (r >> 1) ^ lzh::kCrcPolynomial : r >> 1;
    tables[0][i] = static_cast<std::uint16_t>(r);
  }
  for (unsigned i = 0; i < 256; ++i) {
    unsigned r = tables[0][i];
    for (unsigned k = 1; k < kSliceBytes; ++k) {
      r = tables[0][r & 0xFF] ^ (r >> 8);
      tables[k][i] = static_cast<std::uint16_t>(r);
    }
  }
}

std::uint16_t Crc16(std::uint16_t crc16, const void* data, std::size_t length) {
  InitCrc16();
  const auto* p = static_cast<const std::uint8_t*>(data);
  const auto* const end = p + length;
  unsigned crc = crc16;
  if constexpr (kSliceBytes == 16) {
    for (; end - p >= static_cast<std::ptrdiff_t>(kSliceBytes); p += kSliceBytes) {
      // The register meets the first two bytes; each byte then takes the table
      // for the number of bytes that follow it. Written out, so that a build
      // for size keeps the lookups side by side.
      const unsigned x = crc ^ (p[0] | (p[1] << 8));
      crc = tables[15][x & 0xFF] ^ tables[14][x >> 8] ^ tables[13][p[2]] ^ tables[12][p[3]] ^ tables[11][p[4]] ^
            tables[10][p[5]] ^ tables[9][p[6]] ^ tables[8][p[7]] ^ tables[7][p[8]] ^ tables[6][p[9]] ^
            tables[5][p[10]] ^ tables[4][p[11]] ^ tables[3][p[12]] ^ tables[2][p[13]] ^ tables[1][p[14]] ^
            tables[0][p[15]];
    }
  }
  for (; p != end; ++p) crc = tables[0][(crc ^ *p) & 0xFF] ^ (crc >> 8);
  return static_cast<std::uint16_t>(crc);
}
