#include "archive/crc16.h"

std::uint16_t crcTable[256];
std::uint16_t crcValue;

namespace {
// Slicing by 16: crcAhead[k][i] is the register after byte i and k + 1 zero
// bytes, so that sixteen bytes take sixteen independent lookups instead of a
// chain of sixteen.
constexpr unsigned kSliceBytes = 16;  // as written out in UpdateCrc
std::uint16_t crcAhead[kSliceBytes - 1][256];
}  // namespace

void BuildCrcTable(std::uint16_t polynomial) {
  for (unsigned i = 0; i < 256; ++i) {
    unsigned r = i;
    for (int bit = 0; bit < 8; ++bit) r = (r & 1) ? (r >> 1) ^ polynomial : r >> 1;
    crcTable[i] = static_cast<std::uint16_t>(r);
  }
  for (unsigned i = 0; i < 256; ++i) {
    unsigned r = crcTable[i];
    for (unsigned k = 0; k + 1 < kSliceBytes; ++k) {
      r = crcTable[r & 0xFF] ^ (r >> 8);
      crcAhead[k][i] = static_cast<std::uint16_t>(r);
    }
  }
}

std::uint16_t UpdateCrc(const void* data, long length) {
  const auto* p = static_cast<const std::uint8_t*>(data);
  unsigned crc = crcValue;
  long i = 0;
  for (; i + static_cast<long>(kSliceBytes) <= length; i += kSliceBytes) {
    // The register meets the first two bytes; each byte then takes the table
    // for the number of bytes that follow it. Written out, so that a build
    // for size keeps the lookups side by side.
    const std::uint8_t* b = p + i;
    const unsigned x = crc ^ (b[0] | (b[1] << 8));
    crc = crcAhead[14][x & 0xFF] ^ crcAhead[13][x >> 8] ^ crcAhead[12][b[2]] ^ crcAhead[11][b[3]] ^
          crcAhead[10][b[4]] ^ crcAhead[9][b[5]] ^ crcAhead[8][b[6]] ^ crcAhead[7][b[7]] ^ crcAhead[6][b[8]] ^
          crcAhead[5][b[9]] ^ crcAhead[4][b[10]] ^ crcAhead[3][b[11]] ^ crcAhead[2][b[12]] ^ crcAhead[1][b[13]] ^
          crcAhead[0][b[14]] ^ crcTable[b[15]];
  }
  for (; i < length; ++i) crc = crcTable[(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
  crcValue = static_cast<std::uint16_t>(crc);
  return crcValue;
}
