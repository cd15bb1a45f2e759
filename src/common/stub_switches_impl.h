// The template of common/stub_switches.h, for the files that instantiate it.
#pragma once

#include "common/dbcs.h"
#include "common/stub_switches.h"

namespace {
constexpr char kLetters[] = "syont?";  // in the order of the StubSwitch bits
}  // namespace

template <typename Unit>
unsigned ParseStubSwitches(const Unit* p, const Unit** folder) {
  *folder = EmptyText(Unit{});
  unsigned found = 0;
  for (;; p += 2) {
    while (IsBlank(*p)) ++p;
    if (!*p) return found;
    Unit letter = p[1];
    if (letter >= 'A' && letter <= 'Z') letter = static_cast<Unit>(letter + ('a' - 'A'));
    // The first word decides whether the tail is switches at all.
    if ((*p != '/' && *p != '-') || !((letter >= 'a' && letter <= 'z') || letter == '?'))
      return found ? found | kSwitchInvalid : 0;
    if (letter == 'd' && p[2] == '=') {
      // The folder runs to the end of the line, so blanks inside it need no
      // quotes. Its length is the destination's rule, checked where a folder
      // is accepted, as for a folder typed or configured.
      *folder = p + 3;
      return found | kSwitchFolder | (p[3] ? 0u : unsigned{kSwitchInvalid});
    }
    unsigned i = 0;
    while (kLetters[i] && kLetters[i] != letter) ++i;
    // A switch is one letter: "/SY" is no switch at all.
    if (!kLetters[i] || (p[2] && !IsBlank(p[2]))) return found | kSwitchInvalid;
    found |= 1u << i;
  }
}

#define QUORVEL_INSTANTIATE_STUB_SWITCHES(Unit) \
  template unsigned ParseStubSwitches(const Unit*, const Unit**);
