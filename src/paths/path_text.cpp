#include "paths/path_text.h"

#include "app/dbcs.h"

void NormalizeSeparators(char* path, char separator) {
  for (char* p = path; *p; ++p) {
    if (IsLead(*p)) {
      if (!p[1]) break;
      ++p;
      continue;
    }
    const unsigned char c = static_cast<unsigned char>(*p);
    if (c == '\\' || c == '/' || c == 0xFF) *p = separator;
  }
}
