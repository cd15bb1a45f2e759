#include "common/stub_switches.h"

namespace {
bool IsBlank(char c) { return c == ' ' || c == '\t'; }

constexpr unsigned kFolderMaxBytes = 255;
}  // namespace

unsigned ParseStubSwitches(const char* p, const char** folder) {
  static const char kLetters[] = "syont?";  // in the order of the StubSwitch bits
  *folder = "";
  unsigned found = 0;
  for (;; p += 2) {
    while (IsBlank(*p)) ++p;
    if (!*p) return found;
    char letter = p[1];
    if (letter >= 'A' && letter <= 'Z') letter = static_cast<char>(letter + ('a' - 'A'));
    // The first word decides whether the tail is switches at all.
    if ((*p != '/' && *p != '-') || !((letter >= 'a' && letter <= 'z') || letter == '?'))
      return found ? found | kSwitchInvalid : 0;
    if (letter == 'd' && p[2] == '=') {
      // The folder runs to the end of the line, so blanks inside it need no quotes.
      *folder = p + 3;
      unsigned n = 0;
      while (p[3 + n]) ++n;
      const bool usable = n > 0 && n <= kFolderMaxBytes;
      return found | kSwitchFolder | (usable ? 0u : unsigned{kSwitchInvalid});
    }
    unsigned i = 0;
    while (kLetters[i] && kLetters[i] != letter) ++i;
    // A switch is one letter: "/SY" is no switch at all.
    if (!kLetters[i] || (p[2] && !IsBlank(p[2]))) return found | kSwitchInvalid;
    found |= 1u << i;
  }
}
