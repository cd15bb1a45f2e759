// CRC-16 of the LZH format (lzh::kCrcPolynomial), each byte least
// significant bit first: for member data and for the level-2 header check,
// in the stub, the packer and the tests alike.
#pragma once

#include <cstddef>
#include <cstdint>

// crc continued over length bytes of data; a run starts from 0. The lookup
// tables are made at run time, since the 32-bit stub has no room for 8 KiB of
// them in its file: by the first call, unless InitCrc16 made them before.
std::uint16_t Crc16(std::uint16_t crc, const void* data, std::size_t length);

// Makes the tables now, if they are not made yet. Code that starts threads
// which compute CRCs calls it first, so that no two threads make them at once.
void InitCrc16();
