#include "archive/crc16.h"

std::uint16_t crcTable[256];
std::uint16_t crcValue;

void BuildCrcTable(std::uint16_t polynomial) {
  for (unsigned i = 0; i < 256; ++i) {
    unsigned r = i;
    for (int bit = 0; bit < 8; ++bit) r = (r & 1) ? (r >> 1) ^ polynomial : r >> 1;
    crcTable[i] = static_cast<std::uint16_t>(r);
  }
}

std::uint16_t UpdateCrc(const void* data, long length) {
  const auto* p = static_cast<const std::uint8_t*>(data);
  std::uint16_t crc = crcValue;
  for (long i = 0; i < length; ++i) crc = crcTable[(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
  crcValue = crc;
  return crc;
}
