#include "common/dbcs.h"

#include "common/dbcs_impl.h"
#include "common/lzh_format.h"

static_assert(kAllOnesUnit<char> == lzh::kDirectorySeparator &&
                  kAllOnesUnit<Utf16Unit> == lzh::kUtf16DirectorySeparator,
              "NormalizeSeparators turns the directory fields' separators into its own");

bool Cp932LeadByte(unsigned char byte) {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

LeadByteTestFn LeadByteTest;

bool IsLead(char c) {
  const unsigned char byte = static_cast<unsigned char>(c);
  return LeadByteTest ? LeadByteTest(byte) : Cp932LeadByte(byte);
}

QUORVEL_INSTANTIATE_DBCS(char)
