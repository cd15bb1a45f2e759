// A second decoder of member data for the tests, written from the format's
// description rather than from the engine: one bit at a time, canonical codes
// decoded by counting, no lookup tables and no buffers to refill. It makes the
// engine's decisions (what is damage, that a block-size field of 0 stands for
// 65536 symbols, that a final match is produced in full), so the engine must
// give exactly its bytes; and it notes what it met that other readers take
// differently, so a comparison with them can tell an intended difference
// from a fault.
#pragma once

#include <cstdint>

#include "lzh_test_data.h"

namespace enginetest {

struct ReferenceNotes {
  bool blockOf65536 = false;    // a block-size field of 0
  bool lengthsPastSet = false;  // a small set's count above its size
  bool emptyCodeUsed = false;   // a symbol decoded with a set that has no code
  bool damagedTable = false;    // a code-length list or a set refused as damage
  bool pastDataEnd = false;     // bits consumed past the member's data
  bool farPosition = false;     // a match farther back than the method's dictionary
};

struct ReferenceResult {
  bool finished = false;  // decoded to the original size; otherwise damaged
  Bytes output;           // every byte produced, a final match in full
  ReferenceNotes notes;
};

// Decodes the data of a member of method '0' or '4' to '7' whose header gives
// originalSize. A stored member's data must hold originalSize bytes.
ReferenceResult ReferenceDecode(char method, const Bytes& data, std::int64_t originalSize);

}  // namespace enginetest
