#include "common/dbcs.h"

#include "common/lzh_format.h"

bool Cp932LeadByte(unsigned char byte) {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

LeadByteTestFn LeadByteTest;

bool IsLead(char c) {
  const unsigned char byte = static_cast<unsigned char>(c);
  return LeadByteTest ? LeadByteTest(byte) : Cp932LeadByte(byte);
}

unsigned CharBoundaryPrefix(const char* text, unsigned limit) {
  unsigned i = 0;
  while (i < limit && text[i]) {
    const unsigned step = (IsLead(text[i]) && text[i + 1]) ? 2 : 1;
    if (i + step > limit) break;
    i += step;
  }
  return i;
}

unsigned CopyTextBounded(char* dst, const char* src, unsigned size) {
  if (size == 0) return 0;
  const unsigned n = CharBoundaryPrefix(src, size - 1);
  for (unsigned i = 0; i < n; ++i) dst[i] = src[i];
  dst[n] = '\0';
  return n;
}

void NormalizeSeparators(char* path, char separator) {
  for (char* p = path; *p; ++p) {
    if (IsLead(*p)) {
      if (!p[1]) break;
      ++p;
      continue;
    }
    const unsigned char c = static_cast<unsigned char>(*p);
    if (c == '\\' || c == '/' || c == lzh::kDirectorySeparator) *p = separator;
  }
}
