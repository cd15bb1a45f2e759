// CRC-16 of the LZH format (lzh::kCrcPolynomial), each byte least
// significant bit first.
// Used for member data and for the level-2 header check.
#pragma once

#include <cstdint>

#include "common/lzh_format.h"

extern std::uint16_t crcTable[256];
// The one CRC register of the program; each run resets it to 0 first.
extern std::uint16_t crcValue;

void BuildCrcTable(std::uint16_t polynomial);

// Runs length bytes through crcValue and returns it; length 0 or less leaves it.
std::uint16_t UpdateCrc(const void* data, long length);
