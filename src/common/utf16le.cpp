#include "common/utf16le.h"

#include "common/le_bytes.h"

bool ReadUtf16LeField(const std::uint8_t* field, unsigned fieldBytes, Utf16Unit* dest,
                      unsigned destUnits) {
  if (destUnits == 0) return false;
  dest[0] = '\0';
  if (fieldBytes % 2 != 0) return false;
  unsigned n = 0;
  for (unsigned i = 0; i < fieldBytes; i += 2, ++n) {
    const std::uint16_t unit = ReadLe16(field + i);
    if (unit == 0) break;
    if (n + 1 >= destUnits) {
      dest[0] = '\0';
      return false;
    }
    dest[n] = static_cast<Utf16Unit>(unit);
  }
  dest[n] = '\0';
  return true;
}
