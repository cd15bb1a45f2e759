#include "archive/crc16.h"

std::uint16_t crcTable[256];
std::uint16_t crcValue;

namespace {
// crcAhead[k][i]: the register after byte i and k zero bytes, so that four
// bytes take four independent lookups instead of a chain of four.
std::uint16_t crcAhead[3][256];
}  // namespace

void BuildCrcTable(std::uint16_t polynomial) {
  for (unsigned i = 0; i < 256; ++i) {
    unsigned r = i;
    for (int bit = 0; bit < 8; ++bit) r = (r & 1) ? (r >> 1) ^ polynomial : r >> 1;
    crcTable[i] = static_cast<std::uint16_t>(r);
  }
  for (unsigned i = 0; i < 256; ++i) {
    unsigned r = crcTable[i];
    for (int k = 0; k < 3; ++k) {
      r = crcTable[r & 0xFF] ^ (r >> 8);
      crcAhead[k][i] = static_cast<std::uint16_t>(r);
    }
  }
}

std::uint16_t UpdateCrc(const void* data, long length) {
  const auto* p = static_cast<const std::uint8_t*>(data);
  std::uint16_t crc = crcValue;
  long i = 0;
  for (; i + 4 <= length; i += 4) {
    const unsigned x = crc ^ (p[i] | (p[i + 1] << 8));
    crc = crcAhead[2][x & 0xFF] ^ crcAhead[1][x >> 8] ^ crcAhead[0][p[i + 2]] ^ crcTable[p[i + 3]];
  }
  for (; i < length; ++i) crc = crcTable[(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
  crcValue = crc;
  return crc;
}
